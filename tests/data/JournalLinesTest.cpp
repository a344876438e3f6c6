#include "data/JournalLines.h"
#include "data/FileIo.h"
#include "data/Journal.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

using namespace velmora::data;

namespace {

struct LinesCase {
    const char* name;
    QByteArray text;
    std::vector<QByteArray> lines; // the lines the text holds, without line ends
    bool endsOpen;                 // the last byte is no line end
};

void PrintTo(const LinesCase& c, std::ostream* os) {
    *os << c.name;
}

// A line end on each side of 16-byte edges: CR LF across 15/16, a lone CR at 31, LF at 47, CR LF
// across 63/64 (the edge of four compares), then a line over several such rounds.
LinesCase sixteenByteEdges() {
    const QByteArray a(15, 'a'), b(14, 'b'), c(15, 'c'), d(15, 'd'), e(70, 'e');
    return {"line_ends_on_16_byte_edges",
            a + "\r\n" + b + "\r" + c + "\n" + d + "\r\n" + e + "\r\n",
            {a, b, c, d, e},
            false};
}

const std::vector<LinesCase>& linesCases() {
    static const std::vector<LinesCase> cases{
        {"empty_file", "", {}, false},
        {"crlf", "ab\r\ncd\r\n", {"ab", "cd"}, false},
        {"lone_lf", "ab\ncd\n", {"ab", "cd"}, false},
        {"lone_cr", "ab\rcd\r", {"ab", "cd"}, false},
        {"mixed", "a\r\n\nb\r\rc\n\r\nd", {"a", "", "b", "", "c", "", "d"}, true},
        {"empty_lines", "\r\n\n\r\r\n", {"", "", "", ""}, false},
        {"cr_then_crlf", "a\r\r\nb", {"a", "", "b"}, true},
        {"lf_then_cr", "a\n\rb\n", {"a", "", "b"}, false},
        {"last_line_without_line_end", "ab\r\ncd", {"ab", "cd"}, true},
        {"lone_cr_as_last_byte", "ab\r", {"ab"}, false},
        {"only_a_line_end", "\n", {""}, false},
        {"line_longer_than_the_block",
         QByteArray(40, 'x') + "\r\n" + QByteArray(20, 'y') + "\rz",
         {QByteArray(40, 'x'), QByteArray(20, 'y'), "z"},
         true},
        sixteenByteEdges(),
    };
    return cases;
}

// Block sizes that put line ends, and the two bytes of CR LF, on block boundaries.
const qsizetype kBlockSizes[] = {1, 2, 3, 4, 16, 17, JournalLines::kDefaultBlockSize};

class LinesCases : public ::testing::TestWithParam<std::tuple<LinesCase, qsizetype>> {
protected:
    void SetUp() override {
        m_path = m_tmp.filePath(QStringLiteral("vlt.dat"));
        ASSERT_TRUE(writeFileAtomic(m_path, std::get<0>(GetParam()).text).ok());
    }

    // A reader with the case's block size, before the first line.
    JournalLines& reopened() {
        const velmora::Status opened = m_lines.open(m_path);
        EXPECT_TRUE(opened.ok()) << opened.error().toStdString();
        return m_lines;
    }

    const std::vector<QByteArray>& expected() const { return std::get<0>(GetParam()).lines; }
    qsizetype lineCount() const { return static_cast<qsizetype>(expected().size()); }

    QTemporaryDir m_tmp;
    QString m_path;
    JournalLines m_lines{std::get<1>(GetParam())};
};

TEST_P(LinesCases, nextReturnsEveryLineWithoutItsLineEnd) {
    JournalLines& lines = reopened();
    std::vector<QByteArray> seen;
    QByteArrayView line;
    while (lines.next(line))
        seen.push_back(line.toByteArray());
    EXPECT_EQ(seen, expected());
    EXPECT_FALSE(lines.next(line));
    EXPECT_TRUE(lines.status().ok());
    EXPECT_EQ(lines.endsOpen(), std::get<0>(GetParam()).endsOpen);
}

TEST_P(LinesCases, skipToEndCountsTheLines) {
    JournalLines& lines = reopened();
    EXPECT_EQ(lines.skipToEnd(), lineCount());
    EXPECT_EQ(lines.endsOpen(), std::get<0>(GetParam()).endsOpen);
    EXPECT_EQ(lines.skip(1), 0);
    EXPECT_TRUE(lines.status().ok());
}

// Skipping n lines, also past the end, leaves the reader on line n + 1.
TEST_P(LinesCases, skipPassesOverLinesAndNextGoesOnAfterThem) {
    for (qsizetype n = 0; n <= lineCount() + 2; ++n) {
        JournalLines& lines = reopened();
        EXPECT_EQ(lines.skip(n), std::min(n, lineCount())) << "skip " << n;
        QByteArrayView line;
        if (n < lineCount()) {
            ASSERT_TRUE(lines.next(line)) << "skip " << n;
            EXPECT_EQ(line.toByteArray(), expected()[static_cast<std::size_t>(n)]) << "skip " << n;
        } else {
            EXPECT_FALSE(lines.next(line)) << "skip " << n;
        }
    }
}

// next() and skip() hand over to each other wherever the other stopped, also inside a CR LF
// that a block boundary cuts in two.
TEST_P(LinesCases, nextAndSkipTakeTurns) {
    JournalLines& lines = reopened();
    std::vector<QByteArray> seen;
    QByteArrayView line;
    while (lines.next(line)) {
        seen.push_back(line.toByteArray());
        lines.skip(1);
    }
    std::vector<QByteArray> everyOther;
    for (std::size_t i = 0; i < expected().size(); i += 2)
        everyOther.push_back(expected()[i]);
    EXPECT_EQ(seen, everyOther);
}

INSTANTIATE_TEST_SUITE_P(Table, LinesCases,
                         ::testing::Combine(::testing::ValuesIn(linesCases()),
                                            ::testing::ValuesIn(kBlockSizes)),
                         [](const auto& tc) {
                             return std::string(std::get<0>(tc.param).name) + "_block" +
                                    std::to_string(std::get<1>(tc.param));
                         });

#if defined(__SSE2__)
// Texts of CR, LF and other bytes: those of the table and random ones long enough for several
// rounds of four 16-byte compares.
std::vector<QByteArray> lineEndTexts() {
    std::vector<QByteArray> texts;
    for (const LinesCase& c : linesCases())
        texts.push_back(c.text);
    std::mt19937 random(38);
    for (int i = 0; i < 150; ++i) {
        QByteArray text(static_cast<qsizetype>(random() % 300), 'x');
        const unsigned density = 2 + random() % 30; // one byte in `density` is a CR or LF
        for (char& c : text) {
            if (random() % density == 0)
                c = random() % 2 ? '\r' : '\n';
        }
        texts.push_back(text);
    }
    return texts;
}

TEST(LineEndCounting, everyVersionPassesTheSameLineEnds) {
    for (const QByteArray& text : lineEndTexts()) {
        const char* begin = text.constData();
        const char* end = begin + text.size();
        for (const bool crBefore : {false, true}) {
            for (qsizetype want = 1; want <= text.size() + 2; ++want) {
                bool crScalar = crBefore;
                bool crSse2 = crBefore;
                const lineends::Passed scalar = lineends::passLineEndsScalar(begin, end, want, crScalar);
                const lineends::Passed sse2 = lineends::passLineEndsSse2(begin, end, want, crSse2);
                const auto where = [&] {
                    return ::testing::Message() << "text " << ::testing::PrintToString(text.toStdString())
                                                << ", want " << want << ", CR before " << crBefore;
                };
                ASSERT_EQ(sse2.ends, scalar.ends) << where();
                ASSERT_EQ(sse2.stop - begin, scalar.stop - begin) << where();
                ASSERT_EQ(crSse2, crScalar) << where();
#if defined(VELMORA_LINE_ENDS_AVX2)
                if (lineends::hasAvx2()) {
                    bool crAvx2 = crBefore;
                    const lineends::Passed avx2 = lineends::passLineEndsAvx2(begin, end, want, crAvx2);
                    ASSERT_EQ(avx2.ends, scalar.ends) << where();
                    ASSERT_EQ(avx2.stop - begin, scalar.stop - begin) << where();
                    ASSERT_EQ(crAvx2, crScalar) << where();
                }
#endif
            }
        }
    }
}
#endif

TEST(JournalLinesErrors, missingFileIsAnErrorNamingIt) {
    QTemporaryDir tmp;
    JournalLines lines;
    const velmora::Status opened = lines.open(tmp.filePath(QStringLiteral("vlt.dat")));
    ASSERT_FALSE(opened.ok());
    EXPECT_TRUE(opened.error().contains(QStringLiteral("vlt.dat")));
    QByteArrayView line;
    EXPECT_FALSE(lines.next(line));
    EXPECT_EQ(lines.skipToEnd(), 0);
}

// Reading /proc/self/mem from its start fails (nothing is mapped at address 0): the failure
// must reach the caller instead of passing for the end of an empty journal.
TEST(JournalLinesErrors, readingErrorIsReportedNotTakenForTheEnd) {
    const QString path = QStringLiteral("/proc/self/mem");
    if (!QFileInfo::exists(path))
        GTEST_SKIP() << "no /proc/self/mem here";
    JournalLines lines;
    ASSERT_TRUE(lines.open(path).ok());
    QByteArrayView line;
    EXPECT_FALSE(lines.next(line));
    ASSERT_FALSE(lines.status().ok());
    EXPECT_TRUE(lines.status().error().contains(QStringLiteral("mem")));

    ASSERT_TRUE(lines.open(path).ok());
    EXPECT_EQ(lines.skipToEnd(), 0);
    EXPECT_FALSE(lines.status().ok());

    const Journal journal(path);
    EXPECT_FALSE(journal.scan({}).ok());
    EXPECT_FALSE(journal.shape().ok());
}

} // namespace
