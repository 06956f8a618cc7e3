// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"

#include "busydialog.h"
#include "commandinterface.h"
#include "fieldtext.h"
#include "ui_mainwindow.h"

#include <QLabel>
#include <QStatusBar>
#include <QTime>
#include <QTimer>


BusyDialog *MainWindow::busyDialog()
{
    if (!progressDialog) {
        progressDialog = new BusyDialog(commandInterface, this);
        connect(progressDialog, &BusyDialog::cancelRequested, this, &MainWindow::onCancelBusy);
    }
    return progressDialog;
}

void MainWindow::connectToModule()
{
    if (linkState == LinkState::Connected) {
        const auto disconnect = [this] {
            if (linkState == LinkState::Connected)
                emit disconnectFromHost();
        };
        const QStringList edits = pendingEdits();
        if (edits.isEmpty())
            disconnect();
        else
            askAboutEdits(edits, QStringLiteral("disconnecting"), disconnect);
        return;
    }
    if (linkState != LinkState::Disconnected)
        return;

    // What the last connection's writes did is no news of the next module.
    statusBar()->clearMessage();
    busyDialog()->start();
    const QString addressText = ui->lineEdit_ModuleIpAddr->text();
    const std::optional<QHostAddress> address = FieldText::moduleAddressOf(addressText);
    if (!address) {
        progressDialog->tell(QStringLiteral("Connection failed: %1").arg(FieldText::moduleAddressProblem(addressText)));
        return;
    }
    dialledAddress = address->toString();
    linkState = LinkState::Connecting;
    readUnderWay = true;
    emit connectToHost(address->toIPv4Address(), ModuleProtocol::commandPort);
}

void MainWindow::onConnectionError(QAbstractSocket::SocketError error)
{
    // Only the failures of an attempt matter here. A reply time-out (the socket is
    // still connected) or a dropped connection is handled by the operation or by the
    // disconnection.
    if (linkState != LinkState::Connecting || error == QAbstractSocket::RemoteHostClosedError)
        return;
    if (error == QAbstractSocket::SocketTimeoutError
        && commandInterface->connectionState() == QAbstractSocket::ConnectedState)
        return;
    linkState = LinkState::Disconnected;
    progressDialog->tell(QStringLiteral("Connection failed: %1")
                             .arg(ModuleProtocol::connectionFailureText(error, dialledAddress)));
}

// The attempt is over for the operator at once; the link is asked to drop it and
// to stop its parameter read after the current command.
void MainWindow::abandonConnection()
{
    // A socket still connecting is aborted by the disconnect; a read under way stops.
    if (commandInterface->connectionState() == QAbstractSocket::ConnectedState)
        commandInterface->requestCancel();
    linkState = LinkState::Abandoning;
    ui->pushButton_Connect->setEnabled(false);
    emit disconnectFromHost();
    progressDialog->finish();
    statusBar()->showMessage(QStringLiteral("Connection attempt to %1 abandoned").arg(dialledAddress));
}

void MainWindow::onConnectedModule()
{
    if (linkState != LinkState::Connecting)
        return;
    // Without the configuration there is no unit number to address the module by,
    // and the rest of the read had nothing to go on.
    if (commandInterface->axisNum < 1) {
        linkState = LinkState::Abandoning;
        ui->pushButton_Connect->setEnabled(false);
        emit disconnectFromHost();
        progressDialog->tell(
            QStringLiteral("No answer from %1 to the configuration query.\nThe connection was closed.")
                .arg(dialledAddress));
        return;
    }

    linkState = LinkState::Connected;
    axisOffset = 0;
    // Nothing of the previous connection's monitor is this module's.
    lastReadingTime = QTime();
    showReadingsStale(false);
    for (const QList<QLabel *> *column : {&measureLabels, &modeLabels, &compLabels}) {
        for (QLabel *label : *column)
            label->clear();
    }
    ui->widget_menu->show();
    showPage(ui->page_MeasureSetting);
    updateMeasureSetting();
    ui->lineEdit_ModuleId->setText(QString::number(commandInterface->moduleId, 16).toUpper());
    ui->lineEdit_AxisNum->setText(QString::number(commandInterface->axisNum));
    progressDialog->finish();
    ui->pushButton_Connect->setText(QStringLiteral("Disconnect"));
    ui->lineEdit_ModuleIpAddr->setEnabled(false);
}

void MainWindow::onDisconnectedFromModule()
{
    if (linkState == LinkState::Connecting && progressDialog->isBusy())
        progressDialog->tell(QStringLiteral("The connection to %1 was closed").arg(dialledAddress));
    linkState = LinkState::Disconnected;
    monitorTimer->stop();
    ui->widget_menu->hide();
    ui->lineEdit_ModuleId->setText(QStringLiteral("--"));
    ui->lineEdit_AxisNum->setText(QStringLiteral("--"));
    ui->pushButton_Connect->setText(QStringLiteral("Connect"));
    ui->pushButton_Connect->setEnabled(true);
    ui->lineEdit_ModuleIpAddr->setEnabled(true);
}
