// SPDX-License-Identifier: GPL-3.0-or-later
#include "trendwindow.h"

#include "commandinterface.h"
#include "readingformat.h"
#include "readinghistory.h"
#include "ui_form_trend.h"

#include <QLegendMarker>

#include <algorithm>
#include <cmath>

namespace {
constexpr double recentSpanSeconds = 60.0;
// The chart recomputes and repaints every point of a line it is given, a few
// microseconds each: the points of all shown lines together are held to about this
// many, so that a redraw at the poll rate stays cheap however many axes are shown.
// Each line then shows the lowest and highest value of each group of readings (of
// seven readings with one axis shown, twenty-eight with four), so no peak goes
// missing.
constexpr int pointBudget = 100;
constexpr int minPointsPerLine = 8;
constexpr int maxPointsPerLine = 600;
// Figures that change five times a second cannot be read, and repainting the table
// that often costs about as much as the chart.
constexpr int spreadPeriodMs = 2000;
constexpr int axesChosenAtFirst = 1;
constexpr int wholeRecording = 1; // entry of the trend span box
constexpr int lastReadings = 1;   // entry of the spread span box

// Sixteen colours that stay apart on a white chart.
constexpr QRgb axisColours[16] = {0x1f77b4, 0xff7f0e, 0x2ca02c, 0xd62728, 0x9467bd, 0x8c564b, 0xe377c2, 0x7f7f7f,
                                  0xbcbd22, 0x17becf, 0x393b79, 0xad494a, 0x637939, 0x8c6d31, 0x7b4173, 0x3182bd};

// Widened outwards to whole steps of a power of ten, so that the axis keeps its
// range, and the chart its layout, while the readings move inside it.
std::pair<double, double> roundedRange(double low, double high)
{
    const double span = high - low > 0.0 ? high - low : std::max(std::abs(high) * 1e-3, 1e-4);
    const double step = std::pow(10.0, std::floor(std::log10(span)));
    const double roundedLow = std::floor(low / step) * step;
    const double roundedHigh = std::ceil(high / step) * step;
    return {roundedLow, roundedHigh > roundedLow ? roundedHigh : roundedLow + step};
}

// The smallest of 1, 2 and 5 times a power of ten that cuts `span` into at most six steps.
double tickStep(double span)
{
    const double least = std::max(span, 1.0) / 6.0;
    const double power = std::pow(10.0, std::floor(std::log10(least)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= least)
            return factor * power;
    }
    return 10.0 * power;
}

// One pixel wide whatever the scale, which the raster engine draws without stroking.
QPen thinPen(const QColor &colour, Qt::PenStyle style = Qt::SolidLine)
{
    QPen pen(colour, 0.0, style);
    pen.setCosmetic(true);
    return pen;
}

void replaceIfChanged(QLineSeries *series, const QVector<QPointF> &points)
{
    // Point by point, without a copy: Qt 5 hands a series' points out as a copied
    // QList, and Qt 6 no longer has the QVector that Qt 5 hands out cheaply.
    bool same = series->count() == points.size();
    for (int i = 0; same && i < points.size(); ++i)
        same = series->at(i) == points.at(i);
    if (!same)
        series->replace(points);
}
} // namespace

TrendWindow::TrendWindow(const CommandInterface *link, const ReadingHistory *history, QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui_Form_Trend>())
    , link(link)
    , history(history)
{
    ui->setupUi(this);
    setFixedSize(size());

    chart = ui->chartView->chart();
    chart->setMargins(QMargins(4, 4, 4, 4));
    // The chart's own background is a rounded shape, filled as a path under every
    // redraw; the view's plain background costs a rectangle fill.
    chart->setBackgroundVisible(false);
    ui->chartView->setBackgroundBrush(Qt::white);
    timeAxis = new QValueAxis;
    valueAxis = new QValueAxis;
    valueAxis->setLabelFormat(QStringLiteral("%g"));
    timeAxis->setLabelFormat(QStringLiteral("%g"));
    // Ticks every `interval` from 0; an interval of 0 would never end.
    timeAxis->setRange(-recentSpanSeconds, 0.0);
    timeAxis->setTickInterval(recentSpanSeconds / 4);
    timeAxis->setTickAnchor(0.0);
    timeAxis->setTickType(QValueAxis::TicksDynamic);
    chart->addAxis(timeAxis, Qt::AlignBottom);
    chart->addAxis(valueAxis, Qt::AlignLeft);
    for (QValueAxis *axis : {timeAxis, valueAxis}) {
        axis->setGridLinePen(thinPen(axis->gridLinePen().color()));
        axis->setLinePen(thinPen(axis->linePen().color()));
    }
    for (int axis = 0; axis < maxAxes; ++axis) {
        const QColor colour(axisColours[axis]);
        const QString name = QStringLiteral("Axis %1").arg(QString::number(axis, 16).toUpper());
        valueLines[axis] = new QLineSeries;
        valueLines[axis]->setName(name);
        valueLines[axis]->setPen(thinPen(colour));
        highLines[axis] = new QLineSeries;
        lowLines[axis] = new QLineSeries;
        for (QLineSeries *series : {valueLines[axis], highLines[axis], lowLines[axis]}) {
            if (series != valueLines[axis])
                series->setPen(thinPen(colour, Qt::DashLine));
            series->setVisible(false);
            chart->addSeries(series);
            series->attachAxis(timeAxis);
            series->attachAxis(valueAxis);
        }
        highLines[axis]->setName(name + QLatin1String(" high limit"));
        lowLines[axis]->setName(name + QLatin1String(" low limit"));
    }

    connect(ui->comboBox_TrendSpan, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &TrendWindow::refresh);
    connect(ui->comboBox_SpreadSpan, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &TrendWindow::refreshAll);
    connect(ui->spinBox_SpreadReadings, QOverload<int>::of(&QSpinBox::valueChanged), this, &TrendWindow::refreshAll);
    connect(ui->tableWidget_Spread, &QTableWidget::itemChanged, this, &TrendWindow::onItemChanged);
}

TrendWindow::~TrendWindow() = default;

void TrendWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refreshAll();
}

void TrendWindow::refreshAll()
{
    spreadDrawn.invalidate();
    refresh();
}

void TrendWindow::refresh()
{
    if (!isVisible())
        return;
    const int axes = std::clamp(link->axisNum, 0, maxAxes);
    if (ui->tableWidget_Spread->rowCount() != axes)
        setAxisCount(axes);
    drawTrend(axes);
    if (!spreadDrawn.isValid() || spreadDrawn.elapsed() >= spreadPeriodMs) {
        drawSpread(axes);
        spreadDrawn.start();
    }
}

// One row per axis; its first cell chooses whether the axis is drawn. Only axis 0
// is at first: lines and their limits on one chart hide each other, and each line
// across the chart costs about as much as the rest of a redraw.
void TrendWindow::setAxisCount(int axes)
{
    QTableWidget *const table = ui->tableWidget_Spread;
    const QSignalBlocker blocker(table);
    table->setRowCount(axes);
    for (int axis = 0; axis < axes; ++axis) {
        auto *choice = new QTableWidgetItem(QString::number(axis, 16).toUpper());
        choice->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        choice->setCheckState(axis < axesChosenAtFirst ? Qt::Checked : Qt::Unchecked);
        table->setItem(axis, 0, choice);
        for (int column = 1; column < table->columnCount(); ++column) {
            auto *figure = new QTableWidgetItem;
            figure->setFlags(Qt::ItemIsEnabled);
            figure->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(axis, column, figure);
        }
    }
}

bool TrendWindow::isChosen(int axis) const
{
    const QTableWidgetItem *choice = ui->tableWidget_Spread->item(axis, 0);
    return choice && choice->checkState() == Qt::Checked;
}

void TrendWindow::onItemChanged(QTableWidgetItem *item)
{
    if (item->column() == 0)
        drawTrend(ui->tableWidget_Spread->rowCount());
}

void TrendWindow::drawTrend(int axes)
{
    const bool whole = ui->comboBox_TrendSpan->currentIndex() == wholeRecording;
    const double start = whole ? 0.0 : -recentSpanSeconds;
    // The whole recording's time axis grows a tick step at a time.
    const double step = whole ? tickStep(history->recordingSeconds()) : recentSpanSeconds / 4;
    const double end = whole ? std::max(std::ceil(history->recordingSeconds() / step), 1.0) * step : 0.0;
    double low = INFINITY;
    double high = -INFINITY;
    int chosen = 0;
    for (int axis = 0; axis < axes; ++axis)
        chosen += isChosen(axis) ? 1 : 0;
    const int maxPoints = std::clamp(pointBudget / std::max(chosen, 1), minPointsPerLine, maxPointsPerLine);
    for (int axis = 0; axis < maxAxes; ++axis) {
        const bool shown = axis < axes && isChosen(axis);
        if (valueLines[axis]->isVisible() != shown) {
            for (QLineSeries *series : {valueLines[axis], highLines[axis], lowLines[axis]})
                series->setVisible(shown);
            // The legend names the axes; a limit line has its axis's colour. A legend
            // marker follows its series into view, so it is hidden again each time.
            for (QLineSeries *series : {highLines[axis], lowLines[axis]})
                chart->legend()->markers(series).constFirst()->setVisible(false);
        }
        if (!shown)
            continue;
        const QVector<QPointF> points = whole ? history->recordingTrend(axis, maxPoints)
                                              : history->recentTrend(axis, recentSpanSeconds, maxPoints);
        valueLines[axis]->replace(points);
        for (const QPointF &point : points) {
            low = std::min(low, point.y());
            high = std::max(high, point.y());
        }
        const int set = std::clamp(link->compSet[axis], 1, 4) - 1;
        const double highLimit = link->compHigh[set][axis];
        const double lowLimit = link->compLow[set][axis];
        replaceIfChanged(highLines[axis], {QPointF(start, highLimit), QPointF(end, highLimit)});
        replaceIfChanged(lowLines[axis], {QPointF(start, lowLimit), QPointF(end, lowLimit)});
        low = std::min({low, lowLimit, highLimit});
        high = std::max({high, lowLimit, highLimit});
    }
    if (low > high) {
        low = -1.0;
        high = 1.0;
    }
    const auto [valueMin, valueMax] = roundedRange(low, high);
    if (valueAxis->min() != valueMin || valueAxis->max() != valueMax)
        valueAxis->setRange(valueMin, valueMax);
    if (timeAxis->min() != start || timeAxis->max() != end) {
        timeAxis->setRange(start, end);
        timeAxis->setTickInterval(step);
        timeAxis->setTitleText(whole ? QStringLiteral("Seconds since the start of the recording")
                                     : QStringLiteral("Seconds before the latest reading"));
    }
    const QString unit = ReadingFormat::unitName(link->unit);
    if (valueAxis->titleText() != unit)
        valueAxis->setTitleText(unit);
}

void TrendWindow::drawSpread(int axes)
{
    const bool recent = ui->comboBox_SpreadSpan->currentIndex() == lastReadings;
    ui->spinBox_SpreadReadings->setEnabled(recent);
    const int readings = ui->spinBox_SpreadReadings->value();
    ui->label_SpreadUnit->setText(QStringLiteral("Values in %1").arg(ReadingFormat::unitName(link->unit)));
    QTableWidget *const table = ui->tableWidget_Spread;
    for (int axis = 0; axis < axes; ++axis) {
        const ReadingSpread spread = recent ? history->recentSpread(axis, readings) : history->recordingSpread(axis);
        const int places = ReadingFormat::decimals(link->resolution[axis], link->unit);
        const QString texts[] = {QString::number(spread.count()),
                                 ReadingFormat::value(spread.mean(), places),
                                 ReadingFormat::value(spread.minimum(), places),
                                 ReadingFormat::value(spread.maximum(), places),
                                 ReadingFormat::value(spread.range(), places),
                                 ReadingFormat::value(spread.standardDeviation(), places)};
        for (int column = 1; column <= 6; ++column) {
            QTableWidgetItem *const item = table->item(axis, column);
            if (item->text() != texts[column - 1])
                item->setText(texts[column - 1]);
        }
    }
}
