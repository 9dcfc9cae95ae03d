// Helpers shared by the window tests: a scripted random source, a way to shorten every timer of
// a window, a base fixture that opens a fresh window for every case, controls found by their
// object names, the text of a log entry, and a catcher that reads and answers modal messages.
#pragma once

#include "form1.h"
#include "program_start.h"
#include "random_source.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSignalSpy>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QVariant>

#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>

namespace qelvora::test {

// Runs the event loop until done() holds or timeoutMs have passed, and tells whether done()
// held. QTest::qWaitFor and QTest::qWait (and so the QTRY_ macros) sleep 10 ms between their
// passes over the events; the web engine's browser side runs on this thread as long chains of
// tasks, each posted by the one before, and with a sleep per link a page takes seconds to load.
// This loop never sleeps while there is work.
bool waitUntil(const std::function<bool()> &done, int timeoutMs = 5000);

// Runs the event loop for the given time, without the sleeps of QTest::qWait (on a precise
// timer: a coarse one may end 5 % early).
void pause(int ms);

// QTRY_VERIFY_WITH_TIMEOUT and QTRY_COMPARE_WITH_TIMEOUT on waitUntil().
#define QELVORA_TRY_VERIFY(expr, timeoutMs)                                                        \
    do {                                                                                           \
        qelvora::test::waitUntil([&] { return bool(expr); }, timeoutMs);                           \
        QVERIFY(expr);                                                                             \
    } while (false)
#define QELVORA_TRY_COMPARE(actual, expected, timeoutMs)                                           \
    do {                                                                                           \
        qelvora::test::waitUntil([&] { return (actual) == (expected); }, timeoutMs);               \
        QCOMPARE(actual, expected);                                                                \
    } while (false)

// The texts of the window's messages: the reference check's refusal, the match that ends a run,
// and Stop's notice.
inline const QString kFillAll = QStringLiteral(
    "请按照出球顺序填写全上期的开奖结果，以便于系统进行自动比较摇号");
inline const QString kFound = QStringLiteral("找到昨天开奖号码，您可以进行手选，试试手气了");
inline const QString kStopping = QStringLiteral("本次摇奖结束后，将停止继续摇奖");

// A site on loopback whose port refuses connections: the web panels get no page and no test
// ever reaches beyond this machine.
inline const QUrl kNowhere{QStringLiteral("http://127.0.0.1:9")};

// Hands out queued values r in order. When the queue runs dry it hands out 0 (ball 1) and
// counts the shortfall, so a test can tell that its script was too short.
class ScriptedRandom final : public RandomSource {
public:
    void reseed() override
    {
        ++reseeds;
        calls += u'R';
    }
    float next() override;

    // The value r that the formula Int(r * count + 1) turns into the given number.
    static float valueFor(int number, int count);

    void queueRed(int number) { values.push_back(valueFor(number, 33)); }
    void queueBlue(int number) { values.push_back(valueFor(number, 16)); }
    // One draw without rejections: six reds in drawing order, then the blue.
    void queueDraw(std::initializer_list<int> reds, int blue);

    std::deque<float> values;
    int reseeds = 0;
    int nexts = 0;
    QString calls; // "R" for each reseed and "N" for each value taken, in order
    int shortfall = 0;
};

// A window on the loopback site with a scripted random source (handed back through random), and
// the program-wide draw state emptied, as a fresh program run has it.
std::unique_ptr<Form1> makeScriptedWindow(ScriptedRandom *&random);

// Divides every timer's interval by factor, keeping their ratios (50 ms / 1000 ms / 11000 ms
// become 1 / 20 / 220 ms with factor 50). Call after construction, before any draw.
void shortenTimers(Form1 &window, int factor = 50);

// Calls the seven stop stages' handlers once each, in drawing order, without their timers.
void runAllStages(Form1 &window);

// While alive, finds every modal message box that opens, records its title and text and clicks
// its OK button, at once or after holding it open for holdMs. A modal box runs its own event loop
// inside the handler that opened it, so whatever a test wants to see while the box is open it
// looks at in beforeAnswer.
//
// insteadOfAnswer, when set, runs once as each box opens, in place of answering it (closing or
// deleting the window under the box, say). A box it leaves open is answered after about two
// seconds all the same and leftOpen is set, so that the test fails on its checks rather than
// hanging.
//
// With anyDialog set it also catches every other dialog that comes up, modal or not, and closes
// it (reject()); kinds() then tells each one caught as "class: title".
class MessageCatcher : public QObject {
    Q_OBJECT
public:
    struct Message {
        QString title;
        QString text; // empty for a dialog that is not a message box
        QString className;
    };

    explicit MessageCatcher(int holdMs = 0);

    // The texts of the messages seen, in order.
    QStringList texts() const;
    // "class: title" of everything caught, in order ("QMessageBox: 摇奖提示框").
    QStringList kinds() const;

    QList<Message> seen;
    std::function<void()> beforeAnswer;
    std::function<void()> insteadOfAnswer;
    bool anyDialog = false;
    bool leftOpen = false;

private:
    void poll();

    QTimer m_poll;
    int m_holdMs;
    QPointer<QWidget> m_lastSeen;
    QElapsedTimer m_openFor;
};

// The text of one result log entry, as the window appends it: "第<n>次开奖结果:  " then the six
// reds in drawing order joined by '-', "  +  ", the blue, and 78 blanks. balls are the seven
// texts as the boxes show them; the numbers are written in their two-digit form.
QString logEntry(const QString &counter, const QStringList &balls);
QString logEntry(qint64 counter, std::initializer_list<int> reds, int blue);

// The control of the window with the given object name ("Text4", "Command1", "Timer15"), or
// null. Every control carries its name in the window as its object name.
template <class T = QWidget>
T *control(const Form1 &window, const QString &name)
{
    return window.findChild<T *>(name, Qt::FindDirectChildrenOnly);
}

// The seven reference boxes Text9..Text15, found by name, in position order.
QList<QLineEdit *> referenceBoxesByName(const Form1 &window);

// The seven ball boxes' texts, in position order.
QStringList ballTexts(const Form1 &window);

// The enabled flags of Command1, Command2 and Command3 as three characters, "1" enabled and
// "0" disabled: "110" is the idle window.
QString buttonStates(const Form1 &window);

// Puts text on the clipboard as a copy the user made: the program's clipboard guard lets it
// stand (it takes back what the program itself puts there outside the user's input).
void putOnClipboard(const QString &text);

// Fills the seven reference boxes.
void setReference(Form1 &window, const QStringList &texts);

// Fills the reference boxes and presses "自动对比摇奖", checking that no message refuses it and
// that the cycle is armed.
void startRun(Form1 &window, const QStringList &reference);

// Runs a script in a web panel's top-level document and waits for its result. An invalid
// QVariant means the script threw or no answer came.
QVariant evaluate(QWebEngineView *view, const QString &script, int timeoutMs = 10000);

// A window on a web site with a scripted random source, its timers shortened fifty times and spies
// on both panels' finished loads.
struct PanelWindow {
    explicit PanelWindow(const QUrl &site);

    // Shows the window and waits until it is on the screen.
    bool show();
    // Waits until both panels have finished their first load, well or not.
    bool waitForBothLoads(int timeoutMs = 20000);

    std::unique_ptr<Form1> window;
    ScriptedRandom *random = nullptr;
    std::unique_ptr<QSignalSpy> upperLoads;
    std::unique_ptr<QSignalSpy> lowerLoads;
};

// Where the centre of the first element that matches the selector lies in the panel.
QPoint centreOf(QWebEngineView *panel, const QString &selector);

// Where the keyboard focus is, by the object name of the control that holds it ("Text4",
// "Command1", ...; "none" outside the window's controls). Inside a web panel, its inner widget
// counts as the panel, and the page element that has the focus, if any, follows after '#', by its
// id or else its tag name
// ("WebBrowser1#box", "WebBrowser1#button").
QString focusStop(const Form1 &window);

// Presses Tab (Shift+Tab with backwards) presses times, each as a key press that reaches the
// widget holding the focus, as the keyboard's would, and returns the stop after each press. A
// page in a web panel may move its own focus some time after the press: each press waits up to
// five seconds for the stop to change and then for it to settle.
QStringList tabThrough(const Form1 &window, int presses, bool backwards = false);

// How a window test wants the window that every case gets.
struct WindowOptions {
    bool scripted = true;  // a ScriptedRandom source (makeScriptedWindow); else the shipped one
    int timerFactor = 1;   // every timer's interval divided by this (shortenTimers); 1 keeps them
    bool show = false;     // shown, init() waiting until it is on the screen
    bool activate = false; // shown and activated, init() waiting until it is the active window
};

// The base of the window tests: init() opens a fresh window on the loopback site for every case,
// as the derived class' options ask, and cleanup() deletes it and whatever it left to be deleted
// later. Qt Test finds init() and cleanup() here by name; a derived class declares only its
// cases as slots, and does its own set-up in windowCreated().
class WindowTest : public QObject {
    Q_OBJECT
protected:
    explicit WindowTest(WindowOptions options)
        : m_options(options)
    {
    }

    // Runs at the end of init(), with the window set up.
    virtual void windowCreated() { }

    // Deletes the window at once, for a case that opens a window of its own.
    void dropWindow();

    // The window of the case; null once the case has deleted it.
    QPointer<Form1> m_window;
    // Its scripted random source; null with the shipped one.
    ScriptedRandom *m_random = nullptr;

private slots:
    void init();
    void cleanup();

private:
    WindowOptions m_options;
};

} // namespace qelvora::test

// The main() of a window test: the program's own start (application object, fonts, texts,
// renderer), then the test object, as QTEST_MAIN would run it.
#define QELVORA_TEST_MAIN(TestObject)                                                              \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        const auto app = qelvora::startProgram(argc, argv);                                        \
        app->setAttribute(Qt::AA_Use96Dpi, true);                                                  \
        TestObject test;                                                                           \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
