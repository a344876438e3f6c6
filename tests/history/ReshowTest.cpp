#include "history/Reshow.h"

#include "data/Cp1255.h"
#include "order/OrderDocument.h"

#include "HistoryTestData.h"

#include "BytesPrinting.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using velmora::Result;
using velmora::testing::HistoryDir;
using velmora::testing::journalRecord;

namespace {

const QByteArray kHeading = "<h2>Order</h2>\r\n";
const QByteArray kStars = QByteArray(37, '*') + "\r\n";

// A template: head, skipped part up to the body marker, then `body` (CR LF lines).
QByteArray templateWithBody(const QByteArray& body) {
    return "<html>\r\n<head></head>\r\n<body>\r\n<!-- 140561 -->\r\n" + body;
}

// The document the generator makes for that body, for comparing.
QByteArray documentWithBody(const QByteArray& bodyLines) {
    return "<html>\r\n<head></head>\r\n<div align=center><center>\r\n<h2>Order</h2>\r\n" + bodyLines;
}

class Reshow : public ::testing::Test {
protected:
    void SetUp() override {
        QList<velmora::data::JournalRecord> records;
        data.journal({journalRecord({{1, " 101"}, {4, "First"}, {5, "Shop kod001"}}),
                      journalRecord({{1, " 102"}, {4, "Second"}, {5, "Shop kod001"}}),
                      journalRecord({{1, " 103"},
                                     {2, "05-03-04"},
                                     {4, "Tower & Co"},
                                     {5, "Print House kod012"},
                                     {13, "plan.plt"},
                                     {38, "Levi"}})});
        data.put("korok.txt", kHeading);
        data.put("vl1.html", "previous document");
        data.put("vl.url", "previous shortcut");
    }

    // Re-shows record 3 with the body and returns the document's body lines.
    QByteArray bodyOf(const QByteArray& body) {
        data.put("sbl.htm", templateWithBody(body));
        const auto shown = velmora::history::reshowOrder(data.dir(), 3);
        EXPECT_TRUE(shown.ok()) << shown.error().toStdString();
        const QByteArray document = data.content("vl1.html").value_or(QByteArray());
        const QByteArray prefix = documentWithBody({});
        EXPECT_TRUE(document.startsWith(prefix)) << document.toStdString();
        return document.mid(prefix.size());
    }

    HistoryDir data;
};

struct BodyCase {
    const char* name;
    QByteArray body;     // template lines after the body marker
    QByteArray expected; // document lines after the heading
};

class ReshowBody : public Reshow, public ::testing::WithParamInterface<BodyCase> {};

TEST_P(ReshowBody, fillsTheRecordIntoTheTemplate) {
    EXPECT_EQ(bodyOf(GetParam().body), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReshowBody,
    ::testing::Values(
        BodyCase{"printShop", "###05\r\n", "\r\nPrint House kod012\r\n\r\n"},
        BodyCase{"lastSlot", "###38\r\n", "\r\nLevi\r\n\r\n"},
        BodyCase{"slotZeroAndEmptySlots", "###00\r\n###45\r\n###03\r\n",
                 "\r\n&nbsp\r\n\r\n\r\n&nbsp\r\n\r\n\r\n&nbsp\r\n\r\n"},
        BodyCase{"aboveFiftyGivesHundred", "###51\r\n###99\r\n", "\r\n100\r\n\r\n\r\n100\r\n\r\n"},
        BodyCase{"negativeIsEmpty", "###-1\r\n", "\r\n&nbsp\r\n\r\n"},
        BodyCase{"cellAroundAPlaceholder", "<td>###04</td>\r\n", "<td>\r\nTower &amp; Co\r\n</td>\r\n"},
        BodyCase{"starsEndTheBody", "<p>###01</p>\r\n*** end\r\n<p>after</p>\r\n", "<p>\r\n 103\r\n</p>\r\n"},
        // The asterisk lines appended to the template never reach the document.
        BodyCase{"appendedStarsNeverShow", "</body></html>\r\n", "</body></html>\r\n"},
        BodyCase{"templateWithoutLastLineEnd", "</html>", "</html>\r\n"}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST_F(Reshow, readsTheRecordOfTheRowAndWritesDocumentAndShortcut) {
    data.put("sbl.htm", templateWithBody("###01 ###04\r\n"));
    const auto shown = velmora::history::reshowOrder(data.dir(), 2);
    ASSERT_TRUE(shown.ok()) << shown.error().toStdString();
    EXPECT_EQ(shown->path, velmora::order::documentPath(data.dir()));
    EXPECT_EQ(shown->orderNumber, QByteArray(" 102"));
    EXPECT_EQ(data.content("vl1.html"), documentWithBody("\r\n 102\r\n ###04\r\n"));
    EXPECT_EQ(data.content("vl.url"), velmora::order::shortcutContent(data.dir()));
}

TEST_F(Reshow, twiceGivesTenStarLinesAndTheSameDocument) {
    const QByteArray original = templateWithBody("<p>###04</p>\r\n");
    data.put("sbl.htm", original);
    ASSERT_TRUE(velmora::history::reshowOrder(data.dir(), 3).ok());
    const std::optional<QByteArray> first = data.content("vl1.html");
    ASSERT_TRUE(velmora::history::reshowOrder(data.dir(), 3).ok());
    EXPECT_EQ(data.content("vl1.html"), first);
    EXPECT_EQ(data.content("sbl.htm"), original + kStars.repeated(10));
}

TEST_F(Reshow, aTemplateWithoutItsLastLineEndGetsOneBeforeTheStars) {
    data.put("sbl.htm", templateWithBody("</html>"));
    ASSERT_TRUE(velmora::history::reshowOrder(data.dir(), 1).ok());
    EXPECT_EQ(data.content("sbl.htm"), templateWithBody("</html>\r\n") + kStars.repeated(5));
}

struct RefusedCase {
    const char* name;
    QByteArray templateBytes; // sbl.htm
    qsizetype record;
    const char* named; // a file the message names
};

class ReshowRefused : public Reshow, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(ReshowRefused, explainsAndWritesNothing) {
    data.put("sbl.htm", GetParam().templateBytes);
    const auto shown = velmora::history::reshowOrder(data.dir(), GetParam().record);
    ASSERT_FALSE(shown.ok());
    EXPECT_TRUE(shown.error().contains(QString::fromLatin1(GetParam().named))) << shown.error().toStdString();
    EXPECT_EQ(data.content("sbl.htm"), GetParam().templateBytes);
    EXPECT_EQ(data.content("vl1.html"), QByteArray("previous document"));
    EXPECT_EQ(data.content("vl.url"), QByteArray("previous shortcut"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReshowRefused,
    ::testing::Values(
        // The journal was replaced or cut since the search.
        RefusedCase{"recordBeyondTheJournal", templateWithBody("###01\r\n"), 4, "vlt.dat"},
        // A failed template request left sbl.htm empty.
        RefusedCase{"emptyTemplate", "", 1, "sbl.htm"},
        RefusedCase{"templateWithoutBodyMarker", "<html><head></head>\r\n<body>\r\n", 1, "sbl.htm"}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(ReshowDamaged, theRecordsBeforeADamagedLastRecordAreShownAndItIsNot) {
    HistoryDir data;
    const QByteArray whole = velmora::data::encodeJournalRecord(journalRecord({{1, " 7"}}));
    data.put("vlt.dat", whole + whole.first(30));
    data.put("korok.txt", kHeading);
    data.put("sbl.htm", templateWithBody("###01\r\n"));
    EXPECT_TRUE(velmora::history::reshowOrder(data.dir(), 1).ok());
    const auto damaged = velmora::history::reshowOrder(data.dir(), 2);
    ASSERT_FALSE(damaged.ok());
    EXPECT_TRUE(damaged.error().contains("vlt.dat"));
}

struct CellCase {
    const char* name;
    QByteArray cell;
    std::optional<qsizetype> record;
};

class RecordCell : public ::testing::TestWithParam<CellCase> {};

TEST_P(RecordCell, namesAnOrderOnlyWithAWholeNumber) {
    EXPECT_EQ(velmora::history::recordNumberOfCell(GetParam().cell), GetParam().record);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RecordCell,
    ::testing::Values(CellCase{"numberText", " 3", 3}, CellCase{"large", " 100000", 100000},
                      CellCase{"heading", velmora::data::toCp1255(u"קוד"), std::nullopt},
                      CellCase{"empty", "", std::nullopt}, CellCase{"zero", " 0", std::nullopt},
                      CellCase{"negative", "-3", std::nullopt}, CellCase{"fraction", " 2.5", std::nullopt}),
    [](const auto& tc) { return std::string(tc.param.name); });

} // namespace
