// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

// The addresses a scan tries, from ranges as an operator types them: a network
// ("192.168.0.0/24", whose network and broadcast addresses are skipped), a range
// ("192.168.0.10-192.168.0.60") or a single address.
namespace AddressRange {

// More than this many need the operator's say-so (--force, or a question).
inline constexpr int mostUnasked = 1024;
// A /16: about five minutes of scanning where no address answers at all.
inline constexpr int mostAtAll = 65536;

// The ranges in a field's text, separated by blanks or commas.
QStringList split(const QString &text);

// The addresses the ranges hold, ascending and each once; nothing, and why, when a
// range is malformed, reaches an address no module can have (0.0.0.0, broadcast,
// multicast), or the ranges hold more than mostAtAll addresses.
std::optional<QVector<QHostAddress>> addressesOf(const QStringList &ranges, QString *problem);

// The network an address is in, as a range: ("192.168.0.7", 24) gives "192.168.0.0/24".
QString network(const QHostAddress &address, int prefixLength);

} // namespace AddressRange
