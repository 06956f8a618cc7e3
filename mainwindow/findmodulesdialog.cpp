// SPDX-License-Identifier: GPL-3.0-or-later
#include "findmodulesdialog.h"

#include "addressrange.h"
#include "fieldtext.h"
#include "ui_form_findmodules.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkInterface>
#include <QThread>

#include <algorithm>

namespace {
enum Column { addressColumn, unitColumn, axesColumn, versionColumn };
constexpr int prefillPrefix = 24; // see ownNetworks()
} // namespace

FindModulesDialog::FindModulesDialog(QLineEdit *field, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui_Form_FindModules>())
    , addressField(field)
    , scanThread(new QThread(this))
{
    ui->setupUi(this);
    ui->tableWidget_Modules->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(ui->pushButton_Scan, &QPushButton::clicked, this, &FindModulesDialog::onScan);
    connect(ui->pushButton_CancelScan, &QPushButton::clicked, this, &FindModulesDialog::onCancel);
    connect(ui->pushButton_Close, &QPushButton::clicked, this, &FindModulesDialog::reject);
    connect(ui->pushButton_Use, &QPushButton::clicked, this,
            [this] { useRow(ui->tableWidget_Modules->currentRow()); });
    connect(ui->tableWidget_Modules, &QTableWidget::cellDoubleClicked, this, [this](int row) { useRow(row); });
    connect(ui->tableWidget_Modules, &QTableWidget::itemSelectionChanged, this,
            [this] { ui->pushButton_Use->setEnabled(!ui->tableWidget_Modules->selectedItems().isEmpty()); });
}

FindModulesDialog::~FindModulesDialog()
{
    onCancel();
    scanThread->quit();
    scanThread->wait();
}

QStringList FindModulesDialog::ownNetworks()
{
    QStringList ranges;
    const auto wanted = QNetworkInterface::IsUp | QNetworkInterface::IsRunning;
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
        if ((interface.flags() & wanted) != wanted || interface.flags().testFlag(QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry &entry : interface.addressEntries()) {
            if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            const QString range = AddressRange::network(entry.ip(), std::max(entry.prefixLength(), prefillPrefix));
            if (!ranges.contains(range))
                ranges << range;
        }
    }
    return ranges;
}

void FindModulesDialog::showDialog()
{
    if (ui->lineEdit_ScanRange->text().trimmed().isEmpty()) {
        QStringList ranges = ownNetworks();
        const std::optional<QHostAddress> typed = FieldText::addressOf(addressField->text());
        if (ranges.isEmpty() && typed)
            ranges << AddressRange::network(*typed, prefillPrefix);
        ui->lineEdit_ScanRange->setText(ranges.join(QLatin1Char(' ')));
    }
    open();
}

void FindModulesDialog::reject()
{
    onCancel();
    QDialog::reject();
}

void FindModulesDialog::onScan()
{
    QString problem;
    const std::optional<QVector<QHostAddress>> addresses =
            AddressRange::addressesOf(AddressRange::split(ui->lineEdit_ScanRange->text()), &problem);
    if (!addresses) {
        ui->label_ScanStatus->setText(problem);
        return;
    }
    if (addresses->size() > AddressRange::mostUnasked
        && QMessageBox::question(this, windowTitle(),
                                 QStringLiteral("The ranges hold %1 addresses. Scan them all?").arg(addresses->size()))
                   != QMessageBox::Yes)
        return;

    ui->tableWidget_Modules->setRowCount(0);
    openPorts.clear();
    ui->progressBar_Scan->setRange(0, addresses->size());
    ui->progressBar_Scan->setValue(0);
    ui->label_ScanStatus->setText(QStringLiteral("Scanning %1 addresses...").arg(addresses->size()));

    if (!scanThread->isRunning())
        scanThread->start();
    auto *const started = new ModuleScanner(*addresses, ModuleScanner::Options());
    started->moveToThread(scanThread);
    connect(scanThread, &QThread::finished, started, &QObject::deleteLater);
    connect(started, &ModuleScanner::moduleFound, this, [this, started](const FoundModule &module) {
        if (started == scanner)
            addModule(module);
    });
    connect(started, &ModuleScanner::portOpen, this, [this, started](const OpenPort &port) {
        if (started == scanner)
            openPorts << port.address.toString();
    });
    connect(started, &ModuleScanner::progressed, this, [this, started](int tried) {
        if (started == scanner)
            ui->progressBar_Scan->setValue(tried);
    });
    connect(started, &ModuleScanner::finished, this, [this, started](const ScanResult &result) {
        started->deleteLater();
        if (started == scanner)
            onFinished(result);
    });
    scanner = started;
    QMetaObject::invokeMethod(started, &ModuleScanner::start, Qt::QueuedConnection);
    setScanning(true);
}

// The scan's connections close in its own thread; here it is over at once, and
// whatever it still reports is ignored.
void FindModulesDialog::onCancel()
{
    if (!scanner)
        return;
    QMetaObject::invokeMethod(scanner, &ModuleScanner::cancel, Qt::QueuedConnection);
    scanner = nullptr;
    setScanning(false);
    ui->label_ScanStatus->setText(QStringLiteral("Scan cancelled after %1 of %2 addresses; %3 found")
                                          .arg(ui->progressBar_Scan->value())
                                          .arg(ui->progressBar_Scan->maximum())
                                          .arg(ui->tableWidget_Modules->rowCount()));
}

void FindModulesDialog::addModule(const FoundModule &module)
{
    QTableWidget *const table = ui->tableWidget_Modules;
    const quint32 value = module.address.toIPv4Address();
    int row = 0;
    while (row < table->rowCount() && table->item(row, addressColumn)->data(Qt::UserRole).toUInt() < value)
        ++row;
    table->insertRow(row);
    auto *const address = new QTableWidgetItem(module.address.toString());
    address->setData(Qt::UserRole, value);
    table->setItem(row, addressColumn, address);
    table->setItem(row, unitColumn, new QTableWidgetItem(QString::number(module.unitNumber, 16).toUpper()));
    table->setItem(row, axesColumn, new QTableWidgetItem(QString::number(module.axisCount)));
    table->setItem(row, versionColumn,
                   new QTableWidgetItem(module.version.isNull() ? QStringLiteral("(no reply)") : module.version));
}

void FindModulesDialog::onFinished(const ScanResult &result)
{
    scanner = nullptr;
    setScanning(false);
    QString text = result.summary();
    if (!openPorts.isEmpty())
        text += QStringLiteral("\nPort open, no module reply: ") + openPorts.join(QLatin1String(", "));
    if (result.untried > 0)
        text += QStringLiteral("\n%1 addresses not tried: %2").arg(result.untried).arg(result.untriedReason);
    ui->label_ScanStatus->setText(text);
}

void FindModulesDialog::setScanning(bool scanning)
{
    ui->pushButton_Scan->setEnabled(!scanning);
    ui->lineEdit_ScanRange->setEnabled(!scanning);
    ui->pushButton_CancelScan->setEnabled(scanning);
}

void FindModulesDialog::useRow(int row)
{
    const QTableWidgetItem *const address = ui->tableWidget_Modules->item(row, addressColumn);
    if (!address)
        return;
    // While a module is connected the field shows that module's address.
    if (!addressField->isEnabled()) {
        ui->label_ScanStatus->setText(QStringLiteral("Disconnect first: the address field takes another address only "
                                                     "while no module is connected."));
        return;
    }
    onCancel();
    addressField->setText(address->text());
    accept();
}
