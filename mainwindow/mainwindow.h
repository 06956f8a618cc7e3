#pragma once

#include <QAbstractSocket>
#include <QHostAddress>
#include <QList>
#include <QMainWindow>

#include <memory>

class CommandInterface;
class MonitorRecording;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressDialog;
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

    // The 32-bit host-order number of an IPv4 address text, 0 for anything else.
    static quint32 ipv4Number(const QString &text);
    // The operator's words for a failed connection attempt.
    static QString connectionFailureText(QAbstractSocket::SocketError error, const QString &address);

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

private:
    void onConnectionError(QAbstractSocket::SocketError error);
    QProgressDialog *busyDialog(); // created by the first "Connect", kept for the window's life
    void showBusyDialog();
    void closeBusyDialog();
    void startDeviceOperation();

    void initMeasureSetting();
    void updateMeasureSetting();
    void captureMeasureSetting();
    void initRefPointSetting();
    void updateRefPointSetting();
    void captureRefPointSetting();
    void initMeasureMonitor();
    void initPlcLinkSetting();
    void updatePlcLinkSetting();
    void capturePlcLinkSetting();

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
    QProgressDialog *progressDialog;
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
    MonitorRecording *monitorRecording = nullptr;
    QList<QLineEdit *> paramAddrEdits;
};
