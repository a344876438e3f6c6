#include "data/CountFile.h"
#include "data/DataDir.h"
#include "data/DataFiles.h"
#include "data/FileIo.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

using namespace velmora::data;

namespace {

struct CountCase {
    const char* name;
    std::string before;
    double value;
    std::string after;
};

void PrintTo(const CountCase& c, std::ostream* os) {
    *os << c.name;
}

class CountCases : public ::testing::TestWithParam<CountCase> {};

TEST_P(CountCases, incrementRewritesTheFileAsANumberLine) {
    const CountCase& c = GetParam();
    QTemporaryDir tmp;
    const DataDir dir(tmp.path());
    ASSERT_TRUE(writeFileAtomic(dir.file(files::kOrderCounter), QByteArray::fromStdString(c.before)).ok());
    const auto next = incrementCount(dir, files::kOrderCounter);
    ASSERT_TRUE(next.ok()) << next.error().toStdString();
    EXPECT_DOUBLE_EQ(next.value(), c.value);
    EXPECT_EQ(readFile(dir.file(files::kOrderCounter)).value().toStdString(), c.after);
}

INSTANTIATE_TEST_SUITE_P(Table, CountCases,
                         ::testing::Values(CountCase{"fresh_counter", " 0 \r\n", 1, " 1 \r\n"},
                                           CountCase{"fraction_kept", " 2.5 \r\n", 3.5, " 3.5 \r\n"},
                                           CountCase{"bare_number", "137", 138, " 138 \r\n"},
                                           CountCase{"only_first_field_counts", " 7 ,99\r\n12\r\n", 8,
                                                     " 8 \r\n"},
                                           CountCase{"text_reads_as_zero", "abc\r\n", 1, " 1 \r\n"},
                                           CountCase{"empty_file_reads_as_zero", "", 1, " 1 \r\n"},
                                           CountCase{"negative", "-3 \r\n", -2, "-2 \r\n"}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST(CountFile, missingFileIsAnErrorNamingItAndNothingIsCreated) {
    QTemporaryDir tmp;
    const DataDir dir(tmp.path());
    const auto next = incrementCount(dir, files::kProjectCount);
    ASSERT_FALSE(next.ok());
    EXPECT_TRUE(next.error().contains(QStringLiteral("procol.dat")));
    EXPECT_FALSE(fileExists(dir.file(files::kProjectCount)));
}

TEST(CountFile, successiveIncrementsCount) {
    QTemporaryDir tmp;
    const DataDir dir(tmp.path());
    ASSERT_TRUE(writeCount(dir, files::kAddressCount, 4).ok());
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(incrementCount(dir, files::kAddressCount).ok());
    EXPECT_DOUBLE_EQ(readCount(dir, files::kAddressCount).value(), 7);
}

} // namespace
