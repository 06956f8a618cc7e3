// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fieldtext.h"

#include <QList>
#include <QString>

#include <optional>

class QComboBox;
class QLineEdit;

// A text field of a page, the kind of value its text must hold, and the words the
// operator knows it by ("axis 3, Comp. High 2").
struct CheckedField
{
    enum class Kind { Number, Integer, Address };
    QLineEdit *edit;
    Kind kind;
    QString name;
    FieldText::IntegerRange range = FieldText::anyInteger;
};

// How the pages put store values into their widgets and take them back. The text
// conversions themselves are FieldText's (modulesettings).
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

// Marks every field whose text holds no value of its kind, until its text changes,
// and gives the first of them the keyboard focus. Returns the words for that one
// ("axis 3, Comp. High 2: "1,5" is not a number; ..."), empty when all hold.
QString checkFields(const QList<CheckedField> &fields);

} // namespace PageFields
