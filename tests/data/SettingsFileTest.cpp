#include "data/SettingsFile.h"
#include "data/DataDir.h"
#include "data/DataFiles.h"
#include "data/FileIo.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

using namespace velmora::data;

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    QByteArray fileBytes() const { return readFile(m_dir.file(files::kSettings)).value(); }
    void writeRaw(const QByteArray& bytes) const {
        ASSERT_TRUE(writeFileAtomic(m_dir.file(files::kSettings), bytes).ok());
    }

    QTemporaryDir m_tmp;
    DataDir m_dir{m_tmp.path()};
};

TEST_F(SettingsFileTest, ordinaryValuesAreStoredAsPlainLinesEndedByBlankLine) {
    const OrdererSettings settings{"\xe3\xf0\xe4 \xeb\xe4\xef", "03-5551234", "Dan"};
    ASSERT_TRUE(writeSettings(m_dir, settings).ok());
    EXPECT_EQ(fileBytes(), QByteArray("\xe3\xf0\xe4 \xeb\xe4\xef\r\n03-5551234\r\nDan\r\n   \r\n"));
    const auto read = readSettings(m_dir);
    ASSERT_TRUE(read.ok()) << read.error().toStdString();
    EXPECT_EQ(read.value(), settings);
}

TEST_F(SettingsFileTest, ordererWithCommaComesBackWholeAndLeavesTheOtherValuesInPlace) {
    const OrdererSettings settings{"Cohen, Dan", "050-1234567", "Ruth"};
    ASSERT_TRUE(writeSettings(m_dir, settings).ok());
    EXPECT_EQ(fileBytes(), QByteArray("\"Cohen, Dan\"\r\n050-1234567\r\nRuth\r\n   \r\n"));
    EXPECT_EQ(readSettings(m_dir).value(), settings);
}

// A file written the old way, with the comma bare, still reads as it always did.
TEST_F(SettingsFileTest, oldFileWithBareCommaSplitsTheOrdererName) {
    writeRaw("Cohen, Dan\r\n050-1234567\r\nRuth\r\n   \r\n");
    const OrdererSettings read = readSettings(m_dir).value();
    EXPECT_EQ(read.orderer, "Cohen");
    EXPECT_EQ(read.telephone, "Dan");
    EXPECT_EQ(read.handledFor, "050-1234567");
}

TEST_F(SettingsFileTest, fileReadAndWrittenAgainStaysByteIdentical) {
    const QByteArray original("\xe9\xf9\xf8\xe0\xec\r\n\"Levi, 03\"\r\n\"  Ruth\"\r\n   \r\n");
    writeRaw(original);
    ASSERT_TRUE(writeSettings(m_dir, readSettings(m_dir).value()).ok());
    EXPECT_EQ(fileBytes(), original);
}

TEST_F(SettingsFileTest, shortFileGivesEmptyValuesForWhatItLacks) {
    writeRaw("Only\r\n");
    const OrdererSettings read = readSettings(m_dir).value();
    EXPECT_EQ(read.orderer, "Only");
    EXPECT_EQ(read.telephone, "");
    EXPECT_EQ(read.handledFor, "");
}

TEST_F(SettingsFileTest, missingFileIsAnErrorNamingIt) {
    const auto read = readSettings(m_dir);
    ASSERT_FALSE(read.ok());
    EXPECT_TRUE(read.error().contains(QStringLiteral("const.dat")));
    EXPECT_TRUE(read.error().contains(QStringLiteral(u"לא נמצא")));
}

struct ValueCase {
    const char* name;
    std::string value;
    std::string stored; // the line, without its CR LF
    std::string readBack;
};

void PrintTo(const ValueCase& c, std::ostream* os) {
    *os << c.name;
}

class SettingsValueCases : public ::testing::TestWithParam<ValueCase> {};

// The value is written in all three places; each must come back in its own place (a value that
// split into two fields would shift the others).
TEST_P(SettingsValueCases, isStoredSoThatItReadsBackInItsPlace) {
    const ValueCase& c = GetParam();
    const QByteArray value = QByteArray::fromStdString(c.value);
    EXPECT_EQ(settingsValueText(value).toStdString(), c.stored);

    QTemporaryDir tmp;
    const DataDir dir(tmp.path());
    ASSERT_TRUE(writeSettings(dir, OrdererSettings{value, value, value}).ok());
    const OrdererSettings read = readSettings(dir).value();
    EXPECT_EQ(read.orderer.toStdString(), c.readBack);
    EXPECT_EQ(read.telephone.toStdString(), c.readBack);
    EXPECT_EQ(read.handledFor.toStdString(), c.readBack);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SettingsValueCases,
    ::testing::Values(ValueCase{"plain_text_unchanged", "Dana Levi", "Dana Levi", "Dana Levi"},
                      ValueCase{"empty_value_is_empty_line", "", "", ""},
                      ValueCase{"trailing_blanks_kept_bare", "Dan  ", "Dan  ", "Dan  "},
                      ValueCase{"quote_inside_kept_bare", "Tower \"B\"", "Tower \"B\"", "Tower \"B\""},
                      ValueCase{"comma_is_quoted", "Cohen, Dan", "\"Cohen, Dan\"", "Cohen, Dan"},
                      ValueCase{"leading_blanks_are_quoted", "  Dan", "\"  Dan\"", "  Dan"},
                      ValueCase{"only_blanks_are_quoted", "   ", "\"   \"", "   "},
                      ValueCase{"leading_quote_becomes_apostrophes", "\"Dan\"", "''Dan''", "''Dan''"},
                      ValueCase{"comma_and_quote", "Tower, \"B\"", "\"Tower, ''B''\"", "Tower, ''B''"},
                      ValueCase{"line_break_becomes_blank", "Dan\r\nLevi", "Dan  Levi", "Dan  Levi"},
                      ValueCase{"hebrew_with_comma", "\xeb\xe4\xef, \xe3\xef", "\"\xeb\xe4\xef, \xe3\xef\"",
                                "\xeb\xe4\xef, \xe3\xef"}),
    [](const auto& tc) { return std::string(tc.param.name); });

} // namespace
