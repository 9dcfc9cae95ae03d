// A manual draw from the click to the log entry, the guarantee that a draw start never lets an
// earlier draw's chain run on beside it, and the keys that press the buttons.
#include "form1.h"
#include "support/test_support.h"
#include "text_boxes.h"

#include <QApplication>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

using namespace qelvora;

class TestManualDraw : public test::WindowTest {
    Q_OBJECT
public:
    TestManualDraw()
        : WindowTest({.timerFactor = 50})
    {
    }

private slots:
    void clickStartsTheDraw();
    void wholeDraw();
    void buttonsLockedForTheWholeDraw();
    void counterCountsEveryDraw();
    void drawStartDisarmsARunningDraw();
    void manualStartOverAnAutomaticDrawLogsOnce();
    void returnAndEnterPressTheFocusedButton_data();
    void returnAndEnterPressTheFocusedButton();
};

void TestManualDraw::clickStartsTheDraw()
{
    for (LockedLineEdit *box : {m_window->Text1, m_window->Text5, m_window->Text8})
        box->setText(QStringLiteral("07"));
    m_window->Text4->setText(QStringLiteral("kept"));
    Module1.PickedBall3 = QStringLiteral("3");
    Module1.LogBall1 = QStringLiteral("11");

    m_window->Command1_Click();
    QCOMPARE(test::ballTexts(*m_window), QStringList(7, QString()));
    QCOMPARE(m_window->Text4->text(), QStringLiteral("kept"));
    QCOMPARE(m_window->Label4->text(), QStringLiteral("1"));
    for (int position = 1; position <= 7; ++position)
        QVERIFY(!isPicked(Module1.pick(position)));
    QCOMPARE(Module1.LogBall1, QStringLiteral("11")); // until stage 7 of this draw
    QCOMPARE(test::buttonStates(*m_window), QStringLiteral("000"));
    for (QTimer *t : {m_window->Timer4, m_window->Timer1, m_window->Timer2, m_window->Timer3,
                      m_window->Timer7, m_window->Timer8, m_window->Timer9, m_window->Timer10})
        QVERIFY(t->isActive());
    for (QTimer *t : {m_window->Timer5, m_window->Timer6, m_window->Timer11, m_window->Timer12,
                      m_window->Timer13, m_window->Timer14, m_window->Timer15, m_window->Timer16})
        QVERIFY(!t->isActive());
}

void TestManualDraw::wholeDraw()
{
    m_random->queueDraw({7, 12, 3, 30, 1, 25}, 9);
    QTest::mouseClick(m_window->Command1, Qt::LeftButton);
    QTRY_VERIFY(m_window->Command1->isEnabled());

    QCOMPARE(test::ballTexts(*m_window), QStringList({"07", "12", "03", "30", "01", "25", "09"}));
    const QString expected = test::logEntry(1, {7, 12, 3, 30, 1, 25}, 9);
    QCOMPARE(m_window->Text4->text(), expected);
    QCOMPARE(expected.size(), 112);
    QCOMPARE(m_window->Label4->text(), QStringLiteral("1"));
    QCOMPARE(m_window->Text4->textCursor().position(), 112);
    QVERIFY(m_window->Command2->isEnabled());
    QVERIFY(!m_window->Command3->isEnabled());
    QVERIFY(!m_window->drawRunning());
    QCOMPARE(m_random->shortfall, 0);
}

// Sampled on every pass of the event loop: from the click until the blue box settles neither
// draw button is enabled, and they come back in the very tick that writes the entry.
void TestManualDraw::buttonsLockedForTheWholeDraw()
{
    m_random->queueDraw({4, 5, 6, 7, 8, 9}, 10);
    bool enabledEarly = false;
    int samples = 0;
    QTimer watch;
    watch.setInterval(0);
    connect(&watch, &QTimer::timeout, this, [&] {
        ++samples;
        const bool logged = !m_window->Text4->text().isEmpty();
        if (!logged && (m_window->Command1->isEnabled() || m_window->Command2->isEnabled()))
            enabledEarly = true;
        if (logged && !m_window->Command1->isEnabled())
            enabledEarly = true; // logged but not given back in the same tick
    });
    m_window->Command1_Click();
    watch.start();
    QTRY_VERIFY(!m_window->Text4->text().isEmpty());
    watch.stop();
    QVERIFY(samples > 10);
    QVERIFY(!enabledEarly);
    QVERIFY(m_window->Command1->isEnabled());
}

void TestManualDraw::counterCountsEveryDraw()
{
    for (int draw = 1; draw <= 10; ++draw) {
        m_random->queueDraw({1, 2, 3, 4, 5, 6}, 1);
        m_window->Command1_Click();
        QCOMPARE(m_window->Label4->text(), QString::number(draw));
        QTRY_VERIFY(m_window->Command1->isEnabled());
    }
    QCOMPARE(m_window->Label4->text(), QStringLiteral("10"));
    QVERIFY(m_window->Text4->text().startsWith(test::logEntry(1, {1, 2, 3, 4, 5, 6}, 1)));
    QVERIFY(m_window->Text4->text().contains(test::logEntry(10, {1, 2, 3, 4, 5, 6}, 1)));

    // Far beyond any real run the counter still prints plain digits, never an exponent.
    m_window->Label4->setText(QStringLiteral("999999999999999"));
    for (const char *expected : {"1000000000000000", "1000000000000001"}) {
        m_random->queueDraw({1, 2, 3, 4, 5, 6}, 1);
        m_window->Command1_Click();
        QCOMPARE(m_window->Label4->text(), QString::fromLatin1(expected));
        QTRY_VERIFY(m_window->Command1->isEnabled());
    }
    QVERIFY(
        m_window->Text4->text().contains(test::logEntry(1000000000000001, {1, 2, 3, 4, 5, 6}, 1)));
}

// Draw 1 has picked two reds when draw 2 starts over it. Draw 2 alone goes on: one stage armed,
// its own picks, one entry.
void TestManualDraw::drawStartDisarmsARunningDraw()
{
    m_random->queueRed(1);
    m_random->queueRed(2);
    m_window->Command1_Click();
    m_window->Timer4_Timer();
    m_window->Timer5_Timer();
    QVERIFY(m_window->Timer6->isActive());

    m_random->queueDraw({7, 12, 3, 30, 1, 25}, 9);
    m_window->Command1_Click();
    int armed = 0;
    for (QTimer *t : {m_window->Timer4, m_window->Timer5, m_window->Timer6, m_window->Timer11,
                      m_window->Timer12, m_window->Timer13, m_window->Timer14})
        armed += t->isActive() ? 1 : 0;
    QCOMPARE(armed, 1);
    QVERIFY(m_window->Timer4->isActive());

    QTRY_VERIFY(m_window->Command1->isEnabled());
    QTest::qWait(100);
    QCOMPARE(test::ballTexts(*m_window), QStringList({"07", "12", "03", "30", "01", "25", "09"}));
    QCOMPARE(m_window->Text4->text(), test::logEntry(2, {7, 12, 3, 30, 1, 25}, 9));
    QCOMPARE(m_random->shortfall, 0);
    QVERIFY(m_random->values.empty());
}

// An automatic draw's blue roller is still running when a draw starts: it is switched off, so
// the log gets the new draw's entry only, not a second one from the old roller.
void TestManualDraw::manualStartOverAnAutomaticDrawLogsOnce()
{
    Form1::setTimerEnabled(m_window->Timer16, true);
    Form1::setTimerEnabled(m_window->Timer13, true);
    Module1.PickedBall1 = QStringLiteral("1");

    m_random->queueDraw({7, 12, 3, 30, 1, 25}, 9);
    m_window->Command1_Click();
    QVERIFY(!m_window->Timer16->isActive());
    QVERIFY(!m_window->Timer13->isActive());
    QTRY_VERIFY(m_window->Command1->isEnabled());
    QTest::qWait(100);
    QCOMPARE(m_window->Text4->text(), test::logEntry(1, {7, 12, 3, 30, 1, 25}, 9));
    QCOMPARE(m_random->shortfall, 0);
}

void TestManualDraw::returnAndEnterPressTheFocusedButton_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::newRow("Return") << Qt::Key_Return << Qt::KeyboardModifiers(Qt::NoModifier);
    QTest::newRow("keypad Enter") << Qt::Key_Enter << Qt::KeyboardModifiers(Qt::KeypadModifier);
}

// Return and the keypad's Enter press the button that has the focus, as Space does: once per
// press however long the key is held, never while the button is disabled, and no button ever
// becomes a default button, so Enter in a text box presses none.
void TestManualDraw::returnAndEnterPressTheFocusedButton()
{
    QFETCH(Qt::Key, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    Form1 &window = *m_window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.Timer15->setInterval(11000); // no automatic draw between the presses below

    QSignalSpy manual(window.Command1, &QPushButton::clicked);
    QSignalSpy automatic(window.Command2, &QPushButton::clicked);
    QSignalSpy stop(window.Command3, &QPushButton::clicked);
    // A message box takes the activation with it, and without a window manager it may not come
    // back by itself when the box closes.
    const auto focus = [&window](QWidget *widget) {
        window.activateWindow();
        widget->setFocus(Qt::TabFocusReason);
        return QTest::qWaitFor([widget] { return widget->hasFocus(); });
    };
    const auto noDefaultButton = [&window] {
        return !window.Command1->isDefault() && !window.Command2->isDefault()
            && !window.Command3->isDefault();
    };

    m_random->queueDraw({7, 12, 3, 30, 1, 25}, 9);
    QVERIFY(focus(window.Command1));
    QVERIFY(noDefaultButton());
    QTest::keyClick(window.Command1, key, modifiers);
    QCOMPARE(manual.count(), 1);
    QCOMPARE(window.Label4->text(), QStringLiteral("1"));
    QCOMPARE(test::buttonStates(window), QStringLiteral("000"));
    // The draw has disabled the button: a press on it does nothing.
    QTest::keyClick(window.Command1, key, modifiers);
    QCOMPARE(manual.count(), 1);
    QCOMPARE(window.Label4->text(), QStringLiteral("1"));
    QTRY_VERIFY(window.Command1->isEnabled());
    QCOMPARE(test::ballTexts(window), QStringList({"07", "12", "03", "30", "01", "25", "09"}));

    // Held down, the key repeats; the press still counts once. (With the reference boxes empty
    // the button refuses with a message and stays enabled.)
    QVERIFY(focus(window.Command2));
    {
        test::MessageCatcher catcher;
        QTest::keyPress(window.Command2, key, modifiers);
        for (int i = 0; i < 3; ++i) {
            QKeyEvent repeat(QEvent::KeyPress, key, modifiers, QString(), true);
            QApplication::sendEvent(window.Command2, &repeat);
        }
        QTest::keyRelease(window.Command2, key, modifiers);
        QCOMPARE(automatic.count(), 1);
        QCOMPARE(catcher.seen.size(), 1);
        QCOMPARE(catcher.seen.first().title, QStringLiteral("自动摇奖提示"));
    }

    test::setReference(window, {"01", "02", "03", "04", "05", "06", "07"});
    QVERIFY(focus(window.Command2));
    QVERIFY(noDefaultButton());
    QTest::keyClick(window.Command2, key, modifiers);
    QCOMPARE(automatic.count(), 2);
    QVERIFY(window.Timer15->isActive());
    QCOMPARE(test::buttonStates(window), QStringLiteral("001"));

    QVERIFY(focus(window.Command3));
    QVERIFY(noDefaultButton());
    {
        test::MessageCatcher catcher;
        QTest::keyClick(window.Command3, key, modifiers);
        QCOMPARE(stop.count(), 1);
        QCOMPARE(catcher.seen.size(), 1);
        QCOMPARE(catcher.seen.first().text, test::kStopping);
    }
    QVERIFY(!window.Timer15->isActive());
    QCOMPARE(test::buttonStates(window), QStringLiteral("110"));

    // In the text boxes the key presses no button.
    for (QWidget *box :
         {static_cast<QWidget *>(window.Text9), static_cast<QWidget *>(window.Text15),
          static_cast<QWidget *>(window.Text1), static_cast<QWidget *>(window.Text4)}) {
        QVERIFY(focus(box));
        QTest::keyClick(box, key, modifiers);
    }
    QCOMPARE(manual.count(), 1);
    QCOMPARE(automatic.count(), 2);
    QCOMPARE(stop.count(), 1);
    QCOMPARE(window.Label4->text(), QStringLiteral("1"));
    QVERIFY(!window.Timer15->isActive());
    QVERIFY(noDefaultButton());
}

QELVORA_TEST_MAIN(TestManualDraw)
#include "tst_manual_draw.moc"
