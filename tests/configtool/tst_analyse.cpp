// SPDX-License-Identifier: GPL-3.0-or-later
// qr36tn-config analyse run as the operator runs it, on recordings written here:
// the limits from the settings snapshot beside the recording, the JSON's numbers
// those of the analysis library at full precision, an index that cannot be computed
// null with its reason, and every fault an exit 2 that names it.

#include "capability.h"
#include "commandinterface.h"
#include "configurationfile.h"
#include "readingstatistics.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include "programrun.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

using Run = ProgramRun;

Run analyse(const QStringList &arguments)
{
    return runProgram(QStringList{QStringLiteral("analyse")} + arguments);
}

// Axis 0 around 10,000 with a small spread, axis 1 always the same; one poll
// without an answer and one error of axis 1.
const std::vector<double> axis0 = {10000.0001, 9999.9998, 10000.0003, 10000.0000, 9999.9997, 10000.0002};
constexpr double axis1 = 0.5;

bool writeRecording(const QString &path, const QString &settingsFile)
{
    QStringList lines{"Module address,127.0.0.1,,,,,,",
                      "Unit number,0,,,,,,",
                      "Axis count,2,,,,,,",
                      "Data format,Mode 3,,,,,,",
                      "Unit,mm,,,,,,",
                      "Tool version,1.0.0,,,,,,",
                      "Start time,2026-12-06T10:00:00.000+01:00,,,,,,"};
    if (!settingsFile.isEmpty())
        lines << QStringLiteral("Settings file,%1,,,,,,").arg(settingsFile);
    lines << "Time,Seconds,Axis 0 value,Axis 0 mode,Axis 0 result,Axis 1 value,Axis 1 mode,Axis 1 result";
    for (std::size_t i = 0; i < axis0.size(); ++i) {
        const QString time = QStringLiteral("2026-12-06T10:00:0%1.000+01:00,%1.000").arg(i);
        lines << time
                        + QStringLiteral(",%1,REAL,OK,%2")
                                  .arg(axis0[i], 0, 'f', 4)
                                  .arg(i == 2 ? QStringLiteral(",,ERR")
                                              : QStringLiteral("%1,REAL,OK").arg(axis1, 0, 'f', 4));
        if (i == 3)
            lines << QStringLiteral("2026-12-06T10:00:03.500+01:00,3.500,,,GAP,,,GAP");
    }
    QFile file(path);
    const QByteArray text = (lines.join(QLatin1String("\r\n")) + QLatin1String("\r\n")).toUtf8();
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// Axis 0 uses comparator set 2, axis 1 set 1.
bool writeSnapshot(const QString &path)
{
    CommandInterface store;
    store.moduleId = 0;
    store.axisNum = 2;
    store.compSet[0] = 2;
    store.compLow[1][0] = 9999.9995;
    store.compHigh[1][0] = 10000.0005;
    store.compLow[0][1] = 0.4;
    store.compHigh[0][1] = 0.6;
    QString error;
    return ConfigurationFile::fromStore(store).write(path, &error);
}

} // namespace

class tst_Analyse : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void jsonGivesTheLibrarysFiguresAtFullPrecision();
    void limitsGivenOnTheCommandLine();
    void faultsExitWith2_data();
    void faultsExitWith2();

private:
    QString file(const char *name) const { return folder->filePath(QLatin1String(name)); }
    std::unique_ptr<QTemporaryDir> folder;
};

void tst_Analyse::init()
{
    folder = std::make_unique<QTemporaryDir>();
    QVERIFY(writeSnapshot(file("line.settings.json")));
    QVERIFY(writeRecording(file("line.csv"), QStringLiteral("line.settings.json")));
    QVERIFY(writeRecording(file("plain.csv"), QString()));
    QVERIFY(writeRecording(file("lost.csv"), QStringLiteral("gone.settings.json")));
}

void tst_Analyse::jsonGivesTheLibrarysFiguresAtFullPrecision()
{
    const Run run = analyse({file("line.csv"), QStringLiteral("--json"), QStringLiteral("--master"),
                             QStringLiteral("10000"), QStringLiteral("--tolerance"), QStringLiteral("0.001")});
    QCOMPARE(run.code, 0);
    const QJsonArray axes = QJsonDocument::fromJson(run.out).array();
    QCOMPARE(axes.size(), 2);

    const ReadingSummary summary = ReadingStatistics::of(axis0.data(), axis0.size());
    const Capability::Indices indices = Capability::indices(summary, {9999.9995, 10000.0005});
    const Capability::GaugeStudy gauge = Capability::gaugeStudy(summary, 10000.0, 0.001);
    const QJsonObject first = axes.at(0).toObject();
    const std::pair<const char *, double> expected[] = {{"axis", 0},
                                                        {"count", 6},
                                                        {"gaps", 1},
                                                        {"mean", summary.mean},
                                                        {"stdDev", summary.stdDev},
                                                        {"minimum", summary.minimum},
                                                        {"maximum", summary.maximum},
                                                        {"movingRangeMean", summary.movingRangeMean},
                                                        {"sigmaWithin", summary.sigmaWithin},
                                                        {"lsl", 9999.9995},
                                                        {"usl", 10000.0005},
                                                        {"cp", indices.cp.value},
                                                        {"cpk", indices.cpk.value},
                                                        {"pp", indices.pp.value},
                                                        {"ppk", indices.ppk.value},
                                                        {"bias", gauge.bias},
                                                        {"cg", gauge.cg.value},
                                                        {"cgk", gauge.cgk.value}};
    QCOMPARE(first.size(), int(std::size(expected)));
    for (const auto &[key, value] : expected)
        QVERIFY2(first.value(QLatin1String(key)).toDouble() == value, key);

    // Axis 1 never moves: its indices cannot be computed, and say why.
    const QJsonObject second = axes.at(1).toObject();
    QCOMPARE(second.value(QLatin1String("count")).toInt(), 5);
    QCOMPARE(second.value(QLatin1String("lsl")).toDouble(), 0.4);
    for (const char *key : {"cp", "cpk", "pp", "ppk", "cg", "cgk"})
        QVERIFY2(second.value(QLatin1String(key)).isNull(), key);
    QCOMPARE(second.value(QLatin1String("reason")).toString(), QStringLiteral("no spread: every reading is the same"));
}

void tst_Analyse::limitsGivenOnTheCommandLine()
{
    const Run run
            = analyse({file("plain.csv"), QStringLiteral("--axis"), QStringLiteral("1"), QStringLiteral("--lsl"),
                       QStringLiteral("0"), QStringLiteral("--usl"), QStringLiteral("1"), QStringLiteral("--json")});
    QCOMPARE(run.code, 0);
    const QJsonArray axes = QJsonDocument::fromJson(run.out).array();
    QCOMPARE(axes.size(), 1);
    QCOMPARE(axes.at(0)[QLatin1String("axis")].toInt(), 1);
    QCOMPARE(axes.at(0)[QLatin1String("usl")].toDouble(), 1.0);
    QVERIFY(!axes.at(0).toObject().contains(QLatin1String("cg")));
}

void tst_Analyse::faultsExitWith2_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("named");
    QTest::newRow("no snapshot, no limits") << QStringList{"plain.csv"} << "names no settings snapshot";
    QTest::newRow("snapshot missing") << QStringList{"lost.csv"} << "gone.settings.json is missing";
    QTest::newRow("an axis not held") << QStringList{"line.csv", "--axis", "5"} << "it has no axis 5";
    QTest::newRow("not an axis") << QStringList{"line.csv", "--axis", "Z"} << "\"Z\" is not an axis";
    QTest::newRow("not a recording") << QStringList{"line.settings.json", "--lsl", "0", "--usl", "1"}
                                     << "not a recording of the monitor";
    QTest::newRow("no such file") << QStringList{"none.csv", "--lsl", "0", "--usl", "1"} << "none.csv: cannot be read";
    QTest::newRow("one limit") << QStringList{"line.csv", "--lsl", "0"} << "--lsl and --usl go together";
    QTest::newRow("a limit that is no number") << QStringList{"line.csv", "--lsl", "x", "--usl", "1"} << "--lsl:";
    QTest::newRow("tolerance alone") << QStringList{"line.csv", "--tolerance", "1"} << "--tolerance goes with --master";
}

void tst_Analyse::faultsExitWith2()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, named);
    if (arguments.first().contains(QLatin1Char('.')))
        arguments.first() = folder->filePath(arguments.first());
    const Run run = analyse(arguments);
    QCOMPARE(run.code, 2);
    QVERIFY2(run.err.contains(named), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
}

QTEST_GUILESS_MAIN(tst_Analyse)
#include "tst_analyse.moc"
