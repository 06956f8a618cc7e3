// SPDX-License-Identifier: GPL-3.0-or-later
#include "form_about.h"

#include "productinfo.h"
#include "ui_form_about.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QSettings>

Form_About::Form_About(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui_Form_About>())
{
    ui->setupUi(this);
    ui->label->setText(QStringLiteral("%1\n%2").arg(QString::fromUtf8(ProductInfo::title),
                                                    QString::fromUtf8(ProductInfo::version)));
    connect(ui->pushButton, &QPushButton::clicked, this, &Form_About::onClosingAboutWindow);
}

Form_About::~Form_About() = default;

// Escape closes the window as its title-bar button does: nothing is written.
void Form_About::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Cancel))
        close();
    else
        QWidget::keyPressEvent(event);
}

void Form_About::setInchUnitEnabled(bool enabled)
{
    ui->checkBox->setChecked(enabled);
}

void Form_About::onClosingAboutWindow()
{
    // The option is worth nothing without the file, and there is no one to tell:
    // a failed write is dropped and the window closes all the same.
    QSettings settings(QStringLiteral("setting.ini"), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("Unit"));
    settings.setValue(QStringLiteral("in"), ui->checkBox->isChecked() ? 1 : 0);
    settings.endGroup();
    settings.sync();

    close();
    deleteLater();
}
