// SPDX-License-Identifier: GPL-3.0-or-later
#include "savefiledialog.h"

#include "moduleprotocol.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace SaveFileDialog {

QString proposedName(const QString &stem, int axis, const QString &suffix)
{
    return QStringLiteral("%1-axis%2-%3.%4")
            .arg(stem, ModuleProtocol::axisName(axis),
                 QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")), suffix);
}

QFileDialog *open(QWidget *parent, const QString &title, const QString &filter, const QString &folder,
                  const QString &name)
{
    auto *dialog = new QFileDialog(parent, title);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setNameFilter(filter);
    dialog->setDefaultSuffix(QFileInfo(name).suffix());
    dialog->setDirectory(folder);
    dialog->selectFile(name);
    dialog->open();
    return dialog;
}

void showFailure(QWidget *parent, const QString &title, const QString &path, const QString &error)
{
    auto *box = new QMessageBox(
            QMessageBox::Warning, title,
            QStringLiteral("\"%1\" could not be written: %2.").arg(QDir::toNativeSeparators(path), error),
            QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace SaveFileDialog
