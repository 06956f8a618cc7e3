// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "heartbeat.h"

#include <QString>
#include <QVector>

class Scoreboard;

// The GUI thread's longest stall while the real window reads 16 axes, writes
// the measure settings and polls the monitor, against a simulator in this process;
// if asked, with the communication log shown throughout; and apart from that,
// while the monitor records with the trend window shown.
class ResponsivenessBenchmark
{
public:
    ResponsivenessBenchmark(const QString &address, int runs, Scoreboard &scoreboard, bool withLog = false);
    bool run();

private:
    struct Outcome
    {
        QString error;
        QVector<Heartbeat::Stall> longest; // longest first
        double idleMs = 0.0;               // the machine's own: the window shown, nothing running
        QVector<Heartbeat::Stall> trendLongest = {};  // recording, the trend shown
        QVector<Heartbeat::Stall> openingLongest = {}; // starting the recording and opening the trend
    };
    void reportTrend(QVector<Outcome> outcomes);
    Outcome measureOnce();

    const QString m_address;
    const int m_runs;
    Scoreboard &m_scoreboard;
    const bool m_withLog;
};
