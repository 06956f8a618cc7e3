// SPDX-License-Identifier: GPL-3.0-or-later
// The PLC-link page: the module's own network settings and its link to a PLC.

#include "mainwindow.h"

#include "commandinterface.h"
#include "fieldtext.h"
#include "moduleprotocol.h"
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
    for (int axis = 0; axis < ModuleProtocol::maxAxes; ++axis) {
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
    const int axes = std::min(store->axisNum, ModuleProtocol::maxAxes);
    for (int axis = 0; axis < axes; ++axis)
        take(store->paramAddr[axis], integerOf(paramAddrEdits[axis]->text()));
    take(store->measDataAddr, integerOf(page->lineEdit_MeasDataAddr->text()));
    take(store->finsSA1, integerOf(page->lineEdit_FinsSA1->text()));
    take(store->finsDA1, integerOf(page->lineEdit_FinsDA1->text()));
    take(store->finsDNA, integerOf(page->lineEdit_FinsDNA->text()));
    take(store->cmodeUnitNo, integerOf(page->lineEdit_CmodeUnitNo->text()));
}

// The fields of the PLC group count whether or not the group is enabled: Apply writes them all.
QList<PageField> MainWindow::plcLinkFields() const
{
    const Ui_Form_PlcLinkSetting *const page = uiPlcLinkSetting.get();
    QList<PageField> fields{
        field(page->lineEdit_ModuleIpAddr, "moduleIpAddr"),   field(page->lineEdit_SubnetMask, "subnetMask"),
        field(page->checkBox_UsingPlcLink, "usingPlcLink"),   field(page->lineEdit_PlcIpAddr, "plcIpAddr"),
        field(page->lineEdit_PlcEtherPort, "plcEtherPort"),   field(page->comboBox_LinkProtocol, "linkProtocol1"),
        field(page->comboBox_LinkProtocol_2, "linkProtocol2"), field(page->comboBox_LinkProtocol_3, "linkProtocol3"),
        field(page->lineEdit_CtrlFlagAddr, "ctrlFlagAddr"),
    };
    const int axes = std::min(commandInterface->axisNum, ModuleProtocol::maxAxes);
    for (int axis = 0; axis < axes; ++axis)
        fields.append(field(paramAddrEdits[axis], "paramAddr", axis));
    fields << field(page->lineEdit_MeasDataAddr, "measDataAddr") << field(page->lineEdit_FinsSA1, "finsSA1")
           << field(page->lineEdit_FinsDA1, "finsDA1") << field(page->lineEdit_FinsDNA, "finsDNA")
           << field(page->lineEdit_CmodeUnitNo, "cmodeUnitNo");
    return fields;
}

// The network and PLC-link settings, and each axis's parameter address.
QVector<SettingRef> MainWindow::plcLinkWrites() const
{
    QVector<SettingRef> writes;
    for (const SettingRef &setting : SettingCatalogue::inWriteOrder(commandInterface->axisNum)) {
        if (setting.setting->group == Setting::Network || setting.setting->group == Setting::PlcLink
            || QLatin1String(setting.setting->key) == QLatin1String("paramAddr"))
            writes.append(setting);
    }
    return writes;
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
    writePlcLinkSettings();
}

// A module given another address or mask answers there once it has taken them, and
// no longer here: the operator is asked first.
void MainWindow::writePlcLinkSettings()
{
    const auto write = [this] {
        startDeviceOperation(QStringLiteral("PLC link settings written and read back"), plcLinkWrites());
        emit sendPLCLinkSetting();
    };
    const CommandInterface *const store = commandInterface;
    const QString address = FieldText::address(store->moduleIpAddr);
    const QString mask = FieldText::address(store->subnetMask);
    const SettingRef moduleAddress{&SettingCatalogue::named(QStringLiteral("moduleIpAddr")), 0};
    const SettingRef moduleMask{&SettingCatalogue::named(QStringLiteral("subnetMask")), 0};
    const std::optional<ConfigurationFile> module = moduleSettings();
    if (!module || (module->value(moduleAddress).toString() == address && module->value(moduleMask).toString() == mask)) {
        write();
        return;
    }
    const QString consequence =
            module->value(moduleAddress).toString() == address
                    ? QStringLiteral("The module will then take the subnet mask %1 at %2; a computer outside "
                                     "that network can no longer reach it.")
                              .arg(mask, address)
                    : QStringLiteral("The module will then answer at %1 (subnet mask %2), no longer at %3. "
                                     "Connect to it there afterwards.")
                              .arg(address, mask, dialledAddress);
    confirm(QStringLiteral("Write the module's new network settings?\n\n") + consequence, write);
}

// The busy dialog ends with the link's outcome, which follows this signal.
void MainWindow::doneApplyPLCLinkSetting()
{
}
