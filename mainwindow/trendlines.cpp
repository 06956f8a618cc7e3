// SPDX-License-Identifier: GPL-3.0-or-later
#include "chartclasses.h"
#include "trendlines.h"

#include <QPainter>

#include <cmath>

TrendLines::TrendLines(QChart *chart, QValueAxis *xAxis, QValueAxis *yAxis)
    : chart(chart)
    , xAxis(xAxis)
    , yAxis(yAxis)
{
    // Above the grid and the series, below nothing else the chart draws in its plot area.
    setZValue(chart->zValue() + 10);
    const auto moved = [this] {
        prepareGeometryChange();
        update();
    };
    connect(chart, &QChart::plotAreaChanged, this, moved);
    connect(xAxis, &QValueAxis::rangeChanged, this, [this] { update(); });
    connect(yAxis, &QValueAxis::rangeChanged, this, [this] { update(); });
}

void TrendLines::setPoints(int line, const QVector<QPointF> &points)
{
    QVector<QPointF> &kept = lines.at(size_t(line));
    if (kept == points)
        return;
    kept = points;
    update();
}

QRectF TrendLines::boundingRect() const
{
    return chart->mapRectToScene(chart->plotArea());
}

void TrendLines::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    const QRectF area = boundingRect();
    const double xSpan = xAxis->max() - xAxis->min();
    const double ySpan = yAxis->max() - yAxis->min();
    if (area.isEmpty() || xSpan <= 0.0 || ySpan <= 0.0)
        return;
    const double xScale = area.width() / xSpan;
    const double yScale = area.height() / ySpan;
    painter->save();
    painter->setClipRect(area);
    painter->setRenderHint(QPainter::Antialiasing, false);
    QPolygonF stretch;
    for (size_t line = 0; line < lines.size(); ++line) {
        if (lines[line].isEmpty())
            continue;
        QPen pen(colours[line], 0.0);
        pen.setCosmetic(true);
        painter->setPen(pen);
        const auto draw = [&painter, &stretch] {
            if (stretch.size() == 1)
                painter->drawPoint(stretch.first());
            else if (stretch.size() > 1)
                painter->drawPolyline(stretch);
            stretch.clear();
        };
        for (const QPointF &point : lines[line]) {
            if (std::isnan(point.y())) {
                draw();
                continue;
            }
            stretch.append(QPointF(area.left() + (point.x() - xAxis->min()) * xScale,
                                   area.bottom() - (point.y() - yAxis->min()) * yScale));
        }
        draw();
    }
    painter->restore();
}
