// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDir>
#include <QHostAddress>

#include <memory>
#include <vector>

class MainWindow;
class QAbstractButton;
class QLineEdit;
class QWidget;
class SimulatorThread;

// Drives the real main window against a simulated module the way an operator
// would, and saves a picture of each screen on the way.
class ScreenshotTour
{
public:
    ScreenshotTour(const QHostAddress &moduleAddress, const QDir &outputDirectory);
    ~ScreenshotTour();
    ScreenshotTour(const ScreenshotTour &) = delete;
    ScreenshotTour &operator=(const ScreenshotTour &) = delete;

    // False, with the reason on the error output, when any step did not come about.
    bool run();

private:
    bool startSimulator(int silentAfter);
    bool findModules();
    bool connectModule(bool picture = true);
    bool editMeasureSettings();
    bool applyMeasureSettings();
    bool applyReferencePoint();
    bool watchMonitor();
    bool stopRecording();
    bool showTrend();
    bool showCapability();
    bool showCommunicationLog();
    bool showPlcLink();
    bool showAbout();
    bool disconnectModule();
    bool showStaleMonitor();

    bool save(QWidget *widget, const QString &name) const;
    bool runOperation(QAbstractButton *button, const char *pictureName = nullptr);
    bool isIdle() const;
    template<typename Widget>
    Widget *bar(const char *name) const;
    template<typename Widget>
    Widget *onPage(const char *page, const char *name) const;

    static void click(QAbstractButton *button);
    static void toggle(QAbstractButton *box);
    static void type(QLineEdit *edit, const QString &text);

    QHostAddress address;
    QDir output;
    int readLength = 0; // the commands of the parameter read
    std::unique_ptr<SimulatorThread> simulator;
    std::vector<std::unique_ptr<SimulatorThread>> otherModules; // for "Find Modules..."
    std::unique_ptr<MainWindow> window; // goes before the simulator it talks to
};
