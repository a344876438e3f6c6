#include "tools/ListNarrowing.h"

#include "data/FileIo.h"

#include "order/BytesPrinting.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace velmora::tools;

namespace {

using Entries = QList<QByteArray>;

struct NarrowCase {
    const char* name;
    QByteArray file;
    QByteArray typed;
    bool stopsAtAsterisks;
    Entries entries;
};

class Narrowing : public ::testing::TestWithParam<NarrowCase> {};

TEST_P(Narrowing, offersEntriesBeginningWithTheTypedText) {
    const std::optional<Entries> entries =
        narrowEntries(GetParam().typed, GetParam().file, GetParam().stopsAtAsterisks);
    ASSERT_TRUE(entries.has_value());
    EXPECT_EQ(*entries, GetParam().entries);
}

const QByteArray kAddresses = "Alpha\r\nBeta\r\nAlmond\r\n";
const QByteArray kShops = "A1 kod001\r\nstop ***\r\nA2 kod002\r\n";

INSTANTIATE_TEST_SUITE_P(
    Table, Narrowing,
    ::testing::Values(
        NarrowCase{"prefix_in_file_order", kAddresses, "A", false, {"Alpha", "Almond"}},
        NarrowCase{"longer_prefix", kAddresses, "Alm", false, {"Almond"}},
        NarrowCase{"case_counts", "Studio\r\n", "stu", false, {}},
        NarrowCase{"longer_than_every_entry", kAddresses, "Almonds", false, {}},
        NarrowCase{"equal_entry_matches", kAddresses, "Beta", false, {"Beta"}},
        NarrowCase{"typed_text_is_not_trimmed", kAddresses, " A", false, {}},
        NarrowCase{"duplicates_kept", "Ann\r\nAnn\r\n", "A", false, {"Ann", "Ann"}},
        NarrowCase{"quotes_removed", "\"Alpha, Inc\"\r\nAlps\r\n", "Alpha,", false, {"Alpha, Inc"}},
        NarrowCase{"last_line_without_line_end", "Ab\r\nAc", "A", false, {"Ab", "Ac"}},
        NarrowCase{"hebrew_prefix", "\xe0\xe1\r\n\xe1\xe0\r\n", "\xe0", false, {"\xe0\xe1"}},
        NarrowCase{"print_shops_stop_at_stars", kShops, "A", true, {"A1 kod001"}},
        NarrowCase{"other_lists_read_to_the_end", kShops, "A", false, {"A1 kod001", "A2 kod002"}}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(Narrowing, emptyTypedTextChangesNothing) {
    EXPECT_FALSE(narrowEntries("", kAddresses, false).has_value());
}

TEST(Narrowing, readsTheListFileOfTheDataDirectory) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const velmora::data::DataDir dir(tmp.path());
    EXPECT_EQ(narrowEntriesInFile(dir, "lis.dat", "A", false), Entries{}) << "a missing file offers nothing";
    ASSERT_TRUE(velmora::data::writeFileAtomic(tmp.filePath("lis.dat"), kAddresses));
    EXPECT_EQ(narrowEntriesInFile(dir, "lis.dat", "A", false), (Entries{"Alpha", "Almond"}));
    EXPECT_FALSE(narrowEntriesInFile(dir, "lis.dat", "", false).has_value());
}

} // namespace
