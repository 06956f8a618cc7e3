#pragma once

#include <optional>

class QComboBox;

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

} // namespace PageFields
