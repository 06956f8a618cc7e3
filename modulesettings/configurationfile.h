// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settingcatalogue.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

class CommandInterface;

// One module's settings as a JSON document (docs/configuration-files.md). A file
// that was read has been checked whole: every key known and present, every value
// of its type and within what the window's pages accept.
class ConfigurationFile
{
public:
    static constexpr char formatName[] = "qr36tn-settings";
    static constexpr int formatVersion = 1;
    // Far more than 16 axes take; a larger file is not one of these.
    static constexpr int maxFileSize = 1 << 20;

    // The store's settings of axes 0 to axisNum - 1, dated now.
    static ConfigurationFile fromStore(const CommandInterface &store);
    // Nothing when the file cannot be read or has any fault; each fault is one
    // message in `errors`, beginning with the key it concerns where it has one.
    static std::optional<ConfigurationFile> read(const QString &path, QStringList *errors);
    static std::optional<ConfigurationFile> parse(const QByteArray &json, QStringList *errors);

    QByteArray toJson() const;
    bool write(const QString &path, QString *error) const;

    int axisCount() const;
    int unitNumber() const;
    QJsonValue value(const SettingRef &setting) const;

    // The settings a load compares and writes, in write order. The module's own
    // address and mask only with `withNetwork`; the preset only on axes that use
    // no reference point, since there it is the reference point's master value.
    QVector<SettingRef> settings(bool withNetwork) const;
    // The settings in which the store differs, over the axes both have.
    QVector<SettingRef> differences(const CommandInterface &store, bool withNetwork) const;
    void applyTo(CommandInterface &store, bool withNetwork) const;

private:
    explicit ConfigurationFile(const QJsonObject &root);

    QJsonObject root;
};
