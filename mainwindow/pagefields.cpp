// SPDX-License-Identifier: GPL-3.0-or-later
#include "pagefields.h"

#include <QAbstractButton>
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

// The captions of the pages, by the setting's key; a key ending in a set or
// protocol number is found without it.
const struct
{
    const char *key;
    const char *caption;
} captions[] = {
    {"unit", "Unit"},
    {"resolution", "Resolution"},
    {"direction", "Minus"},
    {"measMode", "Meas Mode"},
    {"compHigh", "Comp. High"},
    {"compLow", "Comp. Low"},
    {"compSet", "Comp. Set"},
    {"refUse", "Ref. use"},
    {"preset", "Preset"},
    {"extStartInput", "Ext. Start input"},
    {"separator", "Separator"},
    {"dataFormat", "Data format"},
    {"outputTrigger", "Output trigger"},
    {"flowControl", "FlowControl"},
    {"moduleIpAddr", "Module IP Address"},
    {"subnetMask", "Subnet mask"},
    {"plcEtherPort", "PLC Ether port"},
    {"usingPlcLink", "Use PLC-Link"},
    {"linkProtocol", "Protocol"},
    {"finsSA1", "FINS SA1"},
    {"finsDA1", "FINS DA1"},
    {"finsDNA", "FINS DNA"},
    {"cmodeUnitNo", "Cmode UnitNo."},
    {"plcIpAddr", "PLC IP Address"},
    {"paramAddr", "Parameter Address"},
    {"ctrlFlagAddr", "Ctrl Frag Address"},
    {"measDataAddr", "MeasData Address"},
};

QString captionOf(const QString &key)
{
    for (const auto &caption : captions) {
        if (key == QLatin1String(caption.key))
            return QLatin1String(caption.caption);
    }
    return QString();
}

QString problemOf(const PageField &field, const QString &text)
{
    const Setting &setting = *field.setting.setting;
    switch (setting.kind) {
    case Setting::Number:
        return FieldText::numberOf(text) ? QString() : FieldText::numberProblem(text);
    case Setting::Integer:
        return FieldText::integerOf(text, setting.range) ? QString() : FieldText::integerProblem(text, setting.range);
    case Setting::Address:
        return FieldText::addressOf(text) ? QString() : FieldText::addressProblem(text);
    case Setting::Code:
    case Setting::Flag:
        break;
    }
    return QString();
}

const char refusedProperty[] = "textRefused";
const char editedProperty[] = "differsFromModule";

// One tint at a time: a refused text outranks an edit.
void paint(QWidget *widget)
{
    QPalette palette;
    const bool tinted = widget->property(refusedProperty).toBool() || widget->property(editedProperty).toBool();
    if (tinted) {
        const QColor tint = widget->property(refusedProperty).toBool() ? QColor(255, 205, 205) : QColor(255, 236, 150);
        // Line edits fill with Base, list boxes with Button; a check box's small
        // box hardly shows a tint, so its whole area takes it.
        palette.setColor(QPalette::Base, tint);
        palette.setColor(QPalette::Button, tint);
        palette.setColor(QPalette::Window, tint);
    }
    widget->setAutoFillBackground(tinted && qobject_cast<QAbstractButton *>(widget));
    widget->setPalette(palette);
}

} // namespace

PageField field(QWidget *widget, const char *key, int axis)
{
    const SettingRef setting{&SettingCatalogue::named(QLatin1String(key)), axis};
    return {widget, setting, settingName(setting)};
}

QString settingName(const SettingRef &setting)
{
    QString key = QLatin1String(setting.setting->key);
    QString caption = captionOf(key);
    if (caption.isEmpty()) {
        const QChar number = key.back();
        key.chop(1);
        caption = captionOf(key) + QLatin1Char(' ') + number;
    }
    if (setting.setting->group == Setting::Axis)
        return QStringLiteral("axis %1, %2").arg(setting.axis).arg(caption);
    return caption;
}

// The mark is a tinted background, taken off by the next change of the text.
void markRefused(QLineEdit *edit)
{
    if (edit->property(refusedProperty).toBool())
        return;
    edit->setProperty(refusedProperty, true);
    paint(edit);
    auto *watch = new QObject(edit);
    QObject::connect(edit, &QLineEdit::textChanged, watch, [edit, watch]() {
        edit->setProperty(refusedProperty, false);
        paint(edit);
        watch->deleteLater();
    });
}

QString checkFields(const QList<PageField> &fields)
{
    QString first;
    for (const PageField &field : fields) {
        auto *edit = qobject_cast<QLineEdit *>(field.widget);
        const QString problem = edit ? problemOf(field, edit->text()) : QString();
        if (problem.isEmpty())
            continue;
        markRefused(edit);
        if (first.isEmpty()) {
            first = QStringLiteral("%1: %2").arg(field.name, problem);
            edit->setFocus();
        }
    }
    return first;
}

QJsonValue shownValue(const PageField &field)
{
    const Setting &setting = *field.setting.setting;
    if (const auto *box = qobject_cast<const QComboBox *>(field.widget))
        return box->currentIndex() < 0 ? QJsonValue() : QJsonValue(box->currentIndex() + setting.range.minimum);
    if (const auto *check = qobject_cast<const QAbstractButton *>(field.widget))
        return check->isChecked();
    const QString text = static_cast<const QLineEdit *>(field.widget)->text();
    if (setting.kind == Setting::Address)
        return text;
    if (setting.kind == Setting::Number) {
        if (const std::optional<double> number = FieldText::numberOf(text))
            return *number;
    } else if (const std::optional<int> integer = FieldText::integerOf(text, setting.range)) {
        return *integer;
    }
    return QJsonValue(QJsonValue::Undefined);
}

void markEdited(QWidget *widget, bool edited, const QString &moduleText)
{
    const QString tip = edited ? QStringLiteral("Edited, not yet applied. The module holds %1.").arg(moduleText) : QString();
    if (isMarkedEdited(widget) == edited && widget->toolTip() == tip)
        return;
    widget->setProperty(editedProperty, edited);
    widget->setToolTip(tip);
    paint(widget);
}

bool isMarkedEdited(const QWidget *widget)
{
    return widget->property(editedProperty).toBool();
}

} // namespace PageFields
