// The ball rollers (counting, wrapping, settling, finishing the draw) and the result log
// (entry format, lengths, trimming at a draw start).
#include "form1.h"
#include "support/test_support.h"
#include "text_boxes.h"

#include <QTest>

using namespace qelvora;

namespace {

QString entry(const QString &counter, const QString &reds, const QString &blue)
{
    return QStringLiteral("第") + counter + QStringLiteral("次开奖结果:  ") + reds
        + QStringLiteral("  +  ") + blue + QString(78, u' ');
}

} // namespace

class TestRollersAndLog : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void rollCountsOn_data();
    void rollCountsOn();
    void settleShowsTwoDigitForm_data();
    void settleShowsTwoDigitForm();
    void pickPresentAtFirstTickSettlesWithoutRolling();
    void redRollerTouchesOnlyItsOwnBox();
    void manualBlueRollerFinishesTheDraw();
    void automaticBlueRollerLeavesButtons();
    void entryLengthsGrowWithTheCounter();
    void trimAtDrawStart();
    void numberingContinuesAfterTrim();

private:
    std::unique_ptr<Form1> m_window;
    test::ScriptedRandom *m_random = nullptr;
};

void TestRollersAndLog::init() { m_window = test::makeScriptedWindow(m_random); }

void TestRollersAndLog::cleanup() { m_window.reset(); }

void TestRollersAndLog::rollCountsOn_data()
{
    QTest::addColumn<bool>("blue");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("next");
    QTest::newRow("empty red box") << false << ""
                                   << "1";
    QTest::newRow("red wraps after 33") << false << "33"
                                        << "1";
    QTest::newRow("red 32") << false << "32"
                            << "33";
    QTest::newRow("two-digit form counts on") << false << "07"
                                              << "8";
    QTest::newRow("nine") << false << "09"
                          << "10";
    QTest::newRow("wrap compared as text") << false << " 33"
                                           << "34";
    QTest::newRow("not a number") << false << "ab"
                                  << "1";
    QTest::newRow("red 16 goes on") << false << "16"
                                    << "17";
    QTest::newRow("empty blue box") << true << ""
                                    << "1";
    QTest::newRow("blue wraps after 16") << true << "16"
                                         << "1";
    QTest::newRow("blue 15") << true << "15"
                             << "16";
}

void TestRollersAndLog::rollCountsOn()
{
    QFETCH(bool, blue);
    QFETCH(QString, shown);
    QFETCH(QString, next);
    QLineEdit *box = blue ? m_window->Text8 : m_window->Text6;
    QTimer *timer = blue ? m_window->Timer16 : m_window->Timer8;
    box->setText(shown);
    Form1::setTimerEnabled(timer, true);
    blue ? m_window->Timer16_Timer() : m_window->Timer8_Timer();
    QCOMPARE(box->text(), next);
    QVERIFY(timer->isActive());
    QVERIFY(m_window->Text4->text().isEmpty());
}

void TestRollersAndLog::settleShowsTwoDigitForm_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("pick");
    QTest::addColumn<QString>("shown");
    QTest::newRow("red 5") << 1 << "5"
                           << "05";
    QTest::newRow("red 10") << 2 << "10"
                            << "10";
    QTest::newRow("red 33") << 6 << "33"
                            << "33";
    QTest::newRow("blue 16") << 7 << "16"
                             << "16";
    QTest::newRow("blue 1") << 7 << "1"
                            << "01";
}

void TestRollersAndLog::settleShowsTwoDigitForm()
{
    QFETCH(int, position);
    QFETCH(QString, pick);
    QFETCH(QString, shown);
    Module1.pick(position) = pick;
    const std::array<QTimer *, 7> timers = {m_window->Timer1, m_window->Timer2, m_window->Timer3,
                                            m_window->Timer7, m_window->Timer8, m_window->Timer9,
                                            m_window->Timer10};
    const std::array<void (Form1::*)(), 7> handlers = {
        &Form1::Timer1_Timer, &Form1::Timer2_Timer, &Form1::Timer3_Timer, &Form1::Timer7_Timer,
        &Form1::Timer8_Timer, &Form1::Timer9_Timer, &Form1::Timer10_Timer};
    QTimer *timer = timers[position - 1];
    Form1::setTimerEnabled(timer, true);
    (m_window.get()->*handlers[position - 1])();
    QCOMPARE(test::ballTexts(*m_window).at(position - 1), shown);
    QVERIFY(!timer->isActive());
}

void TestRollersAndLog::pickPresentAtFirstTickSettlesWithoutRolling()
{
    m_window->Text2->setText(QStringLiteral("12"));
    Module1.PickedBall2 = QStringLiteral("3");
    Form1::setTimerEnabled(m_window->Timer2, true);
    m_window->Timer2_Timer();
    QCOMPARE(m_window->Text2->text(), QStringLiteral("03"));
    QVERIFY(!m_window->Timer2->isActive());
}

void TestRollersAndLog::redRollerTouchesOnlyItsOwnBox()
{
    test::shortenTimers(*m_window);
    m_window->Text4->setText(QStringLiteral("log"));
    Module1.PickedBall4 = QString(); // position 4 still rolling
    Form1::setTimerEnabled(m_window->Timer7, true);
    QTRY_VERIFY(m_window->Text5->text().toInt() >= 5);
    Module1.PickedBall4 = QStringLiteral("8");
    QTRY_VERIFY(!m_window->Timer7->isActive());
    QCOMPARE(m_window->Text5->text(), QStringLiteral("08"));
    // It stays settled while the others would go on.
    QTest::qWait(50);
    QCOMPARE(m_window->Text5->text(), QStringLiteral("08"));

    QStringList others = test::ballTexts(*m_window);
    others.removeAt(3);
    QCOMPARE(others, QStringList(6, QString()));
    QCOMPARE(m_window->Text4->text(), QStringLiteral("log"));
    QVERIFY(m_window->Command1->isEnabled());
    for (QTimer *t : m_window->allTimers())
        QVERIFY(!t->isActive());
}

void TestRollersAndLog::manualBlueRollerFinishesTheDraw()
{
    m_window->Label4->setText(QStringLiteral("12"));
    m_window->Text4->setText(QStringLiteral("old entries "));
    m_window->Command1->setEnabled(false);
    m_window->Command2->setEnabled(false);
    Module1.LogBall1 = "07";
    Module1.LogBall2 = "23";
    Module1.LogBall3 = "03";
    Module1.LogBall4 = "30";
    Module1.LogBall5 = "15";
    Module1.LogBall6 = "01";
    Module1.LogBlueBall = "09";
    Module1.PickedBall7 = QStringLiteral("9");

    // The buttons come back only after the entry is in the log and the blue box has settled.
    QList<int> logLengthWhenEnabled;
    QStringList blueWhenEnabled;
    auto watcher = std::make_unique<QObject>();
    struct Filter : QObject {
        std::function<void()> onEnable;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::EnabledChange)
                onEnable();
            return false;
        }
    } filter;
    filter.onEnable = [&] {
        logLengthWhenEnabled << int(m_window->Text4->text().size());
        blueWhenEnabled << m_window->Text8->text();
    };
    m_window->Command1->installEventFilter(&filter);
    m_window->Command2->installEventFilter(&filter);

    Form1::setTimerEnabled(m_window->Timer10, true);
    m_window->Timer10_Timer();

    const QString expected = QStringLiteral("old entries ")
        + entry("12", "07-23-03-30-15-01", "09");
    QCOMPARE(m_window->Text4->text(), expected);
    QCOMPARE(entry("12", "07-23-03-30-15-01", "09").size(), 113);
    QCOMPARE(m_window->Text8->text(), QStringLiteral("09"));
    QVERIFY(!m_window->Timer10->isActive());
    QVERIFY(m_window->Command1->isEnabled());
    QVERIFY(m_window->Command2->isEnabled());
    QCOMPARE(logLengthWhenEnabled, QList<int>({int(expected.size()), int(expected.size())}));
    QCOMPARE(blueWhenEnabled, QStringList({"09", "09"}));
    QCOMPARE(m_window->Text4->textCursor().position(), int(expected.size()));
    QVERIFY(!m_window->Text4->text().contains(u'\n'));
    QVERIFY(!m_window->Text4->text().contains(u'\r'));
}

void TestRollersAndLog::automaticBlueRollerLeavesButtons()
{
    m_window->Label4->setText(QStringLiteral("1"));
    m_window->Command1->setEnabled(false);
    m_window->Command2->setEnabled(false);
    m_window->Command3->setEnabled(true);
    Form1::setTimerEnabled(m_window->Timer15, true); // the automatic run is active
    Module1.LogBall1 = "01";
    Module1.LogBall2 = "02";
    Module1.LogBall3 = "03";
    Module1.LogBall4 = "04";
    Module1.LogBall5 = "05";
    Module1.LogBall6 = "06";
    Module1.LogBlueBall = "16";
    Module1.PickedBall7 = QStringLiteral("16");
    Form1::setTimerEnabled(m_window->Timer16, true);
    m_window->Timer16_Timer();

    QCOMPARE(m_window->Text4->text(), entry("1", "01-02-03-04-05-06", "16"));
    QCOMPARE(m_window->Text4->text().size(), 112);
    QCOMPARE(m_window->Text8->text(), QStringLiteral("16"));
    QVERIFY(!m_window->Timer16->isActive());
    QCOMPARE(test::buttonStates(*m_window), QStringLiteral("001"));
    QCOMPARE(m_window->Text4->textCursor().position(), 112);
    Form1::setTimerEnabled(m_window->Timer15, false);
}

// Draws 9 and 10 on real (shortened) timers: entries of 112 and 113 characters.
void TestRollersAndLog::entryLengthsGrowWithTheCounter()
{
    test::shortenTimers(*m_window);
    m_window->Label4->setText(QStringLiteral("8"));
    for (int draw = 9; draw <= 10; ++draw) {
        m_random->queueDraw({1, 2, 3, 4, 5, 6}, 7);
        const qsizetype before = m_window->Text4->text().size();
        QTest::mouseClick(m_window->Command1, Qt::LeftButton);
        QTRY_VERIFY(m_window->Command1->isEnabled());
        const QString added = m_window->Text4->text().mid(before);
        QCOMPARE(added, entry(QString::number(draw), "01-02-03-04-05-06", "07"));
        QCOMPARE(added.size(), draw == 9 ? 112 : 113);
    }
}

void TestRollersAndLog::trimAtDrawStart()
{
    test::shortenTimers(*m_window);
    m_window->Text4->setText(QString(58000, u'x'));
    m_random->queueDraw({1, 2, 3, 4, 5, 6}, 7);
    m_window->Command1_Click();
    QCOMPARE(m_window->Text4->text().size(), 58000);
    QTRY_VERIFY(m_window->Command1->isEnabled());
    // 58000 + 112: over the trim threshold now, so the next draw start empties the log.
    QCOMPARE(m_window->Text4->text().size(), 58112);

    m_random->queueDraw({1, 2, 3, 4, 5, 6}, 7);
    m_window->Command1_Click();
    QVERIFY(m_window->Text4->text().isEmpty());
    QTRY_VERIFY(m_window->Command1->isEnabled());
    QCOMPARE(m_window->Text4->text(), entry("2", "01-02-03-04-05-06", "07"));

    m_window->Text4->setText(QString(58001, u'y'));
    m_random->queueDraw({1, 2, 3, 4, 5, 6}, 7);
    m_window->Command1_Click();
    QVERIFY(m_window->Text4->text().isEmpty());
    QTRY_VERIFY(m_window->Command1->isEnabled());
}

void TestRollersAndLog::numberingContinuesAfterTrim()
{
    test::shortenTimers(*m_window);
    m_window->Label4->setText(QStringLiteral("531"));
    m_window->Text4->setText(QString(58001, u'z'));
    m_random->queueDraw({33, 32, 31, 30, 29, 28}, 16);
    m_window->Command1_Click();
    QTRY_VERIFY(m_window->Command1->isEnabled());
    QCOMPARE(m_window->Text4->text(), entry("532", "33-32-31-30-29-28", "16"));
}

QELVORA_TEST_MAIN(TestRollersAndLog)
#include "tst_rollers_and_log.moc"
