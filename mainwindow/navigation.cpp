// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"

#include "busydialog.h"
#include "commandinterface.h"
#include "pagefields.h"
#include "monitorrecording.h"
#include "ui_mainwindow.h"

#include <QStatusBar>
#include <QTime>
#include <QTimer>

#include <utility>

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
// busy dialog until the link says how it ended.
void MainWindow::startDeviceOperation(const QString &done)
{
    cancelAsked = false;
    operationDone = done;
    busyDialog()->start();
}

void MainWindow::onOperationEnded(const OperationOutcome &outcome)
{
    // After an operation that ran to its end the store holds the module's replies.
    if (outcome.completed() && linkState != LinkState::Disconnected)
        moduleHolds = ConfigurationFile::fromStore(*commandInterface);
    if (!operationDone.isEmpty())
        endDeviceOperation(outcome);
    else if (std::exchange(readUnderWay, false))
        reportParameterRead(outcome);
}

// Told from the outcome alone: the store's values are stale exactly when something failed.
void MainWindow::endDeviceOperation(const OperationOutcome &outcome)
{
    const QString done = std::exchange(operationDone, QString());
    cancelAsked = false;
    // A Cancel pressed after the link had finished, before this slot ran.
    commandInterface->withdrawCancel();
    const QString partial = QStringLiteral(
        "The module may now hold part of the new settings:\n"
        "apply them again, or disconnect and connect to read back what the module holds.");
    switch (outcome.ending) {
    case OperationOutcome::Ending::Completed:
        progressDialog->finish();
        if (outcome.faults.isEmpty())
            statusBar()->showMessage(QStringLiteral("%1 at %2").arg(done, QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
        else
            statusBar()->showMessage(QStringLiteral("%1, but the read-back has %2. See View, Communication Log.")
                                         .arg(done.section(QLatin1String(" and read back"), 0, 0), outcome.faultsText()));
        return;
    case OperationOutcome::Ending::ConnectionLost:
        progressDialog->tell(QStringLiteral("The connection to %1 was lost before the end (%2).\n")
                                 .arg(dialledAddress, outcome.endingText())
                             + partial);
        return;
    case OperationOutcome::Ending::Cancelled:
    case OperationOutcome::Ending::ShutDown:
        progressDialog->tell(QStringLiteral("Stopped before the end. ") + partial);
        return;
    }
}

// A read in which some settings brought back nothing shows their values from before.
void MainWindow::reportParameterRead(const OperationOutcome &outcome)
{
    if (linkState != LinkState::Connected)
        return;
    if (outcome.ending == OperationOutcome::Ending::ConnectionLost)
        statusBar()->showMessage(QStringLiteral("The connection to %1 was lost during the read (%2).")
                                     .arg(dialledAddress, outcome.endingText()));
    else if (!outcome.faults.isEmpty())
        statusBar()->showMessage(QStringLiteral("Read from %1 with %2; those show their earlier values. "
                                                "See View, Communication Log.")
                                     .arg(dialledAddress, outcome.faultsText()));
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
