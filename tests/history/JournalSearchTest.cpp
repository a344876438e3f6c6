#include "history/JournalSearch.h"

#include "HistoryTestData.h"

#include "BytesPrinting.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

using velmora::Result;
using velmora::history::FoundOrder;
using velmora::history::SearchKey;
using velmora::history::SearchResult;
using velmora::testing::HistoryDir;
using velmora::testing::order;

namespace {

// Twelve orders covering the match rules and the length filters.
class JournalSearch : public ::testing::Test {
protected:
    void SetUp() override {
        data.journal({
            order(" 101", "05-03-04", "Acme Ltd", "Tower A", "Print House kod12 "), // 1
            order(" 102", "06-03-04", "Acme", "Tower", "Other Shop kod013"),        // 2
            order(" 103", "07-03-04", "Beta Corp", "Tower A2", "Print"),            // 3
            order(" 104", "08-03-04", "Acme Ltd", "tower a", "Print House kod012"), // 4
            order(" 105", "09-03-04", "Acme Ltd", "To", "Print House kod012"),      // 5: project of 2
            order(" 106", "1", "Acme Ltd", "Tower A", "Print House kod012"),        // 6: date of 1
            order(" 107", "10-03-04", "", "Tower A", "Print House kod012"),         // 7: no account
            order("", "11-03-04", "Acme Ltd", "Tower A", "Print House kod012"),     // 8: no number
            order(" 109", "12-03-04", "Acme Ltd", "Tower A", "Sharon kod7"),        // 9
            order(" 110", "13-03-04", "Acme Ltd", "Tower A", "ab012xyz"),           // 10: no "kod"
            order(" 111", "14-03-04", "Gimel", "Tower A", "Xy"),                    // 11: shop of 2
            order(" 112", "15-03-04", "Acme Ltd", "Tower", "Print House kod012"),   // 12
        });
    }
    HistoryDir data;
};

struct MatchCase {
    const char* name;
    SearchKey key;
    QByteArray selection;
    QList<qsizetype> records;
};

class Matches : public JournalSearch, public ::testing::WithParamInterface<MatchCase> {};

TEST_P(Matches, findTheRecordsOfTheSelection) {
    const Result<SearchResult> result =
        velmora::history::searchJournal(data.path("vlt.dat"), GetParam().key, GetParam().selection);
    ASSERT_TRUE(result.ok()) << result.error().toStdString();
    QList<qsizetype> records;
    for (const FoundOrder& found : result->orders)
        records.append(found.record);
    EXPECT_EQ(records, GetParam().records);
    EXPECT_EQ(result->recordsSeen, 12);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Matches,
    ::testing::Values(
        // Codes equal as numbers (012, 12 and "12 " read 12); "ab012xyz" has no "kod", so its
        // code is its third to fifth characters, "012".
        MatchCase{"shopCodesAsNumbers", SearchKey::PrintShop, "Print House kod012", {1, 3, 4, 10, 12}},
        // The selection contains slot 5 "Print" (record 3) whatever the codes say.
        MatchCase{"selectionContainsTheShop", SearchKey::PrintShop, "Print kod099", {3}},
        MatchCase{"otherCodeNoMatch", SearchKey::PrintShop, "Other Shop kod013", {2}},
        MatchCase{"codeSevenMatchesZeroZeroSeven", SearchKey::PrintShop, "Sharon kod007", {9}},
        MatchCase{"projectContained", SearchKey::Project, "Tower A", {1, 2, 9, 10, 12}},
        MatchCase{"projectCaseCounts", SearchKey::Project, "TOWER A", {}},
        MatchCase{"projectLongerSelection", SearchKey::Project, "Tower A2 north", {1, 2, 3, 9, 10, 12}},
        // The account search has no length filters: the one-character date and the empty
        // number pass, and the empty account is contained in every non-empty selection.
        MatchCase{"accountWithoutFilters", SearchKey::Account, "Acme Ltd", {1, 2, 4, 5, 6, 7, 8, 9, 10, 12}},
        MatchCase{"emptySelectionMatchesNothing", SearchKey::Account, "", {}},
        MatchCase{"emptyProjectSelection", SearchKey::Project, "", {}}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST_F(JournalSearch, rowsCarryTheFiveSlotsAndTheRecordNumber) {
    const Result<SearchResult> result =
        velmora::history::searchJournal(data.path("vlt.dat"), SearchKey::Project, "Tower A2");
    ASSERT_TRUE(result.ok());
    ASSERT_EQ(result->orders.size(), 6);
    EXPECT_EQ(result->orders.at(2), (FoundOrder{3, " 103", "07-03-04", "Beta Corp", "Tower A2", "Print"}));
}

TEST_F(JournalSearch, handedOverOrdersAreTheCollectedOnesAndEqualTextsShareTheirNumber) {
    QList<FoundOrder> found;
    QList<std::array<int, 4>> ids;
    const Result<SearchResult> result =
        velmora::history::searchJournal(data.path("vlt.dat"), SearchKey::Account, "Acme Ltd",
                                        [&](const velmora::history::FoundOrderView& order) {
                                            found.append(order.toOrder());
                                            ids.append(order.textIds);
                                        });
    ASSERT_TRUE(result.ok());
    EXPECT_TRUE(result->orders.isEmpty()) << "handed over, not collected";
    EXPECT_EQ(found,
              velmora::history::searchJournal(data.path("vlt.dat"), SearchKey::Account, "Acme Ltd")->orders);
    ASSERT_EQ(found.size(), 10);
    for (qsizetype a = 0; a < found.size(); ++a) {
        for (qsizetype b = 0; b < found.size(); ++b) {
            EXPECT_EQ(found[a].date == found[b].date, ids[a][0] == ids[b][0]);
            EXPECT_EQ(found[a].account == found[b].account, ids[a][1] == ids[b][1]);
            EXPECT_EQ(found[a].project == found[b].project, ids[a][2] == ids[b][2]);
            EXPECT_EQ(found[a].printShop == found[b].printShop, ids[a][3] == ids[b][3]);
        }
    }
}

TEST(JournalSearchText, aStarredOrderNumberEndsTheSearch) {
    QByteArray journal;
    for (const auto& record : {order(" 1", "01-01-04", "Acme", "Tower", "A kod001"),
                               order("*** end", "01-01-04", "Acme", "Tower", "A kod001"),
                               order(" 3", "01-01-04", "Acme", "Tower", "A kod001")})
        journal += velmora::data::encodeJournalRecord(record);
    const SearchResult result = velmora::history::searchJournalText(journal, SearchKey::Project, "Tower");
    ASSERT_EQ(result.orders.size(), 1);
    EXPECT_EQ(result.orders.first().record, 1);
    EXPECT_TRUE(result.endedAtMarker);
}

TEST(JournalSearchText, aDamagedLastRecordIsNeverFound) {
    const QByteArray whole =
        velmora::data::encodeJournalRecord(order(" 1", "01-01-04", "Acme", "Tower", "A kod001"));
    // The second record was cut after its twentieth line.
    const QByteArray cut = whole.split('\n').mid(0, 20).join('\n') + '\n';
    const SearchResult result =
        velmora::history::searchJournalText(QByteArray(whole + cut), SearchKey::Project, "Tower");
    ASSERT_EQ(result.orders.size(), 1);
    EXPECT_EQ(result.recordsSeen, 1);
    EXPECT_EQ(result.damagedLines, 20);
    // Cut within its first five lines as well.
    const SearchResult shorter =
        velmora::history::searchJournalText(QByteArray(whole + whole.first(10)), SearchKey::Project, "Tower");
    EXPECT_EQ(shorter.orders.size(), 1);
    EXPECT_EQ(shorter.damagedLines, 2); // a whole first line and the start of the second
}

TEST(JournalSearchText, recordsTwoAndFourOfFour) {
    QByteArray journal;
    for (const char* project : {"Alpha", "Tower", "Gamma", "Tower"})
        journal += velmora::data::encodeJournalRecord(order(" 1", "01-01-04", "Acme", project, "A kod001"));
    const SearchResult result = velmora::history::searchJournalText(journal, SearchKey::Project, "Tower");
    ASSERT_EQ(result.orders.size(), 2);
    EXPECT_EQ(result.orders[0].record, 2);
    EXPECT_EQ(result.orders[1].record, 4);
}

TEST(JournalSearchFile, aMissingJournalFindsNothing) {
    HistoryDir data;
    const Result<SearchResult> result =
        velmora::history::searchJournal(data.path("vlt.dat"), SearchKey::Account, "Acme");
    ASSERT_TRUE(result.ok());
    EXPECT_FALSE(result->journalExists);
    EXPECT_TRUE(result->orders.isEmpty());
}

struct ShopNameCase {
    const char* name;
    QByteArray selection;
    bool namesShop;
};

class ShopSelection : public ::testing::TestWithParam<ShopNameCase> {};

TEST_P(ShopSelection, needsALowerCaseKod) {
    EXPECT_EQ(velmora::history::namesPrintShop(GetParam().selection), GetParam().namesShop);
}

INSTANTIATE_TEST_SUITE_P(Table, ShopSelection,
                         ::testing::Values(ShopNameCase{"entry", "Print House kod012", true},
                                           ShopNameCase{"upperCase", "Shop KOD012", false},
                                           ShopNameCase{"typedName", "Print House", false},
                                           ShopNameCase{"nothingChosen", "", false}),
                         [](const auto& tc) { return std::string(tc.param.name); });

} // namespace
