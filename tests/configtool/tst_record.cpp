// SPDX-License-Identifier: GPL-3.0-or-later
// `qr36tn-config record` run as the operator runs it, against module simulators on
// port 24000 of loopback addresses no other test uses (127.0.0.70 to 127.0.0.73):
// every module to its own file with its snapshot, gap rows where one does not
// answer or is lost, whole rows however the run ends, and the exit status.

#include "configurationfile.h"
#include "simulatorthread.h"

#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {

std::unique_ptr<SimulatorThread> startModule(const QString &address, int axes, bool pollsAnswered = true)
{
    SimulatorOptions options;
    options.address = QHostAddress(address);
    options.port = 24000;
    options.axisCount = axes;
    options.seed = 7;
    if (!pollsAnswered)
        options.silentPatterns << SimulatorOptions::wholeCommand(QStringLiteral("R"));
    auto module = std::make_unique<SimulatorThread>(options);
    if (!module->start())
        qWarning("simulator on %s: %s", qPrintable(address), qPrintable(module->errorString()));
    return module;
}

// The lines of a recording, each split into its fields.
QVector<QStringList> csvLines(const QString &path, bool *complete = nullptr)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(file.readAll());
    if (complete)
        *complete = text.endsWith(QLatin1String("\r\n"));
    QVector<QStringList> lines;
    for (const QString &line : text.split(QLatin1String("\r\n"), Qt::SkipEmptyParts))
        lines << line.split(QLatin1Char(','));
    return lines;
}
int rowsIn(const QString &path)
{
    return std::max(int(csvLines(path).size()) - 9, 0);
}

} // namespace

class tst_Record : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false")); }
    void init() { out = std::make_unique<QTemporaryDir>(); }
    void twoModulesUntilASignal_data();
    void twoModulesUntilASignal();
    void moduleLostDuringTheRun();
    void fullDiskLeavesWholeRows();
    void refusedBeforeOrAtTheStart_data();
    void refusedBeforeOrAtTheStart();

private:
    QProcess *startRecorder(const QStringList &arguments, const QString &shellPrefix = QString());

    std::unique_ptr<QTemporaryDir> out;
    std::unique_ptr<QProcess> process;
};

QProcess *tst_Record::startRecorder(const QStringList &arguments, const QString &shellPrefix)
{
    process = std::make_unique<QProcess>();
    if (shellPrefix.isEmpty()) {
        process->start(QStringLiteral(CONFIG_PROGRAM), arguments);
    } else {
        QStringList quoted{QStringLiteral(CONFIG_PROGRAM)};
        for (const QString &argument : arguments)
            quoted << QLatin1Char('\'') + argument + QLatin1Char('\'');
        process->start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), shellPrefix + QLatin1String("exec ") + quoted.join(QLatin1Char(' '))});
    }
    process->waitForStarted();
    return process.get();
}

void tst_Record::twoModulesUntilASignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("locale");
    QTest::newRow("Ctrl-C") << int(SIGINT) << QString();
    // Whatever the operator's locale, a reading is one field with a decimal point.
    QTest::newRow("terminate, decimal-comma locale") << int(SIGTERM) << QStringLiteral("export LC_ALL=de_DE.UTF-8; ");
}

// One module answers, the other takes every command but the poll: its file is all gaps.
void tst_Record::twoModulesUntilASignal()
{
    QFETCH(int, signal);
    QFETCH(QString, locale);
    const auto answering = startModule(QStringLiteral("127.0.0.70"), 3);
    const auto silent = startModule(QStringLiteral("127.0.0.71"), 2, false);
    QProcess *recorder = startRecorder({QStringLiteral("record"), QStringLiteral("--seconds"), QStringLiteral("600"),
                                        QStringLiteral("--interval-ms"), QStringLiteral("50"), QStringLiteral("--out"),
                                        out->path(), QStringLiteral("127.0.0.70"), QStringLiteral("127.0.0.71")},
                                       locale);
    const QString answered = out->filePath(QStringLiteral("127.0.0.70.csv"));
    const QString gaps = out->filePath(QStringLiteral("127.0.0.71.csv"));
    QTRY_VERIFY_WITH_TIMEOUT(rowsIn(answered) >= 10 && rowsIn(gaps) >= 2, 30000);
    ::kill(pid_t(recorder->processId()), signal);
    QVERIFY(recorder->waitForFinished(30000));
    QCOMPARE(recorder->exitStatus(), QProcess::NormalExit);
    QCOMPARE(recorder->exitCode(), 0);
    const QString printed = QString::fromUtf8(recorder->readAllStandardOutput());
    QVERIFY2(printed.contains(QLatin1String("2 of 2 recorded to the end, 1 of them with gaps where a poll got no reading")), qPrintable(printed));

    for (const QString &path : {answered, gaps}) {
        bool complete = false;
        const QVector<QStringList> lines = csvLines(path, &complete);
        QVERIFY(complete);
        const int width = lines.at(8).size();
        for (const QStringList &line : lines)
            QCOMPARE(line.size(), width);
        QStringList faults;
        const QString snapshot = QString(path).replace(QLatin1String(".csv"), QLatin1String(".settings.json"));
        QVERIFY2(ConfigurationFile::read(snapshot, &faults), qPrintable(faults.join(QLatin1Char('\n'))));
        QCOMPARE(lines.at(7).mid(0, 2), (QStringList{"Settings file", QFileInfo(snapshot).fileName()}));
        QVERIFY2(printed.contains(QStringLiteral("%1 rows to %2").arg(lines.size() - 9).arg(path)), qPrintable(printed));
    }
    for (const QStringList &row : csvLines(answered).mid(9))
        QCOMPARE(QStringList({row.at(4), row.at(7), row.at(10)}), (QStringList{"OK", "OK", "OK"}));
    for (const QStringList &row : csvLines(gaps).mid(9))
        QCOMPARE(row.mid(2), (QStringList{"", "", "GAP", "", "", "GAP"}));
}

void tst_Record::moduleLostDuringTheRun()
{
    auto module = startModule(QStringLiteral("127.0.0.72"), 1);
    QProcess *recorder = startRecorder({QStringLiteral("record"), QStringLiteral("--seconds"), QStringLiteral("600"),
                                        QStringLiteral("--out"), out->path(), QStringLiteral("127.0.0.72")});
    const QString path = out->filePath(QStringLiteral("127.0.0.72.csv"));
    QTRY_VERIFY_WITH_TIMEOUT(rowsIn(path) >= 3, 30000);
    module.reset();
    const int rowsBefore = rowsIn(path);
    QTRY_VERIFY_WITH_TIMEOUT(rowsIn(path) >= rowsBefore + 3, 30000);
    ::kill(pid_t(recorder->processId()), SIGINT);
    QVERIFY(recorder->waitForFinished(30000));
    QCOMPARE(recorder->exitCode(), 3);
    const QString printed = QString::fromUtf8(recorder->readAllStandardOutput());
    QVERIFY2(printed.contains(QLatin1String("127.0.0.72: ")) && printed.contains(QLatin1String("lost at")),
             qPrintable(printed));
    const QVector<QStringList> rows = csvLines(path).mid(9);
    QCOMPARE(rows.first().at(4), QStringLiteral("OK"));
    QCOMPARE(rows.last().mid(2), (QStringList{"", "", "GAP"}));
}

// A file-size limit stands in for a full disk; the signal it would raise is
// ignored, so the write fails with the system's reason.
void tst_Record::fullDiskLeavesWholeRows()
{
    const auto module = startModule(QStringLiteral("127.0.0.73"), 16);
    QProcess *recorder = startRecorder({QStringLiteral("record"), QStringLiteral("--seconds"), QStringLiteral("600"),
                                        QStringLiteral("--interval-ms"), QStringLiteral("50"), QStringLiteral("--out"),
                                        out->path(), QStringLiteral("127.0.0.73")},
                                       QStringLiteral("trap '' XFSZ; ulimit -f 16; "));
    QVERIFY(recorder->waitForFinished(60000));
    QCOMPARE(recorder->exitCode(), 3);
    const QString printed = QString::fromUtf8(recorder->readAllStandardOutput());
    QVERIFY2(printed.contains(QLatin1String("could not be written (File too large)")), qPrintable(printed));
    bool complete = false;
    const QString path = out->filePath(QStringLiteral("127.0.0.73.csv"));
    const QVector<QStringList> lines = csvLines(path, &complete);
    QVERIFY(complete);
    QVERIFY(lines.size() > 9);
    QVERIFY(QFileInfo(path).size() < 16 * 512);
    for (const QStringList &line : lines)
        QCOMPARE(line.size(), 2 + 3 * 16);
    QVERIFY2(printed.contains(QStringLiteral("%1 rows to").arg(lines.size() - 9)), qPrintable(printed));
}

void tst_Record::refusedBeforeOrAtTheStart_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said");
    const QStringList base{QStringLiteral("record"), QStringLiteral("--seconds"), QStringLiteral("1")};
    QTest::newRow("interval under 50 ms") << base + QStringList{"--interval-ms", "49", "--out", "OUT", "127.0.0.70"}
                                          << 2 << QStringLiteral("--interval-ms");
    QTest::newRow("no folder") << base + QStringList{"127.0.0.70"} << 2 << QStringLiteral("--out DIR");
    QTest::newRow("no module there") << base + QStringList{"--out", "OUT", "127.0.0.70"} << 3
                                     << QStringLiteral("127.0.0.70: not recorded");
}

void tst_Record::refusedBeforeOrAtTheStart()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, said);
    arguments.replaceInStrings(QStringLiteral("OUT"), out->path());
    QProcess *recorder = startRecorder(arguments);
    QVERIFY(recorder->waitForFinished(30000));
    QCOMPARE(recorder->exitCode(), code);
    const QString printed = QString::fromUtf8(recorder->readAllStandardOutput() + recorder->readAllStandardError());
    QVERIFY2(printed.contains(said), qPrintable(printed));
    QVERIFY(!QFile::exists(out->filePath(QStringLiteral("127.0.0.70.csv"))));
}

QTEST_MAIN(tst_Record)
#include "tst_record.moc"
