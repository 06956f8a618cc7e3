// SPDX-License-Identifier: GPL-3.0-or-later
// The measure-setting page: two axes at a time, paged with "<<" and ">>", plus
// the module-wide settings below them.

#include "mainwindow.h"

#include "commandinterface.h"
#include "fieldtext.h"
#include "moduleprotocol.h"
#include "pagefields.h"
#include "ui_form_measuresetting.h"
#include "ui_mainwindow.h"

#include <QStatusBar>

#include <algorithm>

using namespace FieldText;
using namespace PageFields;

namespace {
// The low and high limit of comparator sets 1 to 4.
const char *const limitKeys[4][2] = {
    {"compLow1", "compHigh1"}, {"compLow2", "compHigh2"}, {"compLow3", "compHigh3"}, {"compLow4", "compHigh4"}};
} // namespace

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

    const bool second = axisOffset + 1 < store->axisNum;
    page->layoutWidget->setVisible(second);
    // Axes by their names (0 to F), as the page's headings show them; the count in decimal.
    const QString shown = second ? QStringLiteral("axes %1\u2013%2").arg(ModuleProtocol::axisName(axisOffset),
                                                                      ModuleProtocol::axisName(axisOffset + 1))
                                 : QStringLiteral("axis %1").arg(ModuleProtocol::axisName(axisOffset));
    page->label_AxisPage->setText(QStringLiteral("%1 of %2").arg(shown).arg(store->axisNum));
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

// Block 2 counts only while it shows an axis; its texts are the store's otherwise.
QList<PageField> MainWindow::measureSettingFields() const
{
    const Ui_Form_MeasureSetting *const page = uiMeasureSetting.get();
    QList<PageField> fields;
    const int blocks = page->layoutWidget->isHidden() ? 1 : 2;
    for (int block = 0; block < blocks; ++block) {
        const int axis = axisOffset + block;
        fields << field(resolutionBoxes[block], "resolution", axis) << field(directionBoxes[block], "direction", axis)
               << field(refUseBoxes[block], "refUse", axis) << field(compSetBoxes[block], "compSet", axis)
               << field(measModeBoxes[block], "measMode", axis);
        if (!refUseBoxes[block]->isChecked())
            fields << field(presetEdits[block], "preset", axis);
        for (int set = 0; set < 4; ++set) {
            fields << field(compHighEdits[set][block], limitKeys[set][1], axis)
                   << field(compLowEdits[set][block], limitKeys[set][0], axis);
        }
    }
    fields << field(page->comboBox_ExtStartInput, "extStartInput") << field(page->comboBox_Separator, "separator")
           << field(page->comboBox_DataFormat, "dataFormat") << field(page->comboBox_OutputTrigger, "outputTrigger");
    if (inchUnitEnabled)
        fields << field(page->comboBox_Unit, "unit");
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
    writeMeasureSettings();
}

void MainWindow::writeMeasureSettings()
{
    if (!limitsInOrder()) {
        dropPendingWrites();
        return;
    }
    startDeviceOperation(QStringLiteral("Measure settings written and read back"), measureSettingWrites());
    emit sendMeasureSetting();
}

// A module judges every reading of an axis whose low limit lies above its high limit
// out of limits. The first such pair is shown, marked and named.
bool MainWindow::limitsInOrder()
{
    const CommandInterface *const store = commandInterface;
    const int axes = std::min(store->axisNum, ModuleProtocol::maxAxes);
    for (int axis = 0; axis < axes; ++axis) {
        for (int set = 0; set < 4; ++set) {
            const double low = store->compLow[set][axis];
            const double high = store->compHigh[set][axis];
            if (low <= high)
                continue;
            const bool shown = ui->stackedWidget->currentWidget() == ui->page_MeasureSetting
                               && axis - axisOffset >= 0 && axis - axisOffset < 2;
            if (!shown) {
                leaveCurrentPage();
                axisOffset = axis - axis % 2;
                updateMeasureSetting();
                showPage(ui->page_MeasureSetting);
            }
            const int block = axis - axisOffset;
            markRefused(compHighEdits[set][block]);
            markRefused(compLowEdits[set][block]);
            compLowEdits[set][block]->setFocus();
            refusalShown = QStringLiteral("Measure Setting, axis %1, set %2: Comp. Low %3 is above Comp. High %4. %5")
                                   .arg(axis)
                                   .arg(set + 1)
                                   .arg(number(low), number(high), QLatin1String(notSentText));
            statusBar()->showMessage(refusalShown);
            return false;
        }
    }
    return true;
}

// The settings the write sends and reads back: each axis's but its parameter address,
// the preset only where no reference point takes its place, and the module-wide ones.
QVector<SettingRef> MainWindow::measureSettingWrites() const
{
    QVector<SettingRef> writes;
    for (const SettingRef &setting : SettingCatalogue::inWriteOrder(commandInterface->axisNum)) {
        const QLatin1String key(setting.setting->key);
        if (setting.setting->group == Setting::Module
            || (setting.setting->group == Setting::Axis && key != QLatin1String("paramAddr")
                && (key != QLatin1String("preset") || !commandInterface->refUse[setting.axis])))
            writes.append(setting);
    }
    return writes;
}

// The busy dialog ends with the link's outcome, which follows this signal.
void MainWindow::doneApplyMeasureSetting()
{
}
