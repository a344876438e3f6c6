#include "SubmissionFixture.h"

#include "data/Cp1255.h"
#include "data/Journal.h"
#include "ui/FormBuilder.h"
#include "ui/components/FlexGrid.h"
#include "ui/windows/hipus1.h"
#include "ui/windows/tavla.h"

#include <QAbstractItemModel>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>

using namespace Qt::Literals::StringLiterals;
using velmora::ui::EditCombo;
using velmora::ui::FlexGrid;

namespace {

// The journal of these tests: three earlier orders of the project "Tower A", order numbers 17,
// 9 and 120, submitted before the archive existed. Record 1 has a value in every slot the order
// pad fills; its lists' values are entries of the pad's lists except where a case says not.
struct SlotValue {
    int slot;
    QString value;
};

const QList<SlotValue> kRecord1{
    {1, " 17"},
    {2, "01-02-03"},
    {3, "Acme Ltd"},
    {4, "Tower A"},
    {5, u"שרון פלוט kod777"_s},
    {6, u"משרד ג"_s},
    {7, u"משרד א"_s},
    {8, u"משרד ישן"_s},
    {9, ""},
    {10, u"משרד ב"_s},
    {11, u"רונית כהן"_s},
    {12, "03-1234567"},
    {13, "plan-a.plt"},
    {14, "2"},
    {15, "A&B <rev2>.plt"},
    {16, "1"},
    {17, "detail.plt"},
    {23, "1"},
    {24, "2"},
    {25, "3"},
    {28, "4"},
    {31, " "},
    {33, u"עתקות שחור-לבן"_s},
    {34, u"עתקות ציבוניות"_s},
    {35, " "},
    {36, ""},
    {37, u"עותק ישן"_s},
    {38, u"משה לוי"_s},
};

// Which control of the order pad gets which slot, and whether a list chooses an entry (its
// index) or takes the value as typed (-1).
struct ControlCase {
    const char* control;
    int slot;
    int listIndex; // for lists only
};

const ControlCase kControls[] = {
    {"text1", 11, 0},    {"Text2", 12, 0},  {"Text28", 38, 0},  {"Combo1", 3, 1},   {"Combo2", 4, 0},
    {"Combo3", 5, 2},    {"Combo4", 6, 2},  {"Combo5", 7, 0},   {"Combo6", 8, -1},  {"Combo7", 9, -1},
    {"Combo8", 10, 1},   {"Text3", 13, 0},  {"Text4", 14, 0},   {"Text5", 15, 0},   {"Text6", 16, 0},
    {"Text7", 17, 0},    {"Text8", 18, 0},  {"Text9", 19, 0},   {"Text10", 20, 0},  {"Text11", 21, 0},
    {"Text12", 22, 0},   {"Text13", 23, 0}, {"Text14", 24, 0},  {"Text15", 25, 0},  {"Text16", 26, 0},
    {"Text17", 27, 0},   {"Text18", 28, 0}, {"Text19", 29, 0},  {"Text20", 30, 0},  {"Text21", 31, 0},
    {"Text22", 32, 0},   {"Combo9", 33, 1}, {"Combo10", 34, 1}, {"Combo11", 35, 0}, {"Combo12", 36, -1},
    {"Combo13", 37, -1},
};

class PreviousOrders : public velmora::testing::SubmissionFixture {
protected:
    void SetUp() override {
        SubmissionFixture::SetUp();
        velmora::data::JournalRecord first;
        for (const SlotValue& s : kRecord1)
            first.slot(s.slot) = velmora::data::toCp1255(s.value);
        QByteArray journal = velmora::data::encodeJournalRecord(first);
        for (const char* number : {" 9", " 120"}) {
            velmora::data::JournalRecord other = first;
            other.slot(1) = number;
            other.slot(3) = velmora::data::toCp1255(u"עיריית חיפה"_s);
            journal += velmora::data::encodeJournalRecord(other);
        }
        writeBytes("vlt.dat", journal);
        writeBytes("sbpro.htm", "<html><head></head>\r\n<body>\r\n<!-- 140561 -->\r\n<p>###01 ###04</p>\r\n");
    }

    // The orders of "Tower A" in the table, sorted by order number: 120, 17, 9.
    velmora::ui::tavla& towerOrders() {
        auto& projects = registry().open<velmora::ui::hipus1>();
        projects.Comboh1->setText("Tower A");
        QTest::mouseClick(projects.Commandh1, Qt::LeftButton);
        auto* table = registry().find<velmora::ui::tavla>();
        EXPECT_NE(table, nullptr);
        QTest::mouseClick(table->Command3, Qt::LeftButton);
        return *table;
    }
    static void clickRow(velmora::ui::tavla& table, int row) {
        FlexGrid* grid = table.MSFlexGrid1;
        const QRect cell = grid->visualRect(grid->model()->index(row - 1, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }
    static int recordOfRow(velmora::ui::tavla& table, int row) {
        return table.MSFlexGrid1->TextMatrix(row, 6).trimmed().toInt();
    }

    // Every file of the data directory but the e-mail page, which a print-shop choice rewrites.
    QMap<QString, QByteArray> filesButTheEmailPage() const {
        QMap<QString, QByteArray> files = snapshot();
        files.remove("em.htm");
        return files;
    }
};

TEST_F(PreviousOrders, orderAgainFillsThePadWithTheRecordOfTheRowAfterASort) {
    auto& pad = registry().open<velmora::ui::velmora>();
    pad.Text24->setText("05-03-04");
    pad.Text9->setText("leftover.plt"); // an earlier value where the record has none
    pad.Text22->setText("9");
    auto& table = towerOrders();
    clickRow(table, 2);
    ASSERT_EQ(recordOfRow(table, 2), 1) << "order 17 is the second after the sort";
    const auto before = filesButTheEmailPage();

    QTest::mouseClick(table.Command6, Qt::LeftButton);

    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    EXPECT_EQ(filesButTheEmailPage(), before) << "ordering again writes no file";
    QMap<int, QString> record;
    for (const SlotValue& s : kRecord1)
        record.insert(s.slot, s.value);
    for (const ControlCase& c : kControls) {
        SCOPED_TRACE(c.control);
        QWidget* control = velmora::ui::controlNamed(&pad, c.control);
        if (auto* list = qobject_cast<EditCombo*>(control)) {
            EXPECT_EQ(list->Text(), record.value(c.slot));
            EXPECT_EQ(list->ListIndex(), c.listIndex);
        } else {
            ASSERT_NE(qobject_cast<QLineEdit*>(control), nullptr);
            EXPECT_EQ(qobject_cast<QLineEdit*>(control)->text(), record.value(c.slot));
        }
    }
    // The pad keeps its own date; the print shop was chosen, as a choice from the list does.
    EXPECT_EQ(pad.Text24->text(), "05-03-04");
    EXPECT_EQ(pad.Text23->text(), u"מספר של  שרון פלוט kod777"_s);
    EXPECT_TRUE(read("em.htm").contains("sharon@sharon-plot.co.il"));
    EXPECT_TRUE(pad.isVisible());
}

TEST_F(PreviousOrders, aSubmissionAfterOrderingAgainIsANewOrderWithANewNumber) {
    auto& pad = registry().open<velmora::ui::velmora>();
    pad.Text24->setText("05-03-04");
    auto& table = towerOrders();
    clickRow(table, 2);
    QTest::mouseClick(table.Command6, Qt::LeftButton);
    const QByteArray addresses = read("lis.dat");

    click(pad);

    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    ASSERT_EQ(journalRecords(), 4);
    velmora::order::OrderRecord expected = journalRecord(1);
    expected.setSlot(1, " 7001"); // the first number the service gives shop 777
    expected.setSlot(2, "05-03-04");
    EXPECT_EQ(journalRecord(4), expected);
    // Only the recipient that is no entry of the address list is learned.
    EXPECT_EQ(read("lis.dat"), addresses + velmora::data::toCp1255(u"משרד ישן"_s) + "\r\n");
    EXPECT_EQ(read("archive/000004.html"), read("vl1.html"));
}

// While a submission waits for the server it reads the print-shop list and the lists' indexes
// again: ordering again then would mix two orders, so it is refused and the pad stays as it is.
TEST_F(PreviousOrders, orderAgainWaitsForTheSubmissionUnderWay) {
    auto& pad = openPad(); // shop 042
    auto& table = towerOrders();
    clickRow(table, 2);
    QObject::connect(&pad.submission(), &velmora::order::OrderSubmitter::requestStarted, &pad,
                     [&](velmora::order::SubmissionRequest request, const QString&) {
                         if (request == velmora::order::SubmissionRequest::Template)
                             QTimer::singleShot(0,
                                                [&] { QTest::mouseClick(table.Command6, Qt::LeftButton); });
                     });

    click(pad);

    ASSERT_EQ(messages().size(), 1) << messages().join(u'\n').toStdString();
    EXPECT_TRUE(messages().first().contains(u"עדיין נשלחת"_s)) << messages().first().toStdString();
    ASSERT_EQ(journalRecords(), 4);
    EXPECT_EQ(journalRecord(4).slot(1), " 4201");
    EXPECT_EQ(pad.Combo3->Text(), u"דפוס הצפון kod042"_s);
    EXPECT_EQ(pad.Text3->text(), "plan-a.plt");
}

// The heading row names no order: both buttons say so and change nothing.
class HeadingRow : public PreviousOrders, public ::testing::WithParamInterface<bool> {};

TEST_P(HeadingRow, isNoOrder) {
    auto& pad = registry().open<velmora::ui::velmora>();
    const QString account = pad.Combo1->Text();
    auto& table = towerOrders(); // nothing clicked: the current row is the heading
    const auto before = snapshot();

    QTest::mouseClick(GetParam() ? table.Command6 : table.Command7, Qt::LeftButton);

    EXPECT_EQ(messages(), QStringList({u"צריך לבחור את ההזמנה!"_s}));
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(pad.Combo1->Text(), account);
    EXPECT_TRUE(viewerStarts.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Buttons, HeadingRow, ::testing::Bool(),
                         [](const auto& tc) { return std::string(tc.param ? "orderAgain" : "asSent"); });

TEST_F(PreviousOrders, asSentShowsTheArchivedDocumentOfANewOrderNotTheLastDocument) {
    auto& pad = openPad();
    pad.Combo2->setListIndex(0); // Tower A
    click(pad);
    ASSERT_EQ(journalRecords(), 4);
    const QByteArray sent = read("vl1.html");
    auto& table = towerOrders(); // 4201, 120, 17, 9
    ASSERT_EQ(recordOfRow(table, 1), 4);
    clickRow(table, 3);
    QTest::mouseClick(table.Commandt1, Qt::LeftButton); // vl1.html now holds order 17 again
    ASSERT_NE(read("vl1.html"), sent);
    viewerStarts.clear();

    clickRow(table, 1);
    QTest::mouseClick(table.Command7, Qt::LeftButton);

    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    EXPECT_EQ(viewerStarts, QList<QStringList>({{context.viewer, path("archive/000004.html")}}));
    EXPECT_EQ(read("archive/000004.html"), sent);
}

TEST_F(PreviousOrders, asSentOfAnOrderFromBeforeTheArchiveOffersOnlyTheReshow) {
    auto& table = towerOrders();
    clickRow(table, 3); // order 9
    const auto before = snapshot();

    QTest::mouseClick(table.Command7, Qt::LeftButton);

    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages().first().contains(u"הזמנה מס 9 "_s)) << messages().first().toStdString();
    EXPECT_TRUE(messages().first().contains("Show, print and save")) << messages().first().toStdString();
    EXPECT_EQ(snapshot(), before);
    EXPECT_TRUE(viewerStarts.isEmpty());
}

} // namespace
