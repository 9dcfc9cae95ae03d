// Pieces the benchmark programs share: environment, site, waits, clocks, statistics.
#include "bench_support.h"

#include "process_limits.h"
#include "program_start.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>
#include <QWebEngineView>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace qelvora::bench {

namespace {

// A small page of text the "serve" site answers every request with.
constexpr char kPage[] =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Qelvora</title></head>"
    "<body style=\"margin:0;font:12px sans-serif\">Qelvora 双色球摇奖测试工具 · loopback</body>"
    "</html>";

// A page that burns the processor: two workers in endless loops, then its own script too.
constexpr char kBurningPage[] = R"html(<!DOCTYPE html><html><body><p>busy</p><script>
for (var i = 0; i < 2; ++i)
    new Worker(URL.createObjectURL(new Blob(['for (;;) {}'])));
setTimeout(function () { for (;;) {} }, 100);
</script></body></html>)html";

qint64 readClock(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace

void prepareWebEngineEnvironment()
{
    addWebEngineSwitch("--disable-background-networking");
    addWebEngineSwitch("--disable-component-update");
}

QUrl panelSite(const QString &name, test::LoopbackSite &site)
{
    if (name == QStringLiteral("refuse"))
        return test::kNowhere;
    if ((name == QStringLiteral("serve") || name == QStringLiteral("burn")) && site.listening()) {
        const QByteArray page = name == QStringLiteral("serve") ? kPage : kBurningPage;
        site.handleOthers([page](const test::LoopbackSite::Request &, QTcpSocket *socket) {
            test::LoopbackSite::respond(socket, 200, "text/html; charset=utf-8", page);
        });
        return site.base();
    }
    if (!test::LoopbackSite::floodPage(name.toLatin1()).isEmpty() && site.listening()) {
        site.serveFlood(name.toLatin1());
        return site.base();
    }
    return {};
}

QStringList waitForPanels(Form1 &window, int timeoutMs)
{
    QStringList outcomes;
    QObject context;
    for (QWebEngineView *view : {window.WebBrowser1, window.WebBrowser2}) {
        QObject::connect(view, &QWebEngineView::loadFinished, &context, [&, view](bool ok) {
            outcomes.append(
                QLatin1String(view == window.WebBrowser1 ? "WebBrowser1" : "WebBrowser2")
                + QLatin1String(ok ? " loaded" : " failed"));
        });
    }
    static_cast<void>(test::waitUntil([&] { return outcomes.size() == 2; }, timeoutMs));
    return outcomes;
}

bool runManualDraw(Form1 &window, int timeoutMs)
{
    QEventLoop settled;
    QObject::connect(window.Timer10, &QTimer::timeout, &settled, [&] {
        if (!window.Timer10->isActive())
            settled.exit(0);
    });
    QTimer::singleShot(timeoutMs, &settled, [&] { settled.exit(1); });
    window.Command1->click();
    return settled.exec() == 0;
}

qint64 monotonicNs() { return readClock(CLOCK_MONOTONIC); }

qint64 processCpuNs() { return readClock(CLOCK_PROCESS_CPUTIME_ID); }

qint64 threadCpuNs() { return readClock(CLOCK_THREAD_CPUTIME_ID); }

Summary summarize(std::vector<double> values)
{
    Summary summary;
    summary.count = values.size();
    if (values.empty())
        return summary;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    summary.median = values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    summary.min = values.front();
    summary.max = values.back();
    const auto rank = static_cast<std::size_t>(std::ceil(0.99 * double(values.size())));
    summary.p99 = values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
    return summary;
}

QString number(double value, int decimals, bool withSign)
{
    QString text = QString::number(value, 'f', decimals);
    if (withSign && value >= 0)
        text.prepend(u'+');
    return text;
}

QString statsRow(const QString &name, const std::vector<double> &values, bool withSign)
{
    const Summary s = summarize(values);
    return name.leftJustified(14) + QString::number(s.count).rightJustified(6)
        + number(s.median, 2, withSign).rightJustified(10)
        + number(s.max, 2, withSign).rightJustified(10)
        + number(s.min, 2, withSign).rightJustified(10);
}

void say(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace qelvora::bench
