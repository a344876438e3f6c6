#include "data/Numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using velmora::data::leadingNumber;
using velmora::data::numberLine;
using velmora::data::numberText;

namespace {

struct ReadCase {
    const char* name;
    std::string text;
    double value;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class LeadingNumberCases : public ::testing::TestWithParam<ReadCase> {};

TEST_P(LeadingNumberCases, reads) {
    EXPECT_DOUBLE_EQ(leadingNumber(QByteArray::fromStdString(GetParam().text)), GetParam().value)
        << "text: [" << GetParam().text << "]";
}

INSTANTIATE_TEST_SUITE_P(
    Table, LeadingNumberCases,
    ::testing::Values(ReadCase{"blanks_inside_are_ignored", "  12 34x", 1234},
                      ReadCase{"negative_not_served_answer", "-25000", -25000},
                      ReadCase{"line_feed_then_html", "\n137<br>", 137},
                      ReadCase{"no_number_is_zero", "abc", 0},
                      ReadCase{"carriage_return_stops", "\r\n137", 0}, ReadCase{"empty_is_zero", "", 0},
                      ReadCase{"decimal_counter", " 2.5 ", 2.5}, ReadCase{"tabs_ignored", "\t7\t", 7},
                      ReadCase{"second_point_stops", "1.2.3", 1.2}, ReadCase{"blank_after_minus", "- 5", -5},
                      ReadCase{"three_digit_code", "224", 224}, ReadCase{"padded_code_group", "7  ", 7},
                      ReadCase{"lone_minus_is_zero", "-", 0}, ReadCase{"leading_point", ".5", 0.5},
                      // Beyond a double: too large is infinite, too small zero; never "not a number".
                      ReadCase{"too_large", std::string(400, '7'), HUGE_VAL},
                      ReadCase{"too_large_negative", "-" + std::string(330, '9'), -HUGE_VAL},
                      ReadCase{"too_small", "0." + std::string(400, '0') + "1", 0}),
    [](const auto& tc) { return std::string(tc.param.name); });

struct TextCase {
    const char* name;
    double value;
    std::string text;
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.name;
}

class NumberTextCases : public ::testing::TestWithParam<TextCase> {};

TEST_P(NumberTextCases, writes) {
    EXPECT_EQ(numberText(GetParam().value).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Table, NumberTextCases,
                         ::testing::Values(TextCase{"positive_gets_blank", 137, " 137"},
                                           TextCase{"negative_gets_minus", -5, "-5"},
                                           TextCase{"zero_gets_blank", 0, " 0"},
                                           TextCase{"fraction", 3.5, " 3.5"},
                                           TextCase{"not_served_answer", -25000, "-25000"},
                                           TextCase{"large_without_exponent", 1e12, " 1000000000000"},
                                           // Never an exponent, which would read back as 1.
                                           TextCase{"huge_without_exponent", 1e20, " 100000000000000000000"},
                                           TextCase{"tiny_without_exponent", 1.5e-9, " 0.0000000015"},
                                           TextCase{"fifteen_digits", 0.1 + 0.2, " 0.3"}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST(NumberLine, counterValueIsWrittenWithBlankAndCrLf) {
    EXPECT_EQ(numberLine(137), QByteArray(" 137 \r\n"));
    EXPECT_EQ(numberLine(0), QByteArray(" 0 \r\n"));
}

TEST(NumberLine, counterHoldingTwoAndAHalfBecomesThreeAndAHalf) {
    EXPECT_EQ(numberLine(leadingNumber(" 2.5 ") + 1), QByteArray(" 3.5 \r\n"));
}

} // namespace
