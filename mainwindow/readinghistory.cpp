// SPDX-License-Identifier: GPL-3.0-or-later
#include "readinghistory.h"

#include <cmath>

void ReadingHistory::add(double seconds, const Values &values)
{
    recent.push_back({seconds, values});
    readings.add(values, recording);
    ++readingsTaken;
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
    readings.clear();
    recording = false;
    spreads = {};
    envelope.clear();
    readingsPerSpan = 1;
}

void ReadingHistory::startRecording(double seconds)
{
    recording = true;
    readings.startRecording();
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

QVector<QPointF> ReadingHistory::decimated(const std::vector<Extremes> &items, qint64 firstNumber, int maxPoints)
{
    QVector<QPointF> points;
    if (items.empty())
        return points;
    // One group fewer than the points allow: the groups need not start with the items.
    const qint64 groups = std::max(maxPoints / 2 - 1, 1);
    const qint64 groupSize = qint64(items.size()) <= maxPoints ? 1 : (qint64(items.size()) + groups - 1) / groups;
    points.reserve(int(2 * (items.size() / groupSize + 2)));
    Extremes group{0.0, NAN, 0.0, NAN};
    const auto flush = [&points, &group] {
        if (std::isnan(group.low))
            return;
        if (group.lowX == group.highX && group.low == group.high) {
            points.append(QPointF(group.lowX, group.low));
        } else if (group.lowX <= group.highX) {
            points.append(QPointF(group.lowX, group.low));
            points.append(QPointF(group.highX, group.high));
        } else {
            points.append(QPointF(group.highX, group.high));
            points.append(QPointF(group.lowX, group.low));
        }
        group = {0.0, NAN, 0.0, NAN};
    };
    qint64 position = firstNumber % groupSize;
    for (const Extremes &item : items) {
        if (position == 0)
            flush();
        if (++position == groupSize)
            position = 0;
        if (std::isnan(item.low))
            continue;
        if (std::isnan(group.low) || item.low < group.low) {
            group.lowX = item.lowX;
            group.low = item.low;
        }
        if (std::isnan(group.high) || item.high > group.high) {
            group.highX = item.highX;
            group.high = item.high;
        }
    }
    flush();
    return points;
}

QVector<QPointF> ReadingHistory::recentTrend(int axis, double span, int maxPoints) const
{
    if (recent.empty())
        return {};
    const double latest = recent.back().seconds;
    auto first = recent.end();
    while (first != recent.begin() && std::prev(first)->seconds >= latest - span)
        --first;
    std::vector<Extremes> items;
    items.reserve(size_t(std::distance(first, recent.end())));
    for (auto reading = first; reading != recent.end(); ++reading) {
        const double x = reading->seconds - latest;
        const double value = reading->values[axis];
        items.push_back({x, value, x, value});
    }
    return decimated(items, readingsTaken - qint64(items.size()), maxPoints);
}

// A span's extremes are drawn at its middle: when within it they came is not kept.
QVector<QPointF> ReadingHistory::recordingTrend(int axis, int maxPoints) const
{
    std::vector<Extremes> items;
    items.reserve(envelope.size());
    for (const Span &span : envelope) {
        const double x = (span.first + span.last) / 2;
        items.push_back({x, span.lowest[axis], x, span.highest[axis]});
    }
    return decimated(items, 0, maxPoints);
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
