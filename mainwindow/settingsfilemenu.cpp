// SPDX-License-Identifier: GPL-3.0-or-later
// The "File" menu: the pages' settings saved to a configuration file, and a
// file's settings put into the pages, to be written by each page's Apply.

#include "mainwindow.h"

#include "commandinterface.h"
#include "configurationfile.h"
#include "productinfo.h"
#include "ui_mainwindow.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStatusBar>

namespace {
const char fileFilter[] = "Module settings (*.json)";
} // namespace

void MainWindow::initSettingsFileMenu()
{
    // Both entries need a module: its axis count, and the settings read from it.
    const auto setAvailable = [this](bool available) {
        ui->actionSaveSettings->setEnabled(available);
        ui->actionLoadSettings->setEnabled(available);
    };
    setAvailable(false);
    connect(commandInterface, &CommandInterface::transmitConnected, this,
            [this, setAvailable] { setAvailable(commandInterface->axisNum >= 1); });
    connect(commandInterface, &CommandInterface::transmitDisconnected, this, [setAvailable] { setAvailable(false); });

    connect(ui->actionSaveSettings, &QAction::triggered, this, [this] {
        openSettingsFileDialog(true, &MainWindow::saveSettingsFile);
    });
    connect(ui->actionLoadSettings, &QAction::triggered, this, [this] {
        openSettingsFileDialog(false, &MainWindow::loadSettingsFile);
    });
}

// Window-modal and not blocking: the chosen file arrives through `chosen`.
void MainWindow::openSettingsFileDialog(bool save, void (MainWindow::*chosen)(const QString &))
{
    auto *dialog = new QFileDialog(this, save ? QStringLiteral("Save Settings") : QStringLiteral("Load Settings"),
                                   QString(), QLatin1String(fileFilter));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog->setDefaultSuffix(QStringLiteral("json"));
    connect(dialog, &QFileDialog::fileSelected, this, chosen);
    dialog->open();
}

void MainWindow::saveSettingsFile(const QString &path)
{
    // What the pages hold: the page shown is captured as when it is left, and text
    // that holds no value is refused as Apply refuses it.
    if (!checkCurrentPage(QStringLiteral("The settings were not saved.")))
        return;
    if (ui->stackedWidget->currentWidget() != ui->page_MeasureMonitor)
        onTransitDisplay();
    QString error;
    const ConfigurationFile file = ConfigurationFile::fromStore(*commandInterface);
    if (!file.write(path, &error)) {
        showSettingsFileMessage(QStringLiteral("The settings were not saved.\n\n%1").arg(error));
        return;
    }
    statusBar()->showMessage(QStringLiteral("%1 settings of %2 axes saved to %3")
                                     .arg(file.settings(true).size())
                                     .arg(file.axisCount())
                                     .arg(QDir::toNativeSeparators(path)));
}

void MainWindow::loadSettingsFile(const QString &path)
{
    QStringList errors;
    const std::optional<ConfigurationFile> file = ConfigurationFile::read(path, &errors);
    if (!file) {
        showSettingsFileMessage(
                QStringLiteral("Nothing was loaded from %1:\n\n%2").arg(path, errors.join(QLatin1Char('\n'))));
        return;
    }
    if (file->axisCount() != commandInterface->axisNum) {
        showSettingsFileMessage(QStringLiteral("Nothing was loaded: %1 is for a module with %2 axes, "
                                               "and this module has %3.")
                                        .arg(path)
                                        .arg(file->axisCount())
                                        .arg(commandInterface->axisNum));
        return;
    }
    // The module keeps its own address and mask; nothing is written before Apply.
    file->applyTo(*commandInterface, false);
    QWidget *const shown = ui->stackedWidget->currentWidget();
    if (shown == ui->page_MeasureSetting)
        updateMeasureSetting();
    else if (shown == ui->page_RefPointSetting)
        updateRefPointSetting();
    else if (shown == ui->page_PlcLinkSetting)
        updatePlcLinkSetting();
    int differing = 0;
    if (const std::optional<ConfigurationFile> module = moduleSettings()) {
        for (const SettingRef &setting : file->settings(false))
            differing += storeDiffers(*module, setting) ? 1 : 0;
    }
    statusBar()->showMessage(QStringLiteral("%1 settings loaded from %2; %3 differ from the module's and are marked "
                                            "as edited until each page's Apply writes them")
                                     .arg(file->settings(false).size())
                                     .arg(QDir::toNativeSeparators(path))
                                     .arg(differing));
}

void MainWindow::showSettingsFileMessage(const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QLatin1String(ProductInfo::title), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    box->open();
}
