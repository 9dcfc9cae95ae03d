// What a user or the desktop can do to the window that the ordinary flow does not: close or
// delete it in the middle of a draw, of an automatic run or under an open message, and give the
// reference boxes text that does not fit them (too long, tabs, line feeds, full-width digits,
// characters outside the Basic Multilingual Plane), which the automatic comparison must still
// read by its lenient number rule.
#include "form1.h"
#include "support/test_support.h"
#include "text_boxes.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QTest>

using namespace qelvora;

namespace {

// The automatic cycle's interval with the timers shortened 50-fold.
constexpr int kCycle = 11000 / 50;

// U+1F600, two UTF-16 units.
const QString kEmoji = QString::fromUcs4(U"\U0001F600");

bool hasLoneSurrogate(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (text.at(i).isSurrogate())
            return true;
    }
    return false;
}

// The window is either closed (as by its close button) or deleted through the event loop.
enum class Ending { Close, DeleteLater };

} // namespace

Q_DECLARE_METATYPE(Ending)

// Every case gets a window shown and active, its timers shortened 50-fold. Some cases delete it.
class TestFaults : public test::WindowTest {
    Q_OBJECT
public:
    TestFaults()
        : WindowTest({.timerFactor = 50, .activate = true})
    {
    }

private slots:
    void endDuringManualDraw_data();
    void endDuringManualDraw();
    void endDuringAutomaticRun_data();
    void endDuringAutomaticRun();
    void endUnderOpenMessage_data();
    void endUnderOpenMessage();
    void pastedReference_data();
    void pastedReference();
    void typedReference_data();
    void typedReference();
    void comparisonReadsPastedReferencesLeniently();
    void fullWidthReferenceFromAnInputMethod_data();
    void fullWidthReferenceFromAnInputMethod();
    void lockedBoxesTakeNoComposition();
    void referencesWithoutLeadingNumberCountAsZero();

private:
    void windowCreated() override;
    void end(Ending how);
    void checkClosedWindowStaysStill();
    void destroyClosedWindow();
    void paste(QLineEdit *box, const QString &text);

    int m_destroyed = 0;
};

// Counts the window's destruction: a window must be destroyed exactly once.
void TestFaults::windowCreated()
{
    m_destroyed = 0;
    connect(m_window, &QObject::destroyed, this, [this] { ++m_destroyed; });
}

// Ends the window the given way. A closed window must be hidden and still; a deleted one must
// be gone, destroyed once, and nothing may run on its behalf afterwards.
void TestFaults::end(Ending how)
{
    if (how == Ending::Close) {
        QVERIFY(m_window->close());
        checkClosedWindowStaysStill();
        if (QTest::currentTestFailed())
            return;
        destroyClosedWindow();
        return;
    }
    m_window->deleteLater();
    QTRY_VERIFY(m_window.isNull());
    QCOMPARE(m_destroyed, 1);
    QTest::qWait(200);
}

// Hidden, every timer off, and over three cycle intervals nothing it shows changes.
void TestFaults::checkClosedWindowStaysStill()
{
    QVERIFY(!m_window->isVisible());
    for (QTimer *timer : m_window->allTimers())
        QVERIFY(!timer->isActive());
    const QStringList balls = test::ballTexts(*m_window);
    const QString counter = m_window->Label4->text();
    const QString log = m_window->Text4->text();
    QTest::qWait(3 * m_window->Timer15->interval());
    QCOMPARE(test::ballTexts(*m_window), balls);
    QCOMPARE(m_window->Label4->text(), counter);
    QCOMPARE(m_window->Text4->text(), log);
    for (QTimer *timer : m_window->allTimers())
        QVERIFY(!timer->isActive());
}

void TestFaults::destroyClosedWindow()
{
    delete m_window.data();
    QCOMPARE(m_destroyed, 1);
    QTest::qWait(200);
}

// Pastes through the clipboard with the paste key into the box, which has the focus.
void TestFaults::paste(QLineEdit *box, const QString &text)
{
    // A message box that has just closed hands the activation back to the window a little
    // later; until then no widget of the window has the focus.
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    box->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), box);
    test::putOnClipboard(text);
    QTest::keySequence(QApplication::focusWidget(), QKeySequence::Paste);
}

void TestFaults::endDuringManualDraw_data()
{
    QTest::addColumn<Ending>("how");
    QTest::addColumn<bool>("allPicked");
    QTest::newRow("closed while rolling") << Ending::Close << false;
    QTest::newRow("deleted while rolling") << Ending::DeleteLater << false;
    QTest::newRow("closed with every pick made, no box settled") << Ending::Close << true;
    QTest::newRow("deleted with every pick made, no box settled") << Ending::DeleteLater << true;
}

void TestFaults::endDuringManualDraw()
{
    QFETCH(Ending, how);
    QFETCH(bool, allPicked);
    m_random->queueDraw({7, 12, 3, 30, 1, 25}, 9);
    m_window->Command1_Click();
    if (allPicked) {
        // The seven stages run straight away; the rollers have not had a tick yet.
        test::runAllStages(*m_window);
        QCOMPARE(Module1.LogBlueBall, QStringLiteral("09"));
    } else {
        QTRY_VERIFY(isPicked(Module1.PickedBall3));
    }
    QVERIFY(m_window->drawRunning());
    QVERIFY(m_window->Text4->text().isEmpty());
    end(how);
}

void TestFaults::endDuringAutomaticRun_data()
{
    QTest::addColumn<Ending>("how");
    QTest::addColumn<bool>("drawing");
    QTest::newRow("closed between draws") << Ending::Close << false;
    QTest::newRow("closed during a draw") << Ending::Close << true;
    QTest::newRow("deleted between draws") << Ending::DeleteLater << false;
    QTest::newRow("deleted during a draw") << Ending::DeleteLater << true;
}

void TestFaults::endDuringAutomaticRun()
{
    QFETCH(Ending, how);
    QFETCH(bool, drawing);
    for (int i = 0; i < 3; ++i)
        m_random->queueDraw({1, 2, 3, 4, 5, 6}, 7);
    test::startRun(*m_window, QStringList(7, QStringLiteral("99")));
    // Once the script has run dry every candidate is ball 1, which stage 2 keeps rejecting: the
    // fourth draw never ends, and the last moment between draws follows the third.
    if (drawing) {
        QTRY_VERIFY_WITH_TIMEOUT(m_window->drawRunning(), 5000);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->Text4->text().isEmpty() && !m_window->drawRunning(),
                                 5000);
        QVERIFY(m_window->Timer15->isActive());
    }
    end(how);
}

void TestFaults::endUnderOpenMessage_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<Ending>("how");
    for (const QString &message : {test::kStopping, test::kFound, test::kFillAll}) {
        const char *name = message == test::kStopping ? "stop"
            : message == test::kFound                 ? "match"
                                                      : "empty reference";
        QTest::addRow("%s message, window closed", name) << message << Ending::Close;
        QTest::addRow("%s message, window deleted", name) << message << Ending::DeleteLater;
    }
}

// The message runs its own event loop inside the handler that opened it. Whatever ends the
// window there ends the message with it, and the handler must not go on as if the window were
// still there when it is gone.
void TestFaults::endUnderOpenMessage()
{
    QFETCH(QString, message);
    QFETCH(Ending, how);
    test::MessageCatcher catcher;
    catcher.insteadOfAnswer = [this, how] {
        if (how == Ending::Close)
            m_window->close();
        else
            m_window->deleteLater();
    };

    if (message == test::kStopping) {
        test::startRun(*m_window, QStringList(7, QStringLiteral("99")));
        m_window->Command3_Click();
    } else if (message == test::kFound) {
        // Empty ball boxes read as 0, so the first tick finds a match.
        test::startRun(*m_window, QStringList(7, QStringLiteral("0")));
        QTRY_COMPARE_WITH_TIMEOUT(catcher.seen.size(), 1, 5000);
    } else {
        test::setReference(*m_window, {"1", "2", "3", "4", "5", "6", ""});
        m_window->Command2_Click();
    }
    QCOMPARE(catcher.texts(), QStringList{message});
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QVERIFY(!catcher.leftOpen);

    if (how == Ending::DeleteLater) {
        QTRY_VERIFY(m_window.isNull());
        QCOMPARE(m_destroyed, 1);
        QTest::qWait(3 * kCycle);
        QCOMPARE(catcher.seen.size(), 1);
        return;
    }
    QCOMPARE(m_window->Label4->text(), QStringLiteral("0"));
    checkClosedWindowStaysStill();
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(catcher.seen.size(), 1);
    destroyClosedWindow();
}

void TestFaults::pastedReference_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("cursor"); // -1: all of before selected
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("kept");
    QTest::newRow("longer than two") << "" << 0 << "12345"
                                     << "12";
    QTest::newRow("tab first") << "" << 0 << "\t5"
                               << "\t5";
    QTest::newRow("tabs only") << "" << 0 << "\t\t\t"
                               << "\t\t";
    QTest::newRow("line feed first") << "" << 0 << "\n5"
                                     << "\n5";
    QTest::newRow("line feed inside") << "" << 0 << "1\n2"
                                      << "1\n";
    QTest::newRow("full-width digits") << "" << 0 << "１２３"
                                       << "１２";
    QTest::newRow("emoji alone") << "" << 0 << kEmoji << kEmoji;
    QTest::newRow("letter then emoji") << "" << 0 << "a" + kEmoji << "a";
    QTest::newRow("emoji then digit") << "" << 0 << kEmoji + "5" << kEmoji;
    QTest::newRow("digit then emoji") << "" << 0 << "5" + kEmoji << "5";
    QTest::newRow("two emoji") << "" << 0 << kEmoji + kEmoji << kEmoji;
    QTest::newRow("emoji after a digit in the box") << "5" << 1 << kEmoji << "5";
    QTest::newRow("emoji before a digit in the box") << "5" << 0 << kEmoji << "5";
    QTest::newRow("letter and emoji over a selection") << "12" << -1 << "a" + kEmoji << "a";
}

// At most two UTF-16 units and never half a character, also once the paste is undone.
void TestFaults::pastedReference()
{
    QFETCH(QString, before);
    QFETCH(int, cursor);
    QFETCH(QString, pasted);
    QFETCH(QString, kept);
    QLineEdit *box = m_window->Text12;
    box->setText(before);
    box->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), box);
    if (cursor < 0)
        box->selectAll();
    else
        box->setCursorPosition(cursor);
    test::putOnClipboard(pasted);
    QTest::keySequence(box, QKeySequence::Paste);
    QCOMPARE(box->text(), kept);

    QTest::keySequence(box, QKeySequence::Undo);
    QVERIFY(box->text().size() <= 2);
    QVERIFY2(!hasLoneSurrogate(box->text()), qPrintable(box->text()));
}

void TestFaults::typedReference_data()
{
    QTest::addColumn<QString>("via");
    QTest::addColumn<QStringList>("input");
    QTest::addColumn<QString>("kept");
    // QTest::keyClicks sends Latin-1 keys only; what else a keyboard or input method delivers
    // arrives as one key event per character, or as an input method's committed text.
    QTest::newRow("three digits") << "keyClicks" << QStringList{"123"} << "12";
    QTest::newRow("tab then digit") << "keyClicks" << QStringList{"\t5"} << "5";
    QTest::newRow("full-width digits") << "keys" << QStringList{"１", "２", "３"} << "１２";
    QTest::newRow("emoji") << "keys" << QStringList{kEmoji} << kEmoji;
    QTest::newRow("letter then emoji") << "keys" << QStringList{"a", kEmoji} << "a";
    QTest::newRow("emoji then digit") << "keys" << QStringList{kEmoji, "5"} << kEmoji;
    QTest::newRow("half an emoji") << "keys" << QStringList{kEmoji.left(1)} << "";
    QTest::newRow("committed letter and emoji")
        << "input method" << QStringList{"a" + kEmoji} << "a";
    QTest::newRow("committed emoji and digit")
        << "input method" << QStringList{kEmoji + "5"} << kEmoji;
}

void TestFaults::typedReference()
{
    QFETCH(QString, via);
    QFETCH(QStringList, input);
    QFETCH(QString, kept);
    QLineEdit *box = m_window->Text15;
    box->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), box);
    for (const QString &text : input) {
        if (via == u"keyClicks") {
            QTest::keyClicks(box, text);
        } else if (via == u"keys") {
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, text, Qt::NoModifier);
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(text);
            QApplication::sendEvent(box, &commit);
        }
    }
    QCOMPARE(box->text(), kept);
}

// The last manual draw is 05-12-03-30-01-25 + 09. Pasted references with tabs, line feeds and
// surplus digits read as those numbers and match at the first tick; "１３" in place of 12 reads
// as 13, so the next reference does not match and the run draws on until it is stopped.
void TestFaults::comparisonReadsPastedReferencesLeniently()
{
    m_random->queueDraw({5, 12, 3, 30, 1, 25}, 9);
    m_window->Command1_Click();
    QTRY_VERIFY(m_window->Command1->isEnabled());
    QCOMPARE(test::ballTexts(*m_window), QStringList({"05", "12", "03", "30", "01", "25", "09"}));

    const QList<QLineEdit *> boxes = test::referenceBoxesByName(*m_window);
    const QStringList pasted = {"\t5", "12345", "\n3", "30\n", " 1", "25", "9\t"};
    for (int i = 0; i < 7; ++i)
        paste(boxes[i], pasted[i]);
    QCOMPARE(boxes[1]->text(), QStringLiteral("12"));
    QCOMPARE(boxes[3]->text(), QStringLiteral("30"));

    test::MessageCatcher catcher;
    m_window->Command2_Click();
    QTRY_COMPARE_WITH_TIMEOUT(catcher.seen.size(), 1, 5000);
    QCOMPARE(catcher.seen[0].text, test::kFound);
    QCOMPARE(m_window->Label4->text(), QStringLiteral("1"));
    QCOMPARE(boxes[0]->text(), QStringLiteral("\t5"));
    QCOMPARE(boxes[6]->text(), QStringLiteral("9\t"));
    QTRY_COMPARE(test::buttonStates(*m_window), QStringLiteral("110"));

    boxes[1]->clear();
    paste(boxes[1], QStringLiteral("１３"));
    QCOMPARE(boxes[1]->text(), QStringLiteral("１３"));
    m_random->queueDraw({1, 2, 3, 4, 5, 6}, 7);
    m_window->Command2_Click();
    QTRY_COMPARE_WITH_TIMEOUT(m_window->Label4->text(), QStringLiteral("2"), 5000);
    QCOMPARE(catcher.seen.size(), 1);
    m_window->Command3_Click();
    QCOMPARE(catcher.seen.size(), 2);
    QCOMPARE(catcher.seen[1].text, test::kStopping);
    QTRY_VERIFY(!m_window->drawRunning());
    QTest::qWait(2 * kCycle);
    QCOMPARE(m_window->Label4->text(), QStringLiteral("2"));
    QVERIFY(m_window->Text4->text().endsWith(test::logEntry(2, {1, 2, 3, 4, 5, 6}, 7)));
}

// Empty ball boxes read as 0. References that do not begin with an ASCII number read as 0 too,
// so the very first tick reports a match and no draw is made.
// An input method in full-width mode commits full-width digits (U+FF10..U+FF19). They are the
// digits they stand for: a reference typed that way before any draw does not match the empty
// ball boxes at the first tick, and one typed after a draw matches the draw on display.
void TestFaults::fullWidthReferenceFromAnInputMethod_data()
{
    QTest::addColumn<bool>("drawFirst");
    QTest::addColumn<QStringList>("committed");
    QTest::addColumn<QStringList>("kept"); // the boxes' texts once the run has started
    const QStringList fullWidth = {"０７", "１２", "０３", "３０", "０１", "２５", "０９"};
    QTest::newRow("before any draw") << false << fullWidth << fullWidth;
    QTest::newRow("after a draw") << true << fullWidth << fullWidth;
    QTest::newRow("single digits, ideographic space")
        << true << QStringList{"７", "１２", "３", "３０", "１", "２５", QStringLiteral("\u3000９")}
        << QStringList{"07", "１２", "03", "３０", "01", "２５", QStringLiteral("\u3000９")};
}

void TestFaults::fullWidthReferenceFromAnInputMethod()
{
    QFETCH(bool, drawFirst);
    QFETCH(QStringList, committed);
    QFETCH(QStringList, kept);
    if (drawFirst) {
        m_random->queueDraw({7, 12, 3, 30, 1, 25}, 9);
        m_window->Command1_Click();
        QTRY_VERIFY(m_window->Command1->isEnabled());
    } else {
        m_random->queueDraw({7, 12, 3, 30, 1, 25}, 9);
    }
    const QString counter = m_window->Label4->text();
    const auto boxes = m_window->referenceBoxes();
    for (int i = 0; i < 7; ++i) {
        boxes[i]->setFocus();
        QInputMethodEvent commit;
        commit.setCommitString(committed[i]);
        QApplication::sendEvent(boxes[i], &commit);
    }

    test::MessageCatcher catcher;
    m_window->Command2_Click();
    QStringList texts;
    for (QLineEdit *box : boxes)
        texts << box->text();
    QCOMPARE(texts, kept);
    QTRY_COMPARE_WITH_TIMEOUT(catcher.seen.size(), 1, 5000);
    QCOMPARE(catcher.seen[0].text, test::kFound);
    // Before any draw the first tick draws (the empty boxes read 0), and the next one matches;
    // after a draw the first tick matches without drawing.
    QCOMPARE(m_window->Label4->text(), drawFirst ? counter : QStringLiteral("1"));
    QCOMPARE(test::ballTexts(*m_window), QStringList({"07", "12", "03", "30", "01", "25", "09"}));
    QCOMPARE(m_random->shortfall, 0);
}

// A ball box takes no text from an input method, and says so, so that an input method in pinyin
// mode opens no candidate window over it.
void TestFaults::lockedBoxesTakeNoComposition()
{
    for (LockedLineEdit *box : m_window->ballBoxes()) {
        box->setText(QStringLiteral("27"));
        box->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), box);
        QVERIFY2(!box->testAttribute(Qt::WA_InputMethodEnabled), qPrintable(box->objectName()));
        QVERIFY2(!box->inputMethodQuery(Qt::ImEnabled).toBool(), qPrintable(box->objectName()));
        QInputMethodEvent preedit(QStringLiteral("shuang"), {});
        QApplication::sendEvent(box, &preedit);
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("双"));
        QApplication::sendEvent(box, &commit);
        QCOMPARE(box->text(), QStringLiteral("27"));
    }
}

void TestFaults::referencesWithoutLeadingNumberCountAsZero()
{
    const QList<QLineEdit *> boxes = test::referenceBoxesByName(*m_window);
    const QStringList pasted = {"一二", kEmoji, "a" + kEmoji, "\t\t", "\r\n", "０", "+"};
    for (int i = 0; i < 7; ++i)
        paste(boxes[i], pasted[i]);
    QCOMPARE(boxes[2]->text(), QStringLiteral("a"));

    test::MessageCatcher catcher;
    m_window->Command2_Click();
    QTRY_COMPARE_WITH_TIMEOUT(catcher.seen.size(), 1, 5000);
    QCOMPARE(catcher.seen[0].text, test::kFound);
    QCOMPARE(m_window->Label4->text(), QStringLiteral("0"));
    QVERIFY(!m_window->drawRunning());
    for (int i = 0; i < 7; ++i) {
        if (i != 2)
            QCOMPARE(boxes[i]->text(), pasted[i]);
    }
}

QELVORA_TEST_MAIN(TestFaults)
#include "tst_faults.moc"
