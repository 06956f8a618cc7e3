// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The chart classes the trend form and its window use, by one name on both Qt
// versions: Qt 5 keeps them in the namespace QtCharts, Qt 6 beside the rest of Qt.
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QValueAxis>

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
using QtCharts::QChart;
using QtCharts::QChartView;
using QtCharts::QLineSeries;
using QtCharts::QValueAxis;
#endif
