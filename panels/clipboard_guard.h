// The clipboard and the X11 selection stay the user's: a page in a web panel cannot write them.
#pragma once

#include <QClipboard>
#include <QDeadlineTimer>
#include <QList>
#include <QMimeData>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <array>
#include <memory>

namespace qelvora {

// Takes back every write to the clipboard or the selection that the user's input did not ask
// for. The engine writes for a page (a copy a script starts after a click, the text a page
// selects while its panel has the focus) while it runs its own tasks on the window's thread;
// the program's own text boxes write while they handle a key or a click of the user's, and so
// does the panel's menu when the user chooses "Copy link address". A write of the first kind is
// replaced at once, before any other program can read it, by what the program had put there
// itself before, or by nothing when another program's content was there (which cannot be had
// back). The one exception is a copy the user asks of a page (Ctrl+C in its panel, or Copy in
// the panel's menu): the engine carries it out a moment later, and what the page writes within
// kAskedCopyMs after the user asked is kept.
class ClipboardGuard : public QObject {
    Q_OBJECT
public:
    // Watches the application's clipboard from now on; once per application.
    static void install();
    // The user has asked a page for a copy (the panel's menu calls this for its Copy and Cut).
    static void copyAsked();
    // A web panel whose page's input is the page's, not the program's.
    static void addPanel(QWidget *panel);
    static constexpr int kAskedCopyMs = 1000;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool isPageSurface(const QObject *object) const;

private:
    ClipboardGuard();
    void changed(QClipboard::Mode mode);

    // The event being delivered is the user's input to a widget of the program's own.
    bool m_userInput = false;
    QList<QPointer<QWidget>> m_panels;
    bool m_restoring = false;
    QDeadlineTimer m_askedCopy; // until when the page's writes are the user's copy
    // What the program last put there itself, for the clipboard and the selection.
    std::array<std::unique_ptr<QMimeData>, 2> m_kept;
};

} // namespace qelvora
