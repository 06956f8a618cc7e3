#pragma once

#include <QString>

class Scoreboard;

// The monitor page polling 16 axes: its rate and the tool's processor time against
// a simulator in a process of its own that answers at once, then how many polls
// ever wait in the link's queue behind a simulator that never answers them.
class MonitorBenchmark
{
public:
    MonitorBenchmark(const QString &address, const QString &simulatorProgram, int runs, Scoreboard &scoreboard);
    bool run();

private:
    struct Monitoring
    {
        double pollsPerSecond = 0.0;
        int polls = 0;
        double cpuPercent = 0.0;
        double guiCpuPercent = 0.0; // the part spent in the GUI thread
        QString error;
    };
    Monitoring monitorAnsweringModule();
    bool measureSilentModule();

    const QString m_address;
    const QString m_simulatorProgram;
    const int m_runs;
    Scoreboard &m_scoreboard;
};
