// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class Scoreboard;

// Recording: `qr36tn-config record` of eight 16-axis modules at 5 Hz for a minute
// (the rows it keeps and the processor time it takes), and a whole 8-hour recording
// of 16 axes taken into the trend and spread's history and redrawn.
class RecordBenchmark
{
public:
    RecordBenchmark(const QString &configProgram, Scoreboard &scoreboard);
    bool run();

private:
    bool measureHeadless();
    bool measureEightHours();

    const QString m_program;
    Scoreboard &m_scoreboard;
};
