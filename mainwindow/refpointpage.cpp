// SPDX-License-Identifier: GPL-3.0-or-later
// The reference-point page: one row per axis, editable only on axes that use the
// reference point. "Apply" writes the row's master value as the axis's preset and
// reads the master offset back; "Clear" clears the axis's reference point.

#include "mainwindow.h"

#include "commandinterface.h"
#include "fieldtext.h"
#include "moduleprotocol.h"
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
    return index >= 0 && index < ModuleProtocol::maxAxes;
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
    for (int axis = 0; axis < ModuleProtocol::maxAxes; ++axis) {
        const bool used = store->refUse[axis];
        showRefPointRow(axis, used);
        for (QWidget *widget : refPointRow(axis))
            widget->setVisible(axis < store->axisNum);
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

QList<QWidget *> MainWindow::refPointRow(int axis) const
{
    return {masterValueEdits[axis], masterOffsetEdits[axis], applyRefButtons[axis], clearRefButtons[axis]};
}

// A row that cannot be used says why.
void MainWindow::showRefPointRow(int axis, bool used)
{
    const QString why = used ? QString()
                             : QStringLiteral("Axis %1 does not use the reference point: tick \"Ref. use\" for it "
                                              "on the Measure Setting page and apply it first.")
                                       .arg(axis);
    for (QWidget *widget : refPointRow(axis)) {
        widget->setEnabled(used);
        widget->setToolTip(why);
    }
}

void MainWindow::captureRefPointSetting()
{
    CommandInterface *const store = commandInterface;
    const int axes = std::min(store->axisNum, ModuleProtocol::maxAxes);
    for (int axis = 0; axis < axes; ++axis) {
        if (store->refUse[axis])
            take(store->preset[axis], numberOf(masterValueEdits[axis]->text()));
    }
}

// The master values of the rows in use, or of one row only.
QList<PageField> MainWindow::refPointFields(int axis) const
{
    QList<PageField> fields;
    const int axes = std::min(commandInterface->axisNum, ModuleProtocol::maxAxes);
    for (int row = 0; row < axes; ++row) {
        if ((axis < 0 || row == axis) && commandInterface->refUse[row])
            fields.append({masterValueEdits[row], {&SettingCatalogue::named(QStringLiteral("preset")), row},
                           QStringLiteral("axis %1, Master Value").arg(ModuleProtocol::axisName(row))});
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
    writeRefPoint(axis);
}

void MainWindow::writeRefPoint(int axis)
{
    startDeviceOperation(QStringLiteral("Reference point of axis %1 set").arg(ModuleProtocol::axisName(axis)),
                         {{&SettingCatalogue::named(QStringLiteral("preset")), axis}});
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

// The module forgets the offset at once; asked first, and nothing is sent on No or Escape.
void MainWindow::onClearRefPreset()
{
    const int axis = clearRefButtons.indexOf(qobject_cast<QPushButton *>(sender()));
    if (axis < 0)
        return;
    const QString name = ModuleProtocol::axisName(axis);
    confirm(QStringLiteral("Clear the reference point of axis %1?\n\nThe module forgets the axis's master offset; "
                           "a new one takes a master value and Apply.")
                    .arg(name),
            [this, axis, name] {
                startDeviceOperation(QStringLiteral("Reference point of axis %1 cleared").arg(name), {});
                emit sendClearRefPreset(axis);
            });
}

void MainWindow::onCompleteClearRefOffset(int index)
{
    if (!isAxisIndex(index))
        return;
    showRefPointRow(index, commandInterface->refUse[index]);
    masterOffsetEdits[index]->clear();
    masterValueEdits[index]->clear();
}
