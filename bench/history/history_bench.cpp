// Order-history benchmark: on one generated journal, in one run and next to wc -l on the same
// file, times
//   - a search that finds one order (the whole search of the journal file);
//   - a search that finds every order, with its rows put into the previous-orders table's model;
//   - sorting those rows by each of the table's four keys;
//   - finding and decoding the last record, as a re-show of it does;
//   - opening the table with every row and scrolling it to the end;
// and prints best and median of several runs and the ratios to wc -l. With --memory-orders M it
// also writes a journal of M orders and reports the peak resident memory of a process that
// searches it for one order.
//
//   history_bench [--orders N] [--runs R] [--memory-orders M]

#include "BenchSupport.h"
#include "SampleJournal.h"

#include "data/DataDir.h"
#include "data/Journal.h"
#include "history/JournalSearch.h"
#include "ui/HistorySearch.h"
#include "ui/WindowRegistry.h"
#include "ui/components/FlexGrid.h"
#include "ui/windows/tavla.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using velmora::bench::measure;
using velmora::bench::peakResidentMb;
using velmora::bench::runToNull;
using velmora::bench::Timing;
using velmora::history::SearchKey;

namespace {

const QString kUniqueProject = QStringLiteral(u"פרויקט אחד בלבד");

QByteArray uniqueProjectBytes() {
    return velmora::data::toCp1255(kUniqueProject);
}

// Every account is contained in this selection.
QByteArray everyAccount() {
    return velmora::data::toCp1255(velmora::bench::SampleOrders::accounts().join(QStringLiteral(" | ")));
}

// The child process of --memory-orders: one search for the one order, then the peak memory.
int searchForMemory(const QString& journal) {
    const double before = peakResidentMb();
    const auto found = velmora::history::searchJournal(journal, SearchKey::Project, uniqueProjectBytes());
    if (!found || found->orders.size() != 1) {
        std::fprintf(stderr, "memory search failed\n");
        return 1;
    }
    std::printf("%.1f %.1f %lld\n", before, peakResidentMb(), static_cast<long long>(found->recordsSeen));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    if (args.size() == 3 && args[1] == QLatin1StringView("--search-for-memory")) {
        QCoreApplication app(argc, argv);
        return searchForMemory(args[2]);
    }
    QApplication app(argc, argv);
    int orders = 100000;
    int runs = 5;
    int memoryOrders = 0;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1StringView("--orders"))
            orders = args[i + 1].toInt();
        else if (args[i] == QLatin1StringView("--runs"))
            runs = args[i + 1].toInt();
        else if (args[i] == QLatin1StringView("--memory-orders"))
            memoryOrders = args[i + 1].toInt();
    }
    if (orders < 2 || runs < 1) {
        std::fputs("usage: history_bench [--orders N] [--runs R] [--memory-orders M]\n", stderr);
        return 2;
    }

    QTemporaryDir tmp;
    const QString journalPath = tmp.filePath(QStringLiteral("vlt.dat"));
    const auto oneUnique = [orders](int n, velmora::data::JournalRecord& r) {
        if (n == orders / 2)
            r.slot(4) = uniqueProjectBytes();
    };
    const qint64 size = velmora::bench::writeSampleJournal(journalPath, orders, oneUnique);
    if (size < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(journalPath));
        return 1;
    }
    std::printf("journal: %d orders, %d lines, %.1f MB\n", orders, orders * 38,
                static_cast<double>(size) / 1e6);

    velmora::ui::WindowContext context;
    context.dataDir = velmora::data::DataDir(tmp.path());
    velmora::ui::WindowRegistry registry(context);
    const auto freshTable = [&registry] {
        registry.close<velmora::ui::tavla>();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        registry.ensure<velmora::ui::tavla>();
    };

    const Timing wc = measure(runs, [&] {
        return runToNull(QStringLiteral("wc"), {QStringLiteral("-l"), journalPath});
    });
    const Timing searchOne = measure(runs, [&] {
        const auto found =
            velmora::history::searchJournal(journalPath, SearchKey::Project, uniqueProjectBytes());
        return found && found->orders.size() == 1;
    });
    const Timing searchAll = measure(
        runs,
        [&] {
            velmora::ui::findPreviousOrders(registry, nullptr, SearchKey::Account,
                                            velmora::data::fromCp1255(everyAccount()));
            return registry.ensure<velmora::ui::tavla>().MSFlexGrid1->Rows() == orders + 1;
        },
        freshTable);

    // The table now holds every order; each sort starts from journal order.
    velmora::ui::tavla& table = registry.ensure<velmora::ui::tavla>();
    const auto sortTiming = [&](void (velmora::ui::tavla::*button)(), int column) {
        return measure(
            runs,
            [&] {
                (table.*button)();
                return table.MSFlexGrid1->Col() == column;
            },
            [&] {
                table.MSFlexGrid1->setCol(6);
                table.MSFlexGrid1->setSort(velmora::ui::FlexGrid::SortAscending);
            });
    };
    const Timing sortNumber = sortTiming(&velmora::ui::tavla::Command3_Click, 1);
    const Timing sortDate = sortTiming(&velmora::ui::tavla::Command4_Click, 2);
    const Timing sortProject = sortTiming(&velmora::ui::tavla::Command1_Click, 4);
    const Timing sortAccount = sortTiming(&velmora::ui::tavla::Command2_Click, 5);

    const Timing openAndScroll = measure(runs, [&] {
        table.show();
        table.MSFlexGrid1->scrollToBottom();
        QCoreApplication::processEvents();
        table.MSFlexGrid1->scrollToTop();
        QCoreApplication::processEvents();
        table.hide();
        return true;
    });

    const velmora::data::Journal journal(journalPath);
    const Timing readLast = measure(runs, [&] {
        const auto record = journal.read(orders);
        return record.ok() && record->slot(1) == " " + QByteArray::number(1000 + orders);
    });

    std::printf("\n%-52s %10s %10s %10s\n", "measurement", "best ms", "median ms", "best/wc");
    const auto row = [&](const char* name, const Timing& t) {
        std::printf("%-52s %10.1f %10.1f %10.2f\n", name, t.best, t.median, t.best / wc.best);
    };
    row("wc -l", wc);
    row("search finding one order", searchOne);
    row("search finding every order, rows in the table", searchAll);
    row("sort by order number", sortNumber);
    row("sort by date", sortDate);
    row("sort by project", sortProject);
    row("sort by account", sortAccount);
    row("table with every row shown and scrolled", openAndScroll);
    row("last record found and decoded (re-show)", readLast);

    if (memoryOrders > 0) {
        const QString bigPath = tmp.filePath(QStringLiteral("big-vlt.dat"));
        const auto unique = [memoryOrders](int n, velmora::data::JournalRecord& r) {
            if (n == memoryOrders / 2)
                r.slot(4) = uniqueProjectBytes();
        };
        const qint64 bigSize = velmora::bench::writeSampleJournal(bigPath, memoryOrders, unique);
        if (bigSize < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(bigPath));
            return 1;
        }
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--search-for-memory"), bigPath});
        if (!child.waitForFinished(-1) || child.exitCode() != 0) {
            std::fprintf(stderr, "memory search failed: %s\n", child.readAllStandardError().constData());
            return 1;
        }
        const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
        std::printf(
            "\nsearch of a journal of %d orders (%.0f MB) for one order: peak resident memory %.1f MB "
            "(%.1f MB before the search)\n",
            memoryOrders, static_cast<double>(bigSize) / 1e6, figures.value(1).toDouble(),
            figures.value(0).toDouble());
        QFile::remove(bigPath);
    }
    return 0;
}
