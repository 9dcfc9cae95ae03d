// The watch over the web engine's processes.
#include "panel_watch.h"

#include <QByteArray>

#if defined(Q_OS_LINUX)
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#endif

namespace qelvora {

#if defined(Q_OS_LINUX)

namespace {

// The files under /proc are read with plain system calls: the watch reads some hundred of them
// four times a second.
QByteArray procPath(pid_t pid, const char *name, pid_t tid = 0)
{
    char path[64];
    if (tid)
        std::snprintf(path, sizeof path, "/proc/%d/task/%d/%s", int(pid), int(tid), name);
    else
        std::snprintf(path, sizeof path, "/proc/%d/%s", int(pid), name);
    return path;
}

// The whole of a small file under /proc; empty when it cannot be read (the process is gone).
QByteArray readProc(pid_t pid, const char *name, pid_t tid = 0)
{
    QByteArray content;
    const int fd = open(procPath(pid, name, tid).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return content;
    char buffer[4096];
    ssize_t count = 0;
    while ((count = read(fd, buffer, sizeof buffer)) > 0)
        content.append(buffer, count);
    close(fd);
    return content;
}

QList<pid_t> threadsOf(pid_t pid)
{
    QList<pid_t> threads;
    DIR *folder = opendir(procPath(pid, "task").constData());
    if (!folder)
        return threads;
    while (const dirent *entry = readdir(folder)) {
        const pid_t tid = static_cast<pid_t>(std::atoi(entry->d_name));
        if (tid > 0)
            threads << tid;
    }
    closedir(folder);
    return threads;
}

// The children of a process: each of its threads lists the children it started.
QList<pid_t> childrenOf(pid_t pid)
{
    QList<pid_t> children;
    const QList<pid_t> threads = threadsOf(pid);
    for (pid_t tid : threads) {
        const QList<QByteArray> ids = readProc(pid, "children", tid).split(' ');
        for (const QByteArray &id : ids) {
            if (const int child = id.toInt(); child > 0)
                children << static_cast<pid_t>(child);
        }
    }
    return children;
}

// A value of /proc/<pid>/status, in its unit (kB for sizes).
qint64 statusValue(const QByteArray &status, const QByteArray &key)
{
    const qsizetype at = status.indexOf('\n' + key + ':');
    if (at < 0)
        return 0;
    const qsizetype start = at + key.size() + 2;
    return status.mid(start, status.indexOf('\n', start) - start).simplified().split(' ')[0].toLongLong();
}

// A process that runs pages. The engine starts them from its zygote processes, whose command
// line they keep; a zygote itself has one thread (it must, to fork), a page process many. (The
// zygote rewrites its command line as one string, its arguments joined by spaces.)
bool isPageProcess(pid_t pid, const QByteArray &status)
{
    const QList<QByteArray> arguments = readProc(pid, "cmdline").replace('\0', ' ').split(' ');
    if (arguments.contains("--type=renderer"))
        return true;
    return arguments.contains("--type=zygote") && statusValue(status, "Threads") > 1;
}

void lowerPriority(pid_t pid)
{
    const QList<pid_t> threads = threadsOf(pid);
    for (pid_t tid : threads) {
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
        if (errno == 0 && nice < PanelWatch::kNice)
            setpriority(PRIO_PROCESS, static_cast<id_t>(tid), PanelWatch::kNice);
    }
}

} // namespace

#endif

PanelWatch::PanelWatch(QObject *parent)
    : QObject(parent)
{
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &PanelWatch::check);
}

void PanelWatch::start()
{
    m_timer.start();
}

// New processes and threads keep appearing (a page of another site, the engine's helpers), and
// a thread may raise its own priority: once a second the watch walks all of them again, and
// notes the page processes among them. A process forked by a thread already lowered starts
// lowered. What the page processes hold it reads every round; before it ends them it walks
// again, so that it never ends a process that has taken a noted process's number.
void PanelWatch::check()
{
#if defined(Q_OS_LINUX)
    if (m_round++ % kRoundsPerWalk == 0)
        m_pageProcesses = lowerAndFindPageProcesses();
    qint64 heldKiB = 0;
    for (qint64 pid : std::as_const(m_pageProcesses)) {
        const QByteArray status = '\n' + readProc(static_cast<pid_t>(pid), "status");
        heldKiB += statusValue(status, "RssAnon") + statusValue(status, "RssShmem");
    }
    if (heldKiB * 1024 <= m_memoryLimit)
        return;
    const QList<qint64> pages = lowerAndFindPageProcesses();
    for (qint64 pid : pages)
        kill(static_cast<pid_t>(pid), SIGKILL);
    m_pageProcesses.clear();
#endif
}

// Lowers the priority of every thread of every process below this one, and returns the page
// processes among them.
QList<qint64> PanelWatch::lowerAndFindPageProcesses()
{
    QList<qint64> pages;
#if defined(Q_OS_LINUX)
    QList<pid_t> queue = childrenOf(getpid());
    while (!queue.isEmpty()) {
        const pid_t pid = queue.takeFirst();
        lowerPriority(pid);
        if (isPageProcess(pid, '\n' + readProc(pid, "status")))
            pages << pid;
        queue += childrenOf(pid);
    }
#endif
    return pages;
}

} // namespace qelvora
