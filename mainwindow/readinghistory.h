#pragma once

#include "readingspread.h"

#include <QPointF>
#include <QVector>

#include <array>
#include <deque>

// The readings the monitor took, for the trend and the spread: the latest ones at
// full rate, and the current or last recording as a running spread per axis and
// an envelope whose size stays bounded however long the recording runs.
class ReadingHistory
{
public:
    static constexpr int maxAxes = 16;
    // More than 60 s at five readings a second, and the most "last readings" the spread offers.
    static constexpr int recentCapacity = 10000;
    // The envelope keeps between this many and twice as many spans of readings.
    static constexpr int envelopeSpans = 1000;

    using Values = std::array<double, maxAxes>;

    // One poll `seconds` after an arbitrary origin; later polls have later times.
    void add(double seconds, const Values &values);
    void clear();

    void startRecording(double seconds);
    void stopRecording() { recording = false; }
    bool isRecording() const { return recording; }

    // One axis over the last `span` seconds, x counted back from the latest reading (<= 0).
    QVector<QPointF> recentTrend(int axis, double span) const;
    // One axis over the recording, x in seconds since its start. A span of several
    // readings gives its lowest and highest value.
    QVector<QPointF> recordingTrend(int axis) const;
    double recordingSeconds() const;

    ReadingSpread recordingSpread(int axis) const { return spreads.at(axis); }
    ReadingSpread recentSpread(int axis, int readings) const;

private:
    struct Reading
    {
        double seconds;
        Values values;
    };
    struct Span
    {
        double first;
        double last;
        int readings;
        Values lowest;
        Values highest;
    };
    void addToEnvelope(double seconds, const Values &values);

    std::deque<Reading> recent;
    bool recording = false;
    double recordingStart = 0.0;
    std::array<ReadingSpread, maxAxes> spreads;
    std::deque<Span> envelope;
    int readingsPerSpan = 1;
};
