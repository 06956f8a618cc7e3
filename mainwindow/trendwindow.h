// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chartclasses.h"
#include "moduleprotocol.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <array>
#include <memory>

class HeldSettings;
class ReadingHistory;
class TrendLines;
class Ui_Form_Trend;
class QFileDialog;
class QTableWidgetItem;

// The monitor's readings as a chart of the chosen axes, over the last 60 s or the
// whole recording, broken where a poll got no answer, with the high and low limits
// of each axis's active comparator set on request, and as a table of their spread.
// A rubber band zooms in; "Reset Zoom" goes back to the fitted axes. It only
// reads: the history is kept by the monitor, which calls refresh() after every poll.
class TrendWindow : public QWidget
{
    Q_OBJECT

public:
    TrendWindow(const HeldSettings *settings, const ReadingHistory *history, QWidget *parent = nullptr);
    ~TrendWindow() override;

    // Redraws the chart, and the spread when its last redraw is two seconds old.
    void refresh();
    // Redraws both now.
    void refreshAll();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static constexpr int maxAxes = ModuleProtocol::maxAxes;

    void setAxisCount(int axes);
    void drawTrend(int axes);
    void drawSpread(int axes);
    void onItemChanged(QTableWidgetItem *item);
    void resetZoom();
    void savePicture();
    void setRange(QValueAxis *axis, double low, double high);
    bool isChosen(int axis) const;
    QLineSeries *newSeries(int axis, Qt::PenStyle style);

    std::unique_ptr<Ui_Form_Trend> ui;
    const HeldSettings *settings;
    const ReadingHistory *history;
    // Owned by the chart view's chart.
    QChart *chart;
    QValueAxis *timeAxis;
    QValueAxis *valueAxis;
    // Without points: they name the axes in the legend, in their colours.
    std::array<QLineSeries *, maxAxes> legendLines;
    TrendLines *lines; // owned by the chart view's scene
    std::array<QLineSeries *, maxAxes> highLines;
    std::array<QLineSeries *, maxAxes> lowLines;
    bool zoomed = false;
    QElapsedTimer spreadDrawn;
    QPointer<QFileDialog> pictureDialog;
};
