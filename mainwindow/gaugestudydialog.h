// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capability.h"
#include "chartclasses.h"

#include <QDialog>
#include <QPointer>

#include <memory>
#include <vector>

class HeldSettings;
class QFileDialog;
class QTimer;
class ReadingSeries;
class Ui_Form_GaugeStudy;

// "Type-1 Study...": the operator sets up the axis, the master part's reference
// value, the tolerance and the number of readings, then takes the readings of the
// master one by one with "Take" or automatically at an interval; the run is drawn
// as it grows. At the last reading the bias, Cg and Cgk are shown with the verdict
// against the threshold, and the readings and the result can be saved.
class GaugeStudyDialog : public QDialog
{
    Q_OBJECT

public:
    GaugeStudyDialog(const HeldSettings *held, const ReadingSeries *series, int axis, QWidget *parent = nullptr);
    ~GaugeStudyDialog() override;

private:
    void fillTolerance();
    void start();
    void take();
    void stop();
    void finish(bool complete);
    void showProgress(const QString &note = QString());
    void showCurrentReading();
    void drawRun();
    void chooseSaveFile();
    void saveTo(const QString &path);
    void setRunning(bool running);

    std::unique_ptr<Ui_Form_GaugeStudy> ui;
    const HeldSettings *held; // the module's settings, never edits not yet applied
    const ReadingSeries *series;
    QTimer *takeTimer;
    QTimer *currentTimer;
    QLineSeries *runLine;
    QLineSeries *masterLine;
    QLineSeries *upperLine;
    QLineSeries *lowerLine;
    QValueAxis *numberAxis;
    QValueAxis *valueAxis;

    int axis = 0;
    double master = 0.0;
    double tolerance = 0.0;
    double threshold = Capability::defaultThreshold;
    int wanted = 0;
    std::vector<double> taken;
    qint64 pollTaken = -1; // the poll the last reading came from
    Capability::GaugeStudy result;
    QString folder;
    QPointer<QFileDialog> saveDialog;
};
