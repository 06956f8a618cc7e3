// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The chart classes the forms and the windows use, by one name on both Qt
// versions: Qt 5 keeps them in the namespace QtCharts, Qt 6 beside the rest of Qt.
#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>
#include <QXYSeries>

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
using QtCharts::QAreaSeries;
using QtCharts::QChart;
using QtCharts::QChartView;
using QtCharts::QLegendMarker;
using QtCharts::QLineSeries;
using QtCharts::QScatterSeries;
using QtCharts::QValueAxis;
using QtCharts::QXYSeries;
#endif

// A series repaints all of itself when given points: only when they changed, which
// over hours of readings they mostly have not. Compared point by point, without a
// copy: Qt 5 hands a series' points out as a copied QList, and Qt 6 no longer has
// the QVector that Qt 5 hands out cheaply.
inline void replaceIfChanged(QXYSeries *series, const QVector<QPointF> &points)
{
    bool same = series->count() == points.size();
    for (int i = 0; same && i < points.size(); ++i)
        same = series->at(i) == points.at(i);
    if (!same)
        series->replace(points);
}
