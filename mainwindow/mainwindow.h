// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "configurationfile.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QMainWindow>
#include <QMessageBox>
#include <QTime>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

class BusyDialog;
class CommandInterface;
struct OperationOutcome;
struct PageField;
class MonitorRecording;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QThread;
class QTimer;
class Ui_MainWindow;
class Ui_Form_MeasureSetting;
class Ui_Form_RefPointSetting;
class Ui_Form_MeasureMonitor;
class Ui_Form_PlcLinkSetting;

// The single window of the tool. It drives the device link only through queued
// signals and reads or writes the link's parameter store between operations.
// Its source is split by role: construction and wiring (mainwindow.cpp), the
// connection workflow, page navigation, and one file per page.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The connected module's settings as last read, or as last written and read back:
    // what the module holds, unlike the store, into which leaving a page captures
    // edits not yet applied. Empty before the first connection.
    std::optional<ConfigurationFile> moduleSettings() const;

signals:
    void connectToHost(uint address, int port);
    void disconnectFromHost();
    void sendMeasureSetting();
    void sendApplyRefPreset(int index);
    void sendClearRefPreset(int index);
    void sendPLCLinkSetting();

public slots:
    void connectToModule();
    void onConnectedModule();
    void onDisconnectedFromModule();
    void moveToMeasureSetting();
    void moveToRefPointSetting();
    void moveToMeasureMonitor();
    void moveToPlcLinkSetting();
    void openAboutWindow();
    void onTransitDisplay();
    void onClickedNextAxis();
    void onClickedPrevAxis();
    void onToggledRefUse(bool checked);
    void onApplyMeasureSetting();
    void doneApplyMeasureSetting();
    void onApplyRefPreset();
    void onCompleteRefOffset(int index);
    void onClearRefPreset();
    void onCompleteClearRefOffset(int index);
    void updateMeasureMonitor();
    void updateMeasureDisplay();
    void onToggledUsingPlcLink(bool checked);
    void onApplyPLCLinkSetting();
    void doneApplyPLCLinkSetting();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // What the window knows of the link's connection. An attempt given up by the
    // operator, or closed by the window itself, is "Abandoning" until the link says
    // it is over: its late signals are not taken for a new attempt's.
    enum class LinkState { Disconnected, Connecting, Abandoning, Connected };

    void onConnectionError(QAbstractSocket::SocketError error);
    void abandonConnection();
    BusyDialog *busyDialog(); // created by the first "Connect", kept for the window's life
    void onCancelBusy();
    // `done` says what a complete run did: "Measure settings written and read back".
    void startDeviceOperation(const QString &done, const QVector<SettingRef> &writes);
    void onOperationEnded(const OperationOutcome &outcome);
    void endDeviceOperation(const OperationOutcome &outcome);
    void reportParameterRead(const OperationOutcome &outcome);
    QStringList readBackDifferences() const;
    static QString listed(const QStringList &items, int shown = 3);
    void showPage(QWidget *page);

    // The writes of the pages, as the Apply buttons and the pending-edit prompt start them.
    void writeMeasureSettings();
    bool limitsInOrder();
    QVector<SettingRef> measureSettingWrites() const;
    void writeRefPoint(int axis);
    void writePlcLinkSettings();
    QVector<SettingRef> plcLinkWrites() const;

    // Edits the module does not hold (pendingedits.cpp).
    void updateEditMarks();
    bool storeDiffers(const ConfigurationFile &module, const SettingRef &setting) const;
    QStringList pendingEdits() const;
    void askAboutEdits(const QStringList &edits, const QString &leaving, const std::function<void()> &then);
    void applyPendingEdits(const std::function<void()> &then);
    void runPendingWrites();
    void dropPendingWrites();
    void confirm(const QString &text, const std::function<void()> &yes);
    void ask(const QString &text, QMessageBox::StandardButtons buttons, QMessageBox::StandardButton escape,
             const std::function<void(QMessageBox::StandardButton)> &answered);

    // The leave hook, after a check of the page's texts that tells what will not be captured.
    void leaveCurrentPage();
    // Checks the texts of the page shown (or the given fields); on a bad one the
    // status bar names it and adds the consequence (notSentText for a refused Apply).
    static const char notSentText[];
    bool checkCurrentPage(const QString &consequence);
    bool acceptFields(const QString &page, const QList<PageField> &fields, const QString &consequence);
    QString currentPageName() const;
    // The fields of the page shown, with the settings they show.
    QList<PageField> currentPageFields() const;
    QList<PageField> measureSettingFields() const;
    QList<PageField> refPointFields(int axis) const;
    QList<PageField> plcLinkFields() const;

    void initMeasureSetting();
    void updateMeasureSetting();
    void captureMeasureSetting();
    void initRefPointSetting();
    void updateRefPointSetting();
    void captureRefPointSetting();
    QList<QWidget *> refPointRow(int axis) const;
    void showRefPointRow(int axis, bool used);
    void initMeasureMonitor();
    void showReadingsStale(bool stale);
    void initPlcLinkSetting();
    void updatePlcLinkSetting();
    void capturePlcLinkSetting();
    void initSettingsFileMenu();
    void openSettingsFileDialog(bool save, void (MainWindow::*chosen)(const QString &));
    void saveSettingsFile(const QString &path);
    void loadSettingsFile(const QString &path);
    void showSettingsFileMessage(const QString &text);

    std::unique_ptr<Ui_MainWindow> ui;
    std::unique_ptr<Ui_Form_MeasureSetting> uiMeasureSetting;
    std::unique_ptr<Ui_Form_RefPointSetting> uiRefPointSetting;
    std::unique_ptr<Ui_Form_MeasureMonitor> uiMeasureMonitor;
    std::unique_ptr<Ui_Form_PlcLinkSetting> uiPlcLinkSetting;
    QHostAddress moduleAddress;
    bool inchUnitEnabled;
    // The link and its thread have no parent: the thread's finished signal deletes
    // both, in their own threads, after the destructor has stopped the thread.
    CommandInterface *commandInterface;
    QThread *workerThread;
    BusyDialog *progressDialog;
    LinkState linkState;
    QString dialledAddress;   // the text form of the address the last attempt dialled
    bool cancelAsked;         // the operator asked the running device operation to stop
    QString operationDone;    // what the page operation under way does; empty when none runs
    bool readUnderWay = false; // the parameter read of a connection attempt has not ended
    QVector<SettingRef> operationWrites;  // of the page operation under way
    std::optional<ConfigurationFile> operationSent; // the store as the operation began
    std::deque<std::function<void()>> pendingWrites; // the Apply of the pending-edit prompt
    std::function<void()> afterPendingWrites;
    bool closeAgreed = false;
    QString refusalShown;  // in the status bar for a text that held no value
    int axisOffset;
    QList<QComboBox *> resolutionBoxes;
    QList<QCheckBox *> directionBoxes;
    QList<QCheckBox *> refUseBoxes;
    QList<QComboBox *> compSetBoxes;
    QList<QComboBox *> measModeBoxes;
    QList<QLineEdit *> presetEdits;
    QList<QLineEdit *> compHighEdits[4];
    QList<QLineEdit *> compLowEdits[4];
    QList<QLineEdit *> masterValueEdits;
    QList<QPushButton *> applyRefButtons;
    QList<QPushButton *> clearRefButtons;
    QList<QLineEdit *> masterOffsetEdits;
    QList<QLabel *> measureLabels;
    QList<QLabel *> modeLabels;
    QList<QLabel *> compLabels;
    QTimer *monitorTimer;
    QElapsedTimer sinceReading;  // since the last reading, or since the monitor started
    QTime lastReadingTime;       // of this connection
    bool readingsStale = false;
    MonitorRecording *monitorRecording = nullptr;
    QList<QLineEdit *> paramAddrEdits;
};
