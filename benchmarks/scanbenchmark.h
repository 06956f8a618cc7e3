// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class Scoreboard;
class SimulatorThread;

// qr36tn-config scan, run as the operator runs it: the 254 addresses of
// 127.0.36.0/24 with three simulated modules among addresses that refuse the
// connection, and sixteen silent simulators on 127.0.37.1 to 127.0.37.16 that
// take the connection and never answer.
class ScanBenchmark
{
public:
    ScanBenchmark(const QString &configProgram, int runs, Scoreboard &scoreboard);
    ~ScanBenchmark();
    bool run();

private:
    struct Timed
    {
        double wallMs = -1.0;  // from the start of the program to its exit
        double scanMs = -1.0;  // the scan's own figure, from its JSON document
    };
    // One run; a negative time, with m_error set, when the program did not find
    // `modules` modules and `openPorts` silent ones.
    Timed timeScan(const QString &range, int modules, int openPorts);
    bool startSimulator(const QString &address, bool silent);
    void measure(const QString &name, double mostMs, const QString &range, int modules, int openPorts);

    const QString m_program;
    const int m_runs;
    Scoreboard &m_scoreboard;
    std::vector<std::unique_ptr<SimulatorThread>> m_simulators;
    QString m_error;
};
