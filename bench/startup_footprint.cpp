// qelvora_bench_startup: how long the window takes to open, with its two web panels and without
// them, and what the running program costs in memory and CPU.
//
//   qelvora_bench_startup [--reps N] [--site serve|refuse]
//
// Run without --child, the program is the driver. Every measurement runs in a fresh child
// process, the driver re-executing itself:
//   --child with-panels | without-panels
//       opens the window (without panels: the two web views are deleted before show, so the
//       web engine never starts) and prints, on the machine-wide monotonic clock, when main()
//       was entered, QApplication existed, Form1 was built, show() returned, the first paint
//       event reached the window and that paint was finished; the driver takes them against
//       the moment just before it spawned the child.
//   --child footprint [--site serve|refuse]
//       opens the real window with its panels pointing at a small loopback HTTP server (serve,
//       the default) or at a refusing loopback port (refuse); 3 s after both panels have finished
//       loading it prints the resident memory of itself and of its process tree, then the CPU
//       used over 10 s idle and over one manual draw with the shipped intervals.
#include "app/form1.h"
#include "app/program_start.h"
#include "app/text_boxes.h"
#include "bench/bench_support.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QWebEngineView>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace qelvora;
using namespace qelvora::bench;

namespace {

constexpr double kStartupRatioTarget = 1.25;
constexpr double kIdleCpuTarget = 0.5; // % of one core
constexpr double kDrawCpuTarget = 3.0; // % of one core
constexpr int kSettleAfterLoadMs = 3000;
constexpr int kIdleMs = 10000;
constexpr int kDrawTimeoutMs = 60000;

// The start-up phases a child reports, in order, by their names on the "@phase" lines.
const char *const kPhases[] = {"main", "application", "window-built", "show-returned",
                               "first-paint", "paint-done"};
constexpr int kPhaseCount = int(std::size(kPhases));
constexpr int kFirstPaintDone = kPhaseCount - 1;

double toMs(qint64 ns)
{
    return double(ns) / 1e6;
}

// Runs the event loop for the given time. A precise timer: a coarse one may end 5 % early.
void idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// ---------------------------------------------------------------------------------------------
// Child: start-up

// Catches the first paint event of the window, and the moment that paint has been finished and
// flushed (a queued call runs only once the whole paint pass is over), then calls painted.
// Installed on a web view as well, it notes when the view got the inner widget it renders into.
class FirstPaintWatch : public QObject {
public:
    QObject *window = nullptr;
    std::function<void()> painted;
    qint64 paintEvent = -1;
    qint64 paintDone = -1;
    qint64 viewWidget = -1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != window) {
            if (event->type() == QEvent::ChildAdded && viewWidget < 0)
                viewWidget = monotonicNs();
        } else if (event->type() == QEvent::Paint && paintEvent < 0) {
            paintEvent = monotonicNs();
            QMetaObject::invokeMethod(
                this,
                [this] {
                    paintDone = monotonicNs();
                    painted();
                },
                Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }
};

int runStartupChild(bool withPanels, qint64 mainEntered, int argc, char *argv[])
{
    prepareWebEngineEnvironment();
    const auto app = startProgram(argc, argv);
    const qint64 applicationReady = monotonicNs();

    Form1 window(nullptr, kRefusingSite);
    if (!withPanels) {
        delete std::exchange(window.WebBrowser1, nullptr);
        delete std::exchange(window.WebBrowser2, nullptr);
    }
    const qint64 windowBuilt = monotonicNs();

    // Once the first paint is finished: count the web engine's helper processes, and end a
    // little later so that the program does not stop in the middle of starting them.
    std::size_t helpers = 0;
    FirstPaintWatch watch;
    watch.window = &window;
    watch.painted = [&] {
        helpers = processTree(getpid()).size() - 1;
        QTimer::singleShot(300, app.get(), &QCoreApplication::quit);
    };
    window.installEventFilter(&watch);
    for (QWebEngineView *view : {window.WebBrowser1, window.WebBrowser2}) {
        if (view)
            view->installEventFilter(&watch);
    }
    window.show();
    const qint64 showReturned = monotonicNs();

    QTimer::singleShot(30000, app.get(), &QCoreApplication::quit);
    app->exec();
    if (watch.paintDone < 0)
        return 1;

    const qint64 moments[kPhaseCount] = {mainEntered, applicationReady, windowBuilt,
                                         showReturned, watch.paintEvent, watch.paintDone};
    for (int i = 0; i < kPhaseCount; ++i)
        say(QStringLiteral("@phase %1 %2").arg(QLatin1String(kPhases[i])).arg(moments[i]));
    say(QStringLiteral("@info helpers %1").arg(helpers));
    say(QStringLiteral("@info view-widget %1").arg(watch.viewWidget));
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Child: footprint

// A tiny page the loopback server answers every request with.
constexpr char kPage[] =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Qelvora</title></head>"
    "<body style=\"margin:0;font:12px sans-serif\">Qelvora 双色球摇奖测试工具 · loopback</body>"
    "</html>";

// The smallest HTTP server the panels need, on loopback only: every GET is answered with kPage
// and the connection is closed. The paths asked for are kept, to show what the panels loaded.
class LoopbackSite : public QObject {
public:
    QStringList served;

    quint16 listen()
    {
        if (!m_server.listen(QHostAddress::LocalHost, 0))
            return 0;
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                QObject::connect(socket, &QTcpSocket::readyRead, this,
                                 [this, socket] { answer(socket); });
            }
        });
        return m_server.serverPort();
    }

private:
    void answer(QTcpSocket *socket)
    {
        QByteArray &request = m_requests[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> requestLine = request.left(request.indexOf("\r\n")).split(' ');
        served.append(QUrl::fromPercentEncoding(requestLine.value(1)));
        m_requests.remove(socket);
        const QByteArray body(kPage);
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
                      "Content-Length: " + QByteArray::number(body.size())
                      + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_requests;
};

// Where the display server that shows the window runs, if it can be told: the X server process
// whose command line names the display of $DISPLAY. Its CPU time is spent on this program's
// behalf but lies outside its process tree.
std::optional<pid_t> displayServer()
{
    const QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        return std::nullopt;
    for (pid_t pid : processTree(1)) {
        const QString label = processLabel(pid);
        if (!label.startsWith(QStringLiteral("Xvfb")) && !label.startsWith(QStringLiteral("Xorg")))
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly)
            && cmdline.readAll().split('\0').contains(display.toLocal8Bit()))
            return pid;
    }
    return std::nullopt;
}

// CPU use over an interval: of this process, of each process of its tree, and of the display
// server.
struct CpuSample {
    qint64 wall = 0;
    qint64 self = 0;
    QMap<pid_t, qint64> tree;
    qint64 display = -1;
};

// The slow part (walking /proc) is kept outside the interval: at its start it comes before the
// clock readings, at its end after them.
CpuSample sampleStart(std::optional<pid_t> display)
{
    CpuSample sample;
    sample.tree = treeCpuNs(getpid());
    if (display)
        sample.display = procCpuNs(*display);
    sample.self = processCpuNs();
    sample.wall = monotonicNs();
    return sample;
}

CpuSample sampleEnd(std::optional<pid_t> display)
{
    CpuSample sample;
    sample.wall = monotonicNs();
    sample.self = processCpuNs();
    sample.tree = treeCpuNs(getpid());
    if (display)
        sample.display = procCpuNs(*display);
    return sample;
}

double share(qint64 cpuNs, qint64 wallNs)
{
    return 100.0 * double(cpuNs) / double(wallNs);
}

void reportCpu(const QString &what, const CpuSample &from, const CpuSample &to, double target)
{
    const qint64 wall = to.wall - from.wall;
    const double self = share(to.self - from.self, wall);
    const double tree = share(treeCpuDelta(from.tree, to.tree), wall);
    say(QStringLiteral("CPU over %1 (%2 s wall), % of one core (target < %3 %):")
            .arg(what, number(toMs(wall) / 1000, 2))
            .arg(target));
    say(QStringLiteral("  main process        %1 %   (%2 ms CPU, clock_gettime)  target %3")
            .arg(number(self, 3).rightJustified(7), number(toMs(to.self - from.self), 1),
                 self < target ? QStringLiteral("met") : QStringLiteral("MISSED")));
    say(QStringLiteral("  process tree        %1 %   (%2 ms CPU, /proc ticks)  target %3")
            .arg(number(tree, 3).rightJustified(7), number(toMs(treeCpuDelta(from.tree, to.tree)), 0),
                 tree < target ? QStringLiteral("met") : QStringLiteral("MISSED")));
    for (auto it = to.tree.cbegin(); it != to.tree.cend(); ++it) {
        const qint64 used = it.value() - from.tree.value(it.key(), 0);
        say(QStringLiteral("    %1 %2 %   %3")
                .arg(QString::number(it.key()).rightJustified(8),
                     number(share(used, wall), 3).rightJustified(7), processLabel(it.key())));
    }
    if (from.display >= 0 && to.display >= 0) {
        say(QStringLiteral("  display server      %1 %   (outside the tree, for information)")
                .arg(number(share(to.display - from.display, wall), 3).rightJustified(7)));
    }
}

int runFootprintChild(bool serve, int argc, char *argv[])
{
    prepareWebEngineEnvironment();
    const auto app = startProgram(argc, argv);

    QUrl site = kRefusingSite;
    LoopbackSite server;
    if (serve) {
        const quint16 port = server.listen();
        if (port == 0) {
            say(QStringLiteral("could not listen on loopback"));
            return 1;
        }
        site = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
    }

    Form1 window(nullptr, site);
    QEventLoop loaded;
    int finished = 0;
    QStringList outcomes;
    for (QWebEngineView *view : {window.WebBrowser1, window.WebBrowser2}) {
        QObject::connect(view, &QWebEngineView::loadFinished, &loaded, [&, view](bool ok) {
            outcomes.append(QStringLiteral("%1 %2").arg(
                view == window.WebBrowser1 ? QStringLiteral("WebBrowser1") : QStringLiteral("WebBrowser2"),
                ok ? QStringLiteral("loaded") : QStringLiteral("failed")));
            if (++finished == 2)
                loaded.quit();
        });
    }
    window.show();
    QTimer::singleShot(30000, &loaded, &QEventLoop::quit);
    loaded.exec();
    idle(kSettleAfterLoadMs);

    say(QStringLiteral("Footprint child: panels on %1 (%2); %3")
            .arg(site.toString(),
                 serve ? QStringLiteral("loopback HTTP server") : QStringLiteral("loopback, port refuses"),
                 outcomes.isEmpty() ? QStringLiteral("no panel finished loading within 30 s")
                                    : outcomes.join(QStringLiteral(", "))));
    if (serve)
        say(QStringLiteral("  requests served: ") + server.served.join(QStringLiteral(", ")));

    // Memory, 3 s after both panels finished loading.
    say();
    say(QStringLiteral("Resident memory %1 s after both panels finished loading (VmRSS; Pss "
                       "shares each shared page among the processes that map it):")
            .arg(kSettleAfterLoadMs / 1000));
    say(QStringLiteral("         pid   VmRSS MiB    Pss MiB"));
    long treeRss = 0;
    long treePss = 0;
    for (pid_t pid : processTree(getpid())) {
        const long rss = residentKiB(pid);
        const long pss = proportionalKiB(pid);
        if (rss < 0)
            continue;
        treeRss += rss;
        treePss += std::max(pss, 0L);
        say(QStringLiteral("    %1 %2 %3   %4")
                .arg(QString::number(pid).rightJustified(8),
                     number(rss / 1024.0, 1).rightJustified(11),
                     number(pss / 1024.0, 1).rightJustified(10), processLabel(pid)));
    }
    say(QStringLiteral("  main process  VmRSS %1 MiB, Pss %2 MiB")
            .arg(number(residentKiB(getpid()) / 1024.0, 1),
                 number(proportionalKiB(getpid()) / 1024.0, 1)));
    say(QStringLiteral("  process tree  VmRSS %1 MiB (sum; shared pages counted in every process), "
                       "Pss %2 MiB (sum)")
            .arg(number(treeRss / 1024.0, 1), number(treePss / 1024.0, 1)));

    // CPU while idle: the window shown, nothing running.
    const std::optional<pid_t> display = displayServer();
    say();
    const CpuSample idleFrom = sampleStart(display);
    idle(kIdleMs);
    const CpuSample idleTo = sampleEnd(display);
    reportCpu(QStringLiteral("%1 s idle").arg(kIdleMs / 1000), idleFrom, idleTo, kIdleCpuTarget);

    // CPU over one manual draw, from the click to the blue box settling.
    QEventLoop settled;
    QObject::connect(window.Timer10, &QTimer::timeout, &settled, [&] {
        if (!window.Timer10->isActive())
            settled.exit(0);
    });
    QTimer::singleShot(kDrawTimeoutMs, &settled, [&] { settled.exit(1); });
    say();
    const CpuSample drawFrom = sampleStart(display);
    window.Command1->click();
    const bool drawSettled = settled.exec() == 0;
    const CpuSample drawTo = sampleEnd(display);
    if (!drawSettled) {
        say(QStringLiteral("the draw did not settle within %1 ms").arg(kDrawTimeoutMs));
        return 1;
    }
    reportCpu(QStringLiteral("one manual draw"), drawFrom, drawTo, kDrawCpuTarget);
    say(QStringLiteral("  log: ") + window.Text4->text().trimmed());
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Driver

struct ChildRun {
    bool ok = false;
    std::array<double, kPhaseCount> phaseMs{}; // ms after the spawn
    int helpers = -1;                           // helper processes right after the first paint
    double viewWidgetMs = -1;                   // a web view got its inner widget (-1: never)
    QString error;
};

ChildRun runStartup(const QString &mode)
{
    ChildRun run;
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({QStringLiteral("--child"), mode});
    const qint64 spawned = monotonicNs();
    child.start();
    if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit
        || child.exitCode() != 0) {
        child.kill();
        child.waitForFinished();
        run.error = QStringLiteral("child failed (exit %1): %2")
                        .arg(child.exitCode())
                        .arg(QString::fromLocal8Bit(child.readAllStandardError()).right(2000));
        return run;
    }
    int found = 0;
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> words = line.trimmed().split(' ');
        if (words.size() == 3 && words[0] == "@info" && words[1] == "helpers")
            run.helpers = words[2].toInt();
        if (words.size() == 3 && words[0] == "@info" && words[1] == "view-widget"
            && words[2].toLongLong() >= 0)
            run.viewWidgetMs = toMs(words[2].toLongLong() - spawned);
        if (words.size() != 3 || words[0] != "@phase")
            continue;
        for (int i = 0; i < kPhaseCount; ++i) {
            if (words[1] == kPhases[i]) {
                run.phaseMs[i] = toMs(words[2].toLongLong() - spawned);
                ++found;
            }
        }
    }
    run.ok = found == kPhaseCount;
    if (!run.ok)
        run.error = QStringLiteral("child reported %1 of %2 phases").arg(found).arg(kPhaseCount);
    return run;
}

QString phaseRow(const QString &name, const std::array<double, kPhaseCount> &ms)
{
    QString row = name.leftJustified(16);
    for (double value : ms)
        row += number(value, 1).rightJustified(14);
    return row;
}

int runDriver(int reps, const QString &site)
{
    say(QStringLiteral("qelvora_bench_startup: %1 fresh start(s) with and without the web panels, "
                       "alternating, then one footprint run")
            .arg(reps));
    say(QStringLiteral("Qt %1, QT_QPA_PLATFORM=%2, DISPLAY=%3, %4 CPU(s) online")
            .arg(QString::fromLatin1(qVersion()),
                 qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("(default)")),
                 qEnvironmentVariable("DISPLAY", QStringLiteral("(none)")))
            .arg(sysconf(_SC_NPROCESSORS_ONLN)));
    say();
    say(QStringLiteral("Start-up, ms after the spawn of the child process (monotonic clock). "
                       "helpers: web engine processes right after the first paint; view-widget: "
                       "when a web view got its inner render widget"));
    QString header = QStringLiteral("run").leftJustified(16);
    for (const char *phase : kPhases)
        header += QString::fromLatin1(phase).rightJustified(14);
    say(header + QStringLiteral("  helpers  view-widget"));

    std::map<QString, std::vector<std::array<double, kPhaseCount>>> runs;
    const QString with = QStringLiteral("with-panels");
    const QString without = QStringLiteral("without-panels");
    for (int rep = 1; rep <= reps; ++rep) {
        // Alternate which goes first, so neither always follows the other.
        const QStringList order = rep % 2 ? QStringList{with, without} : QStringList{without, with};
        for (const QString &mode : order) {
            const ChildRun run = runStartup(mode);
            if (!run.ok) {
                say(QStringLiteral("%1 run %2: %3").arg(mode).arg(rep).arg(run.error));
                return 1;
            }
            say(phaseRow(QStringLiteral("%1 #%2").arg(mode).arg(rep), run.phaseMs)
                + QString::number(run.helpers).rightJustified(9)
                + (run.viewWidgetMs < 0 ? QStringLiteral("-") : number(run.viewWidgetMs, 1))
                      .rightJustified(13));
            runs[mode].push_back(run.phaseMs);
            // Let the helpers of the child that just ended go away before the next start.
            QThread::msleep(1000);
        }
    }

    say();
    say(QStringLiteral("Medians, ms after the spawn:"));
    say(header);
    std::array<double, kPhaseCount> medianWith{};
    std::array<double, kPhaseCount> medianWithout{};
    for (auto [mode, medians] : {std::pair{with, &medianWith}, std::pair{without, &medianWithout}}) {
        for (int i = 0; i < kPhaseCount; ++i) {
            std::vector<double> values;
            for (const auto &phases : runs[mode])
                values.push_back(phases[i]);
            (*medians)[i] = summarize(values).median;
        }
        say(phaseRow(mode, *medians));
    }
    const double ratio = medianWith[kFirstPaintDone] / medianWithout[kFirstPaintDone];
    say();
    say(QStringLiteral("Window first shown (first paint finished): with panels %1 ms, without %2 ms "
                       "(medians of %3)")
            .arg(number(medianWith[kFirstPaintDone], 1), number(medianWithout[kFirstPaintDone], 1))
            .arg(reps));
    say(QStringLiteral("Ratio with / without: %1   target <= %2: %3")
            .arg(number(ratio, 3))
            .arg(kStartupRatioTarget)
            .arg(ratio <= kStartupRatioTarget ? QStringLiteral("met") : QStringLiteral("MISSED")));
    say();

    // Footprint: the child writes its own report; it is passed on line by line.
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({QStringLiteral("--child"), QStringLiteral("footprint"),
                        QStringLiteral("--site"), site});
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start();
    QByteArray pending;
    auto passOn = [&] {
        pending += child.readAllStandardOutput();
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            say(QString::fromUtf8(pending.left(end)));
            pending.remove(0, end + 1);
        }
    };
    while (!child.waitForFinished(200))
        passOn();
    passOn();
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        say(QStringLiteral("footprint child failed (exit %1): %2")
                .arg(child.exitCode())
                .arg(QString::fromLocal8Bit(child.readAllStandardError()).right(2000)));
        return 1;
    }
    return 0;
}

int usage(const char *program)
{
    std::fprintf(stderr, "usage: %s [--reps N] [--site serve|refuse]\n", program);
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    const qint64 mainEntered = monotonicNs();

    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) {
        const QByteArray mode = argv[2];
        if (mode == "with-panels" || mode == "without-panels")
            return runStartupChild(mode == "with-panels", mainEntered, argc, argv);
        if (mode == "footprint") {
            const bool refuse = argc >= 5 && std::strcmp(argv[3], "--site") == 0
                                && std::strcmp(argv[4], "refuse") == 0;
            return runFootprintChild(!refuse, argc, argv);
        }
        return usage(argv[0]);
    }

    int reps = 5;
    QString site = QStringLiteral("serve");
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument = argv[i];
        if (argument == "--reps" && i + 1 < argc) {
            reps = QByteArray(argv[++i]).toInt();
            if (reps < 1)
                return usage(argv[0]);
        } else if (argument == "--site" && i + 1 < argc) {
            site = QString::fromLatin1(argv[++i]);
            if (site != QStringLiteral("serve") && site != QStringLiteral("refuse"))
                return usage(argv[0]);
        } else {
            return usage(argv[0]);
        }
    }

    // The driver shows nothing itself; its children inherit the prepared environment.
    prepareWebEngineEnvironment();
    QCoreApplication app(argc, argv);
    return runDriver(reps, site);
}
