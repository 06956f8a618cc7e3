// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <memory>

class MainWindow;
class QProgressDialog;
class QPushButton;
class QTimer;

// The real main window, driven through its own widgets as an operator would,
// with every wait spent in the event loop.
class WindowDriver
{
public:
    static constexpr int operationTimeoutMs = 60000;

    explicit WindowDriver(const QString &moduleAddress);
    ~WindowDriver();
    WindowDriver(const WindowDriver &) = delete;
    WindowDriver &operator=(const WindowDriver &) = delete;

    bool open();
    void close();
    MainWindow *window() const { return m_window.get(); }

    // Types the address, presses "Connect" and waits for the module's page.
    bool connectModule();
    // The same in two steps.
    bool pressConnect();
    bool waitUntilConnected();
    // Presses "Apply Setting" on the measure-setting page and waits for the busy dialog to go.
    bool applyMeasureSetting();
    void press(const char *menuButton);
    // "Communication Log..." from the menu; true once its window is on screen.
    bool openCommunicationLog();
    // On the monitor page: "Record..." with the path typed into its file dialog, true
    // once the recording runs; "Stop"; "Trend and Spread...", true once it is shown.
    bool startRecording(const QString &path);
    void stopRecording();
    bool openTrend();
    // What the monitor page says about its recording.
    QString recordingState() const;
    // Ticks every axis of the trend window for the chart.
    void chartAllAxes();
    QTimer *monitorTimer() const;
    QProgressDialog *busyDialog() const;

private:
    QPushButton *barButton(const char *name) const;
    QPushButton *monitorButton(const char *name) const;
    bool busyDialogGone() const;

    const QString m_address;
    std::unique_ptr<MainWindow> m_window;
};
