// SPDX-License-Identifier: GPL-3.0-or-later
#include "heartbeat.h"

#include <algorithm>

#include <time.h>

namespace {
qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}
} // namespace

QString Heartbeat::Stall::text() const
{
    return QStringLiteral("%1 ms (%2 ms on the processor) in %3 at +%4 ms")
            .arg(ms, 0, 'f', 1)
            .arg(cpuMs, 0, 'f', 1)
            .arg(phase)
            .arg(msIntoPhase, 0, 'f', 0);
}

Heartbeat::Heartbeat(QObject *parent)
    : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(periodMs);
    connect(&m_timer, &QTimer::timeout, this, &Heartbeat::tick);
}

void Heartbeat::start()
{
    m_longest.clear();
    m_clock.start();
    m_lastNs = 0;
    m_lastCpuNs = threadCpuNs();
    m_phaseStartNs = 0;
    m_timer.start();
}

void Heartbeat::stop()
{
    tick(); // a stall still running when the benchmark stops counts too
    m_timer.stop();
}

void Heartbeat::setPhase(const QString &phase)
{
    m_phase = phase;
    m_phaseStartNs = m_clock.nsecsElapsed();
}

void Heartbeat::tick()
{
    const qint64 now = m_clock.nsecsElapsed();
    const qint64 cpuNow = threadCpuNs();
    const double stallMs = double(now - m_lastNs) / 1e6 - periodMs;
    const double cpuMs = double(cpuNow - m_lastCpuNs) / 1e6;
    m_lastNs = now;
    m_lastCpuNs = cpuNow;
    if (m_longest.size() == kept && stallMs <= m_longest.last().ms)
        return;
    const Stall stall{stallMs, cpuMs, m_phase, double(now - m_phaseStartNs) / 1e6};
    m_longest.insert(std::upper_bound(m_longest.begin(), m_longest.end(), stall,
                                      [](const Stall &a, const Stall &b) { return a.ms > b.ms; }),
                     stall);
    if (m_longest.size() > kept)
        m_longest.removeLast();
}
