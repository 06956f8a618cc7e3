// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chartclasses.h"

#include <QElapsedTimer>
#include <QWidget>

#include <array>
#include <memory>

class CommandInterface;
class ReadingHistory;
class Ui_Form_Trend;
class QTableWidgetItem;

// The monitor's readings as a chart of the chosen axes, over the last 60 s or the
// whole recording, with the high and low limits of each axis's active comparator
// set, and as a table of their spread. It only reads: the history is kept by the
// monitor, which calls refresh() after every poll.
class TrendWindow : public QWidget
{
    Q_OBJECT

public:
    TrendWindow(const CommandInterface *link, const ReadingHistory *history, QWidget *parent = nullptr);
    ~TrendWindow() override;

    // Redraws the chart, and the spread when its last redraw is two seconds old.
    void refresh();

protected:
    void showEvent(QShowEvent *event) override;

private:
    static constexpr int maxAxes = 16;

    void setAxisCount(int axes);
    void drawTrend(int axes);
    void drawSpread(int axes);
    void onItemChanged(QTableWidgetItem *item);
    void refreshAll();
    bool isChosen(int axis) const;

    std::unique_ptr<Ui_Form_Trend> ui;
    const CommandInterface *link;
    const ReadingHistory *history;
    // Owned by the chart view's chart.
    QChart *chart;
    QValueAxis *timeAxis;
    QValueAxis *valueAxis;
    std::array<QLineSeries *, maxAxes> valueLines;
    std::array<QLineSeries *, maxAxes> highLines;
    std::array<QLineSeries *, maxAxes> lowLines;
    QElapsedTimer spreadDrawn;
};
