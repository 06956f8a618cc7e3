// Which texts hold a value of each kind, and what value: the rules the window and
// the configuration program both apply before anything is written.

#include "fieldtext.h"

#include <QtTest>

using namespace FieldText;

class tst_FieldText : public QObject
{
    Q_OBJECT

private slots:
    void textsAndTheirValues_data();
    void textsAndTheirValues();
};

void tst_FieldText::textsAndTheirValues_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("value"); // written back as text; null when refused

    // Refusals of every kind are driven through the window in tst_inputchecks.
    QTest::newRow("number with a point") << "number" << "1.50" << "1.5";
    QTest::newRow("number with spaces and exponent") << "number" << " -2e-3 " << "-0.002";
    QTest::newRow("beyond double") << "number" << "1e999" << QString();
    QTest::newRow("port with sign") << "port" << "+65535" << "65535";
    QTest::newRow("negative port") << "port" << "-1" << QString();
    QTest::newRow("negative integer") << "integer" << "-5" << "-5";
    QTest::newRow("hexadecimal") << "integer" << "0x10" << QString();
    QTest::newRow("address with spaces") << "address" << " 10.0.0.5 " << "10.0.0.5";
    QTest::newRow("octet too large") << "address" << "127.0.0.300" << QString();
    QTest::newRow("IPv6") << "address" << "::1" << QString();
}

void tst_FieldText::textsAndTheirValues()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(QString, value);

    QString read;
    QString problem;
    if (kind == QLatin1String("number")) {
        if (const auto v = numberOf(text))
            read = number(*v);
        problem = numberProblem(text);
    } else if (kind == QLatin1String("address")) {
        if (const auto v = addressOf(text))
            read = address(*v);
        problem = addressProblem(text);
    } else {
        const IntegerRange range = kind == QLatin1String("port") ? portRange : anyInteger;
        if (const auto v = integerOf(text, range))
            read = integer(*v);
        problem = integerProblem(text, range);
    }
    QCOMPARE(read, value.isNull() ? QString() : value);
    // The words for a refused text quote it, so the operator sees what was refused.
    QVERIFY(problem.contains(text.isEmpty() ? QStringLiteral("empty") : QStringLiteral("\"%1\"").arg(text)));
}

QTEST_APPLESS_MAIN(tst_FieldText)
#include "tst_fieldtext.moc"
