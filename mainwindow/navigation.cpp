// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"

#include "busydialog.h"
#include "commandinterface.h"
#include "pagefields.h"
#include "monitorrecording.h"
#include "ui_mainwindow.h"

#include <QPushButton>
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
    showPage(ui->page_MeasureSetting);
}

void MainWindow::moveToRefPointSetting()
{
    leaveCurrentPage();
    updateRefPointSetting();
    showPage(ui->page_RefPointSetting);
}

void MainWindow::moveToMeasureMonitor()
{
    leaveCurrentPage();
    updateMeasureMonitor();
    showPage(ui->page_MeasureMonitor);
}

void MainWindow::moveToPlcLinkSetting()
{
    leaveCurrentPage();
    updatePlcLinkSetting();
    showPage(ui->page_PlcLinkSetting);
}

// The page's button stays pressed while the page is shown.
void MainWindow::showPage(QWidget *page)
{
    ui->stackedWidget->setCurrentWidget(page);
    const std::pair<QWidget *, QPushButton *> buttons[] = {
        {ui->page_MeasureSetting, ui->pushButton_MeasureSetting},
        {ui->page_RefPointSetting, ui->pushButton_RefPointSetting},
        {ui->page_MeasureMonitor, ui->pushButton_MeasureMonitor},
        {ui->page_PlcLinkSetting, ui->pushButton_PlcLinkSetting}};
    for (const auto &[shown, button] : buttons) {
        if (shown == page)
            button->setChecked(true);
    }
    updateEditMarks();
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
    return acceptFields(currentPageName(), currentPageFields(), consequence);
}

bool MainWindow::acceptFields(const QString &page, const QList<PageField> &fields, const QString &consequence)
{
    const QString problem = PageFields::checkFields(fields);
    // A refusal is over once the texts hold; what the last write did stays to be read.
    if (problem.isEmpty()) {
        if (statusBar()->currentMessage() == std::exchange(refusalShown, QString()))
            statusBar()->clearMessage();
        return true;
    }
    refusalShown = QStringLiteral("%1, %2. %3").arg(page, problem, consequence);
    statusBar()->showMessage(refusalShown);
    return false;
}

QString MainWindow::currentPageName() const
{
    QWidget *const current = ui->stackedWidget->currentWidget();
    if (current == ui->page_MeasureSetting)
        return QStringLiteral("Measure Setting");
    if (current == ui->page_RefPointSetting)
        return QStringLiteral("Ref. Point Setting");
    if (current == ui->page_PlcLinkSetting)
        return QStringLiteral("PLC Link Setting");
    return QStringLiteral("Measure Monitor");
}

QList<PageField> MainWindow::currentPageFields() const
{
    QWidget *const current = ui->stackedWidget->currentWidget();
    if (current == ui->page_MeasureSetting)
        return measureSettingFields();
    if (current == ui->page_RefPointSetting)
        return refPointFields(-1);
    if (current == ui->page_PlcLinkSetting)
        return plcLinkFields();
    return {};
}

// The page's own capture and checks come first; the operation then runs under the
// busy dialog until the link says how it ended. `writes` are the settings it sends and
// reads back, whose values as sent are kept to compare with what comes back.
void MainWindow::startDeviceOperation(const QString &done, const QVector<SettingRef> &writes)
{
    cancelAsked = false;
    operationDone = done;
    operationWrites = writes;
    operationSent = ConfigurationFile::fromStore(*commandInterface);
    busyDialog()->start();
}

void MainWindow::onOperationEnded(const OperationOutcome &outcome)
{
    if (!operationDone.isEmpty())
        endDeviceOperation(outcome);
    else if (std::exchange(readUnderWay, false))
        reportParameterRead(outcome);
    // What the module holds was taken as the operation completed.
    updateEditMarks();
    if (outcome.completed() && linkState != LinkState::Disconnected)
        runPendingWrites();
    else
        dropPendingWrites();
}

// Told from the outcome alone: the store's values are stale exactly when something failed.
void MainWindow::endDeviceOperation(const OperationOutcome &outcome)
{
    const QString done = std::exchange(operationDone, QString());
    const QString written = done.section(QLatin1String(" and read back"), 0, 0);
    cancelAsked = false;
    // A Cancel pressed after the link had finished, before this slot ran.
    commandInterface->withdrawCancel();
    const QString partial = QStringLiteral(
        "The module may now hold part of the new settings:\n"
        "apply them again, or disconnect and connect to read back what the module holds.");
    switch (outcome.ending) {
    case OperationOutcome::Ending::Completed: {
        progressDialog->finish();
        const QString time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
        const QStringList differ = readBackDifferences();
        if (!outcome.faults.isEmpty())
            statusBar()->showMessage(QStringLiteral("%1 at %2, but the read-back has %3. See View, Communication Log.")
                                         .arg(written, time, outcome.faultsText()));
        else if (!differ.isEmpty())
            statusBar()->showMessage(QStringLiteral("%1 at %2; the module holds other values for %3, marked in yellow")
                                             .arg(written, time, listed(differ, 1)));
        else
            statusBar()->showMessage(QStringLiteral("%1 at %2").arg(done, time));
        return;
    }
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

// The settings the module read back otherwise than they were sent, with what it holds.
QStringList MainWindow::readBackDifferences() const
{
    QStringList differ;
    for (const SettingRef &setting : std::as_const(operationWrites)) {
        const QJsonValue held = setting.valueIn(*commandInterface);
        if (!SettingCatalogue::same(*setting.setting, operationSent->value(setting), held))
            differ << QStringLiteral("%1 (%2)").arg(PageFields::settingName(setting),
                                                    SettingCatalogue::text(*setting.setting, held));
    }
    return differ;
}

// "a; b; c and 4 more": a message stays short enough to be read at once.
QString MainWindow::listed(const QStringList &items, int shown)
{
    QString text = QStringList(items.mid(0, shown)).join(QStringLiteral("; "));
    if (items.size() > shown)
        text += QStringLiteral(" and %1 more").arg(items.size() - shown);
    return text;
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
