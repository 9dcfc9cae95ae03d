// What a page in a web panel may do. The panels show pages of a site that anyone between the
// user and the site can answer for, so a page is treated as hostile: it shows no dialog, opens
// no file chooser, reaches nothing but the web, starts no other program, and the processes that
// run it yield to the window and are ended when they take too much memory.
#pragma once

#include <QList>
#include <QObject>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>

namespace qelvora {

// The page class of both panels.
class PanelPage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit PanelPage(QObject *parent = nullptr);

    // Whether a page may go to or load from the address: the web (http, https, ws, wss) and the
    // engine's own page-made documents (about:, data:, blob:). Everything else (mailto:, tel:,
    // file:, qrc:, other programs' schemes, ...) is out of a page's reach.
    static bool isWebAddress(const QUrl &url);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    void javaScriptAlert(const QUrl &securityOrigin, const QString &message) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &message) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &message,
                          const QString &defaultValue, QString *result) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                            const QStringList &acceptedMimeTypes) override;
};

// Blocks every request of a panel's page for an address that is not on the web (the program's
// own resources in qrc:, files, ...).
class PanelRequestFilter : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;
};

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
    qint64 memoryLimit() const { return m_memoryLimit; }

private:
    void check();
    QList<qint64> walk();

    QTimer m_timer;
    qint64 m_memoryLimit = kMemoryLimit;
    int m_round = 0;
    QList<qint64> m_pageProcesses; // found by the last walk
};

} // namespace qelvora
