// A long automatic run with the shipped random source: thousands of draws against a reference
// that never matches, every draw checked the moment its blue box settles, then Stop.
// QELVORA_SOAK_DRAWS sets the number of draws: by default 1100, which takes the log past its trim
// length twice; CI runs 5000 (its test presets set it), to find what only endurance shows.
#include "form1.h"
#include "number_rules.h"
#include "support/test_support.h"
#include "text_boxes.h"

#include <QElapsedTimer>
#include <QTest>

#include <set>

using namespace qelvora;

namespace {

constexpr int kDefaultDraws = 1100;
constexpr int kLogLimit = 60000;
constexpr int kTrimAbove = 58000;

// A settled ball box: exactly two ASCII digits forming a number in 1..count.
int settledNumber(const QString &text, int count)
{
    if (text.size() != 2 || !text.at(0).isDigit() || !text.at(1).isDigit()
        || text.at(0).unicode() > u'9' || text.at(1).unicode() > u'9')
        return 0;
    const int n = text.toInt();
    return n >= 1 && n <= count ? n : 0;
}

} // namespace

class TestLongRunSoak : public QObject {
    Q_OBJECT
private slots:
    void thousandsOfDrawsThenStop();

private:
    // Checks the draw that has just settled; returns what is wrong, or an empty text.
    QString checkSettledDraw(const Form1 &window);

    int m_draws = 0;
    int m_trims = 0;
    QString m_previousLog;
    std::set<int> m_redsSeen;
    std::set<int> m_bluesSeen;
};

QString TestLongRunSoak::checkSettledDraw(const Form1 &window)
{
    const QStringList balls = test::ballTexts(window);
    std::set<int> reds;
    for (int i = 0; i < 6; ++i) {
        const int n = settledNumber(balls.at(i), kRedBallCount);
        if (n == 0)
            return QStringLiteral("red box %1 shows '%2'").arg(i + 1).arg(balls.at(i));
        reds.insert(n);
    }
    if (reds.size() != 6)
        return QStringLiteral("reds repeat: %1").arg(balls.join(u' '));
    const int blue = settledNumber(balls.at(6), kBlueBallCount);
    if (blue == 0)
        return QStringLiteral("blue box shows '%1'").arg(balls.at(6));
    m_redsSeen.insert(reds.begin(), reds.end());
    m_bluesSeen.insert(blue);

    const QString counter = window.Label4->text();
    if (counter != QString::number(m_draws))
        return QStringLiteral("counter %1 after %2 draws").arg(counter).arg(m_draws);

    const QString log = window.Text4->text();
    if (log.size() > kLogLimit)
        return QStringLiteral("log holds %1 characters").arg(log.size());
    const QString entry = test::logEntry(counter, balls);
    const bool trimmed = m_previousLog.size() > kTrimAbove;
    const QString expected = trimmed ? entry : m_previousLog + entry;
    if (log != expected) {
        return QStringLiteral("draw %1: log of %2 characters, expected %3 (previous %4), ends '%5'")
            .arg(m_draws)
            .arg(log.size())
            .arg(expected.size())
            .arg(m_previousLog.size())
            .arg(log.right(entry.size()));
    }
    if (trimmed)
        ++m_trims;
    m_previousLog = log;
    return QString();
}

// Timers shortened 1000-fold: stages 1 ms (the shortest that keeps them apart from the rollers,
// so that every red box has settled before the blue one logs) and rollers on every pass of the
// event loop. The cycle ticks every millisecond instead of every 11: a draw with its log entry
// takes longer than that, so nearly every tick falls on a running draw and must wait, and the
// next draw starts within a millisecond of the last one settling. A slot on Timer16, connected
// after the window's own, sees the automatic blue roller switch itself off: that is the moment
// a draw has settled and logged.
void TestLongRunSoak::thousandsOfDrawsThenStop()
{
    Form1 window(nullptr, test::kNowhere);
    test::shortenTimers(window, 1000);
    window.Timer15->setInterval(1);
    Module1 = DrawSlots();
    QCOMPARE(window.Timer4->interval(), 1);
    QCOMPARE(window.Timer1->interval(), 0);

    QString failure;
    connect(window.Timer16, &QTimer::timeout, this, [&] {
        if (window.Timer16->isActive() || !failure.isEmpty())
            return;
        ++m_draws;
        failure = checkSettledDraw(window);
    });
    // A draw begins at a cycle tick; the counter then already names it. The log at that moment
    // is the one a trim decision was taken on, and it must be what the last check saw (or
    // empty, when it had passed the trim length).
    int drawStarts = 0;
    connect(window.Timer15, &QTimer::timeout, this, [&] {
        if (window.Label4->text() == QString::number(drawStarts + 1) && failure.isEmpty()) {
            ++drawStarts;
            const QString log = window.Text4->text();
            const QString expected = m_previousLog.size() > kTrimAbove ? QString() : m_previousLog;
            if (log != expected)
                failure = QStringLiteral("draw start %1: log of %2 characters, expected %3")
                              .arg(drawStarts)
                              .arg(log.size())
                              .arg(expected.size());
        }
    });

    bool given = false;
    const int draws = qEnvironmentVariableIntValue("QELVORA_SOAK_DRAWS", &given);
    const int wanted = given ? draws : kDefaultDraws;
    QVERIFY2(wanted >= kDefaultDraws, "QELVORA_SOAK_DRAWS below 1100 would not trim the log twice");

    QElapsedTimer clock;
    clock.start();
    test::startRun(window, QStringList(7, QStringLiteral("99")));
    QTRY_VERIFY_WITH_TIMEOUT(m_draws >= wanted || !failure.isEmpty(), 240000);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));

    // Stop while a draw is under way: that draw settles and logs, none follows.
    QTRY_VERIFY_WITH_TIMEOUT(window.drawRunning() || !failure.isEmpty(), 5000);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    const int startedAtStop = int(lenientParse(window.Label4->text()));
    QCOMPARE(startedAtStop, m_draws + 1);
    test::MessageCatcher catcher;
    window.Command3_Click();
    QCOMPARE(catcher.seen.size(), 1);
    QCOMPARE(catcher.seen[0].text, test::kStopping);
    QVERIFY(!window.Timer15->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(!window.drawRunning(), 5000);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(m_draws, startedAtStop);
    // Long enough for several more draws, had the run gone on.
    QTest::qWait(200);
    QCOMPARE(m_draws, startedAtStop);
    QCOMPARE(window.Label4->text(), QString::number(startedAtStop));
    QVERIFY(window.Text4->text().endsWith(
        test::logEntry(QString::number(startedAtStop), test::ballTexts(window))));
    QVERIFY(window.Command1->isEnabled());
    QVERIFY(window.Command2->isEnabled());
    QVERIFY(!window.Command3->isEnabled());
    qInfo("%d draws in %lld ms, log emptied %d times", m_draws, clock.elapsed(), m_trims);

    // About 115 characters an entry: the log passed the trim length every 500 draws or so.
    QVERIFY(m_trims >= m_draws / 520);
    QCOMPARE(drawStarts, m_draws);
    // With thousands of picks, a number that never came up means a stuck source.
    QCOMPARE(int(m_redsSeen.size()), kRedBallCount);
    QCOMPARE(int(m_bluesSeen.size()), kBlueBallCount);
}

QELVORA_TEST_MAIN(TestLongRunSoak)
#include "tst_long_run_soak.moc"
