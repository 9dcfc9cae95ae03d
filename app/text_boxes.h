// The two kinds of text box the window needs beyond a plain QLineEdit.
#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>

namespace qelvora {

// A single-line box the user can focus, put the caret in, select and copy from, but not change:
// no typing, pasting, cutting, deleting, dropping or input-method text. The program sets its
// text freely. (QLineEdit's own read-only mode would hide the caret.)
class LockedLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit LockedLineEdit(QWidget *parent = nullptr);

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
};

// The result log: multi-line, wrapping at its width, vertical scroll bar only; the user can
// select and copy but not edit; it never holds more than maxLength characters, and text the
// program assigns beyond that is cut.
class LogTextBox : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit LogTextBox(int maxLength, QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);

    // Puts the caret at the given character position and scrolls it into view.
    void setSelStart(int position);

private:
    int m_maxLength;
};

// Keeps a reference entry box from holding half a character: when a paste or an input method
// is cut at the box's length limit between the two halves of a surrogate pair, the lone half
// is dropped.
void keepWholeCharacters(QLineEdit *box);

} // namespace qelvora
