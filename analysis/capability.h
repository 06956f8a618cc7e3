// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "readingstatistics.h"

#include <QString>

// Process capability and the Type-1 gauge study of one axis. An index that cannot
// be computed has no value and says why; it is never shown as a number.
namespace Capability {

struct Index
{
    double value = ReadingSummary::nan;
    QString reason; // empty when the value is known

    bool known() const { return reason.isEmpty(); }
};

// The axis's active comparator set: LSL its low limit, USL its high limit.
struct Limits
{
    double lower = ReadingSummary::nan;
    double upper = ReadingSummary::nan;
};

struct Indices
{
    Index cp;  // (USL - LSL) / 6 sigmaWithin
    Index cpk; // min(USL - mean, mean - LSL) / 3 sigmaWithin
    Index pp;  // (USL - LSL) / 6 s
    Index ppk; // min(USL - mean, mean - LSL) / 3 s

    // Why none could be computed, or empty; the four share their reasons.
    QString reason() const { return cp.known() ? ppk.reason : cp.reason; }
};

Indices indices(const ReadingSummary &summary, const Limits &limits);

// Two decimals, or "—" for an index that could not be computed.
QString text(const Index &index);

struct GaugeStudy
{
    double bias = ReadingSummary::nan; // mean - master
    Index cg;                          // 0.2 T / 6 s
    Index cgk;                         // (0.1 T - |mean - master|) / 3 s

    bool passes(double threshold) const
    {
        return cg.known() && cgk.known() && cg.value >= threshold && cgk.value >= threshold;
    }
};

constexpr double defaultThreshold = 1.33;

GaugeStudy gaugeStudy(const ReadingSummary &summary, double master, double tolerance);

} // namespace Capability
