// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "readingseries.h"
#include "pollreading.h"
#include "readingspread.h"

#include <QPointF>
#include <QVector>

#include <array>
#include <deque>
#include <vector>

// The readings the monitor took, for the trend and the spread: the latest ones at
// full rate, and the current or last recording as a running spread per axis and
// an envelope whose size stays bounded however long the recording runs. A trend
// holds a point with a y that is not a number where a gap breaks its line.
class ReadingHistory
{
public:
    static constexpr int maxAxes = PollReading::maxAxes;
    // More than 60 s at five readings a second, and the most "last readings" the spread offers.
    static constexpr int recentCapacity = 10000;
    // The envelope keeps between this many and twice as many spans of readings.
    static constexpr int envelopeSpans = 1000;

    // One poll `seconds` after an arbitrary origin; later polls have later times.
    void add(double seconds, const PollReading &reading);
    void clear();
    // The readings so far were taken to other decimals or in another unit: the
    // spreads start again.
    void restartSpreads();

    void startRecording(double seconds);
    void stopRecording() { recording = false; }
    bool isRecording() const { return recording; }

    // One axis over the last `span` seconds, x counted back from the latest reading
    // (<= 0), in at most `maxPoints` points (and a break for each gap): when there
    // are more readings, each group of neighbours gives its lowest and highest
    // value, so no extreme goes missing.
    QVector<QPointF> recentTrend(int axis, double span, int maxPoints) const;
    // The same over the recording, x in seconds since its start.
    QVector<QPointF> recordingTrend(int axis, int maxPoints) const;
    double recordingSeconds() const;

    ReadingSpread recordingSpread(int axis) const { return spreads.at(size_t(axis)); }
    ReadingSpread recentSpread(int axis, int readings) const;
    // The same readings whole, for the capability figures.
    const ReadingSeries &series() const { return readings; }

private:
    struct Reading
    {
        double seconds;
        bool gap;
        std::array<double, maxAxes> values;
        std::array<PollReading::Result, maxAxes> results;
    };
    // The lowest and highest value of one or more readings, and when they came.
    struct Extremes
    {
        double lowX;
        double low; // not a number when none of the readings had a value
        double highX;
        double high;
        bool breakAfter; // a gap follows
    };
    // Groups are counted from reading number 0, so that they stay put while the
    // window slides and the line does not shimmer from one redraw to the next.
    static QVector<QPointF> decimated(const std::vector<Extremes> &items, qint64 firstNumber, int maxPoints);

    struct Span
    {
        double first;
        double last;
        int readings;
        bool gapAfter; // the span's line breaks at its end
        // Single precision: only the chart draws them, in single precision itself.
        std::array<float, maxAxes> lowest;
        std::array<float, maxAxes> highest;
    };
    void addToEnvelope(double seconds, const Reading &reading);

    ReadingSeries readings;
    std::deque<Reading> recent;
    qint64 readingsTaken = 0; // the first reading in `recent` is number readingsTaken - recent.size()
    qint64 spreadsFrom = 0;   // the number of the first reading the recent spread may take
    bool recording = false;
    double recordingStart = 0.0;
    std::array<ReadingSpread, maxAxes> spreads;
    std::deque<Span> envelope;
    int readingsPerSpan = 1;
};
