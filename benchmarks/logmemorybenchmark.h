// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class Scoreboard;

// What the communication log holds after a long day: the start-up probe, a fresh
// tool process, opens the log and gives it 100,000 entries of 16-axis monitor
// polling; the growth of its resident memory is weighed against the log's bound.
class LogMemoryBenchmark
{
public:
    LogMemoryBenchmark(const QString &probeProgram, Scoreboard &scoreboard);
    bool run();

private:
    const QString m_probeProgram;
    Scoreboard &m_scoreboard;
};
