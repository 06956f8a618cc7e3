// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

class CapabilityCharts;
struct CapabilityReport;
class HeldSettings;
class GaugeStudyDialog;
class QFileDialog;
class QTimer;
class ReadingSeries;
class Ui_Form_Capability;
struct CapabilityFigures;

// "Capability...": one axis's readings, of the whole recording or the last polls,
// as figures with Cp, Cpk, Pp and Ppk, a histogram and an individuals and
// moving-range chart; "Save Report..." puts them on one A4 page of PDF and
// "Type-1 Study..." opens the gauge study. It only reads the monitor's readings.
class CapabilityWindow : public QWidget
{
    Q_OBJECT

public:
    CapabilityWindow(const HeldSettings *held, const ReadingSeries *series, QWidget *parent = nullptr);
    ~CapabilityWindow() override;

    // Shows the window that belongs to `parent`, made at the first call, on `axis`.
    static void open(const HeldSettings *held, const ReadingSeries *series, int axis, QWidget *parent);

    void chooseAxis(int axis);
    // The figures and charts of the chosen axis and readings, now.
    void redraw();
    // The report of what the window shows, with the operator and gauge typed in it.
    CapabilityReport report() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void redrawIfNewReadings();
    void showFigures(const CapabilityFigures &figures);
    void setAxisCount(int axes);
    int lastPolls() const;
    unsigned rules() const;
    void chooseReportFile();
    void saveReport(const QString &path);
    void openGaugeStudy();

    std::unique_ptr<Ui_Form_Capability> ui;
    const HeldSettings *held; // the module's settings, never edits not yet applied
    const ReadingSeries *series;
    std::unique_ptr<CapabilityCharts> charts;
    QTimer *redrawTimer;
    qint64 pollsDrawn = -1;
    QString folder; // where the last report went
    QPointer<QFileDialog> reportDialog;
    QPointer<GaugeStudyDialog> gaugeStudy;
};
