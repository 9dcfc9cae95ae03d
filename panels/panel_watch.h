// The watch over the web engine's processes: their priority and what the page processes hold.
#pragma once

#include <QList>
#include <QObject>
#include <QTimer>

namespace qelvora {

// Watches the web engine's processes, which are this process's descendants (the engine runs
// its pages in processes of its own; pages of one site may share one). Once a second it gives
// every thread of every one of them the lowest scheduling priority, so that a page that burns
// the processor leaves the window's timers their time; and when the page processes together
// hold more memory than the limit (it looks four times a second), it ends them all: both panels
// go blank.
class PanelWatch : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kMemoryLimit = qint64(512) << 20;
    static constexpr int kIntervalMs = 250;
    static constexpr int kRoundsPerWalk = 4;
    // The nice value of the engine's threads: the lowest priority there is.
    static constexpr int kNice = 19;

    explicit PanelWatch(QObject *parent = nullptr);

    void start();
    // The limit on what the page processes hold together, in bytes: resident memory that is
    // not a mapped file (their heaps, the pages' data, shared buffers).
    void setMemoryLimit(qint64 bytes) { m_memoryLimit = bytes; }

private:
    void check();
    QList<qint64> lowerAndFindPageProcesses();

    QTimer m_timer;
    qint64 m_memoryLimit = kMemoryLimit;
    int m_round = 0;
    QList<qint64> m_pageProcesses; // found by the last walk
};

} // namespace qelvora
