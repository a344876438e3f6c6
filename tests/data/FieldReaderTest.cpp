#include "data/FieldReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using velmora::data::FieldReader;
using velmora::data::firstField;
using velmora::data::readAllFields;

namespace {

struct FieldCase {
    const char* name;
    std::string text;
    std::vector<std::string> fields;
};

void PrintTo(const FieldCase& c, std::ostream* os) {
    *os << c.name;
}

class FieldReaderCases : public ::testing::TestWithParam<FieldCase> {};

TEST_P(FieldReaderCases, readsFieldsInOrder) {
    const FieldCase& c = GetParam();
    const auto fields = readAllFields(QByteArray::fromStdString(c.text));
    std::vector<std::string> got;
    for (const QByteArray& f : fields)
        got.push_back(f.toStdString());
    EXPECT_EQ(got, c.fields);
}

// The journal reads each line with firstField(); it must agree with the reader on every text.
TEST_P(FieldReaderCases, firstFieldMatchesTheReader) {
    const QByteArray text = QByteArray::fromStdString(GetParam().text);
    FieldReader reader(text);
    EXPECT_EQ(firstField(text).toByteArray(), reader.next());
}

INSTANTIATE_TEST_SUITE_P(
    Table, FieldReaderCases,
    ::testing::Values(FieldCase{"one_field_per_line_crlf", "Alpha\r\nBeta\r\n", {"Alpha", "Beta"}},
                      FieldCase{"lf_line_ends", "Alpha\nBeta\n", {"Alpha", "Beta"}},
                      FieldCase{"cr_line_ends", "Alpha\rBeta\r", {"Alpha", "Beta"}},
                      FieldCase{"last_line_without_line_end", "Alpha\r\nBeta", {"Alpha", "Beta"}},
                      FieldCase{
                          "comma_splits", "Cohen, Dan\r\n050-1234567\r\n", {"Cohen", "Dan", "050-1234567"}},
                      FieldCase{"leading_blanks_skipped_trailing_kept", "   a  \r\n", {"a  "}},
                      FieldCase{"blank_line_is_empty_field", "a\r\n\r\nb\r\n", {"a", "", "b"}},
                      FieldCase{"three_blanks_line_is_empty_field", "x\r\n   \r\n", {"x", ""}},
                      FieldCase{"quoted_field_keeps_comma", "\"Cohen, Dan\"\r\nx\r\n", {"Cohen, Dan", "x"}},
                      FieldCase{"quoted_field_spans_line_end", "\"a\r\nb\",c\r\n", {"a\r\nb", "c"}},
                      FieldCase{"text_after_closing_quote_dropped", "\"a\"b,c\r\n", {"a", "c"}},
                      FieldCase{"unclosed_quote_runs_to_end", "\"abc", {"abc"}},
                      FieldCase{"quoted_then_line_end", "\"q\"\r\nnext", {"q", "next"}},
                      FieldCase{"empty_text_has_no_field", "", {}},
                      FieldCase{"trailing_comma_at_end", "a,", {"a"}},
                      FieldCase{"comma_before_line_end", "a,\r\nb", {"a", "", "b"}},
                      FieldCase{"directory_example", "A, B kod123 EM:x\r\n", {"A", "B kod123 EM:x"}},
                      FieldCase{"only_blanks", "   ", {""}},
                      FieldCase{"encoded_journal_line", "32 49 51 55 \r\n", {"32 49 51 55 "}}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(FieldReader, endIsReachedAfterFinalCrLf) {
    FieldReader reader("only\r\n");
    ASSERT_FALSE(reader.atEnd());
    EXPECT_EQ(reader.next(), "only");
    EXPECT_TRUE(reader.atEnd());
}

TEST(FieldReader, readingAtEndYieldsEmptyAndStaysAtEnd) {
    FieldReader reader("x");
    EXPECT_EQ(reader.next(), "x");
    ASSERT_TRUE(reader.atEnd());
    EXPECT_EQ(reader.next(), QByteArray());
    EXPECT_TRUE(reader.atEnd());
}

TEST(FieldReader, hebrewBytesPassThroughUnchanged) {
    const QByteArray text("\xf9\xec\xe5\xed,\xe0\r\n"); // two Windows-1255 fields
    const auto fields = readAllFields(text);
    ASSERT_EQ(fields.size(), 2);
    EXPECT_EQ(fields[0], QByteArray("\xf9\xec\xe5\xed"));
    EXPECT_EQ(fields[1], QByteArray("\xe0"));
}

} // namespace
