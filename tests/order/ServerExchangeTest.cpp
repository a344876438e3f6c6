#include "order/ServerExchange.h"
#include "order/ShopCode.h"

#include "BytesPrinting.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace velmora::order;

namespace {

struct ShopCodeCase {
    const char* name;
    QByteArray entry;
    QByteArray code;
    double number;
};

class ShopCodes : public ::testing::TestWithParam<ShopCodeCase> {};

TEST_P(ShopCodes, takesThreeCharactersAfterFirstKod) {
    EXPECT_EQ(shopCode(GetParam().entry), GetParam().code);
    EXPECT_DOUBLE_EQ(shopCodeNumber(GetParam().entry), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShopCodes,
    ::testing::Values(ShopCodeCase{"code_in_the_middle", "Print House kod042 Haifa", "042", 42},
                      ShopCodeCase{"upper_case_KOD_takes_third_to_fifth", "KOD042", "D04", 0},
                      ShopCodeCase{"no_kod_third_to_fifth", "xy123zz", "123", 123},
                      ShopCodeCase{"first_lower_case_kod_wins", "Kodmor Print kod123 kod456", "123", 123},
                      ShopCodeCase{"short_code_at_end", "X kod12", "12", 12},
                      ShopCodeCase{"kod_at_end", "Shop kod", "", 0},
                      ShopCodeCase{"kod_at_start", "kod007 EM:a@b", "007", 7},
                      ShopCodeCase{"no_kod_short_entry", "ab", "", 0},
                      ShopCodeCase{"no_kod_four_characters", "abcd", "cd", 0},
                      ShopCodeCase{"empty_entry", "", "", 0}),
    [](const auto& tc) { return std::string(tc.param.name); });

struct PathCase {
    const char* name;
    QString selector;
    std::optional<QByteArray> orderNumber;
    std::optional<QByteArray> orderTemplate;
};

class RequestPaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(RequestPaths, followTheSelector) {
    EXPECT_EQ(orderNumberPath(GetParam().selector, "042"), GetParam().orderNumber);
    EXPECT_EQ(templatePath(GetParam().selector, "042"), GetParam().orderTemplate);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RequestPaths,
    ::testing::Values(PathCase{"primary", "1", "/cgi-bin/scr042n.pl", "/cgi-bin/sb042.htm"},
                      PathCase{"fallback", "2", "/cgi-bin/scr042n.pl", "/sb042.htm"},
                      PathCase{"compared_as_number", " 2.0", "/cgi-bin/scr042n.pl", "/sb042.htm"},
                      PathCase{"abandon_value_has_no_server", "3", std::nullopt, std::nullopt},
                      PathCase{"zero", "0", std::nullopt, std::nullopt},
                      PathCase{"empty", "", std::nullopt, std::nullopt}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(RequestPaths, codeIsUsedAsFound) {
    EXPECT_EQ(templatePath(velmora::startup::Server::Primary, "12"), QByteArray("/cgi-bin/sb12.htm"));
    EXPECT_EQ(orderNumberPath(velmora::startup::Server::Fallback, "007"), QByteArray("/cgi-bin/scr007n.pl"));
}

struct ReplyCase {
    const char* name;
    QByteArray reply;
    double number;
};

class OrderNumberReplies : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(OrderNumberReplies, readsNumberAfterTheTag) {
    EXPECT_DOUBLE_EQ(parseOrderNumber(GetParam().reply), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OrderNumberReplies,
    ::testing::Values(ReplyCase{"number_on_next_line", "<center>Order</center>\r\n137\r\n", 137},
                      ReplyCase{"no_line_end_loses_first_digit", "</center>137", 37},
                      ReplyCase{"not_served", "</center>\r\n-25000", kNotServed},
                      ReplyCase{"lf_only", "<html></center>\n42<br>", 42},
                      ReplyCase{"ends_with_tag", "<p></center>", 0},
                      ReplyCase{"tag_and_one_character", "</center>x", 0},
                      ReplyCase{"first_tag_counts", "</center>\n5</center>\n7", 5},
                      ReplyCase{"no_tag_reads_whole_reply", "42 orders", 42},
                      ReplyCase{"error_page", "<html><body>404 Not Found</body></html>", 0},
                      ReplyCase{"tag_is_case_sensitive", "</CENTER>\n9", 0}, ReplyCase{"empty_reply", "", 0}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(OrderNumberReplies, notServedMessage) {
    EXPECT_EQ(notServedMessage(), QStringLiteral(u"לא עבדים עם מכון הזה!"));
}

} // namespace
