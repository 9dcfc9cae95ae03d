// The two web panels and the link label. The panels only show pages of the vendor site; the
// lower one loses its scroll bars whenever a document has loaded. What a page may do in a panel
// is kept in bounds by the panels' page class and the watch over their processes
// (panel_page.h). The link label turns blue under the mouse and red again over the bare window.
#include "chinese_texts.h"
#include "form1.h"
#include "panel_page.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <utility>

namespace qelvora {

namespace {

const QColor kLinkNormal(255, 0, 0);
const QColor kLinkHot(0, 0, 255);

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

void setLabelColor(QLabel *label, const QColor &color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

} // namespace

void Form1::connectWebPanels()
{
    for (QWebEngineView *view : {WebBrowser1, WebBrowser2}) {
        // The panel creates the inner widget that takes its focus only once the engine runs,
        // and Qt then moves the panel with it to the end of the focus chain; the tab order is
        // laid again then so that the panel keeps its place in it.
        view->installEventFilter(this);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint &position) { showPanelMenu(view, position); });
    }
    connect(WebBrowser2, &QWebEngineView::loadFinished, this,
            &Form1::WebBrowser2_DocumentComplete);
    panelWatch = new PanelWatch(this);
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
            navigation.view->setPage(new PanelPage(navigation.view));
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
    menu->setSeparatorsCollapsible(true);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(view->mapToGlobal(position));
}

void Form1::WebBrowser2_DocumentComplete()
{
    WebBrowser2->page()->runJavaScript(QString::fromUtf8(kHideScrollBars));
}

void Form1::Label5_MouseMove()
{
    setLabelColor(Label5, kLinkHot);
}

void Form1::Form_MouseMove()
{
    setLabelColor(Label5, kLinkNormal);
}

// The widgets inside a panel, the one that takes its focus among them, come and go with its
// engine; each is watched for Tab.
void Form1::watchPanelKeys()
{
    for (QWebEngineView *view : {WebBrowser1, WebBrowser2}) {
        for (QWidget *inner : view->findChildren<QWidget *>())
            inner->installEventFilter(this); // once, however often this runs
    }
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label5 && event->type() == QEvent::MouseMove)
        Label5_MouseMove();
    if ((watched == WebBrowser1 || watched == WebBrowser2) && event->type() == QEvent::ChildAdded) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                setUpTabOrder();
                watchPanelKeys();
            },
            Qt::QueuedConnection);
    }
    // Tab in a panel goes to the next control of the window, not to the page's next link or
    // field: a panel is one stop (focusNextPrevChild()). Ctrl+Tab and the like stay the page's.
    if (event->type() == QEvent::KeyPress && watched != WebBrowser1 && watched != WebBrowser2
        && (WebBrowser1->isAncestorOf(static_cast<QWidget *>(watched))
            || WebBrowser2->isAncestorOf(static_cast<QWidget *>(watched)))) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        const auto held = key->modifiers();
        if (tab && !(held & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
            focusNextPrevChild(key->key() == Qt::Key_Tab && !(held & Qt::ShiftModifier));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace qelvora
