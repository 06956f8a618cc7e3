#include "commandframing.h"

#include <QtTest>

#include <cmath>

class tst_CommandFraming : public QObject
{
    Q_OBJECT

private slots:
    void commandBytes_data();
    void commandBytes();
    void replyValue_data();
    void replyValue();
    void conversionKeepsTheFieldOnFailure_data();
    void conversionKeepsTheFieldOnFailure();
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
    QTest::newRow("flag") << CommandBuilder("%1%2POL=%3").hex(0).hex(0).flag(true).text() << "00POL=1";
    QTest::newRow("integral number") << CommandBuilder("%1%2P=%3").hex(0).hex(0).number(10.0).text() << "00P=10";
    QTest::newRow("still fixed") << CommandBuilder("%1%2P=%3").hex(0).hex(0).number(0.0001).text() << "00P=0.0001";
    QTest::newRow("upper-case exponent") << CommandBuilder("%1%2P=%3").hex(0).hex(0).number(0.00001).text() << "00P=1E-05";
    QTest::newRow("six digits") << CommandBuilder("%1%2P=%3").hex(0).hex(0).number(1234567.0).text() << "00P=1.23457E+06";
    QTest::newRow("rounded") << CommandBuilder("%1%2P=%3").hex(0).hex(0).number(-12.3456789).text() << "00P=-12.3457";
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

void tst_CommandFraming::replyValue_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("value"); // null: no value
    QTest::newRow("regular") << QByteArray("0ARSL=3\r\n") << "3";
    QTest::newRow("two lines, first wins") << QByteArray("A=1\r\nB=2\r\n") << "1";
    QTest::newRow("cut at NUL") << QByteArray("X=12\0" "34", 7) << "12";
    QTest::newRow("more = signs") << QByteArray("A=B=C\r\n") << "B";
    QTest::newRow("blanks kept") << QByteArray("X= 7 \r\n") << " 7 ";
    QTest::newRow("nothing after =") << QByteArray("NAME=\r\n") << QString();
    QTest::newRow("empty name dropped") << QByteArray("=5\r\n") << QString();
    QTest::newRow("no =") << QByteArray("garbage") << QString();
    QTest::newRow("only NUL first") << QByteArray("\0X=1", 4) << QString();
}

void tst_CommandFraming::replyValue()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, value);
    const QString actual = ReplyConversion::value(reply);
    QCOMPARE(actual.isNull(), value.isNull());
    QCOMPARE(actual, value);
}

void tst_CommandFraming::conversionKeepsTheFieldOnFailure_data()
{
    // Fields start as 99 (int, double) and true (bool); one that does not convert keeps that.
    QTest::addColumn<char>("kind"); // i: int, b: bool, d: double, o: offset of an axis with reference use
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("converts");
    QTest::addColumn<double>("expected");
    QTest::newRow("int") << 'i' << " 42 " << true << 42.0;
    QTest::newRow("int, decimal point") << 'i' << "2.5" << false << 99.0;
    QTest::newRow("int, garbage") << 'i' << "X#?" << false << 99.0;
    QTest::newRow("int, hex") << 'i' << "0x10" << false << 99.0;
    QTest::newRow("int, overflow") << 'i' << "99999999999" << false << 99.0;
    QTest::newRow("int, no value") << 'i' << QString() << false << 99.0;
    QTest::newRow("bool, any non-zero") << 'b' << "5" << true << 1.0;
    QTest::newRow("bool, zero") << 'b' << "0" << true << 0.0;
    QTest::newRow("bool, garbage") << 'b' << "0.5" << false << 1.0;
    QTest::newRow("double, C locale") << 'd' << " -0.25 " << true << -0.25;
    QTest::newRow("double, exponent") << 'd' << "1E-05" << true << 1e-05;
    QTest::newRow("double, comma") << 'd' << "1,5" << false << 99.0;
    QTest::newRow("double, error field") << 'd' << "--------" << false << 99.0;
    QTest::newRow("offset") << 'o' << "2.5" << true << 2.5;
    QTest::newRow("offset, garbage") << 'o' << "x" << false << double(NAN);
}

void tst_CommandFraming::conversionKeepsTheFieldOnFailure()
{
    QFETCH(char, kind);
    QFETCH(QString, text);
    QFETCH(bool, converts);
    QFETCH(double, expected);
    // A German default locale would take "1,5" and refuse "-0.25".
    QLocale::setDefault(QLocale(QLocale::German));
    double actual = 99.0;
    int integer = 99;
    bool flag = true;
    if (kind == 'i') {
        QCOMPARE(ReplyConversion::toInt(text, integer), converts);
        actual = integer;
    } else if (kind == 'b') {
        QCOMPARE(ReplyConversion::toBool(text, flag), converts);
        actual = flag ? 1.0 : 0.0;
    } else if (kind == 'd') {
        QCOMPARE(ReplyConversion::toDouble(text, actual), converts);
    } else {
        actual = ReplyConversion::toRefOffset(text, true);
        QVERIFY(std::isnan(ReplyConversion::toRefOffset(text, false)));
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
