// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a recording of the monitor: both separators, quoted fields, errors and
// gaps left out of the statistics and gaps counted; anything that is not such a
// recording refused with the line and the fault named.

#include "recordedreadings.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A two-axis recording as the recorder writes it; `rows` use "," and "." and are
// turned into ";" and "," when `separator` is ';'.
QByteArray recording(char separator, const QStringList &rows)
{
    QStringList lines{QStringLiteral("Module address,\"Line 3, station 2\",,,,,,"),
                      QStringLiteral("Unit number,A,,,,,,"),
                      QStringLiteral("Axis count,2,,,,,,"),
                      QStringLiteral("Data format,Mode 3,,,,,,"),
                      QStringLiteral("Unit,mm,,,,,,"),
                      QStringLiteral("Tool version,1.0.0,,,,,,"),
                      QStringLiteral("Start time,2026-12-06T10:00:00.000+01:00,,,,,,"),
                      QStringLiteral("Settings file,line3.settings.json,,,,,,"),
                      QStringLiteral("Time,Seconds,Axis 0 value,Axis 0 mode,Axis 0 result,Axis 1 value,Axis 1 mode,"
                                     "Axis 1 result")};
    lines += rows;
    QString text = lines.join(QLatin1String("\r\n")) + QLatin1String("\r\n");
    if (separator == ';') {
        text.replace(QLatin1Char(','), QLatin1Char(';'))
                .replace(QRegularExpression(QStringLiteral("(\\d)\\.(\\d)")), QStringLiteral("\\1,\\2"))
                .replace(QLatin1String("\"Line 3; station 2\""), QLatin1String("Line 3, station 2"));
    }
    return text.toUtf8();
}

const QStringList goodRows{QStringLiteral("2026-12-06T10:00:00.200+01:00,0.200,10000.0001,REAL,OK,-0.0100,REAL,LO"),
                           QStringLiteral("2026-12-06T10:00:00.400+01:00,0.400,10000.0003,REAL,HI,,,ERR"),
                           QStringLiteral("2026-12-06T10:00:00.600+01:00,0.600,,,GAP,,,GAP"),
                           QStringLiteral("2026-12-06T10:00:00.800+01:00,0.800,9999.9998,REAL,OK,0.0200,REAL,OK"),
                           QStringLiteral("2026-12-06T10:00:01.000+01:00,1.000,10000.0002,MAX,OK,0.0150,REAL,OK")};

std::optional<RecordedReadings> read(const QByteArray &text, QString *error)
{
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("recording.csv")));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return std::nullopt;
    file.close();
    return RecordedReadings::read(file.fileName(), error);
}

} // namespace

class tst_RecordedReadings : public QObject
{
    Q_OBJECT

private slots:
    void readsBothSeparators_data();
    void readsBothSeparators();
    void refusesWhatIsNotARecording_data();
    void refusesWhatIsNotARecording();
};

void tst_RecordedReadings::readsBothSeparators_data()
{
    QTest::addColumn<char>("separator");
    QTest::newRow("comma, decimal point") << ',';
    QTest::newRow("semicolon, decimal comma") << ';';
}

void tst_RecordedReadings::readsBothSeparators()
{
    QFETCH(char, separator);
    QString error;
    const std::optional<RecordedReadings> file = read(recording(separator, goodRows), &error);
    QVERIFY2(file, qPrintable(error));
    QCOMPARE(file->separator, separator);
    QCOMPARE(file->moduleAddress, QStringLiteral("Line 3, station 2"));
    QCOMPARE(file->unitNumber, 10);
    QCOMPARE(file->axisCount, 2);
    QCOMPARE(file->settingsFile, QStringLiteral("line3.settings.json"));
    QCOMPARE(file->rows, qint64(5));
    QCOMPARE(file->gaps, qint64(1));
    // In file order, errors and gaps left out: the same figures to the last bit.
    const std::vector<double> axes[] = {{10000.0001, 10000.0003, 9999.9998, 10000.0002}, {-0.01, 0.02, 0.015}};
    const qint64 withoutValue[] = {0, 1};
    for (int axis = 0; axis < 2; ++axis) {
        const ReadingSummary got = file->axes.at(std::size_t(axis)).statistics.summary();
        const ReadingSummary want = ReadingStatistics::of(axes[axis].data(), axes[axis].size());
        QCOMPARE(got.count, want.count);
        QCOMPARE(got.mean, want.mean);
        QCOMPARE(got.stdDev, want.stdDev);
        QCOMPARE(got.movingRangeMean, want.movingRangeMean);
        QCOMPARE(file->axes.at(std::size_t(axis)).withoutValue, withoutValue[axis]);
    }
}

void tst_RecordedReadings::refusesWhatIsNotARecording_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("fault");
    const QByteArray good = recording(',', goodRows);
    const auto changed = [&good](const char *from, const char *to) { return QByteArray(good).replace(from, to); };
    QTest::newRow("another CSV") << QByteArray("Name,Value\r\nx,1\r\n") << "line 1: this is not a recording";
    QTest::newRow("17 axes") << changed("Axis count,2", "Axis count,17") << "line 3: the axis count \"17\"";
    QTest::newRow("a header line missing") << changed("Unit,mm,,,,,,\r\n", "") << "line 5: \"Unit\" expected";
    QTest::newRow("a column renamed") << changed("Axis 1 mode", "Axis 1 state") << "line 9: column 7 is";
    QTest::newRow("a row one field short") << changed("MAX,OK,0.0150,REAL,OK", "MAX,OK,0.0150,REAL")
                                           << "line 14: 7 fields where every line of this recording has 8";
    QTest::newRow("an unknown result") << changed("REAL,LO", "REAL,LOW") << "line 10: \"LOW\" is not a result";
    QTest::newRow("a value that is no number")
            << changed("9999.9998", "9999.99.98") << "line 13: the value \"9999.99.98\" of axis 0 is not a number";
    QTest::newRow("a gap on one axis") << changed(",,,GAP,,,GAP", ",,,GAP,0.1,REAL,OK")
                                       << "line 12: GAP on some axes only";
    QTest::newRow("an unclosed quote") << changed("\"Line 3, station 2\"", "\"Line 3, station 2")
                                       << "a quoted field that is never closed";
    QTest::newRow("no column names") << good.left(good.indexOf("Time,Seconds"))
                                     << "the file ends before the column names";
}

void tst_RecordedReadings::refusesWhatIsNotARecording()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, fault);
    QString error;
    QVERIFY(!read(text, &error));
    QVERIFY2(error.contains(fault), qPrintable(error));
}

QTEST_GUILESS_MAIN(tst_RecordedReadings)
#include "tst_recordedreadings.moc"
