// One start of the order pad and, unless told otherwise, one real submission, over a data
// directory and a web service given on the command line: the process the crash tests end with
// SIGKILL and start again.
//
//   velmora_crash_driver --data DIR --server HOST:PORT [--order I] [--start-only]
//                        [--log FILE] [--kill-at N]
//
// The start seeds a missing data directory and settles a submission cut short before
// (settleDataDirectory), as the program does when it starts. The submission goes through
// OrderSubmitter with the program's own transfer component; its order is made from the number I
// (which lists learn a typed entry, the telephone stored in const.dat).
//
// --log FILE appends one line per step of every file write (data::WriteStepHook), before the
// step's effect is allowed to go on: «P <n> <step> <kind> <path>», and at the first step of each
// write the content the file is meant to have once the write is done: «N <path> <sha1>». Paths
// are relative to the data directory. --kill-at N ends the process with SIGKILL at step N (from
// 1), right after its line is logged. Standard output gets «MESSAGE <text>» for every message
// box and «OUTCOME <n>» at the end. Exit code 0: the start (and the submission) succeeded.
#include "CrashCheck.h"
#include "data/DataDir.h"
#include "data/FileIo.h"
#include "data/FreshDataDir.h"
#include "order/PendingOrder.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace velmora;

namespace {

int g_logFd = -1;
long g_killAt = 0;
long g_step = 0;
QString g_dataDir;

void logLine(const QByteArray& line) {
    if (g_logFd < 0)
        return;
    const QByteArray out = line + '\n';
    qsizetype done = 0;
    while (done < out.size()) {
        const ssize_t n = ::write(g_logFd, out.constData() + done, static_cast<size_t>(out.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}

const char* stepName(data::WriteStep step) {
    switch (step) {
    case data::WriteStep::Begin:
        return "begin";
    case data::WriteStep::Partial:
        return "partial";
    case data::WriteStep::Written:
        return "written";
    case data::WriteStep::Done:
        return "done";
    }
    return "?";
}

const char* kindName(data::WriteKind kind) {
    switch (kind) {
    case data::WriteKind::Rewrite:
        return "rewrite";
    case data::WriteKind::Append:
        return "append";
    case data::WriteKind::Truncate:
        return "truncate";
    case data::WriteKind::Remove:
        return "remove";
    }
    return "?";
}

void onWriteStep(const QString& path, data::WriteKind kind, data::WriteStep step, QByteArrayView bytes) {
    const QByteArray relative = QDir(g_dataDir).relativeFilePath(path).toUtf8();
    ++g_step;
    if (step == data::WriteStep::Begin) {
        QByteArray content;
        if (kind == data::WriteKind::Append) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                content = file.readAll();
        }
        if (kind == data::WriteKind::Remove)
            logLine("N " + relative + " -");
        else
            logLine(
                "N " + relative + ' ' +
                QCryptographicHash::hash(QByteArray(content + bytes.toByteArray()), QCryptographicHash::Sha1)
                    .toHex());
    }
    logLine("P " + QByteArray::number(g_step) + ' ' + stepName(step) + ' ' + kindName(kind) + ' ' + relative);
    if (g_killAt > 0 && g_step == g_killAt)
        ::kill(::getpid(), SIGKILL);
}

void say(const QByteArray& text) {
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString option(const QStringList& arguments, const QString& name) {
    const qsizetype at = arguments.indexOf(name);
    return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1) : QString();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    g_dataDir = QDir(option(arguments, QStringLiteral("--data"))).absolutePath();
    const QString server = option(arguments, QStringLiteral("--server"));
    const int orderNumber = option(arguments, QStringLiteral("--order")).toInt();
    const QString logPath = option(arguments, QStringLiteral("--log"));
    g_killAt = option(arguments, QStringLiteral("--kill-at")).toLong();
    if (g_dataDir.isEmpty() || server.isEmpty()) {
        std::fprintf(stderr, "usage: velmora_crash_driver --data DIR --server HOST:PORT [--order I] "
                             "[--start-only] [--log FILE] [--kill-at N]\n");
        return 2;
    }
    if (!logPath.isEmpty()) {
        g_logFd =
            ::open(QFile::encodeName(logPath).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (g_logFd < 0) {
            std::perror("log");
            return 2;
        }
    }
    data::setWriteStepHookForTesting(onWriteStep);

    // The start.
    const data::DataDir dir(g_dataDir);
    if (const Result<QStringList> seeded = data::seedDataDirectory(dir); !seeded) {
        say("MESSAGE " + seeded.error().toUtf8());
        return 1;
    }
    for (const QString& message : order::settleDataDirectory(dir))
        say("MESSAGE " + message.toUtf8());
    say("RESUMED");
    if (arguments.contains(QStringLiteral("--start-only")))
        return 0;

    // The submission.
    QStringList messages;
    const order::SubmissionOutcome outcome =
        test::submitCrashTestOrder(g_dataDir, server, orderNumber, messages);
    for (const QString& message : messages)
        say("MESSAGE " + message.toUtf8());
    say("OUTCOME " + QByteArray::number(static_cast<int>(outcome)));
    return outcome == order::SubmissionOutcome::Submitted ? 0 : 3;
}
