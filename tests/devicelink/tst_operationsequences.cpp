// SPDX-License-Identifier: GPL-3.0-or-later
// The link's operations over a real TCP socket against the module simulator: the
// command stream the module receives, what lands in the store, the pacing, and
// requests queued to the link in its worker thread.

#include "commandinterface.h"
#include "simulatorthread.h"

#include <QtTest>

#include <cmath>

namespace {

SimulatorOptions moduleOf(int axes, int unit = 0)
{
    SimulatorOptions options;
    options.port = 0;
    options.axisCount = axes;
    options.unitNumber = unit;
    return options;
}

QStringList words(const QString &text)
{
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// The parameter read as the module must receive it.
QStringList readStream(int unit, int axes, bool inch, int refAxis)
{
    const QString u = QString::number(unit, 16).toUpper();
    QStringList stream{QStringLiteral("CONFIG=?")};
    if (!inch)
        stream << QStringLiteral("SETUP") << u + QStringLiteral("SCALE=0") << QStringLiteral("CLOSE");
    stream << u + QStringLiteral("SCALE=?");
    for (int axis = 0; axis < axes; ++axis) {
        const QString prefix = u + QString::number(axis, 16).toUpper();
        QStringList queries = words(QStringLiteral("RSL=? POL=? MODE=? P=? CH1=? CH2=? CH3=? CH4=? CL1=? CL2=? "
                                                   "CL3=? CL4=? SCN=? REF=?"));
        queries << (axis == refAxis ? QStringLiteral("LO=?") : QStringLiteral("P=?"));
        for (const QString &query : qAsConst(queries))
            stream << prefix + query;
    }
    for (const QString &query : words(QStringLiteral("STTERM=? RSSEP=? RSFORM=? RSTRG=? RSFLOW=?")))
        stream << u + query;
    stream << words(QStringLiteral("NIP=? NMS=? LPN=? LMD=? LPC1=? LPC2=? LPC3=? FINSSA1=? FINSDA1=? FINSDNA=? "
                                   "CMUNITNO=? RIP=?"));
    for (int axis = 0; axis < axes; ++axis)
        stream << QString::number(axis, 16).toUpper() + QStringLiteral("PRA=?");
    return stream << QStringLiteral("MDA=?") << QStringLiteral("FLA=?");
}

// A command that follows an answered query leaves at least 10 ms after the module
// answered, and the first after "SETUP" a second after that. The times are the
// module's own: a late delivery can only lengthen a gap.
void verifyPacing(const QVector<ReceivedCommand> &log)
{
    for (int i = 1; i < log.size(); ++i) {
        int from = i - 1;
        qint64 minimumMs = 10;
        if (log.at(from).text == QLatin1String("SETUP") && from > 0) {
            --from;
            minimumMs = 1010;
        }
        if (log.at(from).disposition != ReceivedCommand::Disposition::Answered)
            continue;
        const qint64 gapMs = (log.at(i).timestampNs - log.at(from).timestampNs) / 1000000;
        QVERIFY2(gapMs >= minimumMs, qPrintable(QStringLiteral("%1 came %2 ms after %3")
                                                    .arg(log.at(i).text).arg(gapMs).arg(log.at(from).text)));
    }
}

// The link in the test thread, the simulator in its own.
struct Session
{
    explicit Session(const SimulatorOptions &options) : simulator(options) {}
    bool open(bool inchEnabled)
    {
        link.inchEnabled = inchEnabled;
        if (simulator.start())
            link.connectToHost(QHostAddress(QHostAddress::LocalHost).toIPv4Address(), simulator.serverPort());
        return connected.wait(30000);
    }

    SimulatorThread simulator;
    CommandInterface link;
    QSignalSpy connected{&link, &CommandInterface::transmitConnected};
};

} // namespace

class tst_OperationSequences : public QObject
{
    Q_OBJECT

private slots:
    void parameterRead_data();
    void parameterRead();
    void measureSettingAndFactoryReset();
    void timeoutsAndUnconvertibleRepliesMidRead();
    void requestsQueuedToTheWorkerRunInOrder();
};

void tst_OperationSequences::parameterRead_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("axes");
    QTest::addColumn<bool>("inch");
    QTest::addColumn<int>("refAxis");
    QTest::newRow("1 axis, kept on millimetres") << 0 << 1 << false << -1;
    QTest::newRow("1 axis, inch option, reference use") << 1 << 1 << true << 0;
    QTest::newRow("16 axes, unit F") << 15 << 16 << false << 10;
}

void tst_OperationSequences::parameterRead()
{
    QFETCH(int, unit);
    QFETCH(int, axes);
    QFETCH(bool, inch);
    QFETCH(int, refAxis);
    Session session(moduleOf(axes, unit));
    ModuleModel model = session.simulator.model();
    const int last = axes - 1;
    model.resolution[last] = 4;
    model.compLow[3][last] = -0.0001;
    model.paramAddr[last] = 1515;
    if (refAxis >= 0) {
        model.refUse[refAxis] = true;
        model.refOffset[refAxis] = 0.125;
    }
    model.unit = 1;
    model.ctrlFlagAddr = 100;
    session.simulator.setModel(model);
    QVERIFY(session.open(inch));

    QCOMPARE(session.simulator.commandTexts(), readStream(unit, axes, inch, refAxis));
    verifyPacing(session.simulator.commandLog());

    const CommandInterface &store = session.link;
    QCOMPARE(store.moduleId, unit);
    QCOMPARE(store.axisNum, axes);
    QCOMPARE(store.unit, inch ? 1 : 0);
    QCOMPARE(store.resolution[last], 4);
    QCOMPARE(store.compLow[3][last], -0.0001);
    QCOMPARE(store.paramAddr[last], 1515);
    if (refAxis >= 0)
        QCOMPARE(store.refOffset[refAxis], 0.125);
    QCOMPARE(store.ctrlFlagAddr, 100);
}

void tst_OperationSequences::measureSettingAndFactoryReset()
{
    Session session(moduleOf(1));
    QVERIFY(session.open(true)); // the inch option spares the read its setting bracket
    session.simulator.clearCommandLog();
    CommandInterface &store = session.link;
    store.inchEnabled = false;
    store.resolution[0] = 3;
    store.direction[0] = true;
    store.measMode[0] = 2;
    for (int set = 0; set < 4; ++set) {
        store.compHigh[set][0] = 0.5 * (set + 1);
        store.compLow[set][0] = -0.25 * (set + 1);
    }
    store.compSet[0] = 4;
    store.preset[0] = 0.00001;
    store.extStartInput = store.separator = store.dataFormat = store.flowControl = 1;
    store.outputTrigger = 9;
    store.unit = 1;
    store.sendMeasureSetting();
    // The comparator limits go out twice; without the inch option the unit is kept on millimetres.
    const QString limits = QStringLiteral("00CH1=0.5 00CH2=1 00CH3=1.5 00CH4=2 00CL1=-0.25 00CL2=-0.5 00CL3=-0.75 00CL4=-1 ");
    QCOMPARE(session.simulator.commandTexts(),
             words(QStringLiteral("SETUP 0SCALE=0 00RSL=3 00POL=1 00MODE=2 ") + limits + limits
                   + QStringLiteral("00SCN=4 00REF=0 00P=1E-05 0STTERM=1 0RSSEP=1 0RSFORM=1 0RSTRG=9 0RSFLOW=1 CLOSE "
                                    "0SCALE=? 00RSL=? 00POL=? 00MODE=? 00CH1=? 00CH2=? 00CH3=? 00CH4=? 00CL1=? "
                                    "00CL2=? 00CL3=? 00CL4=? 00SCN=? 00REF=? 00P=? 0STTERM=? 0RSSEP=? 0RSFORM=? "
                                    "0RSTRG=? 0RSFLOW=?")));
    QCOMPARE(store.unit, 0);
    QCOMPARE(store.preset[0], 0.00001);

    session.simulator.clearCommandLog();
    store.sendFactoryReset();
    QTRY_COMPARE(session.simulator.commandTexts(), words(QStringLiteral("SETUP FACTRST CLOSE")));
}

void tst_OperationSequences::timeoutsAndUnconvertibleRepliesMidRead()
{
    SimulatorOptions options = moduleOf(1);
    options.silentPatterns << SimulatorOptions::wholeCommand(QStringLiteral("00RSL=\\?"));
    options.garblePatterns << SimulatorOptions::wholeCommand(QStringLiteral("00P=\\?|0STTERM=\\?|00LO=\\?"));
    Session session(options);
    ModuleModel model = session.simulator.model();
    model.resolution[0] = 4;
    model.direction[0] = true;
    model.preset[0] = 9.5;
    model.extStartInput = 1;
    model.refUse[0] = true;
    model.refOffset[0] = 1.0;
    model.ctrlFlagAddr = 100;
    session.simulator.setModel(model);
    session.link.refOffset[0] = 3.0;
    QVERIFY(session.open(true));

    // The unanswered and unconvertible fields keep what they held (an offset that
    // does not convert is cleared); the answers after them land where they belong.
    const CommandInterface &store = session.link;
    QCOMPARE(store.resolution[0], 1);
    QCOMPARE(store.direction[0], true);
    QCOMPARE(store.preset[0], 0.0);
    QCOMPARE(store.extStartInput, 0);
    QVERIFY(std::isnan(store.refOffset[0]));
    QCOMPARE(store.ctrlFlagAddr, 100);
}

void tst_OperationSequences::requestsQueuedToTheWorkerRunInOrder()
{
    Session session(moduleOf(2));
    QVERIFY(session.open(true));
    session.simulator.clearCommandLog();
    QThread worker;
    CommandInterface *const link = &session.link;
    link->moveToThread(&worker);
    worker.start();
    // Queued at once, as an impatient operator would; the second waits for the first,
    // and the link comes back to this thread at the end.
    QMetaObject::invokeMethod(link, &CommandInterface::sendMeasureSetting, Qt::QueuedConnection);
    QMetaObject::invokeMethod(link, [link] {
        link->sendRefPointClear(1);
        link->moveToThread(QCoreApplication::instance()->thread());
        QThread::currentThread()->quit();
    }, Qt::QueuedConnection);
    QVERIFY(worker.wait(30000));

    const QStringList commands = session.simulator.commandTexts();
    QCOMPARE(commands.first(), QStringLiteral("SETUP"));
    QCOMPARE(commands.mid(commands.indexOf(QStringLiteral("0RSFLOW=?"))),
             words(QStringLiteral("0RSFLOW=? SETUP 01LCLR CLOSE 01LO=? 01REF=?")));
}

QTEST_GUILESS_MAIN(tst_OperationSequences)
#include "tst_operationsequences.moc"
