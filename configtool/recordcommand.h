// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

// `qr36tn-config record --seconds N [--interval-ms 200] --out DIR ADDRESS...`:
// records the readings of every listed module at once, each to DIR/ADDRESS.csv
// with its settings snapshot beside it, in the window's file format. SIGINT and
// SIGTERM end the recording early, with every row complete.
namespace RecordCommand {

// The program's exit status: 0 recorded, 2 a usage or file fault before any module
// was dialled, 3 a module not reached at the start, lost during the run, or whose
// file could not be written.
int run(const QStringList &arguments);

} // namespace RecordCommand
