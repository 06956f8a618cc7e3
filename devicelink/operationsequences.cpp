// SPDX-License-Identifier: GPL-3.0-or-later
// The long operations. Each runs start to end in one slot call, emits setProgress
// before every step (also before a step whose condition leaves its command out) and
// ends with exactly one completion signal, whatever the module answered or however
// it was stopped (a stop skips the remaining commands, not the signals). The
// maximum is computed from axisNum as read; the per-axis loops run over the axes
// that exist (none while axisNum is unset).

#include "commandinterface.h"

#include <QTcpSocket>

void CommandInterface::getParameter()
{
    // Commands are separated only by pauses; Nagle must not glue them together.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);

    // The unit number and axis count are this module's or none: without them
    // nothing else can be addressed, and the window reports the module as silent.
    moduleId = -1;
    axisNum = -1;
    queryConfig();
    if (axisNum < 1) {
        endOperation();
        emit transmitConnected();
        return;
    }
    const int axes = perAxisCount();
    emit setProgMaximum(17 * axisNum + 20);
    emit setProgress(0);
    if (!inchEnabled) {
        openSettingBracket();
        writeUnit();
        closeSettingBracket();
    }
    queryUnit();

    for (int axis = 0; axis < axes; ++axis) {
        const int k = 1 + 16 * axis;
        emit setProgress(k);
        queryResolution(axis);
        emit setProgress(k + 1);
        queryDirection(axis);
        emit setProgress(k + 2);
        queryMeasMode(axis);
        emit setProgress(k + 3);
        queryPreset(axis);
        for (int set = 1; set <= 4; ++set) {
            emit setProgress(k + 3 + set);
            queryCompHigh(axis, set);
        }
        for (int set = 1; set <= 4; ++set) {
            emit setProgress(k + 7 + set);
            queryCompLow(axis, set);
        }
        emit setProgress(k + 12);
        queryCompSet(axis);
        emit setProgress(k + 13);
        queryRefUse(axis);
        emit setProgress(k + 14);
        if (!refUse[axis])
            queryPreset(axis);
        emit setProgress(k + 15);
        if (refUse[axis])
            queryRefOffset(axis);
    }

    const int g = 16 * axes + 1;
    emit setProgress(g);
    queryExtStartInput();
    emit setProgress(g + 1);
    querySeparator();
    emit setProgress(g + 2);
    queryDataFormat();
    emit setProgress(g + 3);
    queryOutputTrigger();
    emit setProgress(g + 4);
    queryFlowControl();
    emit setProgress(g + 5);
    queryModuleIpAddr();
    emit setProgress(g + 6);
    querySubnetMask();
    emit setProgress(g + 7);
    queryPlcEtherPort();
    emit setProgress(g + 8);
    queryUsingPlcLink();
    for (int setting = 1; setting <= 3; ++setting) {
        emit setProgress(g + 8 + setting);
        queryLinkProtocol(setting);
    }
    emit setProgress(g + 12);
    queryFinsSA1();
    emit setProgress(g + 13);
    queryFinsDA1();
    emit setProgress(g + 14);
    queryFinsDNA();
    emit setProgress(g + 15);
    queryCmodeUnitNo();
    emit setProgress(g + 16);
    queryPlcIpAddr();
    for (int axis = 0; axis < axes; ++axis) {
        emit setProgress(g + 17 + axis);
        queryParamAddr(axis);
    }
    emit setProgress(17 * axes + 18);
    queryMeasDataAddr();
    emit setProgress(17 * axes + 19);
    queryCtrlFlagAddr();

    endOperation();
    emit transmitConnected();
}

void CommandInterface::sendMeasureSetting()
{
    const int axes = perAxisCount();
    emit setProgMaximum(36 * axisNum + 14);
    emit setProgress(0);
    openSettingBracket();
    emit setProgress(1);
    writeUnit();

    for (int axis = 0; axis < axes; ++axis) {
        const int k = 2 + 22 * axis;
        emit setProgress(k);
        writeResolution(axis);
        emit setProgress(k + 1);
        writeDirection(axis);
        emit setProgress(k + 2);
        writeMeasMode(axis);
        // The comparator limits go out twice in a row.
        for (int pass = 0; pass < 2; ++pass) {
            const int c = k + 3 + 8 * pass;
            for (int set = 1; set <= 4; ++set) {
                emit setProgress(c + set - 1);
                writeCompHigh(axis, set);
            }
            for (int set = 1; set <= 4; ++set) {
                emit setProgress(c + 3 + set);
                writeCompLow(axis, set);
            }
        }
        emit setProgress(k + 19);
        writeCompSet(axis);
        emit setProgress(k + 20);
        writeRefUse(axis);
        emit setProgress(k + 21);
        if (!refUse[axis])
            writePreset(axis);
    }

    const int w = 22 * axes + 2;
    emit setProgress(w);
    writeExtStartInput();
    emit setProgress(w + 1);
    writeSeparator();
    emit setProgress(w + 2);
    writeDataFormat();
    emit setProgress(w + 3);
    writeOutputTrigger();
    emit setProgress(w + 4);
    writeFlowControl();
    emit setProgress(w + 5);
    closeSettingBracket();
    emit setProgress(w + 6);
    queryUnit();

    for (int axis = 0; axis < axes; ++axis) {
        const int r = 22 * axes + 9 + 14 * axis;
        emit setProgress(r);
        queryResolution(axis);
        emit setProgress(r + 1);
        queryDirection(axis);
        emit setProgress(r + 2);
        queryMeasMode(axis);
        for (int set = 1; set <= 4; ++set) {
            emit setProgress(r + 2 + set);
            queryCompHigh(axis, set);
        }
        for (int set = 1; set <= 4; ++set) {
            emit setProgress(r + 6 + set);
            queryCompLow(axis, set);
        }
        emit setProgress(r + 11);
        queryCompSet(axis);
        emit setProgress(r + 12);
        queryRefUse(axis);
        emit setProgress(r + 13);
        if (!refUse[axis])
            queryPreset(axis);
    }

    const int t = 36 * axes + 9;
    emit setProgress(t);
    queryExtStartInput();
    emit setProgress(t + 1);
    querySeparator();
    emit setProgress(t + 2);
    queryDataFormat();
    emit setProgress(t + 3);
    queryOutputTrigger();
    emit setProgress(t + 4);
    queryFlowControl();

    endOperation();
    emit onCompleteMeasureSetting();
}

void CommandInterface::sendRefPointSetting(int id)
{
    const bool axisExists = id >= 0 && id < 16;
    emit setProgMaximum(5);
    openSettingBracket();
    emit setProgress(1);
    if (axisExists)
        writePreset(id);
    emit setProgress(2);
    closeSettingBracket();
    emit setProgress(3);
    if (axisExists)
        queryPreset(id);
    emit setProgress(4);
    if (axisExists)
        queryRefOffset(id);
    emit setProgress(5);
    endOperation();
    emit onCompleteRefPointSetting(id);
}

void CommandInterface::sendRefPointClear(int id)
{
    const bool axisExists = id >= 0 && id < 16;
    emit setProgMaximum(5);
    openSettingBracket();
    emit setProgress(1);
    if (axisExists)
        clearRefPoint(id);
    emit setProgress(2);
    closeSettingBracket();
    emit setProgress(3);
    if (axisExists)
        queryRefOffset(id);
    emit setProgress(4);
    if (axisExists)
        queryRefUse(id);
    emit setProgress(5);
    endOperation();
    emit onCompleteRefPointClear(id);
}

void CommandInterface::sendPLCLinkSetting()
{
    const int axes = perAxisCount();
    emit setProgMaximum(2 * axisNum + 30);
    emit setProgress(0);
    openSettingBracket();
    emit setProgress(1);
    writeModuleIpAddr();
    emit setProgress(2);
    writeSubnetMask();
    emit setProgress(3);
    writePlcEtherPort();
    emit setProgress(4);
    writeUsingPlcLink();
    for (int setting = 1; setting <= 3; ++setting) {
        emit setProgress(4 + setting);
        writeLinkProtocol(setting);
    }
    emit setProgress(8);
    writeFinsSA1();
    emit setProgress(9);
    writeFinsDA1();
    emit setProgress(10);
    writeFinsDNA();
    emit setProgress(11);
    writeCmodeUnitNo();
    emit setProgress(12);
    writePlcIpAddr();
    for (int axis = 0; axis < axes; ++axis) {
        emit setProgress(13 + axis);
        writeParamAddr(axis);
    }

    const int p = 13 + axes;
    emit setProgress(p);
    writeCtrlFlagAddr();
    emit setProgress(p + 1);
    writeMeasDataAddr();
    emit setProgress(p + 2);
    closeSettingBracket();
    emit setProgress(p + 3);
    queryModuleIpAddr();
    emit setProgress(p + 4);
    querySubnetMask();
    emit setProgress(p + 5);
    queryPlcEtherPort();
    emit setProgress(p + 6);
    queryUsingPlcLink();
    for (int setting = 1; setting <= 3; ++setting) {
        emit setProgress(p + 6 + setting);
        queryLinkProtocol(setting);
    }
    emit setProgress(p + 10);
    queryFinsSA1();
    emit setProgress(p + 11);
    queryFinsDA1();
    emit setProgress(p + 12);
    queryFinsDNA();
    emit setProgress(p + 13);
    queryCmodeUnitNo();
    emit setProgress(p + 14);
    queryPlcIpAddr();
    emit setProgress(p + 15);
    for (int axis = 0; axis < axes; ++axis) {
        emit setProgress(p + 16 + axis);
        queryParamAddr(axis);
    }
    emit setProgress(2 * axes + 29);
    queryCtrlFlagAddr();
    emit setProgress(2 * axes + 30);
    queryMeasDataAddr();
    emit setProgress(2 * axes + 31);

    endOperation();
    emit onCompletePLCLinkSetting();
}

void CommandInterface::sendFactoryReset()
{
    openSettingBracket();
    resetToFactorySettings();
    closeSettingBracket();
    endOperation();
}

void CommandInterface::sendCrash()
{
    restartModule();
    endOperation();
}
