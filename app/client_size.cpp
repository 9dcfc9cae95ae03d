#include "client_size.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace qelvora {

namespace {

// The states in which the compositor decides the window's size.
bool compositorSized(Qt::WindowStates states)
{
    return states & (Qt::WindowMaximized | Qt::WindowFullScreen);
}

} // namespace

WaylandClientSize::WaylandClientSize(QWidget *window, QSize clientSize)
    : QObject(window)
    , m_window(window)
    , m_clientSize(clientSize)
{
    m_window->resize(m_clientSize);
    announceSize(true);
    m_window->installEventFilter(this);
}

bool WaylandClientSize::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::WinIdChange:
        case QEvent::Show:
            followWindowHandle();
            break;
        case QEvent::WindowStateChange:
            // A state set before the window is shown, or one the compositor gave.
            followState(m_window->windowState());
            if (event->spontaneous())
                takeStateSize();
            break;
        case QEvent::Resize:
            // The window has its own size again in the normal state.
            if (!compositorSized(m_window->windowState()) && m_window->size() == m_clientSize)
                announceSize(true);
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

// The window's QWindow exists once the widget is created (before it is shown); its state
// signal is what a request for a state emits before anything goes to the compositor.
void WaylandClientSize::followWindowHandle()
{
    QWindow *handle = m_window->windowHandle();
    if (!handle || handle == m_handle)
        return;
    if (m_handle)
        disconnect(m_handle, nullptr, this, nullptr);
    m_handle = handle;
    connect(handle, &QWindow::windowStateChanged, this,
            [this](Qt::WindowState state) { followState(state); });
}

void WaylandClientSize::followState(Qt::WindowStates states)
{
    if (compositorSized(states))
        announceSize(false);
    else if (m_window->size() == m_clientSize)
        announceSize(true);
}

// A state the compositor gave (its answer to a request, or one of its own). A full screen that
// came before the limits were lifted was kept at the window's own size by Qt 6.4; a full-screen
// window covers its screen, so that size is known without another answer from the compositor.
// Back in the normal state, the compositor may hand back the size of the state before; the
// window takes its own size again at once, which is safe now that the compositor holds it
// normal.
void WaylandClientSize::takeStateSize()
{
    QWindow *handle = m_window->windowHandle();
    const Qt::WindowStates states = m_window->windowState();
    if ((states & Qt::WindowFullScreen) && m_window->size() == m_clientSize && handle
        && handle->screen()) {
        // Through the QWindow: QWidget::resize() would end the full-screen state.
        handle->resize(handle->screen()->geometry().size());
    } else if (!(states & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))
               && m_window->size() != m_clientSize) {
        m_window->resize(m_clientSize);
    }
}

void WaylandClientSize::announceSize(bool fixed)
{
    const QSize minimum = fixed ? m_clientSize : QSize(0, 0);
    const QSize maximum = fixed ? m_clientSize : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (m_window->minimumSize() == minimum && m_window->maximumSize() == maximum)
        return;
    m_window->setMinimumSize(minimum);
    m_window->setMaximumSize(maximum);
}

bool compositorSizesWindow(const QWidget *window)
{
    const QWindow *handle = window->windowHandle();
    return compositorSized(window->windowState()
                           | (handle ? handle->windowStates() : Qt::WindowNoState));
}

} // namespace qelvora
