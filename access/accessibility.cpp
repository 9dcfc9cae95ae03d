// The window's own accessible interfaces, and what the window tells assistive technology. Qt's
// stock interfaces expose a top-level QWidget with the role Client (a "filler" to AT-SPI), read a
// label by a fixed accessible name only, and let assistive technology rewrite any line or text
// edit, read-only or not. These give the window the role of a frame, read the draw counter with
// its count, keep the locked boxes locked, leave the labels that only decorate out of the
// window's children, and show the application's real windows only, not the web engine's
// offscreen ones. Every event the window sends passes through one handler (Reporter below), which
// keeps the rollers' steps to themselves and makes a control's focus event come first.
#include "accessibility.h"

#include "form1.h"
#include "text_boxes.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QApplication>
#include <QFontMetrics>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTextCursor>
#include <QTextDocument>
#include <QWebEngineView>
#include <QWindow>

#include <algorithm>
#include <tuple>
#include <utility>

namespace qelvora {

namespace {

Form1 *windowOf(const QWidget *control)
{
    return control ? qobject_cast<Form1 *>(control->parentWidget()) : nullptr;
}

// The empty label, the brackets around the count and the plus signs: a reader would speak them
// as objects of their own, and they say nothing that the controls' names do not.
bool decorates(const Form1 &window, const QWidget *control)
{
    return control == window.Label1 || control == window.Label2 || control == window.Label3
        || control == window.Label7 || control == window.Label8;
}

template <typename Boxes>
bool holds(const Boxes &boxes, const QWidget *control)
{
    return std::find(boxes.begin(), boxes.end(), control) != boxes.end();
}

// The object that holds the last draw's announcement (announceDraw()). It is not a widget: it
// shows nothing, and a screen reader finds it as the window's last child.
class DrawStatus final : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    QString announcement;
};

// The window: a frame, whose children are its controls less the decorations, and the draw status
// once there is one.
class WindowInterface final : public QAccessibleWidget {
public:
    explicit WindowInterface(Form1 *window)
        : QAccessibleWidget(window, QAccessible::Window)
    {
    }

    int childCount() const override { return int(exposed().size()); }

    QAccessibleInterface *child(int index) const override
    {
        const QObjectList children = exposed();
        return index >= 0 && index < children.size()
            ? QAccessible::queryAccessibleInterface(children.at(index))
            : nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child ? int(exposed().indexOf(child->object())) : -1;
    }

private:
    QObjectList exposed() const
    {
        const auto *window = static_cast<const Form1 *>(widget());
        QObjectList children;
        QObjectList status;
        for (QObject *object : window->children()) {
            auto *control = qobject_cast<QWidget *>(object);
            if (control && !control->isWindow() && !decorates(*window, control))
                children.append(control);
            else if (qobject_cast<DrawStatus *>(object))
                status.append(object);
        }
        return children + status;
    }
};

// The draw status: a notification whose name is the last draw's count and result.
class StatusInterface final : public QAccessibleObject {
public:
    explicit StatusInterface(DrawStatus *status)
        : QAccessibleObject(status)
    {
    }

    QAccessibleInterface *parent() const override
    {
        return QAccessible::queryAccessibleInterface(object()->parent());
    }
    int childCount() const override { return 0; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? static_cast<DrawStatus *>(object())->announcement
                                      : QString();
    }
    QAccessible::Role role() const override { return QAccessible::Notification; }
    QAccessible::State state() const override { return QAccessible::State(); }
};

// The application: its windows are the widget windows. The web engine renders each panel's page
// in an offscreen window of its own (titled "Offscreen"), whose content a screen reader already
// finds inside the panel; Qt would list those windows as frames of the application too.
class ApplicationInterface final : public QAccessibleApplication {
public:
    int childCount() const override { return int(windows().size()); }

    QAccessibleInterface *child(int index) const override
    {
        const QObjectList all = windows();
        return index >= 0 && index < all.size()
            ? QAccessible::queryAccessibleInterface(all.at(index))
            : nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child ? int(windows().indexOf(child->object())) : -1;
    }

private:
    static QObjectList windows()
    {
        QObjectList widgets;
        for (QWindow *window : QGuiApplication::topLevelWindows()) {
            // (Qt 6 has no desktop windows, which Qt's own list also leaves out.)
            if (window->type() == Qt::Popup)
                continue;
            QAccessibleInterface *root = window->accessibleRoot();
            if (root && qobject_cast<QWidget *>(root->object()))
                widgets.append(root->object());
        }
        return widgets;
    }
};

// The draw counter reads as the window shows it, "第 n 次", without the brackets; its description
// says what it counts. The label announces every new count itself (QLabel reports a change of its
// text as a change of name while it has no fixed accessible name), and the name read then is
// already the new one. It covers its prefix and suffix, so that pointing at them finds it.
class CounterInterface final : public QAccessibleWidget {
public:
    explicit CounterInterface(QLabel *counter)
        : QAccessibleWidget(counter, QAccessible::StaticText)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return QStringLiteral("第 %1 次").arg(static_cast<QLabel *>(widget())->text());
        return QAccessibleWidget::text(t);
    }

    QRect rect() const override
    {
        QRect area = QAccessibleWidget::rect();
        const Form1 *window = windowOf(widget());
        if (!window || area.isEmpty())
            return area;
        for (const QLabel *part : {window->Label2, window->Label3}) {
            if (part->isVisible())
                area |= QRect(part->mapToGlobal(QPoint(0, 0)), part->size());
        }
        return area;
    }
};

// How the text interface below reaches one kind of box: its text, selection and caret, and
// where it draws a character. The line edit and the log box each have one; the interface is
// written once over either.
class LineEditText {
public:
    explicit LineEditText(QLineEdit *box)
        : m_box(box)
    {
    }

    QString text() const { return m_box->text(); }
    bool hasSelection() const { return m_box->hasSelectedText(); }
    std::pair<int, int> selection() const
    {
        const int start = m_box->selectionStart();
        return {start, start + m_box->selectionLength()};
    }
    void select(int startOffset, int endOffset) const
    {
        m_box->setSelection(startOffset, endOffset - startOffset);
    }
    void deselect() const { m_box->deselect(); }
    int caret() const { return m_box->cursorPosition(); }
    void moveCaret(int position) const { m_box->setCursorPosition(position); }
    // A two-character box never scrolls; the caret goes to the range's start, as it would by
    // moving through the range from its end.
    void showRange(int startOffset, int endOffset) const
    {
        m_box->setCursorPosition(endOffset);
        m_box->setCursorPosition(startOffset);
    }

    // Where the box draws the character: left-aligned in its contents, after its margins,
    // centred vertically, as QLineEdit lays out a text that fits.
    QRect characterRect(int offset) const
    {
        const QString text = m_box->text();
        if (offset < 0 || offset >= text.size())
            return QRect();
        QStyleOptionFrame option;
        option.initFrom(m_box);
        option.lineWidth = m_box->hasFrame()
            ? m_box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, m_box)
            : 0;
        const QRect contents = m_box->style()
                                   ->subElementRect(QStyle::SE_LineEditContents, &option, m_box)
                                   .marginsRemoved(m_box->textMargins());
        const QFontMetrics metrics = m_box->fontMetrics();
        constexpr int kHorizontalMargin = 2; // QLineEdit's own, inside its contents
        const int left = contents.left() + kHorizontalMargin
            + metrics.horizontalAdvance(text.left(offset));
        const int top = contents.top() + (contents.height() - metrics.height() + 1) / 2;
        const QRect local(left, top, metrics.horizontalAdvance(text.mid(offset, 1)),
                          metrics.height());
        return QRect(m_box->mapToGlobal(local.topLeft()), local.size());
    }
    int offsetAtPoint(const QPoint &point) const
    {
        const QPoint local = m_box->mapFromGlobal(point);
        if (!m_box->rect().contains(local))
            return -1;
        return m_box->cursorPositionAt(local);
    }

private:
    QLineEdit *m_box;
};

class LogText {
public:
    explicit LogText(LogTextBox *log)
        : m_log(log)
    {
    }

    QString text() const { return m_log->text(); }
    bool hasSelection() const { return m_log->textCursor().hasSelection(); }
    std::pair<int, int> selection() const
    {
        const QTextCursor cursor = m_log->textCursor();
        return {cursor.selectionStart(), cursor.selectionEnd()};
    }
    void select(int startOffset, int endOffset) const
    {
        QTextCursor cursor = cursorAt(startOffset);
        cursor.setPosition(clamped(endOffset), QTextCursor::KeepAnchor);
        m_log->setTextCursor(cursor);
    }
    void deselect() const
    {
        QTextCursor cursor = m_log->textCursor();
        cursor.clearSelection();
        m_log->setTextCursor(cursor);
    }
    int caret() const { return m_log->textCursor().position(); }
    void moveCaret(int position) const { m_log->setSelStart(position); }
    void showRange(int startOffset, int) const { m_log->setSelStart(startOffset); }

    QRect characterRect(int offset) const
    {
        if (offset < 0 || offset >= int(m_log->text().size()))
            return QRect();
        QRect local = m_log->cursorRect(cursorAt(offset));
        local.setWidth(m_log->fontMetrics().horizontalAdvance(m_log->text().mid(offset, 1)));
        return QRect(m_log->viewport()->mapToGlobal(local.topLeft()), local.size());
    }
    int offsetAtPoint(const QPoint &point) const
    {
        const QPoint local = m_log->viewport()->mapFromGlobal(point);
        if (!m_log->viewport()->rect().contains(local))
            return -1;
        return m_log->cursorForPosition(local).position();
    }

private:
    int clamped(int offset) const { return std::clamp(offset, 0, int(m_log->text().size())); }
    QTextCursor cursorAt(int offset) const
    {
        QTextCursor cursor(m_log->document());
        cursor.setPosition(clamped(offset));
        return cursor;
    }

    LogTextBox *m_log;
};

// A box whose text can be read, selected and the caret moved, as from the keyboard, through
// Access (LineEditText or LogText). Its value is its text.
template <typename Access>
class TextBoxInterface : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    template <typename Box>
    explicit TextBoxInterface(Box *box)
        : QAccessibleWidget(box, QAccessible::EditableText)
        , m_text(box)
    {
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? m_text.text() : QAccessibleWidget::text(t);
    }

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (selectionIndex != 0 || !m_text.hasSelection())
            return;
        std::tie(*startOffset, *endOffset) = m_text.selection();
    }
    int selectionCount() const override { return m_text.hasSelection() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override
    {
        setSelection(0, startOffset, endOffset);
    }
    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex == 0)
            m_text.deselect();
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex == 0)
            m_text.select(startOffset, endOffset);
    }
    int cursorPosition() const override { return m_text.caret(); }
    void setCursorPosition(int position) override { m_text.moveCaret(position); }
    QString text(int startOffset, int endOffset) const override
    {
        return m_text.text().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(m_text.text().size()); }
    QRect characterRect(int offset) const override { return m_text.characterRect(offset); }
    int offsetAtPoint(const QPoint &point) const override { return m_text.offsetAtPoint(point); }
    void scrollToSubstring(int startIndex, int endIndex) override
    {
        m_text.showRange(startIndex, endIndex);
    }
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        Q_UNUSED(offset);
        *startOffset = 0;
        *endOffset = characterCount();
        return QString();
    }

private:
    Access m_text;
};

// A single-line number box. A locked box (a ball box) offers no way to change its text and says
// it is read-only; a reference box can be written as by typing, within its length limit.
class NumberBoxInterface final : public TextBoxInterface<LineEditText>,
                                 public QAccessibleEditableTextInterface {
public:
    NumberBoxInterface(QLineEdit *box, bool locked)
        : TextBoxInterface(box)
        , m_locked(locked)
    {
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::EditableTextInterface && !m_locked)
            return static_cast<QAccessibleEditableTextInterface *>(this);
        return TextBoxInterface::interface_cast(type);
    }

    using TextBoxInterface::text;

    void setText(QAccessible::Text t, const QString &text) override
    {
        if (t == QAccessible::Value && !m_locked)
            box()->setText(text);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = m_locked;
        state.editable = !m_locked;
        state.selectableText = true;
        return state;
    }

    // Writing: only reference boxes get here, through interface_cast().
    void deleteText(int startOffset, int endOffset) override
    {
        replaceText(startOffset, endOffset, QString());
    }
    void insertText(int offset, const QString &text) override { replaceText(offset, offset, text); }
    void replaceText(int startOffset, int endOffset, const QString &text) override
    {
        if (m_locked)
            return;
        QString replaced = box()->text();
        replaced.replace(startOffset, endOffset - startOffset, text);
        box()->setText(replaced); // cut at the box's length limit, as typing is
    }

private:
    QLineEdit *box() const { return static_cast<QLineEdit *>(widget()); }

    bool m_locked;
};

// The result log: read-only, multi-line text that can be read, selected and walked with the
// caret, and offers no way to change it. Its viewport and scroll bar are not objects of their
// own: the text interface covers what they show.
class LogInterface final : public TextBoxInterface<LogText> {
public:
    explicit LogInterface(LogTextBox *log)
        : TextBoxInterface(log)
    {
    }

    int childCount() const override { return 0; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.editable = false;
        state.multiLine = true;
        state.selectableText = true;
        return state;
    }
};

// Qt asks for each class of an object in turn, the most derived first, for every object that
// assistive technology meets, the web engine's own among them. The window's controls are told
// by their type and, where the type is a stock one, by the window that holds them; every other
// object gets Qt's own interface.
QAccessibleInterface *windowInterfaces(const QString &, QObject *object)
{
    if (object == qApp)
        return new ApplicationInterface;
    if (auto *status = qobject_cast<DrawStatus *>(object))
        return new StatusInterface(status);
    if (auto *window = qobject_cast<Form1 *>(object))
        return new WindowInterface(window);
    if (auto *ball = qobject_cast<LockedLineEdit *>(object))
        return new NumberBoxInterface(ball, true);
    if (auto *log = qobject_cast<LogTextBox *>(object))
        return new LogInterface(log);
    if (auto *label = qobject_cast<QLabel *>(object)) {
        const Form1 *window = windowOf(label);
        return window && label == window->Label4 ? new CounterInterface(label) : nullptr;
    }
    if (auto *box = qobject_cast<QLineEdit *>(object)) {
        const Form1 *window = windowOf(box);
        if (window && holds(window->referenceBoxes(), box))
            return new NumberBoxInterface(box, false);
    }
    return nullptr;
}

// The text a ball box had when assistive technology last heard of it, kept on the box while it
// rolls.
constexpr char kReportedText[] = "qelvoraReportedText";

bool rolls(const QObject *object)
{
    return qobject_cast<const LockedLineEdit *>(object)
        && object->property(kReportedText).isValid();
}

bool isTextEvent(QAccessible::Event type)
{
    switch (type) {
    case QAccessible::TextInserted:
    case QAccessible::TextRemoved:
    case QAccessible::TextUpdated:
    case QAccessible::TextCaretMoved:
    case QAccessible::TextSelectionChanged:
    case QAccessible::ValueChanged:
        return true;
    default:
        return false;
    }
}

// Whose focus a focus event of the object is: a web panel's, for a widget inside the panel (a
// panel is one Tab stop, and the engine's inner widget has no name of its own); the object's
// own otherwise.
QObject *focusOwner(QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget || !qobject_cast<Form1 *>(widget->window()))
        return object;
    QWidget *control = widget;
    while (control->parentWidget() && control->parentWidget() != widget->window())
        control = control->parentWidget();
    return qobject_cast<QWebEngineView *>(control) ? control : object;
}

// Every accessibility event of the program passes through here on its way out: to Qt's AT-SPI
// bridge, or to the handler installed before this one (a test's recorder).
//  - A rolling ball box keeps its steps to itself (boxRolls()).
//  - A control that takes the focus reports its caret and selection while it takes it, before
//    Qt's focus event; a screen reader that hears of the caret first takes the focus as already
//    known and says nothing. So the focus event goes first, and Qt's own one after it is dropped.
//  - A widget inside a web panel takes the panel's focus: the focus event names the panel.
class Reporter {
public:
    static void install()
    {
        if (s_installed)
            return;
        s_next = QAccessible::installUpdateHandler(&Reporter::handle);
        s_installed = true;
    }

    // Sends the event on, past this handler.
    static void deliver(QAccessibleEvent *event)
    {
        const QAccessible::UpdateHandler self = QAccessible::installUpdateHandler(s_next);
        QAccessible::updateAccessibility(event);
        QAccessible::installUpdateHandler(self);
    }

private:
    static void handle(QAccessibleEvent *event)
    {
        QObject *object = event->object();
        if (event->type() == QAccessible::Focus) {
            QObject *owner = focusOwner(object);
            const bool sentAlready = owner && owner == s_focusSentFirst;
            s_focusSentFirst = nullptr;
            if (sentAlready)
                return;
            s_lastFocus = owner;
            if (owner == object) {
                deliver(event);
            } else {
                QAccessibleEvent focus(owner, QAccessible::Focus);
                deliver(&focus);
            }
            return;
        }
        if (!isTextEvent(event->type()))
            return deliver(event);
        if (object && object == QApplication::focusWidget() && focusOwner(object) != s_lastFocus) {
            s_lastFocus = s_focusSentFirst = focusOwner(object);
            QAccessibleEvent focus(s_lastFocus, QAccessible::Focus);
            deliver(&focus);
        }
        if (!rolls(object))
            deliver(event);
    }

    static inline bool s_installed = false;
    static inline QAccessible::UpdateHandler s_next = nullptr;
    // The owner of the last focus event sent, and of the one sent ahead of Qt's.
    static inline QPointer<QObject> s_lastFocus;
    static inline QPointer<QObject> s_focusSentFirst;
};

// "第 3 次开奖结果 红球 07 12 03 30 01 25 蓝球 09": the counter and the seven ball boxes.
QString drawAnnouncement(const Form1 &window)
{
    const auto balls = window.ballBoxes();
    QStringList reds;
    for (int i = 0; i < 6; ++i)
        reds << balls[i]->text();
    return QStringLiteral("第 %1 次开奖结果 红球 %2 蓝球 %3")
        .arg(window.Label4->text(), reds.join(u' '), balls[6]->text());
}

// While a screen reader runs, Qt hands every key press and release to it first (through the
// accessibility bus and its registry) and waits 100 ms for its answer; past that, Qt delivers the
// key anyway and prints "QSpiApplication::keyEventError ... NoReply". Nothing is lost then, but
// the program is to print nothing in normal operation. With the rollers quiet the answer comes in
// time as a rule; it comes late when the screen reader is still busy with the focus change that
// the key's press caused as its release arrives, on a loaded machine. That message alone (the
// answer's time-out, NoReply) is left out; every other one goes on to the handler before.
int g_keyForwardingTimeouts = 0;
QtMessageHandler g_nextMessageHandler = nullptr;

void dropKeyForwardingTimeouts(QtMsgType type, const QMessageLogContext &context,
                               const QString &message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QSpiApplication::keyEventError"))
        && message.contains(QLatin1String("\"org.freedesktop.DBus.Error.NoReply\""))) {
        ++g_keyForwardingTimeouts;
        return;
    }
    if (g_nextMessageHandler) // Qt's default handler when none was installed before
        g_nextMessageHandler(type, context, message);
}

} // namespace

void installAccessibleInterfaces()
{
    // Installing a factory twice installs it once.
    QAccessible::installFactory(windowInterfaces);
    Reporter::install();
    static const bool quiet = [] {
        g_nextMessageHandler = qInstallMessageHandler(dropKeyForwardingTimeouts);
        return true;
    }();
    Q_UNUSED(quiet);
}

int keyForwardingTimeouts() { return g_keyForwardingTimeouts; }

void nameControls(Form1 *window)
{
    const auto balls = window->ballBoxes();
    const auto references = window->referenceBoxes();
    const QString drawn = QStringLiteral("本期开奖结果 ");
    const QString previous = QStringLiteral("上期开奖结果 ");
    for (int i = 0; i < 6; ++i) {
        const QString red = QStringLiteral("红球 %1").arg(i + 1);
        balls[i]->setAccessibleName(drawn + red);
        references[i]->setAccessibleName(previous + red);
    }
    balls[6]->setAccessibleName(drawn + QStringLiteral("蓝球"));
    references[6]->setAccessibleName(previous + QStringLiteral("蓝球"));
    window->Text4->setAccessibleName(QStringLiteral("开奖记录"));
    for (QPushButton *button : {window->Command1, window->Command2, window->Command3})
        button->setAccessibleName(button->text());
    for (QLabel *label : {window->Label6, window->Label9, window->Label10})
        label->setAccessibleName(label->text());
    // The counter reads as "第 n 次" (CounterInterface) and says what it counts here.
    window->Label4->setAccessibleDescription(QStringLiteral("摇奖次数"));
    window->Label5->setAccessibleName(QStringLiteral("Qelvora工具下载链接"));
    window->WebBrowser1->setAccessibleName(QStringLiteral("顶部网页"));
    window->WebBrowser2->setAccessibleName(QStringLiteral("底部网页"));
}

void boxRolls(LockedLineEdit *box)
{
    if (!box->property(kReportedText).isValid())
        box->setProperty(kReportedText, box->text());
}

void boxSettled(LockedLineEdit *box)
{
    const QVariant reported = box->property(kReportedText);
    if (!reported.isValid())
        return;
    box->setProperty(kReportedText, QVariant());
    if (!QAccessible::isActive())
        return;
    // One change from what was last heard of the box to its number; and where the box has the
    // focus, the caret where setting the text left it (a screen reader follows the caret of the
    // focused control only, and asks the application about every event it gets).
    QAccessibleTextUpdateEvent update(box, 0, reported.toString(), box->text());
    QAccessible::updateAccessibility(&update);
    if (box->hasFocus()) {
        QAccessibleTextCursorEvent caret(box, box->cursorPosition());
        QAccessible::updateAccessibility(&caret);
    }
}

// Qt 6.8 and later send an announcement, which a screen reader speaks as it comes (AT-SPI's
// Announcement signal; Orca 45 and later speak it). Older Qt has no announcements: the draw
// status, a notification, is shown anew, and a screen reader speaks a notification that shows
// (Orca reads its role and name: "通知 第 1 次开奖结果 ..."). Either way once per draw.
void announceDraw(Form1 *window)
{
    auto *status = window->findChild<DrawStatus *>(QString(), Qt::FindDirectChildrenOnly);
    const bool created = !status;
    if (created)
        status = new DrawStatus(window);
    status->announcement = drawAnnouncement(*window);
    if (!QAccessible::isActive())
        return;
    if (created) {
        QAccessibleEvent added(status, QAccessible::ObjectCreated);
        QAccessible::updateAccessibility(&added);
    }
    QAccessibleEvent renamed(status, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&renamed);
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QAccessibleAnnouncementEvent announcement(window, status->announcement);
    QAccessible::updateAccessibility(&announcement);
#else
    QAccessibleEvent shown(status, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
#endif
}

void dropEarlyAccessibleInterfaces(Form1 *window)
{
    // Qt makes a control's interface when the control reports its first change, with or without
    // a screen reader; a label reports its text while it is being built. A screen reader asks for
    // the application's interface as soon as the program starts. Dropping every
    // interface made so far costs nothing: the next question makes it again.
    QList<QObject *> objects = {qApp, window};
    for (QObject *child : window->children())
        objects.append(child);
    for (QObject *object : objects) {
        if (QAccessibleInterface *made = QAccessible::queryAccessibleInterface(object))
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    }
}

} // namespace qelvora

#include "accessibility.moc"
