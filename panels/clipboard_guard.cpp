// The clipboard guard.
#include "clipboard_guard.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>

namespace qelvora {

namespace {

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

std::unique_ptr<QMimeData> copyOf(const QMimeData *data)
{
    auto copy = std::make_unique<QMimeData>();
    if (data) {
        const QStringList formats = data->formats();
        for (const QString &format : formats)
            copy->setData(format, data->data(format));
    }
    return copy;
}

ClipboardGuard *theGuard = nullptr;

} // namespace

void ClipboardGuard::install()
{
    if (!theGuard)
        theGuard = new ClipboardGuard;
}

void ClipboardGuard::copyAsked()
{
    if (theGuard)
        theGuard->m_askedCopy.setRemainingTime(kAskedCopyMs);
}

void ClipboardGuard::addPanel(QWidget *panel)
{
    if (theGuard && !theGuard->m_panels.contains(panel))
        theGuard->m_panels.append(panel);
}

// The engine draws a panel's page in a widget of its own, which takes the panel's input and is
// its focus proxy. It is told by its address alone: the engine's widgets are of classes that the
// program cannot look into.
bool ClipboardGuard::isPageSurface(const QObject *object) const
{
    for (const QPointer<QWidget> &panel : m_panels) {
        if (panel && (object == panel || object == panel->focusProxy()))
            return true;
    }
    return false;
}

ClipboardGuard::ClipboardGuard()
    : QObject(QCoreApplication::instance())
{
    QCoreApplication::instance()->installEventFilter(this);
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, &ClipboardGuard::changed);
}

// Notes for every event whether the program is handling the user's input to a widget of its own.
// The engine does its work, a page's writes among it, in timer events and queued calls to
// objects that are no widget, and so does everything else the program does on its own: such an
// event ends the note. Events that come nested inside the handling of an input event (a repaint,
// the menu closing on the click that chose an entry) leave it as it is.
bool ClipboardGuard::eventFilter(QObject *watched, QEvent *event)
{
    // Only the type of the event is read before the event is known to be input: events also
    // come for objects that are being destroyed. Any clock event ends the note.
    const QEvent::Type type = event->type();
    if (isUserInput(type)) {
        if (isPageSurface(watched)) {
            m_userInput = false;
            if (type == QEvent::KeyPress) {
                const auto *key = static_cast<QKeyEvent *>(event);
                if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Cut))
                    copyAsked();
            }
        } else {
            m_userInput = true; // the program's own widgets, and windows the engine sends it on to
        }
    } else if (type == QEvent::Timer || type == QEvent::ZeroTimerEvent || type == QEvent::MetaCall
               || type == QEvent::SockAct || type >= QEvent::User) {
        m_userInput = false;
    }
    return false;
}

void ClipboardGuard::changed(QClipboard::Mode mode)
{
    if (m_restoring || (mode != QClipboard::Clipboard && mode != QClipboard::Selection))
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    std::unique_ptr<QMimeData> &kept = m_kept[mode == QClipboard::Clipboard ? 0 : 1];
    const bool ours = mode == QClipboard::Clipboard ? clipboard->ownsClipboard()
                                                    : clipboard->ownsSelection();
    if (!ours) {
        kept.reset();
        return;
    }
    if (m_userInput || !m_askedCopy.hasExpired()) {
        kept = copyOf(clipboard->mimeData(mode));
        return;
    }
    m_restoring = true;
    if (kept)
        clipboard->setMimeData(copyOf(kept.get()).release(), mode);
    else
        clipboard->clear(mode);
    m_restoring = false;
}

} // namespace qelvora
