#include "mainwindow.h"

#include "monitorrecording.h"
#include "ui_mainwindow.h"

#include <QProgressDialog>
#include <QTimer>

// Every page switch captures the page being left, refreshes the page being
// entered and only then shows it, so a page is never shown with stale contents.

void MainWindow::moveToMeasureSetting()
{
    onTransitDisplay();
    updateMeasureSetting();
    ui->stackedWidget->setCurrentWidget(ui->page_MeasureSetting);
}

void MainWindow::moveToRefPointSetting()
{
    onTransitDisplay();
    updateRefPointSetting();
    ui->stackedWidget->setCurrentWidget(ui->page_RefPointSetting);
}

void MainWindow::moveToMeasureMonitor()
{
    onTransitDisplay();
    updateMeasureMonitor();
    ui->stackedWidget->setCurrentWidget(ui->page_MeasureMonitor);
}

void MainWindow::moveToPlcLinkSetting()
{
    onTransitDisplay();
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

void MainWindow::startDeviceOperation()
{
    busyDialog()->setValue(0);
    progressDialog->setWindowTitle(QString());
    showBusyDialog();
}
