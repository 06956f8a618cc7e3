// The link as the window uses it: its initial store, connection failures and
// losses, and the worker-thread behaviour (queued requests, coalesced measurement
// polls, a consistent reading, and stopping a running operation at shutdown).

#include "linktestsupport.h"

#include <QtTest>

#include <QTcpServer>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>


namespace {

quint16 closedLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

// The link in a worker thread of its own, driven through queued signals as the
// window drives it; what it signals is recorded in the test thread.
class WorkerLink : public QObject
{
    Q_OBJECT

public:
    WorkerLink()
        : link(new CommandInterface)
    {
        link->moveToThread(&thread);
        connect(this, &WorkerLink::connectToHost, link, &CommandInterface::connectToHost);
        connect(this, &WorkerLink::disconnectFromHost, link, &CommandInterface::disconnectFromHost);
        connect(this, &WorkerLink::sendMeasureSetting, link, &CommandInterface::sendMeasureSetting);
        connect(this, &WorkerLink::sendRefPointClear, link, &CommandInterface::sendRefPointClear);
        connect(link, &CommandInterface::transmitConnected, this, [this] { events << QStringLiteral("connected"); });
        connect(link, &CommandInterface::transmitDisconnected, this, [this] { events << QStringLiteral("disconnected"); });
        connect(link, &CommandInterface::onCompleteMeasureSetting, this, [this] { events << QStringLiteral("measure done"); });
        connect(link, &CommandInterface::onCompleteRefPointClear, this,
                [this](int id) { events << QStringLiteral("clear done %1").arg(id); });
        connect(link, &CommandInterface::onCompleteUpdateMeasure, this, [this] { events << QStringLiteral("reading"); });
        connect(link, &CommandInterface::onErrorOccurred, this,
                [this](QAbstractSocket::SocketError error) { events << QStringLiteral("error %1").arg(error); });
        thread.start();
    }
    ~WorkerLink() override { stop(); }

    void connectTo(quint16 port) { emit connectToHost(loopbackAddress(), port); }
    // Stops a running operation, deletes the link in its thread and ends the thread.
    // The deletion is awaited with standard primitives, so the sanitizers see it too.
    bool stop(unsigned long waitMs = 10000)
    {
        thread.requestInterruption();
        if (link) {
            bool destroyed = false;
            std::mutex mutex;
            std::condition_variable changed;
            connect(link, &QObject::destroyed, [&] {
                const std::lock_guard<std::mutex> lock(mutex);
                destroyed = true;
                changed.notify_all();
            });
            link->deleteLater();
            link = nullptr;
            std::unique_lock<std::mutex> lock(mutex);
            if (!changed.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return destroyed; }))
                return false;
        }
        thread.quit();
        return thread.wait(waitMs);
    }

    QThread thread;
    CommandInterface *link; // deleted in its thread by stop()
    QStringList events;

signals:
    void connectToHost(uint address, int port);
    void disconnectFromHost();
    void sendMeasureSetting();
    void sendRefPointClear(int id);
};

} // namespace

class tst_CommandInterface : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void storeBeforeAnyConnection();
    void refusedConnectionYieldsOnlyAnError();
    void portIsUsedModulo65536();
    void moduleClosingWhileIdleKeepsTheStore();
    void moduleClosingMidWriteStillCompletes();
    void workerThreadRunsRequestsInOrder();
    void measurePollsDoNotPileUp();
    void measurementReachesTheSnapshot();
    void interruptionStopsARunningOperation();
};

void tst_CommandInterface::initTestCase()
{
    qRegisterMetaType<QAbstractSocket::SocketError>();
}

void tst_CommandInterface::storeBeforeAnyConnection()
{
    const CommandInterface store;
    QCOMPARE(store.moduleId, -1);
    QCOMPARE(store.axisNum, -1);
    QCOMPARE(store.dataFormat, 2);
    QCOMPARE(store.plcEtherPort, 60000);
    for (int axis = 0; axis < 16; ++axis) {
        QCOMPARE(store.resolution[axis], 1);
        QCOMPARE(store.compSet[axis], 1);
        QVERIFY(std::isnan(store.refOffset[axis]));
    }
    // Defaults are only compared as addresses here; nothing dials them.
    QCOMPARE(store.moduleIpAddr, QHostAddress(QStringLiteral("192.168.0.100")));
    QCOMPARE(store.subnetMask, QHostAddress(QStringLiteral("255.255.255.0")));
    QCOMPARE(store.plcIpAddr, QHostAddress(QStringLiteral("192.168.0.10")));
    QVERIFY(store.version.isEmpty());
    QVERIFY(!store.measurePollPending());

    // The signals and slots keep their meta-method order: the window and tests rely on it.
    const QMetaObject &meta = CommandInterface::staticMetaObject;
    const int first = meta.methodOffset();
    QCOMPARE(meta.method(first).methodSignature(), QByteArray("transmitConnected()"));
    QCOMPARE(meta.method(first + 2).methodSignature(), QByteArray("onErrorOccurred(QAbstractSocket::SocketError)"));
    QCOMPARE(meta.method(first + 9).methodSignature(), QByteArray("setProgMaximum(int)"));
    // The communication log's signal came last among the signals.
    QCOMPARE(meta.method(first + 10).methodSignature(), QByteArray("communicationLogged(CommunicationLogEntry)"));
    QCOMPARE(meta.method(first + 11).methodSignature(), QByteArray("connectToHost(uint,int)"));
    QCOMPARE(meta.method(first + 21).methodSignature(), QByteArray("sendCrash()"));
    QCOMPARE(meta.methodCount() - first, 22);
}

void tst_CommandInterface::refusedConnectionYieldsOnlyAnError()
{
    const quint16 port = closedLoopbackPort();
    QVERIFY(port != 0);
    CommandInterface link;
    QSignalSpy errors(&link, &CommandInterface::onErrorOccurred);
    QSignalSpy connected(&link, &CommandInterface::transmitConnected);
    QSignalSpy disconnected(&link, &CommandInterface::transmitDisconnected);
    link.connectToHost(loopbackAddress(), port);
    QVERIFY(errors.wait(5000));
    QCOMPARE(errors.first().first().value<QAbstractSocket::SocketError>(), QAbstractSocket::ConnectionRefusedError);
    QTest::qWait(300);
    QCOMPARE(connected.count(), 0);
    QCOMPARE(disconnected.count(), 0);
    QCOMPARE(errors.count(), 1);

    // A later attempt starts afresh.
    SimulatorThread simulator(simulatorOptions(1));
    QVERIFY(simulator.start());
    link.connectToHost(loopbackAddress(), simulator.serverPort());
    QVERIFY(connected.wait(30000));
    QCOMPARE(link.axisNum, 1);
}

void tst_CommandInterface::portIsUsedModulo65536()
{
    SimulatorThread simulator(simulatorOptions(1, 5));
    QVERIFY(simulator.start());
    CommandInterface link;
    QSignalSpy connected(&link, &CommandInterface::transmitConnected);
    link.connectToHost(loopbackAddress(), simulator.serverPort() + 65536);
    QVERIFY(connected.wait(30000));
    QCOMPARE(link.moduleId, 5);
}

void tst_CommandInterface::moduleClosingWhileIdleKeepsTheStore()
{
    // The parameter read of one axis is 40 commands; the module drops the 41st.
    SimulatorOptions options = simulatorOptions(1);
    options.closeAfter = 41;
    SimulatorThread simulator(options);
    ModuleModel model = simulator.model();
    model.preset[0] = 4.5;
    simulator.setModel(model);
    QVERIFY(simulator.start());

    CommandInterface link;
    QSignalSpy connected(&link, &CommandInterface::transmitConnected);
    QSignalSpy disconnected(&link, &CommandInterface::transmitDisconnected);
    QSignalSpy errors(&link, &CommandInterface::onErrorOccurred);
    link.connectToHost(loopbackAddress(), simulator.serverPort());
    QVERIFY(connected.wait(30000));
    QCOMPARE(simulator.commandTexts().size(), 40);

    link.queryVersion();
    QVERIFY(disconnected.wait(5000));
    QCOMPARE(disconnected.count(), 1);
    QVERIFY(errors.count() >= 1);
    QCOMPARE(errors.last().first().value<QAbstractSocket::SocketError>(), QAbstractSocket::RemoteHostClosedError);
    QCOMPARE(link.preset[0], 4.5);
    QCOMPARE(link.axisNum, 1);
}

void tst_CommandInterface::moduleClosingMidWriteStillCompletes()
{
    SimulatorOptions options = simulatorOptions(1);
    options.closeAfter = 40 + 6;
    SimulatorThread simulator(options);
    QVERIFY(simulator.start());

    CommandInterface link;
    QSignalSpy connected(&link, &CommandInterface::transmitConnected);
    QSignalSpy disconnected(&link, &CommandInterface::transmitDisconnected);
    QSignalSpy completed(&link, &CommandInterface::onCompleteMeasureSetting);
    link.connectToHost(loopbackAddress(), simulator.serverPort());
    QVERIFY(connected.wait(30000));
    QCOMPARE(link.compSet[0], 1);

    // The module drops the connection on the sixth command of the write, the first
    // comparator limit: the resolution before it arrives, the comparator set after it does not.
    link.resolution[0] = 5;
    link.compSet[0] = 3;
    link.sendMeasureSetting();
    // The whole operation ran to its completion; the loss is reported after it.
    QCOMPARE(completed.count(), 1);
    QCOMPARE(disconnected.count(), 0);
    QVERIFY(disconnected.wait(5000));
    // The read-back found no module, so the store keeps what the window put there.
    QCOMPARE(link.compSet[0], 3);

    // The simulator serves the next client: a new connection reads everything again.
    link.connectToHost(loopbackAddress(), simulator.serverPort());
    QVERIFY(connected.wait(30000));
    QCOMPARE(connected.count(), 2);
    QCOMPARE(link.resolution[0], 5);
    QCOMPARE(link.compSet[0], 1);
}

void tst_CommandInterface::workerThreadRunsRequestsInOrder()
{
    SimulatorThread simulator(simulatorOptions(2));
    QVERIFY(simulator.start());
    WorkerLink worker;
    worker.connectTo(simulator.serverPort());
    QTRY_VERIFY_WITH_TIMEOUT(worker.events.contains(QStringLiteral("connected")), 30000);
    // Two requests queued at once run one after the other, in order.
    emit worker.sendMeasureSetting();
    emit worker.sendRefPointClear(1);
    QTRY_VERIFY_WITH_TIMEOUT(worker.events.contains(QStringLiteral("measure done")), 60000);

    QTRY_VERIFY_WITH_TIMEOUT(worker.events.size() == 3, 30000);
    QCOMPARE(worker.events, QStringList({QStringLiteral("connected"), QStringLiteral("measure done"),
                                         QStringLiteral("clear done 1")}));
    const QStringList commands = simulator.commandTexts();
    QCOMPARE(commands.first(), QStringLiteral("CONFIG=?"));
    QCOMPARE(commands.at(commands.indexOf(QStringLiteral("FLA=?")) + 1), QStringLiteral("SETUP"));
    QCOMPARE(commands.at(commands.indexOf(QStringLiteral("01LCLR")) - 2), QStringLiteral("0RSFLOW=?"));
    QCOMPARE(commands.last(), QStringLiteral("01REF=?"));

    emit worker.disconnectFromHost();
    QTRY_VERIFY_WITH_TIMEOUT(worker.events.contains(QStringLiteral("disconnected")), 10000);
    QVERIFY(worker.stop());
}

void tst_CommandInterface::measurePollsDoNotPileUp()
{
    SimulatorOptions options = simulatorOptions(2);
    options.silentPatterns << SimulatorOptions::wholeCommand(QStringLiteral("R"));
    SimulatorThread simulator(options);
    QVERIFY(simulator.start());
    WorkerLink worker;
    worker.connectTo(simulator.serverPort());
    QTRY_VERIFY_WITH_TIMEOUT(worker.events.contains(QStringLiteral("connected")), 30000);
    const int before = simulator.commandTexts().size();

    // Five ticks a second for two seconds against a module that never answers "R".
    QElapsedTimer elapsed;
    elapsed.start();
    int queued = 0;
    for (int tick = 0; tick < 10; ++tick) {
        queued += worker.link->requestMeasurePoll() ? 1 : 0;
        QTest::qWait(200);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!worker.link->measurePollPending(), 5000);
    const qint64 spentMs = elapsed.elapsed();

    const QStringList polls = simulator.commandTexts().mid(before);
    QCOMPARE(polls.count(QStringLiteral("R")), queued);
    QCOMPARE(polls.size(), queued);
    QVERIFY(queued >= 1);
    // Each unanswered poll holds the link for a second; no tick may queue behind it.
    QVERIFY(queued <= 1 + spentMs / 1000);
    QVERIFY(!worker.events.contains(QStringLiteral("reading")));
    QVERIFY(worker.stop());
}

void tst_CommandInterface::measurementReachesTheSnapshot()
{
    SimulatorOptions options = simulatorOptions(3);
    options.errorAxis = 1;
    SimulatorThread simulator(options);
    QVERIFY(simulator.start());
    WorkerLink worker;
    worker.connectTo(simulator.serverPort());
    QTRY_VERIFY_WITH_TIMEOUT(worker.events.contains(QStringLiteral("connected")), 30000);

    QVERIFY(worker.link->requestMeasurePoll());
    QTRY_VERIFY_WITH_TIMEOUT(worker.events.contains(QStringLiteral("reading")), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!worker.link->measurePollPending(), 5000);
    const MeasurementSnapshot reading = worker.link->measurementSnapshot();
    QVERIFY(!std::isnan(reading.measValue[0]));
    QVERIFY(std::isnan(reading.measValue[1]));
    QCOMPARE(reading.judge[1], 255);
    QVERIFY(!std::isnan(reading.measValue[2]));
    const QStringList modes = {QStringLiteral("REAL"), QStringLiteral("MAX"), QStringLiteral("MIN"), QStringLiteral("P-P")};
    QVERIFY(modes.contains(reading.modeText[0]));
    QVERIFY(reading.judge[0] == 0 || reading.judge[0] == 1 || reading.judge[0] == 2);
    // Axes the module does not have are not touched.
    QVERIFY(reading.modeText[3].isEmpty());
    QVERIFY(worker.stop());
}

void tst_CommandInterface::interruptionStopsARunningOperation()
{
    SimulatorThread simulator(simulatorOptions(2));
    QVERIFY(simulator.start());
    WorkerLink worker;
    worker.connectTo(simulator.serverPort());
    QTRY_VERIFY_WITH_TIMEOUT(worker.events.contains(QStringLiteral("connected")), 30000);
    simulator.clearCommandLog();

    emit worker.sendMeasureSetting();
    QVERIFY(simulator.waitForCommandCount(1, 5000));
    QCOMPARE(simulator.commandTexts().first(), QStringLiteral("SETUP"));

    // Asked to stop during the second-long pause after SETUP, as a closing window does.
    QElapsedTimer elapsed;
    elapsed.start();
    const qint64 requestedNs = simulator.simulator()->nsecsSinceStart();
    QVERIFY(worker.stop(10000));
    const qint64 stopMs = elapsed.elapsed();
    qInfo("worker stopped %lld ms after the request", stopMs);

    int sentAfterRequest = 0;
    for (const ReceivedCommand &command : simulator.commandLog())
        sentAfterRequest += command.timestampNs > requestedNs ? 1 : 0;
    QVERIFY(sentAfterRequest <= 1);
}

QTEST_GUILESS_MAIN(tst_CommandInterface)
#include "tst_commandinterface.moc"
