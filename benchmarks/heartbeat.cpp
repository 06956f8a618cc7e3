#include "heartbeat.h"

#include <algorithm>

QString Heartbeat::Stall::text() const
{
    return QStringLiteral("%1 ms in %2 at +%3 ms").arg(ms, 0, 'f', 1).arg(phase).arg(msIntoPhase, 0, 'f', 0);
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
    const double stallMs = double(now - m_lastNs) / 1e6 - periodMs;
    m_lastNs = now;
    if (m_longest.size() == kept && stallMs <= m_longest.last().ms)
        return;
    const Stall stall{stallMs, m_phase, double(now - m_phaseStartNs) / 1e6};
    m_longest.insert(std::upper_bound(m_longest.begin(), m_longest.end(), stall,
                                      [](const Stall &a, const Stall &b) { return a.ms > b.ms; }),
                     stall);
    if (m_longest.size() > kept)
        m_longest.removeLast();
}
