// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pollreading.h"

#include <algorithm>
#include <cmath>
#include <limits>

// Count, mean, extremes and standard deviation of one axis's readings, taken one
// at a time, and how the module judged them. Welford's update keeps the digits of
// a small spread on a large value, where a sum of squares would cancel them. Only
// readings with a value go into the figures: errors and gaps are counted apart.
class ReadingSpread
{
public:
    void add(double value, PollReading::Result result)
    {
        using Result = PollReading::Result;
        switch (result) {
        case Result::Ok:
            ++within;
            break;
        case Result::High:
            ++above;
            break;
        case Result::Low:
            ++below;
            break;
        case Result::Error:
            ++errors;
            return;
        case Result::Gap:
            ++gaps;
            return;
        case Result::NotJudged:
            break;
        }
        if (std::isnan(value))
            return;
        ++n;
        const double delta = value - m;
        m += delta / n;
        squares += delta * (value - m);
        lowest = n == 1 ? value : std::min(lowest, value);
        highest = n == 1 ? value : std::max(highest, value);
    }

    int count() const { return n; }
    double mean() const { return n ? m : nan(); }
    double minimum() const { return n ? lowest : nan(); }
    double maximum() const { return n ? highest : nan(); }
    double range() const { return n ? highest - lowest : nan(); }
    // The sample standard deviation (n - 1), as for a repeatability check; 0 for one reading.
    double standardDeviation() const { return n > 1 ? std::sqrt(squares / (n - 1)) : n ? 0.0 : nan(); }

    // The module's judgements; all three are 0 in the data formats that carry none.
    int withinLimits() const { return within; }
    int aboveLimit() const { return above; }
    int belowLimit() const { return below; }
    int errorCount() const { return errors; }
    int gapCount() const { return gaps; }

private:
    static double nan() { return std::numeric_limits<double>::quiet_NaN(); }

    int n = 0;
    double m = 0.0;
    double squares = 0.0;
    double lowest = 0.0;
    double highest = 0.0;
    int within = 0;
    int above = 0;
    int below = 0;
    int errors = 0;
    int gaps = 0;
};
