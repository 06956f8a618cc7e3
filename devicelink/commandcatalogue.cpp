// SPDX-License-Identifier: GPL-3.0-or-later
// Every command of the module, one line each. Set forms take their value from the
// store, query forms put the reply back into the same field.

#include "commandinterface.h"

#include <cmath>
#include <utility>

using namespace ReplyConversion;

// Per axis: "<unit><axis>MNEMONIC".
void CommandInterface::writeResolution(int axis) { send(axisCommand("%1%2RSL=%3", axis).decimal(resolution[axis])); }
void CommandInterface::queryResolution(int axis) { query(axisCommand("%1%2RSL=?", axis), {"resolution", axis}, toInt, resolution[axis]); }
void CommandInterface::writeDirection(int axis) { send(axisCommand("%1%2POL=%3", axis).flag(direction[axis])); }
void CommandInterface::queryDirection(int axis) { query(axisCommand("%1%2POL=?", axis), {"direction", axis}, toBool, direction[axis]); }
void CommandInterface::writeMeasMode(int axis) { send(axisCommand("%1%2MODE=%3", axis).decimal(measMode[axis])); }
void CommandInterface::queryMeasMode(int axis) { query(axisCommand("%1%2MODE=?", axis), {"measMode", axis}, toInt, measMode[axis]); }
void CommandInterface::writePreset(int axis) { send(axisCommand("%1%2P=%3", axis).number(preset[axis])); }
void CommandInterface::queryPreset(int axis) { query(axisCommand("%1%2P=?", axis), {"preset", axis}, toDouble, preset[axis]); }
void CommandInterface::writeCompHigh(int axis, int set) { send(axisCommand("%1%2CH%3=%4", axis).decimal(set).number(compHigh[set - 1][axis])); }
void CommandInterface::queryCompHigh(int axis, int set) { query(axisCommand("%1%2CH%3=?", axis).decimal(set), {"compHigh", axis, set}, toDouble, compHigh[set - 1][axis]); }
void CommandInterface::writeCompLow(int axis, int set) { send(axisCommand("%1%2CL%3=%4", axis).decimal(set).number(compLow[set - 1][axis])); }
void CommandInterface::queryCompLow(int axis, int set) { query(axisCommand("%1%2CL%3=?", axis).decimal(set), {"compLow", axis, set}, toDouble, compLow[set - 1][axis]); }
void CommandInterface::writeCompSet(int axis) { send(axisCommand("%1%2SCN=%3", axis).decimal(compSet[axis])); }
void CommandInterface::queryCompSet(int axis) { query(axisCommand("%1%2SCN=?", axis), {"compSet", axis}, toInt, compSet[axis]); }
void CommandInterface::writeRefUse(int axis) { send(axisCommand("%1%2REF=%3", axis).flag(refUse[axis])); }
void CommandInterface::queryRefUse(int axis) { query(axisCommand("%1%2REF=?", axis), {"refUse", axis}, toBool, refUse[axis]); }
void CommandInterface::clearRefPoint(int axis) { send(axisCommand("%1%2LCLR", axis)); }

// The offset is only meaningful on an axis that uses the reference point; an answer
// that does not convert also clears it. A time-out leaves it as it was.
void CommandInterface::queryRefOffset(int axis)
{
    query(axisCommand("%1%2LO=?", axis), {"refOffset", axis}, [this, axis](const QString &value) {
        refOffset[axis] = toRefOffset(value, refUse[axis]);
        return !refUse[axis] || !std::isnan(refOffset[axis]);
    });
}

// Per unit: "<unit>MNEMONIC".
void CommandInterface::writeExtStartInput() { send(unitCommand("%1STTERM=%2").decimal(extStartInput)); }
void CommandInterface::queryExtStartInput() { query(unitCommand("%1STTERM=?"), {"extStartInput"}, toInt, extStartInput); }
void CommandInterface::writeSeparator() { send(unitCommand("%1RSSEP=%2").decimal(separator)); }
void CommandInterface::querySeparator() { query(unitCommand("%1RSSEP=?"), {"separator"}, toInt, separator); }
// The monitor decodes with the format the module uses, not one the window holds unapplied.
void CommandInterface::writeDataFormat()
{
    if (send(unitCommand("%1RSFORM=%2").decimal(dataFormat)))
        moduleDataFormat = dataFormat;
}
void CommandInterface::queryDataFormat()
{
    if (query(unitCommand("%1RSFORM=?"), {"dataFormat"}, toInt, dataFormat))
        moduleDataFormat = dataFormat;
}
void CommandInterface::writeOutputTrigger() { send(unitCommand("%1RSTRG=%2").decimal(outputTrigger)); }
void CommandInterface::queryOutputTrigger() { query(unitCommand("%1RSTRG=?"), {"outputTrigger"}, toInt, outputTrigger); }
// Without the inch option the module is always kept on millimetres.
void CommandInterface::writeUnit() { send(inchEnabled ? unitCommand("%1SCALE=%2").decimal(unit) : unitCommand("%1SCALE=0")); }
void CommandInterface::queryUnit() { query(unitCommand("%1SCALE=?"), {"unit"}, toInt, unit); }
void CommandInterface::writeFlowControl() { send(unitCommand("%1RSFLOW=%2").decimal(flowControl)); }
void CommandInterface::queryFlowControl() { query(unitCommand("%1RSFLOW=?"), {"flowControl"}, toInt, flowControl); }
void CommandInterface::queryVersion() { query(unitCommand("%1VER=?"), {"version"}, toText, version); }

// Global: no unit number, sent as written.
void CommandInterface::queryConfig()
{
    query(CommandBuilder("CONFIG=?"), {"config"}, [this](const QString &value) {
        return toConfig(value, moduleId, axisNum) && axisNum <= ModuleProtocol::maxAxes;
    });
}
void CommandInterface::writeModuleIpAddr() { send(CommandBuilder("NIP=%1").address(moduleIpAddr)); }
void CommandInterface::queryModuleIpAddr() { query(CommandBuilder("NIP=?"), {"moduleIpAddr"}, toAddress, moduleIpAddr); }
void CommandInterface::writeSubnetMask() { send(CommandBuilder("NMS=%1").address(subnetMask)); }
void CommandInterface::querySubnetMask() { query(CommandBuilder("NMS=?"), {"subnetMask"}, toAddress, subnetMask); }
void CommandInterface::writePlcEtherPort() { send(CommandBuilder("LPN=%1").decimal(plcEtherPort)); }
void CommandInterface::queryPlcEtherPort() { query(CommandBuilder("LPN=?"), {"plcEtherPort"}, toInt, plcEtherPort); }
void CommandInterface::writeUsingPlcLink() { send(CommandBuilder("LMD=%1").flag(usingPlcLink)); }
void CommandInterface::queryUsingPlcLink() { query(CommandBuilder("LMD=?"), {"usingPlcLink"}, toBool, usingPlcLink); }
void CommandInterface::writeLinkProtocol(int setting) { send(CommandBuilder("LPC%1=%2").decimal(setting).decimal(linkProtocol[setting - 1])); }
void CommandInterface::queryLinkProtocol(int setting) { query(CommandBuilder("LPC%1=?").decimal(setting), {"linkProtocol", -1, setting}, toInt, linkProtocol[setting - 1]); }
void CommandInterface::writeFinsSA1() { send(CommandBuilder("FINSSA1=%1").decimal(finsSA1)); }
void CommandInterface::queryFinsSA1() { query(CommandBuilder("FINSSA1=?"), {"finsSA1"}, toInt, finsSA1); }
void CommandInterface::writeFinsDA1() { send(CommandBuilder("FINSDA1=%1").decimal(finsDA1)); }
void CommandInterface::queryFinsDA1() { query(CommandBuilder("FINSDA1=?"), {"finsDA1"}, toInt, finsDA1); }
void CommandInterface::writeFinsDNA() { send(CommandBuilder("FINSDNA=%1").decimal(finsDNA)); }
void CommandInterface::queryFinsDNA() { query(CommandBuilder("FINSDNA=?"), {"finsDNA"}, toInt, finsDNA); }
void CommandInterface::writeCmodeUnitNo() { send(CommandBuilder("CMUNITNO=%1").decimal(cmodeUnitNo)); }
void CommandInterface::queryCmodeUnitNo() { query(CommandBuilder("CMUNITNO=?"), {"cmodeUnitNo"}, toInt, cmodeUnitNo); }
void CommandInterface::writePlcIpAddr() { send(CommandBuilder("RIP=%1").address(plcIpAddr)); }
void CommandInterface::queryPlcIpAddr() { query(CommandBuilder("RIP=?"), {"plcIpAddr"}, toAddress, plcIpAddr); }
void CommandInterface::writeCtrlFlagAddr() { send(CommandBuilder("FLA=%1").decimal(ctrlFlagAddr)); }
void CommandInterface::queryCtrlFlagAddr() { query(CommandBuilder("FLA=?"), {"ctrlFlagAddr"}, toInt, ctrlFlagAddr); }
// The parameter address is per axis, and the axis index stands where the unit number would.
void CommandInterface::writeParamAddr(int axis) { send(CommandBuilder("%1PRA=%2").hex(axis).decimal(paramAddr[axis])); }
void CommandInterface::queryParamAddr(int axis) { query(CommandBuilder("%1PRA=?").hex(axis), {"paramAddr", axis}, toInt, paramAddr[axis]); }
void CommandInterface::writeMeasDataAddr() { send(CommandBuilder("MDA=%1").decimal(measDataAddr)); }
void CommandInterface::queryMeasDataAddr() { query(CommandBuilder("MDA=?"), {"measDataAddr"}, toInt, measDataAddr); }

// Bare commands.
void CommandInterface::openSettingBracket()
{
    settingBracketOpen = send(CommandBuilder("SETUP"), setupPauseMs);
    running.settingBracketOpened = running.settingBracketOpened || settingBracketOpen;
}
// Sent whenever a bracket is open, even once a stop was requested: that is how a stop begins.
void CommandInterface::closeSettingBracket()
{
    if (!std::exchange(settingBracketOpen, false))
        return;
    const QString text = CommandBuilder("CLOSE").text();
    if (connectionLost()) {
        skipping(text);
        return;
    }
    put(text, commandPauseMs);
    ++running.commandsSent;
}
void CommandInterface::resetToFactorySettings() { send(CommandBuilder("FACTRST")); }
void CommandInterface::restartModule() { send(CommandBuilder("CRASH")); }
