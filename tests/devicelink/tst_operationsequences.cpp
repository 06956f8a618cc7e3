// Every operation of the link run over a real TCP socket against the module
// simulator: the exact command stream, the progress values between the commands,
// the completion signal, the pacing, and what lands in the store. The link runs in
// the test thread here and the simulator in its own.

#include "linktestsupport.h"

#include <QtTest>

#include <cmath>
#include <memory>

namespace {

struct Session
{
    explicit Session(const SimulatorOptions &options)
        : simulator(options)
    {
    }

    bool open(bool inchEnabled = false)
    {
        if (!simulator.start())
            return false;
        link.inchEnabled = inchEnabled;
        timeline.follow(&link);
        link.connectToHost(loopbackAddress(), simulator.serverPort());
        return connected.wait(60000);
    }

    // Forget the parameter read, so that a test sees only its own operation.
    void forgetHistory()
    {
        timeline.clear();
        simulator.clearCommandLog();
    }

    CommandTimeline timeline;
    SimulatorThread simulator;
    CommandInterface link;
    QSignalSpy connected{&link, &CommandInterface::transmitConnected};
};

QStringList sequence(std::initializer_list<const char *> items)
{
    QStringList result;
    for (const char *item : items)
        result << QString::fromLatin1(item);
    return result;
}

// The slice of a timeline from the first entry equal to `from`, `count` entries long.
QStringList slice(const QStringList &texts, const QString &from, int count)
{
    const int start = texts.indexOf(from);
    return start < 0 ? QStringList() : texts.mid(start, count);
}

int countMatching(const QStringList &texts, const QString &pattern)
{
    const QRegularExpression expression(QRegularExpression::anchoredPattern(pattern));
    int count = 0;
    for (const QString &text : texts)
        count += expression.match(text).hasMatch() ? 1 : 0;
    return count;
}

} // namespace

class tst_OperationSequences : public QObject
{
    Q_OBJECT

private slots:
    void parameterReadOneAxisStreamAndProgress();
    void parameterReadWithReferenceUseAndInchOption();
    void parameterReadOfSixteenAxesAgainstItsPacingFloor();
    void measureSettingOneAxisStreamAndStore();
    void measureSettingReadsPresetBackByTheReferenceUseJustRead();
    void referencePointSetAndClear();
    void plcLinkSettingWithoutAxes();
    void plcLinkSettingWritesAndReadsParameterAddresses();
    void factoryResetAndRestartReportNothing();
    void unansweredQueryTimesOutAndLeavesTheStore();
    void valuesThatDoNotConvert();

private:
    static void verifyPacing(const CommandTimeline &timeline);
};

void tst_OperationSequences::verifyPacing(const CommandTimeline &timeline)
{
    const QVector<CommandTimeline::Entry> entries = timeline.all();
    const CommandTimeline::Entry *previous = nullptr;
    for (const CommandTimeline::Entry &entry : entries) {
        if (entry.text.startsWith(QLatin1Char('#')) || entry.text.startsWith(QLatin1String("max "))
            || entry.text.startsWith(QLatin1String("timeout ")))
            continue;
        if (previous) {
            const qint64 gapMs = (entry.ns - previous->ns) / 1000000;
            const qint64 minimum = previous->text == QLatin1String("SETUP") ? 1000 : 10;
            if (gapMs < minimum)
                QFAIL(qPrintable(QStringLiteral("%1 followed %2 after %3 ms")
                                     .arg(entry.text, previous->text).arg(gapMs)));
        }
        previous = &entry;
    }
}

void tst_OperationSequences::parameterReadOneAxisStreamAndProgress()
{
    Session session(simulatorOptions(1));
    ModuleModel model = session.simulator.model();
    model.resolution[0] = 4;
    model.direction[0] = true;
    model.measMode[0] = 3;
    model.preset[0] = -1.25;
    model.compHigh[3][0] = 2.5;
    model.compLow[0][0] = -0.0001;
    model.compSet[0] = 3;
    model.extStartInput = 1;
    model.outputTrigger = 7;
    model.plcEtherPort = 20000;
    model.linkProtocol = {6, 1, 2};
    model.paramAddr[0] = 200;
    model.measDataAddr = 300;
    model.ctrlFlagAddr = 100;
    model.subnetMask = QHostAddress(QStringLiteral("255.255.0.0"));
    session.simulator.setModel(model);
    QVERIFY(session.open());

    const QStringList expected = sequence({
        "CONFIG=?", "max 37", "#0", "SETUP", "0SCALE=0", "CLOSE", "0SCALE=?",
        "#1", "00RSL=?", "#2", "00POL=?", "#3", "00MODE=?", "#4", "00P=?",
        "#5", "00CH1=?", "#6", "00CH2=?", "#7", "00CH3=?", "#8", "00CH4=?",
        "#9", "00CL1=?", "#10", "00CL2=?", "#11", "00CL3=?", "#12", "00CL4=?",
        "#13", "00SCN=?", "#14", "00REF=?", "#15", "00P=?", "#16",
        "#17", "0STTERM=?", "#18", "0RSSEP=?", "#19", "0RSFORM=?", "#20", "0RSTRG=?",
        "#21", "0RSFLOW=?", "#22", "NIP=?", "#23", "NMS=?", "#24", "LPN=?", "#25", "LMD=?",
        "#26", "LPC1=?", "#27", "LPC2=?", "#28", "LPC3=?", "#29", "FINSSA1=?",
        "#30", "FINSDA1=?", "#31", "FINSDNA=?", "#32", "CMUNITNO=?", "#33", "RIP=?",
        "#34", "0PRA=?", "#35", "MDA=?", "#36", "FLA=?"});
    QCOMPARE(session.timeline.texts(), expected);
    // What the link logged is what reached the module, byte for byte.
    QCOMPARE(session.simulator.commandTexts(), session.timeline.commands());
    QCOMPARE(session.connected.count(), 1);
    verifyPacing(session.timeline);

    const CommandInterface &store = session.link;
    QCOMPARE(store.moduleId, 0);
    QCOMPARE(store.axisNum, 1);
    QCOMPARE(store.resolution[0], 4);
    QCOMPARE(store.direction[0], true);
    QCOMPARE(store.measMode[0], 3);
    QCOMPARE(store.preset[0], -1.25);
    QCOMPARE(store.compHigh[3][0], 2.5);
    QCOMPARE(store.compLow[0][0], -0.0001);
    QCOMPARE(store.compSet[0], 3);
    QCOMPARE(store.refUse[0], false);
    QVERIFY(std::isnan(store.refOffset[0]));
    QCOMPARE(store.extStartInput, 1);
    QCOMPARE(store.outputTrigger, 7);
    QCOMPARE(store.plcEtherPort, 20000);
    QCOMPARE(store.linkProtocol[0], 6);
    QCOMPARE(store.linkProtocol[1], 1);
    QCOMPARE(store.linkProtocol[2], 2);
    QCOMPARE(store.paramAddr[0], 200);
    QCOMPARE(store.measDataAddr, 300);
    QCOMPARE(store.ctrlFlagAddr, 100);
    QCOMPARE(store.subnetMask, QHostAddress(QStringLiteral("255.255.0.0")));
    QCOMPARE(store.finsSA1, model.finsSA1);
}

void tst_OperationSequences::parameterReadWithReferenceUseAndInchOption()
{
    Session session(simulatorOptions(1, 1));
    ModuleModel model = session.simulator.model();
    model.refUse[0] = true;
    model.refOffset[0] = 0.125;
    model.unit = 1;
    session.simulator.setModel(model);
    QVERIFY(session.open(true));

    const QStringList texts = session.timeline.texts();
    QCOMPARE(texts.mid(0, 4), sequence({"CONFIG=?", "max 37", "#0", "1SCALE=?"}));
    QCOMPARE(slice(texts, QStringLiteral("#14"), 6), sequence({"#14", "10REF=?", "#15", "#16", "10LO=?", "#17"}));
    QVERIFY(!texts.contains(QStringLiteral("SETUP")));
    QCOMPARE(session.timeline.commands().size(), 16 * 1 + 20 + 1);
    QCOMPARE(session.link.moduleId, 1);
    QCOMPARE(session.link.unit, 1);
    QCOMPARE(session.link.refUse[0], true);
    QCOMPARE(session.link.refOffset[0], 0.125);
    verifyPacing(session.timeline);
}

void tst_OperationSequences::parameterReadOfSixteenAxesAgainstItsPacingFloor()
{
    Session session(simulatorOptions(16, 15));
    ModuleModel model = session.simulator.model();
    model.compLow[3][15] = -7.5;
    model.paramAddr[15] = 1515;
    model.refUse[10] = true;
    model.refOffset[10] = 0.5;
    session.simulator.setModel(model);

    QElapsedTimer elapsed;
    elapsed.start();
    QVERIFY(session.open());
    const qint64 durationMs = elapsed.elapsed();

    const QStringList texts = session.timeline.texts();
    QCOMPARE(texts.value(1), QStringLiteral("max 292"));
    QCOMPARE(texts.mid(texts.size() - 2), sequence({"#291", "FLA=?"}));
    QCOMPARE(countMatching(texts, QStringLiteral("timeout .*")), 0);
    // 16 x 16 + 20 queries, the configuration query, and SETUP, SCALE, CLOSE.
    QCOMPARE(session.timeline.commands().size(), 16 * 16 + 20 + 1 + 3);
    QCOMPARE(countMatching(texts, QStringLiteral("F[0-9A-F]LO=\\?")), 1);
    QCOMPARE(session.simulator.commandTexts(), session.timeline.commands());
    QCOMPARE(session.link.axisNum, 16);
    QCOMPARE(session.link.compLow[3][15], -7.5);
    QCOMPARE(session.link.paramAddr[15], 1515);
    QCOMPARE(session.link.refOffset[10], 0.5);
    verifyPacing(session.timeline);

    // The floor is the pauses the read must make: 10 ms after each of its
    // commands and 1000 ms after SETUP instead.
    const int commands = session.timeline.commands().size();
    const qint64 floorMs = (commands - 1) * 10 + 1000;
    QVERIFY(durationMs >= floorMs);
    qInfo("16-axis parameter read: %lld ms, pacing floor %lld ms, ratio %.3f", durationMs, floorMs,
          double(durationMs) / double(floorMs));
}

void tst_OperationSequences::measureSettingOneAxisStreamAndStore()
{
    Session session(simulatorOptions(1));
    QVERIFY(session.open());
    session.forgetHistory();

    CommandInterface &store = session.link;
    store.resolution[0] = 3;
    store.direction[0] = true;
    store.measMode[0] = 2;
    for (int set = 0; set < 4; ++set) {
        store.compHigh[set][0] = 0.5 * (set + 1);
        store.compLow[set][0] = -0.25 * (set + 1);
    }
    store.compSet[0] = 4;
    store.refUse[0] = false;
    store.preset[0] = 0.00001;
    store.extStartInput = 1;
    store.separator = 1;
    store.dataFormat = 1;
    store.outputTrigger = 9;
    store.flowControl = 1;
    store.unit = 1; // without the inch option the module is kept on millimetres

    QSignalSpy completed(&store, &CommandInterface::onCompleteMeasureSetting);
    store.sendMeasureSetting();
    QCOMPARE(completed.count(), 1);

    const QStringList expected = sequence({
        "max 50", "#0", "SETUP", "#1", "0SCALE=0",
        "#2", "00RSL=3", "#3", "00POL=1", "#4", "00MODE=2",
        "#5", "00CH1=0.5", "#6", "00CH2=1", "#7", "00CH3=1.5", "#8", "00CH4=2",
        "#9", "00CL1=-0.25", "#10", "00CL2=-0.5", "#11", "00CL3=-0.75", "#12", "00CL4=-1",
        "#13", "00CH1=0.5", "#14", "00CH2=1", "#15", "00CH3=1.5", "#16", "00CH4=2",
        "#17", "00CL1=-0.25", "#18", "00CL2=-0.5", "#19", "00CL3=-0.75", "#20", "00CL4=-1",
        "#21", "00SCN=4", "#22", "00REF=0", "#23", "00P=1E-05",
        "#24", "0STTERM=1", "#25", "0RSSEP=1", "#26", "0RSFORM=1", "#27", "0RSTRG=9",
        "#28", "0RSFLOW=1", "#29", "CLOSE", "#30", "0SCALE=?",
        "#31", "00RSL=?", "#32", "00POL=?", "#33", "00MODE=?",
        "#34", "00CH1=?", "#35", "00CH2=?", "#36", "00CH3=?", "#37", "00CH4=?",
        "#38", "00CL1=?", "#39", "00CL2=?", "#40", "00CL3=?", "#41", "00CL4=?",
        "#42", "00SCN=?", "#43", "00REF=?", "#44", "00P=?",
        "#45", "0STTERM=?", "#46", "0RSSEP=?", "#47", "0RSFORM=?", "#48", "0RSTRG=?",
        "#49", "0RSFLOW=?"});
    QCOMPARE(session.timeline.texts(), expected);
    QCOMPARE(session.simulator.commandTexts(), session.timeline.commands());
    verifyPacing(session.timeline);

    // The module took every value, and the read-back agrees with it.
    const ModuleModel module = session.simulator.model();
    QCOMPARE(module.resolution[0], 3);
    QCOMPARE(module.direction[0], true);
    QCOMPARE(module.compLow[3][0], -1.0);
    QCOMPARE(module.compSet[0], 4);
    QCOMPARE(module.preset[0], 0.00001);
    QCOMPARE(module.outputTrigger, 9);
    QCOMPARE(module.unit, 0);
    QCOMPARE(store.unit, 0);
    QCOMPARE(store.preset[0], 0.00001);
    QCOMPARE(store.compHigh[2][0], 1.5);
}

void tst_OperationSequences::measureSettingReadsPresetBackByTheReferenceUseJustRead()
{
    SimulatorOptions options = simulatorOptions(2, 2);
    // The module ignores switching reference use on for axis 1.
    options.silentPatterns << SimulatorOptions::wholeCommand(QStringLiteral("21REF=1"));
    Session session(options);
    QVERIFY(session.open(true));
    session.forgetHistory();

    CommandInterface &store = session.link;
    store.refUse[0] = false;
    store.refUse[1] = true;
    store.preset[0] = 2;
    store.preset[1] = 3;
    store.unit = 1;
    store.sendMeasureSetting();

    const QStringList texts = session.timeline.texts();
    QCOMPARE(texts.first(), QStringLiteral("max 86"));
    QCOMPARE(texts.last(), QStringLiteral("2RSFLOW=?"));
    QCOMPARE(texts.at(texts.size() - 2), QStringLiteral("#85"));
    QVERIFY(texts.contains(QStringLiteral("2SCALE=1")));
    for (const char *axis : {"0", "1"}) {
        const QString prefix = QStringLiteral("2") + QLatin1String(axis);
        QCOMPARE(countMatching(texts, prefix + QStringLiteral("C[HL][1-4]=[^?].*")), 16);
    }
    QCOMPARE(countMatching(texts, QStringLiteral("20P=2")), 1);
    QCOMPARE(countMatching(texts, QStringLiteral("21P=[^?].*")), 0);
    // The module kept axis 1 without reference use, so its preset is read back.
    QCOMPARE(countMatching(texts, QStringLiteral("20P=\\?")), 1);
    QCOMPARE(countMatching(texts, QStringLiteral("21P=\\?")), 1);
    QCOMPARE(store.refUse[1], false);
    verifyPacing(session.timeline);
}

void tst_OperationSequences::referencePointSetAndClear()
{
    Session session(simulatorOptions(4));
    ModuleModel model = session.simulator.model();
    model.refUse[3] = true;
    model.refOffset[3] = 0.75;
    session.simulator.setModel(model);
    QVERIFY(session.open());
    session.forgetHistory();

    CommandInterface &store = session.link;
    QSignalSpy setDone(&store, &CommandInterface::onCompleteRefPointSetting);
    store.preset[3] = 1.5;
    store.sendRefPointSetting(3);
    QCOMPARE(session.timeline.texts(),
             sequence({"max 5", "SETUP", "#1", "03P=1.5", "#2", "CLOSE", "#3", "03P=?", "#4", "03LO=?", "#5"}));
    QCOMPARE(setDone.count(), 1);
    QCOMPARE(setDone.first().first().toInt(), 3);
    QCOMPARE(session.simulator.model().preset[3], 1.5);
    QCOMPARE(store.preset[3], 1.5);
    // The module reports its offset with six significant digits.
    const double moduleOffset = session.simulator.model().refOffset[3];
    QCOMPARE(store.refOffset[3], QString::number(moduleOffset, 'g', 6).toDouble());
    verifyPacing(session.timeline);

    session.forgetHistory();
    QSignalSpy clearDone(&store, &CommandInterface::onCompleteRefPointClear);
    store.sendRefPointClear(3);
    QCOMPARE(session.timeline.texts(),
             sequence({"max 5", "SETUP", "#1", "03LCLR", "#2", "CLOSE", "#3", "03LO=?", "#4", "03REF=?", "#5"}));
    QCOMPARE(clearDone.count(), 1);
    QCOMPARE(clearDone.first().first().toInt(), 3);
    QCOMPARE(session.simulator.model().refOffset[3], 0.0);
    QCOMPARE(store.refOffset[3], 0.0);
    QCOMPARE(store.refUse[3], true);
    QCOMPARE(session.simulator.commandTexts(), session.timeline.commands());
}

void tst_OperationSequences::plcLinkSettingWithoutAxes()
{
    Session session(simulatorOptions(1));
    QVERIFY(session.open());
    session.forgetHistory();

    CommandInterface &store = session.link;
    store.axisNum = 0;
    store.moduleIpAddr = QHostAddress(QStringLiteral("127.0.0.5"));
    store.subnetMask = QHostAddress(QStringLiteral("255.0.0.0"));
    store.plcIpAddr = QHostAddress(QStringLiteral("127.0.0.6"));
    store.plcEtherPort = 5000;
    store.usingPlcLink = true;
    store.linkProtocol[0] = 7;
    store.linkProtocol[1] = 0;
    store.linkProtocol[2] = 1;
    store.finsSA1 = 11;
    store.finsDA1 = 12;
    store.finsDNA = 13;
    store.cmodeUnitNo = 14;
    store.ctrlFlagAddr = 1000;
    store.measDataAddr = 2000;
    QSignalSpy completed(&store, &CommandInterface::onCompletePLCLinkSetting);
    store.sendPLCLinkSetting();
    QCOMPARE(completed.count(), 1);

    const QStringList expected = sequence({
        "max 30", "#0", "SETUP", "#1", "NIP=127.0.0.5", "#2", "NMS=255.0.0.0", "#3", "LPN=5000",
        "#4", "LMD=1", "#5", "LPC1=7", "#6", "LPC2=0", "#7", "LPC3=1", "#8", "FINSSA1=11",
        "#9", "FINSDA1=12", "#10", "FINSDNA=13", "#11", "CMUNITNO=14", "#12", "RIP=127.0.0.6",
        "#13", "FLA=1000", "#14", "MDA=2000", "#15", "CLOSE",
        "#16", "NIP=?", "#17", "NMS=?", "#18", "LPN=?", "#19", "LMD=?",
        "#20", "LPC1=?", "#21", "LPC2=?", "#22", "LPC3=?", "#23", "FINSSA1=?",
        "#24", "FINSDA1=?", "#25", "FINSDNA=?", "#26", "CMUNITNO=?", "#27", "RIP=?",
        "#28", "#29", "FLA=?", "#30", "MDA=?", "#31"});
    QCOMPARE(session.timeline.texts(), expected);
    QCOMPARE(session.simulator.commandTexts(), session.timeline.commands());
    verifyPacing(session.timeline);

    const ModuleModel module = session.simulator.model();
    QCOMPARE(module.plcIpAddr, QHostAddress(QStringLiteral("127.0.0.6")));
    QCOMPARE(module.linkProtocol[0], 7);
    QCOMPARE(module.measDataAddr, 2000);
    QCOMPARE(store.usingPlcLink, true);
    QCOMPARE(store.moduleIpAddr, QHostAddress(QStringLiteral("127.0.0.5")));
}

void tst_OperationSequences::plcLinkSettingWritesAndReadsParameterAddresses()
{
    Session session(simulatorOptions(2, 3));
    QVERIFY(session.open());
    session.forgetHistory();

    CommandInterface &store = session.link;
    store.paramAddr[0] = 500;
    store.paramAddr[1] = -1;
    store.sendPLCLinkSetting();

    const QStringList texts = session.timeline.texts();
    QCOMPARE(texts.first(), QStringLiteral("max 34"));
    QCOMPARE(slice(texts, QStringLiteral("#13"), 7), sequence({"#13", "0PRA=500", "#14", "1PRA=-1", "#15", "FLA=0", "#16"}));
    QCOMPARE(texts.mid(texts.indexOf(QStringLiteral("#30"))),
             sequence({"#30", "#31", "0PRA=?", "#32", "1PRA=?", "#33", "FLA=?", "#34", "MDA=?", "#35"}));
    QCOMPARE(session.simulator.model().paramAddr[0], 500);
    QCOMPARE(store.paramAddr[0], 500);
    QCOMPARE(store.paramAddr[1], session.simulator.model().paramAddr[1]);
}

void tst_OperationSequences::factoryResetAndRestartReportNothing()
{
    Session session(simulatorOptions(2));
    ModuleModel model = session.simulator.model();
    model.resolution[1] = 5;
    model.outputTrigger = 4;
    session.simulator.setModel(model);
    QVERIFY(session.open());
    session.forgetHistory();

    CommandInterface &store = session.link;
    QSignalSpy measureDone(&store, &CommandInterface::onCompleteMeasureSetting);
    store.sendFactoryReset();
    QCOMPARE(session.timeline.texts(), sequence({"SETUP", "FACTRST", "CLOSE"}));
    QCOMPARE(session.simulator.model().resolution[1], ModuleModel().resolution[1]);
    QCOMPARE(session.simulator.model().outputTrigger, ModuleModel().outputTrigger);
    verifyPacing(session.timeline);

    session.forgetHistory();
    QSignalSpy disconnected(&store, &CommandInterface::transmitDisconnected);
    store.sendCrash();
    QCOMPARE(session.timeline.texts(), sequence({"CRASH"}));
    QVERIFY(disconnected.wait(5000));
    QCOMPARE(measureDone.count(), 0);
    // The store keeps what it read.
    QCOMPARE(store.resolution[1], 5);
}

void tst_OperationSequences::unansweredQueryTimesOutAndLeavesTheStore()
{
    SimulatorOptions options = simulatorOptions(1);
    options.silentPatterns << SimulatorOptions::wholeCommand(QStringLiteral("00RSL=\\?"));
    Session session(options);
    ModuleModel model = session.simulator.model();
    model.resolution[0] = 4;
    model.direction[0] = true;
    session.simulator.setModel(model);
    QVERIFY(session.open());

    QCOMPARE(session.link.resolution[0], 1);
    QCOMPARE(session.link.direction[0], true);
    const QVector<CommandTimeline::Entry> entries = session.timeline.all();
    int sent = -1;
    int timedOut = -1;
    int next = -1;
    for (int i = 0; i < entries.size(); ++i) {
        if (entries[i].text == QLatin1String("00RSL=?"))
            sent = i;
        else if (entries[i].text == QLatin1String("timeout 00RSL=?"))
            timedOut = i;
        else if (entries[i].text == QLatin1String("00POL=?"))
            next = i;
    }
    QVERIFY(sent >= 0 && timedOut > sent && next > timedOut);
    QVERIFY((entries[next].ns - entries[sent].ns) / 1000000 >= 1010);
    QCOMPARE(session.connected.count(), 1);
    verifyPacing(session.timeline);
}

void tst_OperationSequences::valuesThatDoNotConvert()
{
    SimulatorOptions options = simulatorOptions(1);
    options.garblePatterns << SimulatorOptions::wholeCommand(QStringLiteral("00P=\\?|NIP=\\?|00LO=\\?|0STTERM=\\?"));
    Session session(options);
    ModuleModel model = session.simulator.model();
    model.preset[0] = 9.5;
    model.refUse[0] = true;
    model.refOffset[0] = 1.0;
    model.extStartInput = 1;
    session.simulator.setModel(model);
    session.link.refOffset[0] = 3.0;
    QVERIFY(session.open());

    QCOMPARE(session.link.preset[0], 0.0);
    QCOMPARE(session.link.extStartInput, 0);
    QVERIFY(session.link.moduleIpAddr.isNull());
    QVERIFY(std::isnan(session.link.refOffset[0]));
    QCOMPARE(session.link.refUse[0], true);
}

QTEST_GUILESS_MAIN(tst_OperationSequences)
#include "tst_operationsequences.moc"
