// The window as a blind user meets it: Orca, the screen reader, runs and speaks into a file
// (orca_session.sh), and real key presses (xdotool, on the test's own X server) walk the Tab
// order and start a draw, as the user's keyboard would. What Orca said is read back from the
// file, and what it was told from its own debug log. The window runs with its real intervals.
#include "accessibility.h"
#include "form1.h"
#include "support/test_support.h"
#include "text_boxes.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <memory>

using namespace qelvora;

namespace {

// A file another process appends to, read from where the last read stopped.
class GrowingFile {
public:
    explicit GrowingFile(const QString &path)
        : m_path(path)
    {
    }

    // Everything appended since the last call to mark().
    QString sinceMark() const
    {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        file.seek(m_mark);
        return QString::fromUtf8(file.readAll());
    }

    void mark() { m_mark = size(); }

    qint64 size() const
    {
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? file.size() : 0;
    }

private:
    QString m_path;
    qint64 m_mark = 0;
};

// Presses keys as the keyboard does: through the X server, to the window that has the input
// focus. The event loop runs meanwhile, so that the window answers Orca's questions.
bool pressKeys(const QString &keys)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("key"), keys});
    if (!test::waitUntil([&] { return xdotool.state() == QProcess::NotRunning; }, 10000))
        return false;
    return xdotool.exitStatus() == QProcess::NormalExit && xdotool.exitCode() == 0;
}

// The window's control that holds the keyboard focus, the panel for a widget inside a panel.
QWidget *focusedControl(const Form1 &window)
{
    QWidget *control = QApplication::focusWidget();
    while (control && control->parentWidget() != &window)
        control = control->parentWidget();
    return control;
}

// Orca's debug log names every event it receives: "EVENT MANAGER: object:text-changed:insert
// for ...".
int eventsReceived(const QString &log, const QString &type)
{
    return int(log.count(QStringLiteral("EVENT MANAGER: ") + type));
}

} // namespace

class TestScreenReader : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void tabNamesEveryStop();
    void drawIsAnnouncedWithoutRollerChatter();
    void cleanupTestCase();

private:
    // Waits until Orca has said something that matches since the last mark.
    bool heard(const QRegularExpression &pattern, int timeoutMs);
    // Waits until Orca has done with what it was told, as a user waits for the speech to end
    // before the next key: its debug log has not grown for a while.
    void waitUntilOrcaIsQuiet();

    std::unique_ptr<Form1> m_window;
    test::ScriptedRandom *m_random = nullptr;
    std::unique_ptr<GrowingFile> m_spoken;
    std::unique_ptr<GrowingFile> m_orcaLog;
};

bool TestScreenReader::heard(const QRegularExpression &pattern, int timeoutMs)
{
    return test::waitUntil([&] { return pattern.match(m_spoken->sinceMark()).hasMatch(); },
                           timeoutMs);
}

void TestScreenReader::waitUntilOrcaIsQuiet()
{
    qint64 size = m_orcaLog->size();
    QElapsedTimer unchanged;
    unchanged.start();
    test::waitUntil(
        [&] {
            const qint64 now = m_orcaLog->size();
            if (now != size) {
                size = now;
                unchanged.restart();
            }
            return unchanged.elapsed() >= 500;
        },
        10000);
}

void TestScreenReader::initTestCase()
{
    const QString spoken = qEnvironmentVariable("QELVORA_SPOKEN");
    const QString orcaLog = qEnvironmentVariable("QELVORA_ORCA_LOG");
    if (spoken.isEmpty() || orcaLog.isEmpty())
        QSKIP("Orca is not running; run under CTest, which starts it (orca_session.sh)");
    m_spoken = std::make_unique<GrowingFile>(spoken);
    m_orcaLog = std::make_unique<GrowingFile>(orcaLog);
    m_spoken->mark();

    m_window = test::makeScriptedWindow(m_random);
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    // The panels take their places in the Tab order once they are shown, after the first paint.
    QELVORA_TRY_VERIFY(m_window->WebBrowser1->isVisible() && m_window->WebBrowser2->isVisible(),
                       10000);
    // Orca reads a window that becomes active by its title.
    QVERIFY2(heard(QRegularExpression(QStringLiteral("双色球摇奖测试工具")), 30000),
             qPrintable(QStringLiteral("Orca did not read the window; it said: ")
                        + m_spoken->sinceMark()));
}

void TestScreenReader::init()
{
    // Nothing on the terminal while a screen reader runs.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
}

// Tab from the first ball box once round the window: at every stop Orca says the control's own
// name, the ball boxes, the reference boxes and the web panels as well as the buttons.
void TestScreenReader::tabNamesEveryStop()
{
    Form1 &window = *m_window;
    window.Text1->setFocus(Qt::OtherFocusReason);
    QELVORA_TRY_COMPARE(focusedControl(window), static_cast<QWidget *>(window.Text1), 5000);

    const auto ball = [](int n) { return QStringLiteral("本期开奖结果 红球 %1").arg(n); };
    const auto reference = [](int n) { return QStringLiteral("上期开奖结果 红球 %1").arg(n); };
    const std::pair<QWidget *, QString> stops[] = {
        {window.Text2, ball(2)},
        {window.Text3, ball(3)},
        {window.Command1, QStringLiteral("手动摇奖")},
        {window.Text4, QStringLiteral("开奖记录")},
        {window.WebBrowser1, QStringLiteral("顶部网页")},
        {window.Text5, ball(4)},
        {window.Text6, ball(5)},
        {window.Text7, ball(6)},
        {window.Text8, QStringLiteral("本期开奖结果 蓝球")},
        {window.WebBrowser2, QStringLiteral("底部网页")},
        {window.Command2, QStringLiteral("自动对比摇奖")},
        {window.Text9, reference(1)},
        {window.Text10, reference(2)},
        {window.Text11, reference(3)},
        {window.Text12, reference(4)},
        {window.Text13, reference(5)},
        {window.Text14, reference(6)},
        {window.Text15, QStringLiteral("上期开奖结果 蓝球")},
        {window.Text1, ball(1)},
    };
    QStringList transcript;
    QStringList missed;
    for (const auto &[control, name] : stops) {
        waitUntilOrcaIsQuiet();
        m_spoken->mark();
        QVERIFY(pressKeys(QStringLiteral("Tab")));
        QELVORA_TRY_COMPARE(focusedControl(window), control, 5000);
        const bool named = heard(QRegularExpression(QRegularExpression::escape(name)), 8000);
        const QString said = m_spoken->sinceMark().trimmed().replace(u'\n', QStringLiteral(" | "));
        transcript << QStringLiteral("Tab -> %1: %2").arg(name, said);
        if (!named)
            missed << name;
    }
    qInfo().noquote() << "Orca on the Tab walk:\n" + transcript.join(u'\n');
    QVERIFY2(missed.isEmpty(), qPrintable(QStringLiteral("not heard: ") + missed.join(", ")));
}

// A draw started with Return on "手动摇奖": Orca hears the draw's count and result once it is
// over, and is not flooded by the rollers on the way: the boxes report their numbers when they
// settle, not at every step.
void TestScreenReader::drawIsAnnouncedWithoutRollerChatter()
{
    Form1 &window = *m_window;
    window.Command1->setFocus(Qt::OtherFocusReason);
    QVERIFY(heard(QRegularExpression(QStringLiteral("手动摇奖")), 10000));
    waitUntilOrcaIsQuiet();
    m_random->queueDraw({7, 12, 3, 30, 1, 25}, 9);

    m_spoken->mark();
    m_orcaLog->mark();
    QVERIFY(pressKeys(QStringLiteral("Return")));
    QELVORA_TRY_VERIFY(window.drawRunning(), 5000);
    // The user moves the caret in the log while the boxes roll, between two boxes settling: each
    // key goes to Orca and back before the window sees it, and must come back in time. (Orca
    // flooded by the rollers is never quiet: the keys then go while it is busy.)
    for (QTimer *redRoller : {window.Timer1, window.Timer2, window.Timer3, window.Timer7,
                              window.Timer8, window.Timer9}) {
        QELVORA_TRY_VERIFY(!redRoller->isActive(), 5000);
        waitUntilOrcaIsQuiet();
        QVERIFY(pressKeys(QStringLiteral("Right")));
    }
    QELVORA_TRY_VERIFY(!window.drawRunning(), 30000);
    QCOMPARE(test::ballTexts(window), QStringList({"07", "12", "03", "30", "01", "25", "09"}));
    const QRegularExpression result(
        QStringLiteral("第 ?1 ?次.*07\\D+12\\D+03\\D+30\\D+01\\D+25\\D+09"));
    const bool announced = heard(result, 15000);
    test::pause(1000);
    const QString said = m_spoken->sinceMark();
    const QString log = m_orcaLog->sinceMark();
    qInfo().noquote() << "Orca during and after the draw:\n" + said.trimmed();
    const int textEvents = eventsReceived(log, QStringLiteral("object:text-changed"));
    const int caretEvents = eventsReceived(log, QStringLiteral("object:text-caret-moved"));
    qInfo("Orca received %d text-changed and %d caret-moved events", textEvents, caretEvents);

    QVERIFY2(announced, qPrintable(QStringLiteral("the draw's count and result were not heard")));
    QCOMPARE(said.count(result), 1);
    // The seven boxes emptied and settled, and the log's new entry: a few dozen at most.
    QVERIFY2(textEvents <= 40, qPrintable(QString::number(textEvents)));
    QVERIFY2(caretEvents <= 40, qPrintable(QString::number(caretEvents)));
    QCOMPARE(int(log.count(QStringLiteral("due to deluge"))), 0);
    QCOMPARE(int(log.count(QStringLiteral("due to flood"))), 0);
    // No number spoken on its own while the boxes roll.
    QCOMPARE(int(said.count(QRegularExpression(QStringLiteral("^\\d{1,2}$"),
                                               QRegularExpression::MultilineOption))),
             0);

    // Back to a ball box: read by its name and its number.
    waitUntilOrcaIsQuiet();
    m_spoken->mark();
    QVERIFY(pressKeys(QStringLiteral("shift+Tab")));
    QELVORA_TRY_COMPARE(focusedControl(window), static_cast<QWidget *>(window.Text3), 5000);
    QVERIFY2(heard(QRegularExpression(QStringLiteral("(?s)本期开奖结果 红球 3.*03")), 8000),
             qPrintable(m_spoken->sinceMark()));
    qInfo().noquote() << "Orca on Shift+Tab after the draw: " + m_spoken->sinceMark().trimmed();
}

void TestScreenReader::cleanupTestCase()
{
    // Keys Orca answered too late for Qt, which then delivered them anyway (left off the terminal
    // by the window): for the record, as they depend on how busy the machine is.
    qInfo("keys delivered without Orca's answer: %d", keyForwardingTimeouts());
    m_window.reset();
}

QELVORA_TEST_MAIN(TestScreenReader)
#include "tst_screen_reader.moc"
