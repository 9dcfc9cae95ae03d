// The watch over the web engine's processes: their priority, what they hold, and what the
// program itself holds for the pages.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class QWebEngineProfile;
class QWebEngineView;

namespace qelvora {

// Watches the web engine's processes, which are this process's descendants (the engine runs
// its pages in processes of its own; both panels' pages, of one site, share one), the
// program's own process, in which the engine keeps what a page stores (Blob, Cache API,
// IndexedDB, localStorage, session history, frames) and draws, and the window's own thread.
//
// Once a second it gives every thread of every engine process the lowest scheduling priority,
// so that a page that burns the processor leaves the window's timers their time. Ten times a
// second it adds up what the engine's processes hold and what the program has grown by since
// the watch started, and whether the window's thread was held up; when either memory passes its
// limit, or the thread was held up too often, it ends the page processes and gives every panel a
// fresh blank page in a fresh profile, so that the storage and history the pages made are
// released with the old profile: the panels go blank. While the window has timed work due, an
// ending for memory waits for the moment the window names, within a margin over the limits.
class PanelWatch : public QObject {
    Q_OBJECT
public:
    // What the engine's processes may hold together.
    static constexpr qint64 kMemoryLimit = qint64(512) << 20;
    // What the program's own process may grow by while the pages run.
    static constexpr qint64 kOwnGrowthLimit = qint64(192) << 20;
    static constexpr int kIntervalMs = 100;
    static constexpr int kRoundsPerWalk = 10;
    // After it has ended the pages, the watch gives the engine this many rounds to free what
    // the old profile held before it looks at the program's own growth again.
    static constexpr int kReleaseRounds = 30;
    // The nice value of the engine's threads: the lowest priority there is.
    static constexpr int kNice = 19;
    // The engine does part of a page's bidding on the window's own thread (a history entry with
    // a large state, say), where it holds up the draw's timers. When the window's thread has
    // worked kStallMs or more (its processor time) between two looks, that counts as a stall;
    // kStallLimit stalls within kStallWindowMs end the pages.
    static constexpr int kStallMs = 100;
    static constexpr int kStallLimit = 2;
    static constexpr int kStallWindowMs = 3000;
    // Ending the pages takes the window's thread a while (a page with a thousand frames, a few
    // hundred ms). While the window has timed work due (holdEndingsWhile()), an ending is held
    // back until the window says its timed work is done (endHeldPages()), unless the memory
    // passes its limit by this much meanwhile or the window's thread is held up again.
    static constexpr qint64 kHoldMargin = qint64(64) << 20;

    explicit PanelWatch(QObject *parent = nullptr);

    void start();
    // The limit on what the engine's processes hold together, in bytes: resident memory that is
    // not a mapped file (their heaps, the pages' data, shared buffers).
    void setMemoryLimit(qint64 bytes) { m_memoryLimit = bytes; }
    // The limit on what the program's own process may grow by (the same kind of memory) over
    // what it held when the watch started.
    void setOwnGrowthLimit(qint64 bytes) { m_ownGrowthLimit = bytes; }
    // What counts as a stall of the window's thread, in ms (kStallMs).
    void setStallMs(int ms) { m_stallMs = ms; }

    // While due() is true, the window has timed work coming, and an ending for memory waits for
    // endHeldPages() (or until due() is false, the memory passes a limit by kHoldMargin or the
    // window's thread is held up too often).
    void holdEndingsWhile(std::function<bool()> due) { m_holdWhile = std::move(due); }
    // The window's timed work is done for a while: an ending held back is carried out now.
    void endHeldPages();
    // Whether an ending is held back.
    bool endingHeld() const { return m_endingHeld; }

    // The profile the panels' pages are made in: off the record (nothing on disk), and replaced
    // by a fresh one whenever the watch ends the pages.
    QWebEngineProfile *profile();
    // A panel whose page the watch replaces with a fresh blank one when it ends the pages.
    void addPanel(QWebEngineView *view);

    // How many times the watch has ended the pages.
    int endings() const { return m_endings; }

signals:
    // The watch has ended the pages; the panels have fresh blank pages.
    void pagesEnded();

private:
    void check();
    bool tooManyStalls();
    void endPages();
    void renewPanels();
    QList<qint64> lowerAndFindEngineProcesses();

    QTimer m_timer;
    qint64 m_memoryLimit = kMemoryLimit;
    qint64 m_ownGrowthLimit = kOwnGrowthLimit;
    qint64 m_ownAtStartKiB = -1;
    int m_stallMs = kStallMs;
    std::function<bool()> m_holdWhile;
    bool m_endingHeld = false;
    qint64 m_lastLookNs = 0;       // when the last look came, on the monotonic clock
    qint64 m_lastLookThreadNs = 0; // the window's thread's processor time then
    QList<qint64> m_stalls;        // when the recent stalls ended
    int m_round = 0;
    int m_releaseRounds = 0;
    int m_endings = 0;
    QList<qint64> m_engineProcesses; // found by the last walk
    QList<qint64> m_zygotes;         // the engine's processes that fork the page processes
    QPointer<QWebEngineProfile> m_profile;
    QList<QPointer<QWebEngineView>> m_panels;
};

} // namespace qelvora
