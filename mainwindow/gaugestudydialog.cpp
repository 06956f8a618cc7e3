// SPDX-License-Identifier: GPL-3.0-or-later
#include "gaugestudydialog.h"

#include "capabilitycharts.h"
#include "chartclasses.h"
#include "fieldtext.h"
#include "heldsettings.h"
#include "moduleprotocol.h"
#include "readingformat.h"
#include "readingseries.h"
#include "readingstatistics.h"
#include "savefiledialog.h"
#include "ui_form_gaugestudy.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFileDialog>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cmath>


namespace {
// As often as the monitor polls.
constexpr int currentReadingPeriodMs = 200;

QString csvLine(const QStringList &fields)
{
    return fields.join(QLatin1Char(',')) + QLatin1String("\r\n");
}
} // namespace

GaugeStudyDialog::GaugeStudyDialog(const HeldSettings *held, const ReadingSeries *series, int axis, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui_Form_GaugeStudy>())
    , held(held)
    , series(series)
    , takeTimer(new QTimer(this))
    , currentTimer(new QTimer(this))
    , folder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
{
    ui->setupUi(this);
    for (int index = 0; index < held->reading().axisCount; ++index)
        ui->comboBox_Axis->addItem(ModuleProtocol::axisName(index));
    ui->comboBox_Axis->setCurrentIndex(std::max(axis, 0));
    fillTolerance();

    QChart *chart = ui->chartView_Run->chart();
    chart->setTitle(QStringLiteral("Run of the readings"));
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->legend()->hide();
    numberAxis = new QValueAxis;
    valueAxis = new QValueAxis;
    numberAxis->setLabelFormat(QStringLiteral("%d"));
    valueAxis->setLabelFormat(QStringLiteral("%g"));
    chart->addAxis(numberAxis, Qt::AlignBottom);
    chart->addAxis(valueAxis, Qt::AlignLeft);
    runLine = new QLineSeries;
    masterLine = new QLineSeries;
    upperLine = new QLineSeries;
    lowerLine = new QLineSeries;
    runLine->setPen(CapabilityCharts::thinPen(QColor(0x1f, 0x77, 0xb4)));
    masterLine->setPen(CapabilityCharts::thinPen(QColor(0x2c, 0xa0, 0x2c)));
    upperLine->setPen(CapabilityCharts::thinPen(QColor(0xd6, 0x27, 0x28), Qt::DashLine));
    lowerLine->setPen(upperLine->pen());
    for (QLineSeries *line : {runLine, masterLine, upperLine, lowerLine}) {
        chart->addSeries(line);
        line->attachAxis(numberAxis);
        line->attachAxis(valueAxis);
    }

    connect(ui->comboBox_Axis, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &GaugeStudyDialog::fillTolerance);
    connect(ui->pushButton_Start, &QPushButton::clicked, this, &GaugeStudyDialog::start);
    connect(ui->pushButton_Take, &QPushButton::clicked, this, &GaugeStudyDialog::take);
    connect(ui->pushButton_Stop, &QPushButton::clicked, this, &GaugeStudyDialog::stop);
    connect(ui->pushButton_SaveStudy, &QPushButton::clicked, this, &GaugeStudyDialog::chooseSaveFile);
    connect(ui->pushButton_Close, &QPushButton::clicked, this, &QDialog::close);
    connect(takeTimer, &QTimer::timeout, this, &GaugeStudyDialog::take);
    connect(currentTimer, &QTimer::timeout, this, &GaugeStudyDialog::showCurrentReading);
    currentTimer->start(currentReadingPeriodMs);
    showCurrentReading();
}

GaugeStudyDialog::~GaugeStudyDialog() = default;

// The default tolerance is the width of the axis's active comparator limits.
void GaugeStudyDialog::fillTolerance()
{
    const int chosen = std::max(ui->comboBox_Axis->currentIndex(), 0);
    ui->lineEdit_Tolerance->setText(FieldText::number(held->reading().highLimit[size_t(chosen)]
                                                      - held->reading().lowLimit[size_t(chosen)]));
}

void GaugeStudyDialog::start()
{
    const std::optional<double> masterValue = FieldText::numberOf(ui->lineEdit_Master->text());
    const std::optional<double> toleranceValue = FieldText::numberOf(ui->lineEdit_Tolerance->text());
    const std::optional<double> thresholdValue = FieldText::numberOf(ui->lineEdit_Threshold->text());
    QString problem;
    if (!masterValue)
        problem = QStringLiteral("Master value: %1").arg(FieldText::numberProblem(ui->lineEdit_Master->text()));
    else if (!toleranceValue || *toleranceValue <= 0.0)
        problem = QStringLiteral("Tolerance: a number above 0 is needed.");
    else if (!thresholdValue || *thresholdValue <= 0.0)
        problem = QStringLiteral("Threshold: a number above 0 is needed.");
    if (!problem.isEmpty()) {
        ui->label_Progress->setText(problem);
        return;
    }
    axis = ui->comboBox_Axis->currentIndex();
    master = *masterValue;
    tolerance = *toleranceValue;
    threshold = *thresholdValue;
    wanted = ui->spinBox_Count->value();
    taken.clear();
    // The reading on show when "Start" is pressed may be taken.
    pollTaken = -1;
    ui->label_Result->clear();
    ui->pushButton_SaveStudy->setEnabled(false);
    setRunning(true);
    if (ui->checkBox_Automatic->isChecked())
        takeTimer->start(int(std::lround(ui->doubleSpinBox_Interval->value() * 1000.0)));
    drawRun();
    showProgress();
}

void GaugeStudyDialog::setRunning(bool running)
{
    ui->groupBox_Setup->setEnabled(!running);
    ui->pushButton_Take->setEnabled(running);
    ui->pushButton_Stop->setEnabled(running);
    if (!running)
        takeTimer->stop();
}

// Each reading comes from a poll of its own: a module that stopped answering, or a
// monitor page left, gives no reading twice.
void GaugeStudyDialog::take()
{
    if (series->pollsTaken() == pollTaken) {
        showProgress(QStringLiteral("No new reading since the last one: the Measure Monitor page must be shown."));
        return;
    }
    pollTaken = series->pollsTaken();
    const double value = series->latest(axis);
    if (std::isnan(value)) {
        showProgress(QStringLiteral("The module reported an error: no reading taken."));
        return;
    }
    taken.push_back(value);
    drawRun();
    showProgress();
    if (int(taken.size()) >= wanted)
        finish(true);
}

void GaugeStudyDialog::stop()
{
    finish(false);
}

void GaugeStudyDialog::finish(bool complete)
{
    setRunning(false);
    const ReadingSummary summary = ReadingStatistics::of(taken.data(), taken.size());
    result = Capability::gaugeStudy(summary, master, tolerance);
    const int places = held->reading().decimals(axis);
    const QString unit = ReadingFormat::unitName(held->reading().unit);
    QString verdict;
    if (!result.cg.known())
        verdict = QStringLiteral("Cg and Cgk: \u2014, %1.").arg(result.cg.reason);
    else if (!complete)
        verdict = QStringLiteral("Stopped after %1 of %2 readings: no verdict.").arg(taken.size()).arg(wanted);
    else if (result.passes(threshold))
        verdict = QStringLiteral("The gauge passes: Cg and Cgk are at least %1.").arg(threshold);
    else
        verdict = QStringLiteral("The gauge fails: Cg or Cgk is below %1.").arg(threshold);
    const auto withUnit = [&unit](double value, int decimals) {
        return ReadingFormat::value(value, decimals) + QLatin1Char(' ') + unit;
    };
    const QStringList lines{
            QStringLiteral("%1 readings: mean %2, s %3, bias %4")
                    .arg(QString::number(summary.count), withUnit(summary.mean, places + 1),
                         withUnit(summary.stdDev, places + 2), withUnit(result.bias, places + 1)),
            QStringLiteral("Cg %1, Cgk %2").arg(Capability::text(result.cg), Capability::text(result.cgk)), verdict};
    ui->label_Result->setText(lines.join(QLatin1Char('\n')));
    ui->pushButton_SaveStudy->setEnabled(!taken.empty());
}

void GaugeStudyDialog::showProgress(const QString &note)
{
    QString text = QStringLiteral("%1 of %2 readings taken.").arg(taken.size()).arg(wanted);
    if (!note.isEmpty())
        text += QLatin1Char(' ') + note;
    ui->label_Progress->setText(text);
}

void GaugeStudyDialog::showCurrentReading()
{
    const int shown = ui->groupBox_Setup->isEnabled() ? std::max(ui->comboBox_Axis->currentIndex(), 0) : axis;
    const double value = series->latest(shown);
    const int places = held->reading().decimals(shown);
    ui->label_Current->setText(
            std::isnan(value)
                    ? QStringLiteral("Current reading of axis %1: none").arg(ModuleProtocol::axisName(shown))
                    : QStringLiteral("Current reading of axis %1: %2 %3")
                              .arg(ModuleProtocol::axisName(shown), ReadingFormat::value(value, places),
                                   ReadingFormat::unitName(held->reading().unit)));
}

// The run with the master value and the band of 0.2 T around it that Cg compares with.
void GaugeStudyDialog::drawRun()
{
    QVector<QPointF> points;
    points.reserve(int(taken.size()));
    double low = master - 0.1 * tolerance;
    double high = master + 0.1 * tolerance;
    for (std::size_t i = 0; i < taken.size(); ++i) {
        points.append(QPointF(double(i + 1), taken[i]));
        low = std::min(low, taken[i]);
        high = std::max(high, taken[i]);
    }
    runLine->replace(points);
    const double last = double(std::max(wanted, 2));
    masterLine->replace(QVector<QPointF>{QPointF(1, master), QPointF(last, master)});
    upperLine->replace(QVector<QPointF>{QPointF(1, master + 0.1 * tolerance), QPointF(last, master + 0.1 * tolerance)});
    lowerLine->replace(QVector<QPointF>{QPointF(1, master - 0.1 * tolerance), QPointF(last, master - 0.1 * tolerance)});
    numberAxis->setRange(1, last);
    const double margin = std::max((high - low) * 0.05, 1e-9);
    valueAxis->setRange(low - margin, high + margin);
}

void GaugeStudyDialog::chooseSaveFile()
{
    if (saveDialog)
        return;
    saveDialog = SaveFileDialog::open(
            this, QStringLiteral("Save Type-1 Study"), QStringLiteral("CSV files (*.csv)"), folder,
            SaveFileDialog::proposedName(QStringLiteral("type1"), axis, QStringLiteral("csv")));
    connect(saveDialog, &QFileDialog::fileSelected, this, &GaugeStudyDialog::saveTo);
}

// A CSV a spreadsheet reads: the set-up and result as name and value, then the readings.
void GaugeStudyDialog::saveTo(const QString &path)
{
    folder = QFileInfo(path).absolutePath();
    const auto number = [](double value) { return std::isfinite(value) ? QString::number(value, 'g', 17) : QString(); };
    const ReadingSummary summary = ReadingStatistics::of(taken.data(), taken.size());
    const QString verdict = int(taken.size()) < wanted ? QStringLiteral("incomplete")
            : result.passes(threshold)                 ? QStringLiteral("passes")
                                                       : QStringLiteral("fails");
    const QStringList rows[]
            = {{QStringLiteral("Type-1 gauge study"), QDateTime::currentDateTime().toString(Qt::ISODate)},
               {QStringLiteral("Axis"), ModuleProtocol::axisName(axis)},
               {QStringLiteral("Unit"), ReadingFormat::unitName(held->reading().unit)},
               {QStringLiteral("Master value"), number(master)},
               {QStringLiteral("Tolerance"), number(tolerance)},
               {QStringLiteral("Readings"), QString::number(taken.size())},
               {QStringLiteral("Mean"), number(summary.mean)},
               {QStringLiteral("Standard deviation"), number(summary.stdDev)},
               {QStringLiteral("Bias"), number(result.bias)},
               {QStringLiteral("Cg"), number(result.cg.value)},
               {QStringLiteral("Cgk"), number(result.cgk.value)},
               {QStringLiteral("Threshold"), number(threshold)},
               {QStringLiteral("Result"), verdict}};
    QString text;
    for (const QStringList &row : rows)
        text += csvLine(row);
    text += csvLine({QStringLiteral("Reading"), QStringLiteral("Value")});
    for (std::size_t i = 0; i < taken.size(); ++i)
        text += csvLine({QString::number(i + 1), number(taken[i])});

    QSaveFile file(path);
    const QByteArray bytes = text.toUtf8();
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return;
    SaveFileDialog::showFailure(this, QStringLiteral("Save Type-1 Study"), path, file.errorString());
}
