// SPDX-License-Identifier: GPL-3.0-or-later
// A configuration file carries every setting exactly: a store with each setting at
// the edge of what it takes goes to a file and back unchanged. And a key given twice
// is found wherever it stands.

#include "commandinterface.h"
#include "configurationfile.h"

#include <QtTest>

#include <limits>

class tst_ConfigurationFile : public QObject
{
    Q_OBJECT

private slots:
    void storeGoesThroughAFileUnchanged_data();
    void storeGoesThroughAFileUnchanged();
    void keyGivenTwiceIsRefused_data();
    void keyGivenTwiceIsRefused();
};

void tst_ConfigurationFile::storeGoesThroughAFileUnchanged_data()
{
    // Each row fills every setting of every axis with one edge of its range.
    QTest::addColumn<bool>("highest");
    QTest::addColumn<double>("number");
    QTest::addColumn<QString>("address");
    QTest::newRow("lowest") << false << -std::numeric_limits<double>::max() << "0.0.0.0";
    QTest::newRow("highest") << true << std::numeric_limits<double>::max() << "255.255.255.255";
    QTest::newRow("smallest fraction") << false << std::numeric_limits<double>::denorm_min() << "10.0.0.1";
    QTest::newRow("seventeen digits") << true << 0.1 + 0.2 << "192.168.0.100";
    QTest::newRow("module's digits") << false << -123.4567 << "127.0.0.1";
}

void tst_ConfigurationFile::storeGoesThroughAFileUnchanged()
{
    QFETCH(bool, highest);
    QFETCH(double, number);
    QFETCH(QString, address);
    CommandInterface store;
    store.moduleId = 15;
    store.axisNum = ModuleProtocol::maxAxes;
    const QVector<SettingRef> settings = SettingCatalogue::inWriteOrder(store.axisNum);
    for (const SettingRef &setting : settings) {
        const Setting &row = *setting.setting;
        QJsonValue value;
        switch (row.kind) {
        case Setting::Code:
        case Setting::Integer:
            value = highest ? row.range.maximum : row.range.minimum;
            break;
        case Setting::Flag:
            value = highest;
            break;
        case Setting::Number:
            value = number;
            break;
        case Setting::Address:
            value = address;
            break;
        }
        setting.assign(store, value);
    }

    QStringList errors;
    const std::optional<ConfigurationFile> file = ConfigurationFile::parse(ConfigurationFile::fromStore(store).toJson(),
                                                                           &errors);
    QVERIFY2(file, qPrintable(errors.join(QLatin1Char('\n'))));
    QCOMPARE(file->axisCount(), ModuleProtocol::maxAxes);
    QCOMPARE(file->unitNumber(), 15);
    CommandInterface back;
    back.axisNum = ModuleProtocol::maxAxes;
    file->applyTo(back, true);
    int compared = 0;
    for (const SettingRef &setting : file->settings(true)) {
        QCOMPARE(setting.valueIn(back), setting.valueIn(store));
        ++compared;
    }
    // Every setting but the presets of axes with a reference point, which are their master values.
    QCOMPARE(compared, settings.size() - (highest ? ModuleProtocol::maxAxes : 0));
}

void tst_ConfigurationFile::keyGivenTwiceIsRefused_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("refused");
    QTest::newRow("at the top") << QByteArray(R"({"format": 1, "format": 2})") << "format: given more than once";
    QTest::newRow("in an axis") << QByteArray(R"({"axes": [{"axis": 0}, {"axis": 1, "preset": 1, "preset": 2}]})")
                                << "axes[1].preset: given more than once";
    QTest::newRow("written two ways") << QByteArray(R"({"module": {"unit": 0, "\u0075nit": 1}})")
                                      << "module.unit: given more than once";
    QTest::newRow("in text that looks like keys") << QByteArray(R"({"date": "\"a\": 1, \"a\": 2"})")
                                                  << "format: not \"qr36tn-settings\"";
    QTest::newRow("the same key in two objects") << QByteArray(R"({"axes": [{"axis": 0}, {"axis": 1}]})")
                                                 << "format: not \"qr36tn-settings\"";
}

void tst_ConfigurationFile::keyGivenTwiceIsRefused()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, refused);
    QStringList errors;
    QVERIFY(!ConfigurationFile::parse(json, &errors));
    QCOMPARE(errors.value(0).left(refused.size()), refused);
}

QTEST_GUILESS_MAIN(tst_ConfigurationFile)
#include "tst_configurationfile.moc"
