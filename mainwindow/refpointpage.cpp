// SPDX-License-Identifier: GPL-3.0-or-later
// The reference-point page: one row per axis, editable only on axes that use the
// reference point. "Apply" writes the row's master value as the axis's preset and
// reads the master offset back; "Clear" clears the axis's reference point.

#include "mainwindow.h"

#include "commandinterface.h"
#include "fieldtext.h"
#include "pagefields.h"
#include "ui_form_refpointsetting.h"
#include "widgetlists.h"

#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <cmath>

using namespace FieldText;
using namespace PageFields;

namespace {
bool isAxisIndex(int index)
{
    return index >= 0 && index < 16;
}
} // namespace

void MainWindow::initRefPointSetting()
{
    Ui_Form_RefPointSetting *const page = uiRefPointSetting.get();
    masterOffsetEdits = numberedWidgets<QLineEdit>(page->layoutWidget, "lineEdit_MasterOffset%1");
    masterValueEdits = numberedWidgets<QLineEdit>(page->layoutWidget, "lineEdit_MasterValue%1");
    applyRefButtons = numberedWidgets<QPushButton>(page->layoutWidget, "pushButton_ApplyRef%1");
    clearRefButtons = numberedWidgets<QPushButton>(page->layoutWidget, "pushButton_Clear%1");

    for (QPushButton *button : qAsConst(applyRefButtons))
        connect(button, &QPushButton::clicked, this, &MainWindow::onApplyRefPreset);
    for (QPushButton *button : qAsConst(clearRefButtons))
        connect(button, &QPushButton::clicked, this, &MainWindow::onClearRefPreset);

    connect(this, &MainWindow::sendApplyRefPreset, commandInterface, &CommandInterface::sendRefPointSetting);
    connect(commandInterface, &CommandInterface::onCompleteRefPointSetting, this, &MainWindow::onCompleteRefOffset);
    connect(this, &MainWindow::sendClearRefPreset, commandInterface, &CommandInterface::sendRefPointClear);
    connect(commandInterface, &CommandInterface::onCompleteRefPointClear, this, &MainWindow::onCompleteClearRefOffset);
}

void MainWindow::updateRefPointSetting()
{
    const CommandInterface *const store = commandInterface;
    for (int axis = 0; axis < 16; ++axis) {
        const bool used = store->refUse[axis];
        const bool exists = axis < store->axisNum;
        for (QWidget *widget : {static_cast<QWidget *>(masterValueEdits[axis]),
                                static_cast<QWidget *>(masterOffsetEdits[axis]),
                                static_cast<QWidget *>(applyRefButtons[axis]),
                                static_cast<QWidget *>(clearRefButtons[axis])}) {
            widget->setEnabled(used);
            widget->setVisible(exists);
        }
        if (used) {
            masterValueEdits[axis]->setText(number(store->preset[axis]));
            masterOffsetEdits[axis]->setText(std::isnan(store->refOffset[axis])
                                                 ? QString()
                                                 : number(store->refOffset[axis]));
        } else {
            masterValueEdits[axis]->clear();
            masterOffsetEdits[axis]->clear();
        }
    }
}

void MainWindow::captureRefPointSetting()
{
    CommandInterface *const store = commandInterface;
    const int axes = std::min(store->axisNum, 16);
    for (int axis = 0; axis < axes; ++axis) {
        if (store->refUse[axis])
            take(store->preset[axis], numberOf(masterValueEdits[axis]->text()));
    }
}

// The master values of the rows in use, or of one row only.
QList<CheckedField> MainWindow::refPointFields(int axis) const
{
    QList<CheckedField> fields;
    const int axes = std::min(commandInterface->axisNum, 16);
    for (int row = 0; row < axes; ++row) {
        if ((axis < 0 || row == axis) && commandInterface->refUse[row])
            fields.append({masterValueEdits[row], CheckedField::Kind::Number,
                           QStringLiteral("axis %1, Master Value").arg(QString::number(row, 16).toUpper())});
    }
    return fields;
}

void MainWindow::onApplyRefPreset()
{
    const int axis = applyRefButtons.indexOf(qobject_cast<QPushButton *>(sender()));
    if (axis < 0)
        return;
    if (!acceptFields(QStringLiteral("Ref. Point Setting"), refPointFields(axis),
                      QLatin1String(notSentText)))
        return;
    take(commandInterface->preset[axis], numberOf(masterValueEdits[axis]->text()));
    startDeviceOperation(QStringLiteral("Reference point of axis %1 set").arg(QString::number(axis, 16).toUpper()));
    emit sendApplyRefPreset(axis);
}

void MainWindow::onCompleteRefOffset(int index)
{
    // An offset the module did not give shows as no text, as on entering the page.
    if (isAxisIndex(index))
        masterOffsetEdits[index]->setText(std::isnan(commandInterface->refOffset[index])
                                              ? QString()
                                              : number(commandInterface->refOffset[index]));
}

void MainWindow::onClearRefPreset()
{
    const int axis = clearRefButtons.indexOf(qobject_cast<QPushButton *>(sender()));
    if (axis < 0)
        return;
    startDeviceOperation(QStringLiteral("Reference point of axis %1 cleared").arg(QString::number(axis, 16).toUpper()));
    emit sendClearRefPreset(axis);
}

void MainWindow::onCompleteClearRefOffset(int index)
{
    if (!isAxisIndex(index))
        return;
    const bool used = commandInterface->refUse[index];
    masterValueEdits[index]->setEnabled(used);
    masterOffsetEdits[index]->setEnabled(used);
    applyRefButtons[index]->setEnabled(used);
    clearRefButtons[index]->setEnabled(used);
    masterOffsetEdits[index]->clear();
    masterValueEdits[index]->clear();
}
