// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "heldsettings.h"
#include "readinghistory.h"
#include "recordingfile.h"

#include <QObject>
#include <QPointer>

class CommandInterface;
class QFileDialog;
class QLineEdit;
class QMessageBox;
class QTimer;
class TrendWindow;
class Ui_Form_MeasureMonitor;
struct CommunicationLogEntry;

// What the monitor page keeps of its readings beyond the latest one: the recording
// to a file ("Record...", "Stop") and the history behind the trend and spread
// window ("Trend and Spread..."). It takes every poll's outcome from the link's
// log, a gap where the module did not answer, and reads it with the settings the
// module holds, never with edits not yet applied. A recording ends with "Stop",
// when the page is left, when the module is disconnected, when the window closes,
// and when its file cannot be written; the monitor goes on polling in every case.
class MonitorRecording : public QObject
{
    Q_OBJECT

public:
    MonitorRecording(CommandInterface *link, Ui_Form_MeasureMonitor *page, const QLineEdit *addressEdit,
                     QWidget *window);
    ~MonitorRecording() override;

    void stopRecording();
    const HeldSettings &settings() const { return held; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onLogEntry(const CommunicationLogEntry &entry);
    void takeSettings(HeldSettings::Completion completion, int axis = 0);
    void chooseFile();
    void startRecording(const QString &path);
    void onSeparatorChosen(int index);
    void onWriteFailed(const QString &reason);
    void fail(const QString &text);
    void showRows();
    void showState(const QString &text);
    void openTrendWindow();

    CommandInterface *const link;
    Ui_Form_MeasureMonitor *const page;
    const QLineEdit *const addressEdit;
    QWidget *const window;
    HeldSettings held;
    RecordingFile file;
    ReadingHistory history;
    qint64 originMs; // the history's seconds count from here
    QTimer *rowsShown;
    QString folder; // where the last recording went, for the next one
    QPointer<QFileDialog> fileDialog;
    QPointer<QMessageBox> failureBox;
    QPointer<TrendWindow> trendWindow;
};
