// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QStringList>
#include <QVector>

#include <functional>

class QTcpSocket;
class Scoreboard;
class SimulatorThread;

// How close the link's long operations come to their floor: the pause each
// command must be followed by, plus the loopback round trips of its queries.
// The link runs in this thread against a simulator in its own; a second
// simulator of the same module serves a raw socket that replays the operation's
// queries, with the same pauses between them, to measure those round trips.
// With the communication log shown, the link runs in a worker thread of its own,
// as in the tool, while this thread shows every entry it logs.
class PacingBenchmark
{
public:
    PacingBenchmark(const QHostAddress &address, int runs, Scoreboard &scoreboard, bool withLog = false);
    bool run();

private:
    struct Measurement
    {
        qint64 durationNs = 0;
        qint64 pausesNs = 0;
        qint64 roundTripsNs = 0;      // every replayed round trip, added up
        qint64 medianRoundTripNs = 0; // for the stricter floor that leaves out their outliers
        qint64 cpuNs = 0;             // of the link's thread
        int commands = 0;
        int queries = 0;
        double floorNs() const { return double(pausesNs + roundTripsNs); }
        double ratio() const { return double(durationNs) / floorNs(); }
        double strictRatio() const { return double(durationNs) / double(pausesNs + medianRoundTripNs * queries); }
    };

    struct Timing
    {
        qint64 durationNs = 0;
        qint64 cpuNs = 0; // of the link's thread
    };
    Measurement measure(SimulatorThread &simulator, QTcpSocket &replaySocket, const std::function<Timing()> &operation);
    static QVector<qint64> replay(QTcpSocket &socket, const QStringList &queries);
    void score(const QString &name, const QVector<Measurement> &measurements);

    const QHostAddress m_address;
    const int m_runs;
    Scoreboard &m_scoreboard;
    const bool m_withLog;
};
