// qelvora_bench_startup: how long the window takes to open, with its two web panels and without
// them, and what the running program costs in memory and CPU.
//
//   qelvora_bench_startup [--reps N] [--site serve|refuse[,...]] [--attack NAME [--seconds S]]
//
// --reps 0 leaves the start-up timing out. Several sites, comma-separated, give one footprint run
// each, and a summary of their trees' Pss against the target. --attack runs one memory attack
// (tests/support/memory_attacks.h) or one of the loopback site's flood pages (console, title,
// icon, navigate, history, stuck) in the lower panel instead and reports its peaks and what it
// cost the program's own process in CPU; --attack quiet loads another page of the served site,
// to set them against.
//
// The driver re-executes itself for every measurement, so each runs in a fresh process:
//   --child with-panels | without-panels: starts the program's way, opens the window (without
//       panels: the web views are deleted before show, so the web engine never starts) and
//       prints, on the machine-wide monotonic clock, the moments of its start-up phases (kPhases),
//       which the driver takes against the moment just before it spawned the child.
//   --child footprint NAME: opens the window with its panels on the named site; 3 s after both
//       panels have finished loading it prints the resident memory of its process tree, then the
//       CPU the tree used over 10 s idle and over one manual draw with the shipped intervals.
//   --child attack NAME SECONDS: opens the window on the serve site, then loads the named memory
//       attack or flood page into the lower panel and samples the Pss of the whole tree and of
//       the program's own process every 100 ms for SECONDS; prints their peaks, what is left at
//       the end, and the CPU the program's own process used meanwhile.
#include "bench/bench_support.h"
#include "panel_watch.h"
#include "program_start.h"
#include "support/memory_attacks.h"
#include "text_boxes.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <unistd.h>
#include <utility>

using namespace qelvora;
using namespace qelvora::bench;

namespace {

constexpr double kStartupRatioTarget = 1.25;
constexpr double kIdleCpuTarget = 0.5; // % of one core
constexpr double kDrawCpuTarget = 3.0; // % of one core
constexpr int kSettleAfterLoadMs = 3000;
constexpr int kIdleMs = 10000;
constexpr int kDrawTimeoutMs = 60000;
constexpr double kTreePssTarget = 100; // MiB, the whole tree at rest

// The start-up phases a child reports, in order, on its "@phases <ns>..." line: main() entered,
// the application set up, Form1 built, show() returned, the first paint event reached the
// window, and that paint finished.
constexpr std::array<const char *, 6> kPhases = {"main",          "application", "window-built",
                                                 "show-returned", "first-paint", "paint-done"};

// ---------------------------------------------------------------------------------------------
// The process tree, from /proc

// The contents of /proc/<pid>/<name>; empty when the process is gone.
QByteArray procFile(pid_t pid, const char *name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The fields of /proc/<pid>/stat after the command name, which stands in parentheses and may
// itself hold blanks and parentheses. Index 0 is field 3 (state), so field n is at n - 3.
QList<QByteArray> statFields(pid_t pid)
{
    const QByteArray line = procFile(pid, "stat");
    return line.mid(line.lastIndexOf(')') + 1).simplified().split(' ');
}
constexpr int kPpid = 4 - 3;
constexpr int kUtime = 14 - 3;
constexpr int kStime = 15 - 3;

// This process and every descendant of it, found by walking the parent ids of /proc/*/stat.
std::vector<pid_t> processTree()
{
    QMultiMap<pid_t, pid_t> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool isPid = false;
        const pid_t pid = entry.toInt(&isPid);
        const QList<QByteArray> fields = isPid ? statFields(pid) : QList<QByteArray>{};
        if (fields.size() > kPpid)
            children.insert(fields.at(kPpid).toInt(), pid);
    }
    std::vector<pid_t> tree{getpid()};
    for (std::size_t i = 0; i < tree.size(); ++i) {
        const QList<pid_t> below = children.values(tree[i]);
        tree.insert(tree.end(), below.begin(), below.end());
    }
    return tree;
}

// The MiB figure of the line "<key>: <n> kB" of /proc/<pid>/<file>; -1 when there is none.
double mibOf(pid_t pid, const char *file, const QByteArray &key)
{
    for (const QByteArray &line : procFile(pid, file).split('\n')) {
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).simplified().split(' ').value(0).toDouble() / 1024;
    }
    return -1;
}

// User plus system CPU time of each process of the tree in nanoseconds (clock-tick resolution,
// usually 10 ms).
QMap<pid_t, qint64> treeCpuNs()
{
    QMap<pid_t, qint64> used;
    for (pid_t pid : processTree()) {
        const QList<QByteArray> fields = statFields(pid);
        if (fields.size() > kStime)
            used.insert(pid,
                        (fields.at(kUtime).toLongLong() + fields.at(kStime).toLongLong())
                            * (1000000000 / sysconf(_SC_CLK_TCK)));
    }
    return used;
}

// The command name, and for a web engine helper its role. The engine's renderers are forked by
// its zygote and keep the zygote's command line; they are told apart by their parent.
QString processLabel(pid_t pid)
{
    auto arguments = [](pid_t p) { return procFile(p, "cmdline").split('\0'); };
    if (arguments(pid).contains("--type=zygote")
        && arguments(statFields(pid).value(kPpid).toInt()).contains("--type=zygote"))
        return QStringLiteral("QtWebEngineProc (forked by the zygote: renderer)");
    QString label = QString::fromLocal8Bit(procFile(pid, "comm").trimmed());
    for (const QByteArray &argument : arguments(pid)) {
        if (argument.startsWith("--type="))
            label += QStringLiteral(" (") + QString::fromLocal8Bit(argument.mid(7)) + u')';
        if (argument.startsWith("--utility-sub-type="))
            label += QStringLiteral(" [") + QString::fromLocal8Bit(argument.mid(19)) + u']';
    }
    return label;
}

// ---------------------------------------------------------------------------------------------
// Children

// Notes the first paint event of the window and the moment that paint has been finished and
// flushed (a queued call runs only once the whole paint pass is over), then ends the program a
// little later, so that it does not stop in the middle of starting the web engine's helpers.
class FirstPaintWatch : public QObject {
public:
    qint64 paintEvent = -1;
    qint64 paintDone = -1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && paintEvent < 0) {
            paintEvent = monotonicNs();
            QMetaObject::invokeMethod(
                this,
                [this] {
                    paintDone = monotonicNs();
                    QTimer::singleShot(300, qApp, &QCoreApplication::quit);
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
    Form1 window(nullptr, test::kNowhere);
    if (!withPanels) {
        delete std::exchange(window.WebBrowser1, nullptr);
        delete std::exchange(window.WebBrowser2, nullptr);
    }
    const qint64 windowBuilt = monotonicNs();
    FirstPaintWatch watch;
    window.installEventFilter(&watch);
    window.show();
    const qint64 showReturned = monotonicNs();
    QTimer::singleShot(30000, app.get(), &QCoreApplication::quit);
    app->exec();
    if (watch.paintDone < 0)
        return 1;
    say(QStringLiteral("@phases %1 %2 %3 %4 %5 %6")
            .arg(mainEntered)
            .arg(applicationReady)
            .arg(windowBuilt)
            .arg(showReturned)
            .arg(watch.paintEvent)
            .arg(watch.paintDone));
    return 0;
}

// Runs during() and reports the CPU time used meanwhile by this process (all threads) and by
// each process of its tree; false when during() fails. Walking /proc is slow, so it comes
// before the clock readings at the start and after them at the end.
bool measureCpu(const QString &what, double target, const std::function<bool()> &during)
{
    const QMap<pid_t, qint64> from = treeCpuNs();
    const qint64 selfFrom = processCpuNs();
    const qint64 wallFrom = monotonicNs();
    if (!during())
        return false;
    const qint64 wall = monotonicNs() - wallFrom;
    const qint64 self = processCpuNs() - selfFrom;
    const QMap<pid_t, qint64> to = treeCpuNs();
    auto share = [wall](qint64 cpu) { return 100.0 * double(cpu) / double(wall); };
    // A process that appeared in between counts from zero; one that ended in between is lost
    // with what it used since the first reading.
    qint64 tree = 0;
    for (auto it = to.cbegin(); it != to.cend(); ++it)
        tree += it.value() - from.value(it.key(), 0);
    say(QStringLiteral("CPU over %1 (%2 s wall), % of one core (target < %3 %):")
            .arg(what, number(toMs(wall) / 1000, 2))
            .arg(target));
    say(QStringLiteral("  main process        %1 %   (%2 ms CPU, clock_gettime)  target %3")
            .arg(number(share(self), 3).rightJustified(7), number(toMs(self), 1),
                 verdict(share(self) < target)));
    say(QStringLiteral("  process tree        %1 %   (%2 ms CPU, /proc ticks)  target %3")
            .arg(number(share(tree), 3).rightJustified(7), number(toMs(tree), 0),
                 verdict(share(tree) < target)));
    for (auto it = to.cbegin(); it != to.cend(); ++it) {
        say(QStringLiteral("    %1 %2 %   %3")
                .arg(QString::number(it.key()).rightJustified(8),
                     number(share(it.value() - from.value(it.key(), 0)), 3).rightJustified(7),
                     processLabel(it.key())));
    }
    return true;
}

// What a process's mappings of the web engine's own library and of the graphics driver take of
// its Pss, in MiB: the part of the footprint that comes with the engine, whatever the program
// asks of it (the engine makes an OpenGL context at its start, which loads the driver).
struct EnginePss {
    double code = 0;
    double glDriver = 0;
};

EnginePss enginePssOf(pid_t pid)
{
    EnginePss pss;
    QFile smaps(QStringLiteral("/proc/%1/smaps").arg(pid));
    if (!smaps.open(QIODevice::ReadOnly))
        return pss;
    double *counted = nullptr;
    const QList<QByteArray> lines = smaps.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 5 && fields[0].contains('-') && !fields[0].endsWith(':')) {
            const QByteArray path = fields.value(5);
            counted = path.contains("libQt6WebEngineCore.so") ? &pss.code
                : path.contains("/dri/") || path.contains("libLLVM") || path.contains("libGLX_mesa")
                    || path.contains("libgallium") || path.contains("libglapi")
                ? &pss.glDriver
                : nullptr;
        } else if (counted && fields.value(0) == "Pss:") {
            *counted += fields.value(1).toDouble() / 1024.0;
        }
    }
    return pss;
}

int runFootprintChild(const QString &siteName, int argc, char *argv[])
{
    prepareWebEngineEnvironment();
    const auto app = startProgram(argc, argv);
    test::LoopbackSite site;
    const QUrl siteUrl = panelSite(siteName, site);
    if (siteUrl.isEmpty())
        return 2;
    Form1 window(nullptr, siteUrl);
    window.show();
    const QStringList outcomes = waitForPanels(window, 30000);
    test::pause(kSettleAfterLoadMs);
    say(QStringLiteral("Footprint child: panels on %1 (%2): %3; %4 request(s) served")
            .arg(siteUrl.toString(), siteName, outcomes.join(QStringLiteral(", ")))
            .arg(site.requests.size()));

    say();
    say(QStringLiteral("Resident memory %1 s after both panels finished loading (VmRSS; Pss "
                       "shares each shared page among the processes that map it):")
            .arg(kSettleAfterLoadMs / 1000));
    say(QStringLiteral("         pid   VmRSS MiB    Pss MiB   of it: engine code   GL driver"));
    double treeRss = 0;
    double treePss = 0;
    EnginePss treeEngine;
    for (pid_t pid : processTree()) {
        const double rss = mibOf(pid, "status", "VmRSS");
        const double pss = mibOf(pid, "smaps_rollup", "Pss");
        if (rss < 0)
            continue;
        const EnginePss engine = enginePssOf(pid);
        treeRss += rss;
        treePss += std::max(pss, 0.0);
        treeEngine.code += engine.code;
        treeEngine.glDriver += engine.glDriver;
        say(QStringLiteral("    %1 %2 %3 %4 %5   %6")
                .arg(QString::number(pid).rightJustified(8), number(rss, 1).rightJustified(11),
                     number(pss, 1).rightJustified(10), number(engine.code, 1).rightJustified(20),
                     number(engine.glDriver, 1).rightJustified(11), processLabel(pid)));
    }
    say(QStringLiteral("  process tree  VmRSS %1 MiB (sum; shared pages counted in every process), "
                       "Pss %2 MiB (sum), of it %3 MiB the web engine's library "
                       "(libQt6WebEngineCore) and %4 MiB the graphics driver")
            .arg(number(treeRss, 1), number(treePss, 1), number(treeEngine.code, 1),
                 number(treeEngine.glDriver, 1)));
    say(QStringLiteral("@tree-pss %1 %2").arg(siteName, number(treePss, 1)));

    say();
    measureCpu(QStringLiteral("%1 s idle").arg(kIdleMs / 1000), kIdleCpuTarget, [] {
        test::pause(kIdleMs);
        return true;
    });
    say();
    if (!measureCpu(QStringLiteral("one manual draw"), kDrawCpuTarget,
                    [&] { return runManualDraw(window, kDrawTimeoutMs); })) {
        say(QStringLiteral("the draw did not settle within %1 ms").arg(kDrawTimeoutMs));
        return 1;
    }
    say(QStringLiteral("  log: ") + window.Text4->text().trimmed());
    return 0;
}

// What --attack takes: the memory attacks, the panel sites that flood the program, and quiet.
QStringList attackNames()
{
    QStringList names = QString::fromLatin1(test::memoryAttacks().join('|')).split(u'|');
    for (const QString &name : kPanelSites) {
        if (!test::LoopbackSite::floodPage(name.toLatin1()).isEmpty())
            names << name;
    }
    names << QStringLiteral("quiet");
    return names;
}

// The Pss of the whole tree and of this process, in MiB.
std::pair<double, double> treeAndOwnPss()
{
    double tree = 0;
    double own = 0;
    for (pid_t pid : processTree()) {
        const double pss = std::max(mibOf(pid, "smaps_rollup", "Pss"), 0.0);
        tree += pss;
        if (pid == getpid())
            own = pss;
    }
    return {tree, own};
}

int runAttackChild(const QByteArray &attack, int seconds, int argc, char *argv[])
{
    prepareWebEngineEnvironment();
    const auto app = startProgram(argc, argv);
    test::LoopbackSite site;
    const QUrl siteUrl = panelSite(QStringLiteral("serve"), site);
    // A flood page is served for every address of the site once the panels have their pages (a
    // navigation flood goes on to other addresses, an icon flood names them).
    const bool flood = !test::LoopbackSite::floodPage(attack).isEmpty();
    const QUrl attackUrl = flood || attack == "quiet" ? site.url("/" + attack + ".htm")
                                                      : test::putMemoryAttack(site, attack);
    if (siteUrl.isEmpty() || attackUrl.isEmpty())
        return 2;
    Form1 window(nullptr, siteUrl);
    window.show();
    waitForPanels(window, 30000);
    test::pause(kSettleAfterLoadMs);
    const auto [treeBefore, ownBefore] = treeAndOwnPss();
    say(QStringLiteral("Attack %1 in the lower panel (%2), sampled every 100 ms for %3 s")
            .arg(QString::fromLatin1(attack), attackUrl.toString())
            .arg(seconds));
    if (flood)
        site.serveFlood(attack);
    const qint64 cpuAtLoad = processCpuNs();
    window.WebBrowser2->load(attackUrl);
    double treePeak = treeBefore;
    double ownPeak = ownBefore;
    qint64 blankAtMs = -1;
    const qint64 from = monotonicNs();
    // Reading every process's smaps_rollup ten times a second is work of this process's own:
    // it is kept out of the program's CPU.
    qint64 samplingNs = 0;
    while (monotonicNs() - from < qint64(seconds) * 1000000000) {
        test::pause(100);
        const qint64 samplingFrom = threadCpuNs();
        const auto [tree, own] = treeAndOwnPss();
        samplingNs += threadCpuNs() - samplingFrom;
        treePeak = std::max(treePeak, tree);
        ownPeak = std::max(ownPeak, own);
        if (blankAtMs < 0 && window.WebBrowser2->url() == QUrl(QStringLiteral("about:blank")))
            blankAtMs = qint64(toMs(monotonicNs() - from));
    }
    const double cpuShare = 100.0 * double(processCpuNs() - cpuAtLoad - samplingNs)
        / double(monotonicNs() - from);
    const auto [treeAfter, ownAfter] = treeAndOwnPss();
    say(QStringLiteral("  Pss MiB          before     peak      end"));
    say(QStringLiteral("  process tree  %1 %2 %3")
            .arg(number(treeBefore, 0).rightJustified(9), number(treePeak, 0).rightJustified(8),
                 number(treeAfter, 0).rightJustified(8)));
    say(QStringLiteral("  program       %1 %2 %3")
            .arg(number(ownBefore, 0).rightJustified(9), number(ownPeak, 0).rightJustified(8),
                 number(ownAfter, 0).rightJustified(8)));
    say(blankAtMs < 0 ? QStringLiteral("  the lower panel was not ended")
                      : QStringLiteral("  the lower panel went blank %1 ms after the load began")
                            .arg(blankAtMs));
    say(QStringLiteral("  the watch ended the pages %1 time(s); the lower panel ends on %2")
            .arg(window.panelWatch->endings())
            .arg(window.WebBrowser2->url().toString()));
    say(QStringLiteral("  the program's own process used %1 % of a core over the %2 s (all its "
                       "threads, the loopback site's included, the sampling's not)")
            .arg(number(cpuShare, 1))
            .arg(seconds));
    say(QStringLiteral("@attack %1 tree-peak %2 program-peak %3 tree-end %4 program-end %5 "
                       "program-cpu %6")
            .arg(QString::fromLatin1(attack), number(treePeak, 0), number(ownPeak, 0),
                 number(treeAfter, 0), number(ownAfter, 0), number(cpuShare, 1)));
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Driver

// Runs this program again with arguments and hands its standard output to onLine line by line
// as it comes. Returns whether the child ended normally with exit code 0.
bool runChild(const QStringList &arguments, const std::function<void(const QByteArray &)> &onLine)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), arguments);
    QByteArray pending;
    auto passOn = [&] {
        pending += child.readAllStandardOutput();
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1))
            onLine(pending.left(end));
    };
    while (!child.waitForFinished(200) && child.state() == QProcess::Running)
        passOn();
    passOn();
    if (child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0)
        return true;
    say(QStringLiteral("child %1 failed (exit %2): %3")
            .arg(arguments.join(u' '))
            .arg(child.exitCode())
            .arg(QString::fromLocal8Bit(child.readAllStandardError()).right(2000)));
    return false;
}

// One footprint child per site, one after the other; each writes its own report, which is passed
// on as it comes. Then the trees' Pss side by side against the target.
int runFootprints(const QStringList &siteNames)
{
    QStringList summary;
    for (const QString &siteName : siteNames) {
        auto passOn = [&summary](const QByteArray &line) {
            if (line.startsWith("@tree-pss "))
                summary << QString::fromUtf8(line.mid(10));
            else
                say(QString::fromUtf8(line));
        };
        if (!runChild({QStringLiteral("--child"), QStringLiteral("footprint"), siteName}, passOn))
            return 1;
        QThread::msleep(1000);
        say();
    }
    say(QStringLiteral("Process tree Pss at rest, target <= %1 MiB:").arg(kTreePssTarget));
    for (const QString &line : std::as_const(summary)) {
        const QStringList fields = line.split(u' ');
        say(QStringLiteral("  %1 %2 MiB  %3")
                .arg(fields.value(0).leftJustified(8), fields.value(1).rightJustified(7),
                     verdict(fields.value(1).toDouble() <= kTreePssTarget)));
    }
    return 0;
}

int runDriver(int reps, const QStringList &siteNames)
{
    say(QStringLiteral(
            "qelvora_bench_startup: %1 fresh start(s) with and without the web panels, "
            "alternating, then one footprint run; Qt %2, QT_QPA_PLATFORM=%3, DISPLAY=%4, "
            "%5 CPU(s) online")
            .arg(reps)
            .arg(QString::fromLatin1(qVersion()),
                 qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("(default)")),
                 qEnvironmentVariable("DISPLAY", QStringLiteral("(none)")))
            .arg(sysconf(_SC_NPROCESSORS_ONLN)));
    const QString modes[2] = {QStringLiteral("with-panels"), QStringLiteral("without-panels")};
    std::array<std::array<std::vector<double>, kPhases.size()>, 2> runs; // [mode][phase], ms
    for (int rep = 1; rep <= reps; ++rep) {
        // Alternate which goes first, so neither always follows the other.
        for (int m : {1 - rep % 2, rep % 2}) {
            QList<QByteArray> moments;
            const qint64 spawned = monotonicNs();
            auto read = [&](const QByteArray &line) {
                if (line.startsWith("@phases "))
                    moments = line.split(' ').mid(1);
            };
            if (!runChild({QStringLiteral("--child"), modes[m]}, read)
                || moments.size() != qsizetype(kPhases.size()))
                return 1;
            for (std::size_t i = 0; i < kPhases.size(); ++i)
                runs[m][i].push_back(toMs(moments[i].toLongLong() - spawned));
            // Let the helpers of the child that just ended go away before the next start.
            QThread::msleep(1000);
        }
    }

    if (reps == 0)
        return runFootprints(siteNames);
    say();
    say(QStringLiteral(
            "Start-up, ms after the spawn of the child process (monotonic clock), median "
            "[min, max] of %1:")
            .arg(reps));
    say(QStringLiteral("phase               with panels                without panels"));
    auto cell = [](const std::vector<double> &values) {
        const Summary s = summarize(values);
        return QStringLiteral("%1 [%2, %3]")
            .arg(number(s.median, 1), number(s.min, 1), number(s.max, 1));
    };
    for (std::size_t i = 0; i < kPhases.size(); ++i) {
        say(QString::fromLatin1(kPhases[i]).leftJustified(16) + cell(runs[0][i]).rightJustified(24)
            + cell(runs[1][i]).rightJustified(30));
    }
    const double with = summarize(runs[0].back()).median;
    const double without = summarize(runs[1].back()).median;
    say(QStringLiteral("Window first shown (paint-done): ratio with / without panels %1, target <= "
                       "%2: %3")
            .arg(number(with / without, 3))
            .arg(kStartupRatioTarget)
            .arg(verdict(with / without <= kStartupRatioTarget)));
    say();

    return runFootprints(siteNames);
}

} // namespace

int main(int argc, char *argv[])
{
    const qint64 mainEntered = monotonicNs();
    const QByteArrayList arguments(argv + 1, argv + argc);
    const bool withPanels = arguments.value(1) == "with-panels";
    if (arguments.size() == 2 && arguments[0] == "--child"
        && (withPanels || arguments[1] == "without-panels"))
        return runStartupChild(withPanels, mainEntered, argc, argv);
    if (arguments.size() == 3 && arguments[0] == "--child" && arguments[1] == "footprint")
        return runFootprintChild(QString::fromLocal8Bit(arguments[2]), argc, argv);
    if (arguments.size() == 4 && arguments[0] == "--child" && arguments[1] == "attack")
        return runAttackChild(arguments[2], arguments[3].toInt(), argc, argv);

    int reps = 5;
    int seconds = 20;
    QStringList sites{QStringLiteral("serve")};
    QByteArray attack;
    bool ok = arguments.size() % 2 == 0;
    for (qsizetype i = 0; ok && i < arguments.size(); i += 2) {
        const QByteArray value = arguments[i + 1];
        if (arguments[i] == "--reps") {
            ok = (reps = value.toInt()) >= 0 && !value.isEmpty();
        } else if (arguments[i] == "--site") {
            sites = QString::fromLocal8Bit(value).split(u',');
            ok = std::all_of(sites.cbegin(), sites.cend(),
                             [](const QString &name) { return kPanelSites.contains(name); });
        } else if (arguments[i] == "--attack") {
            ok = attackNames().contains(QString::fromLatin1(attack = value));
        } else if (arguments[i] == "--seconds") {
            ok = (seconds = value.toInt()) >= 1;
        } else {
            ok = false;
        }
    }
    if (!ok) {
        std::fprintf(stderr, "usage: %s [--reps N] [--site %s[,...]] [--attack %s [--seconds S]]\n",
                     argv[0], qPrintable(kPanelSites.join(u'|')),
                     qPrintable(attackNames().join(u'|')));
        return 2;
    }
    QCoreApplication app(argc, argv);
    if (!attack.isEmpty()) {
        auto passOn = [](const QByteArray &line) { say(QString::fromUtf8(line)); };
        return runChild({QStringLiteral("--child"), QStringLiteral("attack"),
                         QString::fromLatin1(attack), QString::number(seconds)},
                        passOn)
            ? 0
            : 1;
    }
    return runDriver(reps, sites);
}
