// The ball rollers (counting, wrapping, settling, finishing the draw) and the result log
// (entry format, lengths, trimming at a draw start).
#include "form1.h"
#include "support/test_support.h"
#include "text_boxes.h"

#include <QTest>

using namespace qelvora;

class TestRollersAndLog : public test::WindowTest {
    Q_OBJECT
public:
    TestRollersAndLog()
        : WindowTest({})
    {
    }

private slots:
    void rollerTick_data();
    void rollerTick();
    void redRollerTouchesOnlyItsOwnBox();
    void manualBlueRollerFinishesTheDraw();
    void automaticBlueRollerLeavesButtons();
    void entryLengthsGrowWithTheCounter();
    void trimAtDrawStart();
    void numberingContinuesAfterTrim();
};

// One tick of a roller, by the names of its timer and its box: without its pick the box counts
// on and wraps, with its pick present the box settles on it in two-digit form and the roller
// stops (also at the very first tick, without having rolled).
void TestRollersAndLog::rollerTick_data()
{
    QTest::addColumn<QString>("roller");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("pick"); // empty: not picked yet
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("next");
    const auto red = [](const char *name, const QString &shown, const QString &next) {
        QTest::newRow(name) << "Timer8"
                            << "Text6" << 5 << QString() << shown << next;
    };
    const auto blue = [](const char *name, const QString &shown, const QString &next) {
        QTest::newRow(name) << "Timer16"
                            << "Text8" << 7 << QString() << shown << next;
    };
    red("empty red box", "", "1");
    red("red wraps after 33", "33", "1");
    red("red 32", "32", "33");
    red("two-digit form counts on", "07", "8");
    red("nine", "09", "10");
    red("wrap compared as text", " 33", "34");
    red("not a number", "ab", "1");
    red("red 16 goes on", "16", "17");
    blue("empty blue box", "", "1");
    blue("blue wraps after 16", "16", "1");
    blue("blue 15", "15", "16");
    QTest::newRow("settles on red 5") << "Timer1"
                                      << "Text1" << 1 << "5"
                                      << ""
                                      << "05";
    QTest::newRow("settles on red 10") << "Timer2"
                                       << "Text2" << 2 << "10"
                                       << ""
                                       << "10";
    QTest::newRow("settles on red 33") << "Timer9"
                                       << "Text7" << 6 << "33"
                                       << ""
                                       << "33";
    QTest::newRow("settles on blue 16") << "Timer10"
                                        << "Text8" << 7 << "16"
                                        << ""
                                        << "16";
    QTest::newRow("settles on blue 1") << "Timer10"
                                       << "Text8" << 7 << "1"
                                       << ""
                                       << "01";
    QTest::newRow("pick present at the first tick settles without rolling") << "Timer2"
                                                                            << "Text2" << 2 << "3"
                                                                            << "12"
                                                                            << "03";
}

void TestRollersAndLog::rollerTick()
{
    QFETCH(QString, roller);
    QFETCH(QString, box);
    QFETCH(int, position);
    QFETCH(QString, pick);
    QFETCH(QString, shown);
    QFETCH(QString, next);
    auto *ballBox = test::control<QLineEdit>(*m_window, box);
    auto *timer = test::control<QTimer>(*m_window, roller);
    QVERIFY(ballBox && timer);
    Module1.pick(position) = pick;
    ballBox->setText(shown);
    Form1::setTimerEnabled(timer, true);
    // The timer's handler, by its name (Timer8_Timer).
    QVERIFY(QMetaObject::invokeMethod(m_window, qPrintable(roller + QStringLiteral("_Timer"))));
    QCOMPARE(ballBox->text(), next);
    QCOMPARE(timer->isActive(), pick.isEmpty());
    // A tick that rolls on writes nothing to the log.
    if (pick.isEmpty())
        QVERIFY(m_window->Text4->text().isEmpty());
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
        + test::logEntry(12, {7, 23, 3, 30, 15, 1}, 9);
    QCOMPARE(m_window->Text4->text(), expected);
    QCOMPARE(test::logEntry(12, {7, 23, 3, 30, 15, 1}, 9).size(), 113);
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

    QCOMPARE(m_window->Text4->text(), test::logEntry(1, {1, 2, 3, 4, 5, 6}, 16));
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
        QCOMPARE(added, test::logEntry(draw, {1, 2, 3, 4, 5, 6}, 7));
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
    QCOMPARE(m_window->Text4->text(), test::logEntry(2, {1, 2, 3, 4, 5, 6}, 7));

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
    QCOMPARE(m_window->Text4->text(), test::logEntry(532, {33, 32, 31, 30, 29, 28}, 16));
}

QELVORA_TEST_MAIN(TestRollersAndLog)
#include "tst_rollers_and_log.moc"
