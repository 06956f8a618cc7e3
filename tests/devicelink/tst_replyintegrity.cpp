// The link against a module that misbehaves in ways that must not corrupt data:
// a stop in the middle of a write still closes the setting bracket.

#include "linktestsupport.h"

#include <QLoggingCategory>
#include <QtTest>

namespace {

// The link in a worker thread of its own, driven through queued calls as the window
// drives it; its signals are counted in the test thread.
class WorkerLink : public QObject
{
    Q_OBJECT

public:
    explicit WorkerLink(quint16 port)
        : link(new CommandInterface)
    {
        link->moveToThread(&thread);
        connect(&thread, &QThread::finished, link, &QObject::deleteLater);
        connect(link, &CommandInterface::transmitConnected, this, [this] { ++connected; });
        connect(link, &CommandInterface::onCompleteMeasureSetting, this, [this] { ++completed; });
        thread.start();
        run([this, port] { link->connectToHost(loopbackAddress(), port); });
    }
    ~WorkerLink() override
    {
        thread.requestInterruption();
        thread.quit();
        thread.wait();
    }

    template <typename Call>
    void run(Call call) { QMetaObject::invokeMethod(link, call, Qt::QueuedConnection); }

    QThread thread;
    CommandInterface *link; // deleted in its thread when that finishes
    int connected = 0;
    int completed = 0;
};

} // namespace

class tst_ReplyIntegrity : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false")); }
    void stopAfterSetupStillCloses_data();
    void stopAfterSetupStillCloses();
};

void tst_ReplyIntegrity::stopAfterSetupStillCloses_data()
{
    QTest::addColumn<QString>("stop");
    QTest::addColumn<QStringList>("wire");
    // The query after the operation shows that a cancel is forgotten once an operation ended.
    QTest::newRow("shutdown") << "interruption" << QStringList{"SETUP", "CLOSE"};
    QTest::newRow("cancel") << "cancel" << QStringList{"SETUP", "CLOSE", "0VER=?"};
    QTest::newRow("cancel while queued") << "queued cancel" << QStringList{"0VER=?"};
}

void tst_ReplyIntegrity::stopAfterSetupStillCloses()
{
    QFETCH(QString, stop);
    QFETCH(QStringList, wire);
    SimulatorThread simulator(simulatorOptions(1));
    QVERIFY(simulator.start());
    QObject receiver;
    bool disconnected = false;
    connect(simulator.simulator(), &ModuleSimulator::clientDisconnected, &receiver, [&] { disconnected = true; });
    WorkerLink worker(simulator.serverPort());
    QTRY_COMPARE_WITH_TIMEOUT(worker.connected, 1, 30000);
    simulator.clearCommandLog();

    if (stop == QLatin1String("queued cancel"))
        worker.link->requestCancel();
    worker.run([&worker] { worker.link->sendMeasureSetting(); });
    if (stop != QLatin1String("queued cancel")) {
        // Asked during the second-long pause after "SETUP".
        QVERIFY(simulator.waitForCommandCount(1, 5000));
        if (stop == QLatin1String("cancel"))
            worker.link->requestCancel();
        else
            worker.thread.requestInterruption();
    }
    QTRY_COMPARE_WITH_TIMEOUT(worker.completed, 1, 10000);
    if (stop != QLatin1String("interruption"))
        QVERIFY(worker.link->operationCancelled());
    // Whatever the link sent reaches the module before the connection ends.
    worker.run([&worker] {
        worker.link->queryVersion();
        worker.link->disconnectFromHost();
    });
    QTRY_VERIFY_WITH_TIMEOUT(disconnected, 10000);
    QCOMPARE(simulator.commandTexts(), wire);
}

QTEST_GUILESS_MAIN(tst_ReplyIntegrity)
#include "tst_replyintegrity.moc"
