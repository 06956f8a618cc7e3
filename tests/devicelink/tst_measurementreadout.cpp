#include "measurementreadout.h"

#include <QtTest>

#include <cmath>

namespace {
struct Reading
{
    double value[16];
    QString mode[16];
    int judge[16];

    Reading()
    {
        for (int axis = 0; axis < 16; ++axis) {
            value[axis] = 42.0;
            mode[axis] = QStringLiteral("old");
            judge[axis] = 7;
        }
    }
    void decode(const QString &reply, int dataFormat, int axes)
    {
        MeasurementReadout::decode(reply, dataFormat, axes, value, mode, judge);
    }
};
} // namespace

class tst_MeasurementReadout : public QObject
{
    Q_OBJECT

private slots:
    void format2DecodesModeComparatorAndValue();
    void format1FieldsAreTwelveWideWithoutComparator();
    void format0DecodesOnlyValues();
    void unknownFormatsUseTwelveWideFields();
    void unreadableValueIsNaNForThatAxisOnly();
    void unknownLettersKeepPreviousReading();
    void shortReplyLeavesMissingAxesAsNaN();
    void axesBeyondTheCountAreNeverWritten();
};

void tst_MeasurementReadout::format2DecodesModeComparatorAndValue()
{
    Reading r;
    r.decode(QStringLiteral("00A0U-0.01230"), 2, 1);
    QCOMPARE(r.value[0], -0.0123);
    QCOMPARE(r.mode[0], QStringLiteral("MAX"));
    QCOMPARE(r.judge[0], 2);

    r.decode(QStringLiteral("00N0G+0.00000 01I0L-1.50000 02P0E+99.9999"), 2, 3);
    QCOMPARE(r.mode[0], QStringLiteral("REAL"));
    QCOMPARE(r.judge[0], 1);
    QCOMPARE(r.mode[1], QStringLiteral("MIN"));
    QCOMPARE(r.judge[1], 0);
    QCOMPARE(r.value[1], -1.5);
    QCOMPARE(r.mode[2], QStringLiteral("P-P"));
    QCOMPARE(r.judge[2], 255);
    QCOMPARE(r.value[2], 99.9999);
}

void tst_MeasurementReadout::format1FieldsAreTwelveWideWithoutComparator()
{
    Reading r;
    // Second field starts at 13: twelve characters plus one separator.
    r.decode(QStringLiteral("00N0+1.00000\n01A0-2.00000"), 1, 2);
    QCOMPARE(r.value[0], 1.0);
    QCOMPARE(r.mode[0], QStringLiteral("REAL"));
    QCOMPARE(r.judge[0], 1);
    QCOMPARE(r.value[1], -2.0);
    QCOMPARE(r.mode[1], QStringLiteral("MAX"));
    QCOMPARE(r.judge[1], 1);
}

void tst_MeasurementReadout::format0DecodesOnlyValues()
{
    Reading r;
    r.decode(QStringLiteral("0A+0.12500 0I-0.25000 0P+0.50000"), 0, 3);
    QCOMPARE(r.value[0], 0.125);
    QCOMPARE(r.value[1], -0.25);
    QCOMPARE(r.value[2], 0.5);
    for (int axis = 0; axis < 3; ++axis) {
        QCOMPARE(r.mode[axis], QStringLiteral("N/A"));
        QCOMPARE(r.judge[axis], 1);
    }
    QCOMPARE(r.mode[3], QStringLiteral("old"));
}

void tst_MeasurementReadout::unknownFormatsUseTwelveWideFields()
{
    QCOMPARE(MeasurementReadout::fieldWidth(5), 12);
    QCOMPARE(MeasurementReadout::fieldWidth(-1), 12);

    Reading high;
    // Twelve wide with a comparator letter: the letter at position 4 is also the first
    // of the last eight characters, so such a value never converts.
    high.decode(QStringLiteral("00A0U+3.0000 00I0L+4.0000"), 5, 2);
    QVERIFY(std::isnan(high.value[1]));
    QCOMPARE(high.mode[1], QStringLiteral("MIN"));
    QCOMPARE(high.judge[1], 0);

    Reading negative;
    negative.decode(QStringLiteral("00A0+3.00000"), -1, 1);
    QCOMPARE(negative.value[0], 3.0);
    QCOMPARE(negative.mode[0], QStringLiteral("N/A"));
    QCOMPARE(negative.judge[0], 1);
}

void tst_MeasurementReadout::unreadableValueIsNaNForThatAxisOnly()
{
    Reading r;
    r.decode(QStringLiteral("00N0E-------- 01N0G+0.50000"), 2, 2);
    QVERIFY(std::isnan(r.value[0]));
    QCOMPARE(r.judge[0], 255);
    QCOMPARE(r.value[1], 0.5);
}

void tst_MeasurementReadout::unknownLettersKeepPreviousReading()
{
    Reading r;
    r.decode(QStringLiteral("00A0U+0.10000"), 2, 1);
    r.decode(QStringLiteral("00x0g+0.20000"), 2, 1); // lower case is not in the tables
    QCOMPARE(r.value[0], 0.2);
    QCOMPARE(r.mode[0], QStringLiteral("MAX"));
    QCOMPARE(r.judge[0], 2);
}

void tst_MeasurementReadout::shortReplyLeavesMissingAxesAsNaN()
{
    Reading r;
    r.decode(QStringLiteral("00A0U+0.10000 01N"), 2, 4);
    QCOMPARE(r.value[0], 0.1);
    // Axis 1 is cut after its mode letter: the letter counts, the value does not.
    QVERIFY(std::isnan(r.value[1]));
    QCOMPARE(r.mode[1], QStringLiteral("REAL"));
    QCOMPARE(r.judge[1], 7);
    for (int axis = 2; axis < 4; ++axis) {
        QVERIFY(std::isnan(r.value[axis]));
        QCOMPARE(r.mode[axis], QStringLiteral("old"));
        QCOMPARE(r.judge[axis], 7);
    }

    Reading empty;
    empty.decode(QString(), 2, 2);
    QVERIFY(std::isnan(empty.value[0]));
    QCOMPARE(empty.mode[0], QStringLiteral("old"));
}

void tst_MeasurementReadout::axesBeyondTheCountAreNeverWritten()
{
    QString reply;
    for (int axis = 0; axis < 20; ++axis)
        reply += QStringLiteral("00N0G+1.00000 ");

    Reading none;
    none.decode(reply, 2, -1);
    none.decode(reply, 2, 0);
    QCOMPARE(none.value[0], 42.0);

    Reading two;
    two.decode(reply, 2, 2);
    QCOMPARE(two.value[1], 1.0);
    QCOMPARE(two.value[2], 42.0);
    QCOMPARE(two.mode[2], QStringLiteral("old"));

    // A count above 16 must not run past the arrays (the address sanitizer build checks this).
    Reading all;
    all.decode(reply, 2, 40);
    QCOMPARE(all.value[15], 1.0);
}

QTEST_APPLESS_MAIN(tst_MeasurementReadout)
#include "tst_measurementreadout.moc"
