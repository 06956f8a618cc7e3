// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QCommandLineParser;

// The options every command of qr36tn-config reads the same way.
namespace CommonOptions {

// The addresses of the --modules file, one a line ("#" begins a comment), or none
// when it is not given; nothing, and why, when the file is faulty.
std::optional<QStringList> moduleList(const QCommandLineParser &parser, QString *fault);
// --port: 1 to 65535.
std::optional<quint16> port(const QCommandLineParser &parser, QString *fault);

} // namespace CommonOptions
