// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

// qr36tn-config analyse FILE.csv [--axis N] [--lsl X --usl Y] [--master X --tolerance T] [--json]:
// the capability figures of a recording, the same as the window's for the same
// readings. It dials no module.
namespace AnalyseCommand {

// `arguments` is the whole command line, "analyse" second. The exit status: 0 done,
// 2 a usage or file fault, which is named on standard error.
int run(const QStringList &arguments);

} // namespace AnalyseCommand
