// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitorrecording.h"

#include "commandinterface.h"
#include "productinfo.h"
#include "readingformat.h"
#include "trendwindow.h"
#include "ui_form_measuremonitor.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QStandardPaths>

#include <algorithm>
#include <limits>

MonitorRecording::MonitorRecording(CommandInterface *link, Ui_Form_MeasureMonitor *page, const QLineEdit *addressEdit,
                                   QWidget *window)
    : QObject(window)
    , link(link)
    , page(page)
    , addressEdit(addressEdit)
    , window(window)
    , folder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
{
    clock.start();
    connect(page->pushButton_Record, &QPushButton::clicked, this, &MonitorRecording::chooseFile);
    connect(page->pushButton_StopRecording, &QPushButton::clicked, this, &MonitorRecording::stopRecording);
    connect(page->pushButton_Trend, &QPushButton::clicked, this, &MonitorRecording::openTrendWindow);
    // A new connection may be to another module: its readings start afresh.
    connect(link, &CommandInterface::transmitConnected, this, [this] {
        history.clear();
        showState(QStringLiteral("Not recording"));
        this->page->pushButton_Record->setEnabled(true);
    });
    connect(link, &CommandInterface::transmitDisconnected, this, [this] {
        stopRecording();
        this->page->pushButton_Record->setEnabled(false);
    });
    window->installEventFilter(this);
}

MonitorRecording::~MonitorRecording()
{
    recorder.stop();
    // The trend window reads this object's history.
    delete trendWindow.data();
}

bool MonitorRecording::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window && event->type() == QEvent::Close)
        stopRecording();
    return QObject::eventFilter(watched, event);
}

double MonitorRecording::secondsNow() const
{
    return double(clock.nsecsElapsed()) / 1e9;
}

void MonitorRecording::addReading(const MeasurementSnapshot &reading)
{
    const int axes = std::clamp(link->axisNum, 0, ReadingHistory::maxAxes);
    ReadingHistory::Values values;
    values.fill(std::numeric_limits<double>::quiet_NaN());
    std::copy(reading.measValue, reading.measValue + axes, values.begin());
    const double seconds = secondsNow();
    history.add(seconds, values);

    if (recorder.isRecording()) {
        int decimals[ReadingHistory::maxAxes];
        for (int axis = 0; axis < axes; ++axis)
            decimals[axis] = ReadingFormat::decimals(link->resolution[axis], link->unit);
        if (!recorder.writeRow(QDateTime::currentDateTimeUtc(), seconds - recordingStart, reading, decimals)) {
            fail(QStringLiteral("Recording stopped: \"%1\" could not be written (%2). The %3 rows before "
                                "are in the file.")
                         .arg(QDir::toNativeSeparators(recorder.fileName()), recorder.errorString())
                         .arg(recorder.rows()));
        } else if (rowsShown.elapsed() >= 1000) {
            // Once a second: a count that changes five times a second cannot be read anyway.
            showState(QStringLiteral("Recording to %1\n%2 rows")
                              .arg(QFileInfo(recorder.fileName()).fileName())
                              .arg(recorder.rows()));
            rowsShown.start();
        }
    }
    if (trendWindow)
        trendWindow->refresh();
}

// Asked without blocking: the monitor goes on polling while the operator chooses.
void MonitorRecording::chooseFile()
{
    if (recorder.isRecording() || fileDialog)
        return;
    fileDialog = new QFileDialog(window, QStringLiteral("Record readings"));
    fileDialog->setAttribute(Qt::WA_DeleteOnClose);
    fileDialog->setAcceptMode(QFileDialog::AcceptSave);
    fileDialog->setNameFilter(QStringLiteral("CSV files (*.csv)"));
    fileDialog->setDefaultSuffix(QStringLiteral("csv"));
    fileDialog->setDirectory(folder);
    fileDialog->selectFile(
            QStringLiteral("readings-%1.csv").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    connect(fileDialog, &QFileDialog::fileSelected, this, &MonitorRecording::startRecording);
    fileDialog->open();
}

void MonitorRecording::startRecording(const QString &path)
{
    if (recorder.isRecording())
        return;
    folder = QFileInfo(path).absolutePath();
    RecordingHeader header;
    header.moduleAddress = addressEdit->text();
    header.unitNumber = link->moduleId;
    header.axisCount = link->axisNum;
    header.dataFormat = link->dataFormat;
    header.unit = link->unit;
    header.toolVersion =
            QStringLiteral("%1 %2").arg(QLatin1String(ProductInfo::title), QLatin1String(ProductInfo::version));
    header.start = QDateTime::currentDateTime();
    recordingStart = secondsNow();
    if (!recorder.start(path, header)) {
        fail(QStringLiteral("Recording not started: \"%1\" could not be written (%2).")
                     .arg(QDir::toNativeSeparators(path), recorder.errorString()));
        return;
    }
    history.startRecording(recordingStart);
    page->pushButton_Record->setEnabled(false);
    page->pushButton_StopRecording->setEnabled(true);
    showState(QStringLiteral("Recording to %1\n0 rows").arg(QFileInfo(path).fileName()));
    rowsShown.start();
}

void MonitorRecording::stopRecording()
{
    if (fileDialog)
        fileDialog->reject();
    if (!recorder.isRecording())
        return;
    recorder.stop();
    history.stopRecording();
    page->pushButton_Record->setEnabled(true);
    page->pushButton_StopRecording->setEnabled(false);
    showState(QStringLiteral("Recorded %1 rows to %2").arg(recorder.rows()).arg(QFileInfo(recorder.fileName()).fileName()));
}

// Told at once and kept on the page; the box does not hold up the monitor.
void MonitorRecording::fail(const QString &message)
{
    recorder.stop();
    history.stopRecording();
    page->pushButton_Record->setEnabled(true);
    page->pushButton_StopRecording->setEnabled(false);
    showState(message);
    if (failureBox)
        failureBox->close();
    failureBox = new QMessageBox(QMessageBox::Warning, QStringLiteral("Recording"), message, QMessageBox::Ok, window);
    failureBox->setAttribute(Qt::WA_DeleteOnClose);
    failureBox->open();
}

void MonitorRecording::showState(const QString &text)
{
    page->label_RecordingState->setText(text);
}

void MonitorRecording::openTrendWindow()
{
    if (!trendWindow) {
        trendWindow = new TrendWindow(link, &history, window);
        trendWindow->setWindowFlag(Qt::Window, true);
    }
    trendWindow->show();
    trendWindow->raise();
    trendWindow->activateWindow();
}
