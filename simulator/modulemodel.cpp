// SPDX-License-Identifier: GPL-3.0-or-later
#include "modulemodel.h"

ModuleModel::ModuleModel()
{
    resetToFactory();
}

void ModuleModel::resetToFactory()
{
    resolution.fill(1);
    direction.fill(false);
    measMode.fill(0);
    preset.fill(0.0);
    for (auto &limits : compHigh)
        limits.fill(1.0);
    for (auto &limits : compLow)
        limits.fill(-1.0);
    compSet.fill(1);
    refUse.fill(false);
    refOffset.fill(0.0);

    extStartInput = 0;
    separator = 0;
    dataFormat = 2;
    outputTrigger = 0;
    unit = 0;
    flowControl = 0;
    version = QStringLiteral("1.00");

    moduleIpAddr = QHostAddress(QStringLiteral("192.168.0.100"));
    subnetMask = QHostAddress(QStringLiteral("255.255.255.0"));
    plcIpAddr = QHostAddress(QStringLiteral("192.168.0.10"));
    plcEtherPort = 60000;
    usingPlcLink = false;
    linkProtocol.fill(0);
    finsSA1 = 1;
    finsDA1 = 2;
    finsDNA = 0;
    cmodeUnitNo = 0;
    ctrlFlagAddr = 0;
    paramAddr.fill(0);
    measDataAddr = 0;
}
