// The panels' page class: what a page may ask of the program, and what is refused.
#include "panel_page.h"

#include "request_filter.h"

#include <QWebEngineProfile>
#include <QWebEngineSettings>

namespace qelvora {

namespace {

const QUrl kBlank(QStringLiteral("about:blank"));

} // namespace

PanelPage::PanelPage(QObject *parent)
    : PanelPage(QWebEngineProfile::defaultProfile(), parent)
{
}

PanelPage::PanelPage(QWebEngineProfile *profile, QObject *parent)
    : QWebEnginePage(profile, parent)
{
    setUrlRequestInterceptor(new PanelRequestFilter(this));
    // A panel opens no other window (createWindow() makes none); a script that calls
    // window.open() without a click of the user's is turned away inside the page's own process,
    // so that a page calling it in a loop costs the window nothing.
    settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    // A page whose process has ended (it crashed, went past its script heap, or the watch ended
    // it) leaves its panel blank. about:blank itself is not loaded again, so that a process that
    // cannot run makes no loop.
    connect(
        this, &QWebEnginePage::renderProcessTerminated, this,
        [this] {
            if (url() != kBlank)
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
    if (!isWebAddress(url))
        return false;
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

// The engine's dialogs would be modal over the whole window, and a page can ask for one after
// another without end. None is shown: an alert is passed over, a confirmation is declined and a
// prompt is cancelled, as if the user had pressed Cancel at once.
void PanelPage::javaScriptAlert(const QUrl &, const QString &) { }

bool PanelPage::javaScriptConfirm(const QUrl &, const QString &)
{
    return false;
}

bool PanelPage::javaScriptPrompt(const QUrl &, const QString &, const QString &, QString *)
{
    return false;
}

// No file dialog: the page gets no file, as if the user had cancelled the dialog.
QStringList PanelPage::chooseFiles(FileSelectionMode, const QStringList &, const QStringList &)
{
    return {};
}

} // namespace qelvora
