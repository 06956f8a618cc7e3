// SPDX-License-Identifier: GPL-3.0-or-later
#include "scoreboard.h"

#include <cstdio>

void Scoreboard::section(const QString &title)
{
    std::printf("\n%s\n", qPrintable(title));
    std::fflush(stdout);
}

void Scoreboard::report(const QString &name, const QString &value, const QString &detail)
{
    line(name, value, QString(), QString(), detail);
}

void Scoreboard::target(const QString &name, const QString &value, const QString &goal, bool met,
                        const QString &detail)
{
    ++m_targets;
    if (met)
        ++m_met;
    line(name, value, goal, met ? QStringLiteral("met") : QStringLiteral("MISSED"), detail);
}

void Scoreboard::failed(const QString &name, const QString &goal, const QString &why)
{
    ++m_targets;
    ++m_failures;
    line(name, QStringLiteral("-"), goal, QStringLiteral("MISSED"), why);
}

void Scoreboard::unmeasured(const QString &name, const QString &why)
{
    ++m_failures;
    line(name, QStringLiteral("-"), QString(), QString(), why);
}

void Scoreboard::note(const QString &text)
{
    std::printf("    %s\n", qPrintable(text));
    std::fflush(stdout);
}

void Scoreboard::line(const QString &name, const QString &value, const QString &goal, const QString &verdict,
                      const QString &detail)
{
    const QString target = goal.isEmpty() ? QString() : QStringLiteral("target %1").arg(goal);
    std::printf("  %-40s %10s   %-24s %-6s %s\n", qPrintable(name), qPrintable(value), qPrintable(target),
                qPrintable(verdict), qPrintable(detail));
    std::fflush(stdout);
}

void Scoreboard::printSummary() const
{
    std::printf("\nbenchmark: %d of %d targets met\n", m_met, m_targets);
    std::fflush(stdout);
}
