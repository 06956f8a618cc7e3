// SPDX-License-Identifier: GPL-3.0-or-later
// The capability figures against published worked examples, to the precision they
// print, and against an independent exact computation on generated readings
// (capability-cases.json, written by make_capability_cases.py) to 1e-9; the
// control chart's rules on readings made to break each one.

#include "capability.h"
#include "controlchart.h"
#include "histogram.h"
#include "readingstatistics.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <cmath>
#include <map>

using Figures = std::map<QString, double>;

namespace {

// Every figure of the readings, by the name the independent computation uses.
Figures figuresOf(const QVector<double> &values, double lsl, double usl, double master, double tolerance)
{
    const ReadingSummary s = ReadingStatistics::of(values.data(), std::size_t(values.size()));
    const Capability::Indices indices = Capability::indices(s, {lsl, usl});
    const Capability::GaugeStudy gauge = Capability::gaugeStudy(s, master, tolerance);
    const ControlChart::Limits limits = ControlChart::limits(s);
    return {{"count", double(s.count)},      {"mean", s.mean},           {"minimum", s.minimum},
            {"maximum", s.maximum},          {"stdDev", s.stdDev},       {"movingRangeMean", s.movingRangeMean},
            {"sigmaWithin", s.sigmaWithin},  {"ucl", limits.upper},      {"lcl", limits.lower},
            {"rangeUcl", limits.rangeUpper}, {"cp", indices.cp.value},   {"cpk", indices.cpk.value},
            {"pp", indices.pp.value},        {"ppk", indices.ppk.value}, {"bias", gauge.bias},
            {"cg", gauge.cg.value},          {"cgk", gauge.cgk.value}};
}

QVector<double> numbers(const char *text)
{
    QVector<double> values;
    for (const QString &word : QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        values << word.toDouble();
    return values;
}

} // namespace

class tst_Capability : public QObject
{
    Q_OBJECT

private slots:
    void publishedExamples_data();
    void publishedExamples();
    void generatedReadings_data();
    void generatedReadings();
    void rules_data();
    void rules();
    void histogramBinsHoldWholeSteps();
    void envelopeKeepsTheExtremes();
};

void tst_Capability::publishedExamples_data()
{
    QTest::addColumn<QVector<double>>("values");
    QTest::addColumn<double>("lsl");
    QTest::addColumn<double>("usl");
    QTest::addColumn<double>("master");
    QTest::addColumn<double>("tolerance");
    QTest::addColumn<QString>("figure");
    QTest::addColumn<double>("printed");
    QTest::addColumn<int>("decimals");

    // SAS/QC User's Guide, The CAPABILITY Procedure, "Computing Capability Indices":
    // the fluid weights of 100 drink cans (data set Cans), LSL 11.95, USL 12.05. Its Cp
    // and Cpk divide by the sample standard deviation s, as Pp and Ppk do here.
    const QVector<double> cans = numbers(
            "12.07 12.02 12.00 12.01 11.98 11.96 12.04 12.05 12.01 11.97 12.03 12.03 12.00 12.04 11.96 12.02 12.06 "
            "12.00 12.02 11.91 12.05 11.98 11.91 12.01 12.06 12.02 12.05 11.90 12.07 11.98 12.02 12.11 12.00 11.99 "
            "11.95 11.98 12.05 12.00 12.10 12.04 12.06 12.04 11.99 12.06 11.99 12.07 11.96 11.97 12.00 11.97 12.09 "
            "11.99 11.95 11.99 11.99 11.96 11.94 12.03 12.09 12.03 11.99 12.00 12.05 12.04 12.05 12.01 11.97 11.93 "
            "12.00 11.97 12.13 12.07 12.00 11.96 11.99 11.97 12.05 11.94 11.99 12.02 11.95 11.99 11.91 12.06 12.03 "
            "12.06 12.05 12.04 12.03 11.98 12.05 12.05 12.11 11.96 12.00 11.96 11.96 12.00 12.01 11.98");
    QTest::newRow("drink cans Pp") << cans << 11.95 << 12.05 << 12.0 << 0.1 << "pp" << 0.354967 << 6;
    QTest::newRow("drink cans Ppk") << cans << 11.95 << 12.05 << 12.0 << 0.1 << "ppk" << 0.288943 << 6;

    // SAS/QC User's Guide, The MACONTROL Procedure, Example "Displaying Individual
    // Measurements on an EWMA Chart": 30 tire belt diameters in order, whose limits
    // for individual measurements and moving ranges are listed (data set Tlimits):
    // mean 24.0083, average moving range 0.056897. (Its control limits use 3 / d2 with
    // d2 to more digits than the 2.66 here, so they are not compared.)
    const QVector<double> tires = numbers("24.05 23.99 23.95 23.93 23.97 24.02 24.06 24.10 23.98 24.03 23.91 24.06 "
                                          "24.06 23.96 23.98 24.06 24.01 24.00 23.93 23.92 24.09 24.11 24.05 23.98 "
                                          "23.98 24.06 24.02 24.06 23.97 23.96");
    QTest::newRow("tire belts mean") << tires << 23.9 << 24.1 << 24.0 << 0.2 << "mean" << 24.0083 << 4;
    QTest::newRow("tire belts moving range")
            << tires << 23.9 << 24.1 << 24.0 << 0.2 << "movingRangeMean" << 0.056897 << 6;

    // A Type-1 study data sheet published with the JASP Quality Control module
    // (jaspQualityControl, tests/testthat/Type1.csv): 50 readings of a master of
    // -4.0 um, tolerance 15 um; its results (test-msaType1Gauge.R): mean -3.946,
    // s 0.420014577006512, Cg 1.19, Cgk 1.15.
    const QVector<double> master = numbers(
            "-4 -4.1 -4.1 -4.1 -4.1 -3.9 -3.9 -3.9 -4.1 -4.2 -3.9 -4.2 -4 -3.8 -3.9 -3.9 -3.9 -3.9 -4.6 -4.3 -3.9 "
            "-3.7 -3.7 -3.9 -4 -5 -3.9 -3.8 -3.7 -3.8 -3.7 -3.8 -3.6 -3.5 -3.6 -3.6 -3.4 -5.1 -3.5 -4 -4.5 -3.5 "
            "-5.1 -5 -3.5 -3.5 -3.5 -3.6 -3.6 -3.5");
    QTest::newRow("Type-1 mean") << master << -11.5 << 3.5 << -4.0 << 15.0 << "mean" << -3.946 << 3;
    QTest::newRow("Type-1 s") << master << -11.5 << 3.5 << -4.0 << 15.0 << "stdDev" << 0.420014577006512 << 15;
    QTest::newRow("Type-1 Cg") << master << -11.5 << 3.5 << -4.0 << 15.0 << "cg" << 1.19 << 2;
    QTest::newRow("Type-1 Cgk") << master << -11.5 << 3.5 << -4.0 << 15.0 << "cgk" << 1.15 << 2;
}

void tst_Capability::publishedExamples()
{
    QFETCH(QVector<double>, values);
    QFETCH(double, lsl);
    QFETCH(double, usl);
    QFETCH(double, master);
    QFETCH(double, tolerance);
    QFETCH(QString, figure);
    QFETCH(double, printed);
    QFETCH(int, decimals);
    const double value = figuresOf(values, lsl, usl, master, tolerance).at(figure);
    QVERIFY2(std::abs(value - printed) <= 0.5 * std::pow(10.0, -decimals) * (1 + 1e-9),
             qPrintable(QString::number(value, 'g', 17)));
}

void tst_Capability::generatedReadings_data()
{
    QTest::addColumn<QJsonObject>("reading");
    QFile file(QStringLiteral(CAPABILITY_CASES));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonArray cases = QJsonDocument::fromJson(file.readAll()).array();
    QVERIFY(cases.size() >= 6);
    for (const QJsonValue &item : cases)
        QTest::newRow(qPrintable(item[QLatin1String("name")].toString())) << item.toObject();
}

void tst_Capability::generatedReadings()
{
    QFETCH(QJsonObject, reading);
    QVector<double> values;
    for (const QJsonValue &text : reading[QLatin1String("values")].toArray())
        values << text.toString().toDouble();
    const auto number = [&reading](const char *key) {
        return reading[QLatin1String(key)].isNull() ? NAN : reading[QLatin1String(key)].toString().toDouble();
    };
    const double lsl = number("lsl");
    const double usl = number("usl");
    const Figures figures = figuresOf(values, lsl, usl, number("master"), number("tolerance"));
    const QJsonObject expected = reading[QLatin1String("expected")].toObject();
    for (auto figure = expected.begin(); figure != expected.end(); ++figure) {
        if (figure.key() == QLatin1String("reason"))
            continue;
        const double want
                = figure.value().isDouble() ? figure.value().toDouble() : figure.value().toString().toDouble();
        const double got = figures.at(figure.key());
        QVERIFY2(std::abs(got - want) <= 1e-9 * std::abs(want),
                 qPrintable(QStringLiteral("%1: %2, expected %3")
                                    .arg(figure.key(), QString::number(got, 'g', 17), QString::number(want, 'g', 17))));
    }
    // An index that cannot be computed has no value, and the reason the computation gives.
    const Capability::Indices indices
            = Capability::indices(ReadingStatistics::of(values.data(), std::size_t(values.size())), {lsl, usl});
    const QString reason = expected[QLatin1String("reason")].toString();
    QCOMPARE(indices.reason(), reason);
    for (const Capability::Index &index : {indices.cp, indices.cpk, indices.pp, indices.ppk}) {
        QCOMPARE(index.known(), reason.isEmpty());
        QCOMPARE(std::isnan(index.value), !reason.isEmpty());
        QCOMPARE(Capability::text(index) == QStringLiteral("\u2014"), !reason.isEmpty());
    }
}

void tst_Capability::rules_data()
{
    // Limits at +-3 around 0: the zones are 1 wide.
    QTest::addColumn<QVector<double>>("values");
    QTest::addColumn<unsigned>("rules");
    QTest::addColumn<QVector<int>>("marked"); // index * 100 + flags
    const unsigned all = ControlChart::allRules;
    QTest::newRow("beyond the limits") << QVector<double>{0.0, 3.5, -3.1, 2.9} << unsigned(ControlChart::BeyondLimits)
                                       << QVector<int>{101, 201};
    QTest::newRow("2 of 3 beyond 2 sigma, one side") << QVector<double>{2.5, 0.0, 2.2, -2.5, 0.0, 2.9}
                                                     << unsigned(ControlChart::TwoOfThree) << QVector<int>{202};
    QTest::newRow("4 of 5 beyond 1 sigma")
            << QVector<double>{1.5, 1.2, 0.0, 1.9, 1.1, -1.5} << all << QVector<int>{404};
    QTest::newRow("8 on one side") << QVector<double>(9, 0.5) << all << QVector<int>{708, 808};
    QTest::newRow("8 on one side, switched off")
            << QVector<double>(9, 0.5) << unsigned(ControlChart::BeyondLimits) << QVector<int>{};
    QTest::newRow("moving range above its limit") << QVector<double>{-1.5, 1.8, 1.0} << all << QVector<int>{116};
}

void tst_Capability::rules()
{
    QFETCH(QVector<double>, values);
    QFETCH(unsigned, rules);
    QFETCH(QVector<int>, marked);
    ControlChart::Limits limits;
    limits.centre = 0.0;
    limits.upper = 3.0;
    limits.lower = -3.0;
    limits.rangeCentre = 1.0;
    limits.rangeUpper = 3.267;
    const std::vector<std::uint8_t> breaks
            = ControlChart::ruleBreaks(values.data(), std::size_t(values.size()), limits, rules);
    QVector<int> found;
    for (std::size_t i = 0; i < breaks.size(); ++i) {
        if (breaks[i])
            found << int(i) * 100 + breaks[i];
    }
    QCOMPARE(found, marked);
}

// Readings on steps of 0.0005 in bins of whole steps: no bin catches one step more
// than its neighbours because a bin edge falls on a step.
void tst_Capability::histogramBinsHoldWholeSteps()
{
    QVector<double> values;
    for (int step = 0; step <= 40; ++step)
        values << 10.0 + 0.0005 * step;
    const Histogram histogram = Histogram::of(values.data(), std::size_t(values.size()), 10.0, 10.02, 0.0005, 40);
    QCOMPARE(std::accumulate(histogram.counts.begin(), histogram.counts.end(), qint64(0)), qint64(values.size()));
    const double stepsPerBin = histogram.width / 0.0005;
    QVERIFY2(std::abs(stepsPerBin - std::round(stepsPerBin)) < 1e-9, qPrintable(QString::number(stepsPerBin)));
    for (std::size_t bin = 0; bin + 1 < histogram.counts.size(); ++bin)
        QCOMPARE(double(histogram.counts[bin]), std::round(stepsPerBin));
}

void tst_Capability::envelopeKeepsTheExtremes()
{
    std::vector<double> values(144000);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = std::sin(double(i) * 0.01);
    values[77777] = 5.0;
    values[123] = -4.0;
    const QVector<QPointF> points = ControlChart::envelope(values.data(), values.size(), 400, 1.0);
    QVERIFY2(points.size() <= 402, qPrintable(QString::number(points.size())));
    QVERIFY(points.contains(QPointF(77778.0, 5.0)));
    QVERIFY(points.contains(QPointF(124.0, -4.0)));
    QVERIFY(std::is_sorted(points.begin(), points.end(),
                           [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); }));
}

QTEST_GUILESS_MAIN(tst_Capability)
#include "tst_capability.moc"
