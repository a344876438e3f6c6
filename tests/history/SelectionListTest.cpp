#include "history/SelectionList.h"

#include "HistoryTestData.h"

#include "BytesPrinting.h"

#include <QDir>

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace Qt::Literals::StringLiterals;
using velmora::Result;
using velmora::history::SearchKey;
using velmora::testing::HistoryDir;

namespace {

using Entries = QList<QByteArray>;

struct ListCase {
    const char* name;
    SearchKey key;
    QByteArray file;
    QString typed;                  // empty: the list as the window loads it
    std::optional<Entries> entries; // nullopt: the filter leaves the list as it is
};

class SelectionLists : public ::testing::TestWithParam<ListCase> {};

TEST_P(SelectionLists, loadAndNarrow) {
    const ListCase& c = GetParam();
    HistoryDir data;
    const QString file = velmora::history::selectionFile(c.key);
    data.put(file, c.file);
    if (c.typed.isEmpty()) {
        const Result<Entries> loaded = velmora::history::loadSelectionList(data.dir(), c.key);
        ASSERT_TRUE(loaded.ok()) << loaded.error().toStdString();
        EXPECT_EQ(*loaded, *c.entries);
    } else {
        EXPECT_EQ(velmora::history::filterSelectionList(data.dir(), c.key, c.typed), c.entries);
    }
}

const QByteArray kAlphas = "Alpha\r\nBeta\r\nAlps\r\n";
const QByteArray kShops = "A kod001\r\n***\r\nB kod002\r\n";

INSTANTIATE_TEST_SUITE_P(
    Table, SelectionLists,
    ::testing::Values(
        ListCase{"loadInFileOrder", SearchKey::Project, kAlphas, "", Entries{"Alpha", "Beta", "Alps"}},
        ListCase{"prefix", SearchKey::Project, kAlphas, "Al", Entries{"Alpha", "Alps"}},
        ListCase{"prefixCaseCounts", SearchKey::Project, kAlphas, "al", Entries{}},
        ListCase{"longerThanEveryEntry", SearchKey::Project, kAlphas, "Alpha1", Entries{}},
        ListCase{"wholeEntry", SearchKey::Account, kAlphas, "Beta", Entries{"Beta"}},
        ListCase{"characterWithoutCode", SearchKey::Account, "?x\r\n", u"☃"_s, Entries{}},
        ListCase{"commaSplitsALine", SearchKey::Account, "Smith, John\r\n", "", Entries{"Smith", "John"}},
        ListCase{"shopListEndsAtStars", SearchKey::PrintShop, kShops, "", Entries{"A kod001"}},
        ListCase{"shopFilterEndsAtStars", SearchKey::PrintShop, kShops, "B", Entries{}},
        ListCase{"otherListsKeepStars", SearchKey::Project, "A\r\n***\r\nB\r\n", "",
                 Entries{"A", "***", "B"}},
        ListCase{"prefixOfTheShopName", SearchKey::PrintShop, "Print House kod012\r\nPrinter kod002\r\n",
                 "Print ", Entries{"Print House kod012"}},
        ListCase{"emptyFile", SearchKey::Project, "", "", Entries{}}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(SelectionList, anEmptyTypedTextLeavesTheListAsItIs) {
    HistoryDir data;
    data.put("pro.dat", kAlphas);
    EXPECT_EQ(velmora::history::filterSelectionList(data.dir(), SearchKey::Project, QString()), std::nullopt);
}

TEST(SelectionList, aMissingFileIsAnEmptyList) {
    HistoryDir data;
    for (SearchKey key : {SearchKey::PrintShop, SearchKey::Project, SearchKey::Account}) {
        const Result<Entries> loaded = velmora::history::loadSelectionList(data.dir(), key);
        ASSERT_TRUE(loaded.ok());
        EXPECT_TRUE(loaded->isEmpty());
        EXPECT_EQ(velmora::history::filterSelectionList(data.dir(), key, u"A"_s), Entries{});
    }
}

TEST(SelectionList, theAccountListIsTheDataDirectorysHesDat) {
    EXPECT_EQ(velmora::history::selectionFile(SearchKey::Account), "hes.dat");
}

TEST(SelectionList, theShopWindowRemovesItsScratchFile) {
    HistoryDir data;
    data.put("ruf25.htm", "\r\n");
    EXPECT_TRUE(velmora::history::removeShopListScratch(data.dir()).ok());
    EXPECT_FALSE(QFile::exists(data.path("ruf25.htm")));
    EXPECT_TRUE(velmora::history::removeShopListScratch(data.dir()).ok()) << "a missing file is fine";
}

} // namespace
