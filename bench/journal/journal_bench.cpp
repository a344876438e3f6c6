// Journal benchmark: writes a journal of realistic orders, then times, on that same file,
//   - velmora-journal export --format csv / json, output to /dev/null;
//   - the in-process record scan (all 38 slots decoded, and the first 5 as the searches do);
//   - wc -l, as the floor of reading the file once;
// and prints the best and median of several runs and the ratios to wc -l.
//
//   journal_bench --tool PATH/velmora-journal [--orders N] [--runs R] [--journal FILE]

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
#include <functional>
#include <random>
#include <vector>

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

QByteArray journalOf(int orders) {
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
    }
    return text;
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

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString tool;
    QString journalPath;
    int orders = 100000;
    int runs = 5;
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
    }
    if (tool.isEmpty() || orders < 1 || runs < 1) {
        std::fputs(
            "usage: journal_bench --tool PATH/velmora-journal [--orders N] [--runs R] [--journal FILE]\n",
            stderr);
        return 2;
    }

    QTemporaryDir tmp;
    if (journalPath.isEmpty())
        journalPath = tmp.path() + QStringLiteral("/vlt.dat");
    {
        QElapsedTimer timer;
        timer.start();
        const QByteArray text = journalOf(orders);
        QFile file(journalPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(journalPath));
            return 1;
        }
        std::printf("journal: %d orders, %d lines, %.1f MB, generated in %.0f ms\n", orders, orders * 38,
                    static_cast<double>(text.size()) / 1e6, static_cast<double>(timer.elapsed()));
    }

    const Journal journal(journalPath);
    const auto scan = [&](int slotsDecoded) {
        return [&journal, slotsDecoded, orders] {
            qsizetype bytes = 0;
            const auto result = journal.scan(
                [&](qsizetype, const JournalRecord& r) {
                    bytes += r.texts[0].size();
                    return true;
                },
                slotsDecoded);
            return result.ok() && result->records == orders && bytes > 0;
        };
    };

    const Timing wc = measure(runs, [&] {
        return runToNull(QStringLiteral("wc"), {QStringLiteral("-l"), journalPath});
    });
    const Timing csv = measure(runs, [&] {
        return runToNull(tool, {QStringLiteral("export"), journalPath});
    });
    const Timing json = measure(runs, [&] {
        return runToNull(tool, {QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("json"),
                                journalPath});
    });
    const Timing scanAll = measure(runs, scan(JournalRecord::kSlots));
    const Timing scanFive = measure(runs, scan(5));

    std::printf("\n%-34s %10s %10s %10s\n", "measurement", "best ms", "median ms", "best/wc");
    const auto row = [&](const char* name, const Timing& t) {
        std::printf("%-34s %10.1f %10.1f %10.1f\n", name, t.best, t.median, t.best / wc.best);
    };
    row("wc -l", wc);
    row("velmora-journal export csv", csv);
    row("velmora-journal export json", json);
    row("scan, 38 slots decoded", scanAll);
    row("scan, 5 slots decoded (searches)", scanFive);
    return 0;
}
