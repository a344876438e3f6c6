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

#include "data/Cp1255.h"
#include "data/Journal.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include <sys/resource.h>

using velmora::data::Journal;
using velmora::data::JournalRecord;
using velmora::data::toCp1255;

namespace {

const QStringList kAccounts{
    QStringLiteral(u"עיריית תל אביב יפו"), QStringLiteral(u"משרד הבינוי והשיכון"),
    QStringLiteral(u"נתיבי ישראל"),        QStringLiteral(u"חברת החשמל לישראל"),
    QStringLiteral(u"רשות מקרקעי ישראל"),  QStringLiteral(u"מועצה אזורית גליל עליון")};
const QStringList kProjects{
    QStringLiteral(u"מגדל המשרדים ברמת גן"),    QStringLiteral(u"שכונת נווה אביבים שלב ב"),
    QStringLiteral(u"בית הספר היסודי בהרצליה"), QStringLiteral(u"גשר הרכבת בחדרה"),
    QStringLiteral(u"מרכז מסחרי באשדוד"),       QStringLiteral(u"בניין מגורים ברחוב ויצמן")};
const QStringList kShops{
    QStringLiteral(u"דפוס הצפון חיפה kod012"), QStringLiteral(u"העתקות המרכז תל אביב kod007"),
    QStringLiteral(u"פלוטר פלוס ירושלים kod123"), QStringLiteral(u"מכון שרטוט באר שבע kod045")};
const QStringList kRecipients{QStringLiteral(u"משה לוי - רחוב הרצל 12 תל אביב"),
                              QStringLiteral(u"אדריכלית רונית שרון - דרך מנחם בגין 7 תל אביב"),
                              QStringLiteral(u"מהנדס יוסי כהן - רחוב יפו 45 ירושלים"),
                              QStringLiteral(u"פיקוח עירוני - שדרות בן גוריון 3 חיפה"),
                              QStringLiteral(u"קבלן ראשי - רחוב העצמאות 20 אשדוד")};
const QStringList kPeople{QStringLiteral(u"ישראל ישראלי"), QStringLiteral(u"דנה כהן"),
                          QStringLiteral(u"אבי לוי"), QStringLiteral(u"רות מזרחי")};
const QStringList kCopyTypes{QStringLiteral(u"עתקות ציבוניות"), QStringLiteral(u"עתקות שחור-לבן")};

// Writes a journal of `orders` orders, a thousand at a time (the million-order journal is never
// held in memory). The same orders each time: the random numbers start from a fixed seed.
bool writeJournal(const QString& path, int orders) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    std::mt19937 random(2004);
    const auto pick = [&](const QStringList& list) {
        return toCp1255(list.at(static_cast<qsizetype>(random() % static_cast<unsigned>(list.size()))));
    };
    const auto number = [&](unsigned below) {
        return QByteArray::number(1 + random() % below);
    };
    QByteArray text;
    for (int n = 1; n <= orders; ++n) {
        JournalRecord r;
        r.slot(1) = " " + QByteArray::number(1000 + n);
        char date[16];
        std::snprintf(date, sizeof date, "%02u-%02u-%02u", 1 + static_cast<unsigned>(random() % 28),
                      1 + static_cast<unsigned>(random() % 12), static_cast<unsigned>(random() % 25));
        r.slot(2) = date;
        r.slot(3) = pick(kAccounts);
        r.slot(4) = pick(kProjects);
        r.slot(5) = pick(kShops);
        const unsigned recipients = 1 + random() % 5;
        for (unsigned i = 0; i < recipients; ++i) {
            r.slot(static_cast<int>(6 + i)) = pick(kRecipients);
            r.slot(static_cast<int>(23 + i)) = number(3);
            r.slot(static_cast<int>(28 + i)) = number(4);
        }
        r.slot(11) = pick(kPeople);
        r.slot(12) = "03-" + QByteArray::number(5000000 + random() % 999999);
        const unsigned plots = 1 + random() % 5;
        for (unsigned i = 0; i < plots; ++i) {
            r.slot(static_cast<int>(13 + 2 * i)) = "A" + QByteArray::number(100 + random() % 900) + "-" +
                                                   toCp1255(QStringLiteral(u"קומה")) + QByteArray::number(i) +
                                                   ".plt";
            r.slot(static_cast<int>(14 + 2 * i)) = number(4);
            r.slot(static_cast<int>(33 + i)) = pick(kCopyTypes);
        }
        if (plots < 5)
            r.slot(31) = " ";
        r.slot(38) = pick(kPeople);
        text += velmora::data::encodeJournalRecord(r);
        if (n % 1000 == 0 || n == orders) {
            if (file.write(text) != text.size())
                return false;
            text.clear();
        }
    }
    return file.flush();
}

struct Timing {
    double best = 0;
    double median = 0;
};

Timing measure(int runs, const std::function<bool()>& once) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!once()) {
            std::fprintf(stderr, "run failed\n");
            std::exit(1);
        }
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

bool runToNull(const QString& program, const QStringList& arguments, int expectedExit = 0) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == expectedExit;
}

// The process's peak resident memory so far, in MB: VmHWM of /proc/self/status, or ru_maxrss.
double peakResidentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

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
        if (!writeJournal(path, count)) {
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
