// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurementreadout.h"

#include <QtTest>

#include <algorithm>
#include <iterator>

class tst_MeasurementReadout : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
};

void tst_MeasurementReadout::decode_data()
{
    // Every axis starts as "42 old 7" (value, mode text, comparator code); the
    // expected list has one "value mode code" entry per axis, from axis 0 on.
    QTest::addColumn<QString>("reply");
    QTest::addColumn<int>("dataFormat");
    QTest::addColumn<int>("axes");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("format 2") << "00A0U-0.01230 01N0G+0.00000 02I0L-1.50000 03P0E-------- 04N0G+1.00000" << 2 << 4
                              << QStringList{"-0.0123 MAX 2", "0 REAL 1", "-1.5 MIN 0", "nan P-P 255", "42 old 7"};
    QTest::newRow("format 1, twelve wide") << "00N0+1.00000\n01A0-2.00000" << 1 << 2
                                           << QStringList{"1 REAL 1", "-2 MAX 1", "42 old 7"};
    QTest::newRow("format 0, ten wide") << "0A+0.12500 0I-0.25000" << 0 << 2
                                        << QStringList{"0.125 N/A 1", "-0.25 N/A 1", "42 old 7"};
    QTest::newRow("unknown format, twelve wide") << "00A0+3.00000 00I0+4.00000" << -1 << 2
                                                 << QStringList{"3 N/A 1", "4 N/A 1"};
    QTest::newRow("letters outside the tables") << "00x0g+0.20000" << 2 << 1 << QStringList{"0.2 old 7"};
    QTest::newRow("short reply") << "00A0U+0.10000 01N" << 2 << 3
                                 << QStringList{"0.1 MAX 2", "nan REAL 7", "nan old 7", "42 old 7"};
    QTest::newRow("empty reply") << "" << 2 << 1 << QStringList{"nan old 7", "42 old 7"};
    QTest::newRow("no axes") << "00N0G+1.00000" << 2 << -1 << QStringList{"42 old 7"};
    // A count above 16 must not run past the arrays (the address sanitizer build checks this).
    QTest::newRow("more axes than arrays") << QStringLiteral("00N0G+1.00000 ").repeated(20) << 2 << 40
                                           << QStringList{"1 REAL 1"};
}

void tst_MeasurementReadout::decode()
{
    QFETCH(QString, reply);
    QFETCH(int, dataFormat);
    QFETCH(int, axes);
    QFETCH(QStringList, expected);
    double value[16];
    QString mode[16];
    int judge[16];
    std::fill(std::begin(value), std::end(value), 42.0);
    std::fill(std::begin(mode), std::end(mode), QStringLiteral("old"));
    std::fill(std::begin(judge), std::end(judge), 7);
    MeasurementReadout::decode(reply, dataFormat, axes, value, mode, judge);

    // Beyond 16 axes every array entry is compared with the first expectation.
    const int compared = axes > 16 ? 16 : expected.size();
    for (int axis = 0; axis < compared; ++axis) {
        const QString actual = QStringLiteral("%1 %2 %3").arg(value[axis]).arg(mode[axis]).arg(judge[axis]);
        QCOMPARE(actual, expected.value(axis, expected.first()));
    }
}

QTEST_APPLESS_MAIN(tst_MeasurementReadout)
#include "tst_measurementreadout.moc"
