// SPDX-License-Identifier: GPL-3.0-or-later
#include "busydialog.h"

#include "commandinterface.h"
#include "productinfo.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>

#include <limits>

namespace {
const char pleaseWait[] = "Please wait...";
} // namespace

BusyDialog::BusyDialog(CommandInterface *link, QWidget *parent)
    : QProgressDialog(parent)
    , label(new QLabel(this))
    , button(new QPushButton(this))
    , told(false)
{
    setMinimum(0);
    setWindowFlag(Qt::Window, true);
    setModal(true);
    // The bar reaching its maximum says nothing about the operation's end: some
    // operations get there before their last command.
    setAutoReset(false);
    setAutoClose(false);
    // Shown and hidden by the window only, never by the dialog's own estimate.
    setMinimumDuration(std::numeric_limits<int>::max());
    // Texts here may carry what the operator typed.
    label->setTextFormat(Qt::PlainText);
    setLabel(label);
    setCancelButton(button);
    // Replacing the button leaves QProgressDialog with two Escape shortcuts, which
    // cancel each other out and swallow the key; without them Escape reaches reject().
    for (QShortcut *shortcut : findChildren<QShortcut *>())
        shortcut->setEnabled(false);
    // QProgressDialog connects these by name; its cancel() would hide the dialog.
    disconnect(this, SIGNAL(canceled()), this, SLOT(cancel()));
    connect(this, &QProgressDialog::canceled, this, &BusyDialog::onButton);
    connect(link, &CommandInterface::setProgress, this, &QProgressDialog::setValue, Qt::QueuedConnection);
    connect(link, &CommandInterface::setProgMaximum, this, &QProgressDialog::setMaximum, Qt::QueuedConnection);
    setValue(0);
    // Without a title a window manager shows the program's file name. Three times as
    // wide as the title in our font: a title bar's font is often larger and bold, and
    // the bar holds an icon and three buttons; narrower, the title is cut to
    // "QR36-... tool" over "Please wait...".
    setWindowTitle(QLatin1String(ProductInfo::title));
    setMinimumWidth(3 * fontMetrics().horizontalAdvance(windowTitle()));
}

void BusyDialog::start()
{
    told = false;
    setValue(0);
    setLabelText(QLatin1String(pleaseWait));
    setCancelButtonText(QStringLiteral("Cancel"));
    button->setEnabled(true);
    showActive();
}

// A window manager need not give a new dialog the keyboard; Escape must reach it.
void BusyDialog::showActive()
{
    show();
    activateWindow();
}

void BusyDialog::stopping(const QString &text)
{
    setLabelText(text);
    button->setEnabled(false);
}

void BusyDialog::tell(const QString &text)
{
    told = true;
    // An empty bar: the message is the outcome, not a step of the operation.
    reset();
    setLabelText(text);
    setCancelButtonText(QStringLiteral("Close"));
    button->setEnabled(true);
    showActive();
}

void BusyDialog::finish()
{
    told = false;
    hide();
}

void BusyDialog::onButton()
{
    if (told)
        finish();
    else if (button->isEnabled())
        emit cancelRequested();
}

void BusyDialog::reject()
{
    onButton();
}

void BusyDialog::closeEvent(QCloseEvent *event)
{
    event->ignore();
    onButton();
}
