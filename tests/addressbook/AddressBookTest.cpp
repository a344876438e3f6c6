#include "addressbook/AddressBook.h"

#include "data/FileIo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace Qt::Literals::StringLiterals;
using velmora::Result;
using velmora::addressbook::AddressRow;
using velmora::addressbook::Deletion;
using velmora::data::DataDir;

namespace {

using Lines = QList<QByteArray>;

class AddressList : public ::testing::Test {
protected:
    void put(const QString& name, const QByteArray& bytes) {
        QFile file(m_tmp.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    std::optional<QByteArray> content(const QString& name) const {
        QFile file(m_tmp.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return file.readAll();
    }
    DataDir dir() const { return DataDir(m_tmp.path()); }
    Lines lines() const {
        const Result<Lines> read = velmora::addressbook::readAddressLines(dir());
        EXPECT_TRUE(read.ok()) << read.error().toStdString();
        return read ? *read : Lines{};
    }

    QTemporaryDir m_tmp;
};

// Every whole line is one address, whatever ends it.
struct LinesCase {
    const char* name;
    QByteArray file;
    Lines lines;
};

class AddressLines : public AddressList, public ::testing::WithParamInterface<LinesCase> {};

TEST_P(AddressLines, eachLineIsOneAddress) {
    put("lis.dat", GetParam().file);
    EXPECT_EQ(lines(), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AddressLines,
    ::testing::Values(
        LinesCase{
            "crLf", "Haifa office\r\nTel Aviv\r\nJerusalem\r\n", {"Haifa office", "Tel Aviv", "Jerusalem"}},
        LinesCase{"loneLfAndLoneCr", "A\nB\rC\r\n", {"A", "B", "C"}},
        LinesCase{"lastLineWithoutEnd", "A\r\nB", {"A", "B"}},
        LinesCase{
            "commaAndQuotesStayInTheLine", "Herzl 5, Haifa\r\n\"Q\" x\r\n", {"Herzl 5, Haifa", "\"Q\" x"}},
        LinesCase{"emptyLinesAreAddresses", "A\r\n\r\n\nB\r\n", {"A", "", "", "B"}},
        LinesCase{"crThenCrLf", "A\r\r\nB\r\n", {"A", "", "B"}}, LinesCase{"emptyFile", "", {}}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST_F(AddressList, aMissingFileIsAnEmptyBook) {
    EXPECT_EQ(lines(), Lines{});
}

TEST_F(AddressList, anUnreadableFileIsAnErrorNamingIt) {
    ASSERT_TRUE(QDir(m_tmp.path()).mkdir("lis.dat")); // a directory where the file should be
    const Result<Lines> read = velmora::addressbook::readAddressLines(dir());
    ASSERT_FALSE(read.ok());
    EXPECT_TRUE(read.error().contains("lis.dat")) << read.error().toStdString();
}

struct SearchCase {
    const char* name;
    QString filter;
    QList<AddressRow> rows;
};

class Search : public ::testing::TestWithParam<SearchCase> {};

TEST_P(Search, keepsTheLineNumbers) {
    const Lines lines{"Haifa office", "Tel Aviv", "Jerusalem", "Herzl 5, Haifa", "Why? Tel"};
    EXPECT_EQ(velmora::addressbook::addressRows(lines, GetParam().filter), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Search,
    ::testing::Values(
        SearchCase{"tel", "Tel", {{2, "Tel Aviv"}, {5, "Why? Tel"}}}, SearchCase{"caseCounts", "haifa", {}},
        SearchCase{"anywhereInTheLine", "aifa", {{1, "Haifa office"}, {4, "Herzl 5, Haifa"}}},
        SearchCase{"commaIsText", ", H", {{4, "Herzl 5, Haifa"}}},
        SearchCase{
            "emptyTextListsAll",
            "",
            {{1, "Haifa office"}, {2, "Tel Aviv"}, {3, "Jerusalem"}, {4, "Herzl 5, Haifa"}, {5, "Why? Tel"}}},
        SearchCase{"noSuchText", "Eilat", {}},
        // The snowman has no Windows-1255 code; it must not match the "?" it would be stored as.
        SearchCase{"characterWithoutCode", u"☃"_s, {}}),
    [](const auto& tc) { return std::string(tc.param.name); });

// Deleting a line: both files end up holding the other lines, each ended by CR LF.
struct DeleteCase {
    const char* name;
    QByteArray before;
    qsizetype number;
    QByteArray address;
    Deletion outcome;
    QByteArray after; // lis.dat and lisvr.dat; for NotFound lis.dat stays `before`
};

class Delete : public AddressList, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(Delete, rewritesTheListAndItsWorkingCopy) {
    const DeleteCase& c = GetParam();
    put("lis.dat", c.before);
    const Result<Deletion> deleted = velmora::addressbook::deleteAddress(dir(), c.number, c.address);
    ASSERT_TRUE(deleted.ok()) << deleted.error().toStdString();
    EXPECT_EQ(*deleted, c.outcome);
    if (c.outcome == Deletion::Deleted) {
        EXPECT_EQ(content("lis.dat"), c.after);
        EXPECT_EQ(content("lisvr.dat"), c.after);
    } else {
        EXPECT_EQ(content("lis.dat"), c.before);
        EXPECT_EQ(content("lisvr.dat"), std::nullopt) << "nothing is written";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Delete,
    ::testing::Values(
        DeleteCase{"secondLine", "Haifa office\r\nTel Aviv\r\nJerusalem\r\n", 2, "Tel Aviv",
                   Deletion::Deleted, "Haifa office\r\nJerusalem\r\n"},
        DeleteCase{"lineEndsBecomeCrLf", "A\nB\rC", 1, "A", Deletion::Deleted, "B\r\nC\r\n"},
        DeleteCase{"lastLine", "A\r\nB\r\n", 2, "B", Deletion::Deleted, "A\r\n"},
        DeleteCase{"onlyLine", "A\r\n", 1, "A", Deletion::Deleted, ""},
        DeleteCase{"duplicateByItsNumber", "A\r\nB\r\nA\r\n", 3, "A", Deletion::Deleted, "A\r\nB\r\n"},
        // A line added above since the table was built: the address shown is deleted, not the
        // line that now has its number.
        DeleteCase{"fileChangedSince", "New\r\nA\r\nB\r\n", 1, "A", Deletion::Deleted, "New\r\nB\r\n"},
        DeleteCase{"addressGone", "A\r\nB\r\n", 2, "C", Deletion::NotFound, {}},
        DeleteCase{"headingRow", "A\r\nB\r\n", 0, "A", Deletion::NotFound, {}}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST_F(AddressList, aRewriteThatFailsHalfWayLeavesTheListUnchanged) {
    const QByteArray before = "Haifa office\r\nTel Aviv\r\nJerusalem\r\n";
    put("lis.dat", before);
    {
        const velmora::data::WriteFailureForTesting fullDisk("lis.dat", 7);
        const Result<Deletion> deleted = velmora::addressbook::deleteAddress(dir(), 2, "Tel Aviv");
        ASSERT_FALSE(deleted.ok());
        EXPECT_TRUE(deleted.error().contains("lis.dat")) << deleted.error().toStdString();
    }
    EXPECT_EQ(content("lis.dat"), before);
    // No temporary file is left behind either.
    EXPECT_EQ(QDir(m_tmp.path()).entryList(QDir::Files), QStringList({"lis.dat", "lisvr.dat"}));
}

TEST_F(AddressList, aWorkingCopyThatCannotBeWrittenStopsTheDeletion) {
    const QByteArray before = "A\r\nB\r\n";
    put("lis.dat", before);
    ASSERT_TRUE(QDir(m_tmp.path()).mkdir("lisvr.dat"));
    const Result<Deletion> deleted = velmora::addressbook::deleteAddress(dir(), 1, "A");
    ASSERT_FALSE(deleted.ok());
    EXPECT_TRUE(deleted.error().contains("lisvr.dat")) << deleted.error().toStdString();
    EXPECT_EQ(content("lis.dat"), before);
}

struct ChooseCase {
    const char* name;
    Lines lines;
    qsizetype number;
    QByteArray address;
    std::optional<qsizetype> entry;
};

class Choose : public ::testing::TestWithParam<ChooseCase> {};

TEST_P(Choose, findsTheAddressTheUserClicked) {
    const ChooseCase& c = GetParam();
    EXPECT_EQ(velmora::addressbook::chosenEntry(c.lines, c.number, c.address), c.entry);
}

INSTANTIATE_TEST_SUITE_P(Table, Choose,
                         ::testing::Values(ChooseCase{"byNumber", {"A", "B", "C"}, 2, "B", 1},
                                           ChooseCase{"duplicateKeepsItsNumber", {"A", "B", "A"}, 3, "A", 2},
                                           ChooseCase{"lineAddedAbove", {"New", "A", "B"}, 2, "B", 2},
                                           ChooseCase{"numberBeyondTheFile", {"A"}, 5, "B", std::nullopt},
                                           ChooseCase{"addressGone", {"A", "C"}, 2, "B", std::nullopt},
                                           ChooseCase{"headingRow", {"A"}, 0, "A", std::nullopt}),
                         [](const auto& tc) { return std::string(tc.param.name); });

} // namespace
