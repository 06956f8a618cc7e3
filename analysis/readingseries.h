// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "readingstatistics.h"

#include <QtGlobal>

#include <array>
#include <deque>
#include <vector>

// The monitor's readings for the capability figures: every reading of the current
// or last recording, and the latest polls, whether recording or not. The recording
// keeps only readings that have a value, in order, 8 bytes each: 8 hours of 16
// axes at five polls a second take 18 MB.
class ReadingSeries
{
public:
    static constexpr int maxAxes = 16;
    // As many as the spread offers for its "last readings".
    static constexpr int recentCapacity = 10000;

    using Values = std::array<double, maxAxes>;

    // One poll; not a number where an axis had no value (an error, or no such axis).
    void add(const Values &values, bool recording);
    void startRecording();
    void clear();

    // The recording's readings of an axis, errors left out.
    const std::vector<double> &recorded(int axis) const { return recording.at(axis); }
    // Their statistics, kept up to date as they come.
    ReadingSummary recordedSummary(int axis) const { return recordingStatistics.at(axis).summary(); }
    // The readings of an axis among the last `polls` polls, errors left out.
    std::vector<double> recent(int axis, int polls) const;

    // Counts every poll, so that a reader can tell a new one.
    qint64 pollsTaken() const { return polls; }
    // The value of the latest poll; not a number when there is none or it had none.
    double latest(int axis) const;

private:
    std::array<std::vector<double>, maxAxes> recording;
    std::array<ReadingStatistics, maxAxes> recordingStatistics;
    std::deque<Values> latestPolls;
    qint64 polls = 0;
};
