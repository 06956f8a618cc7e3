// SPDX-License-Identifier: GPL-3.0-or-later
#include "scanbenchmark.h"

#include "modulescanner.h"
#include "samples.h"
#include "scoreboard.h"
#include "simulatorthread.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace {

constexpr double crowdMostMs = 1500.0;
// The attempts overlap, so sixteen silent addresses cost one reply wait and a margin.
constexpr double silentMostMs = ModuleProtocol::replyWaitMs + 500.0;

QString goalOf(double mostMs)
{
    return QStringLiteral("<= %1 s").arg(mostMs / 1000.0, 0, 'f', 2);
}

} // namespace

ScanBenchmark::ScanBenchmark(const QString &configProgram, int runs, Scoreboard &scoreboard)
    : m_program(configProgram)
    , m_runs(runs)
    , m_scoreboard(scoreboard)
{
}

ScanBenchmark::~ScanBenchmark() = default;

bool ScanBenchmark::startSimulator(const QString &address, bool silent)
{
    SimulatorOptions options;
    options.address = QHostAddress(address);
    options.port = 24000;
    options.unitNumber = int(m_simulators.size() % 16);
    options.axisCount = 4;
    if (silent)
        options.silentPatterns << SimulatorOptions::wholeCommand(QStringLiteral(".*"));
    m_simulators.push_back(std::make_unique<SimulatorThread>(options));
    if (m_simulators.back()->start())
        return true;
    m_error = QStringLiteral("no simulator on %1: %2").arg(address, m_simulators.back()->errorString());
    return false;
}

ScanBenchmark::Timed ScanBenchmark::timeScan(const QString &range, int modules, int openPorts)
{
    QProcess program;
    program.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    program.start(m_program, {QStringLiteral("scan"), QStringLiteral("--json"), range});
    const bool ended = program.waitForFinished(60000) && program.exitStatus() == QProcess::NormalExit;
    Timed timed;
    timed.wallMs = double(clock.nsecsElapsed()) / 1e6;
    const QJsonObject document = QJsonDocument::fromJson(program.readAllStandardOutput()).object();
    const int found = document.value(QStringLiteral("modules")).toArray().size();
    const int open = document.value(QStringLiteral("noModuleReply")).toArray().size();
    if (!ended || found != modules || open != openPorts) {
        m_error = QStringLiteral("%1 scan %2 found %3 modules and %4 open ports, not %5 and %6 (exit code %7)")
                          .arg(m_program, range)
                          .arg(found)
                          .arg(open)
                          .arg(modules)
                          .arg(openPorts)
                          .arg(program.exitCode());
        return Timed();
    }
    timed.scanMs = document.value(QStringLiteral("seconds")).toDouble() * 1000.0;
    return timed;
}

void ScanBenchmark::measure(const QString &name, double mostMs, const QString &range, int modules, int openPorts)
{
    const QString goal = goalOf(mostMs);
    Samples wall;
    Samples scan;
    for (int run = 0; run < m_runs; ++run) {
        const Timed timed = timeScan(range, modules, openPorts);
        if (timed.wallMs < 0) {
            m_scoreboard.failed(name, goal, m_error);
            return;
        }
        wall.add(timed.wallMs);
        scan.add(timed.scanMs);
    }
    m_scoreboard.target(name, QStringLiteral("%1 s").arg(wall.median() / 1000.0, 0, 'f', 2), goal,
                        wall.median() <= mostMs,
                        QStringLiteral("program start to exit, runs %1..%2 ms; the scan itself %3 ms")
                                .arg(wall.min(), 0, 'f', 0)
                                .arg(wall.max(), 0, 'f', 0)
                                .arg(scan.median(), 0, 'f', 0));
}

bool ScanBenchmark::run()
{
    m_scoreboard.section(QStringLiteral("9. qr36tn-config scan (at most %1 connection attempts at once, median of %2 runs)")
                                 .arg(ModuleScanner::mostAttempts)
                                 .arg(m_runs));
    const QString crowdName = QStringLiteral("254 addresses, 3 modules, others refuse");
    const QString silentName = QStringLiteral("16 silent addresses");
    for (const int host : {10, 100, 200}) {
        if (!startSimulator(QStringLiteral("127.0.36.%1").arg(host), false)) {
            m_scoreboard.failed(crowdName, goalOf(crowdMostMs), m_error);
            m_scoreboard.failed(silentName, goalOf(silentMostMs), m_error);
            return false;
        }
    }
    measure(crowdName, crowdMostMs, QStringLiteral("127.0.36.0/24"), 3, 0);
    for (int host = 1; host <= 16; ++host) {
        if (!startSimulator(QStringLiteral("127.0.37.%1").arg(host), true)) {
            m_scoreboard.failed(silentName, goalOf(silentMostMs), m_error);
            return false;
        }
    }
    measure(silentName, silentMostMs, QStringLiteral("127.0.37.1-127.0.37.16"), 0, 16);
    return true;
}
