// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Prints each figure as it is measured, beside its target when it has one, and
// keeps count of the targets met for the closing line.
class Scoreboard
{
public:
    void section(const QString &title);
    // A figure without a target: printed for the record only.
    void report(const QString &name, const QString &value, const QString &detail = QString());
    // A figure with a target; `met` is decided by the caller, who knows the target's sense.
    void target(const QString &name, const QString &value, const QString &goal, bool met,
                const QString &detail = QString());
    // A target that could not be measured counts as missed.
    void failed(const QString &name, const QString &goal, const QString &why);
    // A figure without a target that could not be measured.
    void unmeasured(const QString &name, const QString &why);
    void note(const QString &text);

    int targets() const { return m_targets; }
    int met() const { return m_met; }
    int failures() const { return m_failures; }
    void printSummary() const;

private:
    void line(const QString &name, const QString &value, const QString &goal, const QString &verdict,
              const QString &detail);

    int m_targets = 0;
    int m_met = 0;
    int m_failures = 0;
};
