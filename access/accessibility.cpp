// The window's own accessible interfaces. Qt's stock ones expose a top-level QWidget with the role
// Client (a "filler" to AT-SPI), read a label by a fixed accessible name only, and let assistive
// technology rewrite any line or text edit, read-only or not. These give the window the role of
// a frame, read the draw counter with its count, keep the locked boxes locked, leave the labels
// that only decorate out of the window's children, and relate each number box to the heading of
// its row.
#include "accessibility.h"

#include "form1.h"
#include "text_boxes.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <tuple>
#include <utility>

namespace qelvora {

namespace {

using Relations = QList<QPair<QAccessibleInterface *, QAccessible::Relation>>;

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

// The heading of a number box's row: the draw's boxes under "本期开奖结果：", the reference boxes
// under "上期开奖结果：".
QLabel *headingOf(const QWidget *box)
{
    const Form1 *window = windowOf(box);
    if (!window)
        return nullptr;
    if (holds(window->ballBoxes(), box))
        return window->Label10;
    if (holds(window->referenceBoxes(), box))
        return window->Label9;
    return nullptr;
}

QWidgetList boxesUnder(const QLabel *heading)
{
    const Form1 *window = windowOf(heading);
    QWidgetList boxes;
    if (window && heading == window->Label10) {
        for (QWidget *box : window->ballBoxes())
            boxes.append(box);
    }
    if (window && heading == window->Label9) {
        for (QWidget *box : window->referenceBoxes())
            boxes.append(box);
    }
    return boxes;
}

// Adds the box's heading as its label, unless it is one already.
Relations withHeading(Relations relations, QAccessible::Relation match, const QWidget *box)
{
    if (!(match & QAccessible::Label))
        return relations;
    QAccessibleInterface *heading = QAccessible::queryAccessibleInterface(headingOf(box));
    if (!heading)
        return relations;
    const bool present =
        std::any_of(relations.cbegin(), relations.cend(), [heading](const auto &relation) {
            return relation.first == heading && (relation.second & QAccessible::Label);
        });
    if (!present)
        relations.append({heading, QAccessible::Label});
    return relations;
}

// The window: a frame, whose children are its controls less the decorations.
class WindowInterface final : public QAccessibleWidget {
public:
    explicit WindowInterface(Form1 *window)
        : QAccessibleWidget(window, QAccessible::Window)
    {
    }

    int childCount() const override { return int(exposed().size()); }

    QAccessibleInterface *child(int index) const override
    {
        const QWidgetList children = exposed();
        return index >= 0 && index < children.size()
            ? QAccessible::queryAccessibleInterface(children.at(index))
            : nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child ? int(exposed().indexOf(qobject_cast<QWidget *>(child->object()))) : -1;
    }

private:
    QWidgetList exposed() const
    {
        const auto *window = static_cast<const Form1 *>(widget());
        QWidgetList children;
        for (QObject *object : window->children()) {
            auto *control = qobject_cast<QWidget *>(object);
            if (control && !control->isWindow() && !decorates(*window, control))
                children.append(control);
        }
        return children;
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

// A row's heading: a label for each box of its row.
class HeadingInterface final : public QAccessibleWidget {
public:
    explicit HeadingInterface(QLabel *heading)
        : QAccessibleWidget(heading, QAccessible::StaticText)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        const QString text = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && text.isEmpty())
            return static_cast<QLabel *>(widget())->text();
        return text;
    }

    Relations relations(QAccessible::Relation match) const override
    {
        Relations relations = QAccessibleWidget::relations(match);
        if (!(match & QAccessible::Labelled))
            return relations;
        for (QWidget *box : boxesUnder(static_cast<QLabel *>(widget()))) {
            if (QAccessibleInterface *boxInterface = QAccessible::queryAccessibleInterface(box))
                relations.append({boxInterface, QAccessible::Labelled});
        }
        return relations;
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

    Relations relations(QAccessible::Relation match) const override
    {
        return withHeading(QAccessibleWidget::relations(match), match, box());
    }

    // Writing: only reference boxes get here, through interface_cast().
    void deleteText(int startOffset, int endOffset) override
    {
        replaceText(startOffset, endOffset, QString());
    }
    void insertText(int offset, const QString &text) override
    {
        replaceText(offset, offset, text);
    }
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
    if (auto *window = qobject_cast<Form1 *>(object))
        return new WindowInterface(window);
    if (auto *ball = qobject_cast<LockedLineEdit *>(object))
        return new NumberBoxInterface(ball, true);
    if (auto *log = qobject_cast<LogTextBox *>(object))
        return new LogInterface(log);
    if (auto *label = qobject_cast<QLabel *>(object)) {
        const Form1 *window = windowOf(label);
        if (window && label == window->Label4)
            return new CounterInterface(label);
        if (window && (label == window->Label9 || label == window->Label10))
            return new HeadingInterface(label);
        return nullptr;
    }
    if (auto *box = qobject_cast<QLineEdit *>(object)) {
        const Form1 *window = windowOf(box);
        if (window && holds(window->referenceBoxes(), box))
            return new NumberBoxInterface(box, false);
    }
    return nullptr;
}

} // namespace

void installAccessibleInterfaces()
{
    // Installing a factory twice installs it once.
    QAccessible::installFactory(windowInterfaces);
}

void dropEarlyAccessibleInterfaces(Form1 *window)
{
    // Qt makes a control's interface when the control reports its first change, with or without
    // a screen reader; a label reports its text while it is being built. Dropping every
    // interface made so far costs nothing: the next question makes it again.
    QList<QObject *> objects = {window};
    for (QObject *child : window->children())
        objects.append(child);
    for (QObject *object : objects) {
        if (QAccessibleInterface *made = QAccessible::queryAccessibleInterface(object))
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    }
}

} // namespace qelvora
