// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointF>
#include <QVector>

#include <cstddef>
#include <vector>

// The readings of one axis counted in bins of equal width.
struct Histogram
{
    double start = 0.0; // the low edge of the first bin
    double width = 0.0;
    std::vector<qint64> counts;

    // The readings lie on steps of `step` (the axis's resolution; 0 when unknown).
    // Bins are then whole steps wide with a step in their middle, so that no bin
    // catches one step more than its neighbours only because of where it ends.
    static Histogram of(const double *values, std::size_t count, double minimum, double maximum, double step,
                        int maxBins);

    double end() const { return start + width * double(counts.size()); }
};

// The normal density of `mean` and `sigma` scaled to a histogram of `count`
// readings in bins `binWidth` wide, at `points` points from `from` to `to`.
QVector<QPointF> normalCurve(double mean, double sigma, double count, double binWidth, double from, double to,
                             int points);
