// velmora-journal: reads the order journal vlt.dat from the command line.
//
//   velmora-journal export [--format csv|json] JOURNAL
//   velmora-journal search --shop|--project|--account TEXT JOURNAL
//   velmora-journal show N JOURNAL
//   velmora-journal archive-check JOURNAL
//
// export writes every order as UTF-8 CSV or JSON; search prints the rows that the search window
// of the program puts into its table of previous orders (the same search code); show prints the
// 38 decoded slots of record N, as the table's "Show, print and save" reads them; archive-check
// compares the journal with the documents kept as sent in the folder archive beside it.
//
// Exit status: 0 done; 1 the journal cannot be read, the record does not exist, the output
// cannot be written or the archive check found something; 2 bad arguments; 3 the journal's last
// record is damaged (the complete records before it are written, searched, shown or checked all
// the same).

#include "app/JournalExport.h"

#include "data/Cp1255.h"
#include "data/DataFiles.h"
#include "data/Journal.h"
#include "data/Numbers.h"
#include "history/JournalSearch.h"
#include "order/OrderArchive.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

namespace {

enum ExitCode { kOk = 0, kFailed = 1, kUsage = 2, kDamaged = 3 };

const char* const kUsageText =
    "usage: velmora-journal export [--format csv|json] JOURNAL\n"
    "       velmora-journal search --shop|--project|--account TEXT JOURNAL\n"
    "       velmora-journal show N JOURNAL\n"
    "       velmora-journal archive-check JOURNAL\n"
    "\n"
    "export writes every order of the order journal (vlt.dat) to standard output as UTF-8:\n"
    "  --format csv    a header row, then one row per order (default)\n"
    "  --format json   an array of {\"record\": n, \"slots\": [38 strings]}\n"
    "search prints the orders that the search window for that print shop, project or account\n"
    "  finds, one per line in journal order: the table's seven cells (a blank, order number,\n"
    "  date, print shop, project, account, record number), TAB-separated, UTF-8.\n"
    "show prints record N (counted from 1): 38 lines, slot number, TAB, the slot's text.\n"
    "archive-check compares the journal with the documents kept as sent in the folder\n"
    "  archive beside it (archive/NNNNNN.html, NNNNNN the record number) and prints two\n"
    "  lists, each after a heading line with its length: the records without an archived\n"
    "  document (runs of numbers as FIRST-LAST), then the archived documents without a record\n"
    "  (their paths relative to the journal's folder). Exit status 0 when both lists are\n"
    "  empty, 1 when either is not.\n"
    "\n"
    "Exit status: 0 done, 1 journal unreadable, no such record, output failed or the\n"
    "archive check found something, 2 bad arguments, 3 the last record of the journal is\n"
    "damaged (the complete records are written, searched, shown or checked all the same).\n";

void printError(const QString& message) {
    const QByteArray text = QStringLiteral("velmora-journal: %1\n").arg(message).toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
}

int usageError(const QString& message) {
    printError(message);
    std::fputs("\n", stderr);
    std::fputs(kUsageText, stderr);
    return kUsage;
}

// Writes the bytes to standard output; false when that fails.
bool writeOut(const QByteArray& bytes) {
    return std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout) ==
           static_cast<std::size_t>(bytes.size());
}

void appendUtf8(QByteArray& out, const QByteArray& cp1255) {
    velmora::data::appendCp1255AsUtf8(out, cp1255);
}

int damagedTail(const QString& path, qsizetype lines, qsizetype records, const char* what) {
    printError(QStringLiteral("%1: the last record is damaged: it has %2 of 38 lines after record %3; "
                              "the %3 complete records were %4")
                   .arg(path)
                   .arg(lines)
                   .arg(records)
                   .arg(QLatin1StringView(what)));
    return kDamaged;
}

int runSearch(velmora::history::SearchKey key, const QString& text, const QString& path) {
    const auto found = velmora::history::searchJournal(path, key, velmora::data::toCp1255(text));
    if (!found) {
        printError(QStringLiteral("%1: %2").arg(path, found.error()));
        return kFailed;
    }
    QByteArray out;
    for (const velmora::history::FoundOrder& order : found->orders) {
        out += " \t";
        appendUtf8(out, order.number);
        out += '\t';
        appendUtf8(out, order.date);
        out += '\t';
        appendUtf8(out, order.printShop);
        out += '\t';
        appendUtf8(out, order.project);
        out += '\t';
        appendUtf8(out, order.account);
        out += '\t';
        out += velmora::data::numberText(static_cast<double>(order.record));
        out += '\n';
        if (out.size() > (1 << 20)) {
            if (!writeOut(out))
                return kFailed;
            out.clear();
        }
    }
    if (!writeOut(out) || std::fflush(stdout) != 0) {
        printError(QStringLiteral("cannot write the output"));
        return kFailed;
    }
    if (found->damagedLines > 0)
        return damagedTail(path, found->damagedLines, found->recordsSeen, "searched");
    return kOk;
}

int runShow(const QString& number, const QString& path) {
    const qlonglong record = number.toLongLong(); // checked by the caller
    const velmora::data::Journal journal(path);
    const auto shape = journal.shape();
    if (!shape) {
        printError(QStringLiteral("%1: %2").arg(path, shape.error()));
        return kFailed;
    }
    if (record > shape->records) {
        if (shape->damaged() && record == shape->records + 1)
            return damagedTail(path, shape->damagedLines, shape->records, "kept");
        printError(QStringLiteral("%1: there is no record %2; the journal holds %3 records")
                       .arg(path)
                       .arg(record)
                       .arg(shape->records));
        return kFailed;
    }
    const auto read = journal.read(record);
    if (!read) {
        printError(QStringLiteral("%1: %2").arg(path, read.error()));
        return kFailed;
    }
    QByteArray out;
    for (int slot = 1; slot <= velmora::data::JournalRecord::kSlots; ++slot) {
        out += QByteArray::number(slot) + '\t';
        appendUtf8(out, read->slot(slot));
        out += '\n';
    }
    if (!writeOut(out) || std::fflush(stdout) != 0) {
        printError(QStringLiteral("cannot write the output"));
        return kFailed;
    }
    return kOk;
}

// The record numbers, ascending, one line each; a run of consecutive numbers as one line
// FIRST-LAST (the orders submitted before the archive existed are one run).
QByteArray recordRuns(const QList<qsizetype>& records) {
    QByteArray out;
    for (qsizetype i = 0; i < records.size();) {
        qsizetype last = i;
        while (last + 1 < records.size() && records.at(last + 1) == records.at(last) + 1)
            ++last;
        out += QByteArray::number(records.at(i));
        if (last > i)
            out += '-' + QByteArray::number(records.at(last));
        out += '\n';
        i = last + 1;
    }
    return out;
}

int runArchiveCheck(const QString& path) {
    const QString folder = QFileInfo(path).absoluteDir().filePath(velmora::data::files::kArchiveFolder);
    const auto check = velmora::order::checkArchive(path, folder);
    if (!check) {
        printError(QStringLiteral("%1: %2").arg(path, check.error()));
        return kFailed;
    }
    QByteArray out =
        "records without an archived document: " + QByteArray::number(check->recordsWithoutDocument.size()) +
        '\n';
    out += recordRuns(check->recordsWithoutDocument);
    out +=
        "archived documents without a record: " + QByteArray::number(check->documentsWithoutRecord.size()) +
        '\n';
    for (const QString& name : check->documentsWithoutRecord)
        out += QString(velmora::data::files::kArchiveFolder + u'/' + name).toUtf8() + '\n';
    if (!writeOut(out) || std::fflush(stdout) != 0) {
        printError(QStringLiteral("cannot write the output"));
        return kFailed;
    }
    if (!check->recordsWithoutDocument.isEmpty() || !check->documentsWithoutRecord.isEmpty())
        return kFailed;
    if (check->damagedLines > 0)
        return damagedTail(path, check->damagedLines, check->records, "checked");
    return kOk;
}

} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    QCommandLineParser parser;
    const QCommandLineOption formatOption(QStringLiteral("format"), QString(), QStringLiteral("csv|json"),
                                          QStringLiteral("csv"));
    const QCommandLineOption shopOption(QStringLiteral("shop"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption projectOption(QStringLiteral("project"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption accountOption(QStringLiteral("account"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOption(formatOption);
    parser.addOption(shopOption);
    parser.addOption(projectOption);
    parser.addOption(accountOption);
    parser.addOption(helpOption);
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption)) {
        std::fputs(kUsageText, stdout);
        return kOk;
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return usageError(QStringLiteral("missing command"));
    const QString command = positional.first();
    const int journalAt = command == QLatin1StringView("show") ? 2 : 1;
    if (command != QLatin1StringView("export") && command != QLatin1StringView("search") &&
        command != QLatin1StringView("show") && command != QLatin1StringView("archive-check"))
        return usageError(QStringLiteral("unknown command \"%1\"").arg(command));
    if (command == QLatin1StringView("show") && positional.size() < 2)
        return usageError(QStringLiteral("missing record number"));
    if (positional.size() <= journalAt)
        return usageError(QStringLiteral("missing JOURNAL file"));
    if (positional.size() > journalAt + 1)
        return usageError(QStringLiteral("unexpected argument \"%1\"").arg(positional.at(journalAt + 1)));
    const bool searching = command == QLatin1StringView("search");
    for (const QCommandLineOption* option : {&shopOption, &projectOption, &accountOption}) {
        if (!searching && parser.isSet(*option))
            return usageError(
                QStringLiteral("--%1 belongs to the search command").arg(option->names().first()));
    }
    if (command != QLatin1StringView("export") && parser.isSet(formatOption))
        return usageError(QStringLiteral("--format belongs to the export command"));

    velmora::app::ExportFormat format = velmora::app::ExportFormat::Csv;
    const QString formatName = parser.value(formatOption);
    if (formatName == QLatin1StringView("csv") || command != QLatin1StringView("export"))
        format = velmora::app::ExportFormat::Csv;
    else if (formatName == QLatin1StringView("json"))
        format = velmora::app::ExportFormat::Json;
    else
        return usageError(QStringLiteral("unknown format \"%1\" (csv or json)").arg(formatName));

    if (searching) {
        const int keys = int(parser.isSet(shopOption)) + int(parser.isSet(projectOption)) +
                         int(parser.isSet(accountOption));
        if (keys != 1)
            return usageError(QStringLiteral("search takes exactly one of --shop, --project and --account"));
        // The print-shop window refuses a selection that names no shop in the same way.
        if (parser.isSet(shopOption) &&
            !velmora::history::namesPrintShop(velmora::data::toCp1255(parser.value(shopOption))))
            return usageError(QStringLiteral("--shop needs a print-shop entry with \"kod\" and its code"));
    }
    if (command == QLatin1StringView("show")) {
        bool whole = false;
        const qlonglong record = positional.at(1).toLongLong(&whole);
        if (!whole || record < 1)
            return usageError(
                QStringLiteral("record number \"%1\" is not a whole number from 1 up").arg(positional.at(1)));
    }

    const QString path = positional.at(journalAt);
    const QFileInfo info(path);
    if (!info.exists()) {
        printError(QStringLiteral("%1: no such file").arg(path));
        return kFailed;
    }
    if (info.isDir()) {
        printError(QStringLiteral("%1: is a directory").arg(path));
        return kFailed;
    }

    if (searching) {
        if (parser.isSet(shopOption))
            return runSearch(velmora::history::SearchKey::PrintShop, parser.value(shopOption), path);
        if (parser.isSet(projectOption))
            return runSearch(velmora::history::SearchKey::Project, parser.value(projectOption), path);
        return runSearch(velmora::history::SearchKey::Account, parser.value(accountOption), path);
    }
    if (command == QLatin1StringView("show"))
        return runShow(positional.at(1), path);
    if (command == QLatin1StringView("archive-check"))
        return runArchiveCheck(path);

    const auto scan = velmora::app::exportJournal(velmora::data::Journal(path), format, stdout);
    if (!scan) {
        printError(QStringLiteral("%1: %2").arg(path, scan.error()));
        return kFailed;
    }
    if (scan->damaged()) {
        printError(QStringLiteral("%1: the last record is damaged: it has %2 of 38 lines after record %3; "
                                  "the %3 complete records were written")
                       .arg(path)
                       .arg(scan->damagedLines)
                       .arg(scan->records));
        return kDamaged;
    }
    return kOk;
}
