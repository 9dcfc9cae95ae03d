// The watch over the web engine's processes.
#include "panel_watch.h"

#include "panel_page.h"

#include <QByteArray>
#include <QWebEngineProfile>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

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
#include <ctime>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace qelvora {

#if defined(Q_OS_LINUX)

namespace {

// The files under /proc are read with plain system calls: the watch reads a few of them ten times
// a second, and some hundred once a second.
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
    return status.mid(start, status.indexOf('\n', start) - start)
        .simplified()
        .split(' ')[0]
        .toLongLong();
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

bool isZygote(pid_t pid, const QByteArray &status)
{
    return readProc(pid, "cmdline").replace('\0', ' ').split(' ').contains("--type=zygote")
        && statusValue(status, "Threads") == 1;
}

// Resident memory that is not a mapped file, in KiB: heaps, the pages' data, shared buffers.
qint64 heldKiB(pid_t pid)
{
    const QByteArray status = '\n' + readProc(pid, "status");
    return statusValue(status, "RssAnon") + statusValue(status, "RssShmem");
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
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &PanelWatch::check);
}

void PanelWatch::start()
{
#if defined(Q_OS_LINUX)
    if (m_ownAtStartKiB < 0)
        m_ownAtStartKiB = heldKiB(getpid());
#endif
    m_timer.start();
}

QWebEngineProfile *PanelWatch::profile()
{
    if (!m_profile)
        m_profile = new QWebEngineProfile(this);
    return m_profile;
}

void PanelWatch::addPanel(QWebEngineView *view)
{
    if (!m_panels.contains(view))
        m_panels.append(view);
}

// New processes keep appearing (a page of another site, a worker's, the engine's helpers), and a
// thread may raise its own priority: once a second the watch walks all of them again, lowers
// them and notes the zygotes, which fork the page processes. In between it asks only the zygotes
// for new children, so that a page process is counted from its first tenth of a second. A
// process forked by a thread already lowered starts lowered. Before the watch ends the page
// processes it walks again, so that it never ends a process that has taken a noted one's number.
void PanelWatch::check()
{
#if defined(Q_OS_LINUX)
    if (m_round++ % kRoundsPerWalk == 0) {
        m_engineProcesses = lowerAndFindEngineProcesses();
    } else {
        for (qint64 zygote : std::as_const(m_zygotes)) {
            const QList<pid_t> children = childrenOf(static_cast<pid_t>(zygote));
            for (pid_t child : children) {
                if (!m_engineProcesses.contains(child))
                    m_engineProcesses << child;
            }
        }
    }
    qint64 engineKiB = 0;
    for (qint64 pid : std::as_const(m_engineProcesses))
        engineKiB += heldKiB(static_cast<pid_t>(pid));
    const qint64 ownKiB = heldKiB(getpid());
    // What the engine has not freed once the old profile is gone is not the new pages' doing:
    // it becomes part of what the program holds at the start.
    if (m_releaseRounds > 0 && --m_releaseRounds == 0
        && (ownKiB - m_ownAtStartKiB) * 1024 > m_ownGrowthLimit)
        m_ownAtStartKiB = ownKiB;
    const qint64 ownGrowth = m_releaseRounds == 0 ? (ownKiB - m_ownAtStartKiB) * 1024 : 0;
    const bool stalled = tooManyStalls();
    if (engineKiB * 1024 > m_memoryLimit || ownGrowth > m_ownGrowthLimit || stalled)
        m_endingHeld = true;
    if (!m_endingHeld)
        return;
    // A page that holds up the window's thread is ended at once: held back, it would go on
    // holding up the very timers the hold is for.
    const bool hold = !stalled && m_holdWhile && m_holdWhile()
        && engineKiB * 1024 <= m_memoryLimit + kHoldMargin
        && ownGrowth <= m_ownGrowthLimit + kHoldMargin;
    if (!hold)
        endPages();
#endif
}

void PanelWatch::endHeldPages()
{
    if (m_endingHeld)
        endPages();
}

// Whether the window's thread has been held up too often of late. The watch's looks are a tenth
// of a second apart, in which the window's own work takes a few milliseconds of the thread's
// processor time; a stall's worth or more between two looks is the engine working for a page.
// (Processor time, not the clock: a thread that waited for a core on a busy machine has not
// worked.)
bool PanelWatch::tooManyStalls()
{
#if defined(Q_OS_LINUX)
    timespec now{};
    timespec thread{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &thread);
    const qint64 nowNs = qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
    const qint64 threadNs = qint64(thread.tv_sec) * 1000000000 + thread.tv_nsec;
    const qint64 stallNs = qint64(m_stallMs) * 1000000;
    if (m_lastLookNs > 0 && threadNs - m_lastLookThreadNs >= stallNs)
        m_stalls << nowNs;
    m_lastLookNs = nowNs;
    m_lastLookThreadNs = threadNs;
    m_stalls.removeIf([nowNs](qint64 at) { return nowNs - at > qint64(kStallWindowMs) * 1000000; });
    if (m_stalls.size() < kStallLimit)
        return false;
    m_stalls.clear();
    return true;
#else
    return false;
#endif
}

// Ends every page process (both panels go blank), and replaces the panels' pages and their
// profile: what the pages stored lives in the profile (Blob, Cache API, IndexedDB, localStorage)
// and what they pushed into their history in the page, both in this process, and neither goes
// with the page processes.
void PanelWatch::endPages()
{
#if defined(Q_OS_LINUX)
    const QList<qint64> processes = lowerAndFindEngineProcesses();
    for (qint64 pid : processes) {
        if (isPageProcess(static_cast<pid_t>(pid),
                          '\n' + readProc(static_cast<pid_t>(pid), "status")))
            kill(static_cast<pid_t>(pid), SIGKILL);
    }
    m_engineProcesses.clear();
#endif
    ++m_endings;
    m_endingHeld = false;
    m_releaseRounds = kReleaseRounds;
    renewPanels();
    // Making the fresh pages is the window's own work, not a page's.
    m_lastLookNs = 0;
    emit pagesEnded();
}

// A fresh profile that answers the web as the old one did, and for every panel a fresh page in
// it with the old page's settings, showing about:blank. The old pages are deleted, then the old
// profile with what it stored; the engine frees that on its own threads, after which the freed
// heap is handed back to the system, so that what the program holds comes down again.
void PanelWatch::renewPanels()
{
    QWebEngineProfile *old = m_profile;
    m_profile = nullptr;
    QWebEngineProfile *fresh = profile();
    if (old) {
        fresh->setHttpAcceptLanguage(old->httpAcceptLanguage());
        fresh->setHttpUserAgent(old->httpUserAgent());
        fresh->scripts()->insert(old->scripts()->toList());
    }
    // The settings a page can have on every Qt 6 this program builds with; later ones keep
    // their defaults.
    auto copySettings = [](const QWebEngineSettings *from, QWebEngineSettings *to) {
        for (int attribute = QWebEngineSettings::AutoLoadImages;
             attribute <= QWebEngineSettings::NavigateOnDropEnabled; ++attribute) {
            const auto which = static_cast<QWebEngineSettings::WebAttribute>(attribute);
            to->setAttribute(which, from->testAttribute(which));
        }
        to->setUnknownUrlSchemePolicy(from->unknownUrlSchemePolicy());
    };
    if (old)
        copySettings(old->settings(), fresh->settings());
    for (const QPointer<QWebEngineView> &view : std::as_const(m_panels)) {
        if (!view)
            continue;
        QWebEnginePage *oldPage = view->page();
        auto *page = new PanelPage(fresh, view);
        copySettings(oldPage->settings(), page->settings());
        page->scripts().insert(oldPage->scripts().toList());
        view->setPage(page);
        page->load(QUrl(QStringLiteral("about:blank")));
        delete oldPage;
    }
    if (old) {
        connect(old, &QObject::destroyed, this, [] {
#if defined(__GLIBC__)
            // The engine frees the profile's storage on its own threads shortly after.
            QTimer::singleShot(1000, [] { malloc_trim(0); });
#endif
        });
        old->deleteLater();
    }
}

// Lowers the priority of every thread of every process below this one, notes the zygotes among
// them, and returns them all.
QList<qint64> PanelWatch::lowerAndFindEngineProcesses()
{
    QList<qint64> found;
    m_zygotes.clear();
#if defined(Q_OS_LINUX)
    QList<pid_t> queue = childrenOf(getpid());
    while (!queue.isEmpty()) {
        const pid_t pid = queue.takeFirst();
        lowerPriority(pid);
        found << pid;
        if (isZygote(pid, '\n' + readProc(pid, "status")))
            m_zygotes << pid;
        queue += childrenOf(pid);
    }
#endif
    return found;
}

} // namespace qelvora
