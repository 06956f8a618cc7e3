#include "fieldtext.h"

#include <QComboBox>

namespace FieldText {

QString number(double value)
{
    return QString::number(value, 'g', 6);
}

double numberOf(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? value : 0.0;
}

QString integer(int value)
{
    return QString::number(value);
}

int integerOf(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

QString address(const QHostAddress &value)
{
    return value.toString();
}

QHostAddress addressOf(const QString &text)
{
    return QHostAddress(text);
}

void showCode(QComboBox *box, int code, int firstCode)
{
    const int index = code - firstCode;
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
}

void captureCode(const QComboBox *box, int &code, int firstCode)
{
    if (box->currentIndex() >= 0)
        code = box->currentIndex() + firstCode;
}

} // namespace FieldText
