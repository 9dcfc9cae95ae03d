// Pieces the benchmark programs share: environment, clocks, /proc readings, statistics.
#include "bench_support.h"

#include "app/form1.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace qelvora::bench {

namespace {

// The fields of /proc/<pid>/stat after the command name, which stands in parentheses and may
// itself hold blanks and parentheses. Index 0 is field 3 (state), so field n is at n - 3.
QList<QByteArray> statFields(pid_t pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = file.readAll();
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return {};
    return line.mid(close + 1).simplified().split(' ');
}

constexpr int kPpidField = 4;
constexpr int kUtimeField = 14;
constexpr int kStimeField = 15;

qint64 readClock(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace

void prepareWebEngineEnvironment()
{
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").trimmed();
    for (const char *flag : {"--disable-background-networking", "--disable-component-update"}) {
        if (!flags.split(' ').contains(flag))
            flags += (flags.isEmpty() ? "" : " ") + QByteArray(flag);
    }
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

qint64 monotonicNs()
{
    return readClock(CLOCK_MONOTONIC);
}

qint64 processCpuNs()
{
    return readClock(CLOCK_PROCESS_CPUTIME_ID);
}

std::vector<pid_t> processTree(pid_t root)
{
    // Parent of every process there is, read once; then the tree is collected breadth first.
    QMultiMap<pid_t, pid_t> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool isPid = false;
        const pid_t pid = entry.toInt(&isPid);
        if (!isPid)
            continue;
        const QList<QByteArray> fields = statFields(pid);
        if (fields.size() > kPpidField - 3)
            children.insert(fields.at(kPpidField - 3).toInt(), pid);
    }
    std::vector<pid_t> tree{root};
    for (std::size_t i = 0; i < tree.size(); ++i) {
        const QList<pid_t> below = children.values(tree[i]);
        tree.insert(tree.end(), below.begin(), below.end());
    }
    return tree;
}

namespace {

// The KiB figure of the line "<key> <n> kB" of a /proc file; -1 when there is none.
long kibField(const QString &path, const QByteArray &key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

} // namespace

long residentKiB(pid_t pid)
{
    return kibField(QStringLiteral("/proc/%1/status").arg(pid), "VmRSS:");
}

long proportionalKiB(pid_t pid)
{
    return kibField(QStringLiteral("/proc/%1/smaps_rollup").arg(pid), "Pss:");
}

qint64 procCpuNs(pid_t pid)
{
    const QList<QByteArray> fields = statFields(pid);
    if (fields.size() <= kStimeField - 3)
        return -1;
    const qint64 ticks = fields.at(kUtimeField - 3).toLongLong()
                         + fields.at(kStimeField - 3).toLongLong();
    return ticks * (1000000000 / sysconf(_SC_CLK_TCK));
}

QString processLabel(pid_t pid)
{
    // The web engine's renderers are forked by its zygote and keep the zygote's command line;
    // they are told apart by their parent.
    const QList<QByteArray> fields = statFields(pid);
    const pid_t parent = fields.size() > kPpidField - 3 ? fields.at(kPpidField - 3).toInt() : 0;
    auto isZygote = [](pid_t candidate) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(candidate));
        return cmdline.open(QIODevice::ReadOnly)
               && cmdline.readAll().split('\0').contains("--type=zygote");
    };
    if (parent > 0 && isZygote(pid) && isZygote(parent))
        return QStringLiteral("QtWebEngineProc (forked by the zygote: renderer)");

    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    QString label = comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll().trimmed())
                                                   : QStringLiteral("?");
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (cmdline.open(QIODevice::ReadOnly)) {
        for (const QByteArray &argument : cmdline.readAll().split('\0')) {
            if (argument.startsWith("--type="))
                label += QStringLiteral(" (") + QString::fromLocal8Bit(argument.mid(7)) + u')';
            if (argument.startsWith("--utility-sub-type="))
                label += QStringLiteral(" [") + QString::fromLocal8Bit(argument.mid(19)) + u']';
        }
    }
    return label;
}

QMap<pid_t, qint64> treeCpuNs(pid_t root)
{
    QMap<pid_t, qint64> used;
    for (pid_t pid : processTree(root)) {
        const qint64 ns = procCpuNs(pid);
        if (ns >= 0)
            used.insert(pid, ns);
    }
    return used;
}

qint64 treeCpuDelta(const QMap<pid_t, qint64> &before, const QMap<pid_t, qint64> &after)
{
    qint64 delta = 0;
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        delta += it.value() - before.value(it.key(), 0);
    return delta;
}

Summary summarize(std::vector<double> values)
{
    Summary summary;
    summary.count = values.size();
    if (values.empty())
        return summary;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    summary.median = values.size() % 2 ? values[middle]
                                       : (values[middle - 1] + values[middle]) / 2;
    summary.min = values.front();
    summary.max = values.back();
    return summary;
}

QString number(double value, int decimals, bool withSign)
{
    QString text = QString::number(value, 'f', decimals);
    if (withSign && value >= 0)
        text.prepend(u'+');
    return text;
}

void say(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace qelvora::bench
