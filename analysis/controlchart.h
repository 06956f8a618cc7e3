// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "readingstatistics.h"

#include <QPointF>
#include <QVector>

#include <cmath>
#include <cstdint>
#include <vector>

// The individuals and moving-range (I-MR) chart of one axis's readings.
namespace ControlChart {

constexpr double e2 = 2.66; // 3 / d2
constexpr double d4 = 3.267;

struct Limits
{
    double centre = ReadingSummary::nan;      // the mean
    double upper = ReadingSummary::nan;       // mean + 2.66 MR
    double lower = ReadingSummary::nan;       // mean - 2.66 MR
    double rangeCentre = ReadingSummary::nan; // MR
    double rangeUpper = ReadingSummary::nan;  // 3.267 MR

    bool known() const { return !std::isnan(upper); }
};

// Unknown below 2 readings.
Limits limits(const ReadingSummary &summary);

// The tests of a reading. The Western Electric zones are thirds of the distance
// from the centre line to a control limit; a run counts on one side only.
enum Rule : std::uint8_t {
    BeyondLimits = 1,     // the reading is beyond a control limit
    TwoOfThree = 2,       // 2 of the last 3 beyond 2 sigma, this one among them
    FourOfFive = 4,       // 4 of the last 5 beyond 1 sigma, this one among them
    EightOnOneSide = 8,   // this and the 7 before on one side of the centre line
    RangeBeyondLimit = 16 // the moving range ending here is above its limit
};
constexpr unsigned allRules = BeyondLimits | TwoOfThree | FourOfFive | EightOnOneSide | RangeBeyondLimit;

// For each reading, the rules among `rules` whose pattern it completes.
std::vector<std::uint8_t> ruleBreaks(const double *values, std::size_t count, const Limits &limits, unsigned rules);

// The moving ranges |x(i) - x(i-1)|, i from 1.
std::vector<double> movingRanges(const double *values, std::size_t count);

// At most about `maxPoints` points for a chart of the values against their number
// (counted from `firstNumber`): each group of neighbours gives its lowest and its
// highest value in their order, so no extreme goes missing.
QVector<QPointF> envelope(const double *values, std::size_t count, int maxPoints, double firstNumber);

// The readings that break a rule, at most one per group of the envelope: the one
// farthest from `centre`.
QVector<QPointF> marks(const double *values, const std::vector<std::uint8_t> &breaks, unsigned rules, int maxPoints,
                       double firstNumber, double centre);

} // namespace ControlChart
