// Closing and deleting the window at awkward moments against the module simulator:
// the destructor must come back promptly, nothing may crash, and the module may see
// at most one more command once the window has gone.

#include "windowharness.h"

#include <QElapsedTimer>

namespace {

const QString moduleAddress = QStringLiteral("127.0.0.27");

enum class Moment {
    Idle,             // connected, nothing under way
    SettingPause,     // Apply: in the pause after "SETUP"
    SilentReadBack,   // Apply: waiting for a read-back the module does not answer
    SilentPoll,       // monitor: waiting for a reading the module does not send
    ConnectionRead    // "Connect": the module stopped answering during the parameter read
};

int countSince(const QStringList &commands, int first, const QString &pattern)
{
    return WindowHarness::countMatching(commands.mid(first), pattern);
}

} // namespace

Q_DECLARE_METATYPE(Moment)

class tst_Shutdown : public QObject
{
    Q_OBJECT

private slots:
    void deleteWindowAt_data();
    void deleteWindowAt();
};

void tst_Shutdown::deleteWindowAt_data()
{
    QTest::addColumn<Moment>("moment");
    QTest::newRow("idle") << Moment::Idle;
    QTest::newRow("setting pause of an Apply") << Moment::SettingPause;
    QTest::newRow("unanswered read-back of an Apply") << Moment::SilentReadBack;
    QTest::newRow("unanswered monitor poll") << Moment::SilentPoll;
    QTest::newRow("unanswered parameter read") << Moment::ConnectionRead;
}

void tst_Shutdown::deleteWindowAt()
{
    QFETCH(Moment, moment);

    WindowHarness harness(moduleAddress);
    SimulatorOptions options;
    options.axisCount = 1;
    if (moment == Moment::SilentReadBack)
        options.silentPatterns << WindowHarness::whole(QStringLiteral("0SCALE=\\?"));
    else if (moment == Moment::SilentPoll)
        options.silentPatterns << WindowHarness::whole(QStringLiteral("R"));
    else if (moment == Moment::ConnectionRead)
        options.silentPatterns << WindowHarness::whole(QStringLiteral("(?!CONFIG=\\?).*"));
    QVERIFY(harness.startSimulator(options));

    // Counted in this thread, when the simulator has seen the link's socket close.
    QObject receiver;
    int disconnections = 0;
    QObject::connect(harness.simulator().simulator(), &ModuleSimulator::clientDisconnected, &receiver,
                     [&disconnections]() { ++disconnections; });

    harness.openWindow();
    if (moment == Moment::ConnectionRead) {
        WindowHarness::type(harness.addressEdit(), moduleAddress);
        WindowHarness::click(harness.connectButton());
        // The configuration is answered; the first query after it is not.
        QVERIFY(harness.simulator().waitForCommandCount(5, WindowHarness::waitMs));
        QCOMPARE(harness.commands().at(4), QStringLiteral("0SCALE=?"));
        QVERIFY(harness.busyDialog()->isVisible());
    } else {
        QVERIFY(harness.connectModule());
        const int readLength = harness.commandCount();
        auto *apply = harness.onPage<QPushButton>("page_MeasureSetting", QStringLiteral("pushButton_ApplySetting"));
        switch (moment) {
        case Moment::Idle:
            break;
        case Moment::SettingPause:
            WindowHarness::click(apply);
            QTRY_COMPARE_WITH_TIMEOUT(countSince(harness.commands(), readLength, QStringLiteral("SETUP")), 1,
                                      WindowHarness::waitMs);
            break;
        case Moment::SilentReadBack:
            WindowHarness::click(apply);
            QTRY_COMPARE_WITH_TIMEOUT(countSince(harness.commands(), readLength, QStringLiteral("0SCALE=\\?")), 1,
                                      WindowHarness::waitMs);
            QCOMPARE(harness.commands().last(), QStringLiteral("0SCALE=?"));
            break;
        case Moment::SilentPoll:
            harness.openPage("pushButton_MeasureMonitor");
            QTRY_COMPARE_WITH_TIMEOUT(countSince(harness.commands(), readLength, QStringLiteral("R")), 1,
                                      WindowHarness::waitMs);
            break;
        case Moment::ConnectionRead:
            break;
        }
        if (moment != Moment::Idle)
            QVERIFY(moment == Moment::SilentPoll || harness.busyDialog()->isVisible());
    }

    const qint64 goneAtNs = harness.simulator().simulator()->nsecsSinceStart();
    QElapsedTimer clock;
    clock.start();
    harness.window()->close();
    harness.deleteWindow();
    const qint64 tookMs = clock.elapsed();
    qInfo("closing and deleting the window took %lld ms", tookMs);
    QVERIFY(tookMs < 5000);

    // The link and its socket go with the worker thread.
    QTRY_COMPARE_WITH_TIMEOUT(disconnections, 1, WindowHarness::waitMs);
    QTest::qWait(100);
    QStringList late;
    for (const ReceivedCommand &command : harness.simulator().commandLog()) {
        if (command.timestampNs > goneAtNs)
            late << command.text;
    }
    QVERIFY2(late.size() <= 1, qPrintable(late.join(QLatin1Char(' '))));
    if (moment == Moment::Idle)
        QVERIFY(late.isEmpty());
}

QTEST_MAIN(tst_Shutdown)
#include "tst_shutdown.moc"
