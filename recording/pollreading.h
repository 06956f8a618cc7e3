// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "heldsettings.h"

#include <QString>

#include <array>
#include <optional>

struct CommunicationLogEntry;

// What one poll of the monitor gave, as the recording keeps it. A poll that got no
// answer, or whose answer could not be decoded, is a gap: no axis has a value.
struct PollReading
{
    static constexpr int maxAxes = ReadingSettings::maxAxes;

    enum class Result {
        NotJudged, // the data format carries no comparator letter
        Ok,
        High,
        Low,
        Error, // the module reported an error; no value
        Gap
    };

    qint64 timeMs = 0; // since the epoch, when the answer came or the wait ended
    int axisCount = 0;
    bool gap = false;
    std::array<double, maxAxes> values{};
    std::array<QString, maxAxes> modes;
    std::array<Result, maxAxes> results{};

    // The outcome of a poll from the link's log: its answer, decoded with the data
    // format the module holds, or its time-out. Nothing for any other entry.
    static std::optional<PollReading> fromLogEntry(const CommunicationLogEntry &entry, const ReadingSettings &settings);
    static PollReading gapAt(qint64 timeMs, int axisCount);

    // "OK", "HI", "LO", "ERR", "GAP", or empty when nothing was judged.
    static QString resultText(Result result);
};
