// SPDX-License-Identifier: GPL-3.0-or-later
#include "responsivenessbenchmark.h"

#include "eventwait.h"
#include "heartbeat.h"
#include "samples.h"
#include "scoreboard.h"
#include "simulatorthread.h"
#include "windowdriver.h"

#include <QEvent>
#include <QProgressDialog>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>

namespace {
constexpr double maximumStallMs = 16.0;

// The busy dialog closes inside the slot that ends an operation, just before the
// window shows its results: from then on a stall is that slot's and its repaint's.
class HideWatcher : public QObject
{
public:
    HideWatcher(QObject *watched, std::function<void()> onHide)
        : QObject(watched)
        , m_onHide(std::move(onHide))
    {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Hide)
            m_onHide();
        return false;
    }

private:
    std::function<void()> m_onHide;
};
constexpr int monitorMs = 3000;
constexpr int idleMs = 3000;
} // namespace

ResponsivenessBenchmark::ResponsivenessBenchmark(const QString &address, int runs, Scoreboard &scoreboard, bool withLog)
    : m_address(address)
    , m_runs(runs)
    , m_scoreboard(scoreboard)
    , m_withLog(withLog)
{
}

bool ResponsivenessBenchmark::run()
{
    m_scoreboard.section(
            QStringLiteral("%1 (heartbeat every %2 ms in the real window, offscreen; median of %3 runs)")
                    .arg(m_withLog ? QStringLiteral("6b. GUI responsiveness with the communication log shown")
                                   : QStringLiteral("2. GUI responsiveness"))
                    .arg(Heartbeat::periodMs)
                    .arg(m_runs));
    const QString name = m_withLog ? QStringLiteral("longest GUI stall, log shown") : QStringLiteral("longest GUI stall");
    const QString goal = QStringLiteral("<= %1 ms").arg(maximumStallMs, 0, 'f', 0);

    QVector<Outcome> outcomes;
    for (int run = 0; run < m_runs; ++run) {
        const Outcome outcome = measureOnce();
        if (!outcome.error.isEmpty()) {
            m_scoreboard.failed(name, goal, QStringLiteral("run %1: %2").arg(run + 1).arg(outcome.error));
            return false;
        }
        outcomes << outcome;
    }
    std::sort(outcomes.begin(), outcomes.end(), [](const Outcome &a, const Outcome &b) {
        return a.longest.value(0).ms < b.longest.value(0).ms;
    });
    QStringList runs;
    Samples idle;
    for (const Outcome &outcome : outcomes) {
        runs << QString::number(outcome.longest.value(0).ms, 'f', 1);
        idle.add(outcome.idleMs);
    }
    const Outcome &median = outcomes.at(outcomes.size() / 2);
    const double stallMs = median.longest.value(0).ms;
    m_scoreboard.target(name, QStringLiteral("%1 ms").arg(stallMs, 0, 'f', 1), goal, stallMs <= maximumStallMs,
                        QStringLiteral("runs %1 ms").arg(runs.join(QStringLiteral(", "))));
    m_scoreboard.report(QStringLiteral("longest stall of the idle window"),
                        QStringLiteral("%1 ms").arg(idle.median(), 0, 'f', 1),
                        QStringLiteral("the machine's own share: %1 s shown, nothing running; runs %2..%3 ms")
                                .arg(idleMs / 1000)
                                .arg(idle.min(), 0, 'f', 1)
                                .arg(idle.max(), 0, 'f', 1));
    for (const Outcome &outcome : outcomes) {
        QStringList longest;
        for (const Heartbeat::Stall &stall : outcome.longest)
            longest << stall.text();
        m_scoreboard.note(QStringLiteral("longest: %1").arg(longest.join(QStringLiteral("; "))));
    }
    reportTrend(outcomes);
    return true;
}

void ResponsivenessBenchmark::reportTrend(QVector<Outcome> outcomes)
{
    std::sort(outcomes.begin(), outcomes.end(), [](const Outcome &a, const Outcome &b) {
        return a.trendLongest.value(0).ms < b.trendLongest.value(0).ms;
    });
    QStringList runs;
    Samples opening;
    for (const Outcome &outcome : outcomes) {
        runs << QString::number(outcome.trendLongest.value(0).ms, 'f', 1);
        opening.add(outcome.openingLongest.value(0).ms);
    }
    const double stallMs = outcomes.at(outcomes.size() / 2).trendLongest.value(0).ms;
    m_scoreboard.target(QStringLiteral("longest GUI stall, trend shown"), QStringLiteral("%1 ms").arg(stallMs, 0, 'f', 1),
                        QStringLiteral("<= %1 ms").arg(maximumStallMs, 0, 'f', 0), stallMs <= maximumStallMs,
                        QStringLiteral("%1 s of polling 16 axes, recording them, all on the chart; runs %2 ms")
                                .arg(monitorMs / 1000)
                                .arg(runs.join(QStringLiteral(", "))));
    m_scoreboard.report(QStringLiteral("longest stall opening them"), QStringLiteral("%1 ms").arg(opening.median(), 0, 'f', 1),
                        QStringLiteral("once: the file dialog of \"Record...\" and the trend window; runs %1..%2 ms")
                                .arg(opening.min(), 0, 'f', 1)
                                .arg(opening.max(), 0, 'f', 1));
    for (const Outcome &outcome : outcomes) {
        QStringList longest;
        for (const Heartbeat::Stall &stall : outcome.trendLongest + outcome.openingLongest.mid(0, 1))
            longest << stall.text();
        m_scoreboard.note(QStringLiteral("longest: %1").arg(longest.join(QStringLiteral("; "))));
    }
}

ResponsivenessBenchmark::Outcome ResponsivenessBenchmark::measureOnce()
{
    SimulatorOptions options;
    options.address = QHostAddress(m_address);
    options.port = 24000; // the window always dials this port
    options.axisCount = 16;
    options.seed = 7;
    SimulatorThread simulator(options);
    if (!simulator.start())
        return {QStringLiteral("no simulator on %1:24000: %2").arg(m_address, simulator.errorString()), {}};

    WindowDriver driver(m_address);
    if (!driver.open())
        return {QStringLiteral("the main window was not shown"), {}};
    if (m_withLog && !driver.openCommunicationLog())
        return {QStringLiteral("the communication log was not shown"), {}};
    EventWait::pause(200);

    Heartbeat idle;
    idle.start();
    EventWait::pause(idleMs);
    idle.stop();

    // A press runs its slot at once and the repaint follows in the event loop, so
    // each press gets a phase of its own for what it costs.
    Heartbeat heartbeat;
    heartbeat.start();
    heartbeat.setPhase(QStringLiteral("connect and 16-axis read"));
    if (!driver.pressConnect())
        return {QStringLiteral("no busy dialog after \"Connect\""), {}};
    QString next = QStringLiteral("end of the read");
    new HideWatcher(driver.busyDialog(), [&heartbeat, &next] { heartbeat.setPhase(next); });
    if (!driver.waitUntilConnected())
        return {QStringLiteral("the window did not connect"), {}};
    next = QStringLiteral("end of the write");
    heartbeat.setPhase(QStringLiteral("measure-setting write"));
    if (!driver.applyMeasureSetting())
        return {QStringLiteral("the measure-setting write did not finish"), {}};
    heartbeat.setPhase(QStringLiteral("switch to the monitor"));
    driver.press("pushButton_MeasureMonitor");
    EventWait::pause(100);
    heartbeat.setPhase(QStringLiteral("monitor polling"));
    EventWait::pause(monitorMs);
    heartbeat.setPhase(QStringLiteral("leaving the monitor"));
    driver.press("pushButton_MeasureSetting");
    EventWait::pause(200);
    heartbeat.stop();
    Outcome outcome{QString(), heartbeat.longestStalls(), idle.longestStall().ms};

    // Recording with the trend shown. Opening the file dialog and the trend window
    // happens once and is told apart from the polling that follows.
    QTemporaryDir folder;
    driver.press("pushButton_MeasureMonitor");
    EventWait::pause(100);
    Heartbeat opening;
    opening.start();
    opening.setPhase(QStringLiteral("start a recording"));
    const bool recording = driver.startRecording(folder.filePath(QStringLiteral("readings.csv")));
    opening.setPhase(QStringLiteral("open the trend window"));
    if (!recording || !driver.openTrend())
        return {QStringLiteral("the recording did not start or the trend window did not open"), {}};
    // The heaviest chart: every axis on it.
    driver.chartAllAxes();
    EventWait::pause(100);
    opening.stop();
    Heartbeat shown;
    shown.start();
    shown.setPhase(QStringLiteral("polling, recording, trend shown"));
    EventWait::pause(monitorMs);
    shown.setPhase(QStringLiteral("stop the recording"));
    driver.stopRecording();
    EventWait::pause(100);
    shown.setPhase(QStringLiteral("leaving the monitor"));
    driver.press("pushButton_MeasureSetting");
    EventWait::pause(200);
    shown.stop();
    outcome.trendLongest = shown.longestStalls();
    outcome.openingLongest = opening.longestStalls();
    return outcome;
}
