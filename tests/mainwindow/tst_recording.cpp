// SPDX-License-Identifier: GPL-3.0-or-later
// Recording the monitor's readings to a file, and their spread, against the module
// simulator: one row per poll with the module's values, modes and results; the file
// complete however the recording ends; a file that cannot be written stops the
// recording, not the monitor; the spread as an independent computation gives it.

#include "readinghistory.h"
#include "windowharness.h"

#include <QDateTime>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTableWidget>
#include <QTemporaryDir>

#include <cmath>

namespace {

const char page[] = "page_MeasureMonitor";

// The file as a spreadsheet reads it; `complete` when every line ends in CRLF.
struct CsvFile
{
    explicit CsvFile(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return;
        const QString text = QString::fromUtf8(file.readAll());
        complete = text.endsWith(QLatin1String("\r\n"));
        for (const QString &line : text.split(QLatin1String("\r\n"), Qt::SkipEmptyParts))
            lines << line.split(QLatin1Char(','));
    }
    // The readings after the seven header lines and the column names.
    QVector<QStringList> rows() const { return lines.mid(8); }

    bool complete = false;
    QVector<QStringList> lines;
};

QPushButton *pageButton(const WindowHarness &harness, const char *name)
{
    return harness.onPage<QPushButton>(page, QLatin1String(name));
}
QString recordingState(const WindowHarness &harness)
{
    return harness.onPage<QLabel>(page, QStringLiteral("label_RecordingState"))->text();
}
int polls(const WindowHarness &harness, int from = 0)
{
    return harness.commands().mid(from).count(QStringLiteral("R"));
}

// "Record...", then the path typed into the file dialog, as an operator would.
bool record(const WindowHarness &harness, const QString &path)
{
    WindowHarness::click(pageButton(harness, "pushButton_Record"));
    auto *dialog = harness.window()->findChild<QFileDialog *>();
    if (!dialog || !QTest::qWaitForWindowExposed(dialog))
        return false;
    dialog->setOption(QFileDialog::DontConfirmOverwrite); // the operator would confirm
    auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (!name)
        return false;
    name->setText(path);
    QTest::keyClick(name, Qt::Key_Return);
    return dialog->isHidden() || QTest::qWaitFor([dialog] { return dialog->isHidden(); });
}

// The page's value without the plus sign it always shows.
QString withoutPlus(const QString &text)
{
    return text.startsWith(QLatin1Char('+')) ? text.mid(1) : text;
}

double twoPassMean(const QVector<double> &values)
{
    double sum = 0.0;
    for (const double value : values)
        sum += value;
    return sum / values.size();
}
double twoPassDeviation(const QVector<double> &values)
{
    const double mean = twoPassMean(values);
    double squares = 0.0;
    for (const double value : values)
        squares += (value - mean) * (value - mean);
    return values.size() > 1 ? std::sqrt(squares / (values.size() - 1)) : 0.0;
}

} // namespace

class tst_Recording : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void rowPerPollWithTheModulesReadingsAndTheirSpread();
    void recordingEndsWithTheFileComplete_data();
    void recordingEndsWithTheFileComplete();
    void unwritableFileStopsTheRecordingNotTheMonitor_data();
    void unwritableFileStopsTheRecordingNotTheMonitor();
    void spreadMatchesTwoPassComputation_data();
    void spreadMatchesTwoPassComputation();
    void trendKeepsToItsPointsAndKeepsTheExtremes();
    void readingsKeepTheDecimalsOfTheirResolution();

private:
    bool connectAndMonitor(WindowHarness &harness, const SimulatorOptions &options, const ModuleModel *model = nullptr);

    QString originalDirectory;
    std::unique_ptr<QTemporaryDir> work;
};

void tst_Recording::init()
{
    // The tool reads "setting.ini" from its working folder.
    originalDirectory = QDir::currentPath();
    work = std::make_unique<QTemporaryDir>();
    QVERIFY(work->isValid());
    QVERIFY(QDir::setCurrent(work->path()));
}

void tst_Recording::cleanup()
{
    QDir::setCurrent(originalDirectory);
    work.reset();
}

bool tst_Recording::connectAndMonitor(WindowHarness &harness, const SimulatorOptions &options,
                                      const ModuleModel *model)
{
    if (!harness.startSimulator(options))
        return false;
    if (model)
        harness.simulator().setModel(*model);
    harness.openWindow();
    if (!harness.connectModule())
        return false;
    harness.openPage("pushButton_MeasureMonitor");
    // The first redraw replaces the form's unsigned placeholder.
    return QTest::qWaitFor(
            [&harness] {
                return harness.onPage<QLabel>(page, QStringLiteral("label_Measure_1"))->text().startsWith(QLatin1Char('+'))
                        || harness.onPage<QLabel>(page, QStringLiteral("label_Measure_1"))->text().startsWith(QLatin1Char('-'));
            },
            WindowHarness::waitMs);
}

void tst_Recording::rowPerPollWithTheModulesReadingsAndTheirSpread()
{
    WindowHarness harness;
    SimulatorOptions options;
    options.axisCount = 4;
    options.errorAxis = 1;
    ModuleModel model;
    model.axisCount = 4;
    model.resolution = {3, 3, 5, 1}; // 3, 3, 2 and 4 decimals in mm
    model.compHigh[0][0] = -10.0;    // axis 0 always above its limit
    model.compLow[0][2] = 10.0;      // axis 2 always below
    model.measMode[3] = 1;           // axis 3 keeps its maximum
    QVERIFY(connectAndMonitor(harness, options, &model));

    const QString path = work->filePath(QStringLiteral("readings.csv"));
    const int atStart = harness.commands().size();
    QVERIFY(record(harness, path));
    QTRY_VERIFY_WITH_TIMEOUT(CsvFile(path).rows().size() >= 6, WindowHarness::waitMs);
    WindowHarness::click(pageButton(harness, "pushButton_StopRecording"));
    const int sent = polls(harness, atStart);
    QStringList shown;
    for (int axis = 0; axis < 4; ++axis)
        shown << harness.onPage<QLabel>(page, QStringLiteral("label_Measure_%1").arg(axis + 1))->text();

    const CsvFile csv(path);
    QVERIFY(csv.complete);
    // Every line has the 2 + 3 x 4 fields of a row.
    const QStringList header[] = {{"Module address", harness.moduleAddress()}, {"Unit number", "0"}, {"Axis count", "4"},
                                  {"Data format", "Mode 3"},         {"Unit", "mm"},
                                  {"Tool version", "QR36-TN Setting tool Version 1.00"}};
    for (int line = 0; line < 6; ++line) {
        QCOMPARE(csv.lines.at(line).mid(0, 2), header[line]);
        QCOMPARE(csv.lines.at(line).mid(2).join(QString()), QString());
        QCOMPARE(csv.lines.at(line).size(), 14);
    }
    QCOMPARE(csv.lines.at(6).at(0), QStringLiteral("Start time"));
    QVERIFY(QDateTime::fromString(csv.lines.at(6).at(1), Qt::ISODateWithMs).isValid());
    QCOMPARE(csv.lines.at(7).mid(0, 5), (QStringList{"Time", "Seconds", "Axis 0 value", "Axis 0 mode", "Axis 0 result"}));
    QCOMPARE(csv.lines.at(7).last(), QStringLiteral("Axis 3 result"));

    // One row for each poll answered while recording: the first and the last poll
    // may fall either side of the start and the stop.
    const QVector<QStringList> rows = csv.rows();
    QVERIFY2(rows.size() >= sent - 1 && rows.size() <= sent + 1,
             qPrintable(QStringLiteral("%1 rows for %2 polls").arg(rows.size()).arg(sent)));
    QCOMPARE(recordingState(harness), QStringLiteral("Recorded %1 rows to readings.csv").arg(rows.size()));
    const QRegularExpression millisecondTime(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}"));
    double previousSeconds = -1.0;
    for (const QStringList &row : rows) {
        QCOMPARE(row.size(), 14);
        QVERIFY2(millisecondTime.match(row.at(0)).hasMatch(), qPrintable(row.at(0)));
        QVERIFY(row.at(1).toDouble() > previousSeconds);
        previousSeconds = row.at(1).toDouble();
        const QStringList modes{row.at(3), row.at(6), row.at(9), row.at(12)};
        const QStringList results{row.at(4), row.at(7), row.at(10), row.at(13)};
        QCOMPARE(results, (QStringList{"HI", "ERR", "LO", "OK"}));
        QCOMPARE(modes.at(0), QStringLiteral("REAL"));
        QCOMPARE(modes.at(3), QStringLiteral("MAX"));
        QCOMPARE(row.at(5), QString()); // the error axis has no value
        QVERIFY2(QRegularExpression(QStringLiteral("^-?\\d+\\.\\d{3}$")).match(row.at(2)).hasMatch(), qPrintable(row.at(2)));
        QVERIFY2(QRegularExpression(QStringLiteral("^-?\\d+\\.\\d{2}$")).match(row.at(8)).hasMatch(), qPrintable(row.at(8)));
        QVERIFY2(QRegularExpression(QStringLiteral("^-?\\d+\\.\\d{4}$")).match(row.at(11)).hasMatch(), qPrintable(row.at(11)));
    }
    // The last row is the reading the page showed when "Stop" was pressed.
    const QStringList last = rows.last();
    QCOMPARE(QStringList({last.at(2), last.at(5), last.at(8), last.at(11)}),
             QStringList({withoutPlus(shown.at(0)), QString(), withoutPlus(shown.at(2)), withoutPlus(shown.at(3))}));

    // The spread of the whole recording, against the file's values.
    WindowHarness::click(pageButton(harness, "pushButton_Trend"));
    auto *table = harness.window()->findChild<QTableWidget *>(QStringLiteral("tableWidget_Spread"));
    QVERIFY(table && QTest::qWaitForWindowExposed(table->window()));
    QCOMPARE(table->rowCount(), 4);
    const int decimals[] = {3, 3, 2, 4};
    for (const int axis : {0, 2, 3}) {
        QVector<double> values;
        for (const QStringList &row : rows)
            values << row.at(2 + 3 * axis).toDouble();
        const auto [lowest, highest] = std::minmax_element(values.begin(), values.end());
        const auto cell = [&](int column) { return table->item(axis, column)->text(); };
        QCOMPARE(cell(1), QString::number(rows.size()));
        QCOMPARE(cell(3), rows.at(lowest - values.begin()).at(2 + 3 * axis));
        QCOMPARE(cell(4), rows.at(highest - values.begin()).at(2 + 3 * axis));
        // The file holds rounded values: mean and deviation agree to the last decimal.
        const double unit = std::pow(10.0, -decimals[axis]);
        QVERIFY2(std::abs(cell(2).toDouble() - twoPassMean(values)) <= unit, qPrintable(cell(2)));
        QVERIFY2(std::abs(cell(6).toDouble() - twoPassDeviation(values)) <= unit, qPrintable(cell(6)));
    }
    QCOMPARE(table->item(1, 1)->text(), QStringLiteral("0"));
    QCOMPARE(table->item(1, 2)->text(), QString());
}

void tst_Recording::recordingEndsWithTheFileComplete_data()
{
    QTest::addColumn<QString>("ending");
    for (const char *ending : {"Stop", "leaving the page", "disconnect", "closing the window"})
        QTest::newRow(ending) << QString::fromLatin1(ending);
}

void tst_Recording::recordingEndsWithTheFileComplete()
{
    QFETCH(QString, ending);
    WindowHarness harness;
    SimulatorOptions options;
    options.axisCount = 2;
    QVERIFY(connectAndMonitor(harness, options));
    const QString path = work->filePath(QStringLiteral("readings.csv"));
    QVERIFY(record(harness, path));
    QTRY_VERIFY_WITH_TIMEOUT(CsvFile(path).rows().size() >= 2, WindowHarness::waitMs);

    if (ending == QLatin1String("Stop")) {
        WindowHarness::click(pageButton(harness, "pushButton_StopRecording"));
    } else if (ending == QLatin1String("leaving the page")) {
        harness.openPage("pushButton_RefPointSetting");
    } else if (ending == QLatin1String("disconnect")) {
        WindowHarness::click(harness.connectButton());
        QTRY_COMPARE_WITH_TIMEOUT(harness.connectButton()->text(), QStringLiteral("Connect"), WindowHarness::waitMs);
    } else {
        harness.window()->close();
    }
    const int rows = CsvFile(path).rows().size();
    QCOMPARE(recordingState(harness), QStringLiteral("Recorded %1 rows to readings.csv").arg(rows));
    QVERIFY(!pageButton(harness, "pushButton_StopRecording")->isEnabled());
    if (ending == QLatin1String("Stop")) {
        // The monitor goes on; the file does not.
        const int atStop = harness.commands().size();
        QTRY_VERIFY_WITH_TIMEOUT(polls(harness, atStop) >= 2, WindowHarness::waitMs);
        QTRY_VERIFY(harness.onPage<QLabel>(page, QStringLiteral("label_Measure_1"))->text().size() > 0);
        QVERIFY(pageButton(harness, "pushButton_Record")->isEnabled());
    }
    harness.deleteWindow();
    const CsvFile csv(path);
    QVERIFY(csv.complete);
    QCOMPARE(csv.rows().size(), rows);
    for (const QStringList &line : csv.lines)
        QCOMPARE(line.size(), 8);
}

void tst_Recording::unwritableFileStopsTheRecordingNotTheMonitor_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("folder that does not exist") << QStringLiteral("missing/readings.csv");
    QTest::newRow("full disk") << QStringLiteral("full.csv"); // linked to /dev/full
}

void tst_Recording::unwritableFileStopsTheRecordingNotTheMonitor()
{
    QFETCH(QString, path);
    path = work->filePath(path);
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), work->filePath(QStringLiteral("full.csv"))));
    WindowHarness harness;
    SimulatorOptions options;
    options.axisCount = 1;
    QVERIFY(connectAndMonitor(harness, options));
    QVERIFY(record(harness, path));

    QMessageBox *box = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((box = harness.window()->findChild<QMessageBox *>()) && box->isVisible(),
                             WindowHarness::waitMs);
    QVERIFY2(box->text().contains(QLatin1Char('"') + path + QLatin1Char('"')), qPrintable(box->text()));
    QCOMPARE(recordingState(harness), box->text());
    QVERIFY(pageButton(harness, "pushButton_Record")->isEnabled());
    QVERIFY(!pageButton(harness, "pushButton_StopRecording")->isEnabled());
    const int atMessage = harness.commands().size();
    QTRY_VERIFY_WITH_TIMEOUT(polls(harness, atMessage) >= 2, WindowHarness::waitMs);
}

void tst_Recording::spreadMatchesTwoPassComputation_data()
{
    QTest::addColumn<QVector<double>>("series");
    QTest::newRow("small series") << QVector<double>{1.0, 2.0, 4.0, -3.5};
    // A sum of squares would lose these differences in the offset.
    QTest::newRow("small spread on a large value") << QVector<double>{100000.0001, 100000.0003, 100000.0002, 99999.9998};
    QTest::newRow("errors not counted") << QVector<double>{NAN, 0.5, NAN, -0.5};
    QTest::newRow("one reading") << QVector<double>{3.25};
}

void tst_Recording::spreadMatchesTwoPassComputation()
{
    QFETCH(QVector<double>, series);
    ReadingHistory history;
    history.startRecording(0.0);
    QVector<double> numbers;
    for (int i = 0; i < series.size(); ++i) {
        ReadingHistory::Values values;
        values.fill(NAN);
        values[5] = series.at(i);
        history.add(0.2 * i, values);
        if (!std::isnan(series.at(i)))
            numbers << series.at(i);
    }
    for (const ReadingSpread &spread : {history.recordingSpread(5), history.recentSpread(5, series.size())}) {
        QCOMPARE(spread.count(), numbers.size());
        QCOMPARE(spread.minimum(), *std::min_element(numbers.begin(), numbers.end()));
        QCOMPARE(spread.maximum(), *std::max_element(numbers.begin(), numbers.end()));
        QCOMPARE(spread.range(), spread.maximum() - spread.minimum());
        QVERIFY(std::abs(spread.mean() - twoPassMean(numbers)) < 1e-9);
        QVERIFY2(std::abs(spread.standardDeviation() - twoPassDeviation(numbers)) < 1e-9 * (1 + twoPassDeviation(numbers)),
                 qPrintable(QString::number(spread.standardDeviation(), 'g', 17)));
    }
    // The last N readings: here the last two.
    const QVector<double> lastTwo = series.mid(series.size() - 2);
    QCOMPARE(history.recentSpread(5, 2).count(), int(std::count_if(lastTwo.begin(), lastTwo.end(), [](double v) {
                                                    return !std::isnan(v);
                                                })));
    QCOMPARE(history.recordingSpread(4).count(), 0);
}

void tst_Recording::trendKeepsToItsPointsAndKeepsTheExtremes()
{
    // Nine hours at five readings a second, with a spike in the middle and one in the last minute.
    ReadingHistory history;
    history.startRecording(100.0);
    ReadingHistory::Values values;
    values.fill(NAN);
    const int readings = 9 * 3600 * 5;
    for (int i = 0; i < readings; ++i) {
        values[0] = std::sin(i * 0.001) + (i == 77777 ? 5.0 : i == readings - 100 ? 3.0 : 0.0);
        history.add(100.0 + 0.2 * i, values);
    }
    const auto highest = [](const QVector<QPointF> &points) {
        double y = -INFINITY;
        for (const QPointF &point : points)
            y = std::max(y, point.y());
        return y;
    };
    const QVector<QPointF> recording = history.recordingTrend(0, 100);
    QVERIFY2(recording.size() <= 100, qPrintable(QString::number(recording.size())));
    QCOMPARE(highest(recording), history.recordingSpread(0).maximum());
    QVERIFY(highest(recording) > 4.0);
    // From the first group of readings to the last, of some fifty.
    QVERIFY(recording.first().x() < history.recordingSeconds() / 40);
    QVERIFY(recording.last().x() > history.recordingSeconds() * 39 / 40);
    const QVector<QPointF> recent = history.recentTrend(0, 60.0, 100);
    QVERIFY2(recent.size() <= 100, qPrintable(QString::number(recent.size())));
    QCOMPARE(highest(recent), history.recentSpread(0, 300).maximum());
    QVERIFY(recent.first().x() >= -60.0 && recent.last().x() == 0.0);
    QCOMPARE(history.recentTrend(0, 60.0, 600).size(), 301); // every reading when they fit
    QVERIFY(history.recordingTrend(1, 100).isEmpty());
}

void tst_Recording::readingsKeepTheDecimalsOfTheirResolution()
{
    // 123.4567 read by an axis of 0.1 um and by one of 1 um.
    WindowHarness harness;
    SimulatorOptions options;
    options.axisCount = 2;
    options.garblePatterns << SimulatorOptions::wholeCommand(QStringLiteral("R"));
    options.garbageValue = QStringLiteral("0 N G123.4567 1 N G123.4567");
    ModuleModel model;
    model.axisCount = 2;
    model.resolution = {1, 3};
    QVERIFY(connectAndMonitor(harness, options, &model));
    const QString path = work->filePath(QStringLiteral("readings.csv"));
    QVERIFY(record(harness, path));
    QTRY_VERIFY_WITH_TIMEOUT(!CsvFile(path).rows().isEmpty(), WindowHarness::waitMs);
    WindowHarness::click(pageButton(harness, "pushButton_StopRecording"));
    QCOMPARE(CsvFile(path).rows().first().mid(2, 4), QStringList({"123.4567", "REAL", "OK", "123.457"}));
}

QTEST_MAIN(tst_Recording)
#include "tst_recording.moc"
