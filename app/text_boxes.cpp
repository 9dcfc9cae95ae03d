// Locked single-line boxes, the result log box, and whole-character length limits.
#include "text_boxes.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <array>

namespace qelvora {

LockedLineEdit::LockedLineEdit(QWidget *parent)
    : QLineEdit(parent)
{
    setAcceptDrops(false);
    // No input method composes into the box: with pinyin on, typing here would otherwise open
    // the candidate window over it.
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

QVariant LockedLineEdit::inputMethodQuery(Qt::InputMethodQuery query) const
{
    if (query == Qt::ImEnabled)
        return false;
    return QLineEdit::inputMethodQuery(query);
}

void LockedLineEdit::keyPressEvent(QKeyEvent *event)
{
    // Only keys that move the caret, select or copy reach the editor; everything else would
    // change the text and is refused.
    static constexpr std::array allowed = {
        QKeySequence::Copy,
        QKeySequence::SelectAll,
        QKeySequence::MoveToNextChar,
        QKeySequence::MoveToPreviousChar,
        QKeySequence::MoveToNextWord,
        QKeySequence::MoveToPreviousWord,
        QKeySequence::MoveToStartOfLine,
        QKeySequence::MoveToEndOfLine,
        QKeySequence::MoveToStartOfBlock,
        QKeySequence::MoveToEndOfBlock,
        QKeySequence::MoveToStartOfDocument,
        QKeySequence::MoveToEndOfDocument,
        QKeySequence::SelectNextChar,
        QKeySequence::SelectPreviousChar,
        QKeySequence::SelectNextWord,
        QKeySequence::SelectPreviousWord,
        QKeySequence::SelectStartOfLine,
        QKeySequence::SelectEndOfLine,
        QKeySequence::SelectStartOfBlock,
        QKeySequence::SelectEndOfBlock,
        QKeySequence::SelectStartOfDocument,
        QKeySequence::SelectEndOfDocument,
    };
    if (std::any_of(allowed.begin(), allowed.end(),
                    [event](QKeySequence::StandardKey key) { return event->matches(key); })) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->ignore();
}

void LockedLineEdit::inputMethodEvent(QInputMethodEvent *event) { event->ignore(); }

void LockedLineEdit::mouseReleaseEvent(QMouseEvent *event)
{
    // A middle click would paste the X11 selection.
    if (event->button() == Qt::MiddleButton) {
        event->ignore();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void LockedLineEdit::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copy = menu.addAction(QStringLiteral("复制"), this, &QLineEdit::copy);
    copy->setEnabled(hasSelectedText());
    menu.addAction(QStringLiteral("全选"), this, &QLineEdit::selectAll);
    menu.exec(event->globalPos());
}

LogTextBox::LogTextBox(int maxLength, QWidget *parent)
    : QPlainTextEdit(parent)
    , m_maxLength(maxLength)
{
    setReadOnly(true);
    // Selectable by keyboard as well as mouse: the caret shows and Ctrl+A / Ctrl+C work.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setUndoRedoEnabled(false);
}

QString LogTextBox::text() const { return toPlainText(); }

void LogTextBox::setText(const QString &text)
{
    const QString kept = text.size() > m_maxLength ? text.left(m_maxLength) : text;
    // The log only ever grows by an entry at its end. Replacing the whole text would lay out
    // all of it again (tens of milliseconds once it nears its limit); inserting the new tail
    // lays out the same single paragraph once. The raw text is compared so that the shortcut
    // is only taken where the result is exactly what setPlainText would give; the caret then
    // goes to the start and any selection is dropped, as setPlainText does.
    const QString current = document()->toRawText();
    const QStringView tail = QStringView(kept).mid(current.size());
    const bool breaksLines = std::any_of(tail.begin(), tail.end(), [](QChar c) {
        return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator;
    });
    if (current.isEmpty() || kept.size() <= current.size() || breaksLines
        || !kept.startsWith(current)) {
        setPlainText(kept);
        return;
    }
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(tail.toString());
    setTextCursor(QTextCursor(document()));
}

void LogTextBox::setSelStart(int position)
{
    QTextCursor cursor = textCursor();
    cursor.setPosition(std::clamp(position, 0, int(text().size())));
    setTextCursor(cursor);
    ensureCursorVisible();
}

void keepWholeCharacters(QLineEdit *box)
{
    QObject::connect(box, &QLineEdit::textChanged, box, [box](const QString &text) {
        QString whole;
        whole.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                whole.append(c).append(text.at(i + 1));
                ++i;
            } else if (!c.isSurrogate()) {
                whole.append(c);
            }
        }
        if (whole != text) {
            const int cursor = std::min(box->cursorPosition(), int(whole.size()));
            box->setText(whole);
            box->setCursorPosition(cursor);
        }
    });
}

} // namespace qelvora
