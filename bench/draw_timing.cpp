// qelvora_bench_draw: times real manual draws in a real, shown window, with the shipped intervals
// and the shipped random source. For every draw it records, against the moment just before the
// click, each stop stage tick (and whether it picked or rejected), each roller tick and the
// blue box settling, and the CPU time the process used; then it prints the stage tick errors, the
// roller periods, the blue settle delay and the CPU share beside their targets. Each stage is armed
// by the tick before it, so a stage tick is measured against that tick: tick - previous tick -
// 1000 ms; its offset from the click (which adds up the lateness of all earlier ticks) is printed
// for information.
//
//   qelvora_bench_draw [draws] [--without-panels | --burning-page]
//
// draws defaults to 5; a draw takes about 7 s. --without-panels deletes the two web views before
// the window is shown (the web engine then never starts), to see what the panels cost a draw.
// --burning-page serves both panels, from loopback, a page that keeps every core busy (two
// workers and its own script in endless loops), to see what such a page does to a draw.
#include "app/form1.h"
#include "app/program_start.h"
#include "app/text_boxes.h"
#include "bench/bench_support.h"
#include "engine/draw_slots.h"
#include "support/loopback_site.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

using namespace qelvora;
using namespace qelvora::bench;

namespace {

constexpr int kPositions = 7;
constexpr double kStageMs = 1000.0;
constexpr double kRollerMs = 50.0;

// Targets the figures are printed against.
constexpr double kTickErrorMedianMs = 1.5;
constexpr double kTickErrorMaxMs = 15.0;
constexpr double kRollerPeriodToleranceMs = 1.0;
constexpr double kBlueSettleMs = 55.0;
// Whatever a page in a panel does: the rollers keep their period, the stages their second.
constexpr double kRollerP99Ms = 60.0;
constexpr double kTickErrorWorstMs = 50.0;

// Longest a draw may take before the benchmark gives up on it: seven stages plus a generous
// allowance for rejected candidates.
constexpr int kDrawTimeoutMs = 60000;

// One tick of a stop stage: when it ran (ns after the click) and whether it picked its position
// or rejected its candidate.
struct StageTick {
    qint64 at = 0;
    int position = 0;
    bool picked = false;
};

// Everything recorded of one draw. Times are in ns after the click.
struct DrawRecord {
    qint64 clickNs = 0; // on the bench clock
    std::vector<StageTick> stageTicks;
    std::array<std::vector<qint64>, kPositions> rollerTicks;
    qint64 bluePick = -1;
    qint64 blueSettle = -1;
    qint64 logEntry = -1;
    qint64 cpuAtClick = 0;
    qint64 cpuAtSettle = 0;
    QString logText;
};

double toMs(qint64 ns)
{
    return double(ns) / 1e6;
}

// Hooks the window's timers. Every connection is made after the window's own, so each slot
// here runs right after the handler of the same tick and sees the state that handler left.
class DrawRecorder {
public:
    DrawRecorder(Form1 &window, const QElapsedTimer &clock, QEventLoop &settled)
        : m_window(window), m_clock(clock), m_settled(settled)
    {
        const std::array<QTimer *, kPositions> stages = {window.Timer4,  window.Timer5,
                                                          window.Timer6,  window.Timer11,
                                                          window.Timer12, window.Timer13,
                                                          window.Timer14};
        const std::array<QTimer *, kPositions> rollers = {window.Timer1, window.Timer2,
                                                           window.Timer3, window.Timer7,
                                                           window.Timer8, window.Timer9,
                                                           window.Timer10};
        for (int i = 0; i < kPositions; ++i) {
            QObject::connect(stages[i], &QTimer::timeout, &window,
                             [this, i] { stageTicked(i + 1); });
            QObject::connect(rollers[i], &QTimer::timeout, &window,
                             [this, i] { rollerTicked(i + 1); });
        }
        QObject::connect(window.Text4, &QPlainTextEdit::textChanged, &window, [this] {
            if (m_record && m_record->logEntry < 0)
                m_record->logEntry = since();
        });
    }

    // Clicks Manual draw and records into record until the blue box has settled.
    bool runDraw(DrawRecord &record)
    {
        m_record = &record;
        record.cpuAtClick = processCpuNs();
        record.clickNs = m_clock.nsecsElapsed();
        m_window.Command1->click();

        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &m_settled, [this] { m_settled.exit(1); });
        timeout.start(kDrawTimeoutMs);
        const bool settled = m_settled.exec() == 0;
        m_record = nullptr;
        record.logText = m_window.Text4->text();
        return settled;
    }

private:
    qint64 since() const { return m_clock.nsecsElapsed() - m_record->clickNs; }

    void stageTicked(int position)
    {
        if (!m_record)
            return;
        const qint64 at = since();
        const bool picked = isPicked(Module1.pick(position));
        m_record->stageTicks.push_back({at, position, picked});
        if (position == kPositions && picked)
            m_record->bluePick = at;
    }

    void rollerTicked(int position)
    {
        if (!m_record)
            return;
        const qint64 at = since();
        m_record->rollerTicks[position - 1].push_back(at);
        // The blue roller switches itself off on the tick that shows the blue pick; by then the
        // draw's log entry is written and Manual draw is enabled again.
        if (position == kPositions && !m_window.Timer10->isActive() && m_record->blueSettle < 0) {
            m_record->blueSettle = at;
            m_record->cpuAtSettle = processCpuNs();
            m_settled.exit(0);
        }
    }

    Form1 &m_window;
    const QElapsedTimer &m_clock;
    QEventLoop &m_settled;
    DrawRecord *m_record = nullptr;
};

// Runs the event loop for the given time.
void idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Waits (at most timeoutMs) until both web panels have finished loading, whatever the outcome.
void waitForPanels(Form1 &window, int timeoutMs)
{
    QEventLoop loop;
    int finished = 0;
    for (QWebEngineView *view : {window.WebBrowser1, window.WebBrowser2}) {
        QObject::connect(view, &QWebEngineView::loadFinished, &loop, [&] {
            if (++finished == 2)
                loop.quit();
        });
    }
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
}

// A page that burns the processor: two workers in endless loops, then its own script too.
constexpr char kBurningPage[] = R"html(<!DOCTYPE html><html><body><p>busy</p><script>
for (var i = 0; i < 2; ++i)
    new Worker(URL.createObjectURL(new Blob(['for (;;) {}'])));
setTimeout(function () { for (;;) {} }, 100);
</script></body></html>)html";

// The value below which the given share of the values lie (nearest rank).
double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(share * double(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

QString verdict(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("MISSED");
}

QString statsRow(const QString &name, const Summary &s, int width = 14)
{
    return name.leftJustified(width) + QString::number(s.count).rightJustified(6)
           + number(s.median, 2, true).rightJustified(10) + number(s.max, 2, true).rightJustified(10)
           + number(s.min, 2, true).rightJustified(10);
}

} // namespace

int main(int argc, char *argv[])
{
    prepareWebEngineEnvironment();
    const auto app = startProgram(argc, argv);

    int draws = 5;
    bool withPanels = true;
    bool burningPage = false;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        bool ok = false;
        if (argument == QStringLiteral("--without-panels")) {
            withPanels = false;
        } else if (argument == QStringLiteral("--burning-page")) {
            burningPage = true;
        } else if (draws = argument.toInt(&ok); !ok || draws < 1) {
            std::fprintf(stderr,
                         "usage: %s [draws] [--without-panels | --burning-page]   (draws >= 1, "
                         "default 5)\n",
                         argv[0]);
            return 2;
        }
    }

    QElapsedTimer clock;
    clock.start();

    test::LoopbackSite burningSite;
    burningSite.handleOthers([](const test::LoopbackSite::Request &, QTcpSocket *socket) {
        test::LoopbackSite::respond(socket, 200, "text/html", kBurningPage);
    });
    Form1 window(nullptr, burningPage ? burningSite.base() : kRefusingSite);
    if (!withPanels) {
        delete std::exchange(window.WebBrowser1, nullptr);
        delete std::exchange(window.WebBrowser2, nullptr);
    }
    window.show();
    // The window is measured as it runs normally: shown, with its web panels started (their
    // site refuses, so they settle on an error page quickly) and a moment to calm down.
    if (withPanels)
        waitForPanels(window, 20000);
    idle(1000);

    say(QStringLiteral("qelvora_bench_draw: %1 manual draw(s), shipped intervals (stages 1000 ms, "
                       "rollers 50 ms), shipped clock-seeded random source")
            .arg(draws));
    say(QStringLiteral("Qt %1, platform %2, QElapsedTimer clock type %3, %4")
            .arg(QString::fromLatin1(qVersion()), QGuiApplication::platformName())
            .arg(int(QElapsedTimer::clockType()))
            .arg(!withPanels   ? QStringLiteral("WITHOUT web panels (deleted before show)")
                 : burningPage ? QStringLiteral("web panels on %1 (loopback), a page in each "
                                                "that burns every core")
                                     .arg(burningSite.base().toString())
                               : QStringLiteral("web panels on %1 (loopback, port refuses)")
                                     .arg(kRefusingSite.toString())));
    say();

    QEventLoop settled;
    DrawRecorder recorder(window, clock, settled);
    std::vector<DrawRecord> records;
    for (int n = 1; n <= draws; ++n) {
        DrawRecord record;
        const bool ok = recorder.runDraw(record);
        if (!ok) {
            say(QStringLiteral("draw %1 did not settle within %2 ms; giving up").arg(n).arg(
                kDrawTimeoutMs));
            return 1;
        }
        if (!window.Command1->isEnabled()) {
            say(QStringLiteral("draw %1 settled but Manual draw stayed disabled; giving up").arg(n));
            return 1;
        }
        records.push_back(std::move(record));
        idle(1000);
    }

    // Per draw: the moment of every stage tick ("r" marks a rejected candidate).
    say(QStringLiteral("Stage ticks, ms after the click (r = candidate rejected, stage ticks again "
                       "1000 ms later):"));
    for (std::size_t n = 0; n < records.size(); ++n) {
        const DrawRecord &record = records[n];
        QString line = QStringLiteral("  draw %1:").arg(n + 1);
        for (const StageTick &tick : record.stageTicks)
            line += u' ' + number(toMs(tick.at), 1) + (tick.picked ? QString() : QStringLiteral("r"));
        say(line);
    }
    say(QStringLiteral("Log after the last draw: ") + records.back().logText.trimmed());
    say();

    // Stop stages. Every tick is armed by the one before it (the first by the click), so its own
    // error is its distance from the previous tick less one interval. The offset from the click,
    // less j x 1000 ms for the j-th tick, adds those errors up and is shown for information.
    std::array<std::vector<double>, kPositions> tickErrors;
    std::array<int, kPositions> rejections{};
    std::vector<double> allTickErrors;
    std::vector<double> offsets;
    for (const DrawRecord &record : records) {
        for (std::size_t j = 0; j < record.stageTicks.size(); ++j) {
            const StageTick &tick = record.stageTicks[j];
            const qint64 previous = j == 0 ? 0 : record.stageTicks[j - 1].at;
            const double error = toMs(tick.at - previous) - kStageMs;
            tickErrors[tick.position - 1].push_back(error);
            allTickErrors.push_back(error);
            offsets.push_back(toMs(tick.at) - double(j + 1) * kStageMs);
            if (!tick.picked)
                ++rejections[tick.position - 1];
        }
    }
    say(QStringLiteral("Stop stages: tick minus previous tick minus 1000 ms (target: median <= %1, "
                       "max <= %2)")
            .arg(kTickErrorMedianMs)
            .arg(kTickErrorMaxMs));
    say(QStringLiteral("stage         ticks    median       max       min   rejected"));
    for (int i = 0; i < kPositions; ++i) {
        say(statsRow(QStringLiteral("%1%2").arg(i + 1).arg(i == 6 ? " (blue)" : ""),
                     summarize(tickErrors[i]))
            + QString::number(rejections[i]).rightJustified(11));
    }
    const Summary tickSummary = summarize(allTickErrors);
    double worstTickError = 0;
    for (double error : allTickErrors)
        worstTickError = std::max(worstTickError, std::abs(error));
    say(statsRow(QStringLiteral("all ticks"), tickSummary)
        + QStringLiteral("   (rejecting ticks included)"));
    say(statsRow(QStringLiteral("from click"), summarize(offsets))
        + QStringLiteral("   (information: tick minus j x 1000 ms after the click)"));
    say();

    // Rollers: the period between consecutive ticks of one roller, and when the first tick came.
    const char *rollerNames[kPositions] = {"Timer1", "Timer2", "Timer3", "Timer7",
                                           "Timer8", "Timer9", "Timer10"};
    std::vector<double> allPeriods;
    std::vector<double> firstTicks;
    say(QStringLiteral("Rollers: period between consecutive ticks, ms (target: median %1 +/- %2)")
            .arg(kRollerMs)
            .arg(kRollerPeriodToleranceMs));
    say(QStringLiteral("roller        ticks    median       max       min"));
    for (int i = 0; i < kPositions; ++i) {
        std::vector<double> periods;
        for (const DrawRecord &record : records) {
            const std::vector<qint64> &ticks = record.rollerTicks[i];
            if (!ticks.empty())
                firstTicks.push_back(toMs(ticks.front()));
            for (std::size_t k = 1; k < ticks.size(); ++k)
                periods.push_back(toMs(ticks[k] - ticks[k - 1]));
        }
        allPeriods.insert(allPeriods.end(), periods.begin(), periods.end());
        say(statsRow(QString::fromLatin1(rollerNames[i]), summarize(periods)));
    }
    const Summary periodSummary = summarize(allPeriods);
    say(statsRow(QStringLiteral("all rollers"), periodSummary));
    const double periodP99 = percentile(allPeriods, 0.99);
    say(QStringLiteral("all rollers 99th percentile: %1 ms").arg(number(periodP99, 2)));
    say(statsRow(QStringLiteral("first tick"), summarize(firstTicks))
        + QStringLiteral("   (ms after the click, nominal 50)"));
    say();

    // The blue box settling, and the log entry that comes with it.
    std::vector<double> settleDelays;
    std::vector<double> logDelays;
    for (const DrawRecord &record : records) {
        settleDelays.push_back(toMs(record.blueSettle - record.bluePick));
        if (record.logEntry >= 0)
            logDelays.push_back(toMs(record.logEntry - record.bluePick));
    }
    const Summary settleSummary = summarize(settleDelays);
    say(QStringLiteral("Blue settle after the blue pick, ms (target: <= %1)").arg(kBlueSettleMs));
    say(QStringLiteral("              draws    median       max       min"));
    say(statsRow(QStringLiteral("box settled"), settleSummary));
    say(statsRow(QStringLiteral("log entry"), summarize(logDelays)));
    say();

    // CPU time of this process (all its threads; the web engine's helper processes are not in
    // it) from the click to the blue box settling.
    std::vector<double> cpuMs;
    std::vector<double> cpuShare;
    std::vector<double> wallMs;
    for (const DrawRecord &record : records) {
        const double cpu = toMs(record.cpuAtSettle - record.cpuAtClick);
        const double wall = toMs(record.blueSettle);
        cpuMs.push_back(cpu);
        wallMs.push_back(wall);
        cpuShare.push_back(100.0 * cpu / wall);
    }
    say(QStringLiteral("CPU per draw, this process, click to blue settle"));
    say(QStringLiteral("              draws    median       max       min"));
    say(statsRow(QStringLiteral("wall ms"), summarize(wallMs)));
    say(statsRow(QStringLiteral("CPU ms"), summarize(cpuMs)));
    say(statsRow(QStringLiteral("% of a core"), summarize(cpuShare)));
    say();

    say(QStringLiteral("Targets:"));
    say(QStringLiteral("  stage tick error median <= %1 ms: %2 (%3)")
            .arg(kTickErrorMedianMs)
            .arg(verdict(tickSummary.median <= kTickErrorMedianMs),
                 number(tickSummary.median, 2, true)));
    say(QStringLiteral("  stage tick error max <= %1 ms: %2 (%3)")
            .arg(kTickErrorMaxMs)
            .arg(verdict(tickSummary.max <= kTickErrorMaxMs), number(tickSummary.max, 2, true)));
    const bool periodMet = std::abs(periodSummary.median - kRollerMs) <= kRollerPeriodToleranceMs;
    say(QStringLiteral("  roller period median %1 +/- %2 ms: %3 (%4)")
            .arg(kRollerMs)
            .arg(kRollerPeriodToleranceMs)
            .arg(verdict(periodMet), number(periodSummary.median, 2)));
    say(QStringLiteral("  roller period 99th percentile <= %1 ms: %2 (%3)")
            .arg(kRollerP99Ms)
            .arg(verdict(periodP99 <= kRollerP99Ms), number(periodP99, 2)));
    say(QStringLiteral("  every stage tick within +/- %1 ms of its second: %2 (worst %3)")
            .arg(kTickErrorWorstMs)
            .arg(verdict(worstTickError <= kTickErrorWorstMs), number(worstTickError, 2)));
    say(QStringLiteral("  blue settle <= %1 ms after the blue pick: %2 (max %3)")
            .arg(kBlueSettleMs)
            .arg(verdict(settleSummary.max <= kBlueSettleMs), number(settleSummary.max, 2)));
    return 0;
}
