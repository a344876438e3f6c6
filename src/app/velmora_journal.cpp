// velmora-journal: reads the order journal vlt.dat and writes its orders as UTF-8 CSV or JSON.
//
//   velmora-journal export [--format csv|json] JOURNAL
//
// Exit status: 0 all records written; 1 the journal cannot be read or the output cannot be
// written; 2 bad arguments; 3 the journal's last record is damaged (the complete records before
// it are written all the same).

#include "app/JournalExport.h"

#include "data/Journal.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

namespace {

enum ExitCode { kOk = 0, kFailed = 1, kUsage = 2, kDamaged = 3 };

const char* const kUsageText =
    "usage: velmora-journal export [--format csv|json] JOURNAL\n"
    "\n"
    "Writes every order of the order journal (vlt.dat) to standard output as UTF-8:\n"
    "  --format csv    a header row, then one row per order (default)\n"
    "  --format json   an array of {\"record\": n, \"slots\": [38 strings]}\n"
    "\n"
    "Exit status: 0 done, 1 journal unreadable or output failed, 2 bad arguments,\n"
    "3 the last record of the journal is damaged (the complete records are written).\n";

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

} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    QCommandLineParser parser;
    const QCommandLineOption formatOption(QStringLiteral("format"), QString(), QStringLiteral("csv|json"),
                                          QStringLiteral("csv"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOption(formatOption);
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
    if (positional.first() != QLatin1StringView("export"))
        return usageError(QStringLiteral("unknown command \"%1\"").arg(positional.first()));
    if (positional.size() < 2)
        return usageError(QStringLiteral("missing JOURNAL file"));
    if (positional.size() > 2)
        return usageError(QStringLiteral("unexpected argument \"%1\"").arg(positional.at(2)));

    velmora::app::ExportFormat format;
    const QString formatName = parser.value(formatOption);
    if (formatName == QLatin1StringView("csv"))
        format = velmora::app::ExportFormat::Csv;
    else if (formatName == QLatin1StringView("json"))
        format = velmora::app::ExportFormat::Json;
    else
        return usageError(QStringLiteral("unknown format \"%1\" (csv or json)").arg(formatName));

    const QString path = positional.at(1);
    const QFileInfo info(path);
    if (!info.exists()) {
        printError(QStringLiteral("%1: no such file").arg(path));
        return kFailed;
    }
    if (info.isDir()) {
        printError(QStringLiteral("%1: is a directory").arg(path));
        return kFailed;
    }

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
