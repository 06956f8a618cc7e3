// SPDX-License-Identifier: GPL-3.0-or-later
// The capability figures in the window against the module simulator: the window's
// figures of a recording are those qr36tn-config analyse gives for its file, the
// report is one A4 page of PDF with those figures on it, and the Type-1 study takes
// each reading from a poll of its own and saves what it computed.

#include "capability.h"
#include "capabilitywindow.h"
#include "gaugestudydialog.h"
#include "readingformat.h"
#include "readingstatistics.h"
#include "windowharness.h"

#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>

#include <cmath>

namespace {

const char monitorPage[] = "page_MeasureMonitor";
// Readings in mm/25.4 at the finest resolution have the simulator's five decimals,
// so the file holds the very readings the window took.
constexpr int decimals = 5;
constexpr double lowLimit = -0.05;
constexpr double highLimit = 0.05;

// Types `path` into the file dialog `owner` opened, as an operator would.
bool chooseFile(const QWidget *owner, const QString &path)
{
    auto *dialog = owner->findChild<QFileDialog *>();
    auto *name = dialog ? dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")) : nullptr;
    if (!name || !QTest::qWaitForWindowExposed(dialog))
        return false;
    name->setText(path);
    QTest::keyClick(name, Qt::Key_Return);
    return dialog->isHidden();
}

// The text a PDF's pages draw: each glyph code mapped back through its font's
// ToUnicode table. Streams are zlib-compressed or plain.
QString pdfText(const QByteArray &pdf, int *pages)
{
    // Whole: QString::fromLatin1(QByteArray) would end at the first zero byte.
    const auto latin1 = [](const QByteArray &bytes) { return QString::fromLatin1(bytes.constData(), bytes.size()); };
    const auto object = [&pdf](int number) {
        const int start = pdf.indexOf("\n" + QByteArray::number(number) + " 0 obj");
        return start < 0 ? QByteArray() : pdf.mid(start, pdf.indexOf("endobj", start) - start);
    };
    const auto stream = [](const QByteArray &item) {
        const int start = item.indexOf("stream\n") + 7;
        const QByteArray data = item.mid(start, item.lastIndexOf("endstream") - start);
        if (!item.contains("/FlateDecode"))
            return data;
        // qUncompress takes the length first; a larger one is found as it goes.
        return qUncompress(QByteArray::fromHex("00100000") + data);
    };
    const auto codes = [](const QString &hex) { return hex.toUInt(nullptr, 16); };
    QHash<QString, QHash<uint, QString>> fonts; // resource name, code, text
    QString text;
    *pages = 0;
    const QRegularExpression pageObject(QStringLiteral("(\\d+) 0 obj\\s*<<\\s*/Type /Page\\b"));
    for (auto page = pageObject.globalMatch(latin1(pdf)); page.hasNext();) {
        ++*pages;
        const QString pageText = latin1(object(page.next().captured(1).toInt()));
        const int contents = QRegularExpression(QStringLiteral("/Contents (\\d+)")).match(pageText).captured(1).toInt();
        const QString resources = latin1(
                object(QRegularExpression(QStringLiteral("/Resources (\\d+)")).match(pageText).captured(1).toInt()));
        for (auto font = QRegularExpression(QStringLiteral("/(F\\d+) (\\d+) 0 R")).globalMatch(resources);
             font.hasNext();) {
            const auto match = font.next();
            const QString fontObject = latin1(object(match.captured(2).toInt()));
            const int map
                    = QRegularExpression(QStringLiteral("/ToUnicode (\\d+)")).match(fontObject).captured(1).toInt();
            const QString cmap = latin1(stream(object(map)));
            QHash<uint, QString> &table = fonts[match.captured(1)];
            const QRegularExpression range(QStringLiteral("<(\\w+)> <(\\w+)> (?:\\[([^\\]]*)\\]|<(\\w+)>)"));
            for (auto entry = range.globalMatch(cmap); entry.hasNext();) {
                const auto m = entry.next();
                const QStringList listed
                        = m.captured(3).remove(QLatin1Char('<')).split(QLatin1Char('>'), Qt::SkipEmptyParts);
                for (uint code = codes(m.captured(1)); code <= codes(m.captured(2)); ++code) {
                    const uint offset = code - codes(m.captured(1));
                    const uint unicode = listed.isEmpty() ? codes(m.captured(4)) + offset
                                                          : codes(listed.value(int(offset)).trimmed());
                    table[code] = QChar(unicode == '\t' ? ' ' : unicode);
                }
            }
        }
        QString font;
        const QString content = latin1(stream(object(contents)));
        const QRegularExpression run(QStringLiteral("/(F\\d+) [\\d.]+ Tf|<([0-9A-Fa-f]+)> Tj"));
        for (auto token = run.globalMatch(content); token.hasNext();) {
            const auto m = token.next();
            if (!m.captured(1).isEmpty()) {
                font = m.captured(1);
                continue;
            }
            for (int i = 0; i + 4 <= m.captured(2).size(); i += 4)
                text += fonts[font].value(codes(m.captured(2).mid(i, 4)));
        }
    }
    return text;
}

} // namespace

class tst_CapabilityWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void windowShowsTheFiguresAnalyseGivesForTheRecording();
    void reportIsOneA4PageWithTheFigures();
    void gaugeStudyTakesEachReadingFromAPollOfItsOwn();

private:
    QString cell(int row) const { return window->findChild<QTableWidget *>()->item(row, 0)->text(); }

    std::unique_ptr<WindowHarness> harness;
    QTemporaryDir folder;
    QString recording;
    CapabilityWindow *window = nullptr;
};

void tst_CapabilityWindow::initTestCase()
{
    harness = std::make_unique<WindowHarness>(true);
    SimulatorOptions options;
    options.axisCount = 2;
    QVERIFY(harness->startSimulator(options));
    ModuleModel model;
    model.axisCount = 2;
    model.unit = 1;
    model.compLow[0][0] = lowLimit;
    model.compHigh[0][0] = highLimit;
    harness->simulator().setModel(model);
    harness->openWindow();
    QVERIFY(harness->connectModule());
    harness->openPage("pushButton_MeasureMonitor");

    recording = folder.filePath(QStringLiteral("line.csv"));
    WindowHarness::click(harness->onPage<QPushButton>(monitorPage, QStringLiteral("pushButton_Record")));
    QVERIFY(chooseFile(harness->window(), recording));
    const int atStart = harness->commands().size();
    QTRY_VERIFY_WITH_TIMEOUT(harness->commands().mid(atStart).count(QStringLiteral("R")) >= 30, WindowHarness::waitMs);
    WindowHarness::click(harness->onPage<QPushButton>(monitorPage, QStringLiteral("pushButton_StopRecording")));

    WindowHarness::click(harness->onPage<QPushButton>(monitorPage, QStringLiteral("pushButton_Trend")));
    QWidget *trend = harness->window()->findChild<QTableWidget *>(QStringLiteral("tableWidget_Spread"))->window();
    QVERIFY(QTest::qWaitForWindowExposed(trend));
    WindowHarness::click(trend->findChild<QPushButton *>(QStringLiteral("pushButton_Capability")));
    window = trend->findChild<CapabilityWindow *>();
    QVERIFY(window && QTest::qWaitForWindowExposed(window));
}

void tst_CapabilityWindow::cleanupTestCase()
{
    harness.reset();
}

void tst_CapabilityWindow::windowShowsTheFiguresAnalyseGivesForTheRecording()
{
    QProcess analyse;
    analyse.start(QStringLiteral(CONFIG_PROGRAM),
                  {QStringLiteral("analyse"), recording, QStringLiteral("--axis"), QStringLiteral("0"),
                   QStringLiteral("--lsl"), QString::number(lowLimit), QStringLiteral("--usl"),
                   QString::number(highLimit), QStringLiteral("--json")});
    QVERIFY(analyse.waitForFinished(60000));
    QVERIFY2(analyse.exitCode() == 0, analyse.readAllStandardError().constData());
    const QJsonObject file = QJsonDocument::fromJson(analyse.readAllStandardOutput()).array().at(0).toObject();
    QVERIFY(file.value(QLatin1String("count")).toInt() >= 25);
    const auto number = [&file](const char *key, int places) {
        return ReadingFormat::value(file.value(QLatin1String(key)).toDouble(), places);
    };
    const auto index = [&file](const char *key) {
        return Capability::text({file.value(QLatin1String(key)).toDouble(), QString()});
    };
    const QStringList fromFile{QString::number(file.value(QLatin1String("count")).toInt()),
                               number("mean", decimals + 1),
                               number("stdDev", decimals + 2),
                               number("minimum", decimals),
                               number("maximum", decimals),
                               number("movingRangeMean", decimals + 2),
                               number("sigmaWithin", decimals + 2),
                               number("lsl", decimals),
                               number("usl", decimals),
                               index("cp"),
                               index("cpk"),
                               index("pp"),
                               index("ppk")};
    QStringList shown;
    for (int row = 0; row < fromFile.size(); ++row)
        shown << cell(row);
    QCOMPARE(shown, fromFile);
    // And beside the spread of the whole recording.
    auto *spread = window->parentWidget()->findChild<QTableWidget *>(QStringLiteral("tableWidget_Spread"));
    QTRY_COMPARE(spread->item(0, 1)->text(), fromFile.at(0));
    const int cpk = 13; // after the axis, the spread and the counts of judgements, errors and gaps
    QCOMPARE(spread->item(0, cpk)->text(), fromFile.at(10));
}

void tst_CapabilityWindow::reportIsOneA4PageWithTheFigures()
{
    WindowHarness::type(window->findChild<QLineEdit *>(QStringLiteral("lineEdit_Operator")),
                        QStringLiteral("Jane Roe"));
    WindowHarness::type(window->findChild<QLineEdit *>(QStringLiteral("lineEdit_Gauge")), QStringLiteral("Gauge 12"));
    const QString path = folder.filePath(QStringLiteral("report.pdf"));
    WindowHarness::click(window->findChild<QPushButton *>(QStringLiteral("pushButton_SaveReport")));
    QVERIFY(chooseFile(window, path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray pdf = file.readAll();
    QVERIFY(pdf.startsWith("%PDF-"));
    QVERIFY(pdf.contains("/MediaBox [0 0 595.000000 842.000000]"));
    int pages = 0;
    const QString text = pdfText(pdf, &pages);
    QCOMPARE(pages, 1);
    for (const QString &expected :
         {QStringLiteral("Capability of axis 0"), QStringLiteral("Operator: Jane Roe"),
          QStringLiteral("Gauge: Gauge 12"), QStringLiteral("Cpk") + cell(10), QStringLiteral("Mean") + cell(1),
          QStringLiteral("Moving range"), QStringLiteral("Histogram"), QStringLiteral("Individuals")})
        QVERIFY2(text.contains(expected), qPrintable(expected + QLatin1String(" not in: ") + text.left(600)));
}

void tst_CapabilityWindow::gaugeStudyTakesEachReadingFromAPollOfItsOwn()
{
    WindowHarness::click(window->findChild<QPushButton *>(QStringLiteral("pushButton_GaugeStudy")));
    auto *study = window->findChild<GaugeStudyDialog *>();
    QVERIFY(study && QTest::qWaitForWindowExposed(study));
    WindowHarness::type(study->findChild<QLineEdit *>(QStringLiteral("lineEdit_Master")), QStringLiteral("-0.01"));
    QCOMPARE(study->findChild<QLineEdit *>(QStringLiteral("lineEdit_Tolerance"))->text(), QStringLiteral("0.1"));
    auto *progress = study->findChild<QLabel *>(QStringLiteral("label_Progress"));
    WindowHarness::click(study->findChild<QPushButton *>(QStringLiteral("pushButton_Start")));
    auto *take = study->findChild<QPushButton *>(QStringLiteral("pushButton_Take"));
    for (int taken = 1; taken <= 25; ++taken) {
        const int polls = harness->commands().count(QStringLiteral("R"));
        QTRY_VERIFY_WITH_TIMEOUT(harness->commands().count(QStringLiteral("R")) > polls + 1, WindowHarness::waitMs);
        WindowHarness::click(take);
        QVERIFY2(progress->text().startsWith(QStringLiteral("%1 of 50").arg(taken)), qPrintable(progress->text()));
        if (taken == 24) {
            // With the monitor page left no poll comes: the reading on show is not taken twice.
            harness->openPage("pushButton_RefPointSetting");
            WindowHarness::click(take);
            QVERIFY2(progress->text().contains(QStringLiteral("No new reading")), qPrintable(progress->text()));
            harness->openPage("pushButton_MeasureMonitor");
        }
    }
    WindowHarness::click(study->findChild<QPushButton *>(QStringLiteral("pushButton_Stop")));
    const QString result = study->findChild<QLabel *>(QStringLiteral("label_Result"))->text();
    QVERIFY2(result.contains(QStringLiteral("Stopped after 25 of 50 readings")), qPrintable(result));

    const QString path = folder.filePath(QStringLiteral("study.csv"));
    WindowHarness::click(study->findChild<QPushButton *>(QStringLiteral("pushButton_SaveStudy")));
    QVERIFY(chooseFile(study, path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QMap<QString, QString> values;
    std::vector<double> readings;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QStringList fields = QString::fromUtf8(line).trimmed().split(QLatin1Char(','));
        if (fields.size() == 2 && fields.at(0).toInt() > 0)
            readings.push_back(fields.at(1).toDouble());
        else if (fields.size() == 2)
            values[fields.at(0)] = fields.at(1);
    }
    QCOMPARE(readings.size(), std::size_t(25));
    const Capability::GaugeStudy expected
            = Capability::gaugeStudy(ReadingStatistics::of(readings.data(), readings.size()), -0.01, 0.1);
    QCOMPARE(values.value(QStringLiteral("Cg")).toDouble(), expected.cg.value);
    QCOMPARE(values.value(QStringLiteral("Cgk")).toDouble(), expected.cgk.value);
    QCOMPARE(values.value(QStringLiteral("Result")), QStringLiteral("incomplete"));
    QVERIFY2(
            result.contains(
                    QStringLiteral("Cg %1, Cgk %2").arg(Capability::text(expected.cg), Capability::text(expected.cgk))),
            qPrintable(result));
}

QTEST_MAIN(tst_CapabilityWindow)
#include "tst_capabilitywindow.moc"
