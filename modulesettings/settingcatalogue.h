// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fieldtext.h"
#include "operationoutcome.h"

#include <QHostAddress>
#include <QJsonValue>
#include <QString>
#include <QVector>

#include <variant>

class CommandInterface;

// Every setting the tool writes to a module, one row each: where it lives in a
// configuration file, what values it takes, where it sits in the link's
// parameter store, and the link's commands that write and read it. The rows of
// one group are listed in the order the window's full writes send them.
struct Setting
{
    enum Group { Axis, Module, Network, PlcLink };
    enum Kind {
        Code,    // an entry of a selection list: an integer from low to high
        Flag,    // a check box: true or false
        Number,  // a finite number
        Integer, // an integer from low to high
        Address  // a dotted IPv4 address
    };
    using Field = std::variant<int *, bool *, double *, QHostAddress *>;
    using Operation = void (*)(CommandInterface &link, int axis);

    Group group;
    const char *key;
    Kind kind;
    FieldText::IntegerRange range; // of a Code or an Integer
    int limitSet; // 1 to 4 for a comparator limit, 0 otherwise
    bool upperLimit;
    Field (*field)(CommandInterface &store, int axis);
    Operation write;
    Operation query;
};

// One setting of one axis (axis 0 for the settings that are not per axis).
struct SettingRef
{
    const Setting *setting = nullptr;
    int axis = 0;

    // Its name in a file and in messages: "axes[3].resolution", "plcLink.finsSA1".
    QString key() const;
    QJsonValue valueIn(const CommandInterface &store) const;
    void assign(CommandInterface &store, const QJsonValue &value) const;
    void write(CommandInterface &link) const { setting->write(link, axis); }
    void query(CommandInterface &link) const { setting->query(link, axis); }
};

namespace SettingCatalogue {

// The file's key of a group: "axes", "module", "network", "plcLink".
QString groupKey(Setting::Group group);

// The settings of a module with this many axes, in the order the window's full
// writes send them: the unit first, then each axis, the module-wide settings, the
// network and PLC-link settings, each axis's parameter address, and the two PLC
// memory addresses last. The comparator limits appear once each.
QVector<SettingRef> inWriteOrder(int axisCount);

// The rows of one group, in table order.
QVector<const Setting *> rows(Setting::Group group);
// The row of a key ("preset", "compHigh2"), or nullptr.
const Setting *find(const QString &key);
// The row of a key that the program itself names; a name without a row stops the program.
const Setting &named(const QString &key);
// A store setting by its file key ("axes[3].compHigh2", "plcLink.linkProtocol1"); a
// field that no file holds by its name ("axes[0].refOffset", "config").
QString keyOf(const StoreSetting &setting);

// Why a file's value does not fit the setting, in words that name no key; empty
// when it fits.
QString check(const Setting &setting, const QJsonValue &value);
QString checkInteger(const QJsonValue &value, FieldText::IntegerRange range);
// A value as the operator reads it: the number text of the pages, true or false,
// the address text.
QString text(const Setting &setting, const QJsonValue &value);
// Whether two values would go to the module as the same command.
bool same(const Setting &setting, const QJsonValue &a, const QJsonValue &b);

} // namespace SettingCatalogue
