// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "communicationlogentry.h"

#include <QWidget>

#include <deque>
#include <memory>

class CommandInterface;
class CommunicationLogFile;
class CommunicationLogModel;
class QTimer;
class Ui_Form_CommunicationLog;

// "Communication Log...": the link's traffic, live, in a window of its own that
// takes no input from the main window. It collects from the start, shown or not,
// so a fault that came before the window was opened is in it. "Log to File..."
// also writes every entry to a file as it comes, until it is switched off or the
// file cannot take more.
class CommunicationLogWindow : public QWidget
{
    Q_OBJECT

public:
    // About half an hour of monitor polling, or some thirty 16-axis parameter reads.
    static constexpr int capacity = 20000;

    explicit CommunicationLogWindow(QWidget *parent = nullptr);
    ~CommunicationLogWindow() override;

    // Queued, so the link's thread never waits on this window.
    void attach(const CommandInterface *link);
    void append(const CommunicationLogEntry &entry);

public slots:
    void showLog();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void attachList(bool attached);
    void showPending();
    void onPauseToggled(bool paused);
    void onSave();
    void saveTo(const QString &path);
    void onLogToFileToggled(bool logging);
    void logTo(const QString &path);
    void stopLogging(const QString &reason);

    std::unique_ptr<Ui_Form_CommunicationLog> ui;
    CommunicationLogModel *model;
    // Entries come one by one; the list takes them a few times a second, and not
    // at all while paused.
    std::deque<CommunicationLogEntry> pending;
    QTimer *showTimer;
    CommunicationLogFile *logFile;
};
