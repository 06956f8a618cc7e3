// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class Samples;
class Scoreboard;

// The monitor page polling 16 axes: its rate and the tool's processor time against
// a simulator in a process of its own that answers at once, the processor time a
// recording with the trend shown adds and the size of that recording, then how
// many polls ever wait in the link's queue behind a simulator that never answers them.
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
        // The recording, when one was made.
        int rows = 0;
        qint64 headerBytes = 0;
        qint64 rowBytes = 0;
        int widestRowAt8Hours = 0; // the widest row, its seconds column as wide as after 8 hours
        QString error;
    };
    enum class Recording {
        None,
        WithTrend,         // the trend window as it opens: axis 0 on the chart
        WithTrendAllAxes,  // all sixteen ticked
    };
    Monitoring monitorAnsweringModule(Recording recording);
    void reportRecording(const Samples &addedCpu, const Samples &addedGuiCpu, const Monitoring &recorded,
                         const QString &allAxesAdded);
    bool measureSilentModule();

    const QString m_address;
    const QString m_simulatorProgram;
    const int m_runs;
    Scoreboard &m_scoreboard;
};
