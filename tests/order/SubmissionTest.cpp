#include "order/Submission.h"

#include "data/Cp1255.h"

#include "BytesPrinting.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

using namespace velmora::order;

namespace {

const QString kReminder = QStringLiteral(u"אל תשכח לקבוא מכון העתקות!");
const QString kChosenShop = QStringLiteral(u"מספר של  Print House kod042");

// An order that passes every check.
OrderForm validForm() {
    OrderForm form;
    form.statusLine = kChosenShop;
    form.fileNames[0] = QStringLiteral("plan.plt");
    form.account = QStringLiteral("Municipality");
    form.project = QStringLiteral("Tower");
    return form;
}

struct CheckCase {
    const char* name;
    std::function<void(OrderForm&)> change;
    OrderCheck expected;
};

class OrderChecks : public ::testing::TestWithParam<CheckCase> {};

TEST_P(OrderChecks, firstFailingCheckWins) {
    OrderForm form = validForm();
    GetParam().change(form);
    EXPECT_EQ(checkOrder(form), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OrderChecks,
    ::testing::Values(
        CheckCase{"valid_order_passes", [](OrderForm&) {}, OrderCheck::Passed},
        CheckCase{"reminder_still_shown", [](OrderForm& f) { f.statusLine = kReminder; },
                  OrderCheck::NoPrintShop},
        CheckCase{"reminder_and_no_file_reports_only_the_shop",
                  [](OrderForm& f) {
                      f.statusLine = kReminder;
                      f.fileNames[0].clear();
                      f.account.clear();
                      f.project.clear();
                  },
                  OrderCheck::NoPrintShop},
        CheckCase{"any_status_beginning_with_alef", [](OrderForm& f) { f.statusLine = QStringLiteral(u"א"); },
                  OrderCheck::NoPrintShop},
        CheckCase{"empty_status_line_is_not_the_reminder", [](OrderForm& f) { f.statusLine.clear(); },
                  OrderCheck::Passed},
        CheckCase{"no_file_name", [](OrderForm& f) { f.fileNames[0].clear(); }, OrderCheck::NoFileName},
        CheckCase{"single_blank_file_name_passes", [](OrderForm& f) { f.fileNames[0] = QStringLiteral(" "); },
                  OrderCheck::Passed},
        CheckCase{"only_row_one_file_name_is_checked",
                  [](OrderForm& f) {
                      for (int r = 1; r < 5; ++r)
                          f.fileNames[static_cast<std::size_t>(r)].clear();
                  },
                  OrderCheck::Passed},
        CheckCase{"no_file_and_no_account_reports_the_file",
                  [](OrderForm& f) {
                      f.fileNames[0].clear();
                      f.account.clear();
                  },
                  OrderCheck::NoFileName},
        CheckCase{"no_account_and_no_project_reports_the_account",
                  [](OrderForm& f) {
                      f.account.clear();
                      f.project.clear();
                  },
                  OrderCheck::NoAccount},
        CheckCase{"no_project", [](OrderForm& f) { f.project.clear(); }, OrderCheck::NoProject},
        CheckCase{"single_blank_project_passes", [](OrderForm& f) { f.project = QStringLiteral(" "); },
                  OrderCheck::Passed}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(OrderChecks, messagesAreTheWindowsTexts) {
    EXPECT_EQ(checkMessage(OrderCheck::NoPrintShop), QStringLiteral(u"לא נקבא מכונ העתקות!"));
    EXPECT_EQ(checkMessage(OrderCheck::NoFileName), QStringLiteral(u"לא רשום שם הקובץ!"));
    EXPECT_EQ(checkMessage(OrderCheck::NoAccount), QStringLiteral(u"לא רשום שם מתחייב!"));
    EXPECT_EQ(checkMessage(OrderCheck::NoProject), QStringLiteral(u"לא רשום שם הפרויקט!"));
    EXPECT_TRUE(checkMessage(OrderCheck::Passed).isEmpty());
}

struct CleanCase {
    const char* name;
    QByteArray text;
    QByteArray cleaned;
};

class Cleaning : public ::testing::TestWithParam<CleanCase> {};

TEST_P(Cleaning, replacesCommasAndDoubleQuotesOnly) {
    EXPECT_EQ(cleanText(GetParam().text), GetParam().cleaned);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Cleaning,
    ::testing::Values(CleanCase{"quoted_word_after_comma", "Tower, \"B\"", "Tower; ''B''"},
                      CleanCase{"whole_text_quoted", "\"Tower, B\"", "''Tower; B''"},
                      CleanCase{"typed_number_list", "1,2", "1;2"},
                      CleanCase{"runs_of_both", ",,\"\"", ";;''''"},
                      CleanCase{"apostrophes_and_semicolons_unchanged", "a'b;c", "a'b;c"},
                      CleanCase{"hebrew_bytes_unchanged", "\xf9\xec\xe5\xed", "\xf9\xec\xe5\xed"},
                      CleanCase{"single_blank_kept", " ", " "}, CleanCase{"empty", "", ""}),
    [](const auto& tc) { return std::string(tc.param.name); });

// Every control in its own slot: the slot numbers are the journal's layout and the templates'
// placeholders, so a control in a wrong slot corrupts every stored order.
TEST(BuildRecord, eachFieldLandsInItsSlot) {
    OrderForm form;
    form.statusLine = QStringLiteral("Text23");
    form.date = QStringLiteral("Text24");
    form.account = QStringLiteral("Combo1");
    form.project = QStringLiteral("Combo2");
    form.printShop = QStringLiteral("Combo3");
    form.orderer = QStringLiteral("text1");
    form.telephone = QStringLiteral("Text2");
    form.handledFor = QStringLiteral("Text28");
    for (int r = 0; r < 5; ++r) {
        const auto i = static_cast<std::size_t>(r);
        form.recipients[i] = QStringLiteral("Combo%1").arg(4 + r);
        form.fileNames[i] = QStringLiteral("Text%1").arg(3 + 2 * r);
        form.quantities[i] = QStringLiteral("Text%1").arg(4 + 2 * r);
        form.colourCopies[i] = QStringLiteral("Text%1").arg(13 + r);
        form.blackWhiteCopies[i] = QStringLiteral("Text%1").arg(18 + r);
        form.copyTypes[i] = QStringLiteral("Combo%1").arg(9 + r);
    }
    const QList<QByteArray> expected = {
        "Text23", "Text24",  "Combo1",  "Combo2",  "Combo3",  "Combo4", "Combo5", "Combo6",
        "Combo7", "Combo8",  "text1",   "Text2",   "Text3",   "Text4",  "Text5",  "Text6",
        "Text7",  "Text8",   "Text9",   "Text10",  "Text11",  "Text12", "Text13", "Text14",
        "Text15", "Text16",  "Text17",  "Text18",  "Text19",  "Text20", "Text21", "Text22",
        "Combo9", "Combo10", "Combo11", "Combo12", "Combo13", "Text28"};
    const OrderRecord record = buildRecord(form);
    QList<QByteArray> slotTexts;
    for (int n = 1; n <= 38; ++n)
        slotTexts.append(record.slot(n));
    EXPECT_EQ(slotTexts, expected);
}

TEST(BuildRecord, textBecomesWindows1255) {
    OrderForm form;
    form.project = QStringLiteral(u"מגדל \u4E2D");
    EXPECT_EQ(buildRecord(form).slot(Slot::Project), QByteArray("\xee\xe2\xe3\xec ?"));
}

// The cleaned record goes to the journal, the document and the lists; the settings keep the
// orderer's values as typed.
TEST(BuildRecord, cleanedRecordAndSettingsValues) {
    OrderForm form = validForm();
    form.project = QStringLiteral("Tower, \"B\"");
    form.orderer = QStringLiteral("Cohen, Dan");
    form.telephone = QStringLiteral("04-555\"1\"");
    form.handledFor = QStringLiteral("Levi");
    form.blackWhiteCopies[3] = QStringLiteral(" ");

    const OrderRecord cleaned = cleanRecord(buildRecord(form));
    EXPECT_EQ(cleaned.slot(Slot::Project), QByteArray("Tower; ''B''"));
    EXPECT_EQ(cleaned.slot(Slot::Orderer), QByteArray("Cohen; Dan"));
    EXPECT_EQ(cleaned.slot(Slot::Telephone), QByteArray("04-555''1''"));
    EXPECT_EQ(cleaned.slot(Slot::blackWhiteCopies(3)), QByteArray(" "));

    const velmora::data::OrdererSettings settings = settingsValues(form);
    EXPECT_EQ(settings.orderer, QByteArray("Cohen, Dan"));
    EXPECT_EQ(settings.telephone, QByteArray("04-555\"1\""));
    EXPECT_EQ(settings.handledFor, QByteArray("Levi"));
}

TEST(BuildRecord, everyOrderSlotIsCleaned) {
    OrderRecord record;
    for (int n = 1; n <= 38; ++n)
        record.setSlot(n, "a,\"b\"");
    const OrderRecord cleaned = cleanRecord(record);
    for (int n = 1; n <= 38; ++n)
        EXPECT_EQ(cleaned.slot(n), QByteArray("a;''b''")) << "slot " << n;
}

// Ordering again: the fields give the previous order's record back, slot for slot, but not its
// order number.
TEST(PreviousOrderForm, givesTheRecordBackWithoutItsOrderNumber) {
    OrderRecord previous;
    for (int n = 1; n <= 38; ++n)
        previous.setSlot(n, velmora::data::toCp1255(QStringLiteral(u"ערך %1").arg(n)));
    const OrderForm form = previousOrderForm(previous);
    EXPECT_TRUE(form.statusLine.isEmpty());
    EXPECT_EQ(form.indexes.account, -1);
    EXPECT_EQ(form.indexes.recipients, (std::array<int, 5>{-1, -1, -1, -1, -1}));
    OrderRecord expected = previous;
    expected.setSlot(Slot::OrderNumber, {});
    EXPECT_EQ(buildRecord(form), expected);
}

TEST(BuildRecord, orderNumberReplacesTheStatusLine) {
    OrderRecord record = buildRecord(validForm());
    setOrderNumber(record, 137);
    EXPECT_EQ(record.slot(Slot::OrderNumber), QByteArray(" 137"));
    setOrderNumber(record, 0);
    EXPECT_EQ(record.slot(Slot::OrderNumber), QByteArray(" 0"));
}

struct LearnCase {
    const char* name;
    ListIndexes indexes;
    QList<int> learnedSlotNumbers;
};

class Learning : public ::testing::TestWithParam<LearnCase> {};

TEST_P(Learning, learnsTypedEntriesInFixedOrder) {
    OrderRecord record;
    for (int n = 1; n <= 38; ++n)
        record.setSlot(n, QByteArray("slot ") + QByteArray::number(n));
    const QList<LearnedEntry> entries = learnedEntries(record, GetParam().indexes);
    QList<int> slotTexts;
    for (const LearnedEntry& e : entries) {
        slotTexts.append(e.slot);
        EXPECT_EQ(e.text, record.slot(e.slot));
        const QString expectedList = e.slot == 3 ? "hes.dat" : e.slot == 4 ? "pro.dat" : "lis.dat";
        const QString expectedCount = e.slot == 3 ? "hescol.dat" : e.slot == 4 ? "procol.dat" : "liscol.dat";
        EXPECT_EQ(e.listFile, expectedList);
        EXPECT_EQ(e.countFile, expectedCount);
    }
    EXPECT_EQ(slotTexts, GetParam().learnedSlotNumbers);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Learning,
    ::testing::Values(
        LearnCase{"all_chosen", ListIndexes{0, 3, {1, 0, 0, 0, 0}}, {}},
        LearnCase{"typed_account", ListIndexes{-1, 0, {}}, {3}},
        LearnCase{"typed_project", ListIndexes{0, -1, {}}, {4}},
        LearnCase{"typed_recipients_2_and_5", ListIndexes{0, 0, {0, -1, 0, 0, -1}}, {7, 10}},
        LearnCase{"everything_typed", ListIndexes{-1, -1, {-1, -1, -1, -1, -1}}, {3, 4, 6, 7, 8, 9, 10}}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(Learning, anEmptyTypedTextLearnsNothing) {
    OrderRecord record;
    record.setSlot(7, "Typed");
    const QList<LearnedEntry> entries = learnedEntries(record, ListIndexes{-1, -1, {-1, -1, -1, -1, -1}});
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0], (LearnedEntry{"lis.dat", "liscol.dat", 7, "Typed"}));
}

} // namespace
