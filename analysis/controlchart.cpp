// SPDX-License-Identifier: GPL-3.0-or-later
#include "controlchart.h"

#include <algorithm>
#include <cmath>

namespace ControlChart {

namespace {

std::size_t groupSize(std::size_t count, int maxPoints)
{
    const std::size_t groups = std::size_t(std::max(maxPoints / 2, 1));
    return count <= std::size_t(std::max(maxPoints, 1)) ? 1 : (count + groups - 1) / groups;
}

// +1 above `border` above the centre, -1 below the same border below it, 0 otherwise.
int side(double value, double centre, double border)
{
    if (value - centre > border)
        return 1;
    if (centre - value > border)
        return -1;
    return 0;
}

} // namespace

Limits limits(const ReadingSummary &summary)
{
    Limits limits;
    if (summary.count < 2)
        return limits;
    limits.centre = summary.mean;
    limits.upper = summary.mean + e2 * summary.movingRangeMean;
    limits.lower = summary.mean - e2 * summary.movingRangeMean;
    limits.rangeCentre = summary.movingRangeMean;
    limits.rangeUpper = d4 * summary.movingRangeMean;
    return limits;
}

std::vector<std::uint8_t> ruleBreaks(const double *values, std::size_t count, const Limits &limits, unsigned rules)
{
    std::vector<std::uint8_t> breaks(count, 0);
    if (!limits.known())
        return breaks;
    const double zone = (limits.upper - limits.centre) / 3.0;
    // The side of each of the last five readings beyond 2 sigma and beyond 1 sigma,
    // and how many of the last three and five lie beyond them on each side.
    int twoSigma[5] = {};
    int oneSigma[5] = {};
    int beyondTwo[3] = {}; // by side + 1, among the last three
    int beyondOne[3] = {}; // by side + 1, among the last five
    int runSide = 0;
    std::size_t run = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double value = values[i];
        const std::size_t slot = i % 5;
        if (i >= 3)
            --beyondTwo[twoSigma[(i - 3) % 5] + 1];
        if (i >= 5)
            --beyondOne[oneSigma[slot] + 1];
        twoSigma[slot] = side(value, limits.centre, 2.0 * zone);
        oneSigma[slot] = side(value, limits.centre, zone);
        ++beyondTwo[twoSigma[slot] + 1];
        ++beyondOne[oneSigma[slot] + 1];

        std::uint8_t found = 0;
        if (value > limits.upper || value < limits.lower)
            found |= BeyondLimits;
        if (twoSigma[slot] != 0 && beyondTwo[twoSigma[slot] + 1] >= 2)
            found |= TwoOfThree;
        if (oneSigma[slot] != 0 && beyondOne[oneSigma[slot] + 1] >= 4)
            found |= FourOfFive;
        const int here = side(value, limits.centre, 0.0);
        run = here != 0 && here == runSide ? run + 1 : here != 0 ? 1 : 0;
        runSide = here;
        if (run >= 8)
            found |= EightOnOneSide;
        if (i > 0 && std::abs(value - values[i - 1]) > limits.rangeUpper)
            found |= RangeBeyondLimit;
        breaks[i] = std::uint8_t(found & rules);
    }
    return breaks;
}

std::vector<double> movingRanges(const double *values, std::size_t count)
{
    std::vector<double> ranges;
    if (count < 2)
        return ranges;
    ranges.reserve(count - 1);
    for (std::size_t i = 1; i < count; ++i)
        ranges.push_back(std::abs(values[i] - values[i - 1]));
    return ranges;
}

QVector<QPointF> envelope(const double *values, std::size_t count, int maxPoints, double firstNumber)
{
    QVector<QPointF> points;
    const std::size_t size = groupSize(count, maxPoints);
    points.reserve(int(2 * (count / size + 1)));
    for (std::size_t start = 0; start < count; start += size) {
        const std::size_t end = std::min(start + size, count);
        const auto [low, high] = std::minmax_element(values + start, values + end);
        const std::size_t lowIndex = std::size_t(low - values);
        const std::size_t highIndex = std::size_t(high - values);
        const std::size_t first = std::min(lowIndex, highIndex);
        const std::size_t second = std::max(lowIndex, highIndex);
        points.append(QPointF(firstNumber + double(first), values[first]));
        if (second != first)
            points.append(QPointF(firstNumber + double(second), values[second]));
    }
    return points;
}

QVector<QPointF> marks(const double *values, const std::vector<std::uint8_t> &breaks, unsigned rules, int maxPoints,
                       double firstNumber, double centre)
{
    QVector<QPointF> points;
    const std::size_t count = breaks.size();
    const std::size_t size = groupSize(count, maxPoints);
    for (std::size_t start = 0; start < count; start += size) {
        const std::size_t end = std::min(start + size, count);
        std::size_t worst = end;
        for (std::size_t i = start; i < end; ++i) {
            if ((breaks[i] & rules)
                && (worst == end || std::abs(values[i] - centre) > std::abs(values[worst] - centre)))
                worst = i;
        }
        if (worst != end)
            points.append(QPointF(firstNumber + double(worst), values[worst]));
    }
    return points;
}

} // namespace ControlChart
