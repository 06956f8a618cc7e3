// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class Scoreboard;
class SimulatorThread;

// qr36tn-config load, run as the operator runs it, against sixteen simulated
// 16-axis modules on port 24000 of 127.0.0.80 to 127.0.0.95: loading onto all
// sixteen at once against loading onto one, and changing a single setting
// against the window's parameter read of the same module.
class LoadBenchmark
{
public:
    LoadBenchmark(const QString &configProgram, int runs, Scoreboard &scoreboard);
    ~LoadBenchmark();
    bool run();

private:
    // Wall time of one run of the program in ms, or a negative number when it failed.
    double timeLoad(const QStringList &addresses);
    double timeParameterRead(bool inchEnabled);
    void prepareModules(int count, int changedSettings);

    const QString m_program;
    const int m_runs;
    Scoreboard &m_scoreboard;
    std::vector<std::unique_ptr<SimulatorThread>> m_modules;
    QString m_file;
    QString m_error;
};
