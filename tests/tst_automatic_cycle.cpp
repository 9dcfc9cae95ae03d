// The automatic comparison draw: reference entry and its check, the cycle that draws until the
// boxes equal the reference, Stop, a manual draw pressed right after Stop, and the two ways a run
// must not go wrong: comparing a draw still rolling, reporting a match twice.
#include "form1.h"
#include "support/test_support.h"
#include "text_boxes.h"

#include <QTest>

using namespace qelvora;

namespace {

int entries(const Form1 &window)
{
    return int(window.Text4->text().count(QStringLiteral("次开奖结果:")));
}

} // namespace

class TestAutomaticCycle : public test::WindowTest {
    Q_OBJECT
public:
    TestAutomaticCycle()
        : WindowTest({.timerFactor = 50})
    {
    }

private slots:
    void refusedWithABoxEmpty();
    void singleDigitsRewritten_data();
    void singleDigitsRewritten();
    void acceptedClickArmsTheRun();
    void zeroReferenceMatchesEmptyBoxes();
    void lastManualDrawMatchesOnFirstTick_data();
    void lastManualDrawMatchesOnFirstTick();
    void runUntilTheThirdDrawMatches();
    void sameRedsInAnotherOrderDoNotMatch();
    void stopWhileWaiting();
    void stopDuringADraw();
    void manualDrawAfterStopSupersedesTheRunningDraw();
    void tickWaitsForARunningDraw();
    void matchMessageShownOnce();
};

void TestAutomaticCycle::refusedWithABoxEmpty()
{
    test::setReference(*m_window, {"1", "2", "3", "4", "5", "6", ""});
    test::MessageCatcher catcher;
    m_window->Command2_Click();
    QCOMPARE(catcher.seen.size(), 1);
    QCOMPARE(catcher.seen[0].title, QStringLiteral("自动摇奖提示"));
    QCOMPARE(catcher.seen[0].text, test::kFillAll);
    QCOMPARE(m_window->Text9->text(), QStringLiteral("1"));
    QVERIFY(!m_window->Timer15->isActive());
    QCOMPARE(test::buttonStates(*m_window), QStringLiteral("110"));

    // A single blank is a filled box.
    test::setReference(*m_window, {" ", "2", "3", "4", "5", "6", "7"});
    m_window->Command2_Click();
    QCOMPARE(catcher.seen.size(), 1);
    QVERIFY(m_window->Timer15->isActive());
    QCOMPARE(m_window->Text9->text(), QStringLiteral(" "));
}

void TestAutomaticCycle::singleDigitsRewritten_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    for (int d = 1; d <= 9; ++d)
        QTest::addRow("%d", d) << QString::number(d) << QStringLiteral("0%1").arg(d);
    for (const char *text : {"0", "00", " 5", "5 ", "07", "34", "99", "ab", "a"})
        QTest::addRow("'%s' kept", text) << QString::fromLatin1(text) << QString::fromLatin1(text);
}

void TestAutomaticCycle::singleDigitsRewritten()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    test::startRun(*m_window, QStringList(7, typed));
    for (const QLineEdit *box : test::referenceBoxesByName(*m_window))
        QVERIFY2(box->text() == kept,
                 qPrintable(box->objectName()
                            + QStringLiteral(": '%1', expected '%2'").arg(box->text(), kept)));
}

void TestAutomaticCycle::acceptedClickArmsTheRun()
{
    m_window->Text3->setText(QStringLiteral("05"));
    test::startRun(*m_window, {"1", "2", "3", "4", "5", "6", "7"});
    QCOMPARE(test::buttonStates(*m_window), QStringLiteral("001"));
    QVERIFY(!m_window->drawRunning());
    QCOMPARE(m_window->Label4->text(), QStringLiteral("0"));
    QCOMPARE(m_window->Text3->text(), QStringLiteral("05"));
    Form1::setTimerEnabled(m_window->Timer15, false);
}

void TestAutomaticCycle::zeroReferenceMatchesEmptyBoxes()
{
    test::MessageCatcher catcher;
    test::startRun(*m_window, {"0", "00", "0", "0", "00", "0", "0"});
    QTRY_COMPARE(catcher.seen.size(), 1);
    QCOMPARE(catcher.seen[0].title, QStringLiteral("摇奖提示框"));
    QCOMPARE(catcher.seen[0].text, test::kFound);
    QTRY_VERIFY(!m_window->Timer15->isActive());
    QCOMPARE(m_window->Label4->text(), QStringLiteral("0"));
    QCOMPARE(test::buttonStates(*m_window), QStringLiteral("110"));
}

void TestAutomaticCycle::lastManualDrawMatchesOnFirstTick_data()
{
    QTest::addColumn<QStringList>("reference");
    QTest::newRow("single digits") << QStringList({"7", "12", "3", "30", "1", "25", "9"});
    QTest::newRow("two-digit form") << QStringList({"07", "12", "03", "30", "01", "25", "09"});
    QTest::newRow("leading blank") << QStringList({" 7", "12", " 3", "30", " 1", "25", " 9"});
}

void TestAutomaticCycle::lastManualDrawMatchesOnFirstTick()
{
    QFETCH(QStringList, reference);
    m_random->queueDraw({7, 12, 3, 30, 1, 25}, 9);
    m_window->Command1_Click();
    QTRY_VERIFY(m_window->Command1->isEnabled());

    test::MessageCatcher catcher;
    test::startRun(*m_window, reference);
    QTRY_COMPARE(catcher.seen.size(), 1);
    QCOMPARE(catcher.seen[0].text, test::kFound);
    QTRY_VERIFY(!m_window->Timer15->isActive());
    QCOMPARE(m_window->Label4->text(), QStringLiteral("1"));
    QCOMPARE(entries(*m_window), 1);
    QVERIFY(!m_window->drawRunning());
    QCOMPARE(test::buttonStates(*m_window), QStringLiteral("110"));

    // Started again unchanged, the boxes still show the matching draw.
    test::startRun(*m_window, reference);
    QTRY_COMPARE(catcher.seen.size(), 2);
    QCOMPARE(m_window->Label4->text(), QStringLiteral("1"));
}

void TestAutomaticCycle::runUntilTheThirdDrawMatches()
{
    m_random->queueDraw({1, 2, 3, 4, 5, 6}, 7);
    m_random->queueDraw({33, 32, 31, 30, 29, 28}, 16);
    m_random->queueDraw({3, 14, 15, 9, 26, 5}, 8);
    test::MessageCatcher catcher;
    test::startRun(*m_window, {"3", "14", "15", "9", "26", "5", "8"});
    QTRY_COMPARE_WITH_TIMEOUT(catcher.seen.size(), 1, 15000);
    QCOMPARE(catcher.seen[0].text, test::kFound);
    QTRY_VERIFY(!m_window->Timer15->isActive());
    QCOMPARE(m_window->Label4->text(), QStringLiteral("3"));
    QCOMPARE(entries(*m_window), 3);
    const QString log = m_window->Text4->text();
    QVERIFY(log.contains(test::logEntry(1, {1, 2, 3, 4, 5, 6}, 7)));
    QVERIFY(log.contains(test::logEntry(2, {33, 32, 31, 30, 29, 28}, 16)));
    QVERIFY(log.contains(test::logEntry(3, {3, 14, 15, 9, 26, 5}, 8)));
    QCOMPARE(test::ballTexts(*m_window), QStringList({"03", "14", "15", "09", "26", "05", "08"}));
    QCOMPARE(test::buttonStates(*m_window), QStringLiteral("110"));
    QCOMPARE(m_random->shortfall, 0);
}

void TestAutomaticCycle::sameRedsInAnotherOrderDoNotMatch()
{
    m_random->queueDraw({1, 2, 3, 4, 5, 6}, 7);
    m_random->queueDraw({1, 2, 3, 4, 5, 6}, 8);
    m_random->queueDraw({1, 2, 3, 4, 5, 6}, 7);
    test::MessageCatcher catcher;
    test::startRun(*m_window, {"2", "1", "3", "4", "5", "6", "7"});
    QTRY_COMPARE_WITH_TIMEOUT(m_window->Label4->text(), QStringLiteral("3"), 15000);
    QVERIFY(catcher.seen.isEmpty());
    m_window->Command3_Click();
    QTRY_VERIFY(!m_window->drawRunning());
    QCOMPARE(catcher.seen.size(), 1);
    QCOMPARE(catcher.seen[0].text, test::kStopping);
}

void TestAutomaticCycle::stopWhileWaiting()
{
    test::startRun(*m_window, {"1", "2", "3", "4", "5", "6", "7"});
    test::MessageCatcher catcher;
    m_window->Command3_Click();
    QCOMPARE(catcher.seen.size(), 1);
    QCOMPARE(catcher.seen[0].title, QStringLiteral("摇奖提示框"));
    QCOMPARE(catcher.seen[0].text, test::kStopping);
    QVERIFY(!m_window->Timer15->isActive());
    QCOMPARE(test::buttonStates(*m_window), QStringLiteral("110"));
    QTest::qWait(3 * m_window->Timer15->interval());
    QCOMPARE(m_window->Label4->text(), QStringLiteral("0"));
    QVERIFY(!m_window->drawRunning());
}

// Stop during an automatic draw: the draw completes and logs, nothing follows, and both draw
// buttons are back once the message is answered, before the draw completes.
void TestAutomaticCycle::stopDuringADraw()
{
    // Stage 2 rejects fifteen candidates: the draw runs long enough to look at the buttons.
    m_random->queueRed(1);
    for (int i = 0; i < 15; ++i)
        m_random->queueRed(1);
    m_random->queueDraw({2, 3, 4, 5, 6}, 7);
    test::startRun(*m_window, {"9", "9", "9", "9", "9", "9", "9"});
    QTRY_VERIFY_WITH_TIMEOUT(m_window->drawRunning(), 5000);

    test::MessageCatcher catcher;
    QString buttonsWhileOpen;
    catcher.beforeAnswer = [&] { buttonsWhileOpen = test::buttonStates(*m_window); };
    m_window->Command3_Click();
    QCOMPARE(catcher.seen.size(), 1);
    QCOMPARE(buttonsWhileOpen, QStringLiteral("011"));
    QVERIFY(m_window->drawRunning());
    QCOMPARE(test::buttonStates(*m_window), QStringLiteral("110"));

    QTRY_VERIFY_WITH_TIMEOUT(!m_window->drawRunning(), 5000);
    QCOMPARE(test::buttonStates(*m_window), QStringLiteral("110"));
    QCOMPARE(m_window->Text4->text(), test::logEntry(1, {1, 2, 3, 4, 5, 6}, 7));
    QTest::qWait(3 * m_window->Timer15->interval());
    QCOMPARE(m_window->Label4->text(), QStringLiteral("1"));
    QCOMPARE(entries(*m_window), 1);
}

// Through the buttons, as a user presses them: Stop during an automatic draw, then Manual draw
// at once while that draw is still rolling. The automatic draw is abandoned without an entry,
// the manual one runs and logs, and at no moment do two draws run side by side.
void TestAutomaticCycle::manualDrawAfterStopSupersedesTheRunningDraw()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    // The automatic draw picks 1, then keeps rejecting 1 at stage 2.
    for (int i = 0; i < 40; ++i)
        m_random->queueRed(1);
    test::startRun(*m_window, QStringList(7, QStringLiteral("9")));
    QTRY_VERIFY_WITH_TIMEOUT(isPicked(Module1.PickedBall1), 5000);

    int mostStagesArmed = 0;
    bool twoBlueRollers = false;
    QStringList duplicates;
    QTimer watch;
    watch.setInterval(0);
    connect(&watch, &QTimer::timeout, this, [&] {
        int armed = 0;
        for (QTimer *t : {m_window->Timer4, m_window->Timer5, m_window->Timer6, m_window->Timer11,
                          m_window->Timer12, m_window->Timer13, m_window->Timer14})
            armed += t->isActive() ? 1 : 0;
        mostStagesArmed = std::max(mostStagesArmed, armed);
        twoBlueRollers = twoBlueRollers
            || (m_window->Timer10->isActive() && m_window->Timer16->isActive());
        QStringList reds;
        for (int position = 1; position <= 6; ++position)
            if (isPicked(Module1.pick(position)))
                reds << Module1.pick(position);
        if (reds.removeDuplicates() > 0)
            duplicates << reds.join(u',');
    });
    watch.start();

    test::MessageCatcher catcher;
    QTest::mouseClick(m_window->Command3, Qt::LeftButton);
    QCOMPARE(catcher.seen.size(), 1);
    QCOMPARE(catcher.seen[0].text, test::kStopping);
    QVERIFY(m_window->drawRunning());
    QVERIFY(m_window->Timer16->isActive());
    QCOMPARE(test::buttonStates(*m_window), QStringLiteral("110"));

    m_random->values.clear();
    m_random->queueDraw({7, 12, 3, 30, 1, 25}, 9);
    QTest::mouseClick(m_window->Command1, Qt::LeftButton);
    QCOMPARE(m_window->Label4->text(), QStringLiteral("2"));
    QVERIFY(!m_window->Timer16->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(m_window->Command1->isEnabled(), 5000);
    QTest::qWait(3 * m_window->Timer15->interval());
    watch.stop();

    QCOMPARE(mostStagesArmed, 1);
    QVERIFY(!twoBlueRollers);
    QVERIFY2(duplicates.isEmpty(), qPrintable(duplicates.join(u' ')));
    QCOMPARE(m_window->Label4->text(), QStringLiteral("2"));
    QCOMPARE(m_window->Text4->text(), test::logEntry(2, {7, 12, 3, 30, 1, 25}, 9));
    QCOMPARE(test::ballTexts(*m_window), QStringList({"07", "12", "03", "30", "01", "25", "09"}));
    QCOMPARE(test::buttonStates(*m_window), QStringLiteral("110"));
    QVERIFY(!m_window->drawRunning());
    QCOMPARE(catcher.seen.size(), 1);
    QCOMPARE(m_random->shortfall, 0);
}

// Draw 1 rejects eight candidates at stage 2 and is still running when the next tick falls
// due. That tick neither compares nor starts a draw; the one after compares the finished draw.
void TestAutomaticCycle::tickWaitsForARunningDraw()
{
    m_random->queueRed(5);
    for (int i = 0; i < 8; ++i)
        m_random->queueRed(5);
    for (int n : {6, 7, 8, 9, 10})
        m_random->queueRed(n);
    m_random->queueBlue(11);
    m_random->queueDraw({1, 2, 3, 4, 5, 6}, 7);

    test::MessageCatcher catcher;
    // The reference is the slow draw's result. A tick that started a draw over it would cut it
    // off (no entry, the run going on with the next script).
    test::startRun(*m_window, {"5", "6", "7", "8", "9", "10", "11"});
    QTRY_VERIFY_WITH_TIMEOUT(m_window->drawRunning(), 5000);
    int ticksDuringDraw = 0;
    connect(m_window->Timer15, &QTimer::timeout, this, [&] {
        if (m_window->drawRunning())
            ++ticksDuringDraw;
    });
    QTRY_COMPARE_WITH_TIMEOUT(catcher.seen.size(), 1, 15000);
    QCOMPARE(catcher.seen[0].text, test::kFound);
    QTRY_VERIFY(!m_window->Timer15->isActive());

    QVERIFY(ticksDuringDraw >= 1);
    QCOMPARE(m_window->Label4->text(), QStringLiteral("1"));
    QCOMPARE(entries(*m_window), 1);
    QCOMPARE(m_window->Text4->text(), test::logEntry(1, {5, 6, 7, 8, 9, 10}, 11));
    QCOMPARE(m_random->nexts, 15);
}

// The match message stays open over several cycle intervals: no second message, no draw, and
// the run ends when it is answered. Qt does not re-enter the cycle timer's own handler while it
// waits in the message, so a tick is also delivered by hand while the message is open, as a
// timer that fires behind a modal message would deliver it.
void TestAutomaticCycle::matchMessageShownOnce()
{
    const int interval = m_window->Timer15->interval();
    test::MessageCatcher catcher(4 * interval);
    bool runStillOn = false;
    bool stopStillEnabled = false;
    qsizetype seenWhileOpen = 0;
    catcher.beforeAnswer = [&] {
        runStillOn = m_window->Timer15->isActive();
        stopStillEnabled = m_window->Command3->isEnabled();
        seenWhileOpen = catcher.seen.size();
    };
    bool tickDelivered = false;
    QTimer lateTick;
    lateTick.setInterval(interval / 2);
    connect(&lateTick, &QTimer::timeout, this, [&] {
        if (!tickDelivered && !catcher.seen.isEmpty()) {
            tickDelivered = true;
            m_window->Timer15_Timer();
        }
    });
    lateTick.start();

    test::startRun(*m_window, QStringList(7, QStringLiteral("0")));
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->Timer15->isActive(), 10000);
    QVERIFY(tickDelivered);
    QCOMPARE(seenWhileOpen, 1);
    QVERIFY(runStillOn);
    QVERIFY(stopStillEnabled);

    QTest::qWait(2 * interval);
    QCOMPARE(catcher.seen.size(), 1);
    QCOMPARE(m_window->Label4->text(), QStringLiteral("0"));
    QVERIFY(!m_window->drawRunning());
    QCOMPARE(test::buttonStates(*m_window), QStringLiteral("110"));
}

QELVORA_TEST_MAIN(TestAutomaticCycle)
#include "tst_automatic_cycle.moc"
