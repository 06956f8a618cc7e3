// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <cstddef>
#include <limits>

// What the indices and charts are computed from: the readings of one axis in the
// order they were taken, errors and gaps left out.
struct ReadingSummary
{
    static constexpr double nan = std::numeric_limits<double>::quiet_NaN();

    qint64 count = 0;
    double mean = nan;
    double stdDev = nan; // the sample standard deviation s (n - 1); from 2 readings
    double minimum = nan;
    double maximum = nan;
    double movingRangeMean = nan; // of |x(i) - x(i-1)|; from 2 readings
    double sigmaWithin = nan;     // movingRangeMean / d2

    // The mean less `value`, with the digits that subtracting two close large
    // numbers would lose: the mean is kept as an offset from the first reading.
    double meanLess(double value) const { return (origin - value) + offset; }

    double origin = 0.0;
    double offset = 0.0;
};

// Takes readings one at a time, in order, and keeps no reading. The sums are of
// each reading less the first one (Welford's update on shifted values), so that a
// spread of 1e-4 on readings of 10,000 keeps all its digits. Readings that are not
// a number are not counted and do not break the moving range.
class ReadingStatistics
{
public:
    static constexpr double d2 = 1.128;

    void add(double value);
    void add(const double *values, std::size_t count);
    ReadingSummary summary() const;

    static ReadingSummary of(const double *values, std::size_t count);

private:
    qint64 n = 0;
    double origin = 0.0;
    double offset = 0.0;  // mean of (x - origin)
    double squares = 0.0; // sum of squared deviations from the mean
    double lowest = 0.0;
    double highest = 0.0;
    double previous = 0.0;
    // The moving ranges summed with Neumaier's compensation.
    double rangeSum = 0.0;
    double rangeCompensation = 0.0;
};
