// SPDX-License-Identifier: GPL-3.0-or-later
#include "readingseries.h"

#include <algorithm>
#include <cmath>
#include <limits>

void ReadingSeries::add(const Values &values, bool recordingOn)
{
    ++polls;
    latestPolls.push_back(values);
    if (latestPolls.size() > std::size_t(recentCapacity))
        latestPolls.pop_front();
    if (!recordingOn)
        return;
    for (int axis = 0; axis < maxAxes; ++axis) {
        if (!std::isnan(values[axis])) {
            recording[axis].push_back(values[axis]);
            recordingStatistics[axis].add(values[axis]);
        }
    }
}

void ReadingSeries::startRecording()
{
    for (std::vector<double> &axis : recording) {
        axis.clear();
        axis.shrink_to_fit();
    }
    recordingStatistics = {};
}

void ReadingSeries::clear()
{
    startRecording();
    latestPolls.clear();
}

std::vector<double> ReadingSeries::recent(int axis, int pollCount) const
{
    std::vector<double> values;
    const std::size_t count = std::min(latestPolls.size(), std::size_t(std::max(pollCount, 0)));
    values.reserve(count);
    for (auto poll = latestPolls.end() - std::ptrdiff_t(count); poll != latestPolls.end(); ++poll) {
        if (!std::isnan((*poll)[std::size_t(axis)]))
            values.push_back((*poll)[std::size_t(axis)]);
    }
    return values;
}

double ReadingSeries::latest(int axis) const
{
    return latestPolls.empty() ? std::numeric_limits<double>::quiet_NaN() : latestPolls.back().at(std::size_t(axis));
}
