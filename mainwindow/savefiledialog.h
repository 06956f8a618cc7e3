// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QFileDialog;
class QWidget;

// Where the recording, the trend's picture, the capability window and the Type-1
// study write their files. No dialog blocks: the monitor goes on polling while the
// operator chooses or reads.
namespace SaveFileDialog {

// "<stem>-axis<N>-<date>-<time>.<suffix>", the name proposed for a file of an axis.
QString proposedName(const QString &stem, int axis, const QString &suffix);
// Opens a dialog in `folder` proposing `name`, which deletes itself when closed;
// its fileSelected gives the path chosen.
QFileDialog *open(QWidget *parent, const QString &title, const QString &filter, const QString &folder,
                  const QString &name);
// Tells that `path` could not be written.
void showFailure(QWidget *parent, const QString &title, const QString &path, const QString &error);

} // namespace SaveFileDialog
