// SPDX-License-Identifier: GPL-3.0-or-later
#include "capability.h"

#include <algorithm>
#include <cmath>

namespace Capability {

namespace {

QString spreadProblem(const ReadingSummary &summary, double sigma)
{
    if (summary.count < 2)
        return QStringLiteral("fewer than 2 readings");
    if (!(sigma > 0.0))
        return QStringLiteral("no spread: every reading is the same");
    return QString();
}

Index ratio(double numerator, double denominator, const QString &problem)
{
    Index index;
    if (!problem.isEmpty())
        index.reason = problem;
    else
        index.value = numerator / denominator;
    return index;
}

} // namespace

Indices indices(const ReadingSummary &summary, const Limits &limits)
{
    QString limitProblem;
    if (std::isnan(limits.lower) || std::isnan(limits.upper))
        limitProblem = QStringLiteral("no limits");
    else if (!(limits.lower < limits.upper))
        limitProblem = QStringLiteral("the low limit is not below the high limit");
    const auto problem = [&](double sigma) {
        const QString spread = spreadProblem(summary, sigma);
        return summary.count < 2 || limitProblem.isEmpty() ? spread : limitProblem;
    };
    const double width = limits.upper - limits.lower;
    // Each distance from the mean's offset, not from the mean rounded to a double:
    // with the mean near a limit, that rounding would be most of the distance.
    const double nearest = std::min(-summary.meanLess(limits.upper), summary.meanLess(limits.lower));
    const QString withinProblem = problem(summary.sigmaWithin);
    const QString overallProblem = problem(summary.stdDev);
    return {ratio(width, 6.0 * summary.sigmaWithin, withinProblem),
            ratio(nearest, 3.0 * summary.sigmaWithin, withinProblem),
            ratio(width, 6.0 * summary.stdDev, overallProblem), ratio(nearest, 3.0 * summary.stdDev, overallProblem)};
}

QString text(const Index &index)
{
    return index.known() ? QString::number(index.value, 'f', 2) : QStringLiteral("\u2014");
}

GaugeStudy gaugeStudy(const ReadingSummary &summary, double master, double tolerance)
{
    GaugeStudy study;
    if (summary.count > 0)
        study.bias = summary.meanLess(master);
    QString problem = spreadProblem(summary, summary.stdDev);
    if (summary.count >= 2 && !(tolerance > 0.0))
        problem = QStringLiteral("the tolerance is not above 0");
    study.cg = ratio(0.2 * tolerance, 6.0 * summary.stdDev, problem);
    study.cgk = ratio(0.1 * tolerance - std::abs(study.bias), 3.0 * summary.stdDev, problem);
    return study;
}

} // namespace Capability
