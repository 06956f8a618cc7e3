// SPDX-License-Identifier: GPL-3.0-or-later
#include "pagefields.h"

#include <QComboBox>
#include <QLineEdit>

namespace PageFields {

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

namespace {

QString problemOf(const CheckedField &field)
{
    const QString text = field.edit->text();
    switch (field.kind) {
    case CheckedField::Kind::Number:
        return FieldText::numberOf(text) ? QString() : FieldText::numberProblem(text);
    case CheckedField::Kind::Integer:
        return FieldText::integerOf(text, field.range) ? QString() : FieldText::integerProblem(text, field.range);
    case CheckedField::Kind::Address:
        return FieldText::addressOf(text) ? QString() : FieldText::addressProblem(text);
    }
    return QString();
}

const char markedProperty[] = "textRefused";

// The mark is a tinted background, taken off by the next change of the text.
void mark(QLineEdit *edit)
{
    if (edit->property(markedProperty).toBool())
        return;
    edit->setProperty(markedProperty, true);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, QColor(255, 205, 205));
    edit->setPalette(palette);
    auto *watch = new QObject(edit);
    QObject::connect(edit, &QLineEdit::textChanged, watch, [edit, watch]() {
        edit->setProperty(markedProperty, false);
        edit->setPalette(QPalette());
        watch->deleteLater();
    });
}

} // namespace

QString checkFields(const QList<CheckedField> &fields)
{
    QString first;
    for (const CheckedField &field : fields) {
        const QString problem = problemOf(field);
        if (problem.isEmpty())
            continue;
        mark(field.edit);
        if (first.isEmpty()) {
            first = QStringLiteral("%1: %2").arg(field.name, problem);
            field.edit->setFocus();
        }
    }
    return first;
}

} // namespace PageFields
