// Pieces the benchmark programs share: the web engine's environment, the clocks, process figures
// read from /proc, and the small statistics the reports print.
#pragma once

#include <QMap>
#include <QString>
#include <QUrl>

#include <sys/types.h>

#include <cstddef>
#include <vector>

namespace qelvora::bench {

// A site on loopback whose port refuses connections: the web panels get no page and nothing
// reaches beyond this machine.
inline const QUrl kRefusingSite{QStringLiteral("http://127.0.0.1:9")};

// Must run before QApplication exists. Keeps the web engine from contacting anything on its own
// (adds the two switches to QTWEBENGINE_CHROMIUM_FLAGS when they are missing).
void prepareWebEngineEnvironment();

// CLOCK_MONOTONIC in nanoseconds; one clock for every process on the machine, so a parent and
// its child can compare readings.
qint64 monotonicNs();

// The CPU time this process has used so far (all threads), in nanoseconds.
qint64 processCpuNs();

// The process and every descendant of it, found by walking the parent ids of /proc/*/stat.
std::vector<pid_t> processTree(pid_t root);

// VmRSS of /proc/<pid>/status in KiB; -1 when the process is gone.
long residentKiB(pid_t pid);

// Pss of /proc/<pid>/smaps_rollup in KiB (resident memory with every shared page divided among
// the processes that map it, so a tree's figures add up); -1 when not readable.
long proportionalKiB(pid_t pid);

// User plus system CPU time of /proc/<pid>/stat in nanoseconds (clock-tick resolution, usually
// 10 ms); -1 when the process is gone.
qint64 procCpuNs(pid_t pid);

// A readable name of a process: its command name, and for a web engine helper its role
// (the --type= argument: zygote, renderer, gpu-process, utility).
QString processLabel(pid_t pid);

// CPU time used so far by each process of the tree below root (root included).
QMap<pid_t, qint64> treeCpuNs(pid_t root);

// CPU time the tree used between two readings. A process that appeared in between counts from
// zero; one that ended in between is lost with what it used since the first reading.
qint64 treeCpuDelta(const QMap<pid_t, qint64> &before, const QMap<pid_t, qint64> &after);

struct Summary {
    std::size_t count = 0;
    double median = 0;
    double min = 0;
    double max = 0;
};

// Median (the mean of the middle two for an even count), smallest and largest value.
Summary summarize(std::vector<double> values);

// A number with a fixed count of decimals, and with a sign when signed is true.
QString number(double value, int decimals = 2, bool withSign = false);

// Prints one line to standard output at once (the benchmarks' output is read while they run).
void say(const QString &line = QString());

} // namespace qelvora::bench
