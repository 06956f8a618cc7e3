// SPDX-License-Identifier: GPL-3.0-or-later
#include "capabilitywindow.h"

#include "capabilitycharts.h"
#include "capabilityfigures.h"
#include "capabilityreport.h"
#include "gaugestudydialog.h"
#include "heldsettings.h"
#include "moduleprotocol.h"
#include "readingformat.h"
#include "readingseries.h"
#include "savefiledialog.h"
#include "ui_form_capability.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFileDialog>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>

namespace {
// Figures of hours of readings hardly move from one poll to the next; once a
// second they can be read, and the charts cost little.
constexpr int redrawPeriodMs = 1000;
constexpr int lastReadings = 1; // entry of the span box

enum Row { Count, Mean, StdDev, Minimum, Maximum, MovingRange, SigmaWithin, Lower, Upper, Cp, Cpk, Pp, Ppk };

const char *const resolutionNames[] = {"0.1μm", "0.5μm", "1μm", "5μm", "10μm"};
const char *const modeNames[] = {"REAL", "MAX", "MIN", "P-P"};

} // namespace

CapabilityWindow::CapabilityWindow(const HeldSettings *held, const ReadingSeries *series, QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui_Form_Capability>())
    , held(held)
    , series(series)
    , redrawTimer(new QTimer(this))
    , folder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
{
    ui->setupUi(this);
    setWindowFlag(Qt::Window, true);
    charts = std::make_unique<CapabilityCharts>(ui->chartView_Histogram, ui->chartView_Individuals,
                                                ui->chartView_MovingRange);
    for (int row = 0; row < ui->tableWidget_Figures->rowCount(); ++row) {
        auto *item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        ui->tableWidget_Figures->setItem(row, 0, item);
    }
    connect(redrawTimer, &QTimer::timeout, this, &CapabilityWindow::redrawIfNewReadings);
    const auto redrawNow = [this] { redraw(); };
    connect(ui->comboBox_Axis, QOverload<int>::of(&QComboBox::currentIndexChanged), this, redrawNow);
    connect(ui->comboBox_Span, QOverload<int>::of(&QComboBox::currentIndexChanged), this, redrawNow);
    connect(ui->spinBox_Readings, QOverload<int>::of(&QSpinBox::valueChanged), this, redrawNow);
    for (QCheckBox *rule : {ui->checkBox_TwoOfThree, ui->checkBox_FourOfFive, ui->checkBox_EightOnOneSide})
        connect(rule, &QCheckBox::toggled, this, redrawNow);
    connect(ui->pushButton_SaveReport, &QPushButton::clicked, this, &CapabilityWindow::chooseReportFile);
    connect(ui->pushButton_GaugeStudy, &QPushButton::clicked, this, &CapabilityWindow::openGaugeStudy);
}

CapabilityWindow::~CapabilityWindow() = default;

void CapabilityWindow::open(const HeldSettings *held, const ReadingSeries *series, int axis, QWidget *parent)
{
    auto *window = parent->findChild<CapabilityWindow *>(QString(), Qt::FindDirectChildrenOnly);
    if (!window)
        window = new CapabilityWindow(held, series, parent);
    window->chooseAxis(axis);
    window->show();
    window->raise();
    window->activateWindow();
}

void CapabilityWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    redraw();
    redrawTimer->start(redrawPeriodMs);
}

void CapabilityWindow::chooseAxis(int axis)
{
    setAxisCount(held->reading().axisCount);
    ui->comboBox_Axis->setCurrentIndex(std::clamp(axis, 0, ui->comboBox_Axis->count() - 1));
}

void CapabilityWindow::setAxisCount(int axes)
{
    if (ui->comboBox_Axis->count() == axes)
        return;
    const QSignalBlocker blocker(ui->comboBox_Axis);
    ui->comboBox_Axis->clear();
    for (int axis = 0; axis < axes; ++axis)
        ui->comboBox_Axis->addItem(ModuleProtocol::axisName(axis));
}

int CapabilityWindow::lastPolls() const
{
    return ui->comboBox_Span->currentIndex() == lastReadings ? ui->spinBox_Readings->value()
                                                             : CapabilityFigures::wholeRecording;
}

unsigned CapabilityWindow::rules() const
{
    unsigned chosen = ControlChart::BeyondLimits;
    if (ui->checkBox_TwoOfThree->isChecked())
        chosen |= ControlChart::TwoOfThree;
    if (ui->checkBox_FourOfFive->isChecked())
        chosen |= ControlChart::FourOfFive;
    if (ui->checkBox_EightOnOneSide->isChecked())
        chosen |= ControlChart::EightOnOneSide;
    return chosen;
}

void CapabilityWindow::redrawIfNewReadings()
{
    if (isVisible() && series->pollsTaken() != pollsDrawn)
        redraw();
}

void CapabilityWindow::redraw()
{
    setAxisCount(held->reading().axisCount);
    ui->spinBox_Readings->setEnabled(lastPolls() != CapabilityFigures::wholeRecording);
    const int axis = ui->comboBox_Axis->currentIndex();
    const bool any = axis >= 0;
    ui->pushButton_SaveReport->setEnabled(any);
    ui->pushButton_GaugeStudy->setEnabled(any);
    if (!any)
        return;
    pollsDrawn = series->pollsTaken();
    const CapabilityFigures figures = CapabilityFigures::of(held->reading(), *series, axis, lastPolls());
    showFigures(figures);
    charts->draw(figures, rules(), ReadingFormat::unitName(held->reading().unit));
}

void CapabilityWindow::showFigures(const CapabilityFigures &figures)
{
    const ReadingSummary &s = figures.summary;
    const int places = figures.decimals;
    // Spreads are a few steps of the resolution: two more decimals show them.
    const int spreadPlaces = places + 2;
    const Capability::Indices &indices = figures.indices;
    const QString texts[] = {QString::number(s.count),
                             ReadingFormat::value(s.mean, places + 1),
                             ReadingFormat::value(s.stdDev, spreadPlaces),
                             ReadingFormat::value(s.minimum, places),
                             ReadingFormat::value(s.maximum, places),
                             ReadingFormat::value(s.movingRangeMean, spreadPlaces),
                             ReadingFormat::value(s.sigmaWithin, spreadPlaces),
                             ReadingFormat::value(figures.limits.lower, places),
                             ReadingFormat::value(figures.limits.upper, places),
                             Capability::text(indices.cp),
                             Capability::text(indices.cpk),
                             Capability::text(indices.pp),
                             Capability::text(indices.ppk)};
    for (int row = Count; row <= Ppk; ++row) {
        QTableWidgetItem *item = ui->tableWidget_Figures->item(row, 0);
        if (item->text() != texts[row])
            item->setText(texts[row]);
    }
    const QString reason = indices.reason();
    ui->label_Reason->setText(reason.isEmpty() ? QString()
                                               : QStringLiteral("Cp, Cpk, Pp and Ppk: \u2014, %1.").arg(reason));
}

void CapabilityWindow::chooseReportFile()
{
    if (reportDialog)
        return;
    reportDialog = SaveFileDialog::open(
            this, QStringLiteral("Save Report"), QStringLiteral("PDF files (*.pdf)"), folder,
            SaveFileDialog::proposedName(QStringLiteral("capability"), ui->comboBox_Axis->currentIndex(),
                                         QStringLiteral("pdf")));
    connect(reportDialog, &QFileDialog::fileSelected, this, &CapabilityWindow::saveReport);
}

CapabilityReport CapabilityWindow::report() const
{
    const int axis = ui->comboBox_Axis->currentIndex();
    const ReadingSettings &module = held->reading();
    const int places = module.decimals(axis);
    QTableWidget *const table = ui->tableWidget_Figures;
    const QString unit = ReadingFormat::unitName(module.unit);

    CapabilityReport report;
    report.title = QStringLiteral("Capability of axis %1").arg(ModuleProtocol::axisName(axis));
    report.time = QDateTime::currentDateTime();
    report.operatorName = ui->lineEdit_Operator->text();
    report.gauge = ui->lineEdit_Gauge->text();
    report.module = {{QStringLiteral("Unit number"), QString::number(module.unitNumber, 16).toUpper()},
                     {QStringLiteral("Axes"), QString::number(module.axisCount)},
                     {QStringLiteral("Unit"), unit},
                     {QStringLiteral("Data format"), ReadingFormat::dataFormatName(module.dataFormat)}};
    const int set = std::clamp(held->value("compSet", axis).toInt(), 1, 4);
    report.axis = {{QStringLiteral("Resolution"),
                    QString::fromUtf8(resolutionNames[std::clamp(module.resolution[size_t(axis)], 1, 5) - 1])},
                   {QStringLiteral("Measuring mode"),
                    QLatin1String(modeNames[std::clamp(held->value("measMode", axis).toInt(), 0, 3)])},
                   {QStringLiteral("Direction"),
                    held->value("direction", axis).toBool() ? QStringLiteral("reversed") : QStringLiteral("normal")},
                   {QStringLiteral("Preset"), ReadingFormat::value(held->value("preset", axis).toDouble(), places)},
                   {QStringLiteral("Reference point"),
                    held->value("refUse", axis).toBool() ? QStringLiteral("used") : QStringLiteral("not used")},
                   {QStringLiteral("Comparator set"), QString::number(set)},
                   {QStringLiteral("LSL (low limit)"), table->item(Lower, 0)->text()},
                   {QStringLiteral("USL (high limit)"), table->item(Upper, 0)->text()}};
    const QString span = lastPolls() == CapabilityFigures::wholeRecording
            ? QStringLiteral("whole recording")
            : QStringLiteral("last %1 polls").arg(lastPolls());
    report.readings
            = {{QStringLiteral("Readings"), QStringLiteral("%1 (%2)").arg(table->item(Count, 0)->text(), span)}};
    for (int row = Mean; row <= SigmaWithin; ++row)
        report.readings.append(
                {table->verticalHeaderItem(row)->text(), table->item(row, 0)->text() + QLatin1Char(' ') + unit});
    for (int row = Cp; row <= Ppk; ++row)
        report.indices.append({table->verticalHeaderItem(row)->text(), table->item(row, 0)->text()});
    report.reason = ui->label_Reason->text();
    report.charts = {ui->chartView_Histogram, ui->chartView_Individuals, ui->chartView_MovingRange};
    return report;
}

void CapabilityWindow::saveReport(const QString &path)
{
    folder = QFileInfo(path).absolutePath();
    // What the window shows, as it shows it: its charts lay out in the event loop.
    QString error;
    if (!report().write(path, &error))
        SaveFileDialog::showFailure(this, QStringLiteral("Save Report"), path, error);
}

void CapabilityWindow::openGaugeStudy()
{
    if (!gaugeStudy)
        gaugeStudy = new GaugeStudyDialog(held, series, ui->comboBox_Axis->currentIndex(), this);
    gaugeStudy->show();
    gaugeStudy->raise();
    gaugeStudy->activateWindow();
}
