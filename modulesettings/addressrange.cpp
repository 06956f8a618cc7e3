// SPDX-License-Identifier: GPL-3.0-or-later
#include "addressrange.h"

#include "fieldtext.h"

#include <QRegularExpression>

#include <algorithm>
#include <vector>

namespace AddressRange {

namespace {

struct Span
{
    quint32 first;
    quint32 last;
};

QString quoted(const QString &text)
{
    return QStringLiteral("\"%1\"").arg(text);
}

quint32 maskOf(int prefixLength)
{
    return prefixLength == 0 ? 0 : ~quint32(0) << (32 - prefixLength);
}

std::optional<quint32> addressValue(const QString &text, QString *problem)
{
    const std::optional<QHostAddress> address = FieldText::addressOf(text);
    if (!address) {
        *problem = FieldText::addressProblem(text);
        return std::nullopt;
    }
    return address->toIPv4Address();
}

std::optional<Span> spanOf(const QString &range, QString *problem)
{
    const int slash = range.indexOf(QLatin1Char('/'));
    const int dash = range.indexOf(QLatin1Char('-'));
    if (slash >= 0 && dash >= 0) {
        *problem = QStringLiteral("%1 is no range such as 192.168.0.0/24 or 192.168.0.10-192.168.0.60").arg(quoted(range));
        return std::nullopt;
    }
    if (slash >= 0) {
        const std::optional<quint32> base = addressValue(range.left(slash), problem);
        if (!base)
            return std::nullopt;
        const std::optional<int> length = FieldText::integerOf(range.mid(slash + 1), {0, 32});
        if (!length) {
            *problem = QStringLiteral("%1: the prefix length after \"/\" must be a whole number from 0 to 32")
                               .arg(quoted(range));
            return std::nullopt;
        }
        const quint32 mask = maskOf(*length);
        Span span{*base & mask, (*base & mask) | ~mask};
        // The first and last address of a network name the network and its broadcast;
        // a /31 or /32 has neither.
        if (*length <= 30) {
            ++span.first;
            --span.last;
        }
        return span;
    }
    if (dash >= 0) {
        const std::optional<QHostAddress> from = FieldText::addressOf(range.left(dash));
        const std::optional<QHostAddress> to = FieldText::addressOf(range.mid(dash + 1));
        if (!from || !to) {
            *problem = QStringLiteral("%1 is not a range of IPv4 addresses such as 192.168.0.10-192.168.0.60")
                               .arg(quoted(range));
            return std::nullopt;
        }
        if (from->toIPv4Address() > to->toIPv4Address()) {
            *problem = QStringLiteral("%1 runs backwards: give the lower address first").arg(quoted(range));
            return std::nullopt;
        }
        return Span{from->toIPv4Address(), to->toIPv4Address()};
    }
    const std::optional<quint32> single = addressValue(range, problem);
    if (!single)
        return std::nullopt;
    return Span{*single, *single};
}

// The lowest address of the span that no module can have.
std::optional<quint32> firstUnreachable(const Span &span)
{
    constexpr quint32 multicastFirst = 0xe0000000u;
    constexpr quint32 multicastLast = 0xefffffffu;
    if (span.first == 0)
        return 0;
    if (span.first <= multicastLast && span.last >= multicastFirst)
        return std::max(span.first, multicastFirst);
    if (span.last == 0xffffffffu)
        return span.last;
    return std::nullopt;
}

} // namespace

QStringList split(const QString &text)
{
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    return text.split(separators, Qt::SkipEmptyParts);
}

std::optional<QVector<QHostAddress>> addressesOf(const QStringList &ranges, QString *problem)
{
    if (ranges.isEmpty()) {
        *problem = QStringLiteral("no address range given");
        return std::nullopt;
    }
    std::vector<Span> spans;
    for (const QString &range : ranges) {
        const std::optional<Span> span = spanOf(range, problem);
        if (!span)
            return std::nullopt;
        if (const std::optional<quint32> unreachable = firstUnreachable(*span)) {
            *problem = QStringLiteral("%1: %2").arg(
                    quoted(range), FieldText::moduleAddressProblem(QHostAddress(*unreachable).toString()));
            return std::nullopt;
        }
        spans.push_back(*span);
    }
    // Overlapping ranges are merged, so that an address is counted and tried once.
    std::sort(spans.begin(), spans.end(), [](const Span &a, const Span &b) { return a.first < b.first; });
    std::vector<Span> merged;
    quint64 count = 0;
    for (const Span &span : spans) {
        if (!merged.empty() && quint64(span.first) <= quint64(merged.back().last) + 1) {
            count += span.last > merged.back().last ? span.last - merged.back().last : 0;
            merged.back().last = std::max(merged.back().last, span.last);
        } else {
            count += quint64(span.last) - span.first + 1;
            merged.push_back(span);
        }
    }
    if (count > quint64(mostAtAll)) {
        *problem = QStringLiteral("the ranges hold %1 addresses; a scan takes at most %2").arg(count).arg(mostAtAll);
        return std::nullopt;
    }
    QVector<QHostAddress> addresses;
    addresses.reserve(int(count));
    for (const Span &span : merged) {
        for (quint64 value = span.first; value <= span.last; ++value)
            addresses.append(QHostAddress(quint32(value)));
    }
    return addresses;
}

QString network(const QHostAddress &address, int prefixLength)
{
    const quint32 mask = maskOf(prefixLength);
    return QStringLiteral("%1/%2").arg(QHostAddress(address.toIPv4Address() & mask).toString()).arg(prefixLength);
}

} // namespace AddressRange
