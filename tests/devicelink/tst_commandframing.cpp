#include "commandframing.h"

#include <QtTest>

#include <cmath>

class tst_CommandFraming : public QObject
{
    Q_OBJECT

private slots:
    void perAxisCommandsAreUpperCasedHex();
    void doublesUseSixDigitsAndUpperCaseExponent_data();
    void doublesUseSixDigitsAndUpperCaseExponent();
    void globalAndSpecialForms();

    void replyValueIsTheSecondPart_data();
    void replyValueIsTheSecondPart();
    void integerConversionKeepsFieldOnFailure_data();
    void integerConversionKeepsFieldOnFailure();
    void booleanIsTrueForAnyNonZeroInteger();
    void doubleConversionIsLocaleIndependent();
    void addressReplyAlwaysStored();
    void configReplySetsUnitAndAxisCount_data();
    void configReplySetsUnitAndAxisCount();
    void refOffsetIsNaNUnlessUsedAndNumeric();
};

void tst_CommandFraming::perAxisCommandsAreUpperCasedHex()
{
    QCOMPARE(CommandBuilder("%1%2RSL=%3").hex(0).hex(10).decimal(3).text(), QStringLiteral("0ARSL=3"));
    QCOMPARE(CommandBuilder("%1%2CL%3=%4").hex(1).hex(11).decimal(4).number(-0.25).text(),
             QStringLiteral("1BCL4=-0.25"));
    QCOMPARE(CommandBuilder("%1%2CH%3=%4").hex(2).hex(1).decimal(3).number(2.5).text(),
             QStringLiteral("21CH3=2.5"));
    QCOMPARE(CommandBuilder("%1%2LCLR").hex(15).hex(15).text(), QStringLiteral("FFLCLR"));
    QCOMPARE(CommandBuilder("%1%2POL=%3").hex(0).hex(0).flag(true).text(), QStringLiteral("00POL=1"));
    QCOMPARE(CommandBuilder("%1%2REF=%3").hex(0).hex(0).flag(false).text(), QStringLiteral("00REF=0"));
    QCOMPARE(CommandBuilder("%1STTERM=%2").hex(12).decimal(1).text(), QStringLiteral("CSTTERM=1"));
    QCOMPARE(CommandBuilder("%1%2RSL=?").hex(3).hex(14).text(), QStringLiteral("3ERSL=?"));
}

void tst_CommandFraming::doublesUseSixDigitsAndUpperCaseExponent_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("command");
    QTest::newRow("plain") << 2.5 << "00P=2.5";
    QTest::newRow("trailing zeros dropped") << 1.50 << "00P=1.5";
    QTest::newRow("integral value has no point") << 10.0 << "00P=10";
    QTest::newRow("small, still fixed") << 0.0001 << "00P=0.0001";
    QTest::newRow("smaller, exponent form") << 0.00001 << "00P=1E-05";
    QTest::newRow("rounded to six digits") << 1234567.0 << "00P=1.23457E+06";
    QTest::newRow("largest fixed") << 999999.0 << "00P=999999";
    QTest::newRow("negative") << -12.3456789 << "00P=-12.3457";
    QTest::newRow("zero") << 0.0 << "00P=0";
}

void tst_CommandFraming::doublesUseSixDigitsAndUpperCaseExponent()
{
    QFETCH(double, value);
    QFETCH(QString, command);
    QCOMPARE(CommandBuilder("%1%2P=%3").hex(0).hex(0).number(value).text(), command);
}

void tst_CommandFraming::globalAndSpecialForms()
{
    // Global commands carry no unit number; this address is only formatted, never dialled.
    QCOMPARE(CommandBuilder("NIP=%1").address(QHostAddress(QStringLiteral("192.168.0.100"))).text(),
             QStringLiteral("NIP=192.168.0.100"));
    QCOMPARE(CommandBuilder("NIP=%1").address(QHostAddress(QStringLiteral("10.0.0.5"))).text(),
             QStringLiteral("NIP=10.0.0.5"));
    QCOMPARE(CommandBuilder("RIP=%1").address(QHostAddress()).text(), QStringLiteral("RIP="));
    QCOMPARE(CommandBuilder("LPC%1=%2").decimal(2).decimal(1).text(), QStringLiteral("LPC2=1"));
    QCOMPARE(CommandBuilder("%1PRA=%2").hex(12).decimal(200).text(), QStringLiteral("CPRA=200"));
    QCOMPARE(CommandBuilder("LPN=%1").decimal(-5).text(), QStringLiteral("LPN=-5"));
    QCOMPARE(CommandBuilder("SETUP").text(), QStringLiteral("SETUP"));
}

void tst_CommandFraming::replyValueIsTheSecondPart_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("hasValue");
    QTest::newRow("regular") << QByteArray("0ARSL=3\r\n") << "3" << true;
    QTest::newRow("no line end") << QByteArray("0ARSL=3") << "3" << true;
    QTest::newRow("two lines, first wins") << QByteArray("A=1\r\nB=2\r\n") << "1" << true;
    QTest::newRow("cut at NUL") << QByteArray("X=4\0Y=5\r\n", 9) << "4" << true;
    QTest::newRow("NUL inside value") << QByteArray("X=12\0" "34", 7) << "12" << true;
    QTest::newRow("blanks kept") << QByteArray("X= 7 \r\n") << " 7 " << true;
    QTest::newRow("empty name dropped") << QByteArray("=5\r\n") << "" << false;
    QTest::newRow("nothing after =") << QByteArray("NAME=\r\n") << "" << false;
    QTest::newRow("no =") << QByteArray("garbage") << "" << false;
    QTest::newRow("empty") << QByteArray() << "" << false;
    QTest::newRow("only NUL") << QByteArray("\0X=1", 4) << "" << false;
    QTest::newRow("more = signs") << QByteArray("A=B=C\r\n") << "B" << true;
    QTest::newRow("non-ASCII") << QByteArray("V=\xce\xbc" "m\r\n") << QString::fromUtf8("\xce\xbcm") << true;
}

void tst_CommandFraming::replyValueIsTheSecondPart()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, value);
    QFETCH(bool, hasValue);
    const QString actual = ReplyConversion::value(reply);
    QCOMPARE(!actual.isNull(), hasValue);
    if (hasValue)
        QCOMPARE(actual, value);
}

void tst_CommandFraming::integerConversionKeepsFieldOnFailure_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("plain") << "3" << 3;
    QTest::newRow("blanks around") << " 42 " << 42;
    QTest::newRow("negative") << "-7" << -7;
    QTest::newRow("decimal point") << "2.5" << 99;
    QTest::newRow("letters") << "X#?" << 99;
    QTest::newRow("hex is not decimal") << "0x10" << 99;
    QTest::newRow("overflow") << "99999999999" << 99;
    QTest::newRow("no value") << QString() << 99;
}

void tst_CommandFraming::integerConversionKeepsFieldOnFailure()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    int field = 99;
    QCOMPARE(ReplyConversion::toInt(text, field), expected != 99);
    QCOMPARE(field, expected);
}

void tst_CommandFraming::booleanIsTrueForAnyNonZeroInteger()
{
    bool field = false;
    QVERIFY(ReplyConversion::toBool(QStringLiteral("5"), field));
    QCOMPARE(field, true);
    QVERIFY(ReplyConversion::toBool(QStringLiteral("0"), field));
    QCOMPARE(field, false);
    field = true;
    QVERIFY(!ReplyConversion::toBool(QStringLiteral("yes"), field));
    QCOMPARE(field, true);
    QVERIFY(!ReplyConversion::toBool(QStringLiteral("0.5"), field));
    QCOMPARE(field, true);
}

void tst_CommandFraming::doubleConversionIsLocaleIndependent()
{
    QLocale::setDefault(QLocale(QLocale::German));
    double field = 1.0;
    QVERIFY(ReplyConversion::toDouble(QStringLiteral(" -0.25 "), field));
    QCOMPARE(field, -0.25);
    QVERIFY(ReplyConversion::toDouble(QStringLiteral("1E-05"), field));
    QCOMPARE(field, 1e-05);
    QVERIFY(!ReplyConversion::toDouble(QStringLiteral("1,5"), field));
    QCOMPARE(field, 1e-05);
    QVERIFY(!ReplyConversion::toDouble(QStringLiteral("--------"), field));
    QVERIFY(!ReplyConversion::toDouble(QString(), field));
    QCOMPARE(field, 1e-05);
    QLocale::setDefault(QLocale::c());
}

void tst_CommandFraming::addressReplyAlwaysStored()
{
    QCOMPARE(ReplyConversion::toAddress(QStringLiteral("10.0.0.5")), QHostAddress(QStringLiteral("10.0.0.5")));
    QVERIFY(ReplyConversion::toAddress(QStringLiteral("not an address")).isNull());
    QVERIFY(ReplyConversion::toAddress(QString()).isNull());
}

void tst_CommandFraming::configReplySetsUnitAndAxisCount_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("moduleId");
    QTest::addColumn<int>("axisNum");
    QTest::newRow("0F") << "0F" << 0 << 16;
    QTest::newRow("A0") << "A0" << 10 << 1;
    QTest::newRow("lower case") << "b3" << 11 << 4;
    QTest::newRow("single character") << "5" << 5 << -1;
    QTest::newRow("bad first") << "G1" << -1 << 2;
    QTest::newRow("bad second") << "1Z" << 1 << -1;
    QTest::newRow("nothing") << QString() << -1 << -1;
}

void tst_CommandFraming::configReplySetsUnitAndAxisCount()
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

void tst_CommandFraming::refOffsetIsNaNUnlessUsedAndNumeric()
{
    QCOMPARE(ReplyConversion::toRefOffset(QStringLiteral("2.5"), true), 2.5);
    QVERIFY(std::isnan(ReplyConversion::toRefOffset(QStringLiteral("2.5"), false)));
    QVERIFY(std::isnan(ReplyConversion::toRefOffset(QStringLiteral("x"), true)));
    QVERIFY(std::isnan(ReplyConversion::toRefOffset(QString(), true)));
}

QTEST_APPLESS_MAIN(tst_CommandFraming)
#include "tst_commandframing.moc"
