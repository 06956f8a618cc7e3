// SPDX-License-Identifier: GPL-3.0-or-later
#include "capabilitycharts.h"

#include "capabilityfigures.h"
#include "chartclasses.h"
#include "histogram.h"


#include <algorithm>
#include <cmath>


namespace {
// A chart redraws every point it is given: a few hundred per line keep a redraw of
// all three charts within a frame, and the envelope keeps every extreme.
constexpr int maxChartPoints = 400;
constexpr int maxBins = 40;
constexpr int curvePoints = 100;

const QColor limitColour(0xd6, 0x27, 0x28);
const QColor controlColour(0x94, 0x67, 0xbd);
const QColor meanColour(0x2c, 0xa0, 0x2c);
const QColor readingColour(0x1f, 0x77, 0xb4);

void setLine(QLineSeries *series, double x0, double y0, double x1, double y1)
{
    if (std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1))
        replaceIfChanged(series, {QPointF(x0, y0), QPointF(x1, y1)});
    else if (series->count() > 0)
        series->clear();
}

// Widened to whole steps of 1, 2 or 5 times a power of ten, about five of them;
// set only when it changes, since a new range lays out and draws the chart afresh.
void setRange(QValueAxis *axis, double low, double high)
{
    if (!std::isfinite(low) || !std::isfinite(high)) {
        low = -1.0;
        high = 1.0;
    }
    if (!(high > low)) {
        const double half = std::max(std::abs(low) * 1e-3, 1e-4);
        low -= half;
        high += half;
    }
    const double rough = (high - low) / 5.0;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = 10.0 * power;
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough) {
            step = factor * power;
            break;
        }
    }
    const double niceLow = std::floor(low / step) * step;
    const double niceHigh = std::ceil(high / step) * step;
    const int ticks = int(std::lround((niceHigh - niceLow) / step)) + 1;
    if (axis->min() != niceLow || axis->max() != niceHigh)
        axis->setRange(niceLow, niceHigh);
    if (axis->tickCount() != ticks)
        axis->setTickCount(ticks);
}
} // namespace

QPen CapabilityCharts::thinPen(const QColor &colour, Qt::PenStyle style)
{
    QPen pen(colour, 0.0, style);
    pen.setCosmetic(true);
    return pen;
}

CapabilityCharts::Chart CapabilityCharts::setUp(QChartView *view, const QString &title, const QString &xTitle)
{
    Chart chart;
    chart.chart = view->chart();
    chart.chart->setTitle(title);
    chart.chart->setMargins(QMargins(2, 2, 2, 2));
    // A plain view background is a rectangle fill; the chart's own is a rounded path.
    chart.chart->setBackgroundVisible(false);
    view->setBackgroundBrush(Qt::white);
    chart.chart->legend()->setAlignment(Qt::AlignRight);
    chart.x = new QValueAxis;
    chart.y = new QValueAxis;
    chart.x->setTitleText(xTitle);
    chart.chart->addAxis(chart.x, Qt::AlignBottom);
    chart.chart->addAxis(chart.y, Qt::AlignLeft);
    // After adding, when the chart's theme has given them their colours.
    for (QValueAxis *axis : {chart.x, chart.y}) {
        axis->setLabelFormat(QStringLiteral("%g"));
        axis->setGridLinePen(thinPen(axis->gridLinePen().color()));
        axis->setLinePen(thinPen(axis->linePen().color()));
    }
    return chart;
}

QLineSeries *CapabilityCharts::addLine(const Chart &chart, const QString &name, const QColor &colour,
                                       Qt::PenStyle style, bool inLegend)
{
    auto *series = new QLineSeries;
    series->setName(name);
    series->setPen(thinPen(colour, style));
    chart.chart->addSeries(series);
    series->attachAxis(chart.x);
    series->attachAxis(chart.y);
    chart.chart->legend()->markers(series).constFirst()->setVisible(inLegend);
    return series;
}

QScatterSeries *CapabilityCharts::addMarks(const Chart &chart)
{
    auto *marks = new QScatterSeries;
    marks->setName(QStringLiteral("Out of control"));
    marks->setMarkerSize(5.0);
    marks->setColor(limitColour);
    // A border is a stroked path round every mark; a fill alone draws far faster.
    marks->setPen(Qt::NoPen);
    chart.chart->addSeries(marks);
    marks->attachAxis(chart.x);
    marks->attachAxis(chart.y);
    return marks;
}

CapabilityCharts::CapabilityCharts(QChartView *histogramView, QChartView *individualsView, QChartView *movingRangeView)
{
    histogram = setUp(histogramView, QStringLiteral("Histogram"), QString());
    histogram.y->setTitleText(QStringLiteral("Readings"));
    // The area does not own its outline: the outline is its child.
    barArea = new QAreaSeries;
    bars = new QLineSeries(barArea);
    barArea->setUpperSeries(bars);
    barArea->setName(QStringLiteral("Readings"));
    barArea->setBrush(QColor(0x1f, 0x77, 0xb4, 0x80));
    barArea->setPen(thinPen(readingColour));
    histogram.chart->addSeries(barArea);
    barArea->attachAxis(histogram.x);
    barArea->attachAxis(histogram.y);
    normal = addLine(histogram, QStringLiteral("Normal fit"), Qt::black, Qt::SolidLine, true);
    meanLine = addLine(histogram, QStringLiteral("Mean"), meanColour, Qt::SolidLine, true);
    lowerLimit = addLine(histogram, QStringLiteral("LSL"), limitColour, Qt::DashLine, true);
    upperLimit = addLine(histogram, QStringLiteral("USL"), limitColour, Qt::DashLine, false);
    lowerLimit->setName(QStringLiteral("LSL, USL"));

    individuals = setUp(individualsView, QStringLiteral("Individuals"), QString());
    values = addLine(individuals, QStringLiteral("Reading"), readingColour, Qt::SolidLine, false);
    centre = addLine(individuals, QStringLiteral("Mean"), meanColour, Qt::SolidLine, true);
    upperControl = addLine(individuals, QStringLiteral("Control limits"), controlColour, Qt::DashLine, true);
    lowerControl = addLine(individuals, QString(), controlColour, Qt::DashLine, false);
    valueMarks = addMarks(individuals);

    movingRange = setUp(movingRangeView, QStringLiteral("Moving range"), QStringLiteral("Reading"));
    ranges = addLine(movingRange, QStringLiteral("Moving range"), readingColour, Qt::SolidLine, false);
    rangeCentre = addLine(movingRange, QStringLiteral("Mean"), meanColour, Qt::SolidLine, true);
    rangeControl = addLine(movingRange, QStringLiteral("Control limit"), controlColour, Qt::DashLine, true);
    rangeMarks = addMarks(movingRange);
}

void CapabilityCharts::draw(const CapabilityFigures &figures, unsigned rules, const QString &unit)
{
    drawHistogram(figures, unit);
    drawControlCharts(figures, rules, unit);
}

void CapabilityCharts::drawHistogram(const CapabilityFigures &figures, const QString &unit)
{
    const std::vector<double> &readings = figures.readings();
    const ReadingSummary &summary = figures.summary;
    const Histogram counted
            = Histogram::of(readings.data(), readings.size(), summary.minimum, summary.maximum, figures.step, maxBins);
    QVector<QPointF> outline;
    outline.reserve(int(2 * counted.counts.size() + 2));
    double highest = 0.0;
    for (std::size_t bin = 0; bin < counted.counts.size(); ++bin) {
        const double left = counted.start + counted.width * double(bin);
        const double count = double(counted.counts[bin]);
        outline << QPointF(left, 0.0) << QPointF(left, count) << QPointF(left + counted.width, count)
                << QPointF(left + counted.width, 0.0);
        highest = std::max(highest, count);
    }
    replaceIfChanged(bars, outline);

    double low = counted.counts.empty() ? summary.mean : counted.start;
    double high = counted.counts.empty() ? summary.mean : counted.end();
    for (const double limit : {figures.limits.lower, figures.limits.upper}) {
        if (std::isfinite(limit)) {
            low = std::isfinite(low) ? std::min(low, limit) : limit;
            high = std::isfinite(high) ? std::max(high, limit) : limit;
        }
    }
    setRange(histogram.x, low, high);
    const QVector<QPointF> curve = normalCurve(summary.mean, summary.stdDev, double(summary.count), counted.width,
                                               histogram.x->min(), histogram.x->max(), curvePoints);
    for (const QPointF &point : curve)
        highest = std::max(highest, point.y());
    replaceIfChanged(normal, curve);
    setRange(histogram.y, 0.0, std::max(highest * 1.05, 1.0));
    const double top = histogram.y->max();
    setLine(lowerLimit, figures.limits.lower, 0.0, figures.limits.lower, top);
    setLine(upperLimit, figures.limits.upper, 0.0, figures.limits.upper, top);
    setLine(meanLine, summary.mean, 0.0, summary.mean, top);
    histogram.x->setTitleText(unit);
}

void CapabilityCharts::drawControlCharts(const CapabilityFigures &figures, unsigned rules, const QString &unit)
{
    const std::vector<double> &readings = figures.readings();
    const ControlChart::Limits &limits = figures.control;
    const std::vector<std::uint8_t> breaks
            = ControlChart::ruleBreaks(readings.data(), readings.size(), limits,
                                       rules | ControlChart::BeyondLimits | ControlChart::RangeBeyondLimit);
    replaceIfChanged(values, ControlChart::envelope(readings.data(), readings.size(), maxChartPoints, 1.0));
    replaceIfChanged(valueMarks,
            ControlChart::marks(readings.data(), breaks,
                                (rules | ControlChart::BeyondLimits) & ~ControlChart::RangeBeyondLimit, maxChartPoints,
                                1.0, limits.centre));
    const double last = std::max(double(readings.size()), 2.0);
    setLine(centre, 1.0, limits.centre, last, limits.centre);
    setLine(upperControl, 1.0, limits.upper, last, limits.upper);
    setLine(lowerControl, 1.0, limits.lower, last, limits.lower);
    setRange(individuals.x, 1.0, last);
    double low = limits.known() ? limits.lower : figures.summary.minimum;
    double high = limits.known() ? limits.upper : figures.summary.maximum;
    if (figures.summary.count > 0) {
        low = std::min(low, figures.summary.minimum);
        high = std::max(high, figures.summary.maximum);
    }
    setRange(individuals.y, low, high);
    individuals.y->setTitleText(unit);

    const std::vector<double> moving = ControlChart::movingRanges(readings.data(), readings.size());
    // A moving range is marked at the reading that ends it.
    const std::vector<std::uint8_t> rangeBreaks(breaks.empty() ? breaks.end() : breaks.begin() + 1, breaks.end());
    replaceIfChanged(ranges, ControlChart::envelope(moving.data(), moving.size(), maxChartPoints, 2.0));
    replaceIfChanged(rangeMarks,
            ControlChart::marks(moving.data(), rangeBreaks, ControlChart::RangeBeyondLimit, maxChartPoints, 2.0, 0.0));
    setLine(rangeCentre, 2.0, limits.rangeCentre, last, limits.rangeCentre);
    setLine(rangeControl, 2.0, limits.rangeUpper, last, limits.rangeUpper);
    setRange(movingRange.x, 1.0, last);
    const double highestRange = moving.empty() ? 0.0 : *std::max_element(moving.begin(), moving.end());
    setRange(movingRange.y, 0.0, std::max(limits.known() ? limits.rangeUpper : 0.0, highestRange));
    movingRange.y->setTitleText(unit);
}
