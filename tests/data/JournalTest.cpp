#include "data/Journal.h"
#include "data/Cp1255.h"
#include "data/DataDir.h"
#include "data/DataFiles.h"
#include "data/FileIo.h"
#include "data/JournalLines.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace velmora::data;

namespace {

// A realistic order: Hebrew texts, the order number with its leading blank, a blank slot 31.
JournalRecord sampleOrder(int number) {
    JournalRecord r;
    r.slot(1) = " " + QByteArray::number(number);
    r.slot(2) = "05-03-04";
    r.slot(3) = toCp1255(QStringLiteral(u"עיריית חיפה"));
    r.slot(4) = toCp1255(QStringLiteral(u"מגדל; ''B''"));
    r.slot(5) = toCp1255(QStringLiteral(u"דפוס הצפון kod012"));
    r.slot(6) = toCp1255(QStringLiteral(u"משה לוי - הרצל 12 תל אביב"));
    r.slot(11) = toCp1255(QStringLiteral(u"דנה כהן"));
    r.slot(12) = "03-5551234";
    r.slot(13) = "plan" + QByteArray::number(number) + ".plt";
    r.slot(14) = "2";
    r.slot(23) = "1";
    r.slot(31) = " ";
    r.slot(33) = toCp1255(QStringLiteral(u"עתקות ציבוניות"));
    r.slot(38) = toCp1255(QStringLiteral(u"רות"));
    return r;
}

class JournalTest : public ::testing::Test {
protected:
    QByteArray bytes() const { return readFile(m_dir.file(files::kJournal)).value(); }
    void writeRaw(const QByteArray& b) const {
        ASSERT_TRUE(writeFileAtomic(m_dir.file(files::kJournal), b).ok());
    }

    std::vector<JournalRecord> scanAll(JournalScan* summary = nullptr) const {
        std::vector<JournalRecord> records;
        const auto scan = m_journal.scan([&](qsizetype n, const JournalRecord& r) {
            EXPECT_EQ(n, static_cast<qsizetype>(records.size()) + 1);
            records.push_back(r);
            return true;
        });
        EXPECT_TRUE(scan.ok());
        if (summary && scan.ok())
            *summary = scan.value();
        return records;
    }

    QTemporaryDir m_tmp;
    DataDir m_dir{m_tmp.path()};
    Journal m_journal{m_dir};
};

TEST_F(JournalTest, recordIs38EncodedLinesEachEndedByCrLf) {
    JournalRecord r;
    r.slot(1) = " 137";
    r.slot(4) = "1;2";
    r.slot(6) = "\xe0\xe1";
    r.slot(31) = " ";
    const auto appended = m_journal.append(r);
    ASSERT_TRUE(appended.ok()) << appended.error().toStdString();
    EXPECT_EQ(appended->recordNumber, 1);

    QByteArray expected;
    for (int k = 1; k <= 38; ++k) {
        if (k == 1)
            expected += "32 49 51 55 ";
        else if (k == 4)
            expected += "49 59 50 ";
        else if (k == 6)
            expected += "224225";
        else if (k == 31)
            expected += "32 ";
        expected += "\r\n";
    }
    EXPECT_EQ(bytes(), expected);
}

TEST_F(JournalTest, characterWithoutWindows1255CodeIsStoredAs63) {
    JournalRecord r;
    r.slot(11) = toCp1255(QStringLiteral(u"a\u4e2d\u05d0"));
    ASSERT_TRUE(m_journal.append(r).ok());
    EXPECT_EQ(m_journal.read(1).value().slot(11), QByteArray("a?\xe0"));
    EXPECT_TRUE(bytes().contains("97 63 224\r\n"));
}

TEST_F(JournalTest, appendedRecordsReadBackByNumberAndByScan) {
    for (int n = 1; n <= 4; ++n) {
        const auto appended = m_journal.append(sampleOrder(100 + n));
        ASSERT_TRUE(appended.ok());
        EXPECT_EQ(appended->recordNumber, n);
        EXPECT_EQ(appended->repairedLines, 0);
    }
    EXPECT_EQ(m_journal.read(3).value(), sampleOrder(103));
    EXPECT_EQ(m_journal.read(1).value(), sampleOrder(101));

    JournalScan summary;
    const auto records = scanAll(&summary);
    ASSERT_EQ(records.size(), 4u);
    for (int n = 1; n <= 4; ++n)
        EXPECT_EQ(records[static_cast<std::size_t>(n - 1)], sampleOrder(100 + n));
    EXPECT_TRUE(summary.exists);
    EXPECT_EQ(summary.records, 4);
    EXPECT_FALSE(summary.damaged());
    EXPECT_EQ(m_journal.shape().value().records, 4);
}

TEST_F(JournalTest, appendLeavesEarlierRecordsByteIdentical) {
    ASSERT_TRUE(m_journal.append(sampleOrder(1)).ok());
    const QByteArray before = bytes();
    ASSERT_TRUE(m_journal.append(sampleOrder(2)).ok());
    EXPECT_TRUE(bytes().startsWith(before));
    EXPECT_EQ(bytes().mid(before.size()), encodeJournalRecord(sampleOrder(2)));
}

TEST_F(JournalTest, scanDecodesOnlyTheSlotsAsked) {
    ASSERT_TRUE(m_journal.append(sampleOrder(7)).ok());
    JournalRecord seen;
    ASSERT_TRUE(m_journal
                    .scan(
                        [&](qsizetype, const JournalRecord& r) {
                            seen = r;
                            return true;
                        },
                        5)
                    .ok());
    for (int k = 1; k <= 5; ++k)
        EXPECT_EQ(seen.slot(k), sampleOrder(7).slot(k)) << "slot " << k;
    EXPECT_TRUE(seen.slot(6).isEmpty());
    EXPECT_TRUE(seen.slot(38).isEmpty());
}

TEST_F(JournalTest, visitorCanStopTheScan) {
    for (int n = 1; n <= 5; ++n)
        ASSERT_TRUE(m_journal.append(sampleOrder(n)).ok());
    int visited = 0;
    const auto scan = m_journal.scan([&](qsizetype n, const JournalRecord&) {
        ++visited;
        return n < 2;
    });
    ASSERT_TRUE(scan.ok());
    EXPECT_EQ(visited, 2);
    EXPECT_TRUE(scan->stopped);
}

TEST_F(JournalTest, missingJournalScansAsEmptyButCannotBeReadFrom) {
    const auto scan = m_journal.scan([](qsizetype, const JournalRecord&) { return true; });
    ASSERT_TRUE(scan.ok());
    EXPECT_FALSE(scan->exists);
    EXPECT_EQ(scan->records, 0);

    const auto read = m_journal.read(1);
    ASSERT_FALSE(read.ok());
    EXPECT_TRUE(read.error().contains(QStringLiteral("vlt.dat")));
}

TEST_F(JournalTest, recordNumberOutsideTheJournalIsAnErrorNamingIt) {
    ASSERT_TRUE(m_journal.append(sampleOrder(1)).ok());
    for (qsizetype k : {qsizetype(0), qsizetype(-1), qsizetype(2), qsizetype(1000000)}) {
        const auto read = m_journal.read(k);
        ASSERT_FALSE(read.ok()) << k;
        EXPECT_TRUE(read.error().contains(QStringLiteral("vlt.dat")));
    }
}

TEST_F(JournalTest, linesEndedByLoneLfOrCrReadLikeCrLf) {
    QByteArray lf = encodeJournalRecord(sampleOrder(1)) + encodeJournalRecord(sampleOrder(2));
    lf.replace("\r\n", "\n");
    writeRaw(lf);
    EXPECT_EQ(m_journal.read(2).value(), sampleOrder(2));
    QByteArray cr = lf;
    cr.replace('\n', '\r');
    writeRaw(cr);
    EXPECT_EQ(m_journal.read(2).value(), sampleOrder(2));
}

TEST_F(JournalTest, lineIsDecodedAsItsFirstField) {
    // A line edited by hand: a comma ends the field, leading blanks are skipped; neither may
    // shift the lines after it.
    QByteArray text = encodeJournalRecord(sampleOrder(1));
    text.replace("32 49 \r\n", "  65 ,66 \r\n"); // slot 1 « 1»
    writeRaw(text + encodeJournalRecord(sampleOrder(2)));
    EXPECT_EQ(m_journal.read(1).value().slot(1), QByteArray("A"));
    EXPECT_EQ(m_journal.read(2).value(), sampleOrder(2));
}

// A journal of several reading blocks, in each kind of line end. Record 1's first line is padded
// after a comma (which ends its field) so that a line end starts on the last byte of the first
// block: with CR LF its LF opens the next block, after a lone CR the next block opens with a digit.
struct LineEndKind {
    const char* name;
    const char* lineEnd;
};

void PrintTo(const LineEndKind& k, std::ostream* os) {
    *os << k.name;
}

class JournalOfSeveralBlocks : public JournalTest, public ::testing::WithParamInterface<LineEndKind> {};

TEST_P(JournalOfSeveralBlocks, recordsAreReadAcrossBlockBoundaries) {
    constexpr int kOrders = 6000;
    const QByteArray lineEnd = GetParam().lineEnd;
    QByteArray text;
    for (int n = 1; n <= kOrders; ++n)
        text += encodeJournalRecord(sampleOrder(n));
    text.replace("\r\n", lineEnd);
    const qsizetype block = JournalLines::kDefaultBlockSize;
    ASSERT_GT(text.size(), 2 * block);
    const qsizetype pad = (block - 1) - text.lastIndexOf(lineEnd.front(), block - 1);
    if (pad > 0)
        text.insert(text.indexOf(lineEnd), "," + QByteArray(pad - 1, 'x'));
    ASSERT_EQ(text.at(block - 1), lineEnd.front());
    writeRaw(text);

    const qsizetype linesBefore = text.first(block).count(lineEnd);
    const qsizetype straddled = linesBefore / 38 + 1; // the record that holds the boundary
    for (qsizetype n : {qsizetype(1), straddled, straddled + 1, qsizetype(kOrders)}) {
        const auto read = m_journal.read(n);
        ASSERT_TRUE(read.ok()) << "record " << n << ": " << read.error().toStdString();
        EXPECT_EQ(*read, sampleOrder(static_cast<int>(n))) << "record " << n;
    }
    EXPECT_FALSE(m_journal.read(kOrders + 1).ok());

    const auto shape = m_journal.shape();
    ASSERT_TRUE(shape.ok());
    EXPECT_EQ(shape->records, kOrders);
    EXPECT_FALSE(shape->damaged());
    qsizetype mismatches = 0;
    const auto scan = m_journal.scan(
        [&](qsizetype n, const JournalRecord& r) {
            const JournalRecord expected = sampleOrder(static_cast<int>(n));
            for (int k = 1; k <= 5; ++k)
                mismatches += r.slot(k) != expected.slot(k);
            return true;
        },
        5);
    ASSERT_TRUE(scan.ok());
    EXPECT_EQ(scan->records, kOrders);
    EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(LineEnds, JournalOfSeveralBlocks,
                         ::testing::Values(LineEndKind{"crlf", "\r\n"}, LineEndKind{"lone_lf", "\n"},
                                           LineEndKind{"lone_cr", "\r"}),
                         [](const auto& tc) { return std::string(tc.param.name); });

// A damaged last record: complete records are returned, the tail is reported, nothing is read
// past the end.
struct TailCase {
    const char* name;
    int completeRecords;
    int tailLines;
    int chop; // bytes cut off the end: 2 takes the last line end, more cut into the line
};

void PrintTo(const TailCase& c, std::ostream* os) {
    *os << c.name;
}

class DamagedTailCases : public JournalTest, public ::testing::WithParamInterface<TailCase> {
protected:
    // The journal of the case, made from whole records and the first lines of one more record.
    QByteArray damagedJournal() const {
        const TailCase& c = GetParam();
        QByteArray text;
        for (int n = 1; n <= c.completeRecords; ++n)
            text += encodeJournalRecord(sampleOrder(n));
        const QByteArray extra = encodeJournalRecord(sampleOrder(99));
        qsizetype cut = 0;
        for (int line = 0; line < c.tailLines; ++line)
            cut = extra.indexOf("\r\n", cut) + 2;
        text += extra.left(cut);
        text.chop(c.chop);
        return text;
    }
};

TEST_P(DamagedTailCases, readersReturnCompleteRecordsAndReportTheTail) {
    const TailCase& c = GetParam();
    writeRaw(damagedJournal());

    JournalScan summary;
    const auto records = scanAll(&summary);
    ASSERT_EQ(records.size(), static_cast<std::size_t>(c.completeRecords));
    for (int n = 1; n <= c.completeRecords; ++n)
        EXPECT_EQ(records[static_cast<std::size_t>(n - 1)], sampleOrder(n));
    EXPECT_EQ(summary.damagedLines, c.tailLines);
    EXPECT_EQ(summary.damaged(), c.tailLines > 0);
    EXPECT_EQ(m_journal.shape().value().damagedLines, c.tailLines);

    if (c.completeRecords > 0) {
        EXPECT_EQ(m_journal.read(c.completeRecords).value(), sampleOrder(c.completeRecords));
    }
    const auto tail = m_journal.read(c.completeRecords + 1);
    ASSERT_FALSE(tail.ok());
    EXPECT_TRUE(tail.error().contains(QStringLiteral("vlt.dat")));
}

// The next order completes the damaged record with empty lines first, so that it and every later
// record start on a record boundary.
TEST_P(DamagedTailCases, appendCompletesTheDamagedRecordAndKeepsLaterRecordsAligned) {
    const TailCase& c = GetParam();
    const QByteArray before = damagedJournal();
    writeRaw(before);

    const auto appended = m_journal.append(sampleOrder(500));
    ASSERT_TRUE(appended.ok());
    EXPECT_EQ(appended->repairedLines, c.tailLines == 0 ? 0 : 38 - c.tailLines);
    const qsizetype expectedNumber = c.completeRecords + (c.tailLines > 0 ? 1 : 0) + 1;
    EXPECT_EQ(appended->recordNumber, expectedNumber);
    EXPECT_TRUE(bytes().startsWith(before));

    EXPECT_EQ(m_journal.read(expectedNumber).value(), sampleOrder(500));
    JournalScan summary;
    const auto records = scanAll(&summary);
    EXPECT_FALSE(summary.damaged());
    ASSERT_EQ(records.size(), static_cast<std::size_t>(expectedNumber));
    if (c.tailLines > 0) {
        // The lines that were there are kept; the rest of the record is empty.
        const JournalRecord& repaired = records[static_cast<std::size_t>(c.completeRecords)];
        const JournalRecord original = sampleOrder(99);
        for (int k = 1; k <= 38; ++k) {
            if (k < c.tailLines || (k == c.tailLines && c.chop <= 2)) {
                EXPECT_EQ(repaired.slot(k), original.slot(k)) << "slot " << k;
            } else if (k > c.tailLines) {
                EXPECT_TRUE(repaired.slot(k).isEmpty()) << "slot " << k;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, DamagedTailCases,
                         ::testing::Values(TailCase{"whole_records", 2, 0, 0},
                                           TailCase{"one_line_after_records", 2, 1, 0},
                                           TailCase{"record_missing_its_last_line", 3, 37, 0},
                                           TailCase{"half_record", 1, 19, 0},
                                           TailCase{"only_a_partial_record", 0, 5, 0},
                                           TailCase{"tail_without_final_line_end", 2, 6, 2},
                                           TailCase{"cut_inside_a_line", 2, 4, 5},
                                           TailCase{"last_record_without_final_line_end", 3, 0, 2}),
                         [](const auto& tc) { return std::string(tc.param.name); });

} // namespace
