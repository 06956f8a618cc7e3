// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chartclasses.h"

#include <QPen>
#include <QString>

struct CapabilityFigures;
// The histogram with the limits, the mean and the fitted normal curve, and the
// individuals and moving-range charts with their control limits and the readings
// that break the chosen rules marked, drawn into three chart views. However many
// readings there are, each line keeps to a few hundred points.
class CapabilityCharts
{
public:
    CapabilityCharts(QChartView *histogramView, QChartView *individualsView,
                     QChartView *movingRangeView);

    // `rules` are ControlChart::Rule flags; `unit` names the values' unit.
    void draw(const CapabilityFigures &figures, unsigned rules, const QString &unit);

    // One pixel wide whatever the scale, which the raster engine draws without stroking.
    static QPen thinPen(const QColor &colour, Qt::PenStyle style = Qt::SolidLine);

private:
    struct Chart
    {
        QChart *chart = nullptr;
        QValueAxis *x = nullptr;
        QValueAxis *y = nullptr;
    };
    static Chart setUp(QChartView *view, const QString &title, const QString &xTitle);
    static QLineSeries *addLine(const Chart &chart, const QString &name, const QColor &colour,
                                          Qt::PenStyle style, bool inLegend);
    static QScatterSeries *addMarks(const Chart &chart);

    void drawHistogram(const CapabilityFigures &figures, const QString &unit);
    void drawControlCharts(const CapabilityFigures &figures, unsigned rules, const QString &unit);

    Chart histogram;
    QLineSeries *bars;
    QAreaSeries *barArea;
    QLineSeries *normal;
    QLineSeries *lowerLimit;
    QLineSeries *upperLimit;
    QLineSeries *meanLine;

    Chart individuals;
    QLineSeries *values;
    QScatterSeries *valueMarks;
    QLineSeries *centre;
    QLineSeries *upperControl;
    QLineSeries *lowerControl;

    Chart movingRange;
    QLineSeries *ranges;
    QScatterSeries *rangeMarks;
    QLineSeries *rangeCentre;
    QLineSeries *rangeControl;
};
