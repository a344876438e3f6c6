#include "WindowTestData.h"

#include "data/FileIo.h"
#include "ui/CaptionButton.h"
#include "ui/components/EditCombo.h"
#include "ui/components/FlexGrid.h"
#include "ui/windows/ktovot.h"
#include "ui/windows/velmora.h"

#include <QAbstractItemModel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

using namespace Qt::Literals::StringLiterals;
using velmora::testing::WindowTestData;
using velmora::ui::DialogHooks;
using velmora::ui::EditCombo;
using velmora::ui::FlexGrid;
namespace ui = velmora::ui;

namespace {

const QStringList kThreeLines{"Haifa office", "Tel Aviv", "Jerusalem"};
const QByteArray kThreeLinesBytes = "Haifa office\r\nTel Aviv\r\nJerusalem\r\n";

QStringList entries(const EditCombo* list) {
    QStringList all;
    for (int i = 0; i < list->ListCount(); ++i)
        all.append(list->List(i));
    return all;
}

// The table's data rows as "number|address".
QStringList tableRows(const FlexGrid* grid) {
    QStringList rows;
    for (int r = 1; r < grid->Rows(); ++r)
        rows.append(grid->TextMatrix(r, 0) + u'|' + grid->TextMatrix(r, 1));
    return rows;
}

// The order pad with the address book driven as a user drives it: buttons clicked, text typed,
// table rows clicked.
class Steps {
public:
    Steps(WindowTestData& testData, ui::velmora& orderPad)
        : data(testData)
        , pad(orderPad) {}

    // Command12 .. Command16.
    void openFor(int row) {
        const std::array<ui::CaptionButton*, 5> buttons{pad.Command12, pad.Command13, pad.Command14,
                                                        pad.Command15, pad.Command16};
        QTest::mouseClick(buttons.at(static_cast<std::size_t>(row - 1)), Qt::LeftButton);
    }
    ui::ktovot& book() {
        ui::ktovot* window = data.registry().find<ui::ktovot>();
        EXPECT_NE(window, nullptr) << "the address book is not open";
        return *window;
    }
    void search(const QString& text) {
        book().Text1->setText(text);
        QTest::mouseClick(book().Command1, Qt::LeftButton);
    }
    void clickRow(int row) {
        FlexGrid* grid = book().MSFlexGrid1;
        const QRect cell = grid->visualRect(grid->model()->index(row - 1, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }
    void doubleClickRow(int row) {
        FlexGrid* grid = book().MSFlexGrid1;
        const QRect cell = grid->visualRect(grid->model()->index(row - 1, 1));
        // A real double click: the first click, then the second one that the system reports as
        // a double click.
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }
    void choose() { QTest::mouseClick(book().Command2, Qt::LeftButton); }
    void sortAscending() { QTest::mouseClick(book().Command3, Qt::LeftButton); }
    void sortDescending() { QTest::mouseClick(book().Command4, Qt::LeftButton); }
    void remove() { QTest::mouseClick(book().Command5, Qt::LeftButton); }

    WindowTestData& data;
    ui::velmora& pad;
};

struct BookCase {
    const char* name;
    std::optional<QStringList> lis; // the address list before; nullopt: no lis.dat
    std::function<void(Steps&)> steps;
    // The book afterwards: open or closed, and if open its table and target row.
    bool open;
    QStringList rows;
    QString target;
    // The recipient row the book served (1 to 5): its entries, shown text and chosen index.
    int row;
    QStringList rowEntries;
    QString rowText;
    int rowIndex;
    // lis.dat afterwards when it changed (lisvr.dat then holds the same bytes).
    std::optional<QByteArray> lisAfter = std::nullopt;
    QString message = {}; // a text every message shown contains; empty: no message at all
};

class AddressBookWindow : public ::testing::TestWithParam<BookCase> {};

TEST_P(AddressBookWindow, behavesAsTheUserExpects) {
    const BookCase& c = GetParam();
    WindowTestData data;
    if (c.lis)
        data.write("lis.dat", *c.lis);
    else
        data.remove("lis.dat");
    const QByteArray lisBefore = data.read("lis.dat");
    ui::velmora& pad = data.registry().open<ui::velmora>();
    DialogHooks::reset(); // the load step's complaint about a missing lis.dat is not the book's
    Steps steps(data, pad);

    c.steps(steps);
    WindowTestData::flushDeletes();

    ui::ktovot* book = data.registry().find<ui::ktovot>();
    ASSERT_EQ(book != nullptr && book->isVisible(), c.open);
    if (c.open) {
        EXPECT_EQ(tableRows(book->MSFlexGrid1), c.rows);
        EXPECT_EQ(book->Text2->text(), c.target);
        EXPECT_EQ(book->MSFlexGrid1->TextMatrix(0, 0), u"מספר"_s);
        EXPECT_EQ(book->MSFlexGrid1->TextMatrix(0, 1), u"כתובת"_s);
    }
    const EditCombo* list = pad.recipientList(c.row - 1);
    EXPECT_EQ(entries(list), c.rowEntries);
    EXPECT_EQ(list->Text(), c.rowText);
    EXPECT_EQ(list->ListIndex(), c.rowIndex);
    EXPECT_EQ(data.read("lis.dat"), c.lisAfter.value_or(lisBefore));
    // A deletion leaves its working copy holding the same lines.
    if (c.lisAfter && QFile::exists(data.path("lisvr.dat"))) {
        EXPECT_EQ(data.read("lisvr.dat"), *c.lisAfter);
    }
    const QStringList messages = DialogHooks::shownMessages();
    if (c.message.isEmpty()) {
        EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    } else {
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages.first().contains(c.message)) << messages.first().toStdString();
    }
}

const QStringList kAllRows{" 1|Haifa office", " 2|Tel Aviv", " 3|Jerusalem"};

INSTANTIATE_TEST_SUITE_P(
    Table, AddressBookWindow,
    ::testing::Values(
        BookCase{"openFromCommand13", kThreeLines, [](Steps& s) { s.openFor(2); }, true, kAllRows, "2", 2,
                 kThreeLines, "", -1},
        BookCase{"searchKeepsTheNumbers", kThreeLines,
                 [](Steps& s) {
                     s.openFor(2);
                     s.search("Tel");
                 },
                 true, {" 2|Tel Aviv"}, "2", 2, kThreeLines, "", -1},
        BookCase{"searchThenChoose", kThreeLines,
                 [](Steps& s) {
                     s.openFor(2);
                     s.search("Tel");
                     s.clickRow(1);
                     s.choose();
                 },
                 false, {}, {}, 2, kThreeLines, "Tel Aviv", 1},
        BookCase{"sortDescending", kThreeLines,
                 [](Steps& s) {
                     s.openFor(2);
                     s.sortDescending();
                 },
                 true, {" 2|Tel Aviv", " 3|Jerusalem", " 1|Haifa office"}, "2", 2, kThreeLines, "", -1},
        BookCase{"sortAscending", QStringList{"b 10", "B", "a", "20", "3"},
                 [](Steps& s) {
                     s.openFor(1);
                     s.sortAscending();
                 },
                 true, {" 5|3", " 4|20", " 2|B", " 3|a", " 1|b 10"}, "1", 1, {"b 10", "B", "a", "20", "3"},
                 "", -1},
        BookCase{"sortDescendingThenChooseTheTopRow", kThreeLines,
                 [](Steps& s) {
                     s.openFor(2);
                     s.sortDescending();
                     s.clickRow(1);
                     s.choose();
                 },
                 false, {}, {}, 2, kThreeLines, "Tel Aviv", 1},
        BookCase{"deleteRow2", kThreeLines,
                 [](Steps& s) {
                     s.openFor(2);
                     s.clickRow(2);
                     s.remove();
                 },
                 true, {" 1|Haifa office", " 2|Jerusalem"}, "2", 2, {"Haifa office", "Jerusalem"}, "", -1,
                 QByteArray("Haifa office\r\nJerusalem\r\n")},
        BookCase{"deleteRow2ThenChooseTheNewRow2", kThreeLines,
                 [](Steps& s) {
                     s.openFor(2);
                     s.clickRow(2);
                     s.remove();
                     s.clickRow(2);
                     s.choose();
                 },
                 false, {}, {}, 2, {"Haifa office", "Jerusalem"}, "Jerusalem", 1,
                 QByteArray("Haifa office\r\nJerusalem\r\n")},
        BookCase{"deleteKeepsTheSearch", kThreeLines,
                 [](Steps& s) {
                     s.openFor(3);
                     s.search("e");
                     s.clickRow(1);
                     s.remove();
                 },
                 true, {" 1|Tel Aviv", " 2|Jerusalem"}, "3", 3, {"Tel Aviv", "Jerusalem"}, "", -1,
                 QByteArray("Tel Aviv\r\nJerusalem\r\n")},
        BookCase{"commaLineIsOneAddress", QStringList{"Herzl 5, Haifa", "Office"},
                 [](Steps& s) {
                     s.openFor(1);
                     s.clickRow(1);
                     s.choose();
                 },
                 false, {}, {}, 1, {"Herzl 5, Haifa", "Office"}, "Herzl 5, Haifa", 0},
        BookCase{"searchIsCaseSensitive", kThreeLines,
                 [](Steps& s) {
                     s.openFor(2);
                     s.search("haifa");
                 },
                 true, {}, "2", 2, kThreeLines, "", -1},
        BookCase{"emptySearchListsEveryLine", kThreeLines,
                 [](Steps& s) {
                     s.openFor(2);
                     s.search("Tel");
                     s.search("");
                 },
                 true, kAllRows, "2", 2, kThreeLines, "", -1},
        BookCase{"retargetFromRow4ToRow1", kThreeLines,
                 [](Steps& s) {
                     s.openFor(4);
                     s.search("Tel");
                     QPointer<ui::ktovot> first(&s.book());
                     s.openFor(1);
                     EXPECT_EQ(&s.book(), first.data()) << "the same window is retargeted";
                     EXPECT_EQ(s.book().Text1->text(), "");
                 },
                 true, kAllRows, "1", 1, kThreeLines, "", -1},
        BookCase{"headingRowChoosesNothing", kThreeLines,
                 [](Steps& s) {
                     s.openFor(2);
                     s.choose();
                 },
                 true, kAllRows, "2", 2, kThreeLines, "", -1},
        BookCase{"headingRowDeletesNothing", kThreeLines,
                 [](Steps& s) {
                     s.openFor(2);
                     s.remove();
                 },
                 true, kAllRows, "2", 2, kThreeLines, "", -1},
        BookCase{"targetThatIsNoRowChoosesNothing", kThreeLines,
                 [](Steps& s) {
                     s.openFor(2);
                     s.book().Text2->setText("7");
                     s.clickRow(2);
                     s.choose();
                 },
                 true, kAllRows, "7", 2, kThreeLines, "", -1},
        BookCase{"doubleClickChooses", kThreeLines,
                 [](Steps& s) {
                     s.openFor(5);
                     s.doubleClickRow(3);
                 },
                 false, {}, {}, 5, kThreeLines, "Jerusalem", 2},
        // The book is not modal: the order pad narrows the target list while it is open.
        BookCase{"narrowedWhileOpenStillChoosesTheClickedAddress", kThreeLines,
                 [](Steps& s) {
                     s.openFor(2);
                     QTest::keyClicks(s.pad.Text33, "J");
                     EXPECT_EQ(entries(s.pad.Combo5), QStringList({"Jerusalem"}));
                     s.clickRow(2);
                     s.choose();
                 },
                 false, {}, {}, 2, kThreeLines, "Tel Aviv", 1},
        // A line written above the others since the table was built (the file edited by hand).
        BookCase{"fileChangedWhileOpenStillChoosesTheClickedAddress", kThreeLines,
                 [](Steps& s) {
                     s.openFor(2);
                     s.data.write("lis.dat", QStringList{"New first"} + kThreeLines);
                     s.clickRow(2);
                     s.choose();
                 },
                 false, {}, {}, 2, QStringList{"New first"} + kThreeLines, "Tel Aviv", 2,
                 QByteArray("New first\r\n") + kThreeLinesBytes},
        BookCase{"missingFileGivesAnEmptyBook", std::nullopt, [](Steps& s) { s.openFor(3); }, true, {}, "3", 3,
                 {}, "", -1},
        BookCase{"unwritableFileIsReportedAndKept", kThreeLines,
                 [](Steps& s) {
                     s.openFor(2);
                     s.clickRow(2);
                     const velmora::data::WriteFailureForTesting fullDisk("lis.dat", 10);
                     s.remove();
                 },
                 true, kAllRows, "2", 2, kThreeLines, "", -1, std::nullopt, "lis.dat"}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(AddressBookWindowRows, otherRecipientRowsAreNotTouched) {
    WindowTestData data;
    data.write("lis.dat", kThreeLines);
    ui::velmora& pad = data.registry().open<ui::velmora>();
    Steps steps(data, pad);
    steps.openFor(2);
    steps.clickRow(1);
    steps.remove();
    // Rows 1, 3, 4 and 5 keep the list and choice the load step gave them.
    EXPECT_EQ(entries(pad.Combo4), kThreeLines);
    EXPECT_EQ(pad.Combo4->Text(), "Tel Aviv");
    for (const EditCombo* list : {pad.Combo6, pad.Combo7, pad.Combo8}) {
        EXPECT_EQ(entries(list), kThreeLines);
        EXPECT_EQ(list->Text(), "Haifa office");
    }
    EXPECT_EQ(entries(pad.Combo5), QStringList({"Tel Aviv", "Jerusalem"}));
}

} // namespace
