// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"

#include "busydialog.h"
#include "commandinterface.h"
#include "pagefields.h"
#include "monitorrecording.h"
#include "ui_mainwindow.h"

#include <QStatusBar>
#include <QTimer>

// Every page switch captures the page being left, refreshes the page being
// entered and only then shows it, so a page is never shown with stale contents.
// A text that holds no value is not captured: its setting keeps its last valid
// value, and the status bar says so.

void MainWindow::moveToMeasureSetting()
{
    leaveCurrentPage();
    updateMeasureSetting();
    ui->stackedWidget->setCurrentWidget(ui->page_MeasureSetting);
}

void MainWindow::moveToRefPointSetting()
{
    leaveCurrentPage();
    updateRefPointSetting();
    ui->stackedWidget->setCurrentWidget(ui->page_RefPointSetting);
}

void MainWindow::moveToMeasureMonitor()
{
    leaveCurrentPage();
    updateMeasureMonitor();
    ui->stackedWidget->setCurrentWidget(ui->page_MeasureMonitor);
}

void MainWindow::moveToPlcLinkSetting()
{
    leaveCurrentPage();
    updatePlcLinkSetting();
    ui->stackedWidget->setCurrentWidget(ui->page_PlcLinkSetting);
}

void MainWindow::onTransitDisplay()
{
    QWidget *const current = ui->stackedWidget->currentWidget();
    if (current == ui->page_MeasureSetting)
        captureMeasureSetting();
    else if (current == ui->page_RefPointSetting)
        captureRefPointSetting();
    else if (current == ui->page_PlcLinkSetting)
        capturePlcLinkSetting();
    else if (current == ui->page_MeasureMonitor) {
        monitorTimer->stop();
        monitorRecording->stopRecording();
    }
}

const char MainWindow::notSentText[] = "Nothing was sent to the module.";

void MainWindow::leaveCurrentPage()
{
    checkCurrentPage(QStringLiteral("Its last valid value is kept."));
    onTransitDisplay();
}

bool MainWindow::checkCurrentPage(const QString &consequence)
{
    QWidget *const current = ui->stackedWidget->currentWidget();
    if (current == ui->page_MeasureSetting)
        return acceptFields(QStringLiteral("Measure Setting"), measureSettingFields(), consequence);
    if (current == ui->page_RefPointSetting)
        return acceptFields(QStringLiteral("Ref. Point Setting"), refPointFields(-1), consequence);
    if (current == ui->page_PlcLinkSetting)
        return acceptFields(QStringLiteral("PLC Link Setting"), plcLinkFields(), consequence);
    return true;
}

bool MainWindow::acceptFields(const QString &page, const QList<CheckedField> &fields, const QString &consequence)
{
    const QString problem = PageFields::checkFields(fields);
    if (problem.isEmpty()) {
        statusBar()->clearMessage();
        return true;
    }
    statusBar()->showMessage(QStringLiteral("%1, %2. %3").arg(page, problem, consequence));
    return false;
}

// The page's own capture and checks come first; the operation then runs under the
// busy dialog until its completion slot calls endDeviceOperation.
void MainWindow::startDeviceOperation()
{
    cancelAsked = false;
    busyDialog()->start();
}

void MainWindow::endDeviceOperation()
{
    if (!progressDialog)
        return;
    const bool stopped = cancelAsked && commandInterface->operationCancelled();
    cancelAsked = false;
    // A Cancel pressed after the link had finished, before this slot ran.
    commandInterface->withdrawCancel();
    if (!stopped) {
        progressDialog->finish();
        return;
    }
    progressDialog->tell(QStringLiteral(
        "Stopped before the end. The module may now hold part of the new settings:\n"
        "apply them again, or disconnect and connect to read back what the module holds."));
}

void MainWindow::onCancelBusy()
{
    if (linkState == LinkState::Connecting) {
        abandonConnection();
        return;
    }
    // The link stops after its current command, closes an open setting bracket and
    // still ends with the operation's completion signal.
    cancelAsked = true;
    commandInterface->requestCancel();
    progressDialog->stopping(QStringLiteral("Stopping after the current command..."));
}
