// The window as a native Wayland client of sway, a tiling compositor: it floats at its own
// client size, 514 x 609, as it does under a tiling X11 window manager, and no tiling layout
// squeezes it, however many other windows share the workspace. CTest runs this program under a
// headless sway of its own (sway_session.sh) with one 1024 x 768 output; what sway made of the
// window is read back with swaymsg.
#include "form1.h"
#include "support/test_support.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <QWindow>

#include <memory>
#include <vector>

using namespace qelvora;

namespace {

// swaymsg with one command or query; the reply's JSON, or an empty document when swaymsg
// failed.
QJsonDocument swaymsg(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("swaymsg"), QStringList{QStringLiteral("-r")} + arguments);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        qWarning() << "swaymsg" << arguments << "failed:" << process.readAllStandardError();
        return {};
    }
    return QJsonDocument::fromJson(process.readAllStandardOutput());
}

// A view in sway's tree: whether it floats, and its content area (the surface's rectangle, in
// layout coordinates, without sway's borders and title).
struct View {
    bool found = false;
    bool floating = false;
    QRect content;
    QRect output;
};

QRect rectOf(const QJsonObject &rect)
{
    return QRect(rect[QLatin1String("x")].toInt(), rect[QLatin1String("y")].toInt(),
                 rect[QLatin1String("width")].toInt(), rect[QLatin1String("height")].toInt());
}

void findView(const QJsonObject &node, const QString &title, const QRect &output, View &view)
{
    QRect outputRect = output;
    if (node[QLatin1String("type")].toString() == QLatin1String("output"))
        outputRect = rectOf(node[QLatin1String("rect")].toObject());
    // Only views have a shell (xdg_shell); workspaces and outputs have names too.
    if (node.contains(QLatin1String("shell")) && node[QLatin1String("name")].toString() == title) {
        view.found = true;
        view.floating = node[QLatin1String("type")].toString() == QLatin1String("floating_con");
        // window_rect is relative to the container's rect.
        const QRect container = rectOf(node[QLatin1String("rect")].toObject());
        view.content =
            rectOf(node[QLatin1String("window_rect")].toObject()).translated(container.topLeft());
        view.output = outputRect;
        return;
    }
    for (const char *children : {"nodes", "floating_nodes"})
        for (const QJsonValue child : node[QLatin1String(children)].toArray())
            findView(child.toObject(), title, outputRect, view);
}

View viewTitled(const QString &title)
{
    View view;
    findView(swaymsg({QStringLiteral("-t"), QStringLiteral("get_tree")}).object(), title, QRect(),
             view);
    return view;
}

// The first output's size in layout pixels.
QSize outputSize()
{
    const QJsonArray outputs =
        swaymsg({QStringLiteral("-t"), QStringLiteral("get_outputs")}).array();
    return outputs.isEmpty()
        ? QSize()
        : rectOf(outputs.first().toObject()[QLatin1String("rect")].toObject()).size();
}

// Runs one sway command on the view with this title; true when sway carried it out.
bool swayCommand(const QString &title, const QString &command)
{
    const QJsonArray replies =
        swaymsg({QStringLiteral("[title=\"^%1$\"] %2").arg(title, command)}).array();
    return !replies.isEmpty() && replies.first().toObject()[QLatin1String("success")].toBool();
}

// A plain resizable window, which sway tiles.
std::unique_ptr<QWidget> tiledWindow(const QString &title)
{
    auto window = std::make_unique<QWidget>();
    window->setWindowTitle(title);
    window->resize(300, 200);
    window->show();
    return window;
}

// Every control's place, in the window's order of children.
QList<QRect> controlPlaces(const Form1 &window)
{
    QList<QRect> places;
    for (const QWidget *child : window.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        places << child->geometry();
    return places;
}

constexpr QSize kClientSize(514, 609);
constexpr int kSwayTimeout = 20000; // ms; sway and the window share two busy cores

} // namespace

class TestSwayWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void floatsAtItsClientSize_data();
    void floatsAtItsClientSize();
    void tiledWindowsLeaveItsSize();
    void fullScreenFromTheCompositorAndBack();
    void cleanup();
};

void TestSwayWindow::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
    QVERIFY2(!qEnvironmentVariableIsEmpty("SWAYSOCK"), "run under sway_session.sh");
    QVERIFY(!swaymsg({QStringLiteral("-t"), QStringLiteral("get_tree")}).isNull());
}

void TestSwayWindow::cleanup()
{
    QVERIFY(!swaymsg({QStringLiteral("output * resolution 1024x768 scale 1")}).isNull());
}

// Every output is 1024 x 768 in layout (logical) pixels.
void TestSwayWindow::floatsAtItsClientSize_data()
{
    QTest::addColumn<QString>("output");
    QTest::newRow("scale 1") << QStringLiteral("resolution 1024x768 scale 1");
    QTest::newRow("scale 1.5") << QStringLiteral("resolution 1536x1152 scale 1.5");
    QTest::newRow("scale 2") << QStringLiteral("resolution 2048x1536 scale 2");
}

// Alone on its workspace the window would take all of it if sway tiled it.
void TestSwayWindow::floatsAtItsClientSize()
{
    QFETCH(QString, output);
    QVERIFY(!swaymsg({QStringLiteral("output * ") + output}).isNull());
    QTRY_COMPARE_WITH_TIMEOUT(outputSize(), QSize(1024, 768), kSwayTimeout);

    Form1 window(nullptr, test::kNowhere);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window, kSwayTimeout));
    const QString title = window.windowTitle();
    QTRY_VERIFY_WITH_TIMEOUT(viewTitled(title).found, kSwayTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(viewTitled(title).content.size(), kClientSize, kSwayTimeout);
    const View view = viewTitled(title);
    QVERIFY(view.floating);
    // All of it on the output, nothing cut off at an edge.
    QVERIFY2(view.output.contains(view.content),
             qPrintable(QStringLiteral("window at %1,%2 %3x%4 on an output of %5x%6")
                            .arg(view.content.x())
                            .arg(view.content.y())
                            .arg(view.content.width())
                            .arg(view.content.height())
                            .arg(view.output.width())
                            .arg(view.output.height())));
    QCOMPARE(window.size(), kClientSize);
}

// Four tiled windows side by side get 256 px each; the window floats over them, whole, whether
// it came before some of them or after.
void TestSwayWindow::tiledWindowsLeaveItsSize()
{
    std::vector<std::unique_ptr<QWidget>> others;
    others.push_back(tiledWindow(QStringLiteral("other 1")));
    others.push_back(tiledWindow(QStringLiteral("other 2")));
    Form1 window(nullptr, test::kNowhere);
    const QList<QRect> places = controlPlaces(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window, kSwayTimeout));
    others.push_back(tiledWindow(QStringLiteral("other 3")));
    others.push_back(tiledWindow(QStringLiteral("other 4")));
    for (const auto &other : others)
        QVERIFY(QTest::qWaitForWindowExposed(other.get(), kSwayTimeout));

    // The layout is a tiling one: the others share the width.
    for (const auto &other : others) {
        const QString title = other->windowTitle();
        QTRY_COMPARE_WITH_TIMEOUT(viewTitled(title).content.width() < 300, true, kSwayTimeout);
        QVERIFY2(!viewTitled(title).floating, qPrintable(title));
    }
    const QString title = window.windowTitle();
    QTRY_COMPARE_WITH_TIMEOUT(viewTitled(title).content.size(), kClientSize, kSwayTimeout);
    const View view = viewTitled(title);
    QVERIFY(view.floating);
    QVERIFY(view.output.contains(view.content));
    QCOMPARE(window.size(), kClientSize);
    QCOMPARE(controlPlaces(window), places);
    const QRect client(QPoint(0, 0), kClientSize);
    for (const QRect &place : places)
        QVERIFY(client.contains(place));
}

// A full-screen state that sway gives on its own (its "fullscreen" command, as a key binding
// runs it) leaves the window alive with its layout, covering the output, and it comes back
// floating at its own size.
void TestSwayWindow::fullScreenFromTheCompositorAndBack()
{
    Form1 window(nullptr, test::kNowhere);
    const QList<QRect> places = controlPlaces(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window, kSwayTimeout));
    const QString title = window.windowTitle();
    QTRY_VERIFY_WITH_TIMEOUT(viewTitled(title).found, kSwayTimeout);

    QVERIFY(swayCommand(title, QStringLiteral("fullscreen enable")));
    QTRY_VERIFY_WITH_TIMEOUT(window.windowState() & Qt::WindowFullScreen, kSwayTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(window.size(), QSize(1024, 768), kSwayTimeout);
    window.repaint();
    QVERIFY(QTest::qWaitForWindowExposed(&window, kSwayTimeout));
    QCOMPARE(controlPlaces(window), places);

    QVERIFY(swayCommand(title, QStringLiteral("fullscreen disable")));
    QTRY_COMPARE_WITH_TIMEOUT(window.windowState(), Qt::WindowNoState, kSwayTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(window.size(), kClientSize, kSwayTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(viewTitled(title).content.size(), kClientSize, kSwayTimeout);
    QVERIFY(viewTitled(title).floating);
    QCOMPARE(controlPlaces(window), places);
}

QELVORA_TEST_MAIN(TestSwayWindow)
#include "tst_sway_window.moc"
