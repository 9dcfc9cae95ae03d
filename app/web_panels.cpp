// The two web panels and the link label. The panels only show pages of the vendor site; the
// lower one loses its scroll bars whenever a document has loaded. What a page may do in a panel
// is kept in bounds by the panels' page class, the watch over their processes and the clipboard
// guard (panels/), and here by keeping the dialogs the panels would make off the screen. The link
// label turns blue under the mouse and red again over the bare window.
#include "chinese_texts.h"
#include "clipboard_guard.h"
#include "colours.h"
#include "form1.h"
#include "panel_page.h"
#include "panel_watch.h"

#include <QAction>
#include <QChildEvent>
#include <QDialog>
#include <QMenu>
#include <QMouseEvent>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <utility>

namespace qelvora {

namespace {

// Runs in the top-level document. A document without a body (SVG, XML) is left as it is.
constexpr char kHideScrollBars[] = R"js(
(function () {
    var body = document.body;
    if (!body)
        return false;
    body.setAttribute('scroll', 'no');
    body.style.overflow = 'hidden';
    if (document.documentElement && document.documentElement.style)
        document.documentElement.style.overflow = 'hidden';
    return true;
})();
)js";

// How long after a roller's tick the window's rollers have surely shown a stage's pick: a roller
// shows it on its first tick after the stage.
constexpr int kAfterRollerTickMs = 10;

// Entries of the engine's own context menu that would do nothing in a panel: the panels open no
// second window or tab and save nothing to disk.
constexpr QWebEnginePage::WebAction kIdleMenuActions[] = {
    QWebEnginePage::SavePage,
    QWebEnginePage::ViewSource,
    QWebEnginePage::OpenLinkInNewWindow,
    QWebEnginePage::OpenLinkInNewTab,
    QWebEnginePage::OpenLinkInNewBackgroundTab,
    QWebEnginePage::DownloadLinkToDisk,
    QWebEnginePage::DownloadImageToDisk,
    QWebEnginePage::DownloadMediaToDisk,
};

// Keeps every dialog the engine's widgets make for a panel off the screen. A page's colour input
// gets a colour chooser made by the panel itself as its child, modal over the whole window until
// it is answered, and a page can ask for one on every click; Qt WebEngine has no way to refuse
// it. So every widget the panel makes is kept off the screen while it is being made (its class
// is not known yet), until it is about to show: a dialog then stays off the screen and is
// cancelled, as if the user had pressed Cancel at once (the page keeps its value); anything else
// (the panel's menu, a list of suggestions) shows as usual. The same holds for a dialog the
// platform would show in its own stead (a desktop's colour chooser), which is not shown for a
// widget kept off the screen.
class PanelDialogRefusal : public QObject {
public:
    explicit PanelDialogRefusal(QWidget *panel)
        : QObject(panel)
    {
        panel->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == parent()) {
            if (event->type() != QEvent::ChildAdded)
                return false;
            QObject *child = static_cast<QChildEvent *>(event)->child();
            // Still in QWidget's constructor: a widget made for the panel just now.
            if (child->isWidgetType() && child->metaObject() == &QWidget::staticMetaObject) {
                static_cast<QWidget *>(child)->setAttribute(Qt::WA_DontShowOnScreen);
                child->installEventFilter(this);
            }
            return false;
        }
        if (event->type() == QEvent::Show) {
            watched->removeEventFilter(this);
            if (auto *dialog = qobject_cast<QDialog *>(watched))
                QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
            else
                static_cast<QWidget *>(watched)->setAttribute(Qt::WA_DontShowOnScreen, false);
        }
        return false;
    }
};

} // namespace

void Form1::connectWebPanels()
{
    for (QWebEngineView *view : {WebBrowser1, WebBrowser2}) {
        new PanelDialogRefusal(view);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint &position) { showPanelMenu(view, position); });
    }
    connect(WebBrowser2, &QWebEngineView::loadFinished, this, &Form1::WebBrowser2_DocumentComplete);
    panelWatch = new PanelWatch(this);
    // Ending the pages holds the window's thread up for a while, which must not fall on a stop
    // stage: while a draw runs, the watch ends them just after a stage has ticked and the
    // rollers have shown its pick, a second before the next stage is due.
    panelWatch->holdEndingsWhile([this] { return drawRunning(); });
    for (QTimer *stage : stageTimers()) {
        connect(stage, &QTimer::timeout, panelWatch, [this] {
            QTimer::singleShot(Timer10->interval() + kAfterRollerTickMs, panelWatch,
                               &PanelWatch::endHeldPages);
        });
    }
    ClipboardGuard::install();
    for (QWebEngineView *view : {WebBrowser1, WebBrowser2})
        ClipboardGuard::addPanel(view);
}

// Starting the web engine takes longer than building the whole window, so a panel's page is
// requested as soon as the window has been painted for the first time, never before: the window
// opens without waiting for the engine, and the pages arrive after it like any other page.
void Form1::navigate(QWebEngineView *view, const QString &path)
{
    QUrl url = m_siteBase;
    url.setPath(path);
    m_pendingNavigations.append({view, url});
}

void Form1::startPendingNavigations()
{
    const auto pending = std::exchange(m_pendingNavigations, {});
    for (const PendingNavigation &navigation : pending) {
        if (!navigation.view)
            continue;
        // Showing a panel, or asking it for its page or settings, starts the engine; all of
        // that waits until now. A page the panel already has of the panels' own class is kept.
        if (!qobject_cast<PanelPage *>(navigation.view->page()))
            navigation.view->setPage(new PanelPage(panelWatch->profile(), navigation.view));
        letArrowsWalkPanelLinks(navigation.view->page());
        // Both panels' pages are of the watch's profile, which it renews with their pages when
        // it ends them (the pages' scripts and settings go over to the new ones).
        panelWatch->addPanel(navigation.view);
        // A page that arrives must not take the keyboard focus from the control that has it.
        navigation.view->settings()->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled,
                                                  false);
        // Sites are asked for Chinese pages, and pages see Chinese as the reader's language.
        navigation.view->page()->profile()->setHttpAcceptLanguage(kPageLanguage);
        navigation.view->show();
        navigation.view->load(navigation.url);
    }
    panelWatch->start();
}

// The engine's menu for the spot that was clicked, less the entries that would do nothing here.
void Form1::showPanelMenu(QWebEngineView *view, const QPoint &position)
{
    QMenu *menu = view->createStandardContextMenu();
    if (!menu)
        return;
    for (QWebEnginePage::WebAction idle : kIdleMenuActions)
        menu->removeAction(view->pageAction(idle));
    // A copy chosen from the menu is the user's, and so is what the page writes for it. (Tied
    // to the menu, so that a page the watch put in the panel's place later is asked the same.)
    for (auto action : {QWebEnginePage::Copy, QWebEnginePage::Cut})
        connect(view->pageAction(action), &QAction::triggered, menu, &ClipboardGuard::copyAsked);
    menu->setSeparatorsCollapsible(true);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(view->mapToGlobal(position));
}

void Form1::WebBrowser2_DocumentComplete()
{
    WebBrowser2->page()->runJavaScript(QString::fromUtf8(kHideScrollBars));
}

void Form1::Label5_MouseMove() { setTextColor(Label5, kPureBlue); }

void Form1::Form_MouseMove() { setTextColor(Label5, kPureRed); }

// Mouse moves over a control stay with that control: the window's own mouse-move handler sees
// only its bare surface. The link label sees its own.
void Form1::keepMouseMovesWithControls()
{
    for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        child->setAttribute(Qt::WA_NoMousePropagation);
    Label5->setMouseTracking(true);
    Label5->installEventFilter(this);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label5 && event->type() == QEvent::MouseMove)
        Label5_MouseMove();
    return QWidget::eventFilter(watched, event);
}

} // namespace qelvora
