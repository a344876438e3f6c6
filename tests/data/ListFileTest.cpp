#include "data/ListFile.h"
#include "data/DataDir.h"
#include "data/DataFiles.h"
#include "data/FileIo.h"
#include "data/TextFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace velmora::data;

namespace {

std::vector<std::string> strings(const QList<QByteArray>& list) {
    std::vector<std::string> out;
    for (const QByteArray& e : list)
        out.push_back(e.toStdString());
    return out;
}

struct ListCase {
    const char* name;
    std::string text;
    ListEnd end;
    std::vector<std::string> entries;
};

void PrintTo(const ListCase& c, std::ostream* os) {
    *os << c.name;
}

class ListEntryCases : public ::testing::TestWithParam<ListCase> {};

TEST_P(ListEntryCases, readsEntriesInFileOrder) {
    const ListCase& c = GetParam();
    EXPECT_EQ(strings(listEntries(QByteArray::fromStdString(c.text), c.end)), c.entries);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ListEntryCases,
    ::testing::Values(
        ListCase{"one_entry_per_line",
                 "Alpha\r\nBeta\r\nAlmond\r\n",
                 ListEnd::EndOfFile,
                 {"Alpha", "Beta", "Almond"}},
        ListCase{"last_line_without_line_end", "A\r\nB", ListEnd::EndOfFile, {"A", "B"}},
        ListCase{
            "hand_written_comma_gives_two_entries", "Smith, John\r\n", ListEnd::EndOfFile, {"Smith", "John"}},
        ListCase{"quoted_entry_loses_quotes", "\"Studio\"\r\n", ListEnd::EndOfFile, {"Studio"}},
        ListCase{"empty_line_is_empty_entry", "A\r\n\r\nB\r\n", ListEnd::EndOfFile, {"A", "", "B"}},
        ListCase{"stop_before_stars", "A kod001\r\n***\r\nB kod002\r\n", ListEnd::BeforeStars, {"A kod001"}},
        ListCase{
            "stop_at_stars_anywhere_in_entry", "A1\r\nend *** here\r\nA2\r\n", ListEnd::BeforeStars, {"A1"}},
        ListCase{"stars_kept_without_stop", "A\r\n***\r\nB\r\n", ListEnd::EndOfFile, {"A", "***", "B"}},
        ListCase{"empty_file", "", ListEnd::EndOfFile, {}}),
    [](const auto& tc) { return std::string(tc.param.name); });

class ListFileTest : public ::testing::Test {
protected:
    QByteArray bytes(const QString& name) const { return readFile(m_dir.file(name)).value(); }

    QTemporaryDir m_tmp;
    DataDir m_dir{m_tmp.path()};
};

TEST_F(ListFileTest, missingListIsAnErrorNamingTheFile) {
    const auto list = readList(m_dir, files::kProjects);
    ASSERT_FALSE(list.ok());
    EXPECT_TRUE(list.error().contains(QStringLiteral("pro.dat")));
}

TEST_F(ListFileTest, appendCreatesTheFileAndReadsBack) {
    ASSERT_TRUE(appendListEntry(m_dir, files::kAccounts, "\xf2\xe9\xf8\xe9\xe9\xfa \xe7\xe9\xf4\xe4").ok());
    ASSERT_TRUE(appendListEntry(m_dir, files::kAccounts, "").ok()); // a cleared recipient row
    ASSERT_TRUE(appendListEntry(m_dir, files::kAccounts, "Tower; ''B''").ok());
    EXPECT_EQ(bytes(files::kAccounts),
              QByteArray("\xf2\xe9\xf8\xe9\xe9\xfa \xe7\xe9\xf4\xe4\r\n\r\nTower; ''B''\r\n"));
    EXPECT_EQ(strings(readList(m_dir, files::kAccounts).value()),
              (std::vector<std::string>{"\xf2\xe9\xf8\xe9\xe9\xfa \xe7\xe9\xf4\xe4", "", "Tower; ''B''"}));
}

TEST_F(ListFileTest, appendLeavesTheExistingBytesUntouched) {
    const QByteArray original("A\r\n\"B\"\r\n  C\r\nD,E\r\n");
    ASSERT_TRUE(writeFileAtomic(m_dir.file(files::kAddresses), original).ok());
    ASSERT_TRUE(appendListEntry(m_dir, files::kAddresses, "F").ok());
    EXPECT_EQ(bytes(files::kAddresses), original + "F\r\n");
}

// Appending to a file whose last line lacks its line end must not glue the new entry onto it.
TEST_F(ListFileTest, appendAfterOpenLastLineStartsANewLine) {
    ASSERT_TRUE(writeFileAtomic(m_dir.file(files::kAddresses), "A\r\nB").ok());
    ASSERT_TRUE(appendListEntry(m_dir, files::kAddresses, "C").ok());
    EXPECT_EQ(bytes(files::kAddresses), QByteArray("A\r\nB\r\nC\r\n"));
    EXPECT_EQ(strings(readList(m_dir, files::kAddresses).value()), (std::vector<std::string>{"A", "B", "C"}));
}

TEST_F(ListFileTest, appendedLineBreakCannotSplitAnEntry) {
    ASSERT_TRUE(appendListEntry(m_dir, files::kProjects, "one\r\ntwo").ok());
    EXPECT_EQ(strings(readList(m_dir, files::kProjects).value()), (std::vector<std::string>{"one  two"}));
}

TEST_F(ListFileTest, printShopListStopsBeforeStars) {
    ASSERT_TRUE(writeFileAtomic(m_dir.file(files::kShops), "A kod001\r\n***\r\nB kod002\r\n").ok());
    EXPECT_EQ(strings(readList(m_dir, files::kShops, ListEnd::BeforeStars).value()),
              (std::vector<std::string>{"A kod001"}));
}

TEST_F(ListFileTest, firstFieldOfOneLineFile) {
    ASSERT_TRUE(writeFileAtomic(m_dir.file(files::kStartAddress), "http://host/start.html\r\n").ok());
    EXPECT_EQ(readFirstField(m_dir.file(files::kStartAddress)).value(), QByteArray("http://host/start.html"));

    ASSERT_TRUE(writeFileAtomic(m_dir.file(files::kHeading), "").ok());
    const auto empty = readFirstField(m_dir.file(files::kHeading));
    ASSERT_FALSE(empty.ok());
    EXPECT_TRUE(empty.error().contains(QStringLiteral("korok.txt")));

    const auto missing = readFirstField(m_dir.file(files::kSecondAddress));
    ASSERT_FALSE(missing.ok());
    EXPECT_TRUE(missing.error().contains(QStringLiteral("url01.dat")));
}

TEST_F(ListFileTest, rewriteWithLinesEndsEveryLineWithCrLf) {
    ASSERT_TRUE(writeLines(m_dir.file(files::kAddressScratch), {"A", "", "B"}).ok());
    EXPECT_EQ(bytes(files::kAddressScratch), QByteArray("A\r\n\r\nB\r\n"));
}

} // namespace
