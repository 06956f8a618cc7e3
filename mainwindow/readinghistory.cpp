// SPDX-License-Identifier: GPL-3.0-or-later
#include "readinghistory.h"

#include <algorithm>
#include <cmath>

void ReadingHistory::add(double seconds, const PollReading &poll)
{
    Reading reading{seconds, poll.gap, {}, {}};
    reading.values.fill(NAN);
    reading.results.fill(PollReading::Result::Gap);
    for (int axis = 0; axis < poll.axisCount; ++axis) {
        reading.values[axis] = poll.values[axis];
        reading.results[axis] = poll.results[axis];
    }
    recent.push_back(reading);
    // A poll answered before the start and handed over after it is not the recording's.
    const bool recorded = recording && seconds >= recordingStart;
    // Gaps and errors have no value, and the capability figures leave them out.
    readings.add(reading.values, recorded);
    ++readingsTaken;
    if (recent.size() > recentCapacity)
        recent.pop_front();
    if (!recorded)
        return;
    for (int axis = 0; axis < poll.axisCount; ++axis)
        spreads[axis].add(poll.values[axis], poll.results[axis]);
    addToEnvelope(seconds - recordingStart, reading);
}

void ReadingHistory::clear()
{
    recent.clear();
    readings.clear();
    recording = false;
    spreads = {};
    spreadsFrom = readingsTaken;
    envelope.clear();
    readingsPerSpan = 1;
}

void ReadingHistory::restartSpreads()
{
    spreads = {};
    spreadsFrom = readingsTaken;
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
// error reading neither widens nor hides a span. A gap ends its span, and the
// reading after it starts a new one.
void ReadingHistory::addToEnvelope(double seconds, const Reading &reading)
{
    if (reading.gap) {
        if (!envelope.empty())
            envelope.back().gapAfter = true;
        return;
    }
    if (envelope.empty() || envelope.back().readings >= readingsPerSpan || envelope.back().gapAfter) {
        Span span{seconds, seconds, 1, false, {}, {}};
        std::copy(reading.values.begin(), reading.values.end(), span.lowest.begin());
        span.highest = span.lowest;
        envelope.push_back(span);
    } else {
        Span &span = envelope.back();
        span.last = seconds;
        ++span.readings;
        for (int axis = 0; axis < maxAxes; ++axis) {
            span.lowest[axis] = std::fmin(span.lowest[axis], float(reading.values[axis]));
            span.highest[axis] = std::fmax(span.highest[axis], float(reading.values[axis]));
        }
    }
    if (envelope.size() < 2 * envelopeSpans)
        return;
    // Full: every two neighbouring spans become one, and later spans take twice the
    // readings. A gap between the two is kept as one after the merged span.
    std::deque<Span> merged;
    for (size_t i = 0; i + 1 < envelope.size(); i += 2) {
        Span span = envelope[i];
        const Span &next = envelope[i + 1];
        span.last = next.last;
        span.readings += next.readings;
        span.gapAfter = span.gapAfter || next.gapAfter;
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
    Extremes group{0.0, NAN, 0.0, NAN, false};
    const auto flush = [&points, &group] {
        if (!std::isnan(group.low)) {
            if (group.lowX == group.highX && group.low == group.high) {
                points.append(QPointF(group.lowX, group.low));
            } else if (group.lowX <= group.highX) {
                points.append(QPointF(group.lowX, group.low));
                points.append(QPointF(group.highX, group.high));
            } else {
                points.append(QPointF(group.highX, group.high));
                points.append(QPointF(group.lowX, group.low));
            }
        }
        if (group.breakAfter && !points.isEmpty() && !std::isnan(points.constLast().y()))
            points.append(QPointF(points.constLast().x(), NAN));
        group = {0.0, NAN, 0.0, NAN, false};
    };
    qint64 position = firstNumber % groupSize;
    for (const Extremes &item : items) {
        if (position == 0)
            flush();
        if (++position == groupSize)
            position = 0;
        group.breakAfter = group.breakAfter || item.breakAfter;
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
    group.breakAfter = false;
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
        items.push_back({x, value, x, value, reading->gap});
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
        items.push_back({x, span.lowest[axis], x, span.highest[axis], span.gapAfter});
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
    const qint64 since = std::min<qint64>(readingsTaken - spreadsFrom, qint64(recent.size()));
    const size_t count = size_t(std::min<qint64>(since, std::max(readings, 0)));
    for (auto reading = recent.end() - qint64(count); reading != recent.end(); ++reading)
        spread.add(reading->values[axis], reading->results[axis]);
    return spread;
}
