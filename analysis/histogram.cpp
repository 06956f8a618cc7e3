// SPDX-License-Identifier: GPL-3.0-or-later
#include "histogram.h"

#include <algorithm>
#include <cmath>

Histogram Histogram::of(const double *values, std::size_t count, double minimum, double maximum, double step,
                        int maxBins)
{
    Histogram histogram;
    if (count == 0 || !(maximum >= minimum))
        return histogram;
    // About the square root of the count, as few as 5 and as many as the chart holds.
    const int wanted = std::clamp(int(std::lround(std::sqrt(double(count)))), 5, std::max(maxBins, 5));
    const double span = maximum - minimum;
    double width = span > 0.0 ? span / wanted : std::max(std::abs(maximum) * 1e-6, 1e-9);
    if (step > 0.0) {
        width = std::max(step, std::ceil(width / step - 1e-9) * step);
        histogram.start = minimum - step / 2.0;
    } else {
        histogram.start = span > 0.0 ? minimum : minimum - width / 2.0;
    }
    histogram.width = width;
    const std::size_t bins = std::size_t(std::max(1.0, std::floor((maximum - histogram.start) / width) + 1.0));
    histogram.counts.assign(bins, 0);
    for (std::size_t i = 0; i < count; ++i) {
        const double bin = std::floor((values[i] - histogram.start) / width);
        ++histogram.counts[std::size_t(std::clamp(bin, 0.0, double(bins - 1)))];
    }
    return histogram;
}

QVector<QPointF> normalCurve(double mean, double sigma, double count, double binWidth, double from, double to,
                             int points)
{
    QVector<QPointF> curve;
    if (!(sigma > 0.0) || points < 2)
        return curve;
    curve.reserve(points);
    const double scale = count * binWidth / (sigma * std::sqrt(2.0 * M_PI));
    for (int i = 0; i < points; ++i) {
        const double x = from + (to - from) * i / (points - 1);
        const double z = (x - mean) / sigma;
        curve.append(QPointF(x, scale * std::exp(-0.5 * z * z)));
    }
    return curve;
}
