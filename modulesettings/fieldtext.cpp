// SPDX-License-Identifier: GPL-3.0-or-later
#include "fieldtext.h"

#include "commandframing.h"

#include <QStringList>

#include <cmath>

namespace FieldText {

namespace {
// The text as the message quotes it: long texts are cut, so that the words after them still show.
QString quoted(const QString &text)
{
    if (text.isEmpty())
        return QStringLiteral("An empty field");
    constexpr int longest = 24;
    const QString shown = text.size() > longest ? text.left(longest - 3) + QStringLiteral("...") : text;
    return QStringLiteral("\"%1\"").arg(shown);
}
} // namespace

QString number(double value)
{
    return exactNumberText(value);
}

// QString::toDouble always reads the C locale, and reads "nan" and "inf" too.
std::optional<double> numberOf(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString numberProblem(const QString &text)
{
    return QStringLiteral("%1 is not a number (decimals take a point, as in -1.5)")
        .arg(quoted(text));
}

QString integer(int value)
{
    return QString::number(value);
}

std::optional<int> integerOf(const QString &text, IntegerRange range)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok, 10);
    if (!ok || value < range.minimum || value > range.maximum)
        return std::nullopt;
    return static_cast<int>(value);
}

QString integerProblem(const QString &text, IntegerRange range)
{
    if (range.minimum == anyInteger.minimum && range.maximum == anyInteger.maximum)
        return QStringLiteral("%1 is not a whole number").arg(quoted(text));
    return QStringLiteral("%1 is not a whole number from %2 to %3")
        .arg(quoted(text))
        .arg(range.minimum)
        .arg(range.maximum);
}

QString address(const QHostAddress &value)
{
    return value.toString();
}

// Stricter than QHostAddress, which also takes IPv6 and short forms such as "10.1",
// none of which a module's address field holds.
std::optional<QHostAddress> addressOf(const QString &text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    quint32 value = 0;
    for (const QString &part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return std::nullopt;
        for (const QChar digit : part) {
            if (digit < QLatin1Char('0') || digit > QLatin1Char('9'))
                return std::nullopt;
        }
        const uint octet = part.toUInt();
        if (octet > 255)
            return std::nullopt;
        value = value << 8 | octet;
    }
    return QHostAddress(value);
}

QString addressProblem(const QString &text)
{
    return QStringLiteral("%1 is not an IPv4 address such as 192.168.0.10")
        .arg(quoted(text));
}

namespace {
// Why no module can be at this address; empty when one can.
QString unreachableBecause(const QHostAddress &address)
{
    const quint32 value = address.toIPv4Address();
    if (value == 0)
        return QStringLiteral("stands for this computer");
    if (value == 0xffffffffu)
        return QStringLiteral("is the broadcast address");
    if ((value >> 28) == 0xe)
        return QStringLiteral("is a multicast address");
    return QString();
}
} // namespace

std::optional<QHostAddress> moduleAddressOf(const QString &text)
{
    const std::optional<QHostAddress> address = addressOf(text);
    if (!address || !unreachableBecause(*address).isEmpty())
        return std::nullopt;
    return address;
}

QString moduleAddressProblem(const QString &text)
{
    const std::optional<QHostAddress> address = addressOf(text);
    if (!address)
        return addressProblem(text);
    return QStringLiteral("%1 %2, not a module's address").arg(quoted(text), unreachableBecause(*address));
}

std::optional<QList<QHostAddress>> addressesOf(const QStringList &texts, QString *fault)
{
    QList<QHostAddress> addresses;
    for (const QString &text : texts) {
        const std::optional<QHostAddress> address = moduleAddressOf(text);
        if (!address) {
            *fault = moduleAddressProblem(text);
            return std::nullopt;
        }
        if (addresses.contains(*address)) {
            *fault = QStringLiteral("%1 is named twice").arg(text);
            return std::nullopt;
        }
        addresses << *address;
    }
    return addresses;
}

} // namespace FieldText
