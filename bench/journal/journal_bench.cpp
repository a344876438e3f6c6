// Journal benchmark: writes a journal of realistic orders, then times, on that same file,
//   - wc -l, as the floor of reading the file once;
//   - Journal::read() of the last order (all the lines before it passed over, its 38 decoded);
//   - the in-process record scan (the first 5 slots decoded as the searches do, and all 38);
//   - velmora-journal export --format csv / json, output to /dev/null;
// and prints the best and median of several runs and their ratios to wc -l.
//
// --memory-orders N then writes a second journal of N orders (a million orders is about 1 GB),
// scans it with 5 slots decoded in this process and prints the process's peak resident memory
// before and after the scan: the readers keep one block of the file in memory, not the file.
//
//   journal_bench --tool PATH/velmora-journal [--orders N] [--runs R] [--journal FILE]
//                 [--memory-orders N]

#include "BenchSupport.h"
#include "SampleJournal.h"

#include "data/Journal.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using velmora::bench::measure;
using velmora::bench::peakResidentMb;
using velmora::bench::runToNull;
using velmora::bench::Timing;
using velmora::data::Journal;
using velmora::data::JournalRecord;

namespace {

qint64 fileSize(const QString& path) {
    return QFile(path).size();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString tool;
    QString journalPath;
    int orders = 100000;
    int runs = 5;
    int memoryOrders = 0;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1StringView("--tool"))
            tool = args[i + 1];
        else if (args[i] == QLatin1StringView("--orders"))
            orders = args[i + 1].toInt();
        else if (args[i] == QLatin1StringView("--runs"))
            runs = args[i + 1].toInt();
        else if (args[i] == QLatin1StringView("--journal"))
            journalPath = args[i + 1];
        else if (args[i] == QLatin1StringView("--memory-orders"))
            memoryOrders = args[i + 1].toInt();
    }
    if (tool.isEmpty() || orders < 1 || runs < 1 || memoryOrders < 0) {
        std::fputs(
            "usage: journal_bench --tool PATH/velmora-journal [--orders N] [--runs R] [--journal FILE]\n"
            "                     [--memory-orders N]\n",
            stderr);
        return 2;
    }

    QTemporaryDir tmp;
    if (journalPath.isEmpty())
        journalPath = tmp.path() + QStringLiteral("/vlt.dat");
    const auto generate = [](const QString& path, int count) {
        QElapsedTimer timer;
        timer.start();
        if (velmora::bench::writeSampleJournal(path, count) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            std::exit(1);
        }
        std::printf("journal: %d orders, %lld lines, %.1f MB, generated in %.0f ms\n", count,
                    static_cast<long long>(count) * JournalRecord::kSlots,
                    static_cast<double>(fileSize(path)) / 1e6, static_cast<double>(timer.elapsed()));
    };
    generate(journalPath, orders);

    const auto wcOf = [](const QString& path) {
        return [path] {
            return runToNull(QStringLiteral("wc"), {QStringLiteral("-l"), path});
        };
    };
    const auto scanOf = [](const QString& path, int count, int slotsDecoded) {
        return [path, count, slotsDecoded] {
            qsizetype bytes = 0;
            const auto result = Journal(path).scan(
                [&](qsizetype, const JournalRecord& r) {
                    bytes += r.texts[0].size();
                    return true;
                },
                slotsDecoded);
            return result.ok() && result->records == count && bytes > 0;
        };
    };
    const QByteArray lastOrderNumber = " " + QByteArray::number(1000 + orders);

    const Timing wc = measure(runs, wcOf(journalPath));
    const Timing readLast = measure(runs, [&] {
        const auto record = Journal(journalPath).read(orders);
        return record.ok() && record->slot(1) == lastOrderNumber;
    });
    const Timing scanFive = measure(runs, scanOf(journalPath, orders, 5));
    const Timing scanAll = measure(runs, scanOf(journalPath, orders, JournalRecord::kSlots));
    const Timing csv = measure(runs, [&] {
        return runToNull(tool, {QStringLiteral("export"), journalPath});
    });
    const Timing json = measure(runs, [&] {
        return runToNull(tool, {QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("json"),
                                journalPath});
    });

    std::printf("\n%-40s %9s %9s %8s %8s\n", "measurement", "best ms", "median ms", "best/wc", "med/wc");
    const auto row = [&](const QByteArray& name, const Timing& t) {
        std::printf("%-40s %9.1f %9.1f %8.2f %8.2f\n", name.constData(), t.best, t.median, t.best / wc.best,
                    t.median / wc.median);
    };
    row("wc -l", wc);
    row("read(" + QByteArray::number(orders) + "), " + QByteArray::number((orders - 1) * 38LL) +
            " lines skipped",
        readLast);
    row("scan, 5 slots decoded (searches)", scanFive);
    row("scan, 38 slots decoded", scanAll);
    row("velmora-journal export csv", csv);
    row("velmora-journal export json", json);

    if (memoryOrders > 0) {
        QTemporaryDir bigDir;
        const QString bigPath = bigDir.filePath(QStringLiteral("vlt.dat"));
        std::printf("\nmemory: ");
        generate(bigPath, memoryOrders);
        const double before = peakResidentMb();
        const Timing bigWc = measure(1, wcOf(bigPath));
        const Timing bigScan = measure(1, scanOf(bigPath, memoryOrders, 5));
        const double after = peakResidentMb();
        std::printf("%-40s %9.1f ms (wc -l %.1f ms, ratio %.2f)\n", "scan, 5 slots decoded", bigScan.best,
                    bigWc.best, bigScan.best / bigWc.best);
        std::printf("%-40s %9.1f MB\n", "peak resident memory before the scan", before);
        std::printf("%-40s %9.1f MB\n", "peak resident memory after the scan", after);
    }
    return 0;
}
