#include "tools/EmailPage.h"

#include "data/FileIo.h"

#include "order/BytesPrinting.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace velmora::tools;
using velmora::Result;
using velmora::data::DataDir;
using velmora::data::readFile;
using velmora::data::writeFileAtomic;

namespace {

QByteArray page(const QByteArray& linkLine) {
    return "<html>\r\n" + linkLine + "\r\n</html>\r\n";
}

TEST(ShopChoice, statusLineNamesTheEntry) {
    EXPECT_EQ(shopChoiceStatusLine(QStringLiteral("Print House kod042")),
              QStringLiteral(u"מספר של  Print House kod042"));
}

struct PageCase {
    const char* name;
    QByteArray chosen;
    QByteArray ruf27;
    std::optional<QByteArray> page;
};

class EmailPages : public ::testing::TestWithParam<PageCase> {};

TEST_P(EmailPages, lookUpTheShop) {
    EXPECT_EQ(emailPageFor(GetParam().chosen, GetParam().ruf27), GetParam().page);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EmailPages,
    ::testing::Values(
        PageCase{"codes_compared_as_numbers", "Print kod12",
                 "kod007 EM:other@x.com\r\nkod012 EM:print@shop.co.il\r\n",
                 page("<a href=mailto:print@shop.co.il>print@shop.co.il</a>")},
        PageCase{"no_email", "Z kod005", "kod005 EM:&nbsp;\r\n", page("No E-Mail")},
        PageCase{"stars_before_the_shop", "B kod003", "kod001 EM:a@a.com\r\n***\r\nkod003 EM:b@b.com\r\n",
                 std::nullopt},
        PageCase{"shop_not_listed", "C kod009", "kod001 EM:a@a.com\r\n", std::nullopt},
        PageCase{"empty_details", "C kod009", "", std::nullopt},
        PageCase{"first_matching_entry_wins", "D kod004",
                 "kod004 EM:first@d.com\r\nkod004 EM:second@d.com\r\n",
                 page("<a href=mailto:first@d.com>first@d.com</a>")},
        PageCase{"without_em_address_from_third_character", "E kod006", "kod006 e@e.com\r\n",
                 page("<a href=mailto:d006%20e@e.com>d006 e@e.com</a>")},
        // The text after the address is part of it; in the link target its blanks are encoded.
        PageCase{"further_text_is_part_of_the_address", "F kod007", "kod007 EM:f@f.com tel 04\r\n",
                 page("<a href=mailto:f@f.com%20tel%2004>f@f.com tel 04</a>")},
        PageCase{"markup_in_address_is_text", "G kod008", "kod008 EM:g@g.com<b>\r\n",
                 page("<a href=mailto:g@g.com%3Cb%3E>g@g.com&lt;b&gt;</a>")},
        PageCase{"quote_cannot_leave_the_href", "H kod010", "kod010 EM:h@h.com'onclick=x\r\n",
                 page("<a href=mailto:h@h.com%27onclick=x>h@h.com'onclick=x</a>")},
        PageCase{"ampersand_in_address", "I kod011", "kod011 EM:i@i.com?subject=a&body=b\r\n",
                 page("<a href=mailto:i@i.com?subject=a&amp;body=b>i@i.com?subject=a&amp;body=b</a>")}),
    [](const auto& tc) { return std::string(tc.param.name); });

class EmailPageFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_tmp.isValid()); }
    QString file(const QString& name) const { return m_tmp.filePath(name); }
    DataDir dir() const { return DataDir(m_tmp.path()); }
    QByteArray content(const QString& name) const {
        const Result<QByteArray> bytes = readFile(file(name));
        return bytes ? *bytes : QByteArray("<missing>");
    }

    QTemporaryDir m_tmp;
};

TEST_F(EmailPageFile, writtenForAFoundShopAndKeptOtherwise) {
    ASSERT_TRUE(
        writeFileAtomic(file("ruf27.dat"), "kod012 EM:print@shop.co.il\r\n***\r\nkod013 EM:late@x.com\r\n"));

    const Result<EmailPageOutcome> found = writeEmailPage(dir(), "Print kod12");
    ASSERT_TRUE(found.ok());
    EXPECT_EQ(*found, EmailPageOutcome::Written);
    const QByteArray expected = page("<a href=mailto:print@shop.co.il>print@shop.co.il</a>");
    EXPECT_EQ(content("em.htm"), expected);

    const Result<EmailPageOutcome> again = writeEmailPage(dir(), "Print kod12");
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(content("em.htm"), expected);

    const Result<EmailPageOutcome> afterStars = writeEmailPage(dir(), "Late kod013");
    ASSERT_TRUE(afterStars.ok());
    EXPECT_EQ(*afterStars, EmailPageOutcome::NotFound);
    EXPECT_EQ(content("em.htm"), expected);
}

TEST_F(EmailPageFile, missingDetailsLeaveThePage) {
    ASSERT_TRUE(writeFileAtomic(file("em.htm"), "previous"));
    const Result<EmailPageOutcome> outcome = writeEmailPage(dir(), "Print kod12");
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(*outcome, EmailPageOutcome::NoDetails);
    EXPECT_EQ(content("em.htm"), QByteArray("previous"));
}

} // namespace
