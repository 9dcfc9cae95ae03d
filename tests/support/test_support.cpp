// Test helpers: scripted chance, shortened timers, message catcher.
#include "test_support.h"

#include "app/text_boxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>

namespace qelvora::test {

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

void MessageCatcher::poll()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box)
        return;
    if (box != m_lastSeen) {
        m_lastSeen = box;
        m_openFor.start();
        seen.append({box->windowTitle(), box->text()});
    }
    if (m_openFor.elapsed() < m_holdMs)
        return;
    if (beforeAnswer)
        beforeAnswer();
    box->button(QMessageBox::Ok)->click();
}

QStringList ballTexts(const Form1 &window)
{
    return {window.Text1->text(), window.Text2->text(), window.Text3->text(),
            window.Text5->text(), window.Text6->text(), window.Text7->text(),
            window.Text8->text()};
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
    QLineEdit *boxes[] = {window.Text9,  window.Text10, window.Text11, window.Text12,
                          window.Text13, window.Text14, window.Text15};
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

} // namespace qelvora::test
