// SPDX-License-Identifier: GPL-3.0-or-later
// Recording the monitor's readings to a file, and their spread, against the module
// simulator: one row per poll with the module's values, modes and results, read with
// the settings the module holds; gap rows where it did not answer; the file complete
// however the recording ends, with its settings snapshot beside it; a file that
// cannot be written stops the recording, not the monitor; the spread as an
// independent computation gives it.

#include "communicationlogentry.h"
#include "chartclasses.h"
#include "commandinterface.h"
#include "configurationfile.h"
#include "readinghistory.h"
#include "recordingfile.h"
#include "windowharness.h"

#include <QCheckBox>
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
    explicit CsvFile(const QString &path, QChar separator = QLatin1Char(','))
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return;
        const QString text = QString::fromUtf8(file.readAll());
        complete = text.endsWith(QLatin1String("\r\n"));
        for (const QString &line : text.split(QLatin1String("\r\n"), Qt::SkipEmptyParts))
            lines << line.split(separator);
    }
    // The readings after the eight header lines and the column names.
    QVector<QStringList> rows() const { return lines.mid(9); }

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
    void unappliedEditsReachNeitherFileNorSpread();
    void silentOrGarbledModuleGivesGapRows_data();
    void silentOrGarbledModuleGivesGapRows();
    void separatorChoiceIsWrittenAndRemembered();
    void recordingEndsWithTheFileComplete_data();
    void recordingEndsWithTheFileComplete();
    void pollAnsweredBeforeTheStartIsLeftOut();
    void unwritableFileStopsTheRecordingNotTheMonitor_data();
    void unwritableFileStopsTheRecordingNotTheMonitor();
    void spreadMatchesTwoPassComputation_data();
    void spreadMatchesTwoPassComputation();
    void trendKeepsToItsPointsKeepsTheExtremesAndBreaksAtGaps();
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
    // The first poll, answered or not.
    return QTest::qWaitFor([&harness] { return harness.commands().contains(QStringLiteral("R")); },
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
    QTRY_VERIFY_WITH_TIMEOUT(recordingState(harness).startsWith(QLatin1String("Recorded")), WindowHarness::waitMs);

    const CsvFile csv(path);
    QVERIFY(csv.complete);
    // Every line has the 2 + 3 x 4 fields of a row.
    const QStringList header[] = {{"Module address", harness.moduleAddress()}, {"Unit number", "0"}, {"Axis count", "4"},
                                  {"Data format", "Mode 3"}, {"Unit", "mm"}, {"Tool version", "1.0.0"}};
    for (int line = 0; line < 6; ++line) {
        QCOMPARE(csv.lines.at(line).mid(0, 2), header[line]);
        QCOMPARE(csv.lines.at(line).mid(2).join(QString()), QString());
        QCOMPARE(csv.lines.at(line).size(), 14);
    }
    QCOMPARE(csv.lines.at(6).at(0), QStringLiteral("Start time"));
    QVERIFY(QDateTime::fromString(csv.lines.at(6).at(1), Qt::ISODateWithMs).isValid());
    QCOMPARE(csv.lines.at(7).mid(0, 2), (QStringList{"Settings file", "readings.settings.json"}));
    QCOMPARE(csv.lines.at(8).mid(0, 5), (QStringList{"Time", "Seconds", "Axis 0 value", "Axis 0 mode", "Axis 0 result"}));
    QCOMPARE(csv.lines.at(8).last(), QStringLiteral("Axis 3 result"));

    // The snapshot loads back whole, as the module holds its settings.
    QStringList faults;
    const std::optional<ConfigurationFile> snapshot =
            ConfigurationFile::read(work->filePath(QStringLiteral("readings.settings.json")), &faults);
    QVERIFY2(snapshot, qPrintable(faults.join(QLatin1Char('\n'))));
    QCOMPARE(snapshot->axisCount(), 4);
    QCOMPARE(snapshot->value({&SettingCatalogue::named(QStringLiteral("resolution")), 2}).toInt(), 5);
    QCOMPARE(snapshot->value({&SettingCatalogue::named(QStringLiteral("compHigh1")), 0}).toDouble(), -10.0);

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
        // Two decimals more than the readings; the file holds rounded values.
        const double unit = std::pow(10.0, -decimals[axis]);
        for (const int column : {2, 6}) {
            QCOMPARE(cell(column).size() - cell(column).indexOf(QLatin1Char('.')) - 1, decimals[axis] + 2);
        }
        QVERIFY2(std::abs(cell(2).toDouble() - twoPassMean(values)) <= unit, qPrintable(cell(2)));
        QVERIFY2(std::abs(cell(6).toDouble() - twoPassDeviation(values)) <= unit, qPrintable(cell(6)));
        // Within, above, below, errors, gaps: the module's judgement of every row.
        const QStringList counts{cell(7), cell(8), cell(9), cell(10), cell(11)};
        const QString all = QString::number(rows.size());
        QCOMPARE(counts, axis == 0   ? (QStringList{"0", all, "0", "0", "0"})
                         : axis == 2 ? (QStringList{"0", "0", all, "0", "0"})
                                     : (QStringList{all, "0", "0", "0", "0"}));
    }
    QCOMPARE(table->item(1, 1)->text(), QStringLiteral("0"));
    QCOMPARE(table->item(1, 2)->text(), QString());
    QCOMPARE(table->item(1, 10)->text(), QString::number(rows.size()));
}

// Edits left on the Measure Setting page without "Apply Setting" reach the link's
// store, but not the recording: the module still measures to 0.1 µm and judges
// against its own limit.
void tst_Recording::unappliedEditsReachNeitherFileNorSpread()
{
    WindowHarness harness;
    SimulatorOptions options;
    options.axisCount = 2;
    QVERIFY(harness.startSimulator(options));
    ModuleModel model = harness.simulator().model();
    model.resolution[0] = 1; // 0.1 µm: 4 decimals in mm
    model.compSet[0] = 1;
    model.compHigh[0][0] = 1.0;
    model.compLow[0][0] = -1.0;
    harness.simulator().setModel(model);
    harness.openWindow();
    QVERIFY(harness.connectModule());

    const char *const settingPage = "page_MeasureSetting";
    harness.openPage("pushButton_MeasureSetting");
    WindowHarness::choose(harness.onPage<QComboBox>(settingPage, QStringLiteral("comboBox_Resolution1")), 4); // 10 µm
    WindowHarness::type(harness.onPage<QLineEdit>(settingPage, QStringLiteral("lineEdit_CompHigh1_1")),
                        QStringLiteral("-0.5"));
    harness.openPage("pushButton_MeasureMonitor");

    const QString path = work->filePath(QStringLiteral("held.csv"));
    QVERIFY(record(harness, path));
    QTRY_VERIFY_WITH_TIMEOUT(CsvFile(path).rows().size() >= 3, WindowHarness::waitMs);
    WindowHarness::click(pageButton(harness, "pushButton_Trend"));
    auto *table = harness.window()->findChild<QTableWidget *>(QStringLiteral("tableWidget_Spread"));
    QVERIFY(table && QTest::qWaitForWindowExposed(table->window()));
    WindowHarness::click(pageButton(harness, "pushButton_StopRecording"));
    QTRY_VERIFY_WITH_TIMEOUT(recordingState(harness).startsWith(QLatin1String("Recorded")), WindowHarness::waitMs);

    for (const QStringList &row : CsvFile(path).rows()) {
        QVERIFY2(QRegularExpression(QStringLiteral("^-?\\d+\\.\\d{4}$")).match(row.at(2)).hasMatch(), qPrintable(row.at(2)));
        QCOMPARE(row.at(4), QStringLiteral("OK"));
    }
    QStringList faults;
    const std::optional<ConfigurationFile> snapshot =
            ConfigurationFile::read(work->filePath(QStringLiteral("held.settings.json")), &faults);
    QVERIFY2(snapshot, qPrintable(faults.join(QLatin1Char('\n'))));
    QCOMPARE(snapshot->value({&SettingCatalogue::named(QStringLiteral("resolution")), 0}).toInt(), 1);
    QCOMPARE(snapshot->value({&SettingCatalogue::named(QStringLiteral("compHigh1")), 0}).toDouble(), 1.0);
    // The mean to 4 + 2 decimals, not to the 2 + 2 of the unapplied 10 µm.
    const QString mean = table->item(0, 2)->text();
    QCOMPARE(mean.size() - mean.indexOf(QLatin1Char('.')) - 1, 6);

    // "Show limits" takes in the module's limits of +-1, not the unapplied -0.5,
    // and the picture of it is a PNG.
    QWidget *trend = table->window();
    auto *chart = trend->findChild<QChartView *>()->chart();
    auto *valueAxis = qobject_cast<QValueAxis *>(chart->axes(Qt::Vertical).constFirst());
    QVERIFY(valueAxis->max() < 1.0);
    WindowHarness::toggle(trend->findChild<QCheckBox *>(QStringLiteral("checkBox_ShowLimits")));
    QTRY_VERIFY(valueAxis->min() <= -1.0 && valueAxis->max() >= 1.0 && valueAxis->max() < 2.0);
    WindowHarness::click(trend->findChild<QPushButton *>(QStringLiteral("pushButton_SavePicture")));
    auto *dialog = trend->findChild<QFileDialog *>();
    QVERIFY(dialog && QTest::qWaitForWindowExposed(dialog));
    const QString picture = work->filePath(QStringLiteral("trend.png"));
    dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(picture);
    QTest::keyClick(dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")), Qt::Key_Return);
    QTRY_VERIFY(QFile::exists(picture));
    QCOMPARE(QImage(picture).size(), trend->findChild<QChartView *>()->size());
}

void tst_Recording::silentOrGarbledModuleGivesGapRows_data()
{
    QTest::addColumn<bool>("silent");
    QTest::newRow("no answer") << true;
    QTest::newRow("answer that does not decode") << false;
}

void tst_Recording::silentOrGarbledModuleGivesGapRows()
{
    QFETCH(bool, silent);
    WindowHarness harness;
    SimulatorOptions options;
    options.axisCount = 3;
    (silent ? options.silentPatterns : options.garblePatterns) << SimulatorOptions::wholeCommand(QStringLiteral("R"));
    QVERIFY(connectAndMonitor(harness, options));
    const QString path = work->filePath(QStringLiteral("gaps.csv"));
    QVERIFY(record(harness, path));
    QTRY_VERIFY_WITH_TIMEOUT(CsvFile(path).rows().size() >= 2, WindowHarness::waitMs);
    WindowHarness::click(pageButton(harness, "pushButton_Trend"));
    auto *table = harness.window()->findChild<QTableWidget *>(QStringLiteral("tableWidget_Spread"));
    QVERIFY(table && QTest::qWaitForWindowExposed(table->window()));
    WindowHarness::click(pageButton(harness, "pushButton_StopRecording"));
    QTRY_VERIFY_WITH_TIMEOUT(recordingState(harness).startsWith(QLatin1String("Recorded")), WindowHarness::waitMs);

    const QVector<QStringList> rows = CsvFile(path).rows();
    for (const QStringList &row : rows) {
        QCOMPARE(row.size(), 11);
        QCOMPARE(row.mid(2), (QStringList{"", "", "GAP", "", "", "GAP", "", "", "GAP"}));
    }
    QTRY_COMPARE_WITH_TIMEOUT(table->item(2, 11)->text(), QString::number(rows.size()), WindowHarness::waitMs);
    QCOMPARE(table->item(2, 1)->text(), QStringLiteral("0"));
}

void tst_Recording::separatorChoiceIsWrittenAndRemembered()
{
    ModuleModel model;
    model.axisCount = 1;
    model.dataFormat = 1; // "Mode 2": no comparator letter, nothing judged
    SimulatorOptions options;
    options.axisCount = 1;
    const QString path = work->filePath(QStringLiteral("comma.csv"));
    {
        WindowHarness harness;
        QVERIFY(connectAndMonitor(harness, options, &model));
        auto *box = harness.onPage<QComboBox>(page, QStringLiteral("comboBox_RecordingSeparator"));
        QCOMPARE(box->currentIndex(), 0);
        box->setCurrentIndex(1);
        emit box->activated(1);
        QVERIFY(record(harness, path));
        QTRY_VERIFY_WITH_TIMEOUT(CsvFile(path, QLatin1Char(';')).rows().size() >= 2, WindowHarness::waitMs);
        WindowHarness::click(pageButton(harness, "pushButton_StopRecording"));
        QTRY_VERIFY_WITH_TIMEOUT(recordingState(harness).startsWith(QLatin1String("Recorded")), WindowHarness::waitMs);
        // The harness's working folder holds the tool's "setting.ini".
        QCOMPARE(QSettings(QStringLiteral("setting.ini"), QSettings::IniFormat).value(QStringLiteral("Recording/separator")),
                 QVariant(QStringLiteral("semicolon")));
        harness.deleteWindow();
        harness.openWindow();
        QCOMPARE(harness.onPage<QComboBox>(page, QStringLiteral("comboBox_RecordingSeparator"))->currentIndex(), 1);
    }
    const CsvFile csv(path, QLatin1Char(';'));
    QCOMPARE(csv.lines.first().mid(0, 2), (QStringList{"Module address", csv.lines.first().at(1)}));
    QCOMPARE(csv.lines.first().size(), 5);
    for (const QStringList &row : csv.rows()) {
        QCOMPARE(row.size(), 5);
        QVERIFY2(QRegularExpression(QStringLiteral("^-?\\d+,\\d{3}$")).match(row.at(1)).hasMatch(), qPrintable(row.at(1)));
        QVERIFY2(QRegularExpression(QStringLiteral("^-?\\d+,\\d{4}$")).match(row.at(2)).hasMatch(), qPrintable(row.at(2)));
        QCOMPARE(row.at(4), QString()); // nothing judged
    }
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
    QTRY_VERIFY_WITH_TIMEOUT(recordingState(harness).startsWith(QLatin1String("Recorded")), WindowHarness::waitMs);
    const int rows = CsvFile(path).rows().size();
    QCOMPARE(recordingState(harness), QStringLiteral("Recorded %1 rows to readings.csv").arg(rows));
    QVERIFY(!pageButton(harness, "pushButton_StopRecording")->isEnabled());
    if (ending == QLatin1String("Stop")) {
        // The monitor goes on; the file does not.
        const int atStop = harness.commands().size();
        QTRY_VERIFY_WITH_TIMEOUT(polls(harness, atStop) >= 2, WindowHarness::waitMs);
        QVERIFY(pageButton(harness, "pushButton_Record")->isEnabled());
    }
    harness.deleteWindow();
    const CsvFile csv(path);
    QVERIFY(csv.complete);
    QCOMPARE(csv.rows().size(), rows);
    for (const QStringList &line : csv.lines)
        QCOMPARE(line.size(), 8);
}

// The link hands its log over in its pauses, so a poll answered just before
// "Record..." can reach the file after its start: it is no reading of the recording.
void tst_Recording::pollAnsweredBeforeTheStartIsLeftOut()
{
    RecordingFile file;
    const QString path = work->filePath(QStringLiteral("start.csv"));
    const qint64 startMs = QDateTime::currentMSecsSinceEpoch();
    QVERIFY(file.start(path, QStringLiteral("127.0.0.1"), ConfigurationFile::fromStore(CommandInterface()),
                       RecordingFile::Separator::Comma, startMs));
    for (const qint64 timeMs : {startMs - 1, startMs})
        file.append(PollReading::gapAt(timeMs, 1));
    file.stop();
    file.waitUntilClosed();
    const QVector<QStringList> rows = CsvFile(path).rows();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.at(0).at(1), QStringLiteral("0.000"));
}

void tst_Recording::unwritableFileStopsTheRecordingNotTheMonitor_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QTest::newRow("folder that does not exist") << QStringLiteral("missing/readings.csv") << QString();
    // Linked to /dev/full: the system's own words.
    QTest::newRow("full disk") << QStringLiteral("full.csv") << QStringLiteral("No space left on device");
}

void tst_Recording::unwritableFileStopsTheRecordingNotTheMonitor()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);
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
    QVERIFY2(box->text().contains(QLatin1Char('"') + QDir::toNativeSeparators(path) + QLatin1Char('"')),
             qPrintable(box->text()));
    QVERIFY2(box->text().contains(reason), qPrintable(box->text()));
    QCOMPARE(recordingState(harness), box->text());
    QVERIFY(pageButton(harness, "pushButton_Record")->isEnabled());
    QVERIFY(!pageButton(harness, "pushButton_StopRecording")->isEnabled());
    const int atMessage = harness.commands().size();
    QTRY_VERIFY_WITH_TIMEOUT(polls(harness, atMessage) >= 2, WindowHarness::waitMs);
}

void tst_Recording::spreadMatchesTwoPassComputation_data()
{
    QTest::addColumn<QVector<double>>("series");
    QTest::addColumn<double>("published"); // the standard deviation a worked example gives, or NaN
    QTest::newRow("small series") << QVector<double>{1.0, 2.0, 4.0, -3.5} << double(NAN);
    // The sample standard deviation of 2, 4, 4, 4, 5, 5, 7, 9 is sqrt(32 / 7):
    // the worked example of the article "Standard deviation" (Wikipedia, "Basic examples").
    QTest::newRow("worked example") << QVector<double>{2, 4, 4, 4, 5, 5, 7, 9} << std::sqrt(32.0 / 7.0);
    // A sum of squares would lose these differences in the offset.
    QTest::newRow("small spread on a large value")
            << QVector<double>{100000.0001, 100000.0003, 100000.0002, 99999.9998} << double(NAN);
    QTest::newRow("errors and gaps not counted") << QVector<double>{NAN, 0.5, INFINITY, -0.5} << double(NAN);
    QTest::newRow("one reading") << QVector<double>{3.25} << 0.0;
}

// NaN stands for an error reading, infinity for a gap.
void tst_Recording::spreadMatchesTwoPassComputation()
{
    QFETCH(QVector<double>, series);
    QFETCH(double, published);
    ReadingHistory history;
    history.startRecording(0.0);
    QVector<double> numbers;
    for (int i = 0; i < series.size(); ++i) {
        PollReading reading = PollReading::gapAt(200 * i, 6);
        if (!std::isinf(series.at(i))) {
            reading.gap = false;
            reading.results.fill(PollReading::Result::Ok);
            reading.results[5] = std::isnan(series.at(i)) ? PollReading::Result::Error : PollReading::Result::High;
            reading.values[5] = series.at(i);
        }
        history.add(0.2 * i, reading);
        if (std::isfinite(series.at(i)))
            numbers << series.at(i);
    }
    for (const ReadingSpread &spread : {history.recordingSpread(5), history.recentSpread(5, series.size())}) {
        QCOMPARE(spread.count(), numbers.size());
        QCOMPARE(spread.aboveLimit(), numbers.size());
        QCOMPARE(spread.errorCount(), int(std::count_if(series.begin(), series.end(), [](double v) { return std::isnan(v); })));
        QCOMPARE(spread.gapCount(), int(std::count_if(series.begin(), series.end(), [](double v) { return std::isinf(v); })));
        QCOMPARE(spread.minimum(), *std::min_element(numbers.begin(), numbers.end()));
        QCOMPARE(spread.maximum(), *std::max_element(numbers.begin(), numbers.end()));
        QCOMPARE(spread.range(), spread.maximum() - spread.minimum());
        QVERIFY(std::abs(spread.mean() - twoPassMean(numbers)) < 1e-9);
        QVERIFY2(std::abs(spread.standardDeviation() - twoPassDeviation(numbers)) < 1e-9 * (1 + twoPassDeviation(numbers)),
                 qPrintable(QString::number(spread.standardDeviation(), 'g', 17)));
        if (!std::isnan(published))
            QVERIFY(std::abs(spread.standardDeviation() - published) < 1e-12);
    }
    // A change of unit or resolution starts the spread again.
    history.restartSpreads();
    QCOMPARE(history.recordingSpread(5).count(), 0);
    QCOMPARE(history.recentSpread(5, series.size()).count(), 0);
}

void tst_Recording::trendKeepsToItsPointsKeepsTheExtremesAndBreaksAtGaps()
{
    // Nine hours at five readings a second, with a spike in the middle and one in
    // the last minute, and a gap of three polls 30 s before the end.
    ReadingHistory history;
    history.startRecording(100.0);
    PollReading reading = PollReading::gapAt(0, 1);
    reading.results.fill(PollReading::Result::NotJudged);
    const int readings = 9 * 3600 * 5;
    for (int i = 0; i < readings; ++i) {
        reading.gap = i >= readings - 150 && i < readings - 147;
        reading.values[0] = reading.gap ? NAN : std::sin(i * 0.001) + (i == 77777 ? 5.0 : i == readings - 100 ? 3.0 : 0.0);
        reading.results[0] = reading.gap ? PollReading::Result::Gap : PollReading::Result::NotJudged;
        history.add(100.0 + 0.2 * i, reading);
    }
    const auto highest = [](const QVector<QPointF> &points) {
        double y = -INFINITY;
        for (const QPointF &point : points)
            y = std::isnan(point.y()) ? y : std::max(y, point.y());
        return y;
    };
    const auto breaks = [](const QVector<QPointF> &points) {
        return std::count_if(points.begin(), points.end(), [](const QPointF &p) { return std::isnan(p.y()); });
    };
    const QVector<QPointF> recording = history.recordingTrend(0, 1000);
    QVERIFY2(recording.size() <= 1001 && recording.size() >= 500, qPrintable(QString::number(recording.size())));
    QCOMPARE(float(highest(recording)), float(history.recordingSpread(0).maximum()));
    QVERIFY(highest(recording) > 4.0);
    QCOMPARE(breaks(recording), 1);
    QCOMPARE(history.recordingSpread(0).gapCount(), 3);
    // From the first group of readings to the last.
    QVERIFY(recording.first().x() < history.recordingSeconds() / 400);
    QVERIFY(recording.last().x() > history.recordingSeconds() * 399 / 400);
    const QVector<QPointF> recent = history.recentTrend(0, 60.0, 100);
    QVERIFY2(recent.size() <= 101, qPrintable(QString::number(recent.size())));
    QCOMPARE(highest(recent), history.recentSpread(0, 300).maximum());
    QVERIFY(recent.first().x() >= -60.0 && recent.last().x() == 0.0);
    // Every reading when they fit, the gap's three polls as one break.
    const QVector<QPointF> every = history.recentTrend(0, 60.0, 600);
    QCOMPARE(every.size(), 301 - 3 + 1);
    QCOMPARE(breaks(every), 1);
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
