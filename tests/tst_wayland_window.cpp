// The window as a native Wayland client: a maximised or full-screen state asked of the compositor
// leaves the window alive with its log, and every control where it was; back in the normal state
// the client area is 514 x 609 again. In the normal state the window announces 514 x 609 as its
// minimum and maximum size (what a tiling compositor floats a window on), and lets go of both
// for the other states. CTest runs this program under a headless weston of its own
// (wayland_session.sh), whose screen is lower than the window: the maximised window is smaller
// than the window's own size there.
#include "form1.h"
#include "support/test_support.h"
#include "text_boxes.h"

#include <QGuiApplication>
#include <QTest>
#include <QWindow>

using namespace qelvora;

namespace {

// Every control's place, in the window's order of children.
QList<QRect> controlPlaces(const Form1 &window)
{
    QList<QRect> places;
    for (const QWidget *child : window.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        places << child->geometry();
    return places;
}

} // namespace

class TestWaylandWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void otherStatesKeepTheWindowAndItsLayout_data();
    void otherStatesKeepTheWindowAndItsLayout();
    void normalStateKeepsTheClientSize();
};

void TestWaylandWindow::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
}

void TestWaylandWindow::otherStatesKeepTheWindowAndItsLayout_data()
{
    QTest::addColumn<Qt::WindowState>("state");
    QTest::addColumn<bool>("fromTitleBar");
    QTest::newRow("maximised") << Qt::WindowMaximized << false;
    QTest::newRow("full screen") << Qt::WindowFullScreen << false;
    // Qt's title bar asks the window's QWindow, not the widget, so that the widget learns of the
    // state only once the compositor has answered with it.
    QTest::newRow("maximised from the title bar") << Qt::WindowMaximized << true;
}

// The request goes from the window to the compositor, which answers with the state and the size
// that goes with it.
void TestWaylandWindow::otherStatesKeepTheWindowAndItsLayout()
{
    QFETCH(Qt::WindowState, state);
    QFETCH(bool, fromTitleBar);
    test::ScriptedRandom *random = nullptr;
    const auto owned = test::makeScriptedWindow(random);
    Form1 &window = *owned;
    test::shortenTimers(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), QSize(514, 609));

    // One draw, its stages and rollers run by hand, so that the window is idle when the request
    // goes out. (Rollers on shortened timers repaint every millisecond, and Qt 6.4's Wayland
    // client may apply a new state while a frame waits for the compositor to give a buffer back
    // and then send that frame at the old size, which the compositor refuses. A window drawing
    // at the real 50 ms seldom waits for a buffer.)
    random->queueDraw({7, 12, 3, 30, 1, 25}, 9);
    window.Command1_Click();
    test::runAllStages(window);
    for (void (Form1::*roller)() :
         {&Form1::Timer1_Timer, &Form1::Timer2_Timer, &Form1::Timer3_Timer, &Form1::Timer7_Timer,
          &Form1::Timer8_Timer, &Form1::Timer9_Timer, &Form1::Timer10_Timer})
        (window.*roller)();
    QVERIFY(!window.drawRunning());
    const QString log = window.Text4->text();
    QVERIFY(log.startsWith(test::logEntry(1, {7, 12, 3, 30, 1, 25}, 9)));
    const QList<QRect> places = controlPlaces(window);

    QCOMPARE(window.windowHandle()->minimumSize(), QSize(514, 609));
    QCOMPARE(window.windowHandle()->maximumSize(), QSize(514, 609));

    if (fromTitleBar)
        window.windowHandle()->setWindowStates(state);
    else
        window.setWindowState(state);
    QTRY_VERIFY(window.windowState() & state);
    QTRY_VERIFY(window.size() != QSize(514, 609));
    // One more round trip to the compositor, which checks each new frame against the state it
    // gave.
    window.repaint();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(controlPlaces(window), places);
    QCOMPARE(window.Text4->text(), log);
    QCOMPARE(window.Label4->text(), QStringLiteral("1"));

    if (fromTitleBar)
        window.windowHandle()->setWindowStates(Qt::WindowNoState);
    else
        window.setWindowState(Qt::WindowNoState);
    QTRY_COMPARE(window.windowState(), Qt::WindowNoState);
    QTRY_COMPARE(window.size(), QSize(514, 609));
    QCOMPARE(controlPlaces(window), places);
    QCOMPARE(window.windowHandle()->minimumSize(), QSize(514, 609));
    QCOMPARE(window.windowHandle()->maximumSize(), QSize(514, 609));

    // The window still draws.
    random->queueDraw({33, 1, 2, 4, 5, 6}, 16);
    window.Command1_Click();
    QTRY_VERIFY(!window.drawRunning());
    QCOMPARE(test::ballTexts(window), QStringList({"33", "01", "02", "04", "05", "06", "16"}));
}

// A size asked for in the normal state, as an edge dragged on the title bar's frame asks for
// one, does not stick.
void TestWaylandWindow::normalStateKeepsTheClientSize()
{
    Form1 window(nullptr, test::kNowhere);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QList<QRect> places = controlPlaces(window);
    window.resize(700, 400);
    QTRY_COMPARE(window.size(), QSize(514, 609));
    QCOMPARE(controlPlaces(window), places);
}

QELVORA_TEST_MAIN(TestWaylandWindow)
#include "tst_wayland_window.moc"
