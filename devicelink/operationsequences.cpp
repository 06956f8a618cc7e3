// SPDX-License-Identifier: GPL-3.0-or-later
// The long operations, each a plan: one step per progress value, in the order the
// module takes the commands. A step also reports its progress when its condition
// leaves its command out. Every operation ends with exactly one completion signal,
// whatever the module answered or however it was stopped (a stop skips the
// remaining commands, not the signals), and then with operationEnded. The maximum
// is computed from axisNum as read; the per-axis steps run over the axes that exist.

#include "commandinterface.h"

#include <QTcpSocket>

namespace {

using CI = CommandInterface;
using Command = OperationPlan::Command;

template<typename T>
struct Exactly
{
    using type = T;
};

// A command member of the link with its arguments: call(&CI::queryCompHigh, axis, set).
template<typename... Args>
Command call(void (CI::*member)(Args...), typename Exactly<Args>::type... args)
{
    return [=](CI &link) { (link.*member)(args...); };
}

// Commands that only concern an axis with, or without, a reference point, as the
// store holds it when the step runs (a query of REF just before counts).
Command withRefUse(int axis, const Command &command)
{
    return [=](CI &link) {
        if (link.refUse[axis])
            command(link);
    };
}

Command withoutRefUse(int axis, const Command &command)
{
    return [=](CI &link) {
        if (!link.refUse[axis])
            command(link);
    };
}

void addLimits(OperationPlan &plan, void (CI::*high)(int, int), void (CI::*low)(int, int), int axis)
{
    for (int set = 1; set <= ModuleProtocol::comparatorSets; ++set)
        plan.step(call(high, axis, set));
    for (int set = 1; set <= ModuleProtocol::comparatorSets; ++set)
        plan.step(call(low, axis, set));
}

void addModuleWideQueries(OperationPlan &plan)
{
    plan.step(call(&CI::queryExtStartInput))
            .step(call(&CI::querySeparator))
            .step(call(&CI::queryDataFormat))
            .step(call(&CI::queryOutputTrigger))
            .step(call(&CI::queryFlowControl));
}

void addNetworkAndLinkQueries(OperationPlan &plan)
{
    plan.step(call(&CI::queryModuleIpAddr))
            .step(call(&CI::querySubnetMask))
            .step(call(&CI::queryPlcEtherPort))
            .step(call(&CI::queryUsingPlcLink));
    for (int setting = 1; setting <= ModuleProtocol::linkProtocolSettings; ++setting)
        plan.step(call(&CI::queryLinkProtocol, setting));
    plan.step(call(&CI::queryFinsSA1))
            .step(call(&CI::queryFinsDA1))
            .step(call(&CI::queryFinsDNA))
            .step(call(&CI::queryCmodeUnitNo))
            .step(call(&CI::queryPlcIpAddr));
}

} // namespace

OperationPlan CommandInterface::parameterReadPlan() const
{
    const int axes = perAxisCount();
    OperationPlan plan(QStringLiteral("parameter read"), 17 * axisNum + 20);
    // Without the inch option the module is set to millimetres before it is read.
    plan.step([](CI &link) {
        if (!link.inchEnabled) {
            link.openSettingBracket();
            link.writeUnit();
            link.closeSettingBracket();
        }
        link.queryUnit();
    });
    for (int axis = 0; axis < axes; ++axis) {
        plan.step(call(&CI::queryResolution, axis))
                .step(call(&CI::queryDirection, axis))
                .step(call(&CI::queryMeasMode, axis))
                .step(call(&CI::queryPreset, axis));
        addLimits(plan, &CI::queryCompHigh, &CI::queryCompLow, axis);
        plan.step(call(&CI::queryCompSet, axis))
                .step(call(&CI::queryRefUse, axis))
                .step(withoutRefUse(axis, call(&CI::queryPreset, axis)))
                .step(withRefUse(axis, call(&CI::queryRefOffset, axis)));
    }
    addModuleWideQueries(plan);
    addNetworkAndLinkQueries(plan);
    for (int axis = 0; axis < axes; ++axis)
        plan.step(call(&CI::queryParamAddr, axis));
    plan.step(call(&CI::queryMeasDataAddr)).step(call(&CI::queryCtrlFlagAddr));
    return plan;
}

OperationPlan CommandInterface::measureSettingPlan() const
{
    const int axes = perAxisCount();
    OperationPlan plan(QStringLiteral("measure setting write"), 36 * axisNum + 14);
    plan.step(call(&CI::openSettingBracket)).step(call(&CI::writeUnit));
    for (int axis = 0; axis < axes; ++axis) {
        plan.step(call(&CI::writeResolution, axis))
                .step(call(&CI::writeDirection, axis))
                .step(call(&CI::writeMeasMode, axis));
        // The comparator limits go out twice in a row.
        addLimits(plan, &CI::writeCompHigh, &CI::writeCompLow, axis);
        addLimits(plan, &CI::writeCompHigh, &CI::writeCompLow, axis);
        plan.step(call(&CI::writeCompSet, axis))
                .step(call(&CI::writeRefUse, axis))
                .step(withoutRefUse(axis, call(&CI::writePreset, axis)));
    }
    plan.step(call(&CI::writeExtStartInput))
            .step(call(&CI::writeSeparator))
            .step(call(&CI::writeDataFormat))
            .step(call(&CI::writeOutputTrigger))
            .step(call(&CI::writeFlowControl))
            .step(call(&CI::closeSettingBracket))
            .step(call(&CI::queryUnit));
    for (int axis = 0; axis < axes; ++axis) {
        plan.step(call(&CI::queryResolution, axis))
                .step(call(&CI::queryDirection, axis))
                .step(call(&CI::queryMeasMode, axis));
        addLimits(plan, &CI::queryCompHigh, &CI::queryCompLow, axis);
        plan.step(call(&CI::queryCompSet, axis))
                .step(call(&CI::queryRefUse, axis))
                .step(withoutRefUse(axis, call(&CI::queryPreset, axis)));
    }
    addModuleWideQueries(plan);
    return plan;
}

// An axis the module cannot have gets the bracket and the progress, and no command.
OperationPlan CommandInterface::refPointSettingPlan(int axis) const
{
    const bool exists = axis >= 0 && axis < ModuleProtocol::maxAxes;
    const auto onAxis = [exists](const Command &command) { return exists ? command : Command(); };
    OperationPlan plan(QStringLiteral("reference point setting"), 5, 1);
    plan.unreported(call(&CI::openSettingBracket))
            .step(onAxis(call(&CI::writePreset, axis)))
            .step(call(&CI::closeSettingBracket))
            .step(onAxis(call(&CI::queryPreset, axis)))
            .step(onAxis(call(&CI::queryRefOffset, axis)))
            .step();
    return plan;
}

OperationPlan CommandInterface::refPointClearPlan(int axis) const
{
    const bool exists = axis >= 0 && axis < ModuleProtocol::maxAxes;
    const auto onAxis = [exists](const Command &command) { return exists ? command : Command(); };
    OperationPlan plan(QStringLiteral("reference point clear"), 5, 1);
    plan.unreported(call(&CI::openSettingBracket))
            .step(onAxis(call(&CI::clearRefPoint, axis)))
            .step(call(&CI::closeSettingBracket))
            .step(onAxis(call(&CI::queryRefOffset, axis)))
            .step(onAxis(call(&CI::queryRefUse, axis)))
            .step();
    return plan;
}

OperationPlan CommandInterface::plcLinkSettingPlan() const
{
    const int axes = perAxisCount();
    OperationPlan plan(QStringLiteral("PLC link setting write"), 2 * axisNum + 30);
    plan.step(call(&CI::openSettingBracket))
            .step(call(&CI::writeModuleIpAddr))
            .step(call(&CI::writeSubnetMask))
            .step(call(&CI::writePlcEtherPort))
            .step(call(&CI::writeUsingPlcLink));
    for (int setting = 1; setting <= ModuleProtocol::linkProtocolSettings; ++setting)
        plan.step(call(&CI::writeLinkProtocol, setting));
    plan.step(call(&CI::writeFinsSA1))
            .step(call(&CI::writeFinsDA1))
            .step(call(&CI::writeFinsDNA))
            .step(call(&CI::writeCmodeUnitNo))
            .step(call(&CI::writePlcIpAddr));
    for (int axis = 0; axis < axes; ++axis)
        plan.step(call(&CI::writeParamAddr, axis));
    plan.step(call(&CI::writeCtrlFlagAddr)).step(call(&CI::writeMeasDataAddr)).step(call(&CI::closeSettingBracket));
    addNetworkAndLinkQueries(plan);
    plan.step();
    for (int axis = 0; axis < axes; ++axis)
        plan.step(call(&CI::queryParamAddr, axis));
    // The read-back asks the two PLC memory addresses the other way round from the parameter read.
    plan.step(call(&CI::queryCtrlFlagAddr)).step(call(&CI::queryMeasDataAddr)).step();
    return plan;
}

void CommandInterface::runOperation(const OperationPlan &plan)
{
    run(plan, [] {});
}

// The plan's name is the outcome's; the completion signal comes before operationEnded.
void CommandInterface::run(const OperationPlan &plan, const std::function<void()> &complete)
{
    beginOperation(plan.name);
    perform(plan);
    endOperation();
    complete();
    emit operationEnded(lastOutcome());
}

void CommandInterface::getParameter()
{
    // Commands are separated only by pauses; Nagle must not glue them together.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);

    // The unit number and axis count are this module's or none: without them
    // nothing else can be addressed, and the window reports the module as silent.
    beginOperation(QStringLiteral("parameter read"));
    moduleId = -1;
    axisNum = -1;
    queryConfig();
    if (axisNum >= 1 && running.faults.isEmpty())
        perform(parameterReadPlan());
    endOperation();
    emit transmitConnected();
    emit operationEnded(lastOutcome());
}

void CommandInterface::sendMeasureSetting()
{
    run(measureSettingPlan(), [this] { emit onCompleteMeasureSetting(); });
}

void CommandInterface::sendRefPointSetting(int id)
{
    run(refPointSettingPlan(id), [this, id] { emit onCompleteRefPointSetting(id); });
}

void CommandInterface::sendRefPointClear(int id)
{
    run(refPointClearPlan(id), [this, id] { emit onCompleteRefPointClear(id); });
}

void CommandInterface::sendPLCLinkSetting()
{
    run(plcLinkSettingPlan(), [this] { emit onCompletePLCLinkSetting(); });
}

// The two maintenance commands report no progress and have no completion signal.
void CommandInterface::sendFactoryReset()
{
    beginOperation(QStringLiteral("factory reset"));
    openSettingBracket();
    resetToFactorySettings();
    closeSettingBracket();
    endOperation();
    emit operationEnded(lastOutcome());
}

void CommandInterface::sendCrash()
{
    beginOperation(QStringLiteral("restart"));
    restartModule();
    endOperation();
    emit operationEnded(lastOutcome());
}
