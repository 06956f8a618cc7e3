// The link against a module that misbehaves in ways that must not corrupt data:
// replies in pieces or late never shift a value into another field, the monitor
// decodes with the format the module uses, and a stop in the middle of a write
// still closes the setting bracket.

#include "linktestsupport.h"

#include <QLoggingCategory>
#include <QtTest>

#include <cmath>
#include <utility>

namespace {

// A module whose every field differs from the link's initial store and from its
// neighbours, so that a value landing in the wrong field shows.
ModuleModel distinctModel(int axes)
{
    ModuleModel m;
    m.axisCount = axes;
    for (int a = 0; a < axes; ++a) {
        m.resolution[a] = 2 + a % 4;
        m.direction[a] = a % 2 == 0;
        m.measMode[a] = 1 + a % 3;
        m.preset[a] = 0.5 + a;
        for (int set = 0; set < 4; ++set) {
            m.compHigh[set][a] = 10 * a + set + 1.25;
            m.compLow[set][a] = -10 * a - set - 1.75;
        }
        m.compSet[a] = 2 + a % 3;
        m.refUse[a] = a % 3 == 1;
        m.refOffset[a] = 0.125 * a;
        m.paramAddr[a] = 500 + a;
    }
    m.extStartInput = m.separator = m.flowControl = 1;
    m.dataFormat = 1;
    m.outputTrigger = 5;
    m.moduleIpAddr = QHostAddress(QStringLiteral("127.0.0.9"));
    m.subnetMask = QHostAddress(QStringLiteral("255.0.0.0"));
    m.plcIpAddr = QHostAddress(QStringLiteral("127.0.0.10"));
    m.plcEtherPort = 20001;
    m.usingPlcLink = true;
    m.linkProtocol = {5, 1, 2};
    m.finsSA1 = 11;
    m.finsDA1 = 12;
    m.finsDNA = 13;
    m.cmodeUnitNo = 14;
    m.ctrlFlagAddr = 100;
    m.measDataAddr = 300;
    return m;
}

// "name = value" for every field a parameter read fills; the link's store and the
// module's model share the field names.
template <typename Fields>
QStringList dump(const Fields &f, int axes)
{
    QStringList lines;
    const auto add = [&lines](const QString &name, const auto &value) {
        QString text;
        QDebug(&text).nospace() << value;
        lines << name + QStringLiteral(" = ") + text;
    };
    for (int a = 0; a < axes; ++a) {
        const QString n = QLatin1Char(' ') + QString::number(a);
        add("resolution" + n, f.resolution[a]);
        add("direction" + n, f.direction[a]);
        add("measMode" + n, f.measMode[a]);
        add("preset" + n, f.preset[a]);
        for (int set = 0; set < 4; ++set) {
            add("compHigh" + n + QString::number(set), f.compHigh[set][a]);
            add("compLow" + n + QString::number(set), f.compLow[set][a]);
        }
        add("compSet" + n, f.compSet[a]);
        add("refUse" + n, f.refUse[a]);
        add("refOffset" + n, f.refUse[a] ? f.refOffset[a] : 0.0);
        add("paramAddr" + n, f.paramAddr[a]);
    }
    for (const auto &[name, value] : {std::pair{"extStartInput", f.extStartInput}, {"separator", f.separator},
                                      {"dataFormat", f.dataFormat}, {"outputTrigger", f.outputTrigger},
                                      {"unit", f.unit}, {"flowControl", f.flowControl},
                                      {"plcEtherPort", f.plcEtherPort}, {"linkProtocol1", f.linkProtocol[0]},
                                      {"linkProtocol2", f.linkProtocol[1]}, {"linkProtocol3", f.linkProtocol[2]},
                                      {"finsSA1", f.finsSA1}, {"finsDA1", f.finsDA1}, {"finsDNA", f.finsDNA},
                                      {"cmodeUnitNo", f.cmodeUnitNo}, {"ctrlFlagAddr", f.ctrlFlagAddr},
                                      {"measDataAddr", f.measDataAddr}})
        add(QLatin1String(name), value);
    add("usingPlcLink", f.usingPlcLink);
    add("moduleIpAddr", f.moduleIpAddr.toString());
    add("subnetMask", f.subnetMask.toString());
    add("plcIpAddr", f.plcIpAddr.toString());
    return lines;
}

// Connects a link living in this thread; the parameter read runs while it waits.
bool readParameters(CommandInterface &link, const SimulatorThread &simulator)
{
    // With the inch option on, the read opens no setting bracket and is a second shorter.
    link.inchEnabled = true;
    QSignalSpy connected(&link, &CommandInterface::transmitConnected);
    link.connectToHost(loopbackAddress(), simulator.serverPort());
    return connected.wait(60000);
}

// The link in a worker thread of its own, driven through queued calls as the window
// drives it; its signals are counted in the test thread.
class WorkerLink : public QObject
{
    Q_OBJECT

public:
    explicit WorkerLink(quint16 port)
        : link(new CommandInterface)
    {
        link->inchEnabled = true;
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

Q_DECLARE_METATYPE(SimulatorOptions::LateReply)

class tst_ReplyIntegrity : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false")); }
    void everyReplyInTwoPiecesYieldsTheModulesValues();
    void lateReplyCostsOnlyItsOwnField_data();
    void lateReplyCostsOnlyItsOwnField();
    void monitorDecodesWithTheFormatTheModuleUses();
    void stopAfterSetupStillCloses_data();
    void stopAfterSetupStillCloses();
};

void tst_ReplyIntegrity::everyReplyInTwoPiecesYieldsTheModulesValues()
{
    SimulatorOptions options = simulatorOptions(16);
    options.splitPatterns << SimulatorOptions::wholeCommand(QStringLiteral(".*"));
    options.splitGapMs = 2;
    SimulatorThread simulator(options);
    const ModuleModel model = distinctModel(16);
    simulator.setModel(model);
    QVERIFY(simulator.start());
    CommandInterface link;
    QVERIFY(readParameters(link, simulator));
    QCOMPARE(link.axisNum, 16);
    QCOMPARE(dump(link, 16), dump(model, 16));
}

void tst_ReplyIntegrity::lateReplyCostsOnlyItsOwnField_data()
{
    QTest::addColumn<SimulatorOptions::LateReply>("late");
    QTest::newRow("holding back the replies after it") << SimulatorOptions::LateReply::InOrder;
    QTest::newRow("arriving during a pause") << SimulatorOptions::LateReply::Alone;
    QTest::newRow("released as the next command arrives") << SimulatorOptions::LateReply::WithNextCommand;
}

void tst_ReplyIntegrity::lateReplyCostsOnlyItsOwnField()
{
    QFETCH(SimulatorOptions::LateReply, late);
    SimulatorOptions options = simulatorOptions(2);
    options.replyDelayMs = 1200;
    options.delayPatterns << SimulatorOptions::wholeCommand(QStringLiteral("00CH1=\\?"));
    options.lateReply = late;
    SimulatorThread simulator(options);
    const ModuleModel model = distinctModel(2);
    simulator.setModel(model);
    QVERIFY(simulator.start());
    CommandInterface link;
    QVERIFY(readParameters(link, simulator));

    QStringList wrong = dump(link, 2);
    for (const QString &line : dump(model, 2))
        wrong.removeOne(line);
    QCOMPARE(wrong, QStringList{"compHigh 00 = 0"});
}

void tst_ReplyIntegrity::monitorDecodesWithTheFormatTheModuleUses()
{
    SimulatorThread simulator(simulatorOptions(2));
    ModuleModel model = distinctModel(2);
    model.measMode[0] = 1;
    simulator.setModel(model);
    QVERIFY(simulator.start());
    CommandInterface link;
    QVERIFY(readParameters(link, simulator));

    // The window captured another code from the page and did not apply it.
    link.dataFormat = 0;
    QSignalSpy readings(&link, &CommandInterface::onCompleteUpdateMeasure);
    link.sendUpdateMeasure();
    QCOMPARE(readings.count(), 1);
    const MeasurementSnapshot reading = link.measurementSnapshot();
    QCOMPARE(reading.modeText[0], QStringLiteral("MAX"));
    QVERIFY(!std::isnan(reading.measValue[1]));
}

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
