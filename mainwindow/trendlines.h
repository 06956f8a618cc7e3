// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chartclasses.h"
#include "moduleprotocol.h"

#include <QColor>
#include <QGraphicsObject>
#include <QPointF>
#include <QVector>

#include <array>

// The trend's lines, drawn over a chart's plot area in the chart's axes. A chart
// series can draw only an unbroken line and strokes its whole outline again on
// every change, some microseconds a point; this item breaks a line wherever a
// point's y is not a number and draws each stretch as a plain polyline. An object,
// so that its connections to the chart end with it, whichever the scene deletes first.
class TrendLines : public QGraphicsObject
{
    Q_OBJECT

public:
    static constexpr int maxLines = ModuleProtocol::maxAxes;

    TrendLines(QChart *chart, QValueAxis *xAxis, QValueAxis *yAxis);

    void setColour(int line, const QColor &colour) { colours.at(size_t(line)) = colour; }
    // Points in the axes' values; an empty line is not drawn.
    void setPoints(int line, const QVector<QPointF> &points);
    const QVector<QPointF> &points(int line) const { return lines.at(size_t(line)); }

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    QChart *const chart;
    QValueAxis *const xAxis;
    QValueAxis *const yAxis;
    std::array<QVector<QPointF>, maxLines> lines;
    std::array<QColor, maxLines> colours;
};
