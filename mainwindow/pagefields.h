// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fieldtext.h"
#include "settingcatalogue.h"

#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>

class QComboBox;
class QLineEdit;
class QWidget;

// A field of a page (a line edit, a list box or a check box), the setting it shows,
// and the words the operator knows it by ("axis 3, Comp. High 2").
struct PageField
{
    QWidget *widget;
    SettingRef setting;
    QString name;
};

// How the pages put store values into their widgets and take them back, check the
// texts typed and mark what differs from the module. The text conversions themselves
// are FieldText's (modulesettings).
namespace PageFields {

// A combo box whose index i stands for the device code i + firstCode. A code the
// box has no entry for shows as no selection, and a box left without selection
// keeps the stored code, so an unknown code from a module is written back unchanged.
void showCode(QComboBox *box, int code, int firstCode = 0);
void captureCode(const QComboBox *box, int &code, int firstCode = 0);

// Stores a value read from a field's text; a text that held none leaves the store as it was.
template<typename Value>
void take(Value &field, const std::optional<Value> &value)
{
    if (value)
        field = *value;
}

// The field of a setting of the catalogue ("compHigh2" of axis 3), named in the pages' words.
PageField field(QWidget *widget, const char *key, int axis = 0);
// A setting in the pages' words: "axis 3, Comp. High 2", "PLC Ether port".
QString settingName(const SettingRef &setting);

// Marks every line edit whose text holds no value of its setting's kind, until its
// text changes, and gives the first of them the keyboard focus. Returns the words for
// that one ("axis 3, Comp. High 2: "1,5" is not a number; ..."), empty when all hold.
QString checkFields(const QList<PageField> &fields);
void markRefused(QLineEdit *edit);

// The value a field shows, as a file holds it: undefined for a text that holds none,
// null for a list box without selection (which keeps what the store holds).
QJsonValue shownValue(const PageField &field);
// Marks a field whose value differs from the module's, with the module's value in its
// tooltip, or takes the mark off.
void markEdited(QWidget *widget, bool edited, const QString &moduleText = QString());
bool isMarkedEdited(const QWidget *widget);

} // namespace PageFields
