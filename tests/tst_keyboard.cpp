// The window with the keyboard only, every key a key press to the widget with the focus: each web
// panel is one Tab stop whatever page it shows, the engine's own error page included; and a
// button that a draw or a run disables while it has the focus has it back when it is enabled
// again, unless the user has moved the focus in between, so that the same key runs it again.
#include "form1.h"
#include "support/test_support.h"
#include "text_boxes.h"

#include <QAccessible>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineView>

#include <memory>

using namespace qelvora;

namespace {

// Presses a key on whatever has the focus, as the keyboard does.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *focus = QApplication::focusWidget();
    QVERIFY2(focus, "nothing has the keyboard focus");
    QTest::keyClick(focus, key, modifiers);
}

// A message box takes the window's activation with it, and without a window manager it may not
// give it back when it closes. Activating the window gives the focus to the control that had it
// in the window; it moves nothing.
bool activate(Form1 &window)
{
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

} // namespace

// Every case but the first gets the window shown and active.
class TestKeyboard : public test::WindowTest {
    Q_OBJECT
public:
    TestKeyboard()
        : WindowTest({.timerFactor = 50, .activate = true})
    {
    }

private slots:
    void panelsAreOneStopOnTheErrorPage();
    void manualDrawTwiceWithReturn();
    void focusMovedDuringTheDrawStaysMoved();
    void automaticRunTwiceWithReturn();
    void stopTwiceWithReturn();
    void clickAfterStopMovesTheFocus();
};

// Both panels show the engine's page for a site that cannot be reached, which has a link and a
// button of its own; Tab passes each panel in one stop, both ways.
void TestKeyboard::panelsAreOneStopOnTheErrorPage()
{
    dropWindow();
    Form1 window; // the vendor's site, which the refusing proxy stands for
    QSignalSpy top(window.WebBrowser1, &QWebEngineView::loadFinished);
    QSignalSpy bottom(window.WebBrowser2, &QWebEngineView::loadFinished);
    window.show();
    QVERIFY(activate(window));
    QELVORA_TRY_VERIFY(!top.isEmpty() && !bottom.isEmpty(), 20000);
    QCOMPARE(top.first().first().toBool(), false);
    QCOMPARE(bottom.first().first().toBool(), false);
    const QString focusable = QStringLiteral(
        "Array.from(document.querySelectorAll('a[href], button, input, select, textarea, "
        "[tabindex]')).filter(function (e) { return e.offsetWidth > 0; }).length");
    for (QWebEngineView *panel : {window.WebBrowser1, window.WebBrowser2})
        QELVORA_TRY_VERIFY(test::evaluate(panel, focusable).toInt() > 0, 5000);

    window.Text4->setFocus();
    QELVORA_TRY_COMPARE(test::focusStop(window), QStringLiteral("Text4"), 5000);
    const QStringList forward = {"WebBrowser1", "Text5",       "Text6",    "Text7",
                                 "Text8",       "WebBrowser2", "Command2", "Text9"};
    QCOMPARE(test::tabThrough(window, forward.size()).join(u' '), forward.join(u' '));
    const QStringList back = {"Command2", "WebBrowser2", "Text8",       "Text7",
                              "Text6",    "Text5",       "WebBrowser1", "Text4"};
    QCOMPARE(test::tabThrough(window, back.size(), true).join(u' '), back.join(u' '));
}

// Return on Manual draw starts a draw, which disables the button; when the draw has ended the
// button has the focus again and Return starts the next draw.
void TestKeyboard::manualDrawTwiceWithReturn()
{
    Form1 &window = *m_window;
    m_random->queueDraw({7, 12, 3, 30, 1, 25}, 9);
    m_random->queueDraw({1, 2, 3, 4, 5, 6}, 16);
    window.Command1->setFocus();
    QELVORA_TRY_COMPARE(test::focusStop(window), QStringLiteral("Command1"), 5000);

    press(Qt::Key_Return);
    QCOMPARE(window.Label4->text(), QStringLiteral("1"));
    QCOMPARE(test::buttonStates(window), QStringLiteral("000"));
    QELVORA_TRY_COMPARE(test::buttonStates(window), QStringLiteral("110"), 5000);
    QCOMPARE(test::focusStop(window), QStringLiteral("Command1"));

    press(Qt::Key_Return);
    QCOMPARE(window.Label4->text(), QStringLiteral("2"));
    QELVORA_TRY_COMPARE(test::buttonStates(window), QStringLiteral("110"), 5000);
    QCOMPARE(test::ballTexts(window), QStringList({"01", "02", "03", "04", "05", "06", "16"}));
    QCOMPARE(test::focusStop(window), QStringLiteral("Command1"));
    QCOMPARE(m_random->shortfall, 0);
}

// The user who moves the focus while the draw runs keeps it where they put it.
void TestKeyboard::focusMovedDuringTheDrawStaysMoved()
{
    Form1 &window = *m_window;
    m_random->queueDraw({7, 12, 3, 30, 1, 25}, 9);
    window.Command1->setFocus();
    QELVORA_TRY_COMPARE(test::focusStop(window), QStringLiteral("Command1"), 5000);

    press(Qt::Key_Return);
    QCOMPARE(window.Label4->text(), QStringLiteral("1"));
    const QString handedTo = test::focusStop(window);
    QVERIFY2(handedTo != QLatin1String("Command1"), qPrintable(handedTo));
    press(Qt::Key_Backtab, Qt::ShiftModifier); // Command1 is disabled: back to Text3
    QCOMPARE(test::focusStop(window), QStringLiteral("Text3"));
    QELVORA_TRY_COMPARE(test::buttonStates(window), QStringLiteral("110"), 5000);
    QCOMPARE(test::focusStop(window), QStringLiteral("Text3"));

    press(Qt::Key_Return); // a locked box takes no key
    QCOMPARE(window.Label4->text(), QStringLiteral("1"));
    QVERIFY(!window.drawRunning());
}

// Return on Automatic draw starts a run; the run ends on a match, which gives the button back
// with the focus, and Return starts the next run.
void TestKeyboard::automaticRunTwiceWithReturn()
{
    Form1 &window = *m_window;
    test::setReference(window, {"07", "12", "03", "30", "01", "25", "09"});
    m_random->queueDraw({7, 12, 3, 30, 1, 25}, 9);
    window.Command2->setFocus();
    QELVORA_TRY_COMPARE(test::focusStop(window), QStringLiteral("Command2"), 5000);

    test::MessageCatcher catcher;
    press(Qt::Key_Return);
    QVERIFY(window.Timer15->isActive());
    QCOMPARE(test::buttonStates(window), QStringLiteral("001"));
    QELVORA_TRY_COMPARE(catcher.seen.size(), 1, 5000);
    QCOMPARE(catcher.seen.first().title, QStringLiteral("摇奖提示框"));
    QELVORA_TRY_COMPARE(test::buttonStates(window), QStringLiteral("110"), 5000);
    QVERIFY(!window.Timer15->isActive());
    QVERIFY(activate(window));
    QCOMPARE(test::focusStop(window), QStringLiteral("Command2"));

    press(Qt::Key_Return);
    QVERIFY(window.Timer15->isActive());
    QCOMPARE(test::buttonStates(window), QStringLiteral("001"));
    window.Command3_Click(); // end the second run
}

// Stop during a run: the user goes to the button and presses Return, which ends the run and
// disables the button. The next run is started without a key (a screen reader's "press" on
// Automatic draw, which leaves the focus where it is) and enables Stop again: the focus is back
// on it, and Return stops that run too.
void TestKeyboard::stopTwiceWithReturn()
{
    Form1 &window = *m_window;
    window.Timer15->setInterval(11000); // no tick between the presses below
    test::setReference(window, {"01", "02", "03", "04", "05", "06", "07"});
    test::MessageCatcher catcher;
    QAccessibleActionInterface *automatic =
        QAccessible::queryAccessibleInterface(window.Command2)->actionInterface();
    QVERIFY(automatic);

    // The press action clicks the button the way a mouse click looks, a moment later.
    automatic->doAction(QAccessibleActionInterface::pressAction());
    QELVORA_TRY_VERIFY(window.Timer15->isActive(), 5000);
    window.Command3->setFocus();
    QELVORA_TRY_COMPARE(test::focusStop(window), QStringLiteral("Command3"), 5000);
    press(Qt::Key_Return);
    QELVORA_TRY_COMPARE(catcher.seen.size(), 1, 5000);
    QCOMPARE(catcher.seen.last().text, test::kStopping);
    QVERIFY(!window.Timer15->isActive());
    QCOMPARE(test::buttonStates(window), QStringLiteral("110"));
    QVERIFY(activate(window));
    QVERIFY(test::focusStop(window) != QLatin1String("Command3"));

    automatic->doAction(QAccessibleActionInterface::pressAction());
    QELVORA_TRY_VERIFY(window.Timer15->isActive(), 5000);
    QCOMPARE(test::buttonStates(window), QStringLiteral("001"));
    QCOMPARE(test::focusStop(window), QStringLiteral("Command3"));
    press(Qt::Key_Return);
    QELVORA_TRY_COMPARE(catcher.seen.size(), 2, 5000);
    QVERIFY(!window.Timer15->isActive());
}

// After Stop, a mouse click on Automatic draw starts the next run. The click moved the focus: the
// re-enabled Stop button does not take it back, and Return does not stop the run just started.
void TestKeyboard::clickAfterStopMovesTheFocus()
{
    Form1 &window = *m_window;
    window.Timer15->setInterval(11000); // no tick between the presses below
    test::setReference(window, {"01", "02", "03", "04", "05", "06", "07"});
    test::MessageCatcher catcher;

    QTest::mouseClick(window.Command2, Qt::LeftButton);
    QVERIFY(window.Timer15->isActive());
    window.Command3->setFocus();
    QELVORA_TRY_COMPARE(test::focusStop(window), QStringLiteral("Command3"), 5000);
    press(Qt::Key_Return);
    QELVORA_TRY_COMPARE(catcher.seen.size(), 1, 5000);
    QVERIFY(!window.Timer15->isActive());
    QVERIFY(activate(window));

    QTest::mouseClick(window.Command2, Qt::LeftButton);
    QVERIFY(window.Timer15->isActive());
    QCOMPARE(test::buttonStates(window), QStringLiteral("001"));
    QVERIFY2(test::focusStop(window) != QLatin1String("Command3"),
             qPrintable(test::focusStop(window)));
    press(Qt::Key_Return);
    test::pause(100);
    QCOMPARE(catcher.seen.size(), 1);
    QVERIFY(window.Timer15->isActive());
    window.Command3_Click();
}

int main(int argc, char *argv[])
{
    // Every page request goes to a loopback port that refuses it, the vendor's site included:
    // nothing leaves the machine, and the panels show the engine's page for a site that cannot be
    // reached, as on a machine without network.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
            qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") + " --proxy-server=127.0.0.1:9");
    const auto app = startProgram(argc, argv);
    TestKeyboard test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_keyboard.moc"
