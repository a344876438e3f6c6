// The sample site's data as the program reads it: every served shop's order template, field by
// field with the program's own field reader, and the shop list behind the directory.
#include "TestService.h"

#include "data/Cp1255.h"
#include "data/FieldReader.h"
#include "data/Numbers.h"
#include "service/ShopCatalog.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace velmora::test {
namespace {

using service::Shop;
using service::ShopCatalog;

QByteArray readSiteFile(const QString& name) {
    QFile file(TestService::sampleSiteDir() + '/' + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const ShopCatalog& sampleShops() {
    static const ShopCatalog catalog = [] {
        auto loaded = ShopCatalog::load(QString(TestService::sampleSiteDir() + "/shops.tsv").toStdString());
        if (const auto* error = std::get_if<std::string>(&loaded))
            ADD_FAILURE() << *error;
        return std::get_if<ShopCatalog>(&loaded) ? std::get<ShopCatalog>(loaded) : ShopCatalog();
    }();
    return catalog;
}

TEST(SampleShops, CoverTheCasesTheProgramMeets) {
    const auto& shops = sampleShops().shops();
    ASSERT_GE(shops.size(), 6u);
    ASSERT_LE(shops.size(), 8u);
    int withoutEmail = 0;
    int notServed = 0;
    int leadingZero = 0;
    for (const Shop& shop : shops) {
        withoutEmail += shop.email.empty();
        notServed += !shop.served;
        leadingZero += shop.code.front() == '0';
        // The name must come through the directory and the program's lists in Hebrew.
        const QString name = data::fromCp1255(QByteArray::fromStdString(shop.name));
        EXPECT_TRUE(std::any_of(name.begin(), name.end(), [](QChar c) {
            return c.unicode() >= 0x05D0 && c.unicode() <= 0x05EA;
        })) << shop.code;
    }
    EXPECT_EQ(withoutEmail, 1);
    EXPECT_EQ(notServed, 1);
    EXPECT_GE(leadingZero, 1);
}

// ---------------------------------------------------------------------------------------------
// Templates

class ShopTemplate : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        m_bytes = readSiteFile(QString::fromStdString("sb" + GetParam() + ".htm"));
        ASSERT_FALSE(m_bytes.isEmpty()) << "sb" << GetParam() << ".htm is missing";
        m_fields = data::readAllFields(m_bytes);
    }

    // Index of the first field at or after from that contains one of the markers, or -1.
    qsizetype findField(qsizetype from, std::initializer_list<const char*> markers) const {
        for (qsizetype i = from; i < m_fields.size(); ++i) {
            for (const char* marker : markers) {
                if (m_fields[i].contains(marker))
                    return i;
            }
        }
        return -1;
    }

    QByteArray m_bytes;
    QList<QByteArray> m_fields;
};

TEST_P(ShopTemplate, HasHeadEndThenBodyMarkerWithinTheReadLimits) {
    const qsizetype headEnd = findField(0, {"/head", "/HEAD"});
    ASSERT_GE(headEnd, 0) << "no field with </head>";
    EXPECT_LT(headEnd, 300) << "the head copy reads at most 300 fields";
    EXPECT_TRUE(m_fields[headEnd].contains("</head>"));
    const qsizetype marker = findField(headEnd + 1, {"140561"});
    ASSERT_GT(marker, headEnd) << "no body marker after the head";
    EXPECT_LE(marker - headEnd, 300) << "the skip reads at most 300 fields";
    EXPECT_EQ(findField(0, {"140561"}), marker) << "a marker inside the head would be copied";
    EXPECT_EQ(findField(0, {"###"}), findField(marker + 1, {"###"}))
        << "a placeholder before the body is lost";
}

TEST_P(ShopTemplate, FillsEverySlotFrom1To38OncePlaceholderPerField) {
    std::multiset<int> found;
    for (const QByteArray& field : m_fields) {
        const qsizetype p = field.indexOf("###");
        if (p < 0)
            continue;
        EXPECT_EQ(field.count("###"), 1)
            << "only the first placeholder of a field is filled: " << field.toStdString();
        found.insert(static_cast<int>(data::leadingNumber(field.mid(p + 3, 2))));
    }
    std::multiset<int> expected;
    for (int slot = 1; slot <= 38; ++slot)
        expected.insert(slot);
    EXPECT_EQ(found, expected);
}

TEST_P(ShopTemplate, KeepsEveryLineWholeThroughTheFieldReader) {
    // A comma would split a line and a leading double quote would be stripped: one field per line.
    EXPECT_FALSE(m_bytes.contains(',')) << "a comma splits the line it stands in";
    const QList<QByteArray> lines = m_bytes.split('\n');
    for (const QByteArray& line : lines)
        EXPECT_FALSE(line.trimmed().startsWith('"')) << line.toStdString();
    EXPECT_EQ(m_fields.size(), m_bytes.count("\r\n"));
}

TEST_P(ShopTemplate, IsAWindows1255FormNamingItsShop) {
    // Windows-1255 bytes, not UTF-8 (whose Hebrew letters start with 0xD7).
    EXPECT_FALSE(m_bytes.contains("\xD7\x90")) << "looks like UTF-8";
    const QString text = data::fromCp1255(m_bytes);
    EXPECT_FALSE(text.contains(QChar::ReplacementCharacter));
    EXPECT_TRUE(text.contains(QStringLiteral("dir=\"rtl\"")));
    EXPECT_TRUE(text.contains(QStringLiteral("טופס הזמנת העתקות")));
    EXPECT_TRUE(text.contains(QStringLiteral("חתימת המזמין")));
    const Shop* shop = sampleShops().find(GetParam());
    ASSERT_NE(shop, nullptr);
    EXPECT_TRUE(m_bytes.contains(QByteArray::fromStdString(shop->name)));
    EXPECT_TRUE(m_bytes.contains(QByteArray::fromStdString(shop->address)));
    // The generator opens a centred block and leaves closing it to the template.
    EXPECT_TRUE(m_bytes.contains("</center></div>"));
}

std::vector<std::string> servedCodes() {
    std::vector<std::string> codes;
    for (const Shop& shop : sampleShops().shops()) {
        if (shop.served)
            codes.push_back(shop.code);
    }
    return codes;
}

INSTANTIATE_TEST_SUITE_P(SampleSite, ShopTemplate, ::testing::ValuesIn(servedCodes()),
                         [](const auto& c) { return "Shop" + c.param; });

TEST(SampleSite, HasNoTemplateForTheShopThatIsNotServed) {
    for (const Shop& shop : sampleShops().shops()) {
        if (!shop.served) {
            EXPECT_FALSE(QFile::exists(TestService::sampleSiteDir() + "/sb" +
                                       QString::fromStdString(shop.code) + ".htm"));
        }
    }
}

} // namespace
} // namespace velmora::test
