// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

// Count, mean, extremes and standard deviation of one axis's readings, taken one
// at a time. Welford's update keeps the digits of a small spread on a large value,
// where a sum of squares would cancel them. Readings that are not a number (the
// module's error) are not counted.
class ReadingSpread
{
public:
    void add(double value)
    {
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

private:
    static double nan() { return std::numeric_limits<double>::quiet_NaN(); }

    int n = 0;
    double m = 0.0;
    double squares = 0.0;
    double lowest = 0.0;
    double highest = 0.0;
};
