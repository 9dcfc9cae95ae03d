// Pieces the benchmark programs share: the web engine's environment and the panels' site, waits on
// the window, clocks, and the statistics the reports print.
#pragma once

#include "form1.h"
#include "support/loopback_site.h"
#include "support/test_support.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <vector>

namespace qelvora::bench {

// Before the application object exists: keeps the web engine from contacting anything on its
// own (adds two switches to QTWEBENGINE_CHROMIUM_FLAGS).
void prepareWebEngineEnvironment();

// The sites the panels can be pointed at, by name (the benchmarks' --site option):
//   refuse  a loopback port that refuses every connection; the panels show their error page
//   serve   a small page of text for every path, from site
//   burn    a page that keeps every core busy (workers and its own script in endless loops)
// Pages that flood the program with what a page sends it, as fast as they can (the loopback
// site's flood pages):
//   console   console messages
//   title     title changes
//   icon      changes of the page's icon (each a new address the program fetches)
//   navigate  navigations: every document goes on to the next as soon as it has loaded
//   history   history entries (pushState) and address changes within the document
//   stuck     console messages from a script that never yields
// To measure the panels with another kind of page, add a name here and in panelSite().
inline const QStringList kPanelSites{
    QStringLiteral("refuse"),
    QStringLiteral("serve"),
    QStringLiteral("burn"),
    // Floods.
    QStringLiteral("console"),
    QStringLiteral("title"),
    QStringLiteral("icon"),
    QStringLiteral("navigate"),
    QStringLiteral("history"),
    QStringLiteral("stuck"),
};
// The address of the named site, putting its pages up on site; empty for an unknown name.
QUrl panelSite(const QString &name, test::LoopbackSite &site);

// Waits up to timeoutMs for both web panels to finish loading, whatever the outcome; returns
// what each did ("WebBrowser1 loaded", "WebBrowser2 failed").
QStringList waitForPanels(Form1 &window, int timeoutMs);

// Clicks Manual draw and runs the event loop until the blue roller has switched itself off (the
// draw is logged); false when that has not happened within timeoutMs.
bool runManualDraw(Form1 &window, int timeoutMs);

// CLOCK_MONOTONIC in nanoseconds (one clock for every process, so a parent and its child can
// compare readings), the CPU time this process has used so far (all threads), and that of the
// calling thread.
qint64 monotonicNs();
qint64 processCpuNs();
qint64 threadCpuNs();
inline double toMs(qint64 ns) { return double(ns) / 1e6; }

struct Summary {
    std::size_t count = 0;
    double median = 0;
    double min = 0;
    double max = 0;
    double p99 = 0; // the value 99 % of the values do not exceed (nearest rank)
};
// Median (the mean of the middle two for an even count), smallest and largest value, and the
// 99th percentile.
Summary summarize(std::vector<double> values);

// A number with a fixed count of decimals, with a sign when withSign is true.
QString number(double value, int decimals = 2, bool withSign = false);
// A table row: name, then count, median, max and min of the values.
QString statsRow(const QString &name, const std::vector<double> &values, bool withSign = false);
inline QString verdict(bool met) { return met ? QStringLiteral("met") : QStringLiteral("MISSED"); }
// Prints one line on standard output at once (the output is read while the benchmark runs).
void say(const QString &line = QString());

} // namespace qelvora::bench
