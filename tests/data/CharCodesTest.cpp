#include "data/CharCodes.h"
#include "data/Cp1255.h"
#include "data/Numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

using namespace velmora::data;

namespace {

struct CodeCase {
    const char* name;
    std::string text; // Windows-1255 bytes
    std::string encoded;
};

void PrintTo(const CodeCase& c, std::ostream* os) {
    *os << c.name;
}

class CharCodeCases : public ::testing::TestWithParam<CodeCase> {};

TEST_P(CharCodeCases, encodesAndDecodesBack) {
    const QByteArray text = QByteArray::fromStdString(GetParam().text);
    const QByteArray encoded = encodeCharCodes(text);
    EXPECT_EQ(encoded.toStdString(), GetParam().encoded);
    EXPECT_EQ(decodeCharCodes(encoded), text);
}

INSTANTIATE_TEST_SUITE_P(Table, CharCodeCases,
                         ::testing::Values(CodeCase{"one_digit_code", "\x07", "7  "},
                                           CodeCase{"two_digit_code", ";", "59 "},
                                           CodeCase{"hebrew_alef", "\xe0", "224"},
                                           CodeCase{"mixed_text", "A;1", "65 59 49 "},
                                           CodeCase{"order_number_slot", " 137", "32 49 51 55 "},
                                           CodeCase{"single_blank_slot", " ", "32 "},
                                           CodeCase{"comma_cleaned_to_semicolon", "1;2", "49 59 50 "},
                                           CodeCase{"alef_bet_without_separator", "\xe0\xe1", "224225"},
                                           CodeCase{"empty_slot", "", ""}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST(CharCodes, shortLastGroupIsReadTheSameWay) {
    EXPECT_EQ(decodeCharCodes("65 6"), QByteArray("A\x06"));
    EXPECT_EQ(decodeCharCodes("22422"), QByteArray("\xe0\x16"));
}

TEST(CharCodes, codeOutsideByteRangeDecodesToQuestionMark) {
    EXPECT_EQ(decodeCharCodes("999"), QByteArray("?"));
    EXPECT_EQ(decodeCharCodes("256"), QByteArray("?"));
}

TEST(CharCodes, groupsWrittenByHandAreReadAsLeadingNumbers) {
    EXPECT_EQ(decodeCharCodes("6 5"), QByteArray("A"));     // blanks inside a group are ignored
    EXPECT_EQ(decodeCharCodes(" 65"), QByteArray("A"));     // leading blank
    EXPECT_EQ(decodeCharCodes("065"), QByteArray("A"));     // leading zero
    EXPECT_EQ(decodeCharCodes("x  "), QByteArray("\0", 1)); // no number reads 0
    EXPECT_EQ(decodeCharCodes("-1 "), QByteArray("?"));
    EXPECT_EQ(decodeCharCodes("6.5"), QByteArray("?"));
}

// The decoder takes a short cut for the groups the encoder writes; on any other group it must
// give exactly what reading each group as a leading number gives.
TEST(CharCodes, decoderAgreesWithGroupwiseLeadingNumberOnArbitraryText) {
    const auto reference = [](const QByteArray& line) {
        QByteArray out;
        for (qsizetype i = 0; i < line.size(); i += 3) {
            const double code = leadingNumber(line.mid(i, 3));
            out.append(code >= 0 && code <= 255 && code == std::floor(code)
                           ? static_cast<char>(static_cast<int>(code))
                           : '?');
        }
        return out;
    };
    std::mt19937 random(1255);
    const char alphabet[] = "0123456789   .-\tx";
    for (int round = 0; round < 20000; ++round) {
        QByteArray line(static_cast<qsizetype>(random() % 10), ' ');
        for (char& c : line)
            c = alphabet[random() % (sizeof alphabet - 1)];
        ASSERT_EQ(decodeCharCodes(line), reference(line)) << "line [" << line.toStdString() << "]";
    }
}

TEST(CharCodes, decodingIntoReusedBufferReplacesItsContent) {
    QByteArray buffer("previous content");
    decodeCharCodesInto("65 66 ", buffer);
    EXPECT_EQ(buffer, QByteArray("AB"));
    decodeCharCodesInto("", buffer);
    EXPECT_EQ(buffer, QByteArray());
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

TEST(Cp1255, utf8OfEveryByteMatchesTheTextDecoder) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    QByteArray utf8("prefix:");
    appendCp1255AsUtf8(utf8, all);
    EXPECT_EQ(utf8, QByteArray("prefix:") + fromCp1255(all).toUtf8());
}

TEST(Cp1255, journalEncodingOfUnmappableCharacterIs63) {
    EXPECT_EQ(encodeCharCodes(toCp1255(QStringLiteral(u"\u4e2d"))), QByteArray("63 "));
}

} // namespace
