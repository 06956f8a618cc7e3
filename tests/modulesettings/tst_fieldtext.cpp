// SPDX-License-Identifier: GPL-3.0-or-later
// A value's text on the wire and in a field: both must give back exactly the value
// held, and a value that six digits hold keeps the bytes it always had.

#include "commandframing.h"
#include "fieldtext.h"

#include <QtTest>

class tst_FieldText : public QObject
{
    Q_OBJECT

private slots:
    void valuesReadBackExactly_data();
    void valuesReadBackExactly();
};

void tst_FieldText::valuesReadBackExactly_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("field");
    // Six digits or fewer: the text they always had.
    QTest::newRow("0.5") << 0.5 << "00P=0.5" << "0.5";
    QTest::newRow("-0.25") << -0.25 << "00P=-0.25" << "-0.25";
    QTest::newRow("0.0001, still fixed") << 0.0001 << "00P=0.0001" << "0.0001";
    QTest::newRow("0.00001") << 0.00001 << "00P=1E-05" << "1e-05";
    QTest::newRow("-1e-5") << -1e-5 << "00P=-1E-05" << "-1e-05";
    QTest::newRow("999999, still fixed") << 999999.0 << "00P=999999" << "999999";
    QTest::newRow("1e6") << 1e6 << "00P=1E+06" << "1e+06";
    // More than six: every digit, with the exponent where six digits put it.
    QTest::newRow("1234567") << 1234567.0 << "00P=1.234567E+06" << "1.234567e+06";
    QTest::newRow("123.4567") << 123.4567 << "00P=123.4567" << "123.4567";
    QTest::newRow("1234.5678") << 1234.5678 << "00P=1234.5678" << "1234.5678";
    QTest::newRow("1.2345678") << 1.2345678 << "00P=1.2345678" << "1.2345678";
    QTest::newRow("-0.0001234") << -0.0001234 << "00P=-0.0001234" << "-0.0001234";
    QTest::newRow("-0.00001234567") << -0.00001234567 << "00P=-1.234567E-05" << "-1.234567e-05";
    QTest::newRow("99999.95, not 100000") << 99999.95 << "00P=99999.95" << "99999.95";
    QTest::newRow("999999.5, not 1e+06") << 999999.5 << "00P=999999.5" << "999999.5";
    QTest::newRow("fifteen digits") << 12345.6789012345 << "00P=12345.6789012345" << "12345.6789012345";
    QTest::newRow("large") << 1.234567891e20 << "00P=1.234567891E+20" << "1.234567891e+20";
}

void tst_FieldText::valuesReadBackExactly()
{
    QFETCH(double, value);
    QFETCH(QString, command);
    QFETCH(QString, field);
    const QString sent = CommandBuilder("%1%2P=%3").hex(0).hex(0).number(value).text();
    QCOMPARE(sent, command);
    QCOMPARE(FieldText::number(value), field);

    // Exact comparisons: QCOMPARE would forgive a double its last digits.
    double fromCommand = 0.0;
    QVERIFY(ReplyConversion::toDouble(ReplyConversion::value(sent.toLatin1()), fromCommand));
    QVERIFY2(fromCommand == value, qPrintable(QString::number(fromCommand, 'g', 17)));
    const std::optional<double> fromField = FieldText::numberOf(field);
    QVERIFY(fromField);
    QVERIFY2(*fromField == value, qPrintable(QString::number(*fromField, 'g', 17)));
}

QTEST_APPLESS_MAIN(tst_FieldText)
#include "tst_fieldtext.moc"
