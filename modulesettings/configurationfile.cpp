// SPDX-License-Identifier: GPL-3.0-or-later
#include "configurationfile.h"

#include "commandinterface.h"
#include "productinfo.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSet>

#include <cmath>

namespace {

const QString formatKey = QStringLiteral("format");
const QString formatVersionKey = QStringLiteral("formatVersion");
const QString toolVersionKey = QStringLiteral("toolVersion");
const QString dateKey = QStringLiteral("date");
const QString unitNumberKey = QStringLiteral("unitNumber");
const QString axisCountKey = QStringLiteral("axisCount");
const QString axesKey = QStringLiteral("axes");
const QString axisKey = QStringLiteral("axis");
const QString refOffsetKey = QStringLiteral("refOffset"); // for information only, never written

QStringList keysOf(Setting::Group group)
{
    QStringList keys;
    for (const Setting *setting : SettingCatalogue::rows(group))
        keys << QLatin1String(setting->key);
    return keys;
}

// Reports a value that is no object, and the keys it lacks or should not have.
QJsonObject checkedObject(const QJsonValue &value, const QString &path, const QStringList &keys, QStringList *errors)
{
    if (!value.isObject()) {
        *errors << QStringLiteral("%1: must be an object { ... }").arg(path);
        return QJsonObject();
    }
    const QJsonObject object = value.toObject();
    const QString prefix = path.isEmpty() ? QString() : path + QLatin1Char('.');
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!keys.contains(it.key()))
            *errors << QStringLiteral("%1%2: unknown key").arg(prefix, it.key());
    }
    for (const QString &key : keys) {
        if (!object.contains(key))
            *errors << QStringLiteral("%1%2: missing").arg(prefix, key);
    }
    return object;
}

void checkSettings(const QJsonObject &object, const QString &path, Setting::Group group, QStringList *errors)
{
    for (const Setting *setting : SettingCatalogue::rows(group)) {
        const QString key = QLatin1String(setting->key);
        if (!object.contains(key))
            continue;
        const QString fault = SettingCatalogue::check(*setting, object.value(key));
        if (!fault.isEmpty())
            *errors << QStringLiteral("%1.%2: %3").arg(path, key, fault);
    }
}

void checkWhole(const QJsonObject &object, const QString &key, FieldText::IntegerRange range, QStringList *errors)
{
    const QString fault = SettingCatalogue::checkInteger(object.value(key), range);
    if (object.contains(key) && !fault.isEmpty())
        *errors << QStringLiteral("%1: %2").arg(key, fault);
}

void checkText(const QJsonObject &object, const QString &key, QStringList *errors)
{
    if (object.contains(key) && !object.value(key).isString())
        *errors << QStringLiteral("%1: must be a text \"...\"").arg(key);
}

// Finds a key given twice in one object, in any bytes: it runs before the document
// is parsed (the parser keeps only the last of two equal keys, and in some versions
// loses the memory of the first). On text that is no JSON it only has to end.
class KeyScanner
{
public:
    explicit KeyScanner(const QByteArray &json) : json(json) {}

    QString firstDuplicate()
    {
        value(QString(), 0);
        return duplicate;
    }

private:
    // Far deeper than a file of settings; the parser reports what lies beyond.
    static constexpr int deepest = 32;

    bool more() const { return at < json.size() && duplicate.isEmpty(); }

    void skipSpace()
    {
        while (at < json.size() && QByteArray(" \t\r\n").contains(json.at(at)))
            ++at;
    }

    // A string token from its opening quote, its escapes decoded.
    QString string()
    {
        QString text;
        for (++at; at < json.size() && json.at(at) != '"'; ++at) {
            if (json.at(at) != '\\') {
                const int start = at;
                while (at + 1 < json.size() && json.at(at + 1) != '"' && json.at(at + 1) != '\\')
                    ++at;
                text += QString::fromUtf8(json.mid(start, at - start + 1));
                continue;
            }
            if (++at >= json.size())
                break;
            const char escaped = json.at(at);
            if (escaped == 'u') {
                text += QChar(json.mid(at + 1, 4).toUShort(nullptr, 16));
                at += 4;
            } else {
                const int simple = QByteArray("bfnrt").indexOf(escaped);
                text += simple >= 0 ? QLatin1Char("\b\f\n\r\t"[simple]) : QLatin1Char(escaped);
            }
        }
        ++at;
        return text;
    }

    void value(const QString &path, int depth)
    {
        skipSpace();
        if (!more())
            return;
        const char c = json.at(at);
        if (c == '"') {
            string();
        } else if ((c == '{' || c == '[') && depth < deepest) {
            ++at;
            c == '{' ? object(path, depth + 1) : array(path, depth + 1);
        } else {
            do
                ++at;
            while (at < json.size() && !QByteArray(",:]} \t\r\n").contains(json.at(at)));
        }
    }

    void object(const QString &path, int depth)
    {
        QSet<QString> keys;
        for (skipSpace(); more() && json.at(at) != '}'; skipSpace()) {
            if (json.at(at) != '"') {
                ++at;
                continue;
            }
            const QString key = string();
            const QString keyPath = path.isEmpty() ? key : path + QLatin1Char('.') + key;
            if (keys.contains(key)) {
                duplicate = keyPath;
                return;
            }
            keys.insert(key);
            skipSpace();
            if (at < json.size() && json.at(at) == ':') {
                ++at;
                value(keyPath, depth);
            }
        }
        ++at;
    }

    void array(const QString &path, int depth)
    {
        for (int index = 0; skipSpace(), more() && json.at(at) != ']';) {
            if (json.at(at) == ',' || json.at(at) == '}')
                ++at;
            else
                value(QStringLiteral("%1[%2]").arg(path).arg(index++), depth);
        }
        ++at;
    }

    const QByteArray &json;
    int at = 0;
    QString duplicate;
};

// The path of the first key that an object holds twice ("axes[1].preset"); empty when none.
QString firstDuplicateKey(const QByteArray &json)
{
    return KeyScanner(json).firstDuplicate();
}

} // namespace

ConfigurationFile::ConfigurationFile(const QJsonObject &root)
    : root(root)
{
}

ConfigurationFile ConfigurationFile::fromStore(const CommandInterface &store)
{
    const int axes = qBound(0, store.axisNum, ModuleProtocol::maxAxes);
    QJsonObject root;
    root.insert(formatKey, QLatin1String(formatName));
    root.insert(formatVersionKey, formatVersion);
    root.insert(toolVersionKey, QLatin1String(ProductInfo::number));
    root.insert(dateKey, QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    root.insert(unitNumberKey, store.moduleId);
    root.insert(axisCountKey, axes);

    QJsonArray axisObjects;
    for (int axis = 0; axis < axes; ++axis) {
        QJsonObject object{{axisKey, axis}};
        for (const Setting *setting : SettingCatalogue::rows(Setting::Axis))
            object.insert(QLatin1String(setting->key), SettingRef{setting, axis}.valueIn(store));
        const double offset = store.refOffset[axis];
        object.insert(refOffsetKey, std::isfinite(offset) ? QJsonValue(offset) : QJsonValue());
        axisObjects.append(object);
    }
    root.insert(axesKey, axisObjects);
    for (const Setting::Group group : {Setting::Module, Setting::Network, Setting::PlcLink}) {
        QJsonObject object;
        for (const Setting *setting : SettingCatalogue::rows(group))
            object.insert(QLatin1String(setting->key), SettingRef{setting, 0}.valueIn(store));
        root.insert(SettingCatalogue::groupKey(group), object);
    }
    return ConfigurationFile(root);
}

std::optional<ConfigurationFile> ConfigurationFile::read(const QString &path, QStringList *errors)
{
    QFile file(path);
    if (!file.exists()) {
        *errors << QStringLiteral("no such file");
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *errors << QStringLiteral("cannot be read: %1").arg(file.errorString());
        return std::nullopt;
    }
    // Read no more than a file may hold: a device or a pipe may never end.
    const QByteArray json = file.read(maxFileSize + 1);
    if (json.size() > maxFileSize) {
        *errors << QStringLiteral("larger than %1 bytes (1 MiB), so not a file of module settings").arg(maxFileSize);
        return std::nullopt;
    }
    return parse(json, errors);
}

std::optional<ConfigurationFile> ConfigurationFile::parse(const QByteArray &json, QStringList *errors)
{
    const int errorsBefore = errors->size();
    // Which of two equal keys was meant is unknown.
    const QString duplicated = firstDuplicateKey(json);
    if (!duplicated.isEmpty()) {
        *errors << QStringLiteral("%1: given more than once").arg(duplicated);
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *errors << QStringLiteral("not a JSON document: %1 at character %2")
                           .arg(parseError.errorString())
                           .arg(parseError.offset);
        return std::nullopt;
    }

    if (document.object().value(formatKey).toString() != QLatin1String(formatName)) {
        *errors << QStringLiteral("format: not \"%1\", so not a file of module settings").arg(QLatin1String(formatName));
        return std::nullopt;
    }
    if (document.object().value(formatVersionKey) != QJsonValue(formatVersion)) {
        *errors << QStringLiteral("formatVersion: this tool reads version %1 only").arg(formatVersion);
        return std::nullopt;
    }

    const QJsonObject root = checkedObject(document.object(), QString(),
                                           {formatKey, formatVersionKey, toolVersionKey, dateKey, unitNumberKey,
                                            axisCountKey, axesKey, SettingCatalogue::groupKey(Setting::Module),
                                            SettingCatalogue::groupKey(Setting::Network),
                                            SettingCatalogue::groupKey(Setting::PlcLink)},
                                           errors);
    checkText(root, toolVersionKey, errors);
    checkText(root, dateKey, errors);
    checkWhole(root, unitNumberKey, {0, 15}, errors);
    checkWhole(root, axisCountKey, {1, ModuleProtocol::maxAxes}, errors);
    for (const Setting::Group group : {Setting::Module, Setting::Network, Setting::PlcLink}) {
        const QString key = SettingCatalogue::groupKey(group);
        if (root.contains(key))
            checkSettings(checkedObject(root.value(key), key, keysOf(group), errors), key, group, errors);
    }

    if (root.contains(axesKey)) {
        const QJsonArray axes = root.value(axesKey).toArray();
        if (!root.value(axesKey).isArray())
            *errors << QStringLiteral("axes: must be a list [ ... ] of axes");
        else if (root.value(axisCountKey).isDouble() && axes.size() != root.value(axisCountKey).toInt())
            *errors << QStringLiteral("axes: %1 axes listed, but axisCount is %2")
                               .arg(axes.size())
                               .arg(root.value(axisCountKey).toInt());
        const QStringList keys = QStringList{axisKey, refOffsetKey} + keysOf(Setting::Axis);
        for (int axis = 0; axis < axes.size(); ++axis) {
            const QString path = QStringLiteral("axes[%1]").arg(axis);
            const QJsonObject object = checkedObject(axes.at(axis), path, keys, errors);
            if (object.contains(axisKey) && object.value(axisKey) != QJsonValue(axis))
                *errors << QStringLiteral("%1.axis: must be %2, the axis's place in the list").arg(path).arg(axis);
            if (object.contains(refOffsetKey) && !object.value(refOffsetKey).isDouble()
                && !object.value(refOffsetKey).isNull())
                *errors << QStringLiteral("%1.refOffset: must be a number or null").arg(path);
            checkSettings(object, path, Setting::Axis, errors);
        }
    }
    if (errors->size() > errorsBefore)
        return std::nullopt;
    return ConfigurationFile(root);
}

QByteArray ConfigurationFile::toJson() const
{
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool ConfigurationFile::write(const QString &path, QString *error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(toJson()) < 0 || !file.commit()) {
        *error = QStringLiteral("%1: cannot be written: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

int ConfigurationFile::axisCount() const
{
    return root.value(axisCountKey).toInt();
}

int ConfigurationFile::unitNumber() const
{
    return root.value(unitNumberKey).toInt();
}

QJsonValue ConfigurationFile::value(const SettingRef &setting) const
{
    const QString key = QLatin1String(setting.setting->key);
    if (setting.setting->group == Setting::Axis)
        return root.value(axesKey).toArray().at(setting.axis).toObject().value(key);
    return root.value(SettingCatalogue::groupKey(setting.setting->group)).toObject().value(key);
}

QVector<SettingRef> ConfigurationFile::settings(bool withNetwork) const
{
    const Setting &preset = SettingCatalogue::named(QStringLiteral("preset"));
    const Setting &refUse = SettingCatalogue::named(QStringLiteral("refUse"));
    QVector<SettingRef> result;
    for (const SettingRef &setting : SettingCatalogue::inWriteOrder(axisCount())) {
        if (setting.setting->group == Setting::Network && !withNetwork)
            continue;
        if (setting.setting == &preset && value({&refUse, setting.axis}).toBool())
            continue;
        result.append(setting);
    }
    return result;
}

QVector<SettingRef> ConfigurationFile::differences(const CommandInterface &store, bool withNetwork) const
{
    QVector<SettingRef> result;
    const int axes = qMin(axisCount(), store.axisNum);
    for (const SettingRef &setting : settings(withNetwork)) {
        if (setting.setting->group == Setting::Axis && setting.axis >= axes)
            continue;
        if (!SettingCatalogue::same(*setting.setting, setting.valueIn(store), value(setting)))
            result.append(setting);
    }
    return result;
}

void ConfigurationFile::applyTo(CommandInterface &store, bool withNetwork) const
{
    for (const SettingRef &setting : settings(withNetwork))
        setting.assign(store, value(setting));
}
