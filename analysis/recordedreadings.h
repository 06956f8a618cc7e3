// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "readingstatistics.h"

#include <QString>

#include <optional>
#include <vector>

// A recording of the monitor's readings as the tool writes it: RFC 4180 text with
// "," and a decimal point or ";" and a decimal comma, the header lines, the column
// names, then one row per poll with each axis's value, mode and result. Read in
// one pass that keeps no reading: each axis's readings that have a value go into
// its statistics in file order; rows of a poll that got no answer (GAP) are counted.
struct RecordedReadings
{
    struct Axis
    {
        ReadingStatistics statistics;
        qint64 withoutValue = 0; // ERR, or a value the module could not give
    };

    // Nothing when the file cannot be read or is not such a recording; `error`
    // then says why, naming the line.
    static std::optional<RecordedReadings> read(const QString &path, QString *error);
    // The same of the file's bytes.
    static std::optional<RecordedReadings> parse(const char *begin, const char *end, QString *error);

    QString moduleAddress;
    int unitNumber = 0;
    int axisCount = 0;
    QString dataFormat;
    QString unit;
    QString toolVersion;
    QString startTime;
    QString settingsFile; // relative to the recording's folder; empty when the file names none
    char separator = ',';
    qint64 rows = 0; // polls, gaps included
    qint64 gaps = 0;
    std::vector<Axis> axes;
};
