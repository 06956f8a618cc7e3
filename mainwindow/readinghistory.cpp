#include "readinghistory.h"

#include <cmath>

void ReadingHistory::add(double seconds, const Values &values)
{
    recent.push_back({seconds, values});
    if (recent.size() > recentCapacity)
        recent.pop_front();
    if (!recording)
        return;
    for (int axis = 0; axis < maxAxes; ++axis)
        spreads[axis].add(values[axis]);
    addToEnvelope(seconds - recordingStart, values);
}

void ReadingHistory::clear()
{
    recent.clear();
    recording = false;
    spreads = {};
    envelope.clear();
    readingsPerSpan = 1;
}

void ReadingHistory::startRecording(double seconds)
{
    recording = true;
    recordingStart = seconds;
    spreads = {};
    envelope.clear();
    readingsPerSpan = 1;
}

// std::fmin and std::fmax take the other operand when one is not a number, so an
// error reading neither widens nor hides a span.
void ReadingHistory::addToEnvelope(double seconds, const Values &values)
{
    if (envelope.empty() || envelope.back().readings >= readingsPerSpan) {
        envelope.push_back({seconds, seconds, 1, values, values});
    } else {
        Span &span = envelope.back();
        span.last = seconds;
        ++span.readings;
        for (int axis = 0; axis < maxAxes; ++axis) {
            span.lowest[axis] = std::fmin(span.lowest[axis], values[axis]);
            span.highest[axis] = std::fmax(span.highest[axis], values[axis]);
        }
    }
    if (envelope.size() < 2 * envelopeSpans)
        return;
    // Full: every two neighbouring spans become one, and later spans take twice the readings.
    std::deque<Span> merged;
    for (size_t i = 0; i + 1 < envelope.size(); i += 2) {
        Span span = envelope[i];
        const Span &next = envelope[i + 1];
        span.last = next.last;
        span.readings += next.readings;
        for (int axis = 0; axis < maxAxes; ++axis) {
            span.lowest[axis] = std::fmin(span.lowest[axis], next.lowest[axis]);
            span.highest[axis] = std::fmax(span.highest[axis], next.highest[axis]);
        }
        merged.push_back(span);
    }
    envelope.swap(merged);
    readingsPerSpan *= 2;
}

QVector<QPointF> ReadingHistory::recentTrend(int axis, double span) const
{
    QVector<QPointF> points;
    if (recent.empty())
        return points;
    const double latest = recent.back().seconds;
    auto first = recent.end();
    while (first != recent.begin() && std::prev(first)->seconds >= latest - span)
        --first;
    points.reserve(int(std::distance(first, recent.end())));
    for (auto reading = first; reading != recent.end(); ++reading) {
        const double value = reading->values[axis];
        if (!std::isnan(value))
            points.append(QPointF(reading->seconds - latest, value));
    }
    return points;
}

QVector<QPointF> ReadingHistory::recordingTrend(int axis) const
{
    QVector<QPointF> points;
    points.reserve(int(2 * envelope.size()));
    for (const Span &span : envelope) {
        const double lowest = span.lowest[axis];
        const double highest = span.highest[axis];
        if (std::isnan(lowest))
            continue;
        points.append(QPointF(span.first, lowest));
        if (highest != lowest)
            points.append(QPointF(span.last, highest));
    }
    return points;
}

double ReadingHistory::recordingSeconds() const
{
    return envelope.empty() ? 0.0 : envelope.back().last;
}

ReadingSpread ReadingHistory::recentSpread(int axis, int readings) const
{
    ReadingSpread spread;
    const size_t count = std::min(recent.size(), size_t(std::max(readings, 0)));
    for (auto reading = recent.end() - count; reading != recent.end(); ++reading)
        spread.add(reading->values[axis]);
    return spread;
}
