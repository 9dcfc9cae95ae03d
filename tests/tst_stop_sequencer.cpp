// The stop stages: one pick per tick, repeats of earlier red picks rejected and retried one
// full interval later, the blue stage preparing the log texts, and nothing outside the draw
// state touched.
#include "form1.h"
#include "support/test_support.h"
#include "text_boxes.h"

#include <QTest>
#include <QThread>

using namespace qelvora;

class TestStopSequencer : public test::WindowTest {
    Q_OBJECT
public:
    TestStopSequencer()
        : WindowTest({})
    {
    }

private slots:
    void firstStageStoresAndHandsOver();
    void secondStageRejectsEqualText();
    void sixthStageComparesWithAllEarlierPicks();
    void blueStagePreparesLogTexts();
    void rejectionsDelayEveryLaterStage();
    void everyPickReseedsFirst();
    void lateRejectionRetriesAFullIntervalAfterItself();
    void stagesTouchOnlyTheDrawState();

private:
    int activeStages() const;
};

int TestStopSequencer::activeStages() const
{
    int active = 0;
    for (QTimer *t : {m_window->Timer4, m_window->Timer5, m_window->Timer6, m_window->Timer11,
                      m_window->Timer12, m_window->Timer13, m_window->Timer14})
        active += t->isActive() ? 1 : 0;
    return active;
}

void TestStopSequencer::firstStageStoresAndHandsOver()
{
    Form1::setTimerEnabled(m_window->Timer4, true);
    m_random->queueRed(33);
    m_window->Timer4_Timer();
    QCOMPARE(Module1.PickedBall1, QStringLiteral("33"));
    QVERIFY(!m_window->Timer4->isActive());
    QVERIFY(m_window->Timer5->isActive());
    QCOMPARE(activeStages(), 1);
    QCOMPARE(m_random->reseeds, 1);
    QCOMPARE(m_random->nexts, 1);
    // Stage 1 has no candidate of its own.
    QVERIFY(Module1.CandidateBall.isEmpty());
}

void TestStopSequencer::secondStageRejectsEqualText()
{
    Module1.PickedBall1 = QStringLiteral("5");
    Form1::setTimerEnabled(m_window->Timer5, true);
    QTest::qWait(300);
    const int beforeRejection = m_window->Timer5->remainingTime();

    m_random->queueRed(5);
    m_window->Timer5_Timer();
    QVERIFY(Module1.PickedBall2.isEmpty());
    QCOMPARE(Module1.CandidateBall, QStringLiteral("5"));
    QVERIFY(m_window->Timer5->isActive());
    QVERIFY(!m_window->Timer6->isActive());
    // The interval started afresh: the next attempt is a whole interval away, not the rest of
    // the old one.
    QVERIFY2(m_window->Timer5->remainingTime() > beforeRejection,
             qPrintable(QStringLiteral("%1 vs %2")
                            .arg(m_window->Timer5->remainingTime())
                            .arg(beforeRejection)));
    QVERIFY(m_window->Timer5->remainingTime() > 900);

    m_random->queueRed(6);
    m_window->Timer5_Timer();
    QCOMPARE(Module1.PickedBall2, QStringLiteral("6"));
    QVERIFY(!m_window->Timer5->isActive());
    QVERIFY(m_window->Timer6->isActive());
    QCOMPARE(m_random->reseeds, 2);
}

void TestStopSequencer::sixthStageComparesWithAllEarlierPicks()
{
    const QStringList earlier = {"7", "12", "3", "30", "1"};
    for (int position = 1; position <= 5; ++position)
        Module1.pick(position) = earlier[position - 1];
    Form1::setTimerEnabled(m_window->Timer13, true);

    for (int repeat : {7, 1, 30}) {
        m_random->queueRed(repeat);
        m_window->Timer13_Timer();
        QVERIFY2(Module1.PickedBall6.isEmpty(), qPrintable(QString::number(repeat)));
        QVERIFY(m_window->Timer13->isActive());
        QVERIFY(!m_window->Timer14->isActive());
    }
    m_random->queueRed(25);
    m_window->Timer13_Timer();
    QCOMPARE(Module1.PickedBall6, QStringLiteral("25"));
    QVERIFY(!m_window->Timer13->isActive());
    QVERIFY(m_window->Timer14->isActive());
}

void TestStopSequencer::blueStagePreparesLogTexts()
{
    Module1.LogBall1 = QStringLiteral("old");
    const QStringList reds = {"7", "12", "3", "30", "1", "25"};
    for (int position = 1; position <= 6; ++position)
        Module1.pick(position) = reds[position - 1];
    Form1::setTimerEnabled(m_window->Timer14, true);
    m_random->queueBlue(9);
    m_window->Timer14_Timer();

    QCOMPARE(Module1.PickedBall7, QStringLiteral("9"));
    const QStringList logs = {Module1.LogBall1,   Module1.LogBall2, Module1.LogBall3,
                              Module1.LogBall4,   Module1.LogBall5, Module1.LogBall6,
                              Module1.LogBlueBall};
    QCOMPARE(logs, QStringList({"07", "12", "03", "30", "01", "25", "09"}));
    QCOMPARE(activeStages(), 0);

    // The blue number may equal a red one; it is never rejected.
    Form1::setTimerEnabled(m_window->Timer14, true);
    m_random->queueBlue(12);
    m_window->Timer14_Timer();
    QCOMPARE(Module1.PickedBall7, QStringLiteral("12"));
    QCOMPARE(Module1.LogBlueBall, QStringLiteral("12"));
    QCOMPARE(activeStages(), 0);
}

// A whole chain on real timers (shortened): stage 4 rejects twice, so nine picks are drawn,
// each after a reseed, and the picks come out in position order.
void TestStopSequencer::rejectionsDelayEveryLaterStage()
{
    test::shortenTimers(*m_window);
    for (int n : {7, 12, 3, 7, 12, 30, 1, 25})
        m_random->queueRed(n);
    m_random->queueBlue(9);

    QStringList order;
    QList<int> stagesArmed;
    auto sample = [&] {
        stagesArmed << activeStages();
        for (int position = 1; position <= 7; ++position) {
            const QString tag = QString::number(position);
            if (isPicked(Module1.pick(position)) && !order.contains(tag))
                order << tag;
        }
    };
    QTimer watch;
    watch.setInterval(0);
    connect(&watch, &QTimer::timeout, this, sample);
    watch.start();
    Form1::setTimerEnabled(m_window->Timer4, true);
    QTRY_VERIFY(isPicked(Module1.PickedBall7));
    QTRY_COMPARE(activeStages(), 0);
    watch.stop();
    sample();

    QCOMPARE(order, QStringList({"1", "2", "3", "4", "5", "6", "7"}));
    QCOMPARE(m_random->nexts, 9);
    QCOMPARE(m_random->reseeds, 9);
    QCOMPARE(m_random->shortfall, 0);
    QCOMPARE(Module1.PickedBall4, QStringLiteral("30"));
    // Never more than one stage armed at a time.
    QVERIFY(!stagesArmed.isEmpty());
    QVERIFY(*std::max_element(stagesArmed.begin(), stagesArmed.end()) <= 1);
}

// Reseed, then take the value: before every single pick, retries included, never once for
// several picks and never the other way round.
void TestStopSequencer::everyPickReseedsFirst()
{
    // Stages 1..3, then stage 4 rejects 7, 12 and 3 before it takes 9.
    for (int n : {7, 12, 3, 7, 12, 3, 9, 30, 1})
        m_random->queueRed(n);
    m_random->queueBlue(16);
    m_window->Timer4_Timer();
    m_window->Timer5_Timer();
    m_window->Timer6_Timer();
    m_window->Timer11_Timer();
    m_window->Timer11_Timer();
    m_window->Timer11_Timer();
    m_window->Timer11_Timer();
    m_window->Timer12_Timer();
    m_window->Timer13_Timer();
    m_window->Timer14_Timer();
    QCOMPARE(Module1.PickedBall4, QStringLiteral("9"));
    QCOMPARE(m_random->calls, QStringLiteral("RN").repeated(10));
    QCOMPARE(m_random->shortfall, 0);
}

// The UI thread is held up before stage 2 falls due, so its tick comes late, and that tick
// rejects its candidate. The retry comes one full interval after the late tick, not on the
// draw's original beat, and no stage timer's interval ever changes: it reads what the window
// set up, before, during and after the draw.
void TestStopSequencer::lateRejectionRetriesAFullIntervalAfterItself()
{
    test::shortenTimers(*m_window, 5);
    const int interval = m_window->Timer4->interval();
    QCOMPARE(interval, 200);
    const QList<QTimer *> stages = {m_window->Timer4,  m_window->Timer5,  m_window->Timer6,
                                    m_window->Timer11, m_window->Timer12, m_window->Timer13,
                                    m_window->Timer14};
    QStringList changedIntervals;
    auto checkIntervals = [&](const char *when) {
        for (QTimer *stage : stages)
            if (stage->interval() != interval)
                changedIntervals << QStringLiteral("%1 %2").arg(when).arg(stage->interval());
    };
    checkIntervals("before");

    m_random->queueRed(5);
    m_random->queueRed(5); // stage 2's late tick draws the first pick again
    m_random->queueDraw({6, 7, 8, 9, 10}, 11);

    // Once stage 1 has picked, hold the thread from 70 % of the interval to 130 %: stage 2's
    // tick comes about 30 % of an interval late.
    connect(m_window->Timer4, &QTimer::timeout, this, [&] {
        QTimer::singleShot(interval * 7 / 10, this, [&] { QThread::msleep(interval * 6 / 10); });
    });
    bool retryArmed = false;
    int retryInterval = 0;
    int retryRemaining = 0;
    connect(m_window->Timer5, &QTimer::timeout, this, [&] {
        if (retryInterval != 0)
            return;
        // Runs right after the stage's own handler, in the same tick.
        retryArmed = m_window->Timer5->isActive() && !isPicked(Module1.PickedBall2);
        retryInterval = m_window->Timer5->interval();
        retryRemaining = m_window->Timer5->remainingTime();
    });
    QTimer watch;
    watch.setInterval(0);
    connect(&watch, &QTimer::timeout, this, [&] { checkIntervals("during"); });
    watch.start();

    m_window->Command1_Click();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->Command1->isEnabled(), 10000);
    watch.stop();
    checkIntervals("after");

    QVERIFY(retryArmed);
    QCOMPARE(retryInterval, interval);
    // A whole interval is left right after the rejected tick (the beat of the draw would
    // leave about 70 %).
    QVERIFY2(retryRemaining >= interval * 95 / 100, qPrintable(QString::number(retryRemaining)));
    QVERIFY2(changedIntervals.isEmpty(), qPrintable(changedIntervals.join(u',')));
    QCOMPARE(Module1.PickedBall2, QStringLiteral("6"));
    QCOMPARE(m_random->nexts, 8);
}

void TestStopSequencer::stagesTouchOnlyTheDrawState()
{
    m_window->Text1->setText(QStringLiteral("4"));
    m_window->Text8->setText(QStringLiteral("2"));
    m_window->Text4->setText(QStringLiteral("log"));
    m_window->Label4->setText(QStringLiteral("3"));
    const QStringList boxes = test::ballTexts(*m_window);

    m_random->queueDraw({7, 12, 3, 30, 1, 25}, 9);
    test::runAllStages(*m_window);

    QCOMPARE(test::ballTexts(*m_window), boxes);
    QCOMPARE(m_window->Text4->text(), QStringLiteral("log"));
    QCOMPARE(m_window->Label4->text(), QStringLiteral("3"));
    QCOMPARE(test::buttonStates(*m_window), QStringLiteral("110"));
    QCOMPARE(Module1.LogBall3, QStringLiteral("03"));
}

QELVORA_TEST_MAIN(TestStopSequencer)
#include "tst_stop_sequencer.moc"
