// The window as a screen reader meets it, through Qt's accessibility interfaces (the same roles,
// names, states, relations and text that Qt hands to AT-SPI) and the events the window sends: a
// frame; the draw counter read with its count and announced when it advances; locked boxes that
// refuse every write from assistive technology while the reference boxes take them; decorative
// labels left out; every number box named by its row and its ball; a focus event first at every
// Tab stop; rollers that report a box when it settles, not at every step; one announcement per
// draw; the application's widget windows only. CTest runs the program with an accessibility bus
// of its own (accessibility_session.sh), so that accessibility is active from before the window
// is made, as it is when a screen reader is running when the program starts.
#include "accessibility.h"
#include "form1.h"
#include "support/test_support.h"
#include "text_boxes.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QApplication>
#include <QTest>
#include <QWindow>

#include <memory>

using namespace qelvora;

namespace {

// What the window told assistive technology: each event's type, its object, the object's
// accessible name when the event went out, and for a text change the text it inserted (for an
// announcement, its message).
struct Announcement {
    QAccessible::Event type;
    QObject *object;
    QString name;
    QString inserted;
};
QList<Announcement> g_announcements;

void recordAnnouncement(QAccessibleEvent *event)
{
    QAccessibleInterface *iface = event->accessibleInterface();
    QString inserted;
    if (event->type() == QAccessible::TextUpdated)
        inserted = static_cast<QAccessibleTextUpdateEvent *>(event)->textInserted();
    else if (event->type() == QAccessible::TextInserted)
        inserted = static_cast<QAccessibleTextInsertEvent *>(event)->textInserted();
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    else if (event->type() == QAccessible::Announcement)
        inserted = static_cast<QAccessibleAnnouncementEvent *>(event)->message();
#endif
    g_announcements.append({event->type(), event->object(),
                            iface ? iface->text(QAccessible::Name) : QString(), inserted});
}

bool changesText(QAccessible::Event type)
{
    return type == QAccessible::TextUpdated || type == QAccessible::TextInserted
        || type == QAccessible::TextRemoved;
}

QAccessibleInterface *accessible(QObject *object)
{
    return QAccessible::queryAccessibleInterface(object);
}

QObjectList exposedChildren(QAccessibleInterface *iface)
{
    QObjectList children;
    for (int i = 0; i < iface->childCount(); ++i)
        children << (iface->child(i) ? iface->child(i)->object() : nullptr);
    return children;
}

QObjectList related(QAccessibleInterface *iface, QAccessible::Relation relation)
{
    QObjectList objects;
    for (const auto &[other, kind] : iface->relations(relation)) {
        if (kind & relation)
            objects << other->object();
    }
    return objects;
}

// A top-level window that is no widget window, as the web engine's offscreen windows are: never
// shown, with an accessible root of its own, a frame named "Offscreen".
class OffscreenFrame final : public QWindow {
public:
    QAccessibleInterface *accessibleRoot() const override
    {
        // Qt's cache owns the root from here and deletes it with the window.
        if (!m_root) {
            m_root = new Root(const_cast<OffscreenFrame *>(this));
            QAccessible::registerAccessibleInterface(m_root);
        }
        return m_root;
    }

private:
    class Root final : public QAccessibleObject {
    public:
        explicit Root(QWindow *frame)
            : QAccessibleObject(frame)
        {
        }
        QAccessibleInterface *parent() const override { return accessible(qApp); }
        QAccessibleInterface *child(int) const override { return nullptr; }
        int childCount() const override { return 0; }
        int indexOfChild(const QAccessibleInterface *) const override { return -1; }
        QString text(QAccessible::Text t) const override
        {
            return t == QAccessible::Name ? QStringLiteral("Offscreen") : QString();
        }
        QAccessible::Role role() const override { return QAccessible::Window; }
        QAccessible::State state() const override { return {}; }
    };

    mutable QAccessibleInterface *m_root = nullptr;
};

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void windowIsAFrame();
    void counterReadsItsCountAndAnnouncesIt();
    void lockedBoxesRefuseAssistiveWrites_data();
    void lockedBoxesRefuseAssistiveWrites();
    void referenceBoxesTakeAssistiveWrites();
    void decorativeLabelsAreLeftOut();
    void boxesAreNamedByRowAndBall_data();
    void boxesAreNamedByRowAndBall();
    void everyTabStopSendsItsFocusFirst();
    void rollersReportABoxWhenItSettles();
    void drawIsAnnouncedOnce();
    void applicationShowsItsWidgetWindowsOnly();
    void lateKeyAnswersStayOffTheTerminal();

private:
    std::unique_ptr<Form1> m_window;
    test::ScriptedRandom *m_random = nullptr;
};

void TestAccessibility::initTestCase()
{
    // Qt tells assistive technology about changes only while it serves an accessibility bus;
    // the events then come to this test instead of going out on the bus.
    QAccessible::installUpdateHandler(recordAnnouncement);
    QTRY_VERIFY2_WITH_TIMEOUT(QAccessible::isActive(),
                              "Qt serves no accessibility bus; run under CTest, which starts one "
                              "(accessibility_session.sh)",
                              10000);
}

void TestAccessibility::init()
{
    g_announcements.clear();
    m_window = test::makeScriptedWindow(m_random);
    test::shortenTimers(*m_window);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestAccessibility::cleanup() { m_window.reset(); }

// AT-SPI calls the role Window a frame, the role a top-level window needs.
void TestAccessibility::windowIsAFrame()
{
    QAccessibleInterface *window = accessible(m_window.get());
    QVERIFY(window);
    QCOMPARE(window->role(), QAccessible::Window);
    QCOMPARE(window->text(QAccessible::Name), QStringLiteral("Qelvora\u2014双色球摇奖测试工具"));
    QVERIFY(exposedChildren(window).contains(m_window->Command1));
    QCOMPARE(accessible(m_window->Command1)->parent()->object(), m_window.get());
}

// The counter is one object that reads as the window shows it, without the brackets, and tells
// assistive technology once per draw that it changed, already with the new count.
void TestAccessibility::counterReadsItsCountAndAnnouncesIt()
{
    Form1 &window = *m_window;
    QAccessibleInterface *counter = accessible(window.Label4);
    QVERIFY(counter);
    QCOMPARE(counter->role(), QAccessible::StaticText);
    QCOMPARE(counter->text(QAccessible::Name), QStringLiteral("第 0 次"));
    QCOMPARE(counter->text(QAccessible::Description), QStringLiteral("摇奖次数"));

    g_announcements.clear();
    m_random->queueDraw({7, 12, 3, 30, 1, 25}, 9);
    window.Command1_Click();
    QELVORA_TRY_VERIFY(!window.drawRunning(), 5000);
    m_random->queueDraw({1, 2, 3, 4, 5, 6}, 7);
    window.Command1_Click();
    QELVORA_TRY_VERIFY(!window.drawRunning(), 5000);

    QStringList announced;
    for (const Announcement &a : std::as_const(g_announcements)) {
        if (a.object == window.Label4 && a.type == QAccessible::NameChanged)
            announced << a.name;
    }
    QCOMPARE(announced, QStringList({"第 1 次", "第 2 次"}));
    QCOMPARE(counter->text(QAccessible::Name), QStringLiteral("第 2 次"));
}

void TestAccessibility::lockedBoxesRefuseAssistiveWrites_data()
{
    QTest::addColumn<QString>("control");
    for (const char *name :
         {"Text1", "Text2", "Text3", "Text5", "Text6", "Text7", "Text8", "Text4"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// Locked means that nobody can change the text, assistive technology included: every way of
// writing that Qt's interfaces offer is tried, and the text is still there to be read.
void TestAccessibility::lockedBoxesRefuseAssistiveWrites()
{
    QFETCH(QString, control);
    Form1 &window = *m_window;
    QWidget *box = nullptr;
    QString text = QStringLiteral("02");
    if (control == QLatin1String("Text4")) {
        box = window.Text4;
        text = QStringLiteral("第1次开奖结果:  07-12-03-30-01-25  +  09");
        window.Text4->setText(text);
    } else {
        const std::pair<const char *, LockedLineEdit *> balls[] = {
            {"Text1", window.Text1}, {"Text2", window.Text2}, {"Text3", window.Text3},
            {"Text5", window.Text5}, {"Text6", window.Text6}, {"Text7", window.Text7},
            {"Text8", window.Text8}};
        for (const auto &[name, ball] : balls) {
            if (control == QLatin1String(name)) {
                box = ball;
                ball->setText(text);
            }
        }
    }
    QVERIFY(box);
    const auto shown = [&] {
        return box == window.Text4 ? window.Text4->text() : static_cast<QLineEdit *>(box)->text();
    };

    QAccessibleInterface *iface = accessible(box);
    QVERIFY(iface);
    iface->setText(QAccessible::Value, QStringLiteral("99"));
    iface->setText(QAccessible::Name, QStringLiteral("99"));
    if (QAccessibleEditableTextInterface *editable = iface->editableTextInterface()) {
        editable->replaceText(0, 2, QStringLiteral("99"));
        editable->insertText(0, QStringLiteral("9"));
        editable->deleteText(0, 1);
    }
    QCOMPARE(shown(), text);
    QVERIFY(!iface->editableTextInterface());

    const QAccessible::State state = iface->state();
    QVERIFY(state.readOnly);
    QVERIFY(!state.editable);
    QVERIFY(state.focusable);
    QCOMPARE(iface->role(), QAccessible::EditableText);

    // Still readable, selectable and with a caret, as for the keyboard.
    QCOMPARE(iface->text(QAccessible::Value), text);
    QAccessibleTextInterface *reading = iface->textInterface();
    QVERIFY(reading);
    QCOMPARE(reading->characterCount(), int(text.size()));
    QCOMPARE(reading->text(0, 2), text.left(2));
    reading->setSelection(0, 0, 2);
    QCOMPARE(reading->selectionCount(), 1);
    int start = -1;
    int end = -1;
    reading->selection(0, &start, &end);
    QCOMPARE(std::pair(start, end), std::pair(0, 2));
    reading->setCursorPosition(1);
    QCOMPARE(reading->cursorPosition(), 1);
    QCOMPARE(reading->selectionCount(), 0);
    // The first character lies inside the box, and the box finds it there again.
    const QRect first = reading->characterRect(0);
    QVERIFY2(iface->rect().contains(first.center()),
             qPrintable(QStringLiteral("%1,%2 %3x%4")
                            .arg(first.x())
                            .arg(first.y())
                            .arg(first.width())
                            .arg(first.height())));
    QCOMPARE(reading->offsetAtPoint(first.center()), 0);
    QCOMPARE(shown(), text);
}

// The reference boxes are for typing: assistive technology may write them too, and their length
// limit holds for it.
void TestAccessibility::referenceBoxesTakeAssistiveWrites()
{
    Form1 &window = *m_window;
    QAccessibleInterface *iface = accessible(window.Text9);
    QVERIFY(iface);
    QVERIFY(iface->state().editable);
    QVERIFY(!iface->state().readOnly);
    QAccessibleEditableTextInterface *editable = iface->editableTextInterface();
    QVERIFY(editable);
    editable->insertText(0, QStringLiteral("123"));
    QCOMPARE(window.Text9->text(), QStringLiteral("12"));
    editable->replaceText(0, 1, QStringLiteral("3"));
    QCOMPARE(window.Text9->text(), QStringLiteral("32"));
    editable->deleteText(1, 2);
    QCOMPARE(window.Text9->text(), QStringLiteral("3"));
    iface->setText(QAccessible::Value, QStringLiteral("07"));
    QCOMPARE(window.Text9->text(), QStringLiteral("07"));
    QCOMPARE(iface->textInterface()->text(0, 2), QStringLiteral("07"));
}

// The empty label, the brackets around the count and the plus signs only decorate: a reader
// would speak them as objects of their own. Everything else is there, once.
void TestAccessibility::decorativeLabelsAreLeftOut()
{
    Form1 &window = *m_window;
    QAccessibleInterface *frame = accessible(&window);
    const QObjectList children = exposedChildren(frame);
    const std::pair<const char *, QLabel *> decorations[] = {{"Label1", window.Label1},
                                                             {"Label2", window.Label2},
                                                             {"Label3", window.Label3},
                                                             {"Label7", window.Label7},
                                                             {"Label8", window.Label8}};
    for (const auto &[name, decoration] : decorations)
        QVERIFY2(!children.contains(decoration), name);
    const QList<QWidget *> controls = {
        window.Text1,    window.Text2,    window.Text3,    window.Text4,       window.Text5,
        window.Text6,    window.Text7,    window.Text8,    window.Text9,       window.Text10,
        window.Text11,   window.Text12,   window.Text13,   window.Text14,      window.Text15,
        window.Command1, window.Command2, window.Command3, window.Label4,      window.Label5,
        window.Label6,   window.Label9,   window.Label10,  window.WebBrowser1, window.WebBrowser2};
    for (QWidget *control : controls) {
        QCOMPARE(children.count(control), 1);
        QCOMPARE(frame->indexOfChild(accessible(control)), int(children.indexOf(control)));
    }
    QCOMPARE(children.size(), controls.size());
    // Names a reader can tell apart.
    QSet<QString> names;
    for (QObject *child : children)
        names.insert(accessible(child)->text(QAccessible::Name));
    QVERIFY(!names.contains(QString()));
    QCOMPARE(names.size(), children.size());

    // Pointing at the brackets finds the counter they belong to.
    const QPoint prefix = window.Label2->mapToGlobal(window.Label2->rect().center());
    QAccessibleInterface *pointed = frame->childAt(prefix.x(), prefix.y());
    QVERIFY(pointed);
    QCOMPARE(pointed->object(), window.Label4);
}

void TestAccessibility::boxesAreNamedByRowAndBall_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    const char *const balls[] = {"Text1", "Text2", "Text3", "Text5", "Text6", "Text7"};
    const char *const references[] = {"Text9", "Text10", "Text11", "Text12", "Text13", "Text14"};
    for (int i = 0; i < 6; ++i) {
        QTest::newRow(balls[i]) << QString::fromLatin1(balls[i])
                                << QStringLiteral("本期开奖结果 红球 %1").arg(i + 1);
        QTest::newRow(references[i]) << QString::fromLatin1(references[i])
                                     << QStringLiteral("上期开奖结果 红球 %1").arg(i + 1);
    }
    QTest::newRow("Text8") << QStringLiteral("Text8") << QStringLiteral("本期开奖结果 蓝球");
    QTest::newRow("Text15") << QStringLiteral("Text15") << QStringLiteral("上期开奖结果 蓝球");
}

// A screen reader reads a control by the label it is labelled by, if any, and else by its name:
// each number box carries its row and its ball in its own name, and no label relation to the
// row's heading stands in for it, so that no two boxes sound alike.
void TestAccessibility::boxesAreNamedByRowAndBall()
{
    QFETCH(QString, control);
    QFETCH(QString, name);
    Form1 &window = *m_window;
    const std::pair<const char *, QLineEdit *> boxes[] = {
        {"Text1", window.Text1},   {"Text2", window.Text2},   {"Text3", window.Text3},
        {"Text5", window.Text5},   {"Text6", window.Text6},   {"Text7", window.Text7},
        {"Text8", window.Text8},   {"Text9", window.Text9},   {"Text10", window.Text10},
        {"Text11", window.Text11}, {"Text12", window.Text12}, {"Text13", window.Text13},
        {"Text14", window.Text14}, {"Text15", window.Text15}};
    QLineEdit *box = nullptr;
    for (const auto &[boxName, candidate] : boxes) {
        if (control == QLatin1String(boxName))
            box = candidate;
    }
    QVERIFY(box);
    QAccessibleInterface *iface = accessible(box);
    QCOMPARE(iface->text(QAccessible::Name), name);
    QCOMPARE(related(iface, QAccessible::Label), QObjectList());
    QVERIFY(!related(accessible(window.Label9), QAccessible::Labelled).contains(box));
    QVERIFY(!related(accessible(window.Label10), QAccessible::Labelled).contains(box));
}

// Tab once round the window. At every stop the first event about the new stop is its focus
// event, with the caret and selection events of a box after it, and there is one focus event per
// stop; a web panel's focus is the panel's, not that of the engine's widget inside it.
void TestAccessibility::everyTabStopSendsItsFocusFirst()
{
    Form1 &window = *m_window;
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QELVORA_TRY_VERIFY(window.WebBrowser1->isVisible() && window.WebBrowser2->isVisible()
                           && window.WebBrowser1->focusProxy() && window.WebBrowser2->focusProxy(),
                       20000);
    // The panels take their places in the Tab order once their engines' widgets are there.
    const auto follows = [&window](QWidget *before, QWidget *panel) {
        for (QWidget *w = before->nextInFocusChain(); w != before; w = w->nextInFocusChain()) {
            if (w == panel || panel->isAncestorOf(w))
                return true;
            if (w->parentWidget() == &window && w->focusPolicy() != Qt::NoFocus)
                return false;
        }
        return false;
    };
    QELVORA_TRY_VERIFY(follows(window.Text4, window.WebBrowser1)
                           && follows(window.Text8, window.WebBrowser2),
                       20000);
    window.Text1->setFocus(Qt::OtherFocusReason);
    const QList<QWidget *> stops = {
        window.Text2,    window.Text3,  window.Command1, window.Text4,  window.WebBrowser1,
        window.Text5,    window.Text6,  window.Text7,    window.Text8,  window.WebBrowser2,
        window.Command2, window.Text9,  window.Text10,   window.Text11, window.Text12,
        window.Text13,   window.Text14, window.Text15,   window.Text1};
    const auto inside = [](QObject *object, QWidget *control) {
        auto *widget = qobject_cast<QWidget *>(object);
        return widget && (widget == control || control->isAncestorOf(widget));
    };
    for (QWidget *stop : stops) {
        g_announcements.clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        test::waitUntil([&] { return stop->hasFocus(); }, 5000);
        QVERIFY2(stop->hasFocus(), qPrintable(accessible(stop)->text(QAccessible::Name)));
        QList<Announcement> about;
        for (const Announcement &a : std::as_const(g_announcements)) {
            if (inside(a.object, stop))
                about << a;
        }
        const QString name = accessible(stop)->text(QAccessible::Name);
        QVERIFY2(!about.isEmpty(), qPrintable(name));
        QVERIFY2(about.first().type == QAccessible::Focus, qPrintable(name));
        QCOMPARE(about.first().object, stop);
        const auto focusEvents = std::count_if(about.cbegin(), about.cend(), [](const auto &a) {
            return a.type == QAccessible::Focus;
        });
        QVERIFY2(focusEvents == 1, qPrintable(QStringLiteral("%1: %2").arg(name).arg(focusEvents)));
    }
}

// Twenty steps a second in seven boxes would be some two thousand text changes a draw. A box
// reports its text when the draw empties it and when it settles, nothing in between; the window
// as a whole sends a few dozen events a draw.
void TestAccessibility::rollersReportABoxWhenItSettles()
{
    Form1 &window = *m_window;
    m_random->queueDraw({7, 12, 3, 30, 1, 25}, 9);
    window.Command1_Click();
    QELVORA_TRY_VERIFY(!window.drawRunning(), 5000);

    g_announcements.clear();
    m_random->queueDraw({33, 2, 14, 8, 19, 5}, 16);
    window.Command1_Click();
    QELVORA_TRY_VERIFY(!window.drawRunning(), 5000);

    const QStringList second = {"33", "02", "14", "08", "19", "05", "16"};
    const auto balls = window.ballBoxes();
    for (int i = 0; i < 7; ++i) {
        QStringList changes;
        for (const Announcement &a : std::as_const(g_announcements)) {
            if (a.object == balls[i] && changesText(a.type))
                changes << a.inserted;
        }
        QCOMPARE(changes, QStringList({QString(), second[i]}));
    }
    QVERIFY2(g_announcements.size() <= 40, qPrintable(QString::number(g_announcements.size())));
}

// Once a draw is over, its count and result go out once, in one message.
void TestAccessibility::drawIsAnnouncedOnce()
{
    Form1 &window = *m_window;
    m_random->queueDraw({7, 12, 3, 30, 1, 25}, 9);
    window.Command1_Click();
    QELVORA_TRY_VERIFY(!window.drawRunning(), 5000);
    m_random->queueDraw({33, 2, 14, 8, 19, 5}, 16);
    window.Command1_Click();
    QELVORA_TRY_VERIFY(!window.drawRunning(), 5000);

    QStringList announced;
    for (const Announcement &a : std::as_const(g_announcements)) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
        if (a.type == QAccessible::Announcement)
            announced << a.inserted;
#else
        // Qt before 6.8 has no announcements: a notification, the window's last child, shows.
        if (a.type == QAccessible::ObjectShow && a.object && !a.object->isWidgetType())
            announced << a.name;
#endif
    }
    QCOMPARE(announced,
             QStringList({QStringLiteral("第 1 次开奖结果 红球 07 12 03 30 01 25 蓝球 09"),
                          QStringLiteral("第 2 次开奖结果 红球 33 02 14 08 19 05 蓝球 16")}));

    QAccessibleInterface *frame = accessible(&window);
    QAccessibleInterface *status = frame->child(frame->childCount() - 1);
    QVERIFY(status);
    QCOMPARE(status->role(), QAccessible::Notification);
    QCOMPARE(status->text(QAccessible::Name), announced.last());
    QCOMPARE(status->parent()->object(), &window);
    QCOMPARE(frame->indexOfChild(status), frame->childCount() - 1);
}

// The application's windows, as a screen reader lists them, are the program's widget windows:
// no top-level window whose accessible root is something else, such as the offscreen window the
// web engine renders a panel's page in (titled "Offscreen"; Qt 6.4's and 6.8's engines make one
// per panel, Qt 6.11's none). Qt's own application interface lists every such window as a frame
// of the application. A stand-in of that kind is made here, so that there is one to leave out
// whatever the engine makes; the engine's own are checked the same way wherever it makes them.
void TestAccessibility::applicationShowsItsWidgetWindowsOnly()
{
    Form1 &window = *m_window;
    QELVORA_TRY_VERIFY(window.WebBrowser1->focusProxy() && window.WebBrowser2->focusProxy(), 20000);
    OffscreenFrame standIn;

    QList<QObject *> otherFrames;
    for (QWindow *top : QGuiApplication::topLevelWindows()) {
        QAccessibleInterface *root = top->accessibleRoot();
        if (root && !root->object()->isWidgetType())
            otherFrames << root->object();
    }
    QVERIFY(otherFrames.contains(&standIn));
    QAccessibleApplication stock;
    const QObjectList stockWindows = exposedChildren(&stock);
    for (QObject *frame : std::as_const(otherFrames))
        QVERIFY2(stockWindows.contains(frame), frame->metaObject()->className());

    QAccessibleInterface *application = accessible(qApp);
    QVERIFY(application);
    QCOMPARE(application->role(), QAccessible::Application);
    const QObjectList windows = exposedChildren(application);
    QVERIFY(windows.contains(&window));
    for (QObject *frame : std::as_const(otherFrames))
        QVERIFY2(!windows.contains(frame), frame->metaObject()->className());
    for (QObject *shown : windows) {
        QVERIFY2(shown && shown->isWidgetType(), shown ? shown->metaObject()->className() : "null");
        QVERIFY(accessible(shown)->text(QAccessible::Name) != QLatin1String("Offscreen"));
        QCOMPARE(application->indexOfChild(accessible(shown)), int(windows.indexOf(shown)));
    }
    QCOMPARE(application->indexOfChild(accessible(&standIn)), -1);
    QCOMPARE(accessible(&window)->parent(), application);
}

// Qt's message about a key that a screen reader answered too late is counted and kept off the
// terminal; every other message still comes out.
void TestAccessibility::lateKeyAnswersStayOffTheTerminal()
{
    const int before = keyForwardingTimeouts();
    // As Qt's bridge words it.
    qWarning() << "QSpiApplication::keyEventError "
               << QStringLiteral("org.freedesktop.DBus.Error.NoReply")
               << QStringLiteral("Did not receive a reply.");
    QCOMPARE(keyForwardingTimeouts(), before + 1);
    // Another error of the key forwarding, and any other message, still come out.
    QTest::ignoreMessage(
        QtWarningMsg,
        "QSpiApplication::keyEventError  \"org.freedesktop.DBus.Error.ServiceUnknown\"");
    qWarning() << "QSpiApplication::keyEventError "
               << QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown");
    QTest::ignoreMessage(QtWarningMsg, "org.freedesktop.DBus.Error.NoReply");
    qWarning("org.freedesktop.DBus.Error.NoReply");
    QCOMPARE(keyForwardingTimeouts(), before + 1);
}

QELVORA_TEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
