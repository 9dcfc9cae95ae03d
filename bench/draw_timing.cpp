// qelvora_bench_draw: times real manual draws in a real, shown window with the shipped intervals
// and random source. It records, against the moment just before the click, every stop stage tick
// (picked or rejected), every roller tick, the blue box settling, the log entry and the CPU time
// of the process, and prints them beside their targets. Each stage is armed by the tick before
// it, so a stage tick's error is tick - previous tick - 1000 ms; its offset from the click (the
// sum of all earlier errors) is printed for information.
//
//   qelvora_bench_draw [draws] [--without-panels] [--site NAME | --attack NAME]
//
// draws defaults to 5 (about 7 s each). --without-panels deletes the two web views before the
// window is shown, so the web engine never starts; --site chooses the panels' page (default
// refuse: their error page; burn: a page that keeps every core busy, to see that such a page
// leaves the draw its timing; console, title, icon, navigate and history: pages that flood the
// program with what a page sends it; the names are listed in bench_support.h). --attack loads
// one of the memory attacks (tests/support/memory_attacks.h) into the lower panel, on the serve
// site, as the first draw begins, so that the draws run beside the attack and beside its ending.
#include "bench/bench_support.h"
#include "draw_slots.h"
#include "panel_watch.h"
#include "program_start.h"
#include "support/memory_attacks.h"
#include "text_boxes.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QTimer>

#include <array>
#include <cmath>
#include <cstdio>
#include <tuple>
#include <utility>

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
// Whatever a page in a panel does (--site burn): the rollers keep their period, the stages their
// second.
constexpr double kRollerP99Ms = 60.0;
constexpr double kTickErrorWorstMs = 50.0;
// Longest a draw may take: seven stages and a generous allowance for rejected candidates.
constexpr int kDrawTimeoutMs = 60000;

struct StageTick {
    qint64 at = 0; // ns after the click
    int position = 0;
    bool picked = false;
};

// Everything recorded of one draw; times in ns after the click.
struct DrawRecord {
    std::vector<StageTick> stageTicks;
    std::array<std::vector<qint64>, kPositions> rollerTicks;
    qint64 bluePick = -1;
    qint64 blueSettle = -1;
    qint64 logEntry = -1;
    qint64 cpu = 0; // CPU time of this process from the click to the blue box settling
};

// Clicks Manual draw draws times and records each draw, giving it a second of rest after it
// settles; empty when a draw does not settle or leaves Manual draw disabled. The slots are
// connected after the window's own, so each runs right after the handler of the same tick and
// sees the state that handler left.
std::vector<DrawRecord> recordDraws(Form1 &window, int draws)
{
    DrawRecord *record = nullptr;
    qint64 click = 0;
    qint64 cpuAtClick = 0;
    auto since = [&] { return monotonicNs() - click; };
    const QTimer *const stages[] = {window.Timer4,  window.Timer5,  window.Timer6, window.Timer11,
                                    window.Timer12, window.Timer13, window.Timer14};
    const QTimer *const rollers[] = {window.Timer1, window.Timer2, window.Timer3, window.Timer7,
                                     window.Timer8, window.Timer9, window.Timer10};
    QObject context;
    for (int position = 1; position <= kPositions; ++position) {
        QObject::connect(stages[position - 1], &QTimer::timeout, &context, [&, position] {
            const bool picked = isPicked(Module1.pick(position));
            record->stageTicks.push_back({since(), position, picked});
            if (position == kPositions && picked)
                record->bluePick = record->stageTicks.back().at;
        });
        QObject::connect(rollers[position - 1], &QTimer::timeout, &context, [&, position] {
            record->rollerTicks[position - 1].push_back(since());
            // The blue roller switches itself off on the tick that shows the blue pick.
            if (position == kPositions && !window.Timer10->isActive()) {
                record->blueSettle = record->rollerTicks[position - 1].back();
                record->cpu = processCpuNs() - cpuAtClick;
            }
        });
    }
    QObject::connect(window.Text4, &QPlainTextEdit::textChanged, &context, [&] {
        if (record->logEntry < 0)
            record->logEntry = since();
    });

    std::vector<DrawRecord> records(draws);
    for (int n = 0; n < draws; ++n) {
        record = &records[n];
        cpuAtClick = processCpuNs();
        click = monotonicNs();
        if (!runManualDraw(window, kDrawTimeoutMs) || !window.Command1->isEnabled()) {
            say(QStringLiteral("draw %1 did not settle within %2 ms or left Manual draw disabled")
                    .arg(n + 1)
                    .arg(kDrawTimeoutMs));
            return {};
        }
        test::pause(1000);
    }
    return records;
}

} // namespace

int main(int argc, char *argv[])
{
    prepareWebEngineEnvironment();
    const auto app = startProgram(argc, argv);

    int draws = 5;
    bool withPanels = true;
    QString siteName = QStringLiteral("refuse");
    QByteArray attack;
    bool ok = true;
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    for (qsizetype i = 0; i < arguments.size() && ok; ++i) {
        if (arguments[i] == QStringLiteral("--without-panels"))
            withPanels = false;
        else if (arguments[i] == QStringLiteral("--site") && i + 1 < arguments.size())
            siteName = arguments[++i];
        else if (arguments[i] == QStringLiteral("--attack") && i + 1 < arguments.size())
            attack = arguments[++i].toLatin1();
        else if (draws = arguments[i].toInt(&ok); draws < 1)
            ok = false;
    }
    test::LoopbackSite site;
    if (!attack.isEmpty())
        siteName = QStringLiteral("serve");
    const QUrl siteUrl = panelSite(siteName, site);
    const QUrl attackUrl = attack.isEmpty() ? QUrl() : test::putMemoryAttack(site, attack);
    if (!ok || siteUrl.isEmpty() || (!attack.isEmpty() && (attackUrl.isEmpty() || !withPanels))) {
        std::fprintf(stderr, "usage: %s [draws] [--without-panels] [--site %s | --attack %s]\n",
                     argv[0], qPrintable(kPanelSites.join(u'|')),
                     test::memoryAttacks().join('|').constData());
        return 2;
    }

    Form1 window(nullptr, siteUrl);
    if (!withPanels) {
        delete std::exchange(window.WebBrowser1, nullptr);
        delete std::exchange(window.WebBrowser2, nullptr);
    }
    window.show();
    // The window is measured as it runs normally: shown, its panels loaded and calmed down.
    const QStringList loaded = withPanels ? waitForPanels(window, 20000) : QStringList();
    test::pause(1000);

    say(QStringLiteral("qelvora_bench_draw: %1 manual draw(s), shipped intervals and random "
                       "source; Qt %2, platform %3, %4")
            .arg(draws)
            .arg(QString::fromLatin1(qVersion()), QGuiApplication::platformName(),
                 withPanels
                     ? QStringLiteral("web panels on %1 (%2): %3")
                           .arg(siteUrl.toString(), siteName, loaded.join(QStringLiteral(", ")))
                     : QStringLiteral("WITHOUT web panels (deleted before show)")));
    if (!attack.isEmpty()) {
        say(QStringLiteral("Memory attack %1 loaded into the lower panel (%2) as the draws begin")
                .arg(QString::fromLatin1(attack), attackUrl.toString()));
        window.WebBrowser2->load(attackUrl);
    }
    say();

    const std::vector<DrawRecord> records = recordDraws(window, draws);
    if (records.empty())
        return 1;
    if (withPanels) {
        say(QStringLiteral("The watch ended the pages %1 time(s) during the draws")
                .arg(window.panelWatch->endings()));
    }

    say(QStringLiteral("Log after the last draw: ") + window.Text4->text().trimmed());
    say();

    // Stop stages: every tick is armed by the one before it (the first by the click).
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
            rejections[tick.position - 1] += tick.picked ? 0 : 1;
        }
    }
    say(QStringLiteral("Stop stages: tick minus previous tick minus 1000 ms (target: median <= %1, "
                       "max <= %2); a stage whose candidate is rejected ticks again")
            .arg(kTickErrorMedianMs)
            .arg(kTickErrorMaxMs));
    say(QStringLiteral("position      ticks    median       max       min   rejected"));
    for (int i = 0; i < kPositions; ++i) {
        say(statsRow(QString::number(i + 1) + QLatin1String(i == 6 ? " (blue)" : ""), tickErrors[i],
                     true)
            + QString::number(rejections[i]).rightJustified(11));
    }
    say(statsRow(QStringLiteral("all ticks"), allTickErrors, true)
        + QStringLiteral("   (rejecting ticks included)"));
    say(statsRow(QStringLiteral("from click"), offsets, true)
        + QStringLiteral("   (information: tick minus j x 1000 ms after the click)"));
    say();

    // Rollers: the period between consecutive ticks of one roller, and when the first tick came.
    std::vector<double> allPeriods;
    std::vector<double> firstTicks;
    say(QStringLiteral("Rollers: period between consecutive ticks, ms (target: median %1 +/- %2)")
            .arg(kRollerMs)
            .arg(kRollerPeriodToleranceMs));
    say(QStringLiteral("position      ticks    median       max       min"));
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
        say(statsRow(QString::number(i + 1) + QLatin1String(i == 6 ? " (blue)" : ""), periods));
    }
    say(statsRow(QStringLiteral("all rollers"), allPeriods));
    say(statsRow(QStringLiteral("first tick"), firstTicks)
        + QStringLiteral("   (ms after the click, nominal 50)"));
    say();

    // The blue box settling and the log entry that comes with it; CPU time of this process (all
    // its threads; the web engine's helper processes are not in it) from click to settle.
    std::vector<double> settle, logEntry, wallMs, cpuMs, cpuShare;
    for (const DrawRecord &record : records) {
        settle.push_back(toMs(record.blueSettle - record.bluePick));
        logEntry.push_back(toMs(record.logEntry - record.bluePick));
        wallMs.push_back(toMs(record.blueSettle));
        cpuMs.push_back(toMs(record.cpu));
        cpuShare.push_back(100.0 * cpuMs.back() / wallMs.back());
    }
    say(QStringLiteral("Blue settle after the blue pick, ms (target: <= %1); CPU of this process "
                       "from the click to the blue settle")
            .arg(kBlueSettleMs));
    say(QStringLiteral("              draws    median       max       min"));
    say(statsRow(QStringLiteral("box settled"), settle));
    say(statsRow(QStringLiteral("log entry"), logEntry));
    say(statsRow(QStringLiteral("draw wall ms"), wallMs));
    say(statsRow(QStringLiteral("CPU ms"), cpuMs));
    say(statsRow(QStringLiteral("% of a core"), cpuShare));
    say();

    const Summary ticks = summarize(allTickErrors);
    const Summary periods = summarize(allPeriods);
    const double period = periods.median;
    const double worstTick = std::max(std::abs(ticks.min), std::abs(ticks.max));
    const double settleMax = summarize(settle).max;
    say(QStringLiteral("Targets:"));
    const std::tuple<QString, bool, QString> targets[] = {
        {QStringLiteral("stage tick error median <= %1 ms").arg(kTickErrorMedianMs),
         ticks.median <= kTickErrorMedianMs, number(ticks.median, 2, true)},
        {QStringLiteral("stage tick error max <= %1 ms").arg(kTickErrorMaxMs),
         ticks.max <= kTickErrorMaxMs, number(ticks.max, 2, true)},
        {QStringLiteral("roller period median %1 +/- %2 ms")
             .arg(kRollerMs)
             .arg(kRollerPeriodToleranceMs),
         std::abs(period - kRollerMs) <= kRollerPeriodToleranceMs, number(period, 2)},
        {QStringLiteral("blue settle <= %1 ms after the blue pick").arg(kBlueSettleMs),
         settleMax <= kBlueSettleMs, QStringLiteral("max ") + number(settleMax, 2)},
        {QStringLiteral("roller period 99th percentile <= %1 ms").arg(kRollerP99Ms),
         periods.p99 <= kRollerP99Ms, number(periods.p99, 2)},
        {QStringLiteral("every stage tick within +/- %1 ms of its second").arg(kTickErrorWorstMs),
         worstTick <= kTickErrorWorstMs, QStringLiteral("worst ") + number(worstTick, 2)}};
    for (const auto &[target, met, figure] : targets)
        say(QStringLiteral("  %1: %2 (%3)").arg(target, verdict(met), figure));
    return 0;
}
