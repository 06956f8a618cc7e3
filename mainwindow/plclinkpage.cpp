// SPDX-License-Identifier: GPL-3.0-or-later
// The PLC-link page: the module's own network settings and its link to a PLC.

#include "mainwindow.h"

#include "commandinterface.h"
#include "fieldtext.h"
#include "pagefields.h"
#include "ui_form_plclinksetting.h"
#include "widgetlists.h"

#include <algorithm>

using namespace FieldText;
using namespace PageFields;

void MainWindow::initPlcLinkSetting()
{
    paramAddrEdits = numberedWidgets<QLineEdit>(uiPlcLinkSetting->groupBox_PlcSetting, "lineEdit_ParamAddr_%1", "lineEdit_ParamAddr");
    connect(uiPlcLinkSetting->checkBox_UsingPlcLink, &QCheckBox::toggled, this, &MainWindow::onToggledUsingPlcLink);
    connect(uiPlcLinkSetting->pushButton_ApplySetting, &QPushButton::clicked, this, &MainWindow::onApplyPLCLinkSetting);
    connect(this, &MainWindow::sendPLCLinkSetting, commandInterface, &CommandInterface::sendPLCLinkSetting);
    connect(commandInterface, &CommandInterface::onCompletePLCLinkSetting, this, &MainWindow::doneApplyPLCLinkSetting);
}

void MainWindow::updatePlcLinkSetting()
{
    Ui_Form_PlcLinkSetting *const page = uiPlcLinkSetting.get();
    const CommandInterface *const store = commandInterface;
    page->lineEdit_ModuleIpAddr->setText(address(store->moduleIpAddr));
    page->lineEdit_SubnetMask->setText(address(store->subnetMask));
    page->lineEdit_PlcIpAddr->setText(address(store->plcIpAddr));
    page->lineEdit_PlcEtherPort->setText(integer(store->plcEtherPort));
    page->checkBox_UsingPlcLink->setChecked(store->usingPlcLink); // runs onToggledUsingPlcLink on a change
    showCode(page->comboBox_LinkProtocol, store->linkProtocol[0]);
    showCode(page->comboBox_LinkProtocol_2, store->linkProtocol[1]);
    showCode(page->comboBox_LinkProtocol_3, store->linkProtocol[2]);
    page->lineEdit_CtrlFlagAddr->setText(integer(store->ctrlFlagAddr));
    page->lineEdit_MeasDataAddr->setText(integer(store->measDataAddr));
    for (int axis = 0; axis < 16; ++axis) {
        paramAddrEdits[axis]->setText(integer(store->paramAddr[axis]));
        paramAddrEdits[axis]->setVisible(axis < store->axisNum);
    }
    page->lineEdit_FinsDA1->setText(integer(store->finsDA1));
    page->lineEdit_FinsDNA->setText(integer(store->finsDNA));
    page->lineEdit_FinsSA1->setText(integer(store->finsSA1));
    page->lineEdit_CmodeUnitNo->setText(integer(store->cmodeUnitNo));
}

void MainWindow::capturePlcLinkSetting()
{
    const Ui_Form_PlcLinkSetting *const page = uiPlcLinkSetting.get();
    CommandInterface *const store = commandInterface;
    take(store->moduleIpAddr, addressOf(page->lineEdit_ModuleIpAddr->text()));
    take(store->subnetMask, addressOf(page->lineEdit_SubnetMask->text()));
    store->usingPlcLink = page->checkBox_UsingPlcLink->isChecked();
    take(store->plcIpAddr, addressOf(page->lineEdit_PlcIpAddr->text()));
    take(store->plcEtherPort, integerOf(page->lineEdit_PlcEtherPort->text(), portRange));
    captureCode(page->comboBox_LinkProtocol, store->linkProtocol[0]);
    captureCode(page->comboBox_LinkProtocol_2, store->linkProtocol[1]);
    captureCode(page->comboBox_LinkProtocol_3, store->linkProtocol[2]);
    take(store->ctrlFlagAddr, integerOf(page->lineEdit_CtrlFlagAddr->text()));
    const int axes = std::min(store->axisNum, 16);
    for (int axis = 0; axis < axes; ++axis)
        take(store->paramAddr[axis], integerOf(paramAddrEdits[axis]->text()));
    take(store->measDataAddr, integerOf(page->lineEdit_MeasDataAddr->text()));
    take(store->finsSA1, integerOf(page->lineEdit_FinsSA1->text()));
    take(store->finsDA1, integerOf(page->lineEdit_FinsDA1->text()));
    take(store->finsDNA, integerOf(page->lineEdit_FinsDNA->text()));
    take(store->cmodeUnitNo, integerOf(page->lineEdit_CmodeUnitNo->text()));
}

// The fields of the PLC group count whether or not the group is enabled: Apply writes them all.
QList<CheckedField> MainWindow::plcLinkFields() const
{
    using Kind = CheckedField::Kind;
    const Ui_Form_PlcLinkSetting *const page = uiPlcLinkSetting.get();
    QList<CheckedField> fields{
        {page->lineEdit_ModuleIpAddr, Kind::Address, QStringLiteral("Module IP Address")},
        {page->lineEdit_SubnetMask, Kind::Address, QStringLiteral("Subnet mask")},
        {page->lineEdit_PlcIpAddr, Kind::Address, QStringLiteral("PLC IP Address")},
        {page->lineEdit_PlcEtherPort, Kind::Integer, QStringLiteral("PLC Ether port"), portRange},
        {page->lineEdit_CtrlFlagAddr, Kind::Integer, QStringLiteral("Ctrl Frag Address")},
    };
    const int axes = std::min(commandInterface->axisNum, 16);
    for (int axis = 0; axis < axes; ++axis)
        fields.append({paramAddrEdits[axis], Kind::Integer, QStringLiteral("Parameter Address of axis %1").arg(axis)});
    fields.append({page->lineEdit_MeasDataAddr, Kind::Integer, QStringLiteral("MeasData Address")});
    fields.append({page->lineEdit_FinsSA1, Kind::Integer, QStringLiteral("FINS SA1")});
    fields.append({page->lineEdit_FinsDA1, Kind::Integer, QStringLiteral("FINS DA1")});
    fields.append({page->lineEdit_FinsDNA, Kind::Integer, QStringLiteral("FINS DNA")});
    fields.append({page->lineEdit_CmodeUnitNo, Kind::Integer, QStringLiteral("Cmode UnitNo.")});
    return fields;
}

void MainWindow::onToggledUsingPlcLink(bool checked)
{
    uiPlcLinkSetting->groupBox_PlcSetting->setEnabled(checked);
}

void MainWindow::onApplyPLCLinkSetting()
{
    if (!checkCurrentPage(QLatin1String(notSentText)))
        return;
    onTransitDisplay();
    startDeviceOperation(QStringLiteral("PLC link settings written and read back"));
    emit sendPLCLinkSetting();
}

// The busy dialog ends with the link's outcome, which follows this signal.
void MainWindow::doneApplyPLCLinkSetting()
{
}
