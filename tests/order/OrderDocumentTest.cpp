#include "order/OrderDocument.h"

#include "data/FileIo.h"

#include "BytesPrinting.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

using namespace velmora::order;
using velmora::Result;
using velmora::data::DataDir;

namespace {

const QByteArray kHeading = "<h2>Order</h2>";
const QList<QByteArray> kHead = {"<html>", "<head>", "<title>###05</title>", "</head>"};
const QList<QByteArray> kSkipped = {"<body>", "<p>###13 is lost here</p>", "<!-- 140561 -->"};

QByteArray crlfLines(const QList<QByteArray>& lines) {
    QByteArray text;
    for (const QByteArray& line : lines)
        text += line + "\r\n";
    return text;
}

QList<QByteArray> linesOf(const QByteArray& document) {
    QList<QByteArray> lines = document.split('\n');
    EXPECT_TRUE(lines.last().isEmpty()) << "the document must end with a line end";
    lines.removeLast();
    for (QByteArray& line : lines) {
        EXPECT_TRUE(line.endsWith('\r')) << "every line must end with CR LF";
        line.chop(1);
    }
    return lines;
}

OrderRecord sampleRecord() {
    OrderRecord r;
    r.setSlot(1, " 137");
    r.setSlot(2, "05-03-04");
    r.setSlot(4, "Tower; ''B''");
    r.setSlot(5, "Print House kod042");
    r.setSlot(6, "Alpha");
    r.setSlot(7, "Beta");
    r.setSlot(12, "04-555 <ext> & 1");
    r.setSlot(13, "plan.plt");
    r.setSlot(21, "");
    r.setSlot(31, " ");
    r.setSlot(38, "\xec\xe5\xe9");
    return r;
}

QList<QByteArray> documentBody(const QList<QByteArray>& body) {
    QList<QByteArray> lines = kHead;
    lines << "<div align=center><center>" << kHeading << body;
    return lines;
}

struct BodyCase {
    const char* name;
    QByteArray bodyText; // template text after the body marker
    QList<QByteArray> lines;
};

class DocumentBody : public ::testing::TestWithParam<BodyCase> {};

TEST_P(DocumentBody, fillsPlaceholders) {
    const QByteArray templ = crlfLines(kHead + kSkipped) + GetParam().bodyText;
    const Result<QByteArray> document = generateDocument(sampleRecord(), templ, kHeading);
    ASSERT_TRUE(document.ok()) << document.error().toStdString();
    EXPECT_EQ(linesOf(*document), documentBody(GetParam().lines));
}

INSTANTIATE_TEST_SUITE_P(
    Table, DocumentBody,
    ::testing::Values(BodyCase{"file_name_in_cell", "<td>###13</td>\r\n", {"<td>", "plan.plt", "</td>"}},
                      BodyCase{"placeholder_alone", "###02\r\n", {"", "05-03-04", ""}},
                      BodyCase{"order_number_keeps_its_blank", "###01\r\n", {"", " 137", ""}},
                      BodyCase{"slot_above_the_order", "<td>###40</td>\r\n", {"<td>", "&nbsp", "</td>"}},
                      BodyCase{"empty_slot", "<td>###21</td>\r\n", {"<td>", "&nbsp", "</td>"}},
                      BodyCase{"single_blank_slot", "<td>###31</td>\r\n", {"<td>", "&nbsp", "</td>"}},
                      BodyCase{"slot_zero", "<td>###00</td>\r\n", {"<td>", "&nbsp", "</td>"}},
                      BodyCase{"comma_splits_a_line",
                               "<font face=Arial, Helvetica>\r\n",
                               {"<font face=Arial", "Helvetica>"}},
                      BodyCase{"only_first_placeholder_replaced", "###07###08\r\n", {"", "Beta", "###08"}},
                      BodyCase{"placeholder_at_end_of_field", "<td>###\r\n", {"<td>", "&nbsp", ""}},
                      BodyCase{"one_digit_number", "###5<\r\n", {"", "Print House kod042", ""}},
                      BodyCase{"one_digit_number_eats_next_character",
                               "<b>###5</b>\r\n",
                               {"<b>", "Print House kod042", "/b>"}},
                      BodyCase{"blank_before_digit", "### 4\r\n", {"", "Tower; ''B''", ""}},
                      BodyCase{"negative_number_reads_as_empty", "###-5\r\n", {"", "&nbsp", ""}},
                      BodyCase{"ninety_nine_reads_as_empty", "###99\r\n", {"", "&nbsp", ""}},
                      BodyCase{"fraction_reads_as_empty", "###.5\r\n", {"", "&nbsp", ""}},
                      BodyCase{"value_is_html_text", "###12\r\n", {"", "04-555 &lt;ext&gt; &amp; 1", ""}},
                      BodyCase{"hebrew_value_unchanged", "###38\r\n", {"", "\xec\xe5\xe9", ""}},
                      BodyCase{"leading_blanks_dropped", "   <tr>\r\n", {"<tr>"}},
                      BodyCase{"quoted_field_keeps_comma", "\"<a title=x>, y\"\r\n", {"<a title=x>, y"}},
                      BodyCase{"empty_line_kept", "a\r\n\r\nb", {"a", "", "b"}}, BodyCase{"no_body", "", {}}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(Document, exactBytes) {
    const QByteArray templ = "<html><head></head>\r\n140561\r\n<td>###13</td>\r\n</body></html>\r\n";
    const Result<QByteArray> document = generateDocument(sampleRecord(), templ, kHeading);
    ASSERT_TRUE(document.ok());
    EXPECT_EQ(*document, QByteArray("<html><head></head>\r\n<div align=center><center>\r\n<h2>Order</h2>\r\n"
                                    "<td>\r\nplan.plt\r\n</td>\r\n</body></html>\r\n"));
}

// A placeholder is replaced only in the body: in the head it is copied unchanged, in the skipped
// part it is lost; a marker standing in the head does not end the skip.
TEST(Document, markerBeforeHeadEndIsNotSeen) {
    const QByteArray templ = crlfLines({"<html>", "<!-- 140561 early -->", "<b>###13</b>", "</HEAD>",
                                        "<p>###13 skipped</p>", "<i>140561</i>", "<td>###13</td>"});
    const Result<QByteArray> document = generateDocument(sampleRecord(), templ, kHeading);
    ASSERT_TRUE(document.ok());
    EXPECT_EQ(linesOf(*document),
              (QList<QByteArray>{"<html>", "<!-- 140561 early -->", "<b>###13</b>", "</HEAD>",
                                 "<div align=center><center>", kHeading, "<td>", "plan.plt", "</td>"}));
}

QList<QByteArray> repeated(const QByteArray& field, int count) {
    return QList<QByteArray>(count, field);
}

TEST(DocumentLimits, headCopyStopsAfter300FieldsEvenWhenTheHeadEndFollows) {
    // The head end in field 301 is read by the skip and dropped like any skipped field.
    const QByteArray templ = crlfLines(repeated("h", 300) + QList<QByteArray>{"</head>", "140561", "b"});
    const Result<QByteArray> document = generateDocument(sampleRecord(), templ, kHeading);
    ASSERT_TRUE(document.ok());
    EXPECT_EQ(linesOf(*document),
              (repeated("h", 300) + QList<QByteArray>{"<div align=center><center>", kHeading, "b"}));
}

TEST(DocumentLimits, skipEndsAtMarkerInItsLastField) {
    const QByteArray templ =
        crlfLines(QList<QByteArray>{"</head>"} + repeated("s", 299) + QList<QByteArray>{"140561", "b"});
    const Result<QByteArray> document = generateDocument(sampleRecord(), templ, kHeading);
    ASSERT_TRUE(document.ok());
    EXPECT_EQ(linesOf(*document),
              (QList<QByteArray>{"</head>", "<div align=center><center>", kHeading, "b"}));
}

TEST(DocumentLimits, missingMarkerLoses300FieldsAndBodyContinues) {
    // The marker in field 301 after the head comes too late: it is written as a body line.
    const QByteArray templ =
        crlfLines(QList<QByteArray>{"</head>"} + repeated("s", 300) + QList<QByteArray>{"140561", "###13"});
    const Result<QByteArray> document = generateDocument(sampleRecord(), templ, kHeading);
    ASSERT_TRUE(document.ok());
    EXPECT_EQ(linesOf(*document), (QList<QByteArray>{"</head>", "<div align=center><center>", kHeading,
                                                     "140561", "", "plan.plt", ""}));
}

TEST(DocumentLimits, templateWithoutHeadEndOrMarkerStillMakesADocument) {
    const QByteArray templ = crlfLines(repeated("h", 300) + repeated("s", 300) + QList<QByteArray>{"b"});
    const Result<QByteArray> document = generateDocument(sampleRecord(), templ, kHeading);
    ASSERT_TRUE(document.ok());
    EXPECT_EQ(linesOf(*document),
              (repeated("h", 300) + QList<QByteArray>{"<div align=center><center>", kHeading, "b"}));
}

struct DamagedCase {
    const char* name;
    QByteArray templ;
    const char* missing; // what the message names
};

class DamagedTemplate : public ::testing::TestWithParam<DamagedCase> {};

// A template that ends before its head end or its body marker (an empty or cut-off download)
// makes no document at all, instead of a page without the order.
TEST_P(DamagedTemplate, isAnErrorNamingTheTemplate) {
    const Result<QByteArray> document = generateDocument(sampleRecord(), GetParam().templ, kHeading);
    ASSERT_FALSE(document.ok());
    EXPECT_TRUE(document.error().contains("sbl.htm")) << document.error().toStdString();
    EXPECT_TRUE(document.error().contains(GetParam().missing)) << document.error().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, DamagedTemplate,
    ::testing::Values(DamagedCase{"empty", "", "/head"},
                      DamagedCase{"ends_in_head", "<html>\r\n<head>\r\n<title>x</title>\r\n", "/head"},
                      DamagedCase{"short_template_without_head_end", crlfLines(repeated("h", 299)), "/head"},
                      DamagedCase{"ends_at_head_end", "<html><head></head>\r\n", "140561"},
                      DamagedCase{"ends_before_marker", "</head>\r\n<body>\r\n<td>###13</td>\r\n", "140561"},
                      DamagedCase{"no_head_end_then_ends", crlfLines(repeated("h", 300)), "140561"},
                      DamagedCase{"no_head_end_then_ends_in_skip", crlfLines(repeated("h", 305)), "140561"}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(DamagedTemplate, messageNamesTheTemplateGiven) {
    DocumentOptions options;
    options.templateName = QStringLiteral("sbpro.htm");
    const Result<QByteArray> document = generateDocument(sampleRecord(), "", kHeading, options);
    ASSERT_FALSE(document.ok());
    EXPECT_TRUE(document.error().contains("sbpro.htm"));
}

const QList<QByteArray> kReshowBody = {"<td>###05</td>", "###38",   "###00",   "###45",       "###51",
                                       "###99",          "a *** b", "*** end", "<p>after</p>"};
const QList<QByteArray> kAsterisks = repeated("*************************************", 5);

TEST(ReshowOptions, asteriskFieldEndsBodyAndHighNumbersShow100) {
    const QByteArray templ = crlfLines(kHead + kSkipped + kReshowBody + kAsterisks);
    const Result<QByteArray> document =
        generateDocument(sampleRecord(), templ, kHeading, reshowDocumentOptions());
    ASSERT_TRUE(document.ok());
    EXPECT_EQ(linesOf(*document),
              documentBody({"<td>", "Print House kod042", "</td>", "", "\xec\xe5\xe9", "", "", "&nbsp", "",
                            "", "&nbsp", "", "", "100", "", "", "100", "", "a *** b"}));
}

TEST(ReshowOptions, submissionWritesEverythingToTheEnd) {
    const QByteArray templ = crlfLines(kHead + kSkipped + kReshowBody + kAsterisks);
    const Result<QByteArray> document = generateDocument(sampleRecord(), templ, kHeading);
    ASSERT_TRUE(document.ok());
    EXPECT_EQ(linesOf(*document), documentBody(QList<QByteArray>{"<td>",
                                                                 "Print House kod042",
                                                                 "</td>",
                                                                 "",
                                                                 "\xec\xe5\xe9",
                                                                 "",
                                                                 "",
                                                                 "&nbsp",
                                                                 "",
                                                                 "",
                                                                 "&nbsp",
                                                                 "",
                                                                 "",
                                                                 "&nbsp",
                                                                 "",
                                                                 "",
                                                                 "&nbsp",
                                                                 "",
                                                                 "a *** b",
                                                                 "*** end",
                                                                 "<p>after</p>"} +
                                               kAsterisks));
}

TEST(ReshowOptions, onlyAsteriskLinesRemainWhenTemplateIsMissing) {
    // sbl.htm after a failed download holds nothing but the appended asterisk lines.
    const Result<QByteArray> document =
        generateDocument(sampleRecord(), crlfLines(kAsterisks), kHeading, reshowDocumentOptions());
    EXPECT_FALSE(document.ok());
}

class DocumentFiles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_tmp.isValid()); }
    QString file(const QString& name) const { return m_tmp.filePath(name); }
    DataDir dir() const { return DataDir(m_tmp.path()); }

    QTemporaryDir m_tmp;
};

TEST_F(DocumentFiles, headingIsTheFirstFieldOfKorok) {
    ASSERT_TRUE(velmora::data::writeFileAtomic(file("korok.txt"),
                                               "  <h2 align=center>\xe4\xe6\xee\xf0\xe4</h2>,x\r\ny\r\n"));
    const Result<QByteArray> heading = readHeading(dir());
    ASSERT_TRUE(heading.ok());
    EXPECT_EQ(*heading, QByteArray("<h2 align=center>\xe4\xe6\xee\xf0\xe4</h2>"));
}

TEST_F(DocumentFiles, missingOrEmptyKorokIsAnErrorNamingIt) {
    const Result<QByteArray> missing = readHeading(dir());
    ASSERT_FALSE(missing.ok());
    EXPECT_TRUE(missing.error().contains("korok.txt")) << missing.error().toStdString();

    ASSERT_TRUE(velmora::data::writeFileAtomic(file("korok.txt"), ""));
    const Result<QByteArray> empty = readHeading(dir());
    ASSERT_FALSE(empty.ok());
    EXPECT_TRUE(empty.error().contains("korok.txt")) << empty.error().toStdString();
}

TEST_F(DocumentFiles, shortcutPointsAtTheDocument) {
    const QByteArray expected =
        "[InternetShortcut]\r\nURL=" + QDir::toNativeSeparators(m_tmp.path()).toUtf8() +
        QDir::separator().toLatin1() + "vl1.html\r\n";
    EXPECT_EQ(shortcutContent(dir()), expected);
    ASSERT_TRUE(writeShortcut(dir()));
    EXPECT_EQ(*velmora::data::readFile(file("vl.url")), expected);
}

// The URL line for data directories of every kind: a path that Windows-1255 can write stays the
// path in its bytes; one with a character it lacks becomes a percent-encoded file: URL.
struct ShortcutCase {
    std::string name;
    QString dataDir;
    QByteArray urlLine;
};

void PrintTo(const ShortcutCase& c, std::ostream* os) {
    *os << c.name;
}

class ShortcutUrl : public ::testing::TestWithParam<ShortcutCase> {};

TEST_P(ShortcutUrl, pointsAtTheDocument) {
    EXPECT_EQ(shortcutContent(DataDir(GetParam().dataDir)),
              "[InternetShortcut]\r\n" + GetParam().urlLine + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Directories, ShortcutUrl,
    ::testing::Values(ShortcutCase{"latin", "/srv/velmora data", "URL=/srv/velmora data/vl1.html"},
                      ShortcutCase{"hebrewInItsCodePage", QStringLiteral(u"/srv/הזמנות"),
                                   "URL=/srv/\xe4\xe6\xee\xf0\xe5\xfa/vl1.html"},
                      ShortcutCase{"characterOutsideTheCodePage", QStringLiteral(u"/tmp/☃"),
                                   "URL=file:///tmp/%E2%98%83/vl1.html"},
                      ShortcutCase{"hebrewBlankAndOutsideTogether", QStringLiteral(u"/srv/הז ₽"),
                                   "URL=file:///srv/%D7%94%D7%96%20%E2%82%BD/vl1.html"},
                      ShortcutCase{"beyondTheBasicPlane", QStringLiteral(u"/tmp/📐"),
                                   "URL=file:///tmp/%F0%9F%93%90/vl1.html"}),
    [](const ::testing::TestParamInfo<ShortcutCase>& p) { return p.param.name; });

} // namespace
