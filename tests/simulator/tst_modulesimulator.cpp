// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator is test equipment: this proves only that each fault switch the
// product's tests rely on really makes the module misbehave, as seen on the wire.
// Switches no product test relies on (split and late replies) are left out.

#include "simulatorthread.h"

#include <QTcpSocket>
#include <QtTest>

Q_DECLARE_METATYPE(SimulatorOptions)

class TestModuleSimulator : public QObject
{
    Q_OBJECT

private slots:
    void faultSwitches_data();
    void faultSwitches();
};

void TestModuleSimulator::faultSwitches_data()
{
    // The commands go out in one chunk. Where the connection is dropped, everything
    // the module sent before it is compared, so a reply it should have held back shows.
    QTest::addColumn<SimulatorOptions>("options");
    QTest::addColumn<QByteArray>("commands");
    QTest::addColumn<QByteArray>("received");

    auto pattern = [](const char *text) { return SimulatorOptions::wholeCommand(QLatin1String(text)); };
    SimulatorOptions options;
    options.closeAfter = 2;
    QTest::newRow("close after") << options << QByteArray("CONFIG=?NIP=?") << QByteArray("CONFIG=0F\r\n");

    options.closeAfter = 3;
    options.silentPatterns = {pattern("00RSL=\\?")};
    QTest::newRow("silent pattern") << options << QByteArray("00RSL=?CONFIG=?NIP=?") << QByteArray("CONFIG=0F\r\n");

    options.silentPatterns.clear();
    options.silentAfter = 1;
    QTest::newRow("silent after") << options << QByteArray("CONFIG=?00RSL=?NIP=?") << QByteArray("CONFIG=0F\r\n");

    options = SimulatorOptions();
    options.garblePatterns = {pattern("00RSL=\\?"), pattern("R")};
    QTest::newRow("garbled value") << options << QByteArray("00RSL=?") << QByteArray("00RSL=X#?\r\n");
    options.garbageValue = QStringLiteral("0 N G+1.50000");
    QTest::newRow("fixed reading") << options << QByteArray("R") << QByteArray("0 N G+1.50000\r\n");
    options.garbageValue = QStringLiteral("X#?");
    options.garbleAfter = 1;
    QTest::newRow("garbled after the first command")
            << options << QByteArray("00RSL=?00RSL=?") << QByteArray("00RSL=1\r\n00RSL=X#?\r\n");

    // Set commands that arrive together (a busy machine) are still taken one by one.
    QTest::newRow("set commands in one chunk")
            << SimulatorOptions() << QByteArray("SETUP00CH2=100CL2=-20.5LMD=1CLOSE00CH2=?00CL2=?LMD=?")
            << QByteArray("00CH2=1\r\n00CL2=-20.5\r\nLMD=1\r\n");
}

void TestModuleSimulator::faultSwitches()
{
    QFETCH(SimulatorOptions, options);
    QFETCH(QByteArray, commands);
    QFETCH(QByteArray, received);
    options.port = 0;
    SimulatorThread simulator(options);
    QVERIFY(simulator.start());
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, simulator.serverPort());
    QVERIFY(socket.waitForConnected(5000));

    socket.write(commands);
    QByteArray data;
    while (data.size() < received.size() && socket.waitForReadyRead(5000))
        data += socket.readAll();
    if (options.closeAfter > 0) {
        QVERIFY(socket.state() == QAbstractSocket::UnconnectedState || socket.waitForDisconnected(5000));
        data += socket.readAll();
    }
    QCOMPARE(data, received);
}

QTEST_GUILESS_MAIN(TestModuleSimulator)
#include "tst_modulesimulator.moc"
