// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProgressDialog>

class CommandInterface;
class QLabel;

// The application-modal dialog shown while the link works for the window. The link
// drives its bar; it stays up until the window ends it, whatever the bar shows.
// While busy, its button, its close button and Escape all ask to stop (cancelRequested);
// after tell() it shows a message with "Close" and any of them just closes it.
class BusyDialog : public QProgressDialog
{
    Q_OBJECT

public:
    BusyDialog(CommandInterface *link, QWidget *parent);

    void start();                        // "Please wait...", Cancel, bar at 0; shown
    void stopping(const QString &text);  // stays up, without a button to press again
    void tell(const QString &text);      // stays up with the message until closed
    void finish();                       // hidden
    bool isBusy() const { return isVisible() && !told; }

signals:
    void cancelRequested();

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void onButton();
    void showActive();

    QLabel *label;
    QPushButton *button;
    bool told;
};
