// SPDX-License-Identifier: GPL-3.0-or-later
#include "readingstatistics.h"

#include <algorithm>
#include <cmath>

void ReadingStatistics::add(double value)
{
    if (std::isnan(value))
        return;
    if (n == 0) {
        origin = lowest = highest = previous = value;
    } else {
        const double range = std::abs(value - previous);
        const double sum = rangeSum + range;
        rangeCompensation += std::abs(rangeSum) >= range ? (rangeSum - sum) + range : (range - sum) + rangeSum;
        rangeSum = sum;
        lowest = std::min(lowest, value);
        highest = std::max(highest, value);
        previous = value;
    }
    ++n;
    const double shifted = value - origin;
    const double delta = shifted - offset;
    offset += delta / double(n);
    squares += delta * (shifted - offset);
}

void ReadingStatistics::add(const double *values, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        add(values[i]);
}

ReadingSummary ReadingStatistics::summary() const
{
    ReadingSummary summary;
    summary.count = n;
    if (n == 0)
        return summary;
    summary.origin = origin;
    summary.offset = offset;
    summary.mean = origin + offset;
    summary.minimum = lowest;
    summary.maximum = highest;
    if (n > 1) {
        summary.stdDev = std::sqrt(std::max(squares, 0.0) / double(n - 1));
        summary.movingRangeMean = (rangeSum + rangeCompensation) / double(n - 1);
        summary.sigmaWithin = summary.movingRangeMean / d2;
    }
    return summary;
}

ReadingSummary ReadingStatistics::of(const double *values, std::size_t count)
{
    ReadingStatistics statistics;
    statistics.add(values, count);
    return statistics.summary();
}
