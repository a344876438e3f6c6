#include "ModalDialogs.h"
#include "WindowTestData.h"

#include "order/OrderRecord.h"
#include "ui/CaptionButton.h"
#include "ui/components/BrowserPane.h"
#include "ui/components/DialogHooks.h"
#include "ui/components/EditCombo.h"
#include "ui/windows/velmora.h"

#include <QDate>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace Qt::Literals::StringLiterals;
using velmora::testing::fileNameBox;
using velmora::testing::pressOpen;
using velmora::testing::whenModalShows;
using velmora::testing::WindowTestData;
using velmora::ui::DialogHooks;
using velmora::ui::EditCombo;

namespace {

QStringList entries(const EditCombo* list) {
    QStringList all;
    for (int i = 0; i < list->ListCount(); ++i)
        all.append(list->List(i));
    return all;
}

const QString kReminder = u"אל תשכח לקבוא מכון העתקות!"_s;

class VelmoraWindow : public ::testing::Test {
protected:
    velmora::ui::velmora& openPad() { return data.registry().open<velmora::ui::velmora>(); }
    WindowTestData data;
};

TEST_F(VelmoraWindow, loadFillsEveryListInFileOrder) {
    auto& pad = openPad();
    EXPECT_EQ(entries(pad.Combo3),
              QStringList({"Print House kod012", u"דפוס הצפון kod007"_s, "Third Shop kod099"}));
    EXPECT_EQ(entries(pad.Combo1), QStringList({u"עיריית חיפה"_s, "Acme Ltd"}));
    EXPECT_EQ(entries(pad.Combo2), QStringList({"Tower A", u"מגדל ב"_s}));
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(entries(pad.recipientList(row)), QStringList({u"משרד א"_s, u"משרד ב"_s}))
            << "recipient row " << row;
    EXPECT_EQ(pad.Combo1->ListIndex(), 0);
    EXPECT_EQ(pad.Combo2->ListIndex(), 0);
    EXPECT_EQ(pad.Combo3->Text(), "Print House kod012");
    EXPECT_TRUE(DialogHooks::shownMessages().isEmpty());
}

TEST_F(VelmoraWindow, withTwoAddressesTheFirstRecipientShowsTheSecondAndTheOthersTheFirst) {
    auto& pad = openPad();
    EXPECT_EQ(pad.Combo4->Text(), u"משרד ב"_s);
    EXPECT_EQ(pad.Combo4->ListIndex(), 1);
    for (EditCombo* list : {pad.Combo5, pad.Combo6, pad.Combo7, pad.Combo8}) {
        EXPECT_EQ(list->Text(), u"משרד א"_s) << list->objectName().toStdString();
        EXPECT_EQ(list->ListIndex(), 0);
    }
}

TEST_F(VelmoraWindow, copyTypeListsOfferTheirTypesAndStartOnTheFirst) {
    auto& pad = openPad();
    const QString colour = u"עתקות ציבוניות"_s;
    const QString blackWhite = u"עתקות שחור-לבן"_s;
    EXPECT_EQ(entries(pad.Combo9), QStringList({colour, blackWhite}));
    EXPECT_EQ(pad.Combo9->Text(), colour);
    for (EditCombo* list : {pad.Combo10, pad.Combo11, pad.Combo12, pad.Combo13}) {
        EXPECT_EQ(entries(list), QStringList({" ", colour, blackWhite})) << list->objectName().toStdString();
        EXPECT_EQ(list->Text(), " ");
        EXPECT_EQ(list->ListIndex(), 0);
    }
}

TEST_F(VelmoraWindow, headerComesFromTheSettingsAndToday) {
    auto& pad = openPad();
    EXPECT_EQ(pad.text1->text(), u"ישראל ישראלי"_s);
    EXPECT_EQ(pad.Text2->text(), "03-5551234");
    EXPECT_EQ(pad.Text28->text(), u"דנה כהן"_s);
    EXPECT_EQ(pad.Text24->text(), QDate::currentDate().toString(u"dd-MM-yy"_s));
}

TEST_F(VelmoraWindow, rowsStartEmptyExceptOneBlankInTheFourthBlackAndWhiteBox) {
    auto& pad = openPad();
    for (QLineEdit* box : {pad.Text3,  pad.Text4,  pad.Text5,  pad.Text6,  pad.Text7,  pad.Text8,  pad.Text9,
                           pad.Text10, pad.Text11, pad.Text12, pad.Text13, pad.Text14, pad.Text15, pad.Text16,
                           pad.Text17, pad.Text18, pad.Text19, pad.Text20, pad.Text22, pad.Text29, pad.Text30,
                           pad.Text31, pad.Text32, pad.Text33, pad.Text34, pad.Text35, pad.Text36})
        EXPECT_EQ(box->text(), "") << box->objectName().toStdString();
    EXPECT_EQ(pad.Text21->text(), " ");
    EXPECT_EQ(pad.Text25->text(), "1");
    EXPECT_EQ(pad.Text26->text(), "0");
}

// The load step chooses the first shop (which writes its e-mail page) and only then puts the
// reminder into the status line, so submitting still asks for a shop.
TEST_F(VelmoraWindow, reminderReplacesTheStatusOfTheAutomaticShopChoice) {
    auto& pad = openPad();
    EXPECT_EQ(pad.Text23->text(), kReminder);
    EXPECT_EQ(data.read("em.htm"),
              "<html>\r\n<a href=mailto:orders@print.example>orders@print.example</a>\r\n</html>\r\n");
    EXPECT_EQ(pad.WebBrowser1->lastNavigated(), QUrl::fromLocalFile(data.path("em.htm")));
}

TEST_F(VelmoraWindow, choosingAShopShowsItInTheStatusLineAndRewritesTheEmailPage) {
    auto& pad = openPad();
    pad.Combo3->setListIndex(1);
    EXPECT_EQ(pad.Text23->text(), u"מספר של  דפוס הצפון kod007"_s);
    EXPECT_EQ(data.read("em.htm"), "<html>\r\nNo E-Mail\r\n</html>\r\n");
}

TEST_F(VelmoraWindow, choosingAShopMissingFromTheDetailsKeepsThePreviousPage) {
    auto& pad = openPad();
    const QByteArray before = data.read("em.htm");
    pad.Combo3->setListIndex(2);
    EXPECT_EQ(pad.Text23->text(), u"מספר של  Third Shop kod099"_s);
    EXPECT_EQ(data.read("em.htm"), before);
    EXPECT_TRUE(DialogHooks::shownMessages().isEmpty());
}

// A file the load step needs that is missing or too short: one message naming it, and the
// window opens with every list it could fill.
struct LoadProblemCase {
    std::string name;
    QString file;
    std::optional<QStringList> content; // nullopt: the file is missing
    QString list;                       // the list that the file fills
    int expectedEntries;
    int expectedIndex;
};

void PrintTo(const LoadProblemCase& c, std::ostream* os) {
    *os << c.name;
}

class VelmoraLoadProblem : public ::testing::TestWithParam<LoadProblemCase> {
protected:
    WindowTestData data;
};

TEST_P(VelmoraLoadProblem, isReportedByNameAndTheOtherListsStillFill) {
    const LoadProblemCase& c = GetParam();
    if (c.content)
        data.write(c.file, *c.content);
    else
        data.remove(c.file);

    auto& pad = data.registry().open<velmora::ui::velmora>();

    const QStringList messages = DialogHooks::shownMessages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().contains(c.file)) << messages.first().toStdString();

    auto* list = pad.findChild<EditCombo*>(c.list);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->ListCount(), c.expectedEntries);
    EXPECT_EQ(list->ListIndex(), c.expectedIndex);

    // Every other list is as full as the fixture makes it.
    const QList<std::pair<QString, int>> full{{"Combo1", 2}, {"Combo2", 2}, {"Combo3", 3}, {"Combo5", 2}};
    for (const auto& [name, count] : full)
        if (name != c.list && !(c.list == "Combo4" && name == "Combo5")) {
            EXPECT_EQ(pad.findChild<EditCombo*>(name)->ListCount(), count) << name.toStdString();
        }
    EXPECT_EQ(pad.Text23->text(), kReminder);
    EXPECT_TRUE(pad.isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VelmoraLoadProblem,
    ::testing::Values(LoadProblemCase{"missingAccounts", "hes.dat", std::nullopt, "Combo1", 0, -1},
                      LoadProblemCase{"emptyProjects", "pro.dat", QStringList{}, "Combo2", 0, -1},
                      LoadProblemCase{"missingShops", "ruf25.dat", std::nullopt, "Combo3", 0, -1},
                      // The first recipient row selects the second address, which is not there.
                      LoadProblemCase{"oneAddress", "lis.dat", QStringList{u"משרד א"_s}, "Combo4", 1, -1},
                      LoadProblemCase{"missingSettings", "const.dat", std::nullopt, "Combo1", 2, 0}),
    [](const ::testing::TestParamInfo<LoadProblemCase>& param) { return param.param.name; });

TEST_F(VelmoraWindow, shortSettingsFillWhatTheyHoldAndAreReported) {
    data.write("const.dat", {u"ישראל ישראלי"_s});
    auto& pad = openPad();
    EXPECT_EQ(pad.text1->text(), u"ישראל ישראלי"_s);
    EXPECT_EQ(pad.Text2->text(), "");
    EXPECT_EQ(pad.Text28->text(), "");
    ASSERT_EQ(DialogHooks::shownMessages().size(), 1);
    EXPECT_TRUE(DialogHooks::shownMessages().first().contains("const.dat"));
}

// Every one of slotControls 1 to 38 comes from its own control; slot 0 and 39 to 50 stay empty.
TEST_F(VelmoraWindow, orderRecordTakesEverySlotFromItsControl) {
    auto& pad = openPad();
    const std::vector<std::pair<int, const char*>> slotControls{
        {1, "Text23"},   {2, "Text24"},  {3, "Combo1"},  {4, "Combo2"},   {5, "Combo3"},   {6, "Combo4"},
        {7, "Combo5"},   {8, "Combo6"},  {9, "Combo7"},  {10, "Combo8"},  {11, "text1"},   {12, "Text2"},
        {13, "Text3"},   {14, "Text4"},  {15, "Text5"},  {16, "Text6"},   {17, "Text7"},   {18, "Text8"},
        {19, "Text9"},   {20, "Text10"}, {21, "Text11"}, {22, "Text12"},  {23, "Text13"},  {24, "Text14"},
        {25, "Text15"},  {26, "Text16"}, {27, "Text17"}, {28, "Text18"},  {29, "Text19"},  {30, "Text20"},
        {31, "Text21"},  {32, "Text22"}, {33, "Combo9"}, {34, "Combo10"}, {35, "Combo11"}, {36, "Combo12"},
        {37, "Combo13"}, {38, "Text28"}};
    const auto value = [](int slot) {
        return u"ערך %1"_s.arg(slot);
    };
    for (const auto& [slot, name] : slotControls) {
        QWidget* control = pad.findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(control, nullptr) << name;
        if (auto* list = qobject_cast<EditCombo*>(control))
            list->setText(value(slot));
        else
            qobject_cast<QLineEdit*>(control)->setText(value(slot));
    }

    const velmora::order::OrderRecord record = pad.orderRecord();
    for (const auto& [slot, name] : slotControls)
        EXPECT_EQ(record.slot(slot), velmora::data::toCp1255(value(slot)))
            << "slot " << slot << " from " << name;
    EXPECT_TRUE(record.slot(0).isEmpty());
    for (int slot = 39; slot <= 50; ++slot)
        EXPECT_TRUE(record.slot(slot).isEmpty()) << "slot " << slot;
}

// Submission learns the entries whose list index is -1: typed text, not a choice.
TEST_F(VelmoraWindow, orderFormTellsChosenEntriesFromTypedOnes) {
    auto& pad = openPad();
    pad.Combo1->setText("Typed Account");
    pad.Combo2->setListIndex(1);
    pad.Combo6->setText(u"כתובת חדשה"_s);
    const velmora::order::OrderForm form = pad.buildOrderForm();
    EXPECT_EQ(form.indexes.account, -1);
    EXPECT_EQ(form.indexes.project, 1);
    EXPECT_EQ(form.project, u"מגדל ב"_s);
    EXPECT_EQ(form.indexes.recipients, (std::array<int, 5>{1, 0, -1, 0, 0}));
}

// The keyboard focus moves through the order pad in its designed order; in the first file row
// the quantity comes before the file name.
TEST_F(VelmoraWindow, tabMovesThroughTheControlsInTheDesignedOrder) {
    auto& pad = openPad();
    const QStringList expected{"text1",     "Text2",     "Combo1",    "Combo2",    "Combo3",      "Text4",
                               "Text3",     "Text5",     "Text6",     "Text7",     "Text8",       "Text9",
                               "Text10",    "Text11",    "Text12",    "Combo4",    "Combo5",      "Combo6",
                               "Combo7",    "Combo8",    "Text13",    "Text14",    "Text15",      "Text16",
                               "Text17",    "Text18",    "Text19",    "Text20",    "Text21",      "Text22",
                               "Command1",  "Command2",  "Text23",    "Text24",    "Text25",      "Text26",
                               "Text28",    "Combo9",    "Combo10",   "Combo11",   "Combo12",     "Combo13",
                               "Text29",    "Text30",    "Text31",    "Text32",    "Text33",      "Text34",
                               "Text35",    "Text36",    "Command3",  "Command4",  "Command5",    "Command6",
                               "Command7",  "Command8",  "Command9",  "Command10", "WebBrowser1", "Command11",
                               "Command12", "Command13", "Command14", "Command15", "Command16"};

    // Walk the focus chain from text1 as Tab does: a widget takes the focus by Tab unless it hands
    // it to a focus proxy; a focus taken inside a control (the web pane's view) counts for the
    // control.
    const auto controlOf = [&pad](QWidget* w) {
        while (w && w->parentWidget() != &pad)
            w = w->parentWidget();
        return w;
    };
    QStringList chain;
    QWidget* widget = pad.text1;
    do {
        QWidget* control = controlOf(widget);
        const bool takesTab = (widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy();
        if (control && takesTab && (chain.isEmpty() || chain.last() != control->objectName()))
            chain.append(control->objectName());
        widget = widget->nextInFocusChain();
    } while (widget != pad.text1 && chain.size() <= expected.size());
    EXPECT_EQ(chain.join(u' ').toStdString(), expected.join(u' ').toStdString());
}

TEST_F(VelmoraWindow, typingIntoACompletionBoxNarrowsItsList) {
    data.write("lis.dat", {"Alpha", "Beta", "Almond"});
    auto& pad = openPad();
    pad.Text32->setText("A");
    EXPECT_EQ(entries(pad.Combo4), QStringList({"Alpha", "Almond"}));
    EXPECT_EQ(pad.Combo4->Text(), "");
    EXPECT_EQ(entries(pad.Combo5), QStringList({"Alpha", "Beta", "Almond"}));
    pad.Text32->setText("");
    EXPECT_EQ(entries(pad.Combo4), QStringList({"Alpha", "Almond"}));
}

TEST_F(VelmoraWindow, browseWritesTheBareNamesAndACancelKeepsTheBox) {
    auto& pad = openPad();
    DialogHooks::setNextFiles({"/plots/A1.PLT", "/plots/B2.PLT"});
    pad.Command5->click();
    EXPECT_EQ(pad.Text5->text(), "A1.PLT ; B2.PLT");
    DialogHooks::setNextCancel();
    pad.Command5->click();
    EXPECT_EQ(pad.Text5->text(), "A1.PLT ; B2.PLT");
    EXPECT_EQ(pad.Text3->text(), "");
}

// With the real dialog: a name typed into it goes into the row as it stands, also when no such
// file exists.
TEST_F(VelmoraWindow, browseTakesATypedNameOfAFileThatDoesNotExist) {
    auto& pad = openPad();
    QTemporaryDir plots;
    whenModalShows<QFileDialog>([&](QFileDialog* dialog) {
        dialog->setDirectory(plots.path());
        QTest::keyClicks(fileNameBox(dialog), "NEW1.PLT");
        pressOpen(dialog);
    });
    DialogHooks::setActive(false);
    pad.Command6->click();
    DialogHooks::setActive(true);
    EXPECT_EQ(pad.Text7->text(), "NEW1.PLT");
}

TEST_F(VelmoraWindow, printShopInformationShowsTheChosenShopsDetails) {
    auto& pad = openPad();
    pad.Command3->click();
    ASSERT_EQ(DialogHooks::shownMessages().size(), 1);
    EXPECT_TRUE(DialogHooks::shownMessages().first().contains("Tel 03-1111111"));
}

} // namespace
