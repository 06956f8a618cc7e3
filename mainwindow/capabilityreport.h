// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QVector>

class QGraphicsView;
class QPainter;
class QRect;

// The capability report of one axis: one A4 page of PDF with the date and time,
// the operator and gauge, the module's and the axis's settings, the readings'
// summary and indices, and the charts as drawn in the window.
struct CapabilityReport
{
    using Rows = QVector<QPair<QString, QString>>; // name, value

    QString title;
    QDateTime time;
    QString operatorName;
    QString gauge;
    Rows module;
    Rows axis;
    Rows readings;
    Rows indices;
    QString reason; // why an index is "—", or empty
    QList<QGraphicsView *> charts;

    // Written whole or not at all; false with the reason in `error`.
    bool write(const QString &path, QString *error) const;
    // The page drawn in `page`, which has the proportions of A4 less its margins,
    // at `dotsPerInch`.
    void paint(QPainter &painter, const QRect &page, int dotsPerInch) const;
};
