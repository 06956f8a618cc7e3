// SPDX-License-Identifier: GPL-3.0-or-later
#include "capabilityfigures.h"

#include "heldsettings.h"
#include "readingformat.h"
#include "readingseries.h"

#include <algorithm>
#include <cmath>

namespace {

// The resolutions 0.1, 0.5, 1, 5 and 10 um in mm; in mm/25.4 the values are
// rounded to the decimals shown.
double readingStep(int resolution, int unit, int decimals)
{
    static constexpr double millimetres[5] = {0.0001, 0.0005, 0.001, 0.005, 0.01};
    if (unit == 0 && resolution >= 1 && resolution <= 5)
        return millimetres[resolution - 1];
    return std::pow(10.0, -decimals);
}

} // namespace

CapabilityFigures CapabilityFigures::of(const ReadingSettings &held, const ReadingSeries &series, int axis,
                                        int lastPolls)
{
    CapabilityFigures figures;
    figures.axis = axis;
    if (lastPolls == wholeRecording) {
        figures.source = &series.recorded(axis);
        figures.summary = series.recordedSummary(axis);
    } else {
        figures.ownReadings = series.recent(axis, lastPolls);
        figures.summary = ReadingStatistics::of(figures.ownReadings.data(), figures.ownReadings.size());
    }
    figures.limits = {held.lowLimit[size_t(axis)], held.highLimit[size_t(axis)]};
    figures.indices = Capability::indices(figures.summary, figures.limits);
    figures.control = ControlChart::limits(figures.summary);
    figures.decimals = held.decimals(axis);
    figures.step = readingStep(held.resolution[size_t(axis)], held.unit, figures.decimals);
    return figures;
}
