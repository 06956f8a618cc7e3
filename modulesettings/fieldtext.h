// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

#include <limits>
#include <optional>

// How setting values are written as text, and how text typed by an operator is read
// back. Reading is checked: `numberOf`, `integerOf` and `addressOf` give no value for
// a text that does not hold one, and the matching `...Problem` says why, in words for
// the operator. Nothing here knows about widgets.
namespace FieldText {

struct IntegerRange
{
    int minimum;
    int maximum;
};
inline constexpr IntegerRange anyInteger{std::numeric_limits<int>::min(), std::numeric_limits<int>::max()};
inline constexpr IntegerRange portRange{0, 65535};

QString number(double value);                         // as sent: exactNumberText, so it reads back exactly
std::optional<double> numberOf(const QString &text);  // a finite number in the C locale
QString numberProblem(const QString &text);

QString integer(int value);
std::optional<int> integerOf(const QString &text, IntegerRange range = anyInteger); // base 10
QString integerProblem(const QString &text, IntegerRange range = anyInteger);

QString address(const QHostAddress &value);
std::optional<QHostAddress> addressOf(const QString &text); // dotted IPv4: four numbers 0 to 255
QString addressProblem(const QString &text);
// An address a module can answer at: also not 0.0.0.0 (this computer), the
// broadcast address or a multicast address.
std::optional<QHostAddress> moduleAddressOf(const QString &text);
QString moduleAddressProblem(const QString &text);
// The modules named on a command line: each a module's address, none twice; nothing,
// and the first fault in `fault`, otherwise.
std::optional<QList<QHostAddress>> addressesOf(const QStringList &texts, QString *fault);

} // namespace FieldText
