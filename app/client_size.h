#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>

class QWidget;
class QWindow;

namespace qelvora {

// On Wayland, tells the compositor the window's one size, and lets go of it for the states in
// which the compositor decides the size.
//
// In the normal state the window announces a minimum size equal to its maximum size (the
// client size). That is how a Wayland window says it has a fixed size: a tiling compositor
// (sway) floats it at that size instead of squeezing it into a column, as a tiling X11 window
// manager floats a window with fixed-size hints.
//
// A maximised or full-screen window must take exactly the size the compositor gives it (weston
// ends a maximised client whose frame has another size), and Qt 6.4 bounds the size it takes
// from the compositor by the announced limits. So the limits are lifted the moment the window
// asks for such a state, before the compositor answers: QWindow::windowStateChanged is emitted
// synchronously for a request from the program (QWidget::setWindowState) and from Qt's own title
// bar (QWindow::setWindowStates) alike. A state the compositor gives on its own arrives with its
// size, and Qt 6.4 has bounded that size before the program learns of the state; the limits are
// lifted then. A full-screen window then takes its screen's size itself; a maximised one takes
// the compositor's next size.
//
// Back in the normal state the limits come back once the window has its own size again, never
// earlier: setting them while the window is larger would shrink it at once, and a frame of the
// normal size sent while the compositor still holds the window maximised ends it too.
class WaylandClientSize final : public QObject {
public:
    WaylandClientSize(QWidget *window, QSize clientSize);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void followWindowHandle();
    void followState(Qt::WindowStates states);
    void takeStateSize();
    void announceSize(bool fixed);

    QWidget *m_window;
    QSize m_clientSize;
    QPointer<QWindow> m_handle;
};

// Whether the compositor decides the window's size: the window is maximised or full screen, or
// has asked for either through its QWindow. Qt's own title bar asks the QWindow, and the widget
// learns that state only when Qt passes on the compositor's answer; Qt 6.11 hands the window the
// answer's size before that (synchronously, the state through the event queue), so a maximised
// size meets a widget that still says it is normal.
bool compositorSizesWindow(const QWidget *window);

} // namespace qelvora
