// The stop stages: one pick per tick, repeats of earlier red picks rejected and retried one
// full interval later, the blue stage preparing the log texts, and nothing outside the draw
// state touched.
#include "app/form1.h"
#include "app/text_boxes.h"
#include "support/test_support.h"

#include <QTest>

using namespace qelvora;

class TestStopSequencer : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void firstStageStoresAndHandsOver();
    void secondStageRejectsEqualText();
    void sixthStageComparesWithAllEarlierPicks();
    void blueStagePreparesLogTexts();
    void rejectionsDelayEveryLaterStage();
    void stagesTouchOnlyTheDrawState();

private:
    int activeStages() const;
    std::unique_ptr<Form1> m_window;
    test::ScriptedRandom *m_random = nullptr;
};

void TestStopSequencer::init()
{
    m_window = test::makeScriptedWindow(m_random);
}

void TestStopSequencer::cleanup()
{
    m_window.reset();
}

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
             qPrintable(QStringLiteral("%1 vs %2").arg(m_window->Timer5->remainingTime())
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
    const QStringList logs = {Module1.LogBall1, Module1.LogBall2, Module1.LogBall3,
                              Module1.LogBall4, Module1.LogBall5, Module1.LogBall6,
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

QTEST_MAIN(TestStopSequencer)
#include "tst_stop_sequencer.moc"
