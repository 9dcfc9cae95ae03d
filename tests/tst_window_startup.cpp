// The window as it opens: title, size, controls at rest, timers set up and disabled, focus,
// fonts, and the behaviour of locked and length-limited boxes.
#include "form1.h"
#include "support/test_support.h"
#include "text_boxes.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineView>

using namespace qelvora;

// Every case gets a window with the shipped random source, shown and active.
class TestWindowStartup : public test::WindowTest {
    Q_OBJECT
public:
    TestWindowStartup()
        : WindowTest({.scripted = false, .activate = true})
    {
    }

private slots:
    void titleSizeAndIcon();
    void controlsAtRest();
    void timersSetUpAndDisabled();
    void focusAndTabOrder();
    void fontsAndColours();
    void referenceBoxTakesTwoCharacters();
    void lockedBoxesRefuseEditingButCopy();
    void logCutsAssignedTextAt60000();
    void timerSwitchSemantics();
    void accessibleNames();
    void opensWithoutNetwork();
};

void TestWindowStartup::titleSizeAndIcon()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Qelvora\u2014双色球摇奖测试工具"));
    QCOMPARE(m_window->size(), QSize(514, 609));
    QCOMPARE(m_window->minimumSize(), QSize(514, 609));
    QCOMPARE(m_window->maximumSize(), QSize(514, 609));
    QVERIFY(!m_window->windowIcon().isNull());
    QCOMPARE(m_window->windowIcon().availableSizes().value(0), QSize(32, 32));
}

void TestWindowStartup::controlsAtRest()
{
    QCOMPARE(m_window->Label4->text(), QStringLiteral("0"));
    QCOMPARE(m_window->Label2->text(), QStringLiteral("<第"));
    QCOMPARE(m_window->Label3->text(), QStringLiteral("次>"));
    QCOMPARE(m_window->Command1->text(), QStringLiteral("手动摇奖"));
    QCOMPARE(m_window->Command2->text(), QStringLiteral("自动对比摇奖"));
    QCOMPARE(m_window->Command3->text(), QStringLiteral("停止自动对比摇奖"));
    QCOMPARE(test::buttonStates(*m_window), QStringLiteral("110"));
    for (const QString &text : test::ballTexts(*m_window))
        QVERIFY(text.isEmpty());
    QVERIFY(m_window->Text4->text().isEmpty());

    // Places in pixels, from the layout given in twips (15 to a pixel).
    QCOMPARE(m_window->Text1->geometry(), QRect(8, 72, 57, 57));
    QCOMPARE(m_window->Text3->geometry(), QRect(136, 72, 56, 57));
    QCOMPARE(m_window->Text8->geometry(), QRect(440, 72, 57, 57));
    QCOMPARE(m_window->Text4->geometry(), QRect(40, 296, 436, 209));
    QCOMPARE(m_window->Text15->geometry(), QRect(448, 184, 41, 33));
    QCOMPARE(m_window->Command3->geometry(), QRect(352, 240, 145, 33));
    QCOMPARE(m_window->WebBrowser1->geometry(), QRect(184, 8, 305, 25));
    QCOMPARE(m_window->WebBrowser2->geometry(), QRect(40, 544, 433, 41));
    QCOMPARE(m_window->Label5->geometry(), QRect(16, 520, 161, 17));

    // Nothing changes on its own: no box moves and the counter stays.
    QTest::qWait(200);
    QCOMPARE(m_window->Label4->text(), QStringLiteral("0"));
    QCOMPARE(test::ballTexts(*m_window), QStringList(7, QString()));
}

void TestWindowStartup::timersSetUpAndDisabled()
{
    for (QTimer *timer : m_window->allTimers()) {
        QVERIFY2(!timer->isActive(), qPrintable(timer->objectName()));
        QCOMPARE(timer->timerType(), Qt::PreciseTimer);
    }
    // Each timer by its name: the rollers 50 ms, the stop stages 1000 ms, the cycle 11000 ms.
    const QList<int> stages = {4, 5, 6, 11, 12, 13, 14};
    QStringList intervals;
    QStringList expected;
    for (int n = 1; n <= 16; ++n) {
        const QString name = QStringLiteral("Timer%1").arg(n);
        const auto *timer = test::control<QTimer>(*m_window, name);
        intervals << name + u' '
                + (timer ? QString::number(timer->interval()) : QStringLiteral("missing"));
        expected << name + u' ' + QString::number(n == 15 ? 11000 : stages.contains(n) ? 1000 : 50);
    }
    QCOMPARE(intervals, expected);
}

void TestWindowStartup::focusAndTabOrder()
{
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTRY_COMPARE(test::focusStop(*m_window), QStringLiteral("Text1"));
    QTest::keyClick(m_window->Text1, Qt::Key_Tab);
    QCOMPARE(test::focusStop(*m_window), QStringLiteral("Text2"));

    // The focus chain, each widget counted as the control it belongs to (a web panel's inner
    // render widget, created once the panel starts loading after the first paint, is the
    // panel).
    QTRY_VERIFY(m_window->WebBrowser1->focusProxy() && m_window->WebBrowser2->focusProxy());
    QCoreApplication::processEvents();
    QStringList chain;
    QWidget *w = m_window->Text1;
    do {
        QWidget *control = w;
        while (control && control->parentWidget() != m_window.get())
            control = control->parentWidget();
        if (control && (w->focusPolicy() & Qt::TabFocus)
            && (chain.isEmpty() || chain.last() != control->objectName()))
            chain << control->objectName();
        w = w->nextInFocusChain();
    } while (w != m_window->Text1);
    const QStringList expected = {"Text1",       "Text2",    "Text3",    "Command1", "Text4",
                                  "WebBrowser1", "Text5",    "Text6",    "Text7",    "Text8",
                                  "WebBrowser2", "Command2", "Command3", "Text9",    "Text10",
                                  "Text11",      "Text12",   "Text13",   "Text14",   "Text15"};
    QCOMPARE(chain, expected);
}

void TestWindowStartup::fontsAndColours()
{
    const QFontInfo label(m_window->Label10->font());
    QCOMPARE(label.family(), QStringLiteral("Noto Serif CJK SC"));
    QCOMPARE(m_window->Label10->font().pointSizeF(), 12.0);
    QCOMPARE(m_window->Label4->font().pointSizeF(), 15.75);
    QVERIFY(m_window->Label4->font().bold());
    QCOMPARE(m_window->Text1->font().pointSizeF(), 36.0);
    QCOMPARE(QFontInfo(m_window->Text4->font()).family(), QStringLiteral("Noto Serif CJK SC"));
    QCOMPARE(m_window->Label10->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(m_window->Label4->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QCOMPARE(m_window->Label5->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(m_window->Text4->palette().color(QPalette::Text), QColor(0, 0, 255));
}

void TestWindowStartup::referenceBoxTakesTwoCharacters()
{
    m_window->Text9->setFocus();
    QTest::keyClicks(m_window->Text9, QStringLiteral("123"));
    QCOMPARE(m_window->Text9->text(), QStringLiteral("12"));
}

void TestWindowStartup::lockedBoxesRefuseEditingButCopy()
{
    m_window->Text1->setText(QStringLiteral("07"));
    m_window->Text1->setFocus();
    QTest::keyClicks(m_window->Text1, QStringLiteral("9x"));
    QTest::keyClick(m_window->Text1, Qt::Key_Backspace);
    QTest::keyClick(m_window->Text1, Qt::Key_Home);
    QTest::keyClick(m_window->Text1, Qt::Key_Delete);
    test::putOnClipboard(QStringLiteral("33"));
    QTest::keySequence(m_window->Text1, QKeySequence::Paste);
    QCOMPARE(m_window->Text1->text(), QStringLiteral("07"));

    QTest::keySequence(m_window->Text1, QKeySequence::SelectAll);
    QCOMPARE(m_window->Text1->selectedText(), QStringLiteral("07"));
    QApplication::clipboard()->clear();
    QTest::keySequence(m_window->Text1, QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("07"));

    m_window->Text4->setText(QStringLiteral("第1次开奖结果:  "));
    m_window->Text4->setFocus();
    QTest::keyClicks(m_window->Text4->viewport(), QStringLiteral("abc"));
    QTest::keyClick(m_window->Text4, Qt::Key_Backspace);
    QCOMPARE(m_window->Text4->text(), QStringLiteral("第1次开奖结果:  "));
    QTest::keySequence(m_window->Text4, QKeySequence::SelectAll);
    QTest::keySequence(m_window->Text4, QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("第1次开奖结果:  "));
}

void TestWindowStartup::logCutsAssignedTextAt60000()
{
    m_window->Text4->setText(QString(60001, u'x'));
    QCOMPARE(m_window->Text4->text().size(), 60000);
    m_window->Text4->setText(QString(60000, u'y'));
    QCOMPARE(m_window->Text4->text().size(), 60000);
}

void TestWindowStartup::timerSwitchSemantics()
{
    QTimer *timer = m_window->Timer4;
    Form1::setTimerEnabled(timer, true);
    QTest::qWait(300);
    const int before = timer->remainingTime();
    Form1::setTimerEnabled(timer, true); // already enabled: keeps running, no restart
    QVERIFY2(timer->remainingTime() <= before, qPrintable(QString::number(timer->remainingTime())));
    Form1::setTimerEnabled(timer, false);
    QVERIFY(!timer->isActive());
    Form1::setTimerEnabled(timer, true); // off and on: a fresh interval
    QVERIFY(timer->remainingTime() > before);
    Form1::setTimerEnabled(timer, false);
}

void TestWindowStartup::opensWithoutNetwork()
{
    // A window of its own, so that the spy is in place before the event loop runs: its panels
    // point at a port that refuses connections, and a failed load is reported by the panels
    // only.
    dropWindow();
    Form1 window(nullptr, test::kNowhere);
    QSignalSpy finished(window.WebBrowser2, &QWebEngineView::loadFinished);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 20000);
    QCOMPARE(finished.first().first().toBool(), false);
    QVERIFY(window.isVisible());
    QCOMPARE(window.Label4->text(), QStringLiteral("0"));
    QVERIFY(window.Command1->isEnabled());
    QVERIFY(!window.Command3->isEnabled());
}

// Every control that assistive technology is shown can be found by a Chinese name that says what
// it is, and no two share one. (The labels that only decorate are not shown; tst_accessibility.)
void TestWindowStartup::accessibleNames()
{
    QCOMPARE(m_window->Text1->accessibleName(), QStringLiteral("本期开奖结果 红球 1"));
    QCOMPARE(m_window->Text5->accessibleName(), QStringLiteral("本期开奖结果 红球 4"));
    QCOMPARE(m_window->Text8->accessibleName(), QStringLiteral("本期开奖结果 蓝球"));
    QCOMPARE(m_window->Text14->accessibleName(), QStringLiteral("上期开奖结果 红球 6"));
    QCOMPARE(m_window->Text15->accessibleName(), QStringLiteral("上期开奖结果 蓝球"));
    QCOMPARE(m_window->Text4->accessibleName(), QStringLiteral("开奖记录"));
    QCOMPARE(m_window->Command3->accessibleName(), QStringLiteral("停止自动对比摇奖"));
    QSet<QString> names;
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(m_window.get());
    QVERIFY(window->childCount() > 0);
    for (int i = 0; i < window->childCount(); ++i) {
        const QString name = window->child(i)->text(QAccessible::Name);
        QVERIFY2(!name.isEmpty(), window->child(i)->object()->metaObject()->className());
        names.insert(name);
    }
    QCOMPARE(names.size(), window->childCount());
}

QELVORA_TEST_MAIN(TestWindowStartup)
#include "tst_window_startup.moc"
