// SPDX-License-Identifier: GPL-3.0-or-later
// The address ranges of a scan, as an operator types them into the window's field
// or onto the command line.

#include "addressrange.h"

#include <QtTest>

class tst_AddressRange : public QObject
{
    Q_OBJECT

private slots:
    void rangesGiveTheirAddresses_data();
    void rangesGiveTheirAddresses();
};

void tst_AddressRange::rangesGiveTheirAddresses_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("count"); // -1: refused
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("problem");

    QTest::newRow("network without its network and broadcast addresses")
            << "192.168.0.0/24" << 254 << "192.168.0.1" << "192.168.0.254" << "";
    QTest::newRow("network named by one of its addresses")
            << "192.168.0.77/24" << 254 << "192.168.0.1" << "192.168.0.254" << "";
    QTest::newRow("/30") << "10.0.0.9/30" << 2 << "10.0.0.9" << "10.0.0.10" << "";
    QTest::newRow("/31 has no network address") << "10.0.0.9/31" << 2 << "10.0.0.8" << "10.0.0.9" << "";
    QTest::newRow("/32") << "10.0.0.9/32" << 1 << "10.0.0.9" << "10.0.0.9" << "";
    QTest::newRow("range") << "192.168.0.10-192.168.0.60" << 51 << "192.168.0.10" << "192.168.0.60" << "";
    QTest::newRow("range over an octet") << "10.0.0.250-10.0.1.5" << 12 << "10.0.0.250" << "10.0.1.5" << "";
    QTest::newRow("single address") << "10.1.2.3" << 1 << "10.1.2.3" << "10.1.2.3" << "";
    QTest::newRow("overlapping, by blanks and commas, counted once")
            << " 10.0.0.100-10.0.1.10, 10.0.0.5  10.0.0.0/24 " << 266 << "10.0.0.1" << "10.0.1.10" << "";
    QTest::newRow("a /16 at most") << "172.16.0.0/16" << 65534 << "172.16.0.1" << "172.16.255.254" << "";

    const QString none;
    QTest::newRow("more than a /16") << "172.16.0.0/15" << -1 << none << none
                                     << "the ranges hold 131070 addresses; a scan takes at most 65536";
    QTest::newRow("nothing") << "  , " << -1 << none << none << "no address range given";
    QTest::newRow("prefix too long") << "10.0.0.0/33" << -1 << none << none
                                     << "\"10.0.0.0/33\": the prefix length after \"/\" must be a whole number from 0 to 32";
    QTest::newRow("prefix missing") << "10.0.0.0/" << -1 << none << none << "the prefix length";
    QTest::newRow("short address") << "10.0.0/24" << -1 << none << none << "\"10.0.0\" is not an IPv4 address";
    QTest::newRow("host names") << "module-7" << -1 << none << none << "\"module-7\" is not a range of IPv4 addresses";
    QTest::newRow("backwards") << "10.0.0.9-10.0.0.1" << -1 << none << none
                               << "\"10.0.0.9-10.0.0.1\" runs backwards: give the lower address first";
    QTest::newRow("network and range in one") << "10.0.0.0/24-10.0.1.0" << -1 << none << none << "is no range";
    QTest::newRow("this computer") << "0.0.0.0-0.0.0.9" << -1 << none << none
                                   << "\"0.0.0.0-0.0.0.9\": \"0.0.0.0\" stands for this computer";
    QTest::newRow("multicast") << "223.255.255.250-224.0.0.5" << -1 << none << none
                               << "\"224.0.0.0\" is a multicast address, not a module's address";
    QTest::newRow("broadcast") << "255.255.255.250-255.255.255.255" << -1 << none << none
                               << "\"255.255.255.255\" is the broadcast address";
}

void tst_AddressRange::rangesGiveTheirAddresses()
{
    QFETCH(QString, typed);
    QFETCH(int, count);
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(QString, problem);

    QString found;
    const std::optional<QVector<QHostAddress>> addresses = AddressRange::addressesOf(AddressRange::split(typed), &found);
    if (count < 0) {
        QVERIFY(!addresses);
        QVERIFY2(found.contains(problem), qPrintable(found));
        return;
    }
    QVERIFY2(addresses, qPrintable(found));
    QCOMPARE(addresses->size(), count);
    QCOMPARE(addresses->first().toString(), first);
    QCOMPARE(addresses->last().toString(), last);
    // Ascending, each once.
    for (int i = 1; i < addresses->size(); ++i)
        QVERIFY(addresses->at(i - 1).toIPv4Address() < addresses->at(i).toIPv4Address());
}

QTEST_GUILESS_MAIN(tst_AddressRange)
#include "tst_addressrange.moc"
