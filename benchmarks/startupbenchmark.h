// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class Scoreboard;

// Start-up time and resident memory of the tool's own process, launched fresh each
// run: from the launch to the main window shown, and the memory held once
// connected to a 16-axis module. Figures for the record; they have no target.
class StartupBenchmark
{
public:
    StartupBenchmark(const QString &address, const QString &probeProgram, int runs, Scoreboard &scoreboard);
    bool run();

private:
    const QString m_address;
    const QString m_probeProgram;
    const int m_runs;
    Scoreboard &m_scoreboard;
};
