#include "data/CharCodes.h"
#include "data/Cp1255.h"

#include <gtest/gtest.h>

#include <string>

using namespace velmora::data;

namespace {

struct CodeCase {
    std::string text; // Windows-1255 bytes
    std::string encoded;
};

class CharCodeCases : public ::testing::TestWithParam<CodeCase> {};

TEST_P(CharCodeCases, encodesAndDecodesBack) {
    const QByteArray text = QByteArray::fromStdString(GetParam().text);
    const QByteArray encoded = encodeCharCodes(text);
    EXPECT_EQ(encoded.toStdString(), GetParam().encoded);
    EXPECT_EQ(decodeCharCodes(encoded), text);
}

INSTANTIATE_TEST_SUITE_P(Table, CharCodeCases,
                         ::testing::Values(CodeCase{"\x07", "7  "}, CodeCase{";", "59 "},
                                           CodeCase{"\xe0", "224"}, CodeCase{"A;1", "65 59 49 "},
                                           CodeCase{" 137", "32 49 51 55 "}, CodeCase{" ", "32 "},
                                           CodeCase{"1;2", "49 59 50 "}, CodeCase{"\xe0\xe1", "224225"},
                                           CodeCase{"", ""}));

TEST(CharCodes, shortLastGroupIsReadTheSameWay) {
    EXPECT_EQ(decodeCharCodes("65 6"), QByteArray("A\x06"));
    EXPECT_EQ(decodeCharCodes("22422"), QByteArray("\xe0\x16"));
}

TEST(CharCodes, codeOutsideByteRangeDecodesToQuestionMark) {
    EXPECT_EQ(decodeCharCodes("999"), QByteArray("?"));
}

TEST(Cp1255, hebrewAndUnmappableCharacters) {
    EXPECT_EQ(toCp1255(QStringLiteral(u"אב")), QByteArray("\xe0\xe1"));
    EXPECT_EQ(toCp1255(QStringLiteral(u"a\u4e2db")), QByteArray("a?b"));
    EXPECT_EQ(toCp1255(QString::fromUcs4(U"\U0001F600", 1)), QByteArray("?"));
    EXPECT_EQ(fromCp1255("\xe0\xe1\xa4"), QStringLiteral(u"אב₪"));
    // Every defined byte survives a round trip through text.
    for (int b = 0; b < 256; ++b) {
        const QByteArray one(1, static_cast<char>(b));
        const QString s = fromCp1255(one);
        if (s != QChar(0xFFFD)) {
            EXPECT_EQ(toCp1255(s), one) << "byte " << b;
        }
    }
}

TEST(Cp1255, journalEncodingOfUnmappableCharacterIs63) {
    EXPECT_EQ(encodeCharCodes(toCp1255(QStringLiteral(u"\u4e2d"))), QByteArray("63 "));
}

} // namespace
