// SPDX-License-Identifier: GPL-3.0-or-later
// The measure-setting page: two axes at a time, paged with "<<" and ">>", plus
// the module-wide settings below them.

#include "mainwindow.h"

#include "commandinterface.h"
#include "fieldtext.h"
#include "pagefields.h"
#include "ui_form_measuresetting.h"

#include <algorithm>

using namespace FieldText;
using namespace PageFields;

void MainWindow::initMeasureSetting()
{
    Ui_Form_MeasureSetting *const page = uiMeasureSetting.get();
    axisOffset = 0;
    resolutionBoxes = {page->comboBox_Resolution1, page->comboBox_Resolution2};
    directionBoxes = {page->checkBox_Direction1, page->checkBox_Direction2};
    refUseBoxes = {page->checkBox_RefUse1, page->checkBox_RefUse2};
    compSetBoxes = {page->comboBox_CompSet1, page->comboBox_CompSet2};
    measModeBoxes = {page->comboBox_MeasMode1, page->comboBox_MeasMode2};
    presetEdits = {page->lineEdit_Preset1, page->lineEdit_Preset2};
    compHighEdits[0] = {page->lineEdit_CompHigh1_1, page->lineEdit_CompHigh2_1};
    compHighEdits[1] = {page->lineEdit_CompHigh1_2, page->lineEdit_CompHigh2_2};
    compHighEdits[2] = {page->lineEdit_CompHigh1_3, page->lineEdit_CompHigh2_3};
    compHighEdits[3] = {page->lineEdit_CompHigh1_4, page->lineEdit_CompHigh2_4};
    compLowEdits[0] = {page->lineEdit_CompLow1_1, page->lineEdit_CompLow2_1};
    compLowEdits[1] = {page->lineEdit_CompLow1_2, page->lineEdit_CompLow2_2};
    compLowEdits[2] = {page->lineEdit_CompLow1_3, page->lineEdit_CompLow2_3};
    compLowEdits[3] = {page->lineEdit_CompLow1_4, page->lineEdit_CompLow2_4};

    connect(page->checkBox_RefUse1, &QCheckBox::toggled, this, &MainWindow::onToggledRefUse);
    connect(page->checkBox_RefUse2, &QCheckBox::toggled, this, &MainWindow::onToggledRefUse);
    connect(page->pushButton_PrevPage, &QPushButton::clicked, this, &MainWindow::onClickedPrevAxis);
    connect(page->pushButton_NextPage, &QPushButton::clicked, this, &MainWindow::onClickedNextAxis);
    connect(page->pushButton_ApplySetting, &QPushButton::clicked, this, &MainWindow::onApplyMeasureSetting);
    connect(this, &MainWindow::sendMeasureSetting, commandInterface, &CommandInterface::sendMeasureSetting);
    connect(commandInterface, &CommandInterface::onCompleteMeasureSetting, this, &MainWindow::doneApplyMeasureSetting);

    page->label_FlowControl->hide();
    page->comboBox_FlowControl->hide();
    page->label_Unit->setVisible(inchUnitEnabled);
    page->comboBox_Unit->setVisible(inchUnitEnabled);

    updateMeasureSetting();
}

void MainWindow::updateMeasureSetting()
{
    Ui_Form_MeasureSetting *const page = uiMeasureSetting.get();
    CommandInterface *const store = commandInterface;
    page->label_Axis1->setText(QString::number(axisOffset));
    page->label_Axis2->setText(QString::number(axisOffset + 1));

    for (int block = 0; block < 2; ++block) {
        const int axis = axisOffset + block;
        showCode(resolutionBoxes[block], store->resolution[axis], 1);
        directionBoxes[block]->setChecked(store->direction[axis]);
        refUseBoxes[block]->setChecked(store->refUse[axis]); // runs onToggledRefUse on a change
        showCode(compSetBoxes[block], store->compSet[axis], 1);
        showCode(measModeBoxes[block], store->measMode[axis]);
        presetEdits[block]->setText(store->refUse[axis] ? QString() : number(store->preset[axis]));
        for (int set = 0; set < 4; ++set) {
            compLowEdits[set][block]->setText(number(store->compLow[set][axis]));
            compHighEdits[set][block]->setText(number(store->compHigh[set][axis]));
        }
    }

    showCode(page->comboBox_ExtStartInput, store->extStartInput);
    showCode(page->comboBox_Separator, store->separator);
    showCode(page->comboBox_DataFormat, store->dataFormat);
    showCode(page->comboBox_OutputTrigger, store->outputTrigger);
    showCode(page->comboBox_FlowControl, store->flowControl);
    showCode(page->comboBox_Unit, store->unit);

    page->layoutWidget->setVisible(axisOffset + 1 < store->axisNum);
}

void MainWindow::captureMeasureSetting()
{
    Ui_Form_MeasureSetting *const page = uiMeasureSetting.get();
    CommandInterface *const store = commandInterface;
    for (int block = 0; block < 2; ++block) {
        const int axis = axisOffset + block;
        captureCode(resolutionBoxes[block], store->resolution[axis], 1);
        store->direction[axis] = directionBoxes[block]->isChecked();
        store->refUse[axis] = refUseBoxes[block]->isChecked();
        captureCode(measModeBoxes[block], store->measMode[axis]);
        captureCode(compSetBoxes[block], store->compSet[axis], 1);
        if (!store->refUse[axis])
            take(store->preset[axis], numberOf(presetEdits[block]->text()));
        for (int set = 0; set < 4; ++set) {
            take(store->compLow[set][axis], numberOf(compLowEdits[set][block]->text()));
            take(store->compHigh[set][axis], numberOf(compHighEdits[set][block]->text()));
        }
    }

    captureCode(page->comboBox_ExtStartInput, store->extStartInput);
    captureCode(page->comboBox_Separator, store->separator);
    captureCode(page->comboBox_DataFormat, store->dataFormat);
    captureCode(page->comboBox_OutputTrigger, store->outputTrigger);
    captureCode(page->comboBox_FlowControl, store->flowControl);
    if (inchUnitEnabled)
        captureCode(page->comboBox_Unit, store->unit);
    else
        store->unit = 0;
}

// Block 2 is checked only while it shows an axis; its texts are the store's otherwise.
QList<CheckedField> MainWindow::measureSettingFields() const
{
    QList<CheckedField> fields;
    const int blocks = uiMeasureSetting->layoutWidget->isHidden() ? 1 : 2;
    for (int block = 0; block < blocks; ++block) {
        const QString axis = QStringLiteral("axis %1, ").arg(axisOffset + block);
        if (!refUseBoxes[block]->isChecked())
            fields.append({presetEdits[block], CheckedField::Kind::Number, axis + QStringLiteral("Preset")});
        for (int set = 0; set < 4; ++set) {
            fields.append({compHighEdits[set][block], CheckedField::Kind::Number,
                           axis + QStringLiteral("Comp. High %1").arg(set + 1)});
            fields.append({compLowEdits[set][block], CheckedField::Kind::Number,
                           axis + QStringLiteral("Comp. Low %1").arg(set + 1)});
        }
    }
    return fields;
}

void MainWindow::onClickedNextAxis()
{
    leaveCurrentPage();
    axisOffset += 2;
    if (axisOffset >= commandInterface->axisNum)
        axisOffset = 0;
    axisOffset = std::clamp(axisOffset, 0, 14);
    updateMeasureSetting();
}

void MainWindow::onClickedPrevAxis()
{
    leaveCurrentPage();
    const int axes = commandInterface->axisNum;
    axisOffset -= 2;
    if (axisOffset < 0)
        axisOffset = axes % 2 ? axes - 1 : axes - 2;
    // Two store entries are shown from axisOffset on, and an unanswered
    // configuration query leaves the axis count below 1.
    axisOffset = std::clamp(axisOffset, 0, 14);
    updateMeasureSetting();
}

void MainWindow::onToggledRefUse(bool checked)
{
    const int block = refUseBoxes.indexOf(qobject_cast<QCheckBox *>(sender()));
    if (block < 0)
        return;
    presetEdits[block]->setEnabled(!checked);
    presetEdits[block]->setText(checked ? QString() : number(commandInterface->preset[axisOffset + block]));
}

void MainWindow::onApplyMeasureSetting()
{
    if (!checkCurrentPage(QLatin1String(notSentText)))
        return;
    onTransitDisplay();
    startDeviceOperation(QStringLiteral("Measure settings written and read back"));
    emit sendMeasureSetting();
}

// The busy dialog ends with the link's outcome, which follows this signal.
void MainWindow::doneApplyMeasureSetting()
{
}
