// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modulescanner.h"

#include <QHostAddress>
#include <QStringList>
#include <QVector>

#include <optional>

class Console;
class QCommandLineParser;

// qr36tn-config scan RANGE...: finds the modules in address ranges and lists them.
namespace ScanCommand {

enum Exit { exitFound = 0, exitNoneFound = 1 };

struct Usage
{
    QStringList ranges; // as given, --modules addresses last
    QVector<QHostAddress> addresses;
    ModuleScanner::Options options;
    bool json = false;
};

// The scan's command line, or why it is not one.
std::optional<Usage> usage(const QCommandLineParser &parser, QString *fault);
// Scans, prints what it found and gives the exit status.
int run(const Usage &usage, Console &console);

} // namespace ScanCommand
