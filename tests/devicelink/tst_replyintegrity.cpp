// SPDX-License-Identifier: GPL-3.0-or-later
// The link against a module that misbehaves in ways that must not corrupt data:
// replies in pieces or late never shift a value into another field, the monitor
// decodes with the format the module uses, and a stop in the middle of a write
// still closes the setting bracket.

#include "commandinterface.h"
#include "simulatorthread.h"

#include <QLoggingCategory>
#include <QtTest>

#include <algorithm>
#include <atomic>

namespace {

uint loopbackAddress()
{
    return QHostAddress(QHostAddress::LocalHost).toIPv4Address();
}

SimulatorOptions simulatorOptions(int axes)
{
    SimulatorOptions options;
    options.port = 0;
    options.axisCount = axes;
    return options;
}

// Every field differs from the link's initial store and from its neighbours, so a
// value that lands in the wrong field, or not at all, shows.
ModuleModel distinctModel(int axes)
{
    ModuleModel m;
    m.axisCount = axes;
    for (int a = 0; a < axes; ++a) {
        m.resolution[a] = 2 + a % 4;
        m.direction[a] = a % 2;
        m.measMode[a] = 1 + a % 3; // axis 0 reads "MAX"
        m.preset[a] = a + 0.5;
        m.compSet[a] = 2 + a % 3;
        m.refUse[a] = a % 3 == 1;
        m.paramAddr[a] = 500 + a;
        for (int set = 0; set < 4; ++set) {
            m.compHigh[set][a] = 10 * a + set + 1.25;
            m.compLow[set][a] = -m.compHigh[set][a];
        }
    }
    int value = 11;
    for (int *field : {&m.extStartInput, &m.separator, &m.outputTrigger, &m.flowControl, &m.plcEtherPort,
                       &m.finsSA1, &m.finsDA1, &m.finsDNA, &m.cmodeUnitNo, &m.ctrlFlagAddr, &m.measDataAddr})
        *field = value++;
    m.dataFormat = 1;
    m.usingPlcLink = true;
    m.linkProtocol = {5, 1, 2};
    m.moduleIpAddr = m.plcIpAddr = QHostAddress(QStringLiteral("127.0.0.9"));
    m.subnetMask = QHostAddress(QStringLiteral("255.0.0.0"));
    return m;
}

#define DIFFERS(field, count) (!std::equal(std::begin(s.field), std::begin(s.field) + (count), std::begin(m.field)))
#define AXES(field) if (DIFFERS(field, m.axisCount)) wrong << QStringLiteral(#field)
#define ONE(field) if (!(s.field == m.field)) wrong << QStringLiteral(#field)

// The fields a parameter read fills in which the link's store and the module differ.
QStringList wrongFields(const CommandInterface &s, const ModuleModel &m)
{
    QStringList wrong;
    AXES(resolution); AXES(direction); AXES(measMode); AXES(preset); AXES(compSet); AXES(refUse); AXES(paramAddr);
    for (int set = 0; set < 4; ++set) {
        if (DIFFERS(compHigh[set], m.axisCount))
            wrong << QStringLiteral("compHigh%1").arg(set + 1);
        if (DIFFERS(compLow[set], m.axisCount))
            wrong << QStringLiteral("compLow%1").arg(set + 1);
    }
    if (DIFFERS(linkProtocol, 3))
        wrong << QStringLiteral("linkProtocol");
    ONE(extStartInput); ONE(separator); ONE(dataFormat); ONE(outputTrigger); ONE(unit); ONE(flowControl);
    ONE(moduleIpAddr); ONE(subnetMask); ONE(plcIpAddr); ONE(plcEtherPort); ONE(usingPlcLink);
    ONE(finsSA1); ONE(finsDA1); ONE(finsDNA); ONE(cmodeUnitNo); ONE(ctrlFlagAddr); ONE(measDataAddr);
    return wrong;
}
#undef DIFFERS
#undef AXES
#undef ONE

// Connects a link living in this thread; the parameter read runs while it waits.
bool readParameters(CommandInterface &link, const SimulatorThread &simulator)
{
    link.inchEnabled = true; // no setting bracket, so the read is a second shorter
    QSignalSpy connected(&link, &CommandInterface::transmitConnected);
    link.connectToHost(loopbackAddress(), simulator.serverPort());
    return connected.wait(60000);
}

} // namespace

Q_DECLARE_METATYPE(SimulatorOptions::LateReply)

class tst_ReplyIntegrity : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false")); }
    void parameterReadAndReadingYieldTheModulesValues_data();
    void parameterReadAndReadingYieldTheModulesValues();
    void stopRightAfterSetupStillCloses_data();
    void stopRightAfterSetupStillCloses();
};

void tst_ReplyIntegrity::parameterReadAndReadingYieldTheModulesValues_data()
{
    using Late = SimulatorOptions::LateReply;
    QTest::addColumn<int>("axes");
    QTest::addColumn<bool>("split");
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<QString>("delayed");
    QTest::addColumn<Late>("late");
    QTest::addColumn<QStringList>("wrong");
    const QStringList lost{QStringLiteral("compHigh1")};
    QTest::newRow("every reply in two pieces") << 16 << true << 0 << "" << Late::InOrder << QStringList();
    QTest::newRow("late, holding back the replies after it")
            << 2 << false << 1200 << "00CH1=?" << Late::InOrder << lost;
    QTest::newRow("late, arriving during a pause") << 2 << false << 1200 << "00CH1=?" << Late::Alone << lost;
    QTest::newRow("late, released as the next command arrives")
            << 2 << false << 1200 << "00CH1=?" << Late::WithNextCommand << lost;
    QTest::newRow("late readouts, waiting when the next read and the next poll begin")
            << 2 << false << 1200 << "R" << Late::Alone << QStringList();
}

void tst_ReplyIntegrity::parameterReadAndReadingYieldTheModulesValues()
{
    QFETCH(int, axes);
    QFETCH(bool, split);
    QFETCH(int, delayMs);
    QFETCH(QString, delayed);
    QFETCH(SimulatorOptions::LateReply, late);
    QFETCH(QStringList, wrong);
    SimulatorOptions options = simulatorOptions(axes);
    if (split)
        options.splitPatterns << SimulatorOptions::wholeCommand(QStringLiteral(".*"));
    options.splitGapMs = 2;
    options.replyDelayMs = delayMs;
    options.delayPatterns << SimulatorOptions::wholeCommand(QRegularExpression::escape(delayed));
    options.delayCount = 2; // a readout is asked for more than once
    options.lateReply = late;
    SimulatorThread simulator(options);
    const ModuleModel model = distinctModel(axes);
    simulator.setModel(model);
    QVERIFY(simulator.start());
    CommandInterface link;
    QVERIFY(readParameters(link, simulator));
    QCOMPARE(link.axisNum, axes);
    QCOMPARE(wrongFields(link, model), wrong);

    // The page's data-format code was changed and not applied: the reading is still
    // decoded in the module's format 1, whose fields carry the mode letter.
    link.dataFormat = 0;
    QSignalSpy readings(&link, &CommandInterface::onCompleteUpdateMeasure);
    link.sendUpdateMeasure();
    if (delayed != QLatin1String("R")) {
        QCOMPARE(readings.count(), 1);
        QCOMPARE(link.measurementSnapshot().modeText[0], QStringLiteral("MAX"));
        return;
    }
    // A readout has no name to tell it by: one waiting when a query or a poll begins is
    // discarded, or every later reply would be taken for the one before it.
    QCOMPARE(readings.count(), 0);
    QVERIFY(link.socket->waitForReadyRead(5000));
    link.getParameter();
    QCOMPARE(link.axisNum, axes);
    QCOMPARE(wrongFields(link, model), wrong);
    link.sendUpdateMeasure();
    QVERIFY(link.socket->waitForReadyRead(5000));
    ModuleModel minimum = model;
    minimum.measMode[0] = 2;
    simulator.setModel(minimum);
    link.sendUpdateMeasure(); // answered in time
    QCOMPARE(readings.count(), 1);
    QCOMPARE(link.measurementSnapshot().modeText[0], QStringLiteral("MIN"));
}

void tst_ReplyIntegrity::stopRightAfterSetupStillCloses_data()
{
    QTest::addColumn<QString>("stop");
    QTest::addColumn<QStringList>("wire");
    QTest::addColumn<int>("ending");
    using Ending = OperationOutcome::Ending;
    // The query after the operation shows that a cancel is forgotten once an operation ended.
    QTest::newRow("shutdown") << "shutdown" << QStringList{"SETUP", "CLOSE"} << int(Ending::ShutDown);
    QTest::newRow("cancel") << "cancel" << QStringList{"SETUP", "CLOSE", "0VER=?"} << int(Ending::Cancelled);
    QTest::newRow("cancel while queued") << "queued" << QStringList{"0VER=?"} << int(Ending::Cancelled);
}

void tst_ReplyIntegrity::stopRightAfterSetupStillCloses()
{
    QFETCH(QString, stop);
    QFETCH(QStringList, wire);
    QFETCH(int, ending);
    SimulatorThread simulator(simulatorOptions(1));
    QVERIFY(simulator.start());
    QThread worker;
    auto *link = new CommandInterface; // deleted in the worker as it finishes
    link->inchEnabled = true;
    link->moveToThread(&worker);
    connect(&worker, &QThread::finished, link, &QObject::deleteLater);
    std::atomic<int> connected{0}, completed{0};
    std::atomic<bool> disconnected{false};
    connect(link, &CommandInterface::transmitConnected, link, [&] { ++connected; }, Qt::DirectConnection);
    connect(link, &CommandInterface::onCompleteMeasureSetting, link, [&] { ++completed; }, Qt::DirectConnection);
    ModuleSimulator *module = simulator.simulator();
    connect(module, &ModuleSimulator::clientDisconnected, module, [&] { disconnected = true; }, Qt::DirectConnection);
    // In the second-long pause after "SETUP".
    connect(module, &ModuleSimulator::commandReceived, module, [&, link](const QString &command) {
        if (command == QLatin1String("SETUP"))
            stop == QLatin1String("shutdown") ? worker.requestInterruption() : link->requestCancel();
    }, Qt::DirectConnection);
    worker.start();
    const quint16 port = simulator.serverPort();
    QMetaObject::invokeMethod(link, [link, port] { link->connectToHost(loopbackAddress(), port); });
    QTRY_COMPARE_WITH_TIMEOUT(connected.load(), 1, 30000);
    simulator.clearCommandLog();

    if (stop == QLatin1String("queued"))
        link->requestCancel();
    QMetaObject::invokeMethod(link, [link] {
        link->sendMeasureSetting();
        link->queryVersion();
    });
    QTRY_COMPARE_WITH_TIMEOUT(completed.load(), 1, 10000);
    const OperationOutcome outcome = link->lastOutcome();
    QCOMPARE(int(outcome.ending), ending);
    // Stopped after "SETUP": the module may hold part of what was meant for it.
    QCOMPARE(outcome.leftPartialWrite(), stop != QLatin1String("queued"));
    // The socket closes with the worker, behind everything the link sent.
    worker.quit();
    QVERIFY(worker.wait(10000));
    QTRY_VERIFY_WITH_TIMEOUT(disconnected.load(), 10000);
    QCOMPARE(simulator.commandTexts(), wire);
}

QTEST_GUILESS_MAIN(tst_ReplyIntegrity)
#include "tst_replyintegrity.moc"
