#pragma once

#include <QHostAddress>
#include <QString>

class QComboBox;

// How the pages show store values in their widgets and read them back. The pages
// validate nothing: text that is not a number reads as 0, text that is not an
// address as the null address.
namespace FieldText {

QString number(double value);          // %g, six significant digits
double numberOf(const QString &text);  // C locale; 0 for anything else
QString integer(int value);
int integerOf(const QString &text);    // base 10; 0 for anything else
QString address(const QHostAddress &value);
QHostAddress addressOf(const QString &text);

// A combo box whose index i stands for the device code i + firstCode. A code the
// box has no entry for shows as no selection, and a box left without selection
// keeps the stored code, so an unknown code from a module is written back unchanged.
void showCode(QComboBox *box, int code, int firstCode = 0);
void captureCode(const QComboBox *box, int &code, int firstCode = 0);

} // namespace FieldText
