// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandframing.h"

#include <QtTest>

#include <cmath>

class tst_CommandFraming : public QObject
{
    Q_OBJECT

private slots:
    void commandBytes_data();
    void commandBytes();
    void valuesReadBackExactly_data();
    void valuesReadBackExactly();
    void replyConversion_data();
    void replyConversion();
    void configReply_data();
    void configReply();
};

void tst_CommandFraming::commandBytes_data()
{
    QTest::addColumn<QString>("built");
    QTest::addColumn<QString>("expected");
    QTest::newRow("axis prefix in upper-case hex") << CommandBuilder("%1%2RSL=%3").hex(0).hex(10).decimal(3).text() << "0ARSL=3";
    QTest::newRow("unit prefix") << CommandBuilder("%1STTERM=%2").hex(12).decimal(1).text() << "CSTTERM=1";
    QTest::newRow("bare axis command") << CommandBuilder("%1%2LCLR").hex(15).hex(15).text() << "FFLCLR";
    QTest::newRow("set number and limit") << CommandBuilder("%1%2CL%3=%4").hex(1).hex(11).decimal(4).number(-0.25).text() << "1BCL4=-0.25";
    QTest::newRow("still fixed") << CommandBuilder("%1%2P=%3").hex(0).hex(0).number(0.0001).text() << "00P=0.0001";
    QTest::newRow("upper-case exponent") << CommandBuilder("%1%2P=%3").hex(0).hex(0).number(0.00001).text() << "00P=1E-05";
    QTest::newRow("seven digits") << CommandBuilder("%1%2P=%3").hex(0).hex(0).number(1234567.0).text() << "00P=1.234567E+06";
    QTest::newRow("not rounded") << CommandBuilder("%1%2P=%3").hex(0).hex(0).number(-12.3456789).text() << "00P=-12.3456789";
    QTest::newRow("axis in the unit's place") << CommandBuilder("%1PRA=%2").hex(12).decimal(200).text() << "CPRA=200";
    // Formatted only, never dialled.
    QTest::newRow("global address") << CommandBuilder("NIP=%1").address(QHostAddress(QStringLiteral("192.168.0.100"))).text()
                                    << "NIP=192.168.0.100";
    QTest::newRow("global numbered") << CommandBuilder("LPC%1=%2").decimal(2).decimal(1).text() << "LPC2=1";
}

void tst_CommandFraming::commandBytes()
{
    QFETCH(QString, built);
    QFETCH(QString, expected);
    QCOMPARE(built, expected);
}

// A value's text on the wire and in a field must both give back exactly the value
// held; a value that six digits hold keeps the bytes it always had.
void tst_CommandFraming::valuesReadBackExactly_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("field");
    QTest::newRow("0.5") << 0.5 << "00P=0.5" << "0.5";
    QTest::newRow("0.0001, still fixed") << 0.0001 << "00P=0.0001" << "0.0001";
    QTest::newRow("0.00001") << 0.00001 << "00P=1E-05" << "1e-05";
    QTest::newRow("-1e-5") << -1e-5 << "00P=-1E-05" << "-1e-05";
    QTest::newRow("999999, still fixed") << 999999.0 << "00P=999999" << "999999";
    QTest::newRow("1e6") << 1e6 << "00P=1E+06" << "1e+06";
    // More than six digits: every digit, with the exponent where six digits put it.
    QTest::newRow("1234567") << 1234567.0 << "00P=1.234567E+06" << "1.234567e+06";
    QTest::newRow("123.4567") << 123.4567 << "00P=123.4567" << "123.4567";
    QTest::newRow("1.2345678") << 1.2345678 << "00P=1.2345678" << "1.2345678";
    QTest::newRow("-0.0001234") << -0.0001234 << "00P=-0.0001234" << "-0.0001234";
    QTest::newRow("99999.95, not 100000") << 99999.95 << "00P=99999.95" << "99999.95";
    QTest::newRow("fifteen digits") << 12345.6789012345 << "00P=12345.6789012345" << "12345.6789012345";
}

void tst_CommandFraming::valuesReadBackExactly()
{
    QFETCH(double, value);
    QFETCH(QString, command);
    QFETCH(QString, field);
    const QString sent = CommandBuilder("%1%2P=%3").hex(0).hex(0).number(value).text();
    QCOMPARE(sent, command);
    QCOMPARE(exactNumberText(value), field); // the pages' text
    // Compared as text with every digit: QCOMPARE forgives doubles their last digits.
    double fromCommand = 0.0;
    QVERIFY(ReplyConversion::toDouble(ReplyConversion::value(sent.toLatin1()), fromCommand));
    const QString exact = QString::number(value, 'g', 17);
    QCOMPARE(QString::number(fromCommand, 'g', 17), exact);
    double fromField = 0.0;
    QVERIFY(ReplyConversion::toDouble(field, fromField));
    QCOMPARE(QString::number(fromField, 'g', 17), exact);
}

void tst_CommandFraming::replyConversion_data()
{
    // A reply's value goes into a field that holds 99 (int, double) or true (bool);
    // when it does not convert, the field keeps that.
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<char>("kind"); // i: int, b: bool, d: double, o: offset of an axis with reference use
    QTest::addColumn<bool>("converts");
    QTest::addColumn<double>("expected");
    QTest::newRow("int") << QByteArray("0ARSL=3\r\n") << 'i' << true << 3.0;
    QTest::newRow("blanks around") << QByteArray("X= 42 \r\n") << 'i' << true << 42.0;
    QTest::newRow("first line wins") << QByteArray("A=1\r\nB=2\r\n") << 'i' << true << 1.0;
    QTest::newRow("cut at NUL") << QByteArray("X=12\0" "34", 7) << 'i' << true << 12.0;
    QTest::newRow("nothing after =") << QByteArray("NAME=\r\n") << 'i' << false << 99.0;
    QTest::newRow("no =") << QByteArray("garbage") << 'i' << false << 99.0;
    QTest::newRow("NUL first") << QByteArray("\0X=1", 4) << 'i' << false << 99.0;
    QTest::newRow("int, decimal point") << QByteArray("X=2.5") << 'i' << false << 99.0;
    QTest::newRow("int, garbage") << QByteArray("X=X#?") << 'i' << false << 99.0;
    QTest::newRow("int, overflow") << QByteArray("X=99999999999") << 'i' << false << 99.0;
    QTest::newRow("bool, any non-zero") << QByteArray("X=5") << 'b' << true << 1.0;
    QTest::newRow("bool, zero") << QByteArray("X=0") << 'b' << true << 0.0;
    QTest::newRow("bool, garbage") << QByteArray("X=0.5") << 'b' << false << 1.0;
    QTest::newRow("double, C locale") << QByteArray("X= -0.25 ") << 'd' << true << -0.25;
    QTest::newRow("double, exponent") << QByteArray("X=1E-05\r\n") << 'd' << true << 1e-05;
    QTest::newRow("double, comma") << QByteArray("X=1,5") << 'd' << false << 99.0;
    QTest::newRow("double, error field") << QByteArray("X=--------") << 'd' << false << 99.0;
    QTest::newRow("offset") << QByteArray("X=2.5") << 'o' << true << 2.5;
    QTest::newRow("offset, garbage") << QByteArray("X=x") << 'o' << false << double(NAN);
}

void tst_CommandFraming::replyConversion()
{
    QFETCH(QByteArray, reply);
    QFETCH(char, kind);
    QFETCH(bool, converts);
    QFETCH(double, expected);
    const QString value = ReplyConversion::value(reply);
    // A German default locale would take "1,5" and refuse "-0.25".
    QLocale::setDefault(QLocale(QLocale::German));
    double actual = 99.0;
    int integer = 99;
    bool flag = true;
    if (kind == 'i') {
        QCOMPARE(ReplyConversion::toInt(value, integer), converts);
        actual = integer;
    } else if (kind == 'b') {
        QCOMPARE(ReplyConversion::toBool(value, flag), converts);
        actual = flag ? 1.0 : 0.0;
    } else if (kind == 'd') {
        QCOMPARE(ReplyConversion::toDouble(value, actual), converts);
    } else {
        actual = ReplyConversion::toRefOffset(value, true);
        QVERIFY(std::isnan(ReplyConversion::toRefOffset(value, false)));
    }
    QLocale::setDefault(QLocale::c());
    if (std::isnan(expected))
        QVERIFY(std::isnan(actual));
    else
        QCOMPARE(actual, expected);
}

void tst_CommandFraming::configReply_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("moduleId");
    QTest::addColumn<int>("axisNum");
    QTest::newRow("0F") << "0F" << 0 << 16;
    QTest::newRow("A0") << "A0" << 10 << 1;
    QTest::newRow("lower case") << "b3" << 11 << 4;
    QTest::newRow("single character") << "5" << 5 << -1;
    QTest::newRow("bad first") << "G1" << -1 << 2;
    QTest::newRow("nothing") << QString() << -1 << -1;
}

void tst_CommandFraming::configReply()
{
    QFETCH(QString, value);
    QFETCH(int, moduleId);
    QFETCH(int, axisNum);
    int unit = -1;
    int axes = -1;
    ReplyConversion::toConfig(value, unit, axes);
    QCOMPARE(unit, moduleId);
    QCOMPARE(axes, axisNum);
}

QTEST_APPLESS_MAIN(tst_CommandFraming)
#include "tst_commandframing.moc"
