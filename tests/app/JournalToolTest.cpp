#include "data/Cp1255.h"
#include "data/FileIo.h"
#include "data/Journal.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

using namespace velmora::data;

namespace {

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun runTool(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(VELMORA_JOURNAL_TOOL), arguments);
    ToolRun run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

JournalRecord order(int n) {
    JournalRecord r;
    r.slot(1) = " " + QByteArray::number(n);
    r.slot(2) = "05-03-04";
    r.slot(4) = toCp1255(QStringLiteral(u"מגדל המשרדים"));
    r.slot(13) = "plan.plt";
    r.slot(38) = toCp1255(QStringLiteral(u"רות"));
    return r;
}

class JournalToolTest : public ::testing::Test {
protected:
    QString journalWith(int orders, int extraLines = 0) const {
        const QString path = m_tmp.path() + QStringLiteral("/vlt.dat");
        QByteArray text;
        for (int n = 1; n <= orders; ++n)
            text += encodeJournalRecord(order(n));
        for (int i = 0; i < extraLines; ++i)
            text += "49 \r\n";
        EXPECT_TRUE(writeFileAtomic(path, text).ok());
        return path;
    }

    QTemporaryDir m_tmp;
};

TEST_F(JournalToolTest, csvHasHeaderAndOneRowPerOrderInUtf8) {
    const ToolRun run = runTool({QStringLiteral("export"), journalWith(2)});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty());
    const QList<QByteArray> rows = run.out.split('\n');
    ASSERT_EQ(rows.size(), 4); // header, two orders, nothing after the last CR LF
    EXPECT_TRUE(rows[0].startsWith("record,order_number,date,account,project,print_shop,recipient_1,"));
    EXPECT_TRUE(rows[0].endsWith(",copy_type_5,handled_for\r"));
    EXPECT_EQ(rows[0].count(','), 38);
    EXPECT_TRUE(rows[2].startsWith(QStringLiteral(u"2, 2,05-03-04,,מגדל המשרדים,").toUtf8()));
    EXPECT_TRUE(rows[2].endsWith(QStringLiteral(u",רות\r").toUtf8()));
    EXPECT_TRUE(rows[3].isEmpty());
}

TEST_F(JournalToolTest, jsonIsAnArrayOfRecordsWith38Slots) {
    const ToolRun run = runTool(
        {QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("json"), journalWith(3)});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(run.out, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const QJsonArray records = doc.array();
    ASSERT_EQ(records.size(), 3);
    const QJsonObject third = records[2].toObject();
    EXPECT_EQ(third.value(QStringLiteral("record")).toInt(), 3);
    const QJsonArray slotValues = third.value(QStringLiteral("slots")).toArray();
    ASSERT_EQ(slotValues.size(), 38);
    EXPECT_EQ(slotValues[0].toString(), QStringLiteral(" 3"));
    EXPECT_EQ(slotValues[3].toString(), QStringLiteral(u"מגדל המשרדים"));
    EXPECT_EQ(slotValues[37].toString(), QStringLiteral(u"רות"));
}

TEST_F(JournalToolTest, emptyJournalGivesHeaderOnlyOrEmptyArray) {
    const QString empty = journalWith(0);
    const ToolRun csv = runTool({QStringLiteral("export"), empty});
    EXPECT_EQ(csv.exitCode, 0);
    EXPECT_EQ(csv.out.count("\r\n"), 1);
    const ToolRun json = runTool({QStringLiteral("export"), QStringLiteral("--format=json"), empty});
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_TRUE(QJsonDocument::fromJson(json.out).array().isEmpty());
    EXPECT_TRUE(QJsonDocument::fromJson(json.out).isArray());
}

// The complete records are written first; the damage is reported afterwards with exit status 3.
TEST_F(JournalToolTest, damagedLastRecordIsReportedAfterTheCompleteRecords) {
    const QString path = journalWith(2, 7);
    const ToolRun csv = runTool({QStringLiteral("export"), path});
    EXPECT_EQ(csv.exitCode, 3);
    EXPECT_EQ(csv.out.count("\r\n"), 3) << "header and two complete orders";
    EXPECT_TRUE(csv.err.contains("damaged")) << csv.err.toStdString();
    EXPECT_TRUE(csv.err.contains("7 of 38 lines")) << csv.err.toStdString();
    EXPECT_TRUE(csv.err.contains("vlt.dat"));

    const ToolRun json =
        runTool({QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("json"), path});
    EXPECT_EQ(json.exitCode, 3);
    EXPECT_EQ(QJsonDocument::fromJson(json.out).array().size(), 2);
}

TEST_F(JournalToolTest, missingJournalIsAClearErrorNamingIt) {
    const QString missing = m_tmp.path() + QStringLiteral("/none.dat");
    const ToolRun run = runTool({QStringLiteral("export"), missing});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains("none.dat")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("no such file"));
}

struct UsageCase {
    const char* name;
    QStringList arguments;
    const char* message;
};

void PrintTo(const UsageCase& c, std::ostream* os) {
    *os << c.name;
}

class ToolBadArguments : public ::testing::TestWithParam<UsageCase> {};

TEST_P(ToolBadArguments, exitWithStatus2AndUsage) {
    const ToolRun run = runTool(GetParam().arguments);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains(GetParam().message)) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("usage: velmora-journal export [--format csv|json] JOURNAL"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ToolBadArguments,
    ::testing::Values(
        UsageCase{"no_arguments", {}, "missing command"},
        UsageCase{"unknown_command", {"import", "x"}, "unknown command \"import\""},
        UsageCase{"no_journal", {"export"}, "missing JOURNAL"},
        UsageCase{"two_journals", {"export", "a", "b"}, "unexpected argument \"b\""},
        UsageCase{"unknown_format", {"export", "--format", "xml", "a"}, "unknown format \"xml\""},
        UsageCase{"format_without_value", {"export", "a", "--format"}, "Missing value after"},
        UsageCase{"unknown_option", {"export", "--fast", "a"}, "Unknown option"},
        UsageCase{"search_without_key", {"search", "a"}, "exactly one of"},
        UsageCase{
            "search_with_two_keys", {"search", "--shop", "A kod1", "--project", "P", "a"}, "exactly one of"},
        UsageCase{"shop_without_kod", {"search", "--shop", "Shop KOD012", "a"}, "\"kod\""},
        UsageCase{"key_for_export", {"export", "--project", "P", "a"}, "belongs to the search"},
        UsageCase{"show_without_number", {"show"}, "missing record number"},
        UsageCase{"show_zero", {"show", "0", "a"}, "not a whole number"},
        UsageCase{"show_text", {"show", "x", "a"}, "not a whole number"},
        UsageCase{"archive_check_two_journals", {"archive-check", "a", "b"}, "unexpected argument \"b\""}),
    [](const auto& tc) { return std::string(tc.param.name); });

// search prints what the search windows put into the table: seven TAB-separated cells per order.
TEST_F(JournalToolTest, searchPrintsTheTableRowsInJournalOrder) {
    const QString path = m_tmp.path() + QStringLiteral("/vlt.dat");
    QByteArray text;
    const char* shops[] = {"Print House kod012", "Other kod013", "Print House kod12 "};
    for (int n = 1; n <= 3; ++n) {
        JournalRecord r = order(n);
        r.slot(3) = toCp1255(QStringLiteral(u"עיריית חיפה"));
        r.slot(5) = shops[n - 1];
        text += encodeJournalRecord(r);
    }
    ASSERT_TRUE(writeFileAtomic(path, QByteArray(text + "49 \r\n")).ok()); // and a damaged last record

    const ToolRun shop = runTool({"search", "--shop", "Print House kod012", path});
    EXPECT_EQ(shop.exitCode, 3) << "the damaged tail is reported after the rows";
    EXPECT_TRUE(shop.err.contains("damaged"));
    EXPECT_EQ(shop.out,
              QStringLiteral(u" \t 1\t05-03-04\tPrint House kod012\tמגדל המשרדים\tעיריית חיפה\t 1\n"
                             u" \t 3\t05-03-04\tPrint House kod12 \tמגדל המשרדים\tעיריית חיפה\t 3\n")
                  .toUtf8());

    const ToolRun project = runTool({"search", "--project", QStringLiteral(u"מגדל המשרדים - שלב א"), path});
    EXPECT_EQ(project.out.count('\n'), 3);
    const ToolRun account = runTool({"search", "--account", "Acme", path});
    EXPECT_TRUE(account.out.isEmpty());
    EXPECT_EQ(account.exitCode, 3);
}

TEST_F(JournalToolTest, showPrintsTheRecordsSlots) {
    const QString path = journalWith(3, 5);
    const ToolRun run = runTool({"show", "2", path});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QList<QByteArray> lines = run.out.split('\n');
    ASSERT_EQ(lines.size(), 39);
    EXPECT_EQ(lines[0], "1\t 2");
    EXPECT_EQ(lines[3], QStringLiteral(u"4\tמגדל המשרדים").toUtf8());
    EXPECT_EQ(lines[4], "5\t");
    EXPECT_EQ(lines[37], QStringLiteral(u"38\tרות").toUtf8());

    const ToolRun damaged = runTool({"show", "4", path});
    EXPECT_EQ(damaged.exitCode, 3);
    EXPECT_TRUE(damaged.err.contains("damaged")) << damaged.err.toStdString();
    const ToolRun beyond = runTool({"show", "9", path});
    EXPECT_EQ(beyond.exitCode, 1);
    EXPECT_TRUE(beyond.err.contains("no record 9")) << beyond.err.toStdString();
    EXPECT_TRUE(beyond.out.isEmpty());
}

TEST(JournalToolHelp, printsUsageAndSucceeds) {
    const ToolRun run = runTool({QStringLiteral("--help")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.startsWith("usage: velmora-journal"));
}

} // namespace

namespace {

// archive-check over a journal of six orders and the folder archive beside it.
struct ArchiveCase {
    const char* name;
    QStringList stored; // file names in archive/
    int exitCode;
    const char* out;
};

void PrintTo(const ArchiveCase& c, std::ostream* os) {
    *os << c.name;
}

class ArchiveCheckTool : public JournalToolTest, public ::testing::WithParamInterface<ArchiveCase> {};

TEST_P(ArchiveCheckTool, printsBothListsAndFailsWhenEitherHoldsSomething) {
    const QString path = journalWith(6);
    QDir folder(m_tmp.path());
    for (const QString& name : GetParam().stored) {
        ASSERT_TRUE(folder.mkpath("archive"));
        ASSERT_TRUE(writeFileAtomic(folder.filePath("archive/" + name), "<html></html>").ok());
    }
    const ToolRun run = runTool({"archive-check", path});
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err.toStdString();
    EXPECT_EQ(run.out, QByteArray(GetParam().out));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ArchiveCheckTool,
    ::testing::Values(
        ArchiveCase{
            "every_record_archived",
            {"000001.html", "000002.html", "000003.html", "000004.html", "000005.html", "000006.html"},
            0,
            "records without an archived document: 0\n"
            "archived documents without a record: 0\n"},
        // Orders 1 to 3 came before the archive; 5 lost its copy; 7 and 8 belong to another journal.
        ArchiveCase{"gaps_and_strangers",
                    {"000004.html", "000006.html", "000007.html", "000008.html", "readme.txt"},
                    1,
                    "records without an archived document: 4\n1-3\n5\n"
                    "archived documents without a record: 2\narchive/000007.html\narchive/000008.html\n"},
        ArchiveCase{"no_archive_folder",
                    {},
                    1,
                    "records without an archived document: 6\n1-6\n"
                    "archived documents without a record: 0\n"}),
    [](const auto& tc) { return std::string(tc.param.name); });

} // namespace
