// SPDX-License-Identifier: GPL-3.0-or-later
#include "settingcatalogue.h"

#include "commandinterface.h"
#include "fieldtext.h"

namespace {

using CI = CommandInterface;
using Field = Setting::Field;

// Adapters from the store's members and the link's command members to the
// table's two uniform signatures.
template<auto Member>
Field axisField(CI &store, int axis) { return &(store.*Member)[axis]; }
template<auto Member>
Field moduleField(CI &store, int) { return &(store.*Member); }
template<auto Member, int Set>
Field limitField(CI &store, int axis) { return &(store.*Member)[Set - 1][axis]; }
template<int Setting>
Field protocolField(CI &store, int) { return &store.linkProtocol[Setting - 1]; }

template<auto Command>
void axisOp(CI &link, int axis) { (link.*Command)(axis); }
template<auto Command>
void moduleOp(CI &link, int) { (link.*Command)(); }
template<auto Command, int Set>
void limitOp(CI &link, int axis) { (link.*Command)(axis, Set); }
template<auto Command, int Setting>
void protocolOp(CI &link, int) { (link.*Command)(Setting); }

#define LIMIT(member, Command, set, upper)                                                                      \
    {Setting::Axis, #member #set, Setting::Number, {}, set, upper, limitField<&CI::member, set>,               \
     limitOp<&CI::write##Command, set>, limitOp<&CI::query##Command, set>}

#define PROTOCOL(setting, high)                                                                                  \
    {Setting::PlcLink, "linkProtocol" #setting, Setting::Code, {0, high}, 0, false, protocolField<setting>,        \
     protocolOp<&CI::writeLinkProtocol, setting>, protocolOp<&CI::queryLinkProtocol, setting>}

// In the order of the window's full writes; consecutive per-axis rows are sent
// axis by axis (see inWriteOrder).
const Setting table[] = {
    {Setting::Module, "unit", Setting::Code, {0, 1}, 0, false, moduleField<&CI::unit>, moduleOp<&CI::writeUnit>, moduleOp<&CI::queryUnit>},
    {Setting::Axis, "resolution", Setting::Code, {1, 5}, 0, false, axisField<&CI::resolution>, axisOp<&CI::writeResolution>, axisOp<&CI::queryResolution>},
    {Setting::Axis, "direction", Setting::Flag, {0, 1}, 0, false, axisField<&CI::direction>, axisOp<&CI::writeDirection>, axisOp<&CI::queryDirection>},
    {Setting::Axis, "measMode", Setting::Code, {0, 3}, 0, false, axisField<&CI::measMode>, axisOp<&CI::writeMeasMode>, axisOp<&CI::queryMeasMode>},
    LIMIT(compHigh, CompHigh, 1, true), LIMIT(compHigh, CompHigh, 2, true), LIMIT(compHigh, CompHigh, 3, true), LIMIT(compHigh, CompHigh, 4, true),
    LIMIT(compLow, CompLow, 1, false), LIMIT(compLow, CompLow, 2, false), LIMIT(compLow, CompLow, 3, false), LIMIT(compLow, CompLow, 4, false),
    {Setting::Axis, "compSet", Setting::Code, {1, 4}, 0, false, axisField<&CI::compSet>, axisOp<&CI::writeCompSet>, axisOp<&CI::queryCompSet>},
    {Setting::Axis, "refUse", Setting::Flag, {0, 1}, 0, false, axisField<&CI::refUse>, axisOp<&CI::writeRefUse>, axisOp<&CI::queryRefUse>},
    {Setting::Axis, "preset", Setting::Number, {}, 0, false, axisField<&CI::preset>, axisOp<&CI::writePreset>, axisOp<&CI::queryPreset>},
    {Setting::Module, "extStartInput", Setting::Code, {0, 1}, 0, false, moduleField<&CI::extStartInput>, moduleOp<&CI::writeExtStartInput>, moduleOp<&CI::queryExtStartInput>},
    {Setting::Module, "separator", Setting::Code, {0, 1}, 0, false, moduleField<&CI::separator>, moduleOp<&CI::writeSeparator>, moduleOp<&CI::querySeparator>},
    {Setting::Module, "dataFormat", Setting::Code, {0, 2}, 0, false, moduleField<&CI::dataFormat>, moduleOp<&CI::writeDataFormat>, moduleOp<&CI::queryDataFormat>},
    {Setting::Module, "outputTrigger", Setting::Code, {0, 9}, 0, false, moduleField<&CI::outputTrigger>, moduleOp<&CI::writeOutputTrigger>, moduleOp<&CI::queryOutputTrigger>},
    {Setting::Module, "flowControl", Setting::Code, {0, 1}, 0, false, moduleField<&CI::flowControl>, moduleOp<&CI::writeFlowControl>, moduleOp<&CI::queryFlowControl>},
    {Setting::Network, "moduleIpAddr", Setting::Address, {}, 0, false, moduleField<&CI::moduleIpAddr>, moduleOp<&CI::writeModuleIpAddr>, moduleOp<&CI::queryModuleIpAddr>},
    {Setting::Network, "subnetMask", Setting::Address, {}, 0, false, moduleField<&CI::subnetMask>, moduleOp<&CI::writeSubnetMask>, moduleOp<&CI::querySubnetMask>},
    {Setting::PlcLink, "plcEtherPort", Setting::Integer, FieldText::portRange, 0, false, moduleField<&CI::plcEtherPort>, moduleOp<&CI::writePlcEtherPort>, moduleOp<&CI::queryPlcEtherPort>},
    {Setting::PlcLink, "usingPlcLink", Setting::Flag, {0, 1}, 0, false, moduleField<&CI::usingPlcLink>, moduleOp<&CI::writeUsingPlcLink>, moduleOp<&CI::queryUsingPlcLink>},
    PROTOCOL(1, 7), PROTOCOL(2, 1), PROTOCOL(3, 2),
    {Setting::PlcLink, "finsSA1", Setting::Integer, FieldText::anyInteger, 0, false, moduleField<&CI::finsSA1>, moduleOp<&CI::writeFinsSA1>, moduleOp<&CI::queryFinsSA1>},
    {Setting::PlcLink, "finsDA1", Setting::Integer, FieldText::anyInteger, 0, false, moduleField<&CI::finsDA1>, moduleOp<&CI::writeFinsDA1>, moduleOp<&CI::queryFinsDA1>},
    {Setting::PlcLink, "finsDNA", Setting::Integer, FieldText::anyInteger, 0, false, moduleField<&CI::finsDNA>, moduleOp<&CI::writeFinsDNA>, moduleOp<&CI::queryFinsDNA>},
    {Setting::PlcLink, "cmodeUnitNo", Setting::Integer, FieldText::anyInteger, 0, false, moduleField<&CI::cmodeUnitNo>, moduleOp<&CI::writeCmodeUnitNo>, moduleOp<&CI::queryCmodeUnitNo>},
    {Setting::PlcLink, "plcIpAddr", Setting::Address, {}, 0, false, moduleField<&CI::plcIpAddr>, moduleOp<&CI::writePlcIpAddr>, moduleOp<&CI::queryPlcIpAddr>},
    {Setting::Axis, "paramAddr", Setting::Integer, FieldText::anyInteger, 0, false, axisField<&CI::paramAddr>, axisOp<&CI::writeParamAddr>, axisOp<&CI::queryParamAddr>},
    {Setting::PlcLink, "ctrlFlagAddr", Setting::Integer, FieldText::anyInteger, 0, false, moduleField<&CI::ctrlFlagAddr>, moduleOp<&CI::writeCtrlFlagAddr>, moduleOp<&CI::queryCtrlFlagAddr>},
    {Setting::PlcLink, "measDataAddr", Setting::Integer, FieldText::anyInteger, 0, false, moduleField<&CI::measDataAddr>, moduleOp<&CI::writeMeasDataAddr>, moduleOp<&CI::queryMeasDataAddr>},
};

#undef LIMIT
#undef PROTOCOL

} // namespace

QString SettingRef::key() const
{
    if (setting->group == Setting::Axis)
        return QStringLiteral("axes[%1].%2").arg(axis).arg(QLatin1String(setting->key));
    return QStringLiteral("%1.%2").arg(SettingCatalogue::groupKey(setting->group), QLatin1String(setting->key));
}

QJsonValue SettingRef::valueIn(const CommandInterface &store) const
{
    // The table hands out writable fields; this only reads.
    const Field field = setting->field(const_cast<CommandInterface &>(store), axis);
    if (const auto value = std::get_if<int *>(&field))
        return **value;
    if (const auto value = std::get_if<bool *>(&field))
        return **value;
    if (const auto value = std::get_if<double *>(&field))
        return **value;
    return FieldText::address(*std::get<QHostAddress *>(field));
}

void SettingRef::assign(CommandInterface &store, const QJsonValue &value) const
{
    const Field field = setting->field(store, axis);
    if (const auto target = std::get_if<int *>(&field))
        **target = int(value.toDouble());
    else if (const auto target = std::get_if<bool *>(&field))
        **target = value.toBool();
    else if (const auto target = std::get_if<double *>(&field))
        **target = value.toDouble();
    else
        *std::get<QHostAddress *>(field) = FieldText::addressOf(value.toString()).value_or(QHostAddress());
}

namespace SettingCatalogue {

QString groupKey(Setting::Group group)
{
    switch (group) {
    case Setting::Axis:
        return QStringLiteral("axes");
    case Setting::Module:
        return QStringLiteral("module");
    case Setting::Network:
        return QStringLiteral("network");
    case Setting::PlcLink:
        return QStringLiteral("plcLink");
    }
    return QString();
}

QVector<SettingRef> inWriteOrder(int axisCount)
{
    QVector<SettingRef> order;
    const int rowCount = int(std::size(table));
    for (int row = 0; row < rowCount;) {
        if (table[row].group != Setting::Axis) {
            order.append({&table[row++], 0});
            continue;
        }
        int end = row;
        while (end < rowCount && table[end].group == Setting::Axis)
            ++end;
        for (int axis = 0; axis < axisCount; ++axis) {
            for (int i = row; i < end; ++i)
                order.append({&table[i], axis});
        }
        row = end;
    }
    return order;
}

QVector<const Setting *> rows(Setting::Group group)
{
    QVector<const Setting *> result;
    for (const Setting &row : table) {
        if (row.group == group)
            result.append(&row);
    }
    return result;
}

const Setting *find(const QString &key)
{
    for (const Setting &row : table) {
        if (key == QLatin1String(row.key))
            return &row;
    }
    return nullptr;
}

// A key missing here is a mistake in the program itself: stop at once, in every build.
const Setting &named(const QString &key)
{
    const Setting *row = find(key);
    if (!row)
        qFatal("SettingCatalogue: no setting is named \"%s\"", qPrintable(key));
    return *row;
}

QString keyOf(const StoreSetting &setting)
{
    if (const Setting *row = find(setting.name()))
        return SettingRef{row, qMax(0, setting.axis)}.key();
    if (setting.axis >= 0)
        return QStringLiteral("axes[%1].%2").arg(setting.axis).arg(setting.name());
    return setting.name();
}

// The file's numbers go through the window's own text checks, in their shortest exact text.
QString checkInteger(const QJsonValue &value, FieldText::IntegerRange range)
{
    if (!value.isDouble())
        return QStringLiteral("must be a whole number, written without quotes");
    const QString number = QString::number(value.toDouble(), 'g', 17);
    return FieldText::integerOf(number, range) ? QString() : FieldText::integerProblem(number, range);
}

QString check(const Setting &setting, const QJsonValue &value)
{
    switch (setting.kind) {
    case Setting::Code:
    case Setting::Integer:
        return checkInteger(value, setting.range);
    case Setting::Flag:
        return value.isBool() ? QString() : QStringLiteral("must be true or false");
    case Setting::Number: {
        if (!value.isDouble())
            return QStringLiteral("must be a number, written without quotes");
        const QString number = QString::number(value.toDouble(), 'g', 17);
        return FieldText::numberOf(number) ? QString() : FieldText::numberProblem(number);
    }
    case Setting::Address:
        if (!value.isString())
            return QStringLiteral("must be an address in quotes, such as \"192.168.0.100\"");
        return FieldText::addressOf(value.toString()) ? QString() : FieldText::addressProblem(value.toString());
    }
    return QString();
}

QString text(const Setting &setting, const QJsonValue &value)
{
    switch (setting.kind) {
    case Setting::Code:
    case Setting::Integer:
        return FieldText::integer(int(value.toDouble()));
    case Setting::Flag:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case Setting::Number:
        return FieldText::number(value.toDouble());
    case Setting::Address:
        return value.toString().isEmpty() ? QStringLiteral("(none)") : value.toString();
    }
    return QString();
}

bool same(const Setting &setting, const QJsonValue &a, const QJsonValue &b)
{
    if (setting.kind == Setting::Address)
        return FieldText::addressOf(a.toString()) == FieldText::addressOf(b.toString());
    return text(setting, a) == text(setting, b);
}

} // namespace SettingCatalogue
