// The window's keyboard focus: the Tab order, a web panel as one Tab stop, Return on a button,
// and a button that takes back the focus a draw took from it.
#include "form1.h"

#include "text_boxes.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

#include <algorithm>
#include <array>
#include <utility>

namespace qelvora {

namespace {

// A web panel takes the focus through the inner widget its engine creates when it starts, to
// which the panel hands the focus on (its focus proxy). Qt keeps that inner widget right behind
// the panel in the focus chain, and Tab treats the two as one control; but setTabOrder() moves
// only widgets that accept focus themselves, and a panel does not by default. Placing the inner
// widget alone would leave the panel behind in its old place, where Tab would stop on it a
// second time. So the panel accepts focus itself and is placed as a whole.
void takesItsPlaceInTheTabOrder(QWebEngineView *panel) { panel->setFocusPolicy(Qt::StrongFocus); }

// Return and the keypad's Enter press the button that has the focus, once per press, as Space
// does. QPushButton does that itself only as an auto-default button, but such a button makes
// itself the default button whenever it takes the focus (isDefault() turns true), and the style
// then draws it with the default button's frame. This filter gives the buttons the key and
// leaves their state and look alone.
class EnterPressesButton final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        auto *button = static_cast<QPushButton *>(watched);
        // A disabled button still sees the key in its filters; it stays unpressed.
        if (!button->isEnabled())
            return false;
        // A held key repeats; only its first press counts, as with Space.
        if (!key->isAutoRepeat())
            button->click();
        return true;
    }
};

// A button that is disabled while it has the focus, as a draw or a run disables the button whose
// key started it, hands the focus on to the next control. Once enabled again it takes the focus
// back, unless the user has moved the focus in the meantime, by key or by a mouse click: Return,
// draw, Return runs two draws. The window may have lost its activation to a message box when the
// button is disabled; the focus it means is the window's own (focusWidget()), kept while another
// window is active, so only a move from one of the window's controls to another counts.
class TakesBackItsFocus final : public QObject {
public:
    explicit TakesBackItsFocus(QPushButton *button)
        : QObject(button)
        , m_button(button)
    {
        button->installEventFilter(this);
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget *from, QWidget *to) {
            if (m_waiting && from && to && from->window() == m_button->window()
                && to->window() == m_button->window())
                m_waiting = false; // the user moved it
        });
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::FocusIn:
            m_hasFocus = true;
            break;
        case QEvent::FocusOut: {
            // Another window taking the activation leaves the button the window's focus, and
            // being disabled is what is waited for below.
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            if (m_button->isEnabled() && reason != Qt::ActiveWindowFocusReason
                && reason != Qt::PopupFocusReason)
                m_hasFocus = false;
            break;
        }
        case QEvent::EnabledChange:
            // Qt has handed the focus on before it tells the button that it is disabled, so the
            // hand-on is not taken for a move of the user's.
            if (!m_button->isEnabled())
                m_waiting = std::exchange(m_hasFocus, false);
            else if (std::exchange(m_waiting, false))
                m_button->setFocus(Qt::OtherFocusReason);
            break;
        default:
            break;
        }
        return false;
    }

private:
    QPushButton *m_button;
    bool m_hasFocus = false;
    bool m_waiting = false;
};

} // namespace

// Watches both panels and the widgets inside them. The widgets inside a panel, the one that takes
// its focus among them, come and go with its engine: when one arrives, Qt moves the panel with it
// to the end of the focus chain, so the Tab order is laid again and the new widget watched too.
// Tab in a panel goes to the next control of the window, not to the page's next link or field: a
// panel is one stop (focusNextPrevChild()). Ctrl+Tab and the like stay the page's.
class Form1::PanelTabStops final : public QObject {
public:
    explicit PanelTabStops(Form1 *window)
        : QObject(window)
        , m_window(window)
    {
        for (QWebEngineView *panel : panels())
            panel->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const auto all = panels();
        const bool isPanel = std::find(all.begin(), all.end(), watched) != all.end();
        if (isPanel && event->type() == QEvent::ChildAdded) {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_window->setUpTabOrder();
                    watchInnerWidgets();
                },
                Qt::QueuedConnection);
        }
        if (!isPanel && event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
            const auto held = key->modifiers();
            if (tab && !(held & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
                m_window->focusNextPrevChild(key->key() == Qt::Key_Tab
                                             && !(held & Qt::ShiftModifier));
                return true;
            }
        }
        return false;
    }

private:
    std::array<QWebEngineView *, 2> panels() const
    {
        return {m_window->WebBrowser1, m_window->WebBrowser2};
    }

    void watchInnerWidgets()
    {
        for (QWebEngineView *panel : panels()) {
            for (QWidget *inner : panel->findChildren<QWidget *>())
                inner->installEventFilter(this); // once, however often this runs
        }
    }

    Form1 *m_window;
};

// Inside the panel that has the focus, the down and up arrows move the page's focus to its next
// or previous link or field (wrapping round), and Return follows a link as it does in any
// browser; Tab leaves the panel. A field whose own arrows do something (a text area, a list, a
// number or a date) keeps them. The script runs in a world of its own, out of the page's reach,
// and is first to see a key.
constexpr char kArrowsWalkLinks[] = R"js(
(function () {
    var ownArrows = /^(number|range|date|time|datetime-local|month|week)$/;
    function stops() {
        var all = document.querySelectorAll(
            'a[href], area[href], button, input:not([type=hidden]), select, textarea, [tabindex]');
        return Array.prototype.filter.call(all, function (e) {
            return !e.disabled && e.tabIndex >= 0 && e.getClientRects().length > 0;
        });
    }
    window.addEventListener('keydown', function (event) {
        if ((event.key !== 'ArrowDown' && event.key !== 'ArrowUp') || event.altKey
            || event.ctrlKey || event.metaKey || event.shiftKey)
            return;
        var active = document.activeElement;
        if (active && (active.isContentEditable || /^(TEXTAREA|SELECT)$/.test(active.tagName)
                       || (active.tagName === 'INPUT' && ownArrows.test(active.type))))
            return;
        var list = stops();
        if (!list.length)
            return;
        var at = list.indexOf(active);
        var next = event.key === 'ArrowDown' ? (at + 1) % list.length
                                             : (at <= 0 ? list.length : at) - 1;
        list[next].focus();
        event.preventDefault();
    }, true);
})();
)js";

void Form1::letArrowsWalkPanelLinks(QWebEnginePage *page)
{
    QWebEngineScript script;
    script.setName(QStringLiteral("qelvora-arrows"));
    script.setSourceCode(QString::fromLatin1(kArrowsWalkLinks));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(false);
    page->scripts().insert(script);
}

bool Form1::panelHasFocus(const QWebEngineView *panel) const
{
    const QWidget *focus = QApplication::focusWidget();
    return focus && (focus == panel || panel->isAncestorOf(focus));
}

// A panel draws no focus indicator of its own (its page may show one around a link, or nothing),
// so the window draws a frame around the panel that has the focus, on its own surface just
// outside the panel, in the highlight colour.
void Form1::paintPanelFocusFrame(QPainter &painter)
{
    for (const QWebEngineView *panel : {WebBrowser1, WebBrowser2}) {
        // A panel may be gone: the benchmarks time the window without its panels.
        if (!panel || !panel->isVisible() || !panelHasFocus(panel))
            continue;
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(panel->geometry()).adjusted(-1, -1, 1, 1));
    }
}

void Form1::tearDownFocus()
{
    disconnect(qApp, nullptr, this, nullptr);
    delete std::exchange(m_panelTabStops, nullptr);
}

void Form1::setUpFocus()
{
    // The focus frame follows the focus into and out of the panels.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *from, QWidget *to) {
        for (const QWebEngineView *panel : {WebBrowser1, WebBrowser2}) {
            if (!panel)
                continue;
            const auto within = [panel](const QWidget *w) {
                return w && (w == panel || panel->isAncestorOf(w));
            };
            if (within(from) || within(to))
                update(panel->geometry().adjusted(-3, -3, 3, 3));
        }
    });
    for (QWebEngineView *panel : {WebBrowser1, WebBrowser2})
        takesItsPlaceInTheTabOrder(panel);
    auto *enterPressesButton = new EnterPressesButton(this);
    for (QPushButton *button : {Command1, Command2, Command3}) {
        button->setAutoDefault(false);
        button->installEventFilter(enterPressesButton);
        new TakesBackItsFocus(button);
    }
    m_panelTabStops = new PanelTabStops(this);
    setUpTabOrder();
    Text1->setFocus();
}

void Form1::setUpTabOrder()
{
    // Labels take places in the order but never take focus; these are the focusable controls
    // in their order. Tab goes on from the last to the first.
    const QList<QWidget *> order = {Text1,       Text2,    Text3,    Command1, Text4,
                                    WebBrowser1, Text5,    Text6,    Text7,    Text8,
                                    WebBrowser2, Command2, Command3, Text9,    Text10,
                                    Text11,      Text12,   Text13,   Text14,   Text15};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

// Tab and Shift+Tab walk the focus chain that setUpTabOrder() lays, as Qt does, with one
// difference: a web panel is one stop, whatever its page holds. A panel that Qt gives the focus
// by Tab passes it on to its page's first link or field (by Shift+Tab, its last), and each of
// those would be a stop of its own, in a strip where a page shows next to nothing of them (the
// engine's own page for a site that cannot be reached has a link and a button). So a panel is
// given the focus as a whole, and Tab inside it leaves it (see eventFilter()).
bool Form1::focusNextPrevChild(bool next)
{
    QWidget *from = focusWidget();
    if (!from)
        return QWidget::focusNextPrevChild(next);
    // The control of the window that holds a widget: the widget itself, or the panel it is in.
    const auto controlOf = [this](QWidget *widget) -> QWidget * {
        while (widget && widget->parentWidget() != this)
            widget = widget->parentWidget();
        return widget;
    };
    const auto takesTab = [this](QWidget *widget) {
        return (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && widget->isEnabled()
            && widget->isVisibleTo(this);
    };
    QWidget *const leaving = controlOf(from);
    for (QWidget *w = next ? from->nextInFocusChain() : from->previousInFocusChain(); w != from;
         w = next ? w->nextInFocusChain() : w->previousInFocusChain()) {
        QWidget *control = controlOf(w);
        if (!control || control == leaving)
            continue;
        if (auto *panel = qobject_cast<QWebEngineView *>(control)) {
            if (!takesTab(panel))
                continue;
            panel->setFocus(Qt::OtherFocusReason); // not Tab: the page keeps its own focus
            return true;
        }
        if (!takesTab(w) || w->focusProxy())
            continue;
        w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
    return false;
}

} // namespace qelvora
