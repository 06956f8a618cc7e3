// SPDX-License-Identifier: GPL-3.0-or-later
#include "capabilityreport.h"

#include <QGraphicsView>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>

namespace {

constexpr int resolution = 300; // dots per inch of the page's coordinates
constexpr double marginMm = 15.0;
constexpr int bodyPoints = 9;

int dots(double millimetres, int dotsPerInch)
{
    return int(millimetres / 25.4 * dotsPerInch + 0.5);
}

// A titled block of name and value rows at `top`, `width` wide; returns its bottom.
int drawRows(QPainter &painter, const QString &heading, const CapabilityReport::Rows &rows, int left, int top,
             int width)
{
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    const int line = painter.fontMetrics().lineSpacing();
    painter.drawText(QRect(left, top, width, line), Qt::AlignLeft | Qt::AlignVCenter, heading);
    font.setBold(false);
    painter.setFont(font);
    int y = top + line;
    for (const auto &row : rows) {
        painter.drawText(QRect(left, y, width / 2, line), Qt::AlignLeft | Qt::AlignVCenter, row.first);
        painter.drawText(QRect(left + width / 2, y, width / 2, line), Qt::AlignLeft | Qt::AlignVCenter, row.second);
        y += line;
    }
    return y + line / 2;
}

} // namespace

bool CapabilityReport::write(const QString &path, QString *error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    QPdfWriter writer(&file);
    writer.setResolution(resolution);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("QR36-TN Setting tool"));
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(marginMm, marginMm, marginMm, marginMm), QPageLayout::Millimeter));
    QPainter painter;
    if (!painter.begin(&writer)) {
        *error = QStringLiteral("the PDF could not be started");
        return false;
    }
    // The painter's origin is the top left corner inside the margins.
    paint(painter, QRect(QPoint(0, 0), writer.pageLayout().paintRectPixels(resolution).size()), resolution);
    if (!painter.end()) {
        *error = QStringLiteral("the PDF could not be finished");
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

void CapabilityReport::paint(QPainter &painter, const QRect &page, int dotsPerInch) const
{
    painter.save();
    painter.translate(page.topLeft());
    QFont font = painter.font();
    font.setPointSize(16);
    font.setBold(true);
    painter.setFont(font);
    int y = 0;
    const int titleHeight = painter.fontMetrics().lineSpacing();
    painter.drawText(QRect(0, y, page.width(), titleHeight), Qt::AlignLeft | Qt::AlignVCenter, title);
    y += titleHeight;
    font.setPointSize(bodyPoints);
    font.setBold(false);
    painter.setFont(font);
    const int line = painter.fontMetrics().lineSpacing();
    const QString who = QStringLiteral("%1    Operator: %2    Gauge: %3")
                                .arg(time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), operatorName, gauge);
    painter.drawText(QRect(0, y, page.width(), line), Qt::AlignLeft | Qt::AlignVCenter, who);
    y += 2 * line;

    const int column = (page.width() - dots(8, dotsPerInch)) / 2;
    const int right = column + dots(8, dotsPerInch);
    const int leftBottom = drawRows(painter, QStringLiteral("Axis settings"), axis, 0,
                                    drawRows(painter, QStringLiteral("Module"), module, 0, y, column), column);
    int rightBottom = drawRows(painter, QStringLiteral("Readings"), readings, right, y, column);
    rightBottom = drawRows(painter, QStringLiteral("Capability indices"), indices, right, rightBottom, column);
    if (!reason.isEmpty()) {
        const QRect reasonBox(right, rightBottom - line / 2, column, 2 * line);
        painter.drawText(reasonBox, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, reason);
        rightBottom += 2 * line;
    }
    y = std::max(leftBottom, rightBottom);

    // The charts share the rest of the page in proportion to their heights on screen.
    int chartHeights = 0;
    for (const QGraphicsView *chart : charts)
        chartHeights += chart->viewport()->height();
    const int room = page.height() - y;
    for (QGraphicsView *chart : charts) {
        const QRect source = chart->viewport()->rect();
        const int height = chartHeights > 0 ? room * source.height() / chartHeights : 0;
        chart->render(&painter, QRectF(0, y, page.width(), height), source, Qt::KeepAspectRatio);
        y += height;
    }
    painter.restore();
}
