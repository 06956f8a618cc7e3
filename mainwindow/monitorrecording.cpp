// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitorrecording.h"

#include "commandinterface.h"
#include "savefiledialog.h"
#include "trendwindow.h"
#include "ui_form_measuremonitor.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

namespace {
// Beside the inch option in the tool's "setting.ini"; written only when chosen.
const QString settingsFile = QStringLiteral("setting.ini");
const QString separatorKey = QStringLiteral("Recording/separator");
const QString semicolonValue = QStringLiteral("semicolon");
constexpr int semicolonEntry = 1; // of the separator box
} // namespace

MonitorRecording::MonitorRecording(CommandInterface *link, Ui_Form_MeasureMonitor *page, const QLineEdit *addressEdit,
                                   QWidget *window)
    : QObject(window)
    , link(link)
    , page(page)
    , addressEdit(addressEdit)
    , window(window)
    , originMs(QDateTime::currentMSecsSinceEpoch())
    , rowsShown(new QTimer(this))
    , folder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
{
    using Completion = HeldSettings::Completion;
    connect(page->pushButton_Record, &QPushButton::clicked, this, &MonitorRecording::chooseFile);
    connect(page->pushButton_StopRecording, &QPushButton::clicked, this, &MonitorRecording::stopRecording);
    connect(page->pushButton_Trend, &QPushButton::clicked, this, &MonitorRecording::openTrendWindow);
    // A new connection may be to another module: its readings start afresh.
    connect(link, &CommandInterface::transmitConnected, this, [this] {
        history.clear();
        held.clear();
        if (this->link->lastOutcome().completed())
            held.take(*this->link, HeldSettings::Completion::ParameterRead);
        showState(QStringLiteral("Not recording"));
        this->page->pushButton_Record->setEnabled(true);
    });
    connect(link, &CommandInterface::transmitDisconnected, this, [this] {
        stopRecording();
        this->page->pushButton_Record->setEnabled(false);
    });
    connect(link, &CommandInterface::onCompleteMeasureSetting, this,
            [this] { takeSettings(Completion::MeasureSetting); });
    connect(link, &CommandInterface::onCompletePLCLinkSetting, this,
            [this] { takeSettings(Completion::PlcLinkSetting); });
    connect(link, &CommandInterface::onCompleteRefPointSetting, this,
            [this](int axis) { takeSettings(Completion::RefPoint, axis); });
    connect(link, &CommandInterface::onCompleteRefPointClear, this,
            [this](int axis) { takeSettings(Completion::RefPoint, axis); });
    connect(link, &CommandInterface::communicationLogged, this, &MonitorRecording::onLogEntry);
    connect(&file, &RecordingFile::failed, this, &MonitorRecording::onWriteFailed);
    // The count is final once the rows still queued at "Stop" are in the file.
    connect(&file, &RecordingFile::closed, this, [this] {
        if (!file.isRecording() && file.errorString().isEmpty())
            showState(QStringLiteral("Recorded %1 rows to %2")
                              .arg(file.rows())
                              .arg(QFileInfo(file.fileName()).fileName()));
    });

    if (QSettings(settingsFile, QSettings::IniFormat).value(separatorKey).toString() == semicolonValue)
        page->comboBox_RecordingSeparator->setCurrentIndex(semicolonEntry);
    connect(page->comboBox_RecordingSeparator, QOverload<int>::of(&QComboBox::activated), this,
            &MonitorRecording::onSeparatorChosen);
    // A count that changes five times a second cannot be read anyway.
    rowsShown->setInterval(1000);
    connect(rowsShown, &QTimer::timeout, this, &MonitorRecording::showRows);
    window->installEventFilter(this);
}

MonitorRecording::~MonitorRecording()
{
    file.stop();
    // The trend window reads this object's history.
    delete trendWindow.data();
}

bool MonitorRecording::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window && event->type() == QEvent::Close)
        stopRecording();
    return QObject::eventFilter(watched, event);
}

// A write that was cut short leaves the module's settings unknown where it stopped;
// what was held before stays, as the likelier of the two.
void MonitorRecording::takeSettings(HeldSettings::Completion completion, int axis)
{
    if (!link->lastOutcome().completed())
        return;
    const ReadingSettings before = held.reading();
    held.take(*link, completion, axis);
    // Readings to other decimals or in another unit do not mix.
    if (!before.sameScale(held.reading()))
        history.restartSpreads();
    if (trendWindow)
        trendWindow->refreshAll();
}

void MonitorRecording::onLogEntry(const CommunicationLogEntry &entry)
{
    if (!held.isHeld())
        return;
    const std::optional<PollReading> reading = PollReading::fromLogEntry(entry, held.reading());
    if (!reading)
        return;
    history.add(double(reading->timeMs - originMs) / 1000.0, *reading);
    if (file.isRecording())
        file.append(*reading);
    if (trendWindow)
        trendWindow->refresh();
}

void MonitorRecording::onSeparatorChosen(int index)
{
    QSettings(settingsFile, QSettings::IniFormat)
            .setValue(separatorKey, index == semicolonEntry ? semicolonValue : QStringLiteral("comma"));
}

// Asked without blocking: the monitor goes on polling while the operator chooses.
void MonitorRecording::chooseFile()
{
    if (file.isRecording() || fileDialog)
        return;
    fileDialog = SaveFileDialog::open(
            window, QStringLiteral("Record readings"), QStringLiteral("CSV files (*.csv)"), folder,
            QStringLiteral("readings-%1.csv").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    connect(fileDialog, &QFileDialog::fileSelected, this, &MonitorRecording::startRecording);
}

void MonitorRecording::startRecording(const QString &path)
{
    if (file.isRecording() || !held.isHeld())
        return;
    folder = QFileInfo(path).absolutePath();
    const qint64 startMs = QDateTime::currentMSecsSinceEpoch();
    const RecordingFile::Separator separator = page->comboBox_RecordingSeparator->currentIndex() == semicolonEntry
            ? RecordingFile::Separator::Semicolon
            : RecordingFile::Separator::Comma;
    if (!file.start(path, addressEdit->text(), held.configuration(), separator, startMs)) {
        fail(QStringLiteral("Recording not started: \"%1\" could not be written (%2).")
                     .arg(QDir::toNativeSeparators(path), file.errorString()));
        return;
    }
    history.startRecording(double(startMs - originMs) / 1000.0);
    page->pushButton_Record->setEnabled(false);
    page->pushButton_StopRecording->setEnabled(true);
    page->comboBox_RecordingSeparator->setEnabled(false);
    showRows();
    rowsShown->start();
}

void MonitorRecording::stopRecording()
{
    if (fileDialog)
        fileDialog->reject();
    if (!file.isRecording())
        return;
    file.stop();
    history.stopRecording();
    rowsShown->stop();
    page->pushButton_Record->setEnabled(true);
    page->pushButton_StopRecording->setEnabled(false);
    page->comboBox_RecordingSeparator->setEnabled(true);
    showState(QStringLiteral("Stopping: writing the last rows to %1").arg(QFileInfo(file.fileName()).fileName()));
}

void MonitorRecording::showRows()
{
    showState(QStringLiteral("Recording to %1\n%2 rows").arg(QFileInfo(file.fileName()).fileName()).arg(file.rows()));
}

void MonitorRecording::onWriteFailed(const QString &reason)
{
    file.stop();
    fail(QStringLiteral("Recording stopped: \"%1\" could not be written (%2). The %3 rows before are in the file.")
                 .arg(QDir::toNativeSeparators(file.fileName()), reason)
                 .arg(file.rows()));
}

// Told at once and kept on the page; the box does not hold up the monitor.
void MonitorRecording::fail(const QString &text)
{
    history.stopRecording();
    rowsShown->stop();
    page->pushButton_Record->setEnabled(true);
    page->pushButton_StopRecording->setEnabled(false);
    page->comboBox_RecordingSeparator->setEnabled(true);
    showState(text);
    if (failureBox)
        failureBox->close();
    failureBox = new QMessageBox(QMessageBox::Warning, QStringLiteral("Recording"), text, QMessageBox::Ok, window);
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
        trendWindow = new TrendWindow(&held, &history, window);
        trendWindow->setWindowFlag(Qt::Window, true);
    }
    trendWindow->show();
    trendWindow->raise();
    trendWindow->activateWindow();
}
