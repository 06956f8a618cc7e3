// SPDX-License-Identifier: GPL-3.0-or-later
#include "trendwindow.h"

#include "capabilityfigures.h"
#include "capabilitywindow.h"
#include "heldsettings.h"
#include "moduleprotocol.h"
#include "readingformat.h"
#include "readinghistory.h"
#include "savefiledialog.h"
#include "trendlines.h"
#include "ui_form_trend.h"

#include <QDateTime>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>

namespace {
constexpr double recentSpanSeconds = 60.0;
// Each shown line keeps up to this many points: the lowest and highest value of
// each of 499 groups of readings, so no peak goes missing however long the
// recording. The last 60 s at five readings a second need no grouping at all.
constexpr int pointsPerLine = 1000;
// Figures that change five times a second cannot be read, and repainting the table
// that often costs about as much as the chart.
constexpr int spreadPeriodMs = 2000;
constexpr int axesChosenAtFirst = 1;
constexpr int wholeRecording = 1; // entry of the trend span box
constexpr int lastReadings = 1;   // entry of the spread span box
// Mean and standard deviation carry this many decimals more than the readings:
// a repeatability well below one step of the resolution must still show.
constexpr int extraDecimals = 2;

enum Column { Choice, Count, Mean, Minimum, Maximum, Range, Deviation, Within, Above, Below, Errors, Gaps, Cp, Cpk, Pp, Ppk, Note };

// Sixteen colours that stay apart on a white chart.
constexpr QRgb axisColours[16] = {0x1f77b4, 0xff7f0e, 0x2ca02c, 0xd62728, 0x9467bd, 0x8c564b, 0xe377c2, 0x7f7f7f,
                                  0xbcbd22, 0x17becf, 0x393b79, 0xad494a, 0x637939, 0x8c6d31, 0x7b4173, 0x3182bd};

// Widened outwards to whole steps of a power of ten, so that the axis keeps its
// range, and the chart its layout, while the readings move inside it; with a tick
// on every step, or every second one when that would be more than eleven.
struct RoundedRange
{
    double low;
    double high;
    int ticks;
    int decimals; // of a tick label: a step's, so that 0 reads 0 and not 1e-17
};
RoundedRange roundedRange(double low, double high)
{
    const double span = high - low > 0.0 ? high - low : std::max(std::abs(high) * 1e-3, 1e-4);
    const double step = std::pow(10.0, std::floor(std::log10(span)));
    const double roundedLow = std::floor(low / step) * step;
    const double roundedHigh = std::max(std::ceil(high / step) * step, roundedLow + step);
    const int steps = int(std::lround((roundedHigh - roundedLow) / step));
    const int ticks = steps <= 10 ? steps + 1 : steps % 2 == 0 ? steps / 2 + 1 : 5;
    return {roundedLow, roundedHigh, ticks, std::max(0, -int(std::floor(std::log10(step))))};
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

void showSeries(QLineSeries *series, bool shown)
{
    if (series->isVisible() != shown)
        series->setVisible(shown);
}
} // namespace

TrendWindow::TrendWindow(const HeldSettings *settings, const ReadingHistory *history, QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui_Form_Trend>())
    , settings(settings)
    , history(history)
{
    ui->setupUi(this);

    chart = ui->chartView->chart();
    chart->setMargins(QMargins(4, 4, 4, 4));
    // The chart's own background is a rounded shape, filled as a path under every
    // redraw; the view's plain background costs a rectangle fill.
    chart->setBackgroundVisible(false);
    ui->chartView->setBackgroundBrush(Qt::white);
    ui->chartView->setRubberBand(QChartView::RectangleRubberBand);
    timeAxis = new QValueAxis;
    valueAxis = new QValueAxis;
    timeAxis->setLabelFormat(QStringLiteral("%g"));
    // Ticks every `interval` from 0; an interval of 0 would never end.
    timeAxis->setRange(-recentSpanSeconds, 0.0);
    timeAxis->setTickInterval(recentSpanSeconds / 4);
    timeAxis->setTickAnchor(0.0);
    timeAxis->setTickType(QValueAxis::TicksDynamic);
    timeAxis->setTitleText(QStringLiteral("Seconds before the latest reading"));
    chart->addAxis(timeAxis, Qt::AlignBottom);
    chart->addAxis(valueAxis, Qt::AlignLeft);
    for (QValueAxis *axis : {timeAxis, valueAxis}) {
        axis->setGridLinePen(thinPen(axis->gridLinePen().color()));
        axis->setLinePen(thinPen(axis->linePen().color()));
    }
    // Sixteen names fit beside the chart, not above it.
    chart->legend()->setAlignment(Qt::AlignRight);
    ui->tableWidget_Spread->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // A rubber band zooms in on the release of the left button, the right button zooms out.
    ui->chartView->viewport()->installEventFilter(this);
    lines = new TrendLines(chart, timeAxis, valueAxis);
    ui->chartView->scene()->addItem(lines);
    for (int axis = 0; axis < maxAxes; ++axis) {
        const QString name = QStringLiteral("Axis %1").arg(ModuleProtocol::axisName(axis));
        lines->setColour(axis, QColor(axisColours[axis]));
        legendLines[axis] = newSeries(axis, Qt::SolidLine);
        legendLines[axis]->setName(name);
        highLines[axis] = newSeries(axis, Qt::DashLine);
        highLines[axis]->setName(name + QLatin1String(" high limit"));
        lowLines[axis] = newSeries(axis, Qt::DashLine);
        lowLines[axis]->setName(name + QLatin1String(" low limit"));
    }

    connect(ui->comboBox_TrendSpan, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &TrendWindow::resetZoom);
    connect(ui->checkBox_ShowLimits, &QCheckBox::toggled, this, &TrendWindow::refresh);
    connect(ui->pushButton_ResetZoom, &QPushButton::clicked, this, &TrendWindow::resetZoom);
    connect(ui->pushButton_SavePicture, &QPushButton::clicked, this, &TrendWindow::savePicture);
    connect(ui->comboBox_SpreadSpan, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &TrendWindow::refreshAll);
    connect(ui->spinBox_SpreadReadings, QOverload<int>::of(&QSpinBox::valueChanged), this, &TrendWindow::refreshAll);
    connect(ui->tableWidget_Spread, &QTableWidget::itemChanged, this, &TrendWindow::onItemChanged);
    connect(ui->pushButton_Capability, &QPushButton::clicked, this, [this] {
        int axis = 0;
        while (axis + 1 < ui->tableWidget_Spread->rowCount() && !isChosen(axis))
            ++axis;
        CapabilityWindow::open(this->settings, &this->history->series(), axis, this);
    });
}

TrendWindow::~TrendWindow() = default;

// Hidden until drawn.
QLineSeries *TrendWindow::newSeries(int axis, Qt::PenStyle style)
{
    auto *series = new QLineSeries;
    series->setPen(thinPen(QColor(axisColours[axis]), style));
    series->setVisible(false);
    chart->addSeries(series);
    series->attachAxis(timeAxis);
    series->attachAxis(valueAxis);
    return series;
}

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
    const int axes = settings->isHeld() ? settings->reading().axisCount : 0;
    if (ui->tableWidget_Spread->rowCount() != axes)
        setAxisCount(axes);
    drawTrend(axes);
    if (!spreadDrawn.isValid() || spreadDrawn.elapsed() >= spreadPeriodMs) {
        drawSpread(axes);
        spreadDrawn.start();
    }
}

// One row per axis; its first cell chooses whether the axis is drawn. Only axis 0
// is at first: lines and their limits on one chart hide each other.
void TrendWindow::setAxisCount(int axes)
{
    QTableWidget *const table = ui->tableWidget_Spread;
    const QSignalBlocker blocker(table);
    table->setRowCount(axes);
    for (int axis = 0; axis < axes; ++axis) {
        auto *choice = new QTableWidgetItem(ModuleProtocol::axisName(axis));
        choice->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        choice->setCheckState(axis < axesChosenAtFirst ? Qt::Checked : Qt::Unchecked);
        table->setItem(axis, Choice, choice);
        for (int column = Count; column < table->columnCount(); ++column) {
            auto *figure = new QTableWidgetItem;
            figure->setFlags(Qt::ItemIsEnabled);
            figure->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(axis, column, figure);
        }
    }
}

bool TrendWindow::isChosen(int axis) const
{
    const QTableWidgetItem *choice = ui->tableWidget_Spread->item(axis, Choice);
    return choice && choice->checkState() == Qt::Checked;
}

void TrendWindow::onItemChanged(QTableWidgetItem *item)
{
    if (item->column() == Choice)
        drawTrend(ui->tableWidget_Spread->rowCount());
}

// The operator's zoom stays until "Reset Zoom"; the chart's own rubber band has
// changed the axes by the time the release arrives here.
bool TrendWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->chartView->viewport() && event->type() == QEvent::MouseButtonRelease && !zoomed) {
        zoomed = true;
        ui->pushButton_ResetZoom->setEnabled(true);
        // The fitted labels' decimals may be too few for the zoomed range.
        valueAxis->setLabelFormat(QStringLiteral("%g"));
    }
    return QWidget::eventFilter(watched, event);
}

void TrendWindow::resetZoom()
{
    zoomed = false;
    ui->pushButton_ResetZoom->setEnabled(false);
    refresh();
}

void TrendWindow::setRange(QValueAxis *axis, double low, double high)
{
    if (!zoomed && (axis->min() != low || axis->max() != high))
        axis->setRange(low, high);
}

void TrendWindow::drawTrend(int axes)
{
    const bool whole = ui->comboBox_TrendSpan->currentIndex() == wholeRecording;
    const bool withLimits = ui->checkBox_ShowLimits->isChecked();
    const double start = whole ? 0.0 : -recentSpanSeconds;
    // The whole recording's time axis grows a tick step at a time.
    const double step = whole ? tickStep(history->recordingSeconds()) : recentSpanSeconds / 4;
    const double end = whole ? std::max(std::ceil(history->recordingSeconds() / step), 1.0) * step : 0.0;
    double low = INFINITY;
    double high = -INFINITY;
    const ReadingSettings &held = settings->reading();
    for (int axis = 0; axis < maxAxes; ++axis) {
        const bool shown = axis < axes && isChosen(axis);
        showSeries(legendLines[axis], shown);
        if (!shown)
            lines->setPoints(axis, {});
        if (highLines[axis]->isVisible() != (shown && withLimits)) {
            // A legend marker follows its series into view: a limit line has its axis's colour.
            for (QLineSeries *series : {highLines[axis], lowLines[axis]}) {
                series->setVisible(shown && withLimits);
                chart->legend()->markers(series).constFirst()->setVisible(false);
            }
        }
        if (!shown)
            continue;
        const QVector<QPointF> points = whole ? history->recordingTrend(axis, pointsPerLine)
                                              : history->recentTrend(axis, recentSpanSeconds, pointsPerLine);
        lines->setPoints(axis, points);
        for (const QPointF &point : points) {
            if (std::isnan(point.y()))
                continue;
            low = std::min(low, point.y());
            high = std::max(high, point.y());
        }
        if (withLimits) {
            const double highLimit = held.highLimit[axis];
            const double lowLimit = held.lowLimit[axis];
            replaceIfChanged(highLines[axis], {QPointF(start, highLimit), QPointF(end, highLimit)});
            replaceIfChanged(lowLines[axis], {QPointF(start, lowLimit), QPointF(end, lowLimit)});
            low = std::min({low, lowLimit, highLimit});
            high = std::max({high, lowLimit, highLimit});
        }
    }
    if (low > high) {
        low = -1.0;
        high = 1.0;
    }
    const RoundedRange fitted = roundedRange(low, high);
    if (!zoomed && valueAxis->tickCount() != fitted.ticks)
        valueAxis->setTickCount(fitted.ticks);
    const QString labels = QStringLiteral("%.%1f").arg(fitted.decimals);
    if (!zoomed && valueAxis->labelFormat() != labels)
        valueAxis->setLabelFormat(labels);
    setRange(valueAxis, fitted.low, fitted.high);
    if (!zoomed && (timeAxis->min() != start || timeAxis->max() != end)) {
        // Never the old, finer ticks over the new, longer range for a moment: the
        // axis would make a label for each of thousands of ticks.
        timeAxis->setTickInterval(std::max(step, timeAxis->tickInterval()));
        setRange(timeAxis, start, end);
        timeAxis->setTickInterval(step);
    }
    const QString timeTitle = whole ? QStringLiteral("Seconds since the start of the recording")
                                    : QStringLiteral("Seconds before the latest reading");
    if (timeAxis->titleText() != timeTitle)
        timeAxis->setTitleText(timeTitle);
    const QString unit = ReadingFormat::unitName(held.unit);
    if (valueAxis->titleText() != unit)
        valueAxis->setTitleText(unit);
}

void TrendWindow::drawSpread(int axes)
{
    const bool recent = ui->comboBox_SpreadSpan->currentIndex() == lastReadings;
    ui->spinBox_SpreadReadings->setEnabled(recent);
    const int readings = ui->spinBox_SpreadReadings->value();
    const ReadingSettings &held = settings->reading();
    ui->label_SpreadUnit->setText(QStringLiteral("Values in %1").arg(ReadingFormat::unitName(held.unit)));
    const bool judged = ReadingFormat::carriesJudgement(held.dataFormat);
    QTableWidget *const table = ui->tableWidget_Spread;
    for (int axis = 0; axis < axes; ++axis) {
        const ReadingSpread spread = recent ? history->recentSpread(axis, readings) : history->recordingSpread(axis);
        const int places = held.decimals(axis);
        const auto judgement = [judged](int count) { return judged ? QString::number(count) : QString(); };
        const int polls = recent ? readings : CapabilityFigures::wholeRecording;
        const Capability::Indices indices = CapabilityFigures::of(held, history->series(), axis, polls).indices;
        const QString texts[] = {QString::number(spread.count()),
                                 ReadingFormat::value(spread.mean(), places + extraDecimals),
                                 ReadingFormat::value(spread.minimum(), places),
                                 ReadingFormat::value(spread.maximum(), places),
                                 ReadingFormat::value(spread.range(), places),
                                 ReadingFormat::value(spread.standardDeviation(), places + extraDecimals),
                                 judgement(spread.withinLimits()),
                                 judgement(spread.aboveLimit()),
                                 judgement(spread.belowLimit()),
                                 QString::number(spread.errorCount()),
                                 QString::number(spread.gapCount()),
                                 Capability::text(indices.cp),
                                 Capability::text(indices.cpk),
                                 Capability::text(indices.pp),
                                 Capability::text(indices.ppk),
                                 indices.reason()};
        for (int column = Count; column <= Note; ++column) {
            QTableWidgetItem *const item = table->item(axis, column);
            if (item->text() != texts[column - Count]) {
                item->setText(texts[column - Count]);
                item->setToolTip(texts[column - Count]); // a reason may be wider than its column
            }
        }
    }
}

// Asked without blocking, as the recording's file is.
void TrendWindow::savePicture()
{
    if (pictureDialog)
        return;
    pictureDialog = SaveFileDialog::open(
            this, QStringLiteral("Save Picture"), QStringLiteral("PNG pictures (*.png)"),
            QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
            QStringLiteral("trend-%1.png").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    connect(pictureDialog, &QFileDialog::fileSelected, this, [this](const QString &path) {
        if (!ui->chartView->grab().save(path, "PNG"))
            QMessageBox::warning(this, QStringLiteral("Save Picture"),
                                 QStringLiteral("\"%1\" could not be written.").arg(QDir::toNativeSeparators(path)));
    });
}
