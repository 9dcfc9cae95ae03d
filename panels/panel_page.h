// What a page in a web panel may do. The panels show pages of a site that anyone between the
// user and the site can answer for, so a page is treated as hostile: it shows no dialog, opens
// no file chooser, reaches nothing but the web, starts no other program, plays no sound, cannot
// keep the program busy with what it sends it, and the processes that run it yield to the
// window and are ended when they take too much memory.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWebEnginePage>

#include <array>

namespace qelvora {

// The page class of both panels.
class PanelPage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit PanelPage(QObject *parent = nullptr);
    // A page in the given profile (the panels' own, which the process watch renews).
    PanelPage(QWebEngineProfile *profile, QObject *parent);

    // Whether a page may go to or load from the address: the web (http, https, ws, wss) and the
    // engine's own page-made documents (about:, data:, blob:). Everything else (mailto:, tel:,
    // file:, qrc:, other programs' schemes, ...) is out of a page's reach.
    static bool isWebAddress(const QUrl &url);

    // What a page sends the program is handled on the window's own thread: every console
    // message, title change, change of icon (each one fetched), navigation and change of address.
    // A page that sends more than kMessageLimit of them within kWindowSeconds is left for a blank
    // page, and its panel stays blank. A change of address (a new document, a history entry, a
    // new #fragment) costs the program far more than the rest and counts kAddressChangeWeight
    // times. A page that does not leave within kLeaveMs, while its process had the processor
    // for at least half that time (its script never yields), has its process ended; so does one
    // that has not left within kLeaveWaitMs, however little its process ran.
    static constexpr int kWindowSeconds = 3;
    static constexpr int kMessageLimit = 300;
    static constexpr int kAddressChangeWeight = 20;
    static constexpr int kLeaveMs = 2000;
    static constexpr int kLeaveWaitMs = 10000;

    // Whether the page was left for sending too much.
    bool isFlooded() const { return m_flooded; }

Q_SIGNALS:
    // The page sent more than the limit and is being left for a blank page.
    void flooded();

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    void javaScriptAlert(const QUrl &securityOrigin, const QString &message) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &message) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &message,
                          const QString &defaultValue, QString *result) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                            const QStringList &acceptedMimeTypes) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                  int lineNumber, const QString &sourceID) override;

private:
    void countMessage(int weight = 1);
    void leaveFloodedPage();

    QElapsedTimer m_clock;
    qint64 m_second = 0;                           // the second of m_clock the last count fell in
    std::array<int, kWindowSeconds> m_perSecond{}; // messages per second, by second modulo size
    bool m_flooded = false;
    bool m_left = false;            // a flooded page has given way to the blank page
    bool m_blankAfterEnd = false;   // its process was ended before it had
    qint64 m_leaveProcessorMs = -1; // the processor time its process had had at the last look
    qint64 m_leftAtMs = 0;          // when it was left, on m_clock
    QTimer m_leaveDeadline;
};

} // namespace qelvora
