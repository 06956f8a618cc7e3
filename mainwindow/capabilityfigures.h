// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capability.h"
#include "controlchart.h"
#include "readingstatistics.h"

#include <QString>

#include <vector>

class ReadingSeries;
struct ReadingSettings;

// One axis's capability figures as the window shows them, from the readings of the
// spread (the whole recording or the last polls) and the limits of the axis's
// active comparator set as the module holds them.
struct CapabilityFigures
{
    static constexpr int wholeRecording = 0;

    // `lastPolls` 0 for the whole recording, whose statistics the series keeps up to
    // date. The figures read `series`, which must outlive them.
    static CapabilityFigures of(const ReadingSettings &held, const ReadingSeries &series, int axis, int lastPolls);

    const std::vector<double> &readings() const { return source ? *source : ownReadings; }

    int axis = 0;
    ReadingSummary summary;
    Capability::Limits limits;
    Capability::Indices indices;
    ControlChart::Limits control;
    int decimals = 4;  // of the axis's values on screen
    double step = 0.0; // between two readings the module can give

private:
    const std::vector<double> *source = nullptr;
    std::vector<double> ownReadings;
};
