// Real submissions ended with SIGKILL at every step of every write they make, and at random
// moments from outside, each followed by a start of the program on the same data directory and
// a further submission. VELMORA_KILLS sets the number of kills (60 by default, for CI);
// VELMORA_KILL_REPORT names a file for the table of kills per write step.
#include "CrashCheck.h"
#include "TestService.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <iostream>
#include <numeric>
#include <set>

using velmora::test::fileHashes;
using velmora::test::journalRecords;
using velmora::test::settledProblems;

namespace {

constexpr int kProcessTimeoutMs = 60000;
const QRegularExpression kTemporaryFile(QStringLiteral(R"(^(.+)\.[A-Za-z0-9]{6}$)"));

struct DriverRun {
    bool killed = false; // ended by SIGKILL
    int exitCode = -1;
    QByteArray output;                             // standard output
    QList<QByteArray> steps;                       // «P» lines of the log
    QMap<QString, std::set<QByteArray>> announced; // file -> contents it was meant to get
    QString failure;                               // the process could not be run or did not end
};

// Step labels are the file and the step; the archive copy of any record is one label.
QString stepLabel(const QByteArray& line) {
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() < 5)
        return QString::fromUtf8(line);
    QString file = QString::fromUtf8(parts[4]);
    if (file.startsWith(QStringLiteral("archive/")))
        file = QStringLiteral("archive/NNNNNN.html");
    return QStringLiteral("%1 %2 (%3)").arg(file, QString::fromUtf8(parts[2]), QString::fromUtf8(parts[3]));
}

class KillHarness : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_service.isRunning()) << m_service.errorString().toStdString();
        ASSERT_TRUE(m_tmp.isValid());
        m_data = m_tmp.filePath(QStringLiteral("data"));
    }

    // Runs the driver; with outsideDelayMs >= 0 it is killed from here after that many ms.
    DriverRun run(QStringList extra, int outsideDelayMs = -1) {
        DriverRun result;
        const QString log = m_tmp.filePath(QStringLiteral("steps.log"));
        QFile::remove(log);
        QProcess process;
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start(QStringLiteral(VELMORA_CRASH_DRIVER),
                      QStringList{"--data", m_data, "--server", m_service.hostPort(), "--log", log} + extra);
        if (!process.waitForStarted(kProcessTimeoutMs)) {
            result.failure = QStringLiteral("driver did not start: ") + process.errorString();
            return result;
        }
        if (outsideDelayMs >= 0) {
            process.waitForFinished(outsideDelayMs);
            if (process.state() != QProcess::NotRunning)
                process.kill();
        }
        if (process.state() != QProcess::NotRunning && !process.waitForFinished(kProcessTimeoutMs)) {
            process.kill();
            process.waitForFinished();
            result.failure = QStringLiteral("driver did not end within %1 ms").arg(kProcessTimeoutMs);
        }
        result.killed = process.exitStatus() == QProcess::CrashExit;
        result.exitCode = process.exitCode();
        result.output = process.readAllStandardOutput() + process.readAllStandardError();
        QFile file(log);
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : file.readAll().split('\n')) {
                if (line.startsWith("P "))
                    result.steps.append(line);
                else if (line.startsWith("N ")) {
                    const QList<QByteArray> parts = line.split(' ');
                    if (parts.size() == 3)
                        result.announced[QString::fromUtf8(parts[1])].insert(parts[2]);
                }
            }
        }
        return result;
    }

    // Files that are neither as they were before the run nor as one of its writes meant them to
    // be. An append cut short in the middle (the journal, a list) is the one allowed exception
    // while a pending order is there to settle it; those are counted in tornAppends.
    QStringList mixedFiles(const QMap<QString, QByteArray>& before, const DriverRun& run, int& tornAppends) {
        QStringList problems;
        const QMap<QString, QByteArray> after = fileHashes(m_data);
        const bool pending = after.contains(QStringLiteral("pending-order.dat"));
        const std::set<QString> appended{"vlt.dat", "hes.dat", "pro.dat", "lis.dat"};
        for (auto it = after.begin(); it != after.end(); ++it) {
            if (before.value(it.key()) == it.value() || run.announced.value(it.key()).count(it.value()))
                continue;
            if (pending && appended.count(it.key())) {
                ++tornAppends;
                continue;
            }
            // The temporary file of a rewrite the kill caught between naming it and renaming it
            // over the file ("vlc.dat.Ab3xYz"); the next start clears it away, which the checks
            // after the start see.
            const QRegularExpressionMatch temporary = kTemporaryFile.match(it.key());
            if (temporary.hasMatch() && run.announced.contains(temporary.captured(1))) {
                ++m_leftoverRewrites;
                continue;
            }
            problems << QStringLiteral("%1 is neither its old nor its new content").arg(it.key());
        }
        for (auto it = before.begin(); it != before.end(); ++it) {
            if (!after.contains(it.key()) && !run.announced.value(it.key()).count("-"))
                problems << QStringLiteral("%1 vanished").arg(it.key());
        }
        return problems;
    }

    // The start after a kill and the submission after it. Returns the problems found.
    QStringList startAndSubmitAgain(int order, bool pendingBefore) {
        QStringList problems;
        const QMap<QString, QByteArray> before = fileHashes(m_data);
        const DriverRun start = run({"--start-only"});
        if (!start.failure.isEmpty() || start.killed || start.exitCode != 0)
            return problems << QStringLiteral("start failed: %1 %2")
                                   .arg(start.failure, QString::fromUtf8(start.output));
        if (pendingBefore && !start.output.contains("MESSAGE "))
            problems << QStringLiteral("a submission cut short was settled without a word to the user");
        if (!pendingBefore && start.output.contains("MESSAGE "))
            problems
                << QStringLiteral("start spoke without a reason: %1").arg(QString::fromUtf8(start.output));
        int torn = 0;
        problems << mixedFiles(before, start, torn);
        if (torn)
            problems << QStringLiteral("the start left a torn append");
        problems << settledProblems(m_data);

        const qsizetype records = journalRecords(m_data);
        const DriverRun next = run({"--order", QString::number(order)});
        if (!next.failure.isEmpty() || next.killed || next.exitCode != 0 ||
            !next.output.contains("OUTCOME 0"))
            return problems << QStringLiteral("next submission failed: %1 %2")
                                   .arg(next.failure, QString::fromUtf8(next.output));
        if (journalRecords(m_data) != records + 1)
            problems << QStringLiteral("next submission did not add one record");
        problems << settledProblems(m_data);
        return problems;
    }

    velmora::test::TestService m_service;
    QTemporaryDir m_tmp;
    QString m_data;
    int m_leftoverRewrites = 0; // temporary files of rewrites found after a kill
};

TEST_F(KillHarness, submissionsSurviveSigkillAtEveryWriteStep) {
    const int kills =
        qEnvironmentVariableIsSet("VELMORA_KILLS") ? qEnvironmentVariableIntValue("VELMORA_KILLS") : 60;
    QRandomGenerator random(20261210);
    int order = 0;

    // One clean submission of each kind (which lists learn) gives the steps a submission makes.
    QList<int> stepsOfKind(4, 0);
    for (int kind = 0; kind < 4; ++kind) {
        const DriverRun clean = run({"--order", QString::number(order++)});
        ASSERT_TRUE(clean.failure.isEmpty() && !clean.killed && clean.exitCode == 0)
            << clean.failure.toStdString() << clean.output.toStdString();
        const QStringList problems = settledProblems(m_data);
        ASSERT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
        stepsOfKind[kind] = static_cast<int>(clean.steps.size());
        ASSERT_GT(stepsOfKind[kind], 20);
    }

    struct Tally {
        int kills = 0;
        int survived = 0;
    };
    QMap<QString, Tally> tally;
    QList<int> cursor(4, 0);
    int performed = 0, survivedTotal = 0, completedFirst = 0, tornAppends = 0, chained = 0,
        settledPending = 0;
    bool chainNext = false;
    int chainSteps = 12;
    QStringList allProblems;

    for (int attempt = 0; performed < kills && attempt < kills * 3; ++attempt) {
        const int kind = order % 4;
        const QMap<QString, QByteArray> before = fileHashes(m_data);
        DriverRun killed;
        QString label;
        const bool chainedRun = chainNext;
        if (chainedRun) {
            // A kill during the start that settles the previous kill (and the writes after it).
            killed = run(
                {"--order", QString::number(order), "--kill-at", QString::number(1 + chained % chainSteps)});
            ++chained;
        } else if (attempt % 10 == 9) {
            killed = run({"--order", QString::number(order)}, static_cast<int>(random.bounded(5, 120)));
            label = QStringLiteral("outside, ");
        } else {
            // Spread over the steps: a stride that shares no factor with their number visits each.
            const int steps = stepsOfKind[kind];
            int stride = 7;
            while (std::gcd(stride, steps) != 1)
                ++stride;
            const int at = 1 + (cursor[kind]++ * stride) % steps;
            killed = run({"--order", QString::number(order), "--kill-at", QString::number(at)});
        }
        ++order;
        chainNext = false;
        if (!killed.failure.isEmpty()) {
            allProblems << killed.failure;
            ADD_FAILURE() << killed.failure.toStdString();
            break;
        }
        if (!killed.killed) {
            // The submission ended before the kill: no kill, but a run all the same.
            ++completedFirst;
            const QStringList problems = settledProblems(m_data);
            EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
            continue;
        }
        ++performed;
        if (!killed.output.contains("RESUMED"))
            label += QStringLiteral("start: ");
        label += killed.steps.isEmpty() ? QStringLiteral("before any write") : stepLabel(killed.steps.last());
        Tally& t = tally[label];
        ++t.kills;

        int torn = 0;
        QStringList problems = mixedFiles(before, killed, torn);
        tornAppends += torn;
        const bool pending = QFile::exists(m_data + QStringLiteral("/pending-order.dat"));
        settledPending += pending ? 1 : 0;
        // Every fifth kill that leaves an order to settle is followed by another kill at once, in
        // the first steps of the start that settles it; so is every kill that cut the journal
        // append short, whose start cuts the journal back first.
        const bool tornJournal = label.contains(QStringLiteral("vlt.dat partial"));
        if (problems.isEmpty() && pending && (performed % 5 == 0 || tornJournal)) {
            chainNext = true;
            chainSteps = tornJournal ? 4 : 12;
            ++t.survived;
            ++survivedTotal;
            continue;
        }
        problems << startAndSubmitAgain(order++, pending);
        if (problems.isEmpty()) {
            ++t.survived;
            ++survivedTotal;
        } else {
            allProblems << QStringLiteral("kill at %1: %2").arg(label, problems.join(QStringLiteral("; ")));
            if (allProblems.size() <= 20)
                ADD_FAILURE() << allProblems.last().toStdString();
        }
    }
    // A last chained kill is settled too.
    if (chainNext) {
        const QStringList problems = startAndSubmitAgain(order++, true);
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
    }

    QString report;
    report += QStringLiteral("kills performed: %1, survived: %2\n").arg(performed).arg(survivedTotal);
    report += QStringLiteral("submissions that ended before their kill: %1\n").arg(completedFirst);
    report +=
        QStringLiteral("kills that left an order to settle at the next start: %1\n").arg(settledPending);
    report +=
        QStringLiteral("appends found cut short after a kill (settled by the start): %1\n").arg(tornAppends);
    report += QStringLiteral("rewrites' temporary files left by a kill (cleared by the start): %1\n")
                  .arg(m_leftoverRewrites);
    report += QStringLiteral("kills during the start that settles a previous kill: %1\n").arg(chained);
    report += QStringLiteral("journal records at the end: %1\n").arg(journalRecords(m_data));
    report += QStringLiteral("kills per write step (file, step, kind): kills survived\n");
    for (auto it = tally.begin(); it != tally.end(); ++it)
        report +=
            QStringLiteral("  %1: %2 %3\n").arg(it.key()).arg(it.value().kills).arg(it.value().survived);
    std::cout << report.toStdString();
    if (qEnvironmentVariableIsSet("VELMORA_KILL_REPORT")) {
        QFile out(qEnvironmentVariable("VELMORA_KILL_REPORT"));
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write(report.toUtf8());
    }
    EXPECT_EQ(performed, kills);
    EXPECT_EQ(survivedTotal, performed);
    EXPECT_TRUE(allProblems.isEmpty()) << allProblems.size() << " kills not survived";
}

} // namespace
