// SPDX-License-Identifier: GPL-3.0-or-later
// Closing and deleting the window at awkward moments against the module simulator:
// it must come back promptly, not crash, and the module may see at most one more
// command once the window has gone.

#include "windowharness.h"

#include <QElapsedTimer>

class tst_Shutdown : public QObject
{
    Q_OBJECT

private slots:
    void deleteWindowAt_data();
    void deleteWindowAt();
};

void tst_Shutdown::deleteWindowAt_data()
{
    QTest::addColumn<QString>("silent");  // the commands the module leaves unanswered
    QTest::addColumn<QString>("press");   // after connecting; "" for the moment of connecting
    QTest::addColumn<QString>("awaited"); // the command the module has seen when the window goes
    QTest::addColumn<int>("late");        // commands the module may see after that
    QTest::newRow("idle") << QString() << "pushButton_MeasureSetting" << QString() << 0;
    QTest::newRow("setting pause of an Apply") << QString() << "pushButton_ApplySetting" << "SETUP" << 1;
    QTest::newRow("unanswered monitor poll") << "R" << "pushButton_MeasureMonitor" << "R" << 1;
    QTest::newRow("unanswered parameter read") << "(?!CONFIG=\\?).*" << QString() << "0SCALE=?" << 1;
}

void tst_Shutdown::deleteWindowAt()
{
    QFETCH(QString, silent);
    QFETCH(QString, press);
    QFETCH(QString, awaited);
    QFETCH(int, late);
    WindowHarness harness(true);
    SimulatorOptions options;
    options.axisCount = 1;
    if (!silent.isEmpty())
        options.silentPatterns << SimulatorOptions::wholeCommand(silent);
    QVERIFY(harness.startSimulator(options));
    // Counted in this thread once the simulator has seen the link's socket close.
    QObject receiver;
    int disconnections = 0;
    QObject::connect(harness.simulator().simulator(), &ModuleSimulator::clientDisconnected, &receiver,
                     [&disconnections] { ++disconnections; });

    harness.openWindow();
    WindowHarness::type(harness.addressEdit(), harness.moduleAddress());
    WindowHarness::click(harness.connectButton());
    if (!press.isEmpty()) {
        QVERIFY(harness.waitFor(QStringLiteral("Disconnect")));
        harness.simulator().clearCommandLog();
        WindowHarness::click(harness.window()->findChild<QPushButton *>(press)); // the measure page's Apply
    }
    if (!awaited.isEmpty())
        QTRY_VERIFY_WITH_TIMEOUT(harness.commands().contains(awaited), WindowHarness::waitMs);

    const qint64 goneAtNs = harness.simulator().simulator()->nsecsSinceStart();
    QElapsedTimer clock;
    clock.start();
    harness.window()->close();
    harness.deleteWindow();
    // A bound for a hang, not a speed: the worker gets 1.4 s to finish its step.
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));

    // The link and its socket go with the worker thread; what it sent before, the
    // simulator has logged by the time it sees the socket close.
    QTRY_COMPARE_WITH_TIMEOUT(disconnections, 1, WindowHarness::waitMs);
    QStringList sent;
    for (const ReceivedCommand &command : harness.simulator().commandLog()) {
        if (command.timestampNs > goneAtNs)
            sent << command.text;
    }
    QVERIFY2(sent.size() <= late, qPrintable(sent.join(QLatin1Char(' '))));
}

QTEST_MAIN(tst_Shutdown)
#include "tst_shutdown.moc"
