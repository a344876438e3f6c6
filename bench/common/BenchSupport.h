#pragma once

// What the benchmarks share: timing a step over several runs, running a command with its output
// thrown away, and the process's peak resident memory.

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include <sys/resource.h>

namespace velmora::bench {

struct Timing {
    double best = 0;   // ms
    double median = 0; // ms
};

// Runs `once` `runs` times (after `before`, which is not timed) and keeps the best and the
// median time. A run that fails ends the benchmark.
inline Timing measure(int runs, const std::function<bool()>& once, const std::function<void()>& before = {}) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        if (before)
            before();
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

inline bool runToNull(const QString& program, const QStringList& arguments, int expectedExit = 0) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == expectedExit;
}

// The process's peak resident memory so far, in MB: VmHWM of /proc/self/status, or ru_maxrss.
inline double peakResidentMb() {
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

} // namespace velmora::bench
