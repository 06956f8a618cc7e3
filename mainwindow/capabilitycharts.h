// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPen>
#include <QString>

struct CapabilityFigures;
namespace QtCharts {
class QAreaSeries;
class QChart;
class QChartView;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
} // namespace QtCharts

// The histogram with the limits, the mean and the fitted normal curve, and the
// individuals and moving-range charts with their control limits and the readings
// that break the chosen rules marked, drawn into three chart views. However many
// readings there are, each line keeps to a few hundred points.
class CapabilityCharts
{
public:
    CapabilityCharts(QtCharts::QChartView *histogramView, QtCharts::QChartView *individualsView,
                     QtCharts::QChartView *movingRangeView);

    // `rules` are ControlChart::Rule flags; `unit` names the values' unit.
    void draw(const CapabilityFigures &figures, unsigned rules, const QString &unit);

    // One pixel wide whatever the scale, which the raster engine draws without stroking.
    static QPen thinPen(const QColor &colour, Qt::PenStyle style = Qt::SolidLine);

private:
    struct Chart
    {
        QtCharts::QChart *chart = nullptr;
        QtCharts::QValueAxis *x = nullptr;
        QtCharts::QValueAxis *y = nullptr;
    };
    static Chart setUp(QtCharts::QChartView *view, const QString &title, const QString &xTitle);
    static QtCharts::QLineSeries *addLine(const Chart &chart, const QString &name, const QColor &colour,
                                          Qt::PenStyle style, bool inLegend);
    static QtCharts::QScatterSeries *addMarks(const Chart &chart);

    void drawHistogram(const CapabilityFigures &figures, const QString &unit);
    void drawControlCharts(const CapabilityFigures &figures, unsigned rules, const QString &unit);

    Chart histogram;
    QtCharts::QLineSeries *bars;
    QtCharts::QAreaSeries *barArea;
    QtCharts::QLineSeries *normal;
    QtCharts::QLineSeries *lowerLimit;
    QtCharts::QLineSeries *upperLimit;
    QtCharts::QLineSeries *meanLine;

    Chart individuals;
    QtCharts::QLineSeries *values;
    QtCharts::QScatterSeries *valueMarks;
    QtCharts::QLineSeries *centre;
    QtCharts::QLineSeries *upperControl;
    QtCharts::QLineSeries *lowerControl;

    Chart movingRange;
    QtCharts::QLineSeries *ranges;
    QtCharts::QScatterSeries *rangeMarks;
    QtCharts::QLineSeries *rangeCentre;
    QtCharts::QLineSeries *rangeControl;
};
