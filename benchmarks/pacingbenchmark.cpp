// SPDX-License-Identifier: GPL-3.0-or-later
#include "pacingbenchmark.h"

#include "commandinterface.h"
#include "communicationlogwindow.h"
#include "eventwait.h"
#include "samples.h"
#include "scoreboard.h"
#include "simulatorthread.h"

#include <QAbstractItemView>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <memory>
#include <chrono>
#include <thread>

#include <time.h>

namespace {
constexpr double maximumRatio = 1.02;
constexpr qint64 msNs = 1000000;

SimulatorOptions moduleOptions(const QHostAddress &address)
{
    SimulatorOptions options;
    options.address = address;
    options.port = 0;
    options.axisCount = 16;
    options.seed = 7;
    return options;
}

// What the link must wait after a command before it may send the next.
qint64 pauseAfterNs(const QString &command)
{
    return command == QLatin1String("SETUP") ? 1000 * msNs : 10 * msNs;
}

// The link runs in this thread: what its pauses cost the processor.
qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}
} // namespace

PacingBenchmark::PacingBenchmark(const QHostAddress &address, int runs, Scoreboard &scoreboard, bool withLog)
    : m_address(address)
    , m_runs(runs)
    , m_scoreboard(scoreboard)
    , m_withLog(withLog)
{
}

bool PacingBenchmark::run()
{
    const QString shown = m_withLog ? QStringLiteral(", log shown") : QString();
    m_scoreboard.section(
            m_withLog ? QStringLiteral("6a. Pacing overhead with the communication log shown (link in a worker thread, "
                                       "median of %1 runs)")
                                .arg(m_runs)
                      : QStringLiteral("1. Pacing overhead (duration / (pauses + measured round trips), median of %1 runs)")
                                .arg(m_runs));
    const QString readName = QStringLiteral("16-axis getParameter") + shown;
    const QString writeName = QStringLiteral("16-axis sendMeasureSetting") + shown;
    const QString goal = QStringLiteral("<= %1").arg(maximumRatio, 0, 'f', 2);

    SimulatorThread simulator(moduleOptions(m_address));
    SimulatorThread replaySimulator(moduleOptions(m_address));
    if (!simulator.start() || !replaySimulator.start()) {
        const QString why = QStringLiteral("no simulator on %1: %2")
                                    .arg(m_address.toString(), simulator.errorString() + replaySimulator.errorString());
        m_scoreboard.failed(readName, goal, why);
        m_scoreboard.failed(writeName, goal, why);
        return false;
    }

    QTcpSocket replaySocket;
    replaySocket.connectToHost(m_address, replaySimulator.serverPort());

    CommandInterface link;
    QThread worker;
    std::unique_ptr<CommunicationLogWindow> log;
    // Runs `call` in the link's thread; with the log, this thread meanwhile shows
    // the log's entries.
    const auto onLink = [this, &link](const std::function<void()> &call) {
        if (!m_withLog) {
            call();
            return;
        }
        std::atomic<bool> done{false};
        QMetaObject::invokeMethod(&link, [&call, &done] { call(); done = true; }, Qt::QueuedConnection);
        EventWait::until([&done] { return done.load(); }, 3600000);
    };
    if (m_withLog) {
        log = std::make_unique<CommunicationLogWindow>();
        log->attach(&link);
        log->showLog();
        link.moveToThread(&worker);
        worker.start();
    }
    const auto finish = [&] {
        QThread *const here = QThread::currentThread();
        onLink([&link, here] {
            link.disconnectFromHost();
            link.moveToThread(here);
        });
        worker.quit();
        worker.wait();
    };
    std::atomic<bool> connected{false};
    QObject::connect(&link, &CommandInterface::transmitConnected, [&connected] { connected = true; });
    const quint32 address = m_address.toIPv4Address();
    const quint16 port = simulator.serverPort();
    onLink([&link, address, port] { link.connectToHost(address, port); });
    // The read that follows the connection warms up both sides; it is not counted.
    if (!replaySocket.waitForConnected(5000) || !EventWait::until([&connected] { return connected.load(); }, 60000)) {
        const QString why = QStringLiteral("the link did not connect");
        m_scoreboard.failed(readName, goal, why);
        m_scoreboard.failed(writeName, goal, why);
        finish();
        return false;
    }
    // As the link does it: no command may wait for another to fill a segment.
    replaySocket.setSocketOption(QAbstractSocket::LowDelayOption, 1);

    // Timed in the link's thread, from the operation's call to its return.
    const auto timed = [&link, &onLink](void (CommandInterface::*operation)()) {
        return [&link, &onLink, operation] {
            Timing timing;
            onLink([&] {
                const qint64 cpuStartNs = threadCpuNs();
                QElapsedTimer clock;
                clock.start();
                (link.*operation)();
                timing.durationNs = clock.nsecsElapsed();
                timing.cpuNs = threadCpuNs() - cpuStartNs;
            });
            return timing;
        };
    };
    QVector<Measurement> reads;
    QVector<Measurement> writes;
    for (int run = 0; run < m_runs; ++run) {
        reads << measure(simulator, replaySocket, timed(&CommandInterface::getParameter));
        writes << measure(simulator, replaySocket, timed(&CommandInterface::sendMeasureSetting));
    }
    score(readName, reads);
    score(writeName, writes);
    finish();
    if (log) {
        m_scoreboard.note(QStringLiteral("the log window showed %1 entries at the end")
                                  .arg(log->findChild<QAbstractItemView *>()->model()->rowCount()));
    }
    return true;
}

PacingBenchmark::Measurement PacingBenchmark::measure(SimulatorThread &simulator, QTcpSocket &replaySocket,
                                                      const std::function<Timing()> &operation)
{
    simulator.clearCommandLog();
    const Timing timing = operation();
    Measurement measurement;
    measurement.durationNs = timing.durationNs;
    measurement.cpuNs = timing.cpuNs;

    QStringList queries;
    for (const ReceivedCommand &command : simulator.commandLog()) {
        ++measurement.commands;
        measurement.pausesNs += pauseAfterNs(command.text);
        if (command.text.endsWith(QLatin1String("=?")))
            queries << command.text;
    }
    measurement.queries = queries.size();
    Samples roundTrips;
    for (const qint64 ns : replay(replaySocket, queries)) {
        roundTrips.add(double(ns));
        measurement.roundTripsNs += ns;
    }
    measurement.medianRoundTripNs = qint64(roundTrips.median());
    return measurement;
}

// Each query is timed from its write to the end of reading its reply, as the
// link does it; the pause between queries lets both sides go idle as they do
// during the operation, so wake-up latency is part of the round trip.
QVector<qint64> PacingBenchmark::replay(QTcpSocket &socket, const QStringList &queries)
{
    QVector<qint64> roundTrips;
    QElapsedTimer clock;
    for (const QString &query : queries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        clock.start();
        socket.write(query.toUtf8());
        if (socket.waitForReadyRead(1000))
            socket.readAll();
        roundTrips << clock.nsecsElapsed();
    }
    return roundTrips;
}

void PacingBenchmark::score(const QString &name, const QVector<Measurement> &measurements)
{
    const QString goal = QStringLiteral("<= %1").arg(maximumRatio, 0, 'f', 2);
    if (measurements.isEmpty()) {
        m_scoreboard.failed(name, goal, QStringLiteral("not run"));
        return;
    }
    Samples ratios;
    for (const Measurement &m : measurements)
        ratios.add(m.ratio());
    // The run whose ratio is the median, for its breakdown.
    QVector<Measurement> sorted = measurements;
    std::sort(sorted.begin(), sorted.end(),
              [](const Measurement &a, const Measurement &b) { return a.ratio() < b.ratio(); });
    const Measurement &m = sorted.at(sorted.size() / 2);
    const double overheadNs = double(m.durationNs) - m.floorNs();
    const QString detail =
            QStringLiteral("%1 ms for %2 commands (%3 queries): pauses %4 ms + round trips %5 ms; "
                           "overhead %6 us per command; link thread %7% of a core; runs %8..%9; "
                           "against %3 median round trips of %10 us: %11")
                    .arg(double(m.durationNs) / msNs, 0, 'f', 1)
                    .arg(m.commands)
                    .arg(m.queries)
                    .arg(double(m.pausesNs) / msNs, 0, 'f', 0)
                    .arg(double(m.roundTripsNs) / msNs, 0, 'f', 1)
                    .arg(overheadNs / 1000.0 / m.commands, 0, 'f', 0)
                    .arg(100.0 * double(m.cpuNs) / double(m.durationNs), 0, 'f', 1)
                    .arg(ratios.min(), 0, 'f', 4)
                    .arg(ratios.max(), 0, 'f', 4)
                    .arg(double(m.medianRoundTripNs) / 1000.0, 0, 'f', 0)
                    .arg(m.strictRatio(), 0, 'f', 4);
    const double ratio = ratios.median();
    m_scoreboard.target(name, QString::number(ratio, 'f', 4), goal, ratio <= maximumRatio, detail);
}
