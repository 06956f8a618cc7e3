// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class Scoreboard;

// The capability figures at the size of a working day: qr36tn-config analyse of an
// 8-hour recording of 16 axes at five polls a second (2.3 million readings), and
// the capability window's redraw of the histogram and I-MR chart of 8 hours of
// one axis, from the figures to the painted window.
class AnalysisBenchmark
{
public:
    AnalysisBenchmark(const QString &configProgram, int runs, Scoreboard &scoreboard);
    bool run();

private:
    bool timeAnalyse();
    bool timeRedraw();

    const QString m_program;
    const int m_runs;
    Scoreboard &m_scoreboard;
};
