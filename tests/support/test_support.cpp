// Test helpers: scripted chance, shortened timers, the window fixture, controls by name, the log
// entry, the message catcher.
#include "test_support.h"

#include "clipboard_guard.h"
#include "text_boxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QEventLoop>
#include <QMessageBox>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <optional>
#include <utility>

namespace qelvora::test {

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer check;
    check.setInterval(5);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    check.start();
    deadline.start(timeoutMs);
    loop.exec();
    return done();
}

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

float ScriptedRandom::next()
{
    ++nexts;
    calls += u'N';
    if (values.empty()) {
        ++shortfall;
        return 0.0f;
    }
    const float r = values.front();
    values.pop_front();
    return r;
}

float ScriptedRandom::valueFor(int number, int count)
{
    return (static_cast<float>(number) - 0.5f) / static_cast<float>(count);
}

void ScriptedRandom::queueDraw(std::initializer_list<int> reds, int blue)
{
    for (int red : reds)
        queueRed(red);
    queueBlue(blue);
}

std::unique_ptr<Form1> makeScriptedWindow(ScriptedRandom *&random)
{
    auto source = std::make_unique<ScriptedRandom>();
    random = source.get();
    Module1 = DrawSlots();
    return std::make_unique<Form1>(std::move(source), kNowhere);
}

void shortenTimers(Form1 &window, int factor)
{
    for (QTimer *timer : window.allTimers())
        timer->setInterval(timer->interval() / factor);
}

void runAllStages(Form1 &window)
{
    window.Timer4_Timer();
    window.Timer5_Timer();
    window.Timer6_Timer();
    window.Timer11_Timer();
    window.Timer12_Timer();
    window.Timer13_Timer();
    window.Timer14_Timer();
}

MessageCatcher::MessageCatcher(int holdMs)
    : m_holdMs(holdMs)
{
    m_poll.setInterval(5);
    connect(&m_poll, &QTimer::timeout, this, &MessageCatcher::poll);
    m_poll.start();
}

QStringList MessageCatcher::texts() const
{
    QStringList texts;
    for (const Message &message : seen)
        texts << message.text;
    return texts;
}

QStringList MessageCatcher::kinds() const
{
    QStringList kinds;
    for (const Message &message : seen)
        kinds << message.className + QStringLiteral(": ") + message.title;
    return kinds;
}

void MessageCatcher::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    auto *box = qobject_cast<QMessageBox *>(modal);
    if (anyDialog && !modal) {
        // A dialog need not be modal to stand in the user's way; one kept off the screen does not.
        for (QWidget *top : QApplication::topLevelWidgets()) {
            const bool onScreen = top->isVisible() && top->windowHandle()
                && top->windowHandle()->isVisible();
            if (onScreen && qobject_cast<QDialog *>(top)) {
                modal = top;
                break;
            }
        }
    }
    QWidget *caught = anyDialog ? modal : box;
    if (!caught)
        return;
    if (caught != m_lastSeen) {
        m_lastSeen = caught;
        m_openFor.start();
        seen.append({caught->windowTitle(), box ? box->text() : QString(),
                     QString::fromLatin1(caught->metaObject()->className())});
        if (insteadOfAnswer) {
            insteadOfAnswer();
            return;
        }
    }
    if (insteadOfAnswer) {
        if (m_openFor.elapsed() < 2000)
            return;
        leftOpen = true;
    } else if (m_openFor.elapsed() < m_holdMs) {
        return;
    } else if (beforeAnswer) {
        beforeAnswer();
    }
    if (box && box->button(QMessageBox::Ok))
        box->button(QMessageBox::Ok)->click();
    else if (auto *dialog = qobject_cast<QDialog *>(caught))
        dialog->reject();
    else
        caught->close();
}

QString logEntry(const QString &counter, const QStringList &balls)
{
    return QStringLiteral("第") + counter + QStringLiteral("次开奖结果:  ")
        + balls.mid(0, 6).join(u'-') + QStringLiteral("  +  ") + balls.value(6) + QString(78, u' ');
}

QString logEntry(qint64 counter, std::initializer_list<int> reds, int blue)
{
    QStringList balls;
    for (int red : reds)
        balls << QStringLiteral("%1").arg(red, 2, 10, QLatin1Char('0'));
    balls << QStringLiteral("%1").arg(blue, 2, 10, QLatin1Char('0'));
    return logEntry(QString::number(counter), balls);
}

QList<QLineEdit *> referenceBoxesByName(const Form1 &window)
{
    QList<QLineEdit *> boxes;
    for (int n = 9; n <= 15; ++n)
        boxes << control<QLineEdit>(window, QStringLiteral("Text%1").arg(n));
    return boxes;
}

void putOnClipboard(const QString &text)
{
    ClipboardGuard::copyAsked();
    QApplication::clipboard()->setText(text);
}

PanelWindow::PanelWindow(const QUrl &site)
{
    auto scripted = std::make_unique<ScriptedRandom>();
    random = scripted.get();
    window = std::make_unique<Form1>(std::move(scripted), site);
    shortenTimers(*window);
    upperLoads = std::make_unique<QSignalSpy>(window->WebBrowser1, &QWebEngineView::loadFinished);
    lowerLoads = std::make_unique<QSignalSpy>(window->WebBrowser2, &QWebEngineView::loadFinished);
}

bool PanelWindow::show()
{
    window->show();
    return QTest::qWaitForWindowExposed(window.get());
}

bool PanelWindow::waitForBothLoads(int timeoutMs)
{
    return waitUntil([this] { return !upperLoads->isEmpty() && !lowerLoads->isEmpty(); },
                     timeoutMs);
}

// Where the centre of the first element that matches the selector lies in the panel.
QPoint centreOf(QWebEngineView *panel, const QString &selector)
{
    const QVariantList xy = evaluate(panel,
                                     QStringLiteral(
                                         "(function () { var r = document.querySelector('%1')"
                                         ".getBoundingClientRect(); return [r.left + r.width / 2, "
                                         "r.top + r.height / 2]; })()")
                                         .arg(selector))
                                .toList();
    return xy.size() == 2 ? QPoint(qRound(xy[0].toDouble()), qRound(xy[1].toDouble())) : QPoint();
}

QStringList ballTexts(const Form1 &window)
{
    return {window.Text1->text(), window.Text2->text(), window.Text3->text(), window.Text5->text(),
            window.Text6->text(), window.Text7->text(), window.Text8->text()};
}

QString buttonStates(const Form1 &window)
{
    QString states;
    for (const QPushButton *button : {window.Command1, window.Command2, window.Command3})
        states += button->isEnabled() ? u'1' : u'0';
    return states;
}

void setReference(Form1 &window, const QStringList &texts)
{
    const QList<QLineEdit *> boxes = referenceBoxesByName(window);
    for (int i = 0; i < 7; ++i)
        boxes[i]->setText(texts.value(i));
}

void startRun(Form1 &window, const QStringList &reference)
{
    setReference(window, reference);
    MessageCatcher catcher;
    window.Command2_Click();
    QVERIFY(catcher.seen.isEmpty());
    QVERIFY(window.Timer15->isActive());
}

QVariant evaluate(QWebEngineView *view, const QString &script, int timeoutMs)
{
    auto answer = std::make_shared<std::optional<QVariant>>();
    view->page()->runJavaScript(script, [answer](const QVariant &result) { *answer = result; });
    if (!waitUntil([&] { return answer->has_value(); }, timeoutMs))
        return QVariant();
    return answer->value();
}

QString focusStop(const Form1 &window)
{
    QWidget *control = QApplication::focusWidget();
    while (control && control->parentWidget() != &window)
        control = control->parentWidget();
    if (!control || control->objectName().isEmpty())
        return QStringLiteral("none");
    QString stop = control->objectName();
    if (auto *panel = qobject_cast<QWebEngineView *>(control)) {
        const QString element =
            evaluate(
                panel,
                QStringLiteral("(function () { var e = document.activeElement; "
                               "if (!e || e === document.body || e === document.documentElement)"
                               " return ''; return e.id || e.tagName.toLowerCase(); })()"))
                .toString();
        if (!element.isEmpty())
            stop += u'#' + element;
    }
    return stop;
}

QStringList tabThrough(const Form1 &window, int presses, bool backwards)
{
    QStringList stops;
    QString stop = focusStop(window);
    for (int i = 0; i < presses; ++i) {
        QWidget *focus = QApplication::focusWidget();
        if (!focus)
            break;
        // Shift+Tab arrives from the keyboard as Backtab with Shift held.
        if (backwards)
            QTest::keyClick(focus, Qt::Key_Backtab, Qt::ShiftModifier);
        else
            QTest::keyClick(focus, Qt::Key_Tab);
        const QString before = stop;
        const bool moved = waitUntil(
            [&] {
                stop = focusStop(window);
                return stop != before;
            },
            5000);
        // A page moves its own focus some time after the panel took it: the stop counts once it
        // reads the same twice in a row.
        if (!moved) {
            stops << stop + QStringLiteral(" (stayed)");
            continue;
        }
        const bool settled = waitUntil(
            [&] {
                const QString again = focusStop(window);
                return std::exchange(stop, again) == again;
            },
            5000);
        stops << (settled ? stop : stop + QStringLiteral(" (unsettled)"));
    }
    return stops;
}

void WindowTest::init()
{
    if (m_options.scripted) {
        m_window = makeScriptedWindow(m_random).release();
    } else {
        m_random = nullptr;
        m_window = new Form1(nullptr, kNowhere);
    }
    if (m_options.timerFactor != 1)
        shortenTimers(*m_window, m_options.timerFactor);
    if (m_options.show || m_options.activate) {
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
    }
    if (m_options.activate) {
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
    }
    windowCreated();
}

void WindowTest::cleanup()
{
    dropWindow();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void WindowTest::dropWindow()
{
    delete m_window.data();
    m_random = nullptr;
}

} // namespace qelvora::test
