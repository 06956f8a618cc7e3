// SPDX-License-Identifier: GPL-3.0-or-later
#include "heldsettings.h"

#include "readingformat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

using Completion = HeldSettings::Completion;

int moduleCode(const ConfigurationFile &file, const char *key)
{
    return file.value({&SettingCatalogue::named(QLatin1String(key)), 0}).toInt();
}

QJsonValue axisValue(const ConfigurationFile &file, const QString &key, int axis)
{
    return file.value({&SettingCatalogue::named(key), axis});
}

bool isReadBack(const SettingRef &setting, Completion completion, int axis)
{
    const Setting::Group group = setting.setting->group;
    const bool parameterAddress = setting.setting == &SettingCatalogue::named(QStringLiteral("paramAddr"));
    switch (completion) {
    case Completion::ParameterRead:
        return true;
    case Completion::MeasureSetting:
        return (group == Setting::Axis && !parameterAddress) || group == Setting::Module;
    case Completion::PlcLinkSetting:
        return group == Setting::Network || group == Setting::PlcLink || parameterAddress;
    case Completion::RefPoint:
        return setting.axis == axis
                && (setting.setting == &SettingCatalogue::named(QStringLiteral("preset"))
                    || setting.setting == &SettingCatalogue::named(QStringLiteral("refUse")));
    }
    return false;
}

} // namespace

ReadingSettings ReadingSettings::of(const ConfigurationFile &file)
{
    ReadingSettings settings;
    settings.unitNumber = file.unitNumber();
    settings.axisCount = std::clamp(file.axisCount(), 0, maxAxes);
    settings.dataFormat = moduleCode(file, "dataFormat");
    settings.unit = moduleCode(file, "unit");
    for (int axis = 0; axis < settings.axisCount; ++axis) {
        settings.resolution[axis] = axisValue(file, QStringLiteral("resolution"), axis).toInt();
        const int set = std::clamp(axisValue(file, QStringLiteral("compSet"), axis).toInt(), 1, 4);
        settings.highLimit[axis] = axisValue(file, QStringLiteral("compHigh%1").arg(set), axis).toDouble();
        settings.lowLimit[axis] = axisValue(file, QStringLiteral("compLow%1").arg(set), axis).toDouble();
    }
    return settings;
}

int ReadingSettings::decimals(int axis) const
{
    return ReadingFormat::decimals(resolution.at(size_t(axis)), unit);
}

bool ReadingSettings::sameScale(const ReadingSettings &other) const
{
    return unit == other.unit && axisCount == other.axisCount && resolution == other.resolution;
}

void HeldSettings::take(const CommandInterface &store, Completion completion, int axis)
{
    const ConfigurationFile fresh = ConfigurationFile::fromStore(store);
    if (!file || completion == Completion::ParameterRead || file->axisCount() != fresh.axisCount()) {
        file = fresh;
        settings = ReadingSettings::of(*file);
        return;
    }
    // The held file, with what the operation read back put in.
    QJsonObject root = QJsonDocument::fromJson(file->toJson()).object();
    QJsonArray axes = root.value(QStringLiteral("axes")).toArray();
    for (const SettingRef &setting : SettingCatalogue::inWriteOrder(fresh.axisCount())) {
        if (!isReadBack(setting, completion, axis))
            continue;
        const QString key = QLatin1String(setting.setting->key);
        if (setting.setting->group == Setting::Axis) {
            QJsonObject object = axes.at(setting.axis).toObject();
            object.insert(key, fresh.value(setting));
            axes.replace(setting.axis, object);
        } else {
            const QString groupKey = SettingCatalogue::groupKey(setting.setting->group);
            QJsonObject object = root.value(groupKey).toObject();
            object.insert(key, fresh.value(setting));
            root.insert(groupKey, object);
        }
    }
    root.insert(QStringLiteral("axes"), axes);
    QStringList errors;
    // A store value the file format refuses is the module's as read: it is kept whole.
    std::optional<ConfigurationFile> merged = ConfigurationFile::parse(QJsonDocument(root).toJson(), &errors);
    file = merged ? *merged : fresh;
    settings = ReadingSettings::of(*file);
}

void HeldSettings::clear()
{
    file.reset();
    settings = ReadingSettings();
}

QJsonValue HeldSettings::value(const char *key, int axis) const
{
    return file ? file->value({&SettingCatalogue::named(QLatin1String(key)), axis}) : QJsonValue();
}
