// The panels' page class: what a page may ask of the program, and what is refused.
#include "panel_page.h"

#include "request_filter.h"

#include <QFile>
#include <QPointer>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

#include <numeric>
#include <utility>

#if defined(Q_OS_UNIX)
#include <signal.h>
#include <unistd.h>
#endif

namespace qelvora {

namespace {

const QUrl kBlank(QStringLiteral("about:blank"));

// The processor time a process has had, in ms; -1 where it cannot be read.
qint64 processorMs(qint64 pid)
{
#if defined(Q_OS_LINUX)
    if (pid <= 0)
        return -1;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // "pid (name) state ..." with the name in parentheses; user and system time are the 14th
    // and 15th fields, in clock ticks.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const qint64 ticks = fields[11].toLongLong() + fields[12].toLongLong();
    return ticks * 1000 / sysconf(_SC_CLK_TCK);
#else
    Q_UNUSED(pid);
    return -1;
#endif
}

} // namespace

PanelPage::PanelPage(QObject *parent)
    : PanelPage(QWebEngineProfile::defaultProfile(), parent)
{
}

PanelPage::PanelPage(QWebEngineProfile *profile, QObject *parent)
    : QWebEnginePage(profile, parent)
{
    auto *filter = new PanelRequestFilter(this);
    setUrlRequestInterceptor(filter);
    // A panel opens no other window (createWindow() makes none); a script that calls
    // window.open() without a click of the user's is turned away inside the page's own process,
    // so that a page calling it in a loop costs the window nothing.
    settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    // The window has no control for sound, so a page would play it for as long as it liked.
    setAudioMuted(true);

    // Everything a page can send in a stream is counted against it.
    m_clock.start();
    connect(this, &QWebEnginePage::titleChanged, this, [this] { countMessage(); });
    connect(this, &QWebEnginePage::urlChanged, this,
            [this] { countMessage(kAddressChangeWeight); });
    connect(this, &QWebEnginePage::iconUrlChanged, this, [this] { countMessage(); });
    connect(this, &QWebEnginePage::loadStarted, this, [this] { countMessage(); });
    connect(filter, &PanelRequestFilter::iconRequested, this, [this] { countMessage(); });
    m_leaveDeadline.setSingleShot(true);
    m_leaveDeadline.setInterval(kLeaveMs);
    connect(&m_leaveDeadline, &QTimer::timeout, this, [this] {
        if (m_left)
            return;
        const qint64 pid = renderProcessPid();
        // A script that never yields keeps its process on a core all the time. A process that
        // has had the processor for less than half the time since the last look is waiting for
        // a core on a busy machine (it runs at the lowest priority), not stuck: it is given the
        // time again, up to kLeaveWaitMs in all. Both panels' pages share it, so it is not
        // ended lightly.
        if (const qint64 used = processorMs(pid); used >= 0
            && used - m_leaveProcessorMs < kLeaveMs / 2
            && m_clock.elapsed() - m_leftAtMs < kLeaveWaitMs) {
            m_leaveProcessorMs = used;
            m_leaveDeadline.start();
            return;
        }
#if defined(Q_OS_UNIX)
        // The blank page it could not take in is asked for again once the process has ended.
        if (pid > 0) {
            m_blankAfterEnd = true;
            kill(static_cast<pid_t>(pid), SIGKILL);
        }
#endif
    });
    connect(this, &QWebEnginePage::loadFinished, this, [this] {
        if (m_flooded && url() == kBlank)
            m_left = true;
    });
    // A page whose process has ended (it crashed, went past its script heap, or the watch ended
    // it) leaves its panel blank. about:blank itself is not loaded again, so that a process that
    // cannot run makes no loop.
    connect(
        this, &QWebEnginePage::renderProcessTerminated, this,
        [this] {
            if (url() != kBlank || std::exchange(m_blankAfterEnd, false))
                load(kBlank);
        },
        Qt::QueuedConnection);
}

bool PanelPage::isWebAddress(const QUrl &url)
{
    static const QStringList web = {QStringLiteral("http"),  QStringLiteral("https"),
                                    QStringLiteral("ws"),    QStringLiteral("wss"),
                                    QStringLiteral("about"), QStringLiteral("data"),
                                    QStringLiteral("blob")};
    return web.contains(url.scheme().toLower());
}

// A link to another scheme would otherwise be handed to the desktop, which starts whatever
// program is registered for it (a mail program for mailto:, ...).
bool PanelPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    countMessage();
    if (!isWebAddress(url))
        return false;
    // A flooded panel stays blank.
    if (m_flooded && url != kBlank)
        return false;
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

// The engine's dialogs would be modal over the whole window, and a page can ask for one after
// another without end. None is shown: an alert is passed over, a confirmation is declined and a
// prompt is cancelled, as if the user had pressed Cancel at once.
void PanelPage::javaScriptAlert(const QUrl &, const QString &) { }

bool PanelPage::javaScriptConfirm(const QUrl &, const QString &) { return false; }

bool PanelPage::javaScriptPrompt(const QUrl &, const QString &, const QString &, QString *)
{
    return false;
}

// No file dialog: the page gets no file, as if the user had cancelled the dialog.
QStringList PanelPage::chooseFiles(FileSelectionMode, const QStringList &, const QStringList &)
{
    return {};
}

// Console messages are counted like everything else a page sends; the engine's own handling
// writes them to the "js" logging category, which is off unless the user turns it on.
void PanelPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                         const QString &message, int lineNumber,
                                         const QString &sourceID)
{
    countMessage();
    QWebEnginePage::javaScriptConsoleMessage(level, message, lineNumber, sourceID);
}

// Counts a message of the page's (weight times) in the second it arrives, forgetting the seconds
// that have left the window, and leaves the page once the window holds more than the limit. The
// count runs only when a message comes: a quiet page costs nothing, and a page is judged on what it
// sends, never on how fast the machine handled it.
void PanelPage::countMessage(int weight)
{
    if (m_flooded)
        return;
    const qint64 second = m_clock.elapsed() / 1000;
    for (qint64 passed = m_second + 1; passed <= second && passed <= m_second + kWindowSeconds;
         ++passed)
        m_perSecond[passed % kWindowSeconds] = 0;
    m_second = second;
    m_perSecond[second % kWindowSeconds] += weight;
    if (std::accumulate(m_perSecond.begin(), m_perSecond.end(), 0) > kMessageLimit)
        leaveFloodedPage();
}

// The page is stopped and replaced by a blank one; its messages still on their way are refused.
// A page whose script never yields cannot take the blank page in, and its process is ended
// (which leaves the panel blank too, above).
void PanelPage::leaveFloodedPage()
{
    m_flooded = true;
    Q_EMIT flooded();
    triggerAction(QWebEnginePage::Stop);
    load(kBlank);
    // The engine does not always report the blank page as loaded; a page process that answers a
    // script has yielded, and with it the page has given way. One whose script never yields does
    // not answer.
    runJavaScript(QStringLiteral("0"), [page = QPointer<PanelPage>(this)](const QVariant &) {
        if (page)
            page->m_left = true;
    });
    m_leaveProcessorMs = processorMs(renderProcessPid());
    m_leftAtMs = m_clock.elapsed();
    m_leaveDeadline.start();
}

} // namespace qelvora
