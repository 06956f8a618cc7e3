// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

// A fast timer in the GUI thread: the longest gap between two of its ticks, less
// its period, is the longest time the thread did not get back to its event loop.
// Each stall is told with the phase the benchmark was driving when it ended, how
// far into that phase it ended, and how much of it the thread spent on the
// processor: a stall the thread spent working is the tool's, one it spent
// waiting for a processor is the machine's.
class Heartbeat : public QObject
{
    Q_OBJECT

public:
    static constexpr int periodMs = 1;

    struct Stall
    {
        double ms = 0.0;
        double cpuMs = 0.0;
        QString phase;
        double msIntoPhase = 0.0;
        QString text() const;
    };

    explicit Heartbeat(QObject *parent = nullptr);

    void start();
    void stop();
    void setPhase(const QString &phase);

    // The longest stalls, longest first.
    QVector<Stall> longestStalls() const { return m_longest; }
    Stall longestStall() const { return m_longest.value(0); }

private:
    static constexpr int kept = 3;
    void tick();

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    qint64 m_lastCpuNs = 0;
    qint64 m_phaseStartNs = 0;
    QString m_phase;
    QVector<Stall> m_longest;
};
