// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitorbenchmark.h"

#include "eventwait.h"
#include "samples.h"
#include "scoreboard.h"
#include "simulatorthread.h"
#include "windowdriver.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>
#include <ctime>

#include <time.h>

namespace {
constexpr int monitorMs = 10000;
// After the page switch, so that the figures are the steady cost of polling; with a
// recording, until the chart's last 60 s are full of readings.
constexpr int settleMs = 1000;
constexpr int trendFillMs = 61000;
constexpr double maximumAddedCpuPercent = 0.5;
constexpr int rowsIn8Hours = 8 * 3600 * 5;
constexpr double maximumRecordingMiB = 100.0;
constexpr double wantedRate = 5.0;
constexpr double rateTolerance = 0.05;
constexpr double maximumCpuPercent = 1.0;
constexpr int maximumPending = 1;
constexpr qint64 replyWaitNs = 1000LL * 1000 * 1000;

double processCpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

// The least-squares slope of arrival time over poll number. Unlike the span from
// the first poll to the last it does not swing with the jitter of those two.
double fittedPeriodMs(const QVector<double> &arrivalMs)
{
    const int n = arrivalMs.size();
    const double meanIndex = (n - 1) / 2.0;
    double meanMs = 0.0;
    for (const double ms : arrivalMs)
        meanMs += ms / n;
    double covariance = 0.0;
    double variance = 0.0;
    for (int i = 0; i < n; ++i) {
        covariance += (i - meanIndex) * (arrivalMs.at(i) - meanMs);
        variance += (i - meanIndex) * (i - meanIndex);
    }
    return covariance / variance;
}

// The window lives in this thread.
double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}
} // namespace

MonitorBenchmark::MonitorBenchmark(const QString &address, const QString &simulatorProgram, int runs,
                                   Scoreboard &scoreboard)
    : m_address(address)
    , m_simulatorProgram(simulatorProgram)
    , m_runs(runs)
    , m_scoreboard(scoreboard)
{
}

bool MonitorBenchmark::run()
{
    m_scoreboard.section(QStringLiteral("3. Monitor, 16 axes, %1 s of polling (median of %2 runs)")
                                 .arg(monitorMs / 1000)
                                 .arg(m_runs));
    const QString rateName = QStringLiteral("polls per second");
    const QString rateGoal = QStringLiteral("%1 +- %2").arg(wantedRate, 0, 'f', 1).arg(rateTolerance, 0, 'f', 2);
    const QString cpuName = QStringLiteral("tool CPU per second of monitoring");
    const QString cpuGoal = QStringLiteral("< %1% of a core").arg(maximumCpuPercent, 0, 'f', 0);

    Samples rates;
    Samples cpu;
    Samples addedCpu;
    Samples addedGuiCpu;
    Monitoring recorded;
    QStringList runs;
    // Each run without a recording is paired with one that records with the trend
    // shown; the difference of each pair is one sample of what the recording adds.
    Monitoring monitoring;
    for (int run = 0; run < m_runs; ++run) {
        monitoring = monitorAnsweringModule(Recording::None);
        const Monitoring recording =
                monitoring.error.isEmpty() ? monitorAnsweringModule(Recording::WithTrend) : Monitoring();
        const QString error = !monitoring.error.isEmpty() ? monitoring.error : recording.error;
        if (!error.isEmpty()) {
            m_scoreboard.failed(rateName, rateGoal, error);
            m_scoreboard.failed(cpuName, cpuGoal, error);
            rates = Samples();
            break;
        }
        rates.add(monitoring.pollsPerSecond);
        cpu.add(monitoring.cpuPercent);
        addedCpu.add(recording.cpuPercent - monitoring.cpuPercent);
        addedGuiCpu.add(recording.guiCpuPercent - monitoring.guiCpuPercent);
        recorded = recording;
        runs << QStringLiteral("%1 polls, %2/s, %3% (GUI thread %4%), recording with trend %5% (GUI thread %6%)")
                        .arg(monitoring.polls)
                        .arg(monitoring.pollsPerSecond, 0, 'f', 3)
                        .arg(monitoring.cpuPercent, 0, 'f', 2)
                        .arg(monitoring.guiCpuPercent, 0, 'f', 2)
                        .arg(recording.cpuPercent, 0, 'f', 2)
                        .arg(recording.guiCpuPercent, 0, 'f', 2);
    }
    if (!rates.isEmpty()) {
        // Once, against the last run without a recording.
        const Monitoring allAxes = monitorAnsweringModule(Recording::WithTrendAllAxes);
        const QString allAxesAdded =
                allAxes.error.isEmpty()
                        ? QStringLiteral("%1% (GUI thread %2%)")
                                  .arg(allAxes.cpuPercent - monitoring.cpuPercent, 0, 'f', 2)
                                  .arg(allAxes.guiCpuPercent - monitoring.guiCpuPercent, 0, 'f', 2)
                        : allAxes.error;
        const QString detail = QStringLiteral("runs: %1").arg(runs.join(QStringLiteral("; ")));
        m_scoreboard.target(rateName, QString::number(rates.median(), 'f', 3), rateGoal,
                            std::abs(rates.median() - wantedRate) <= rateTolerance, detail);
        m_scoreboard.target(cpuName, QStringLiteral("%1%").arg(cpu.median(), 0, 'f', 2), cpuGoal,
                            cpu.median() < maximumCpuPercent,
                            QStringLiteral("process CPU time over wall time, simulator in its own process"));
        reportRecording(addedCpu, addedGuiCpu, recorded, allAxesAdded);
    }
    return measureSilentModule() && !rates.isEmpty();
}

void MonitorBenchmark::reportRecording(const Samples &addedCpu, const Samples &addedGuiCpu,
                                       const Monitoring &recorded, const QString &allAxesAdded)
{
    m_scoreboard.target(QStringLiteral("CPU added: recording, trend shown"),
                        QStringLiteral("%1%").arg(addedCpu.median(), 0, 'f', 2),
                        QStringLiteral("<= %1% of a core").arg(maximumAddedCpuPercent, 0, 'f', 1),
                        addedCpu.median() <= maximumAddedCpuPercent,
                        QStringLiteral("16 axes to a file, their spread, the trend window as it opens (axis 0 on "
                                       "the chart, last 60 s, full); median of the pairs' differences; runs "
                                       "%1..%2%; GUI thread %3%")
                                .arg(addedCpu.min(), 0, 'f', 2)
                                .arg(addedCpu.max(), 0, 'f', 2)
                                .arg(addedGuiCpu.median(), 0, 'f', 2));
    m_scoreboard.report(QStringLiteral("the same, all 16 axes on the chart"), allAxesAdded.section(QLatin1Char(' '), 0, 0),
                        QStringLiteral("one run, against the last run without a recording: %1").arg(allAxesAdded));
    const double meanRow = double(recorded.rowBytes) / recorded.rows;
    const double mib = double(recorded.headerBytes + qint64(rowsIn8Hours) * recorded.widestRowAt8Hours)
            / (1024.0 * 1024.0);
    m_scoreboard.target(QStringLiteral("8-hour recording, 16 axes"), QStringLiteral("%1 MiB").arg(mib, 0, 'f', 1),
                        QStringLiteral("< %1 MiB").arg(maximumRecordingMiB, 0, 'f', 0), mib < maximumRecordingMiB,
                        QStringLiteral("%1 rows of a real recording: %2 bytes a row on average; header %3 bytes + "
                                       "%4 rows x %5 bytes (its widest row, seconds at 8 hours' width)")
                                .arg(recorded.rows)
                                .arg(meanRow, 0, 'f', 1)
                                .arg(recorded.headerBytes)
                                .arg(rowsIn8Hours)
                                .arg(recorded.widestRowAt8Hours));
}

namespace {
// The header and the rows of a recording file, in bytes; rows are counted by their
// first field, a time stamp starting with the year.
void measureRecording(const QString &path, int &rows, qint64 &headerBytes, qint64 &rowBytes, int &widestAt8Hours)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QRegularExpression row(QStringLiteral("^\\d{4}-"));
    const int secondsWidthAt8Hours = QString::number(8 * 3600.0, 'f', 3).size();
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (!row.match(QString::fromLatin1(line)).hasMatch()) {
            headerBytes += line.size();
            continue;
        }
        ++rows;
        rowBytes += line.size();
        const int secondsWidth = line.split(',').value(1).size();
        widestAt8Hours = qMax(widestAt8Hours, int(line.size()) - secondsWidth + secondsWidthAt8Hours);
    }
}
} // namespace

// The simulator runs as its own program, so the process's CPU time is the tool's
// alone; its command log goes to a file, read only after the measurement.
MonitorBenchmark::Monitoring MonitorBenchmark::monitorAnsweringModule(Recording recording)
{
    const bool recordWithTrend = recording != Recording::None;
    Monitoring result;
    QTemporaryDir logDirectory;
    const QString logPath = logDirectory.filePath(QStringLiteral("simulator.log"));
    QProcess simulator;
    simulator.setStandardOutputFile(logPath);
    simulator.setProcessChannelMode(QProcess::SeparateChannels);
    simulator.start(m_simulatorProgram, {QStringLiteral("--address"), m_address, QStringLiteral("--port"),
                                         QStringLiteral("24000"), QStringLiteral("--axes"), QStringLiteral("16"),
                                         QStringLiteral("--seed"), QStringLiteral("7"), QStringLiteral("--log")});
    const auto logText = [&logPath] {
        QFile file(logPath);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    if (!simulator.waitForStarted(5000)
        || !EventWait::until([&] { return logText().contains(QLatin1String("listening on")); }, 5000)) {
        result.error = QStringLiteral("%1 did not start: %2").arg(m_simulatorProgram,
                                                                   QString::fromUtf8(simulator.readAllStandardError()));
        simulator.kill();
        simulator.waitForFinished(5000);
        return result;
    }

    {
        WindowDriver driver(m_address);
        if (!driver.open() || !driver.connectModule()) {
            result.error = QStringLiteral("the window did not connect");
        } else {
            const int readLength = logText().size();
            const QString recordingPath = logDirectory.filePath(QStringLiteral("readings.csv"));
            driver.press("pushButton_MeasureMonitor");
            if (recordWithTrend && !driver.startRecording(recordingPath))
                result.error = QStringLiteral("the recording did not start: %1").arg(driver.recordingState());
            else if (recordWithTrend && !driver.openTrend())
                result.error = QStringLiteral("the trend window did not open");
            if (recording == Recording::WithTrendAllAxes)
                driver.chartAllAxes();
            EventWait::pause(recordWithTrend ? trendFillMs : settleMs);
            QElapsedTimer wall;
            wall.start();
            const double cpuStart = processCpuSeconds();
            const double guiCpuStart = threadCpuSeconds();
            EventWait::pause(monitorMs);
            const double cpuSeconds = processCpuSeconds() - cpuStart;
            const double guiCpuSeconds = threadCpuSeconds() - guiCpuStart;
            const double wallSeconds = double(wall.nsecsElapsed()) / 1e9;
            if (recordWithTrend) {
                driver.stopRecording();
                // The rows still queued at "Stop" are in the file once the page says so.
                EventWait::until([&driver] { return driver.recordingState().startsWith(QLatin1String("Recorded")); },
                                 5000);
                measureRecording(recordingPath, result.rows, result.headerBytes, result.rowBytes,
                                 result.widestRowAt8Hours);
                if (result.rows == 0 && result.error.isEmpty())
                    result.error = QStringLiteral("the recording has no rows");
            }
            driver.press("pushButton_MeasureSetting");
            result.cpuPercent = 100.0 * cpuSeconds / wallSeconds;
            result.guiCpuPercent = 100.0 * guiCpuSeconds / wallSeconds;

            // "<milliseconds since the simulator started> R" for every poll it received.
            const QRegularExpression pollLine(QStringLiteral("^\\s*([0-9.]+) R$"),
                                              QRegularExpression::MultilineOption);
            QVector<double> pollMs;
            auto match = pollLine.globalMatch(logText().mid(readLength));
            while (match.hasNext())
                pollMs << match.next().captured(1).toDouble();
            result.polls = pollMs.size();
            if (pollMs.size() >= 2)
                result.pollsPerSecond = 1000.0 / fittedPeriodMs(pollMs);
            else if (result.error.isEmpty())
                result.error = QStringLiteral("only %1 polls reached the simulator").arg(pollMs.size());
        }
    }
    simulator.terminate();
    if (!simulator.waitForFinished(5000)) {
        simulator.kill();
        simulator.waitForFinished(5000);
    }
    return result;
}

// Against a module that never answers "R" each poll holds the link for its whole
// reply wait while the timer keeps ticking five times a second. A poll is pending
// from its request until its wait ends. When the page is left, the poll still
// waiting (sent less than one reply wait earlier) and every poll sent afterwards
// were pending; a backlog would only have grown until then.
bool MonitorBenchmark::measureSilentModule()
{
    const QString name = QStringLiteral("most polls pending, silent module");
    const QString goal = QStringLiteral("<= %1").arg(maximumPending);

    SimulatorOptions options;
    options.address = QHostAddress(m_address);
    options.port = 24000;
    options.axisCount = 16;
    options.seed = 7;
    options.silentPatterns << SimulatorOptions::wholeCommand(QStringLiteral("R"));
    SimulatorThread simulator(options);
    if (!simulator.start()) {
        m_scoreboard.failed(name, goal, QStringLiteral("no simulator: %1").arg(simulator.errorString()));
        return false;
    }
    WindowDriver driver(m_address);
    if (!driver.open() || !driver.connectModule()) {
        m_scoreboard.failed(name, goal, QStringLiteral("the window did not connect"));
        return false;
    }
    const qint64 enteredNs = simulator.simulator()->nsecsSinceStart();
    driver.press("pushButton_MeasureMonitor");
    EventWait::pause(monitorMs);
    const qint64 leftNs = simulator.simulator()->nsecsSinceStart();
    driver.press("pushButton_MeasureSetting");
    // A queued poll goes out as soon as the one before it has waited in vain, so
    // the queue has drained once no poll came for one and a half reply waits.
    const auto lastPollNs = [&simulator, leftNs] {
        qint64 last = leftNs;
        for (const ReceivedCommand &command : simulator.commandLog()) {
            if (command.text == QLatin1String("R"))
                last = qMax(last, command.timestampNs);
        }
        return last;
    };
    EventWait::until([&] { return simulator.simulator()->nsecsSinceStart() - lastPollNs() > replyWaitNs * 3 / 2; },
                     120000);

    int sentWhileShown = 0;
    int pending = 0;
    for (const ReceivedCommand &command : simulator.commandLog()) {
        if (command.text != QLatin1String("R") || command.timestampNs < enteredNs)
            continue;
        if (command.timestampNs <= leftNs)
            ++sentWhileShown;
        if (command.timestampNs > leftNs - replyWaitNs)
            ++pending;
    }
    m_scoreboard.target(name, QString::number(pending), goal, pending <= maximumPending,
                        QStringLiteral("%1 polls sent in %2 s to a module that does not answer them")
                                .arg(sentWhileShown)
                                .arg(monitorMs / 1000));
    return true;
}
