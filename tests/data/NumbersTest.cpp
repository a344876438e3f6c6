#include "data/Numbers.h"

#include <gtest/gtest.h>

#include <string>

using velmora::data::leadingNumber;
using velmora::data::numberLine;
using velmora::data::numberText;

namespace {

struct ReadCase {
    std::string text;
    double value;
};

class LeadingNumberCases : public ::testing::TestWithParam<ReadCase> {};

TEST_P(LeadingNumberCases, reads) {
    EXPECT_DOUBLE_EQ(leadingNumber(QByteArray::fromStdString(GetParam().text)), GetParam().value)
        << "text: [" << GetParam().text << "]";
}

INSTANTIATE_TEST_SUITE_P(Table, LeadingNumberCases,
                         ::testing::Values(ReadCase{"  12 34x", 1234}, ReadCase{"-25000", -25000},
                                           ReadCase{"\n137<br>", 137}, ReadCase{"abc", 0},
                                           ReadCase{"\r\n137", 0}, ReadCase{"", 0},
                                           ReadCase{" 2.5 ", 2.5}, ReadCase{"\t7\t", 7},
                                           ReadCase{"1.2.3", 1.2}, ReadCase{"- 5", -5},
                                           ReadCase{"224", 224}, ReadCase{"7  ", 7},
                                           ReadCase{"-", 0}, ReadCase{".5", 0.5}));

struct TextCase {
    double value;
    std::string text;
};

class NumberTextCases : public ::testing::TestWithParam<TextCase> {};

TEST_P(NumberTextCases, writes) {
    EXPECT_EQ(numberText(GetParam().value).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Table, NumberTextCases,
                         ::testing::Values(TextCase{137, " 137"}, TextCase{-5, "-5"}, TextCase{0, " 0"},
                                           TextCase{3.5, " 3.5"}, TextCase{-25000, "-25000"},
                                           TextCase{1e12, " 1000000000000"}));

TEST(NumberLine, counterValueIsWrittenWithBlankAndCrLf) {
    EXPECT_EQ(numberLine(137), QByteArray(" 137 \r\n"));
    EXPECT_EQ(numberLine(0), QByteArray(" 0 \r\n"));
}

TEST(NumberLine, counterHoldingTwoAndAHalfBecomesThreeAndAHalf) {
    EXPECT_EQ(numberLine(leadingNumber(" 2.5 ") + 1), QByteArray(" 3.5 \r\n"));
}

} // namespace
