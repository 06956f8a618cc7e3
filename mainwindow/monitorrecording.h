// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "measurementrecorder.h"
#include "readinghistory.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

class CommandInterface;
class QFileDialog;
class QLineEdit;
class QMessageBox;
class TrendWindow;
class Ui_Form_MeasureMonitor;
struct MeasurementSnapshot;

// What the monitor page keeps of its readings beyond the latest one: the recording
// to a file ("Record...", "Stop") and the history behind the trend and spread
// window ("Trend and Spread..."). The page hands it every reading it shows. A
// recording ends with "Stop", when the page is left, when the module is
// disconnected, when the window closes, and when its file cannot be written;
// the monitor goes on polling in every case.
class MonitorRecording : public QObject
{
    Q_OBJECT

public:
    MonitorRecording(CommandInterface *link, Ui_Form_MeasureMonitor *page, const QLineEdit *addressEdit,
                     QWidget *window);
    ~MonitorRecording() override;

    void addReading(const MeasurementSnapshot &reading);
    void stopRecording();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void chooseFile();
    void startRecording(const QString &path);
    void fail(const QString &message);
    void showState(const QString &text);
    void openTrendWindow();
    double secondsNow() const;

    CommandInterface *const link;
    Ui_Form_MeasureMonitor *const page;
    const QLineEdit *const addressEdit;
    QWidget *const window;
    MeasurementRecorder recorder;
    ReadingHistory history;
    QElapsedTimer clock;
    double recordingStart = 0.0;
    QElapsedTimer rowsShown;
    QString folder; // where the last recording went, for the next one
    QPointer<QFileDialog> fileDialog;
    QPointer<QMessageBox> failureBox;
    QPointer<TrendWindow> trendWindow;
};
