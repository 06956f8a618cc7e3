#include "mainwindow.h"

#include "commandinterface.h"
#include "ui_mainwindow.h"

#include <QProgressDialog>

namespace {
constexpr int modulePort = 24000;
const char pleaseWait[] = "Please wait...";
} // namespace

quint32 MainWindow::ipv4Number(const QString &text)
{
    bool isIpv4 = false;
    const quint32 number = QHostAddress(text).toIPv4Address(&isIpv4);
    return isIpv4 ? number : 0;
}

QString MainWindow::connectionFailureText(QAbstractSocket::SocketError error, const QString &address)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("Connection refused by %1").arg(address);
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("No module found at %1").arg(address);
    case QAbstractSocket::NetworkError:
        return QStringLiteral("No route to %1, or no answer from it").arg(address);
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("No answer from %1").arg(address);
    case QAbstractSocket::SocketAccessError:
    case QAbstractSocket::SocketResourceError:
        return QStringLiteral("This computer refused to open a connection to %1").arg(address);
    default:
        return QStringLiteral("Connection to %1 failed").arg(address);
    }
}

QProgressDialog *MainWindow::busyDialog()
{
    if (!progressDialog) {
        progressDialog = new QProgressDialog(this);
        progressDialog->setMinimum(0);
        progressDialog->setWindowFlag(Qt::Window, true);
        progressDialog->setModal(true);
        connect(commandInterface, &CommandInterface::setProgress, progressDialog,
                &QProgressDialog::setValue, Qt::QueuedConnection);
        connect(commandInterface, &CommandInterface::setProgMaximum, progressDialog,
                &QProgressDialog::setMaximum, Qt::QueuedConnection);
        progressDialog->setValue(0);
        progressDialog->setWindowTitle(QString());
    }
    return progressDialog;
}

void MainWindow::showBusyDialog()
{
    busyDialog()->setLabelText(QLatin1String(pleaseWait));
    progressDialog->show();
}

void MainWindow::closeBusyDialog()
{
    if (progressDialog)
        progressDialog->close();
}

void MainWindow::connectToModule()
{
    if (ui->pushButton_Connect->text().startsWith(QLatin1String("Connect"))) {
        showBusyDialog();

        const QString addressText = ui->lineEdit_ModuleIpAddr->text();
        const quint32 address = ipv4Number(addressText);
        // 0.0.0.0 would reach this very computer, not a module: say so instead.
        if (address == 0) {
            progressDialog->setLabelText(
                QStringLiteral("Connection failed: \"%1\" is not an IPv4 address").arg(addressText));
            return;
        }
        emit connectToHost(address, modulePort);
    } else {
        emit disconnectFromHost();
    }
}

void MainWindow::onConnectionError(QAbstractSocket::SocketError error)
{
    // Only the failures of an attempt matter here. A reply time-out (the socket is
    // still connected) or a dropped connection is handled by the operation or by the
    // disconnection.
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    if (error == QAbstractSocket::SocketTimeoutError
        && commandInterface->connectionState() == QAbstractSocket::ConnectedState)
        return;
    if (!progressDialog || !progressDialog->isVisible()
        || !ui->pushButton_Connect->text().startsWith(QLatin1String("Connect")))
        return;
    progressDialog->setLabelText(connectionFailureText(error, ui->lineEdit_ModuleIpAddr->text()));
}

void MainWindow::onConnectedModule()
{
    ui->widget_menu->show();
    ui->stackedWidget->setCurrentWidget(ui->page_MeasureSetting);
    updateMeasureSetting();
    ui->lineEdit_ModuleId->setText(QString::number(commandInterface->moduleId, 16).toUpper());
    ui->lineEdit_AxisNum->setText(QString::number(commandInterface->axisNum));
    closeBusyDialog();
    ui->pushButton_Connect->setText(QStringLiteral("Disconnect"));
    ui->lineEdit_ModuleIpAddr->setEnabled(false);
}

void MainWindow::onDisconnectedFromModule()
{
    ui->widget_menu->hide();
    ui->lineEdit_ModuleId->setText(QStringLiteral("--"));
    ui->lineEdit_AxisNum->setText(QStringLiteral("--"));
    ui->pushButton_Connect->setText(QStringLiteral("Connect"));
    ui->lineEdit_ModuleIpAddr->setEnabled(true);
}
