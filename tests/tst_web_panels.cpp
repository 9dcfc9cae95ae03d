// The two web panels and the link label: the pages the panels ask for, the lower panel losing its
// scroll bars on every load, documents without a body, sites that refuse or never answer, the
// keyboard focus while pages arrive, the language the panels speak, and the link label's colour
// under the mouse.
//
// The pages come from a real HTTP server on loopback inside the test; nothing leaves the machine.
// The test runs in the C locale, as on a desktop set to no language at all, and sets up the
// program's texts as the program does.
#include "form1.h"
#include "panel_page.h"
#include "support/loopback_site.h"
#include "support/test_support.h"
#include "text_boxes.h"

#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <memory>

using namespace qelvora;

namespace {

// The lower panel's start page as it must travel on the wire: "/彩票/双色球.htm" in UTF-8,
// percent-encoded.
const QByteArray kLotteryPathOnWire = "/%E5%BD%A9%E7%A5%A8/%E5%8F%8C%E8%89%B2%E7%90%83.htm";
const QByteArray kNewsPath = "/page/rjtqyb/index.php";

// A page far taller and wider than either panel. The page may also try to take the keyboard
// focus as it loads, by an autofocus field and by focus() calls; such a page has a link after
// the field, so that Tab meets two elements in it.
QByteArray bigPage(const QByteArray &title, bool standardsMode = true, bool grabFocus = false)
{
    return (standardsMode ? QByteArray("<!DOCTYPE html>") : QByteArray())
        + "<html><head><meta charset=\"utf-8\"><title>" + title + "</title></head><body>"
        + (grabFocus
               ? QByteArray("<input id=\"box\" autofocus><a id=\"more\" href=\"#content\">更多</a>")
               : QByteArray())
        + "<div id=\"content\" style=\"width:3000px;height:3000px\">双色球</div>"
        + (grabFocus ? QByteArray("<script>window.focus(); "
                                  "document.getElementById('box').focus();</script>")
                     : QByteArray())
        + "</body></html>";
}

const QByteArray kHtml = "text/html; charset=utf-8";

using test::centreOf;
using test::evaluate;
using test::LoopbackSite;

// What the panel's document looks like to a user: whether scroll bars take room in the viewport,
// whether the content overflows it, and the settings that hide the bars.
struct ScrollState {
    bool hasBody = false;
    int verticalBar = -1;   // width the vertical scroll bar takes, 0 when there is none
    int horizontalBar = -1; // height the horizontal scroll bar takes
    bool overflows = false; // the content is larger than the viewport both ways
    QString bodyOverflow;
    QString rootOverflow;
    QString rootInlineOverflow;
    QVariant scrollAttribute;
    QString title;
};

ScrollState scrollState(QWebEngineView *view)
{
    const QVariantMap m = evaluate(view, QStringLiteral(R"js(
(function () {
    var root = document.documentElement, body = document.body;
    var content = document.getElementById('content');
    // The visual viewport leaves out the room scroll bars take, in any rendering mode.
    var viewport = window.visualViewport;
    return {
        hasBody: !!body,
        verticalBar: Math.round(window.innerWidth - viewport.width * viewport.scale),
        horizontalBar: Math.round(window.innerHeight - viewport.height * viewport.scale),
        overflows: !!content && content.offsetWidth > window.innerWidth
                   && content.offsetHeight > window.innerHeight,
        bodyOverflow: body ? getComputedStyle(body).overflow : '',
        rootOverflow: getComputedStyle(root).overflow,
        rootInlineOverflow: root.style ? root.style.overflow : '',
        scrollAttribute: body ? body.getAttribute('scroll') : root.getAttribute('scroll'),
        title: document.title || ''
    };
})()
)js"))
                              .toMap();
    ScrollState s;
    s.hasBody = m.value(QStringLiteral("hasBody")).toBool();
    s.verticalBar = m.value(QStringLiteral("verticalBar"), -1).toInt();
    s.horizontalBar = m.value(QStringLiteral("horizontalBar"), -1).toInt();
    s.overflows = m.value(QStringLiteral("overflows")).toBool();
    s.bodyOverflow = m.value(QStringLiteral("bodyOverflow")).toString();
    s.rootOverflow = m.value(QStringLiteral("rootOverflow")).toString();
    s.rootInlineOverflow = m.value(QStringLiteral("rootInlineOverflow")).toString();
    s.scrollAttribute = m.value(QStringLiteral("scrollAttribute"));
    s.title = m.value(QStringLiteral("title")).toString();
    return s;
}

// Counts, per widget, the mouse moves Qt hands to it, the propagation to parents included.
class MoveRecorder : public QObject {
public:
    MoveRecorder() { qApp->installEventFilter(this); }
    ~MoveRecorder() override { qApp->removeEventFilter(this); }
    int to(const QObject *receiver) const { return m_moves.value(receiver); }
    void clear() { m_moves.clear(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseMove)
            ++m_moves[watched];
        return false;
    }

private:
    QHash<const QObject *, int> m_moves;
};

// Any console error the page reports, such as an exception thrown by a script run in it. A
// page of the panels' own class, so that the window keeps it.
class ConsoleWatchingPage : public PanelPage {
public:
    using PanelPage::PanelPage;
    QStringList errors;

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int,
                                  const QString &) override
    {
        if (level == ErrorMessageLevel)
            errors.append(message);
    }
};

// The shared panel window, able to lead its lower panel on to another page.
struct TestWindow : test::PanelWindow {
    using test::PanelWindow::PanelWindow;

    // Lets the lower panel go on to another page and waits until that load has finished.
    bool followLink(const QUrl &url, int timeoutMs = 20000)
    {
        const qsizetype before = lowerLoads->count();
        const QString href = url.toString(QUrl::FullyEncoded);
        evaluate(window->WebBrowser2, QStringLiteral("location.href = '%1'; true").arg(href));
        return test::waitUntil([&] { return lowerLoads->count() > before; }, timeoutMs)
            && lowerLoads->last().first().toBool();
    }
};

} // namespace

// Starting the web engine's page processes is what costs time here, so most cases share one
// window, opened on a site that serves every page. Qt Test runs the cases in the order below;
// the first three look at the start pages, later ones lead the lower panel on to other pages.
class TestWebPanels : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void startPagesRequestedOnceOnTheWire();
    void arrivingPagesLeaveTheFocusInText1();
    void tabWalksTheWholeOrderAndWraps();
    void panelsSpeakChinese();
    void lowerPanelLosesItsScrollBars();
    void laterPagesLoseTheirScrollBarsToo_data();
    void laterPagesLoseTheirScrollBarsToo();
    void linkLabelColourFollowsTheMouse();
    void drawRunsWhateverThePanelsDo_data();
    void drawRunsWhateverThePanelsDo();
    void documentsWithoutBodyAreLeftAlone();
    void focusedPanelShowsAFrameAndArrowsWalkItsLinks();

private:
    std::unique_ptr<LoopbackSite> m_site;
    std::unique_ptr<TestWindow> m_shared;
};

void TestWebPanels::initTestCase()
{
    QCOMPARE(QString::fromLocal8Bit(qgetenv("LC_ALL")), QStringLiteral("C"));
    Module1 = DrawSlots();
    m_site = std::make_unique<LoopbackSite>();
    QVERIFY(m_site->listening());
    m_site->put(kNewsPath, kHtml, bigPage("news", true, true));
    m_site->put(kLotteryPathOnWire, kHtml, bigPage("lottery", true, true));
    m_site->put("/later.htm", kHtml, bigPage("later"));
    m_site->put("/quirks.htm", kHtml, bigPage("quirks", false));

    m_shared = std::make_unique<TestWindow>(m_site->base());
    QVERIFY(m_shared->show());
    m_shared->window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_shared->window.get()));
    QVERIFY(m_shared->waitForBothLoads());
}

void TestWebPanels::cleanupTestCase()
{
    m_shared.reset();
    m_site.reset();
}

// Each panel asks for its page once; the lower panel's path goes out as UTF-8, percent-encoded.
// (The server sees the path through QUrl, which writes any percent-encoding in one canonical
// form; a wrong character set or a second round of encoding still shows.)
void TestWebPanels::startPagesRequestedOnceOnTheWire()
{
    Form1 &window = *m_shared->window;
    QCOMPARE(m_shared->upperLoads->count(), 1);
    QCOMPARE(m_shared->lowerLoads->count(), 1);
    QCOMPARE(m_shared->upperLoads->first().first().toBool(), true);
    QCOMPARE(m_shared->lowerLoads->first().first().toBool(), true);

    QCOMPARE(m_site->count(kNewsPath), 1);
    QCOMPARE(m_site->count(kLotteryPathOnWire), 1);
    QCOMPARE(QUrl::toPercentEncoding(QStringLiteral("/彩票/双色球.htm"), "/"), kLotteryPathOnWire);
    QCOMPARE(window.WebBrowser1->url(),
             m_site->base().resolved(QUrl(QString::fromLatin1(kNewsPath))));
    QCOMPARE(window.WebBrowser2->url().path(), QStringLiteral("/彩票/双色球.htm"));
    QCOMPARE(window.WebBrowser2->url().port(), m_site->base().port());
    QCOMPARE(window.WebBrowser1->title(), QStringLiteral("news"));
    QCOMPARE(window.WebBrowser2->title(), QStringLiteral("lottery"));
}

// Both start pages try to take the focus as they load (autofocus, focus() calls) while the
// window is active: the caret stays in Text1.
void TestWebPanels::arrivingPagesLeaveTheFocusInText1()
{
    Form1 &window = *m_shared->window;
    // The pages did run their focus calls.
    QCOMPARE(evaluate(window.WebBrowser1, QStringLiteral("document.activeElement.id")),
             QVariant(QStringLiteral("box")));
    QCOMPARE(evaluate(window.WebBrowser2, QStringLiteral("document.activeElement.id")),
             QVariant(QStringLiteral("box")));
    QELVORA_TRY_COMPARE(scrollState(window.WebBrowser2).scrollAttribute.toString(),
                        QStringLiteral("no"), 5000);
    QCoreApplication::processEvents();

    QVERIFY(window.isActiveWindow());
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(window.Text1));
    QVERIFY(!window.WebBrowser1->hasFocus());
    QVERIFY(!window.WebBrowser2->hasFocus());
}

// Tab from Text1, key by key, twice round the whole order: every control in its place, each
// panel in its own place only, and from the last reference box back to Text1. A panel is one
// stop whatever its page holds, a field and a link here: Tab gives the panel the focus, and its
// page keeps the element it had focused itself (the field); the next Tab goes on to the next
// control. Shift+Tab goes the same way back. (Command3 is disabled in the idle window and so is
// passed over; it is enabled for the way back, where it must take its place between Text9 and
// Command2.)
void TestWebPanels::tabWalksTheWholeOrderAndWraps()
{
    Form1 &window = *m_shared->window;
    QVERIFY(window.isActiveWindow());
    window.Text1->setFocus();
    QCOMPARE(test::focusStop(window), QStringLiteral("Text1"));

    const QStringList cycle = {"Text2",    "Text3",  "Command1", "Text4",  "WebBrowser1#box",
                               "Text5",    "Text6",  "Text7",    "Text8",  "WebBrowser2#box",
                               "Command2", "Text9",  "Text10",   "Text11", "Text12",
                               "Text13",   "Text14", "Text15",   "Text1"};
    QCOMPARE(test::tabThrough(window, 2 * cycle.size()).join(u' '), (cycle + cycle).join(u' '));

    window.Command3->setEnabled(true);
    const QStringList back = {"Text15", "Text14",   "Text13",   "Text12",   "Text11",
                              "Text10", "Text9",    "Command3", "Command2", "WebBrowser2#box",
                              "Text8",  "Text7",    "Text6",    "Text5",    "WebBrowser1#box",
                              "Text4",  "Command1", "Text3",    "Text2",    "Text1"};
    const QStringList walkedBack = test::tabThrough(window, back.size(), true);
    window.Command3->setEnabled(false);
    QCOMPARE(walkedBack.join(u' '), back.join(u' '));
}

namespace {

// The texts of the menu that a right click at the given spot of the panel's page opens, in their
// order, without separators; the menu is closed again.
QStringList panelMenuAt(QWebEngineView *panel, const QPoint &spot)
{
    QWidget *page = panel->focusProxy();
    if (!page)
        return {QStringLiteral("(panel not started)")};
    QTest::mouseClick(page, Qt::RightButton, {}, spot);
    QMenu *menu = nullptr;
    if (!test::waitUntil(
            [&] {
                return (menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) != nullptr;
            },
            10000))
        return {QStringLiteral("(no menu)")};
    QStringList texts;
    for (const QAction *action : menu->actions()) {
        if (action->isVisible() && !action->isSeparator())
            texts << action->text();
    }
    menu->close();
    return texts;
}

} // namespace

// In the C locale the panels' own texts are Chinese as the window's are, their menu offers only
// what works in a panel, and the sites are asked for Chinese pages.
void TestWebPanels::panelsSpeakChinese()
{
    Form1 &window = *m_shared->window;
    const QStringList pageMenu = {QStringLiteral("后退"), QStringLiteral("前进"),
                                  QStringLiteral("重新加载")};
    const QStringList linkMenu = pageMenu + QStringList{QStringLiteral("复制链接地址")};
    for (QWebEngineView *panel : {window.WebBrowser1, window.WebBrowser2}) {
        QCOMPARE(panelMenuAt(panel, centreOf(panel, QStringLiteral("#content"))).join(u' '),
                 pageMenu.join(u' '));
        QCOMPARE(panelMenuAt(panel, centreOf(panel, QStringLiteral("#more"))).join(u' '),
                 linkMenu.join(u' '));
        QCOMPARE(evaluate(panel, QStringLiteral("navigator.language")),
                 QVariant(QStringLiteral("zh-CN")));
    }
    QVERIFY(!m_site->requests.isEmpty());
    for (const LoopbackSite::Request &request : std::as_const(m_site->requests))
        QCOMPARE(request.header("Accept-Language"), QByteArray("zh-CN"));
    // The right clicks put the focus into the lower panel's page.
    window.Text1->setFocus();
}

// The same oversized page in both panels: the lower one ends with no scroll bars, the upper one
// keeps both.
void TestWebPanels::lowerPanelLosesItsScrollBars()
{
    Form1 &window = *m_shared->window;
    QELVORA_TRY_COMPARE(scrollState(window.WebBrowser2).verticalBar, 0, 10000);
    const ScrollState lower = scrollState(window.WebBrowser2);
    QCOMPARE(lower.title, QStringLiteral("lottery"));
    QVERIFY(lower.hasBody);
    QVERIFY(lower.overflows);
    QCOMPARE(lower.verticalBar, 0);
    QCOMPARE(lower.horizontalBar, 0);
    QCOMPARE(lower.bodyOverflow, QStringLiteral("hidden"));
    QCOMPARE(lower.rootOverflow, QStringLiteral("hidden"));
    QCOMPARE(lower.scrollAttribute.toString(), QStringLiteral("no"));

    const ScrollState upper = scrollState(window.WebBrowser1);
    QCOMPARE(upper.title, QStringLiteral("news"));
    QVERIFY(upper.hasBody);
    QVERIFY(upper.overflows);
    QVERIFY2(upper.verticalBar > 0, qPrintable(QString::number(upper.verticalBar)));
    QVERIFY2(upper.horizontalBar > 0, qPrintable(QString::number(upper.horizontalBar)));
    QCOMPARE(upper.bodyOverflow, QStringLiteral("visible"));
    QCOMPARE(upper.rootOverflow, QStringLiteral("visible"));
    QVERIFY(upper.scrollAttribute.isNull());
}

void TestWebPanels::laterPagesLoseTheirScrollBarsToo_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("byLink");
    QTest::newRow("link, standards mode")
        << QStringLiteral("/later.htm") << QStringLiteral("later") << true;
    QTest::newRow("load(), quirks mode")
        << QStringLiteral("/quirks.htm") << QStringLiteral("quirks") << false;
}

// Pages the lower panel goes on to later, through a link in its page or a new load, lose their
// scroll bars as well.
void TestWebPanels::laterPagesLoseTheirScrollBarsToo()
{
    QFETCH(QString, path);
    QFETCH(QString, title);
    QFETCH(bool, byLink);
    Form1 &window = *m_shared->window;
    const QUrl url = m_site->base().resolved(QUrl(path));
    const qsizetype loads = m_shared->lowerLoads->count();
    if (byLink) {
        QVERIFY(m_shared->followLink(url));
    } else {
        window.WebBrowser2->load(url);
        QELVORA_TRY_COMPARE(m_shared->lowerLoads->count(), loads + 1, 20000);
        QCOMPARE(m_shared->lowerLoads->last().first().toBool(), true);
    }
    QCOMPARE(m_shared->lowerLoads->count(), loads + 1);
    QCOMPARE(m_site->count(path.toLatin1()), 1);

    QELVORA_TRY_COMPARE(scrollState(window.WebBrowser2).verticalBar, 0, 10000);
    const ScrollState later = scrollState(window.WebBrowser2);
    QCOMPARE(later.title, title);
    QVERIFY(later.overflows);
    QCOMPARE(later.horizontalBar, 0);
    QCOMPARE(later.bodyOverflow, QStringLiteral("hidden"));
    QCOMPARE(later.rootOverflow, QStringLiteral("hidden"));
    QCOMPARE(later.scrollAttribute.toString(), QStringLiteral("no"));
}

// Moves go through Qt's own routing from the window to the widget under the cursor: the label
// turns blue under the mouse and red again over the window's bare surface only.
void TestWebPanels::linkLabelColourFollowsTheMouse()
{
    Form1 *form = m_shared->window.get();
    QWindow *window = form->windowHandle();
    QVERIFY(window);
    const QColor red(255, 0, 0);
    const QColor blue(0, 0, 255);
    auto colour = [form] { return form->Label5->palette().color(QPalette::WindowText); };
    auto centre = [](QWidget *w) { return w->geometry().center(); };
    MoveRecorder moves;

    // Bare surface points, checked to be bare: beside the log, and on both separator lines.
    const QPoint bare(10, 400);
    const QPoint line1(250, 40);
    const QPoint line2(250, 152);
    for (const QPoint &p : {bare, line1, line2})
        QVERIFY2(!form->childAt(p), qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
    QCOMPARE(form->childAt(centre(form->Label5)), static_cast<QWidget *>(form->Label5));

    QCOMPARE(colour(), red);
    QTest::mouseMove(window, centre(form->Label5));
    QCOMPARE(colour(), blue);
    QVERIFY(moves.to(form->Label5) > 0);
    QCOMPARE(moves.to(form), 0);

    // Straight from the label onto other controls: the label stays blue, and the window's own
    // mouse-move handler never sees these moves, which do arrive at the control.
    // Each control by its name, the mouse over its centre unless a spot is given.
    const std::pair<const char *, QPoint> others[] = {
        {"Text4", {}}, {"Label10", {}},  {"Label7", {}},      {"Label1", QPoint(60, 226)},
        {"Text1", {}}, {"Command3", {}}, {"WebBrowser2", {}}, {"WebBrowser1", {}},
    };
    QVERIFY(!form->Command3->isEnabled());
    for (const auto &[name, spot] : others) {
        QWidget *control = test::control(*form, QString::fromLatin1(name));
        QVERIFY2(control, name);
        const QPoint at = spot.isNull() ? centre(control) : spot;
        QWidget *hit = form->childAt(at);
        QVERIFY2(hit && (hit == control || control->isAncestorOf(hit)), name);
        moves.clear();
        QTest::mouseMove(window, at);
        QVERIFY2(colour() == blue, name);
        QVERIFY2(moves.to(form) == 0, name);
        int delivered = moves.to(control);
        for (QWidget *w : control->findChildren<QWidget *>())
            delivered += moves.to(w);
        QVERIFY2(delivered > 0, name);
    }

    // Over the bare surface, separator lines included, it turns red again, through one call of
    // the window's handler.
    for (const QPoint &p : {bare, line1, line2}) {
        QTest::mouseMove(window, centre(form->Label5));
        QCOMPARE(colour(), blue);
        moves.clear();
        QTest::mouseMove(window, p);
        QCOMPARE(colour(), red);
        QCOMPARE(moves.to(form), 1);
    }

    // A click on the label opens nothing and changes nothing; the cursor stays the arrow.
    QTest::mouseMove(window, centre(form->Label5));
    const QUrl upper = form->WebBrowser1->url();
    const QUrl lower = form->WebBrowser2->url();
    QTest::mouseClick(window, Qt::LeftButton, {}, centre(form->Label5));
    QCOMPARE(form->Label5->text(), QStringLiteral(">>>> Qelvora工具下载"));
    QCOMPARE(colour(), blue);
    QCOMPARE(form->Label5->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(form->WebBrowser1->url(), upper);
    QCOMPARE(form->WebBrowser2->url(), lower);
    QVERIFY(!QApplication::activeModalWidget());
    const QWidgetList tops = QApplication::topLevelWidgets();
    QCOMPARE(std::count_if(tops.begin(), tops.end(), [](QWidget *w) { return w->isVisible(); }), 1);
    QTest::mouseMove(window, bare);
}

void TestWebPanels::drawRunsWhateverThePanelsDo_data()
{
    QTest::addColumn<QString>("site");
    QTest::newRow("pages loaded") << QStringLiteral("serving");
    QTest::newRow("connection refused") << QStringLiteral("refusing");
    QTest::newRow("never answers") << QStringLiteral("silent");
}

// The same scripted draw gives the same boxes and log entry whether the panels' pages have
// loaded, failed or still hang.
void TestWebPanels::drawRunsWhateverThePanelsDo()
{
    QFETCH(QString, site);
    // A site that takes every request and never answers it.
    LoopbackSite silent;
    silent.handleOthers([](const LoopbackSite::Request &, QTcpSocket *) {});
    std::unique_ptr<TestWindow> own;
    TestWindow *tw = m_shared.get();
    if (site == QLatin1String("refusing"))
        own = std::make_unique<TestWindow>(test::kNowhere);
    else if (site == QLatin1String("silent"))
        own = std::make_unique<TestWindow>(silent.base());
    if (own) {
        tw = own.get();
        QVERIFY(tw->show());
    }
    Form1 &window = *tw->window;
    QVERIFY(window.isVisible());

    if (site == QLatin1String("silent")) {
        // Both requests are out and held.
        QELVORA_TRY_VERIFY(silent.requests.size() >= 2, 20000);
    } else {
        QVERIFY(tw->waitForBothLoads());
        const bool loaded = site == QLatin1String("serving");
        QCOMPARE(tw->upperLoads->first().first().toBool(), loaded);
        QCOMPARE(tw->lowerLoads->first().first().toBool(), loaded);
    }

    Module1 = DrawSlots();
    tw->random->queueDraw({7, 12, 3, 30, 1, 25}, 9);
    QTest::mouseClick(window.Command1, Qt::LeftButton);
    QVERIFY(window.drawRunning());
    QELVORA_TRY_VERIFY(window.Command1->isEnabled(), 10000);

    QCOMPARE(test::ballTexts(window), QStringList({"07", "12", "03", "30", "01", "25", "09"}));
    QCOMPARE(window.Text4->text(), test::logEntry(1, {7, 12, 3, 30, 1, 25}, 9));
    QCOMPARE(window.Label4->text(), QStringLiteral("1"));
    QCOMPARE(tw->random->shortfall, 0);
    QVERIFY(!window.drawRunning());
    QVERIFY(!QApplication::activeModalWidget());
    if (site == QLatin1String("refusing")) {
        // The panels show the engine's own error page, in Chinese; the program says nothing.
        for (QWebEngineView *panel : {window.WebBrowser1, window.WebBrowser2}) {
            QCOMPARE(evaluate(panel, QStringLiteral("location.protocol")),
                     QVariant(QStringLiteral("chrome-error:")));
            QCOMPARE(evaluate(panel, QStringLiteral("document.body.innerText.split('\\n')[0]")),
                     QVariant(QStringLiteral("无法访问此网站")));
        }
    }
    if (site == QLatin1String("silent")) {
        // The draw ran from start to end while both pages were still on their way.
        QCOMPARE(tw->upperLoads->count(), 0);
        QCOMPARE(tw->lowerLoads->count(), 0);
    }
}

// An SVG document and an XML document styled by CSS (neither has a body) in the lower panel:
// the handler finds no body, changes nothing and throws nothing, and the panel goes on to handle
// the next page as usual. A window of its own, whose lower panel reports console errors, so
// that a script failing in the document shows.
void TestWebPanels::documentsWithoutBodyAreLeftAlone()
{
    LoopbackSite site;
    QVERIFY(site.listening());
    site.put(kLotteryPathOnWire, "image/svg+xml",
             "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"3000\" height=\"3000\">"
             "<title>drawing</title><circle cx=\"50\" cy=\"50\" r=\"40\"/></svg>");
    site.put("/draws.xml", "application/xml",
             "<?xml version=\"1.0\"?><?xml-stylesheet type=\"text/css\" href=\"/draws.css\"?>"
             "<draws><draw>07 12 03 30 01 25 + 09</draw></draws>");
    site.put("/draws.css", "text/css", "draws, draw { display: block; width: 3000px; }");
    site.put("/next.htm", kHtml, bigPage("next"));

    TestWindow tw(site.base());
    Form1 &window = *tw.window;
    auto *page = new ConsoleWatchingPage(window.WebBrowser2);
    window.WebBrowser2->setPage(page);
    QVERIFY(tw.show());
    QELVORA_TRY_VERIFY(!tw.lowerLoads->isEmpty(), 20000);
    QCOMPARE(tw.lowerLoads->first().first().toBool(), true);

    const QStringList rootNames = {QStringLiteral("svg"), QStringLiteral("draws")};
    for (const QString &rootName : rootNames) {
        if (rootName == QLatin1String("draws"))
            QVERIFY(tw.followLink(site.base().resolved(QUrl(QStringLiteral("/draws.xml")))));
        QCOMPARE(evaluate(window.WebBrowser2, QStringLiteral("document.documentElement.nodeName")),
                 QVariant(rootName));
        // Whatever the handler did has been done by the time a later script runs.
        const ScrollState state = scrollState(window.WebBrowser2);
        QVERIFY2(!state.hasBody, qPrintable(rootName));
        QCOMPARE(state.rootInlineOverflow, QString());
        QVERIFY(state.scrollAttribute.isNull());
        QCOMPARE(evaluate(window.WebBrowser2,
                          QStringLiteral("document.documentElement.hasAttribute('style')")),
                 QVariant(false));
        QCOMPARE(page->errors, QStringList());
    }

    QVERIFY(tw.followLink(site.base().resolved(QUrl(QStringLiteral("/next.htm")))));
    QELVORA_TRY_COMPARE(scrollState(window.WebBrowser2).verticalBar, 0, 10000);
    const ScrollState next = scrollState(window.WebBrowser2);
    QCOMPARE(next.title, QStringLiteral("next"));
    QCOMPARE(next.horizontalBar, 0);
    QCOMPARE(next.scrollAttribute.toString(), QStringLiteral("no"));
    QCOMPARE(page->errors, QStringList());
    QCOMPARE(tw.lowerLoads->count(), 3);
    QVERIFY(window.isVisible());
}

// Whether the window paints a focus frame around the panel: the pixel just left of its middle is
// in the window's highlight colour.
bool framed(Form1 &window, QWebEngineView *panel)
{
    const QImage shot = window.grab().toImage();
    const QPoint outside = panel->geometry().topLeft() + QPoint(-1, panel->height() / 2);
    const qreal scale = shot.devicePixelRatio();
    return shot.pixelColor(QPoint(qRound(outside.x() * scale), qRound(outside.y() * scale)))
        == window.palette().color(QPalette::Highlight);
}

// The panel that has the focus shows a frame. Inside it, the down and up arrows walk the page's
// links and fields, Return follows a link, and Tab still leaves the panel in one step.
void TestWebPanels::focusedPanelShowsAFrameAndArrowsWalkItsLinks()
{
    Form1 &window = *m_shared->window;
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    // The page keeps its own focus while the panel does not have it; earlier cases moved it.
    evaluate(window.WebBrowser1, QStringLiteral("document.getElementById('box').focus()"));
    window.Text4->setFocus();
    QELVORA_TRY_COMPARE(test::focusStop(window), QStringLiteral("Text4"), 5000);
    QVERIFY(!framed(window, window.WebBrowser1));

    QCOMPARE(test::tabThrough(window, 1), QStringList{"WebBrowser1#box"});
    QVERIFY(framed(window, window.WebBrowser1));
    QVERIFY(!framed(window, window.WebBrowser2));

    const auto arrow = [&](Qt::Key key) {
        const QString before = test::focusStop(window);
        QTest::keyClick(QApplication::focusWidget(), key);
        test::waitUntil([&] { return test::focusStop(window) != before; }, 5000);
        return test::focusStop(window);
    };
    QCOMPARE(arrow(Qt::Key_Down), QStringLiteral("WebBrowser1#more"));
    QCOMPARE(arrow(Qt::Key_Down), QStringLiteral("WebBrowser1#box"));
    QCOMPARE(arrow(Qt::Key_Up), QStringLiteral("WebBrowser1#more"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QELVORA_TRY_COMPARE(window.WebBrowser1->url().fragment(), QStringLiteral("content"), 5000);

    QCOMPARE(test::tabThrough(window, 1), QStringList{"Text5"});
    QVERIFY(!framed(window, window.WebBrowser1));
}

QELVORA_TEST_MAIN(TestWebPanels)
#include "tst_web_panels.moc"
