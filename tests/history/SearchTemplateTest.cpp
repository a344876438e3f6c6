#include "history/SearchTemplate.h"

#include "HistoryTestData.h"

#include "BytesPrinting.h"

#include <gtest/gtest.h>

#include <string>

using velmora::Status;
using velmora::testing::HistoryDir;

namespace {

struct CopyCase {
    const char* name;
    QByteArray local; // sbpro.htm
    QByteArray copy;  // sbl.htm afterwards
};

class LocalTemplateCopy : public ::testing::TestWithParam<CopyCase> {};

TEST_P(LocalTemplateCopy, fieldByFieldToTheStars) {
    HistoryDir data;
    data.put("sbl.htm", "<html>an earlier shop's template</html>\r\n");
    data.put("sbpro.htm", GetParam().local);
    const Status copied = velmora::history::copyLocalTemplate(data.dir());
    ASSERT_TRUE(copied.ok()) << copied.error().toStdString();
    EXPECT_EQ(data.content("sbl.htm"), GetParam().copy);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LocalTemplateCopy,
    ::testing::Values(CopyCase{"commaEndsAField", "a, b\r\n*** end\r\nc\r\n", "a\r\nb\r\n"},
                      CopyCase{"quotesDropped", "\"x, y\"\r\n  z\r\n", "x, y\r\nz\r\n"},
                      CopyCase{"starsInsideAField", "<p>\r\n<!-- ***** -->\r\n<p>\r\n", "<p>\r\n"},
                      CopyCase{"lastLineWithoutEnd", "<html>\r\n</html>", "<html>\r\n</html>\r\n"},
                      CopyCase{"empty", "", ""}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(LocalTemplate, withoutSbproTheTemplateIsEmptiedAndTheFileNamed) {
    HistoryDir data;
    data.put("sbl.htm", "<html>an earlier shop's template</html>\r\n");
    const Status copied = velmora::history::copyLocalTemplate(data.dir());
    ASSERT_FALSE(copied.ok());
    EXPECT_TRUE(copied.error().contains("sbpro.htm")) << copied.error().toStdString();
    EXPECT_EQ(data.content("sbl.htm"), QByteArray());
}

struct UrlCase {
    const char* name;
    QString selector;
    QByteArray selection;
    QString url;
};

class ShopTemplateUrl : public ::testing::TestWithParam<UrlCase> {};

TEST_P(ShopTemplateUrl, followsTheSelector) {
    EXPECT_EQ(velmora::history::shopTemplateUrl(GetParam().selector, "primary.example:8080",
                                                "fallback.example", GetParam().selection),
              GetParam().url);
}

INSTANTIATE_TEST_SUITE_P(Table, ShopTemplateUrl,
                         ::testing::Values(UrlCase{"primary", "1", "Print House kod012",
                                                   "http://primary.example:8080/cgi-bin/sb012.htm"},
                                           UrlCase{"fallback", "2", "Print House kod012",
                                                   "http://fallback.example/sb012.htm"},
                                           // The code is taken as text, from the first "kod" on.
                                           UrlCase{"codeAsText", "1", "A kod7 kod9",
                                                   "http://primary.example:8080/cgi-bin/sb7%20k.htm"},
                                           UrlCase{"noServer", "3", "Print House kod012", ""},
                                           UrlCase{"emptySelector", "", "Print House kod012", ""}),
                         [](const auto& tc) { return std::string(tc.param.name); });

} // namespace
