#include "modulesimulator.h"
#include "simulatorthread.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

constexpr int ReplyWaitMs = 3000;
constexpr int QuietMs = 150; // long enough to see a reply that was written before the command was logged

// A simulator on a free loopback port in its own thread, and one client socket.
class Session
{
public:
    explicit Session(SimulatorOptions options = SimulatorOptions())
        : m_sim(withFreePort(options))
    {
    }

    bool open()
    {
        return m_sim.start() && connectClient(socket);
    }

    bool connectClient(QTcpSocket &client) const
    {
        client.connectToHost(QHostAddress::LocalHost, m_sim.serverPort());
        if (!client.waitForConnected(ReplyWaitMs))
            return false;
        client.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return true;
    }

    // Sends one chunk and returns once the simulator has logged `commands` commands from it,
    // so that consecutive sends never merge into one chunk.
    bool send(QTcpSocket &client, const QByteArray &chunk, int commands = 1)
    {
        const int before = m_sim.commandLog().size();
        client.write(chunk);
        client.flush();
        return m_sim.waitForCommandCount(before + commands, ReplyWaitMs);
    }
    bool send(const QByteArray &chunk, int commands = 1) { return send(socket, chunk, commands); }

    QByteArray ask(const QByteArray &command)
    {
        socket.write(command);
        socket.flush();
        return readReply(socket);
    }

    static QByteArray readReply(QTcpSocket &client, int timeoutMs = ReplyWaitMs)
    {
        QByteArray data;
        QElapsedTimer timer;
        timer.start();
        while (!data.endsWith("\r\n") && timer.elapsed() < timeoutMs) {
            if (client.bytesAvailable() > 0 || client.waitForReadyRead(int(qMax<qint64>(1, timeoutMs - timer.elapsed()))))
                data += client.readAll();
        }
        return data;
    }

    static QByteArray readBytes(QTcpSocket &client, int count, int timeoutMs = ReplyWaitMs)
    {
        QByteArray data = client.readAll();
        QElapsedTimer timer;
        timer.start();
        while (data.size() < count && timer.elapsed() < timeoutMs) {
            if (client.waitForReadyRead(int(qMax<qint64>(1, timeoutMs - timer.elapsed()))))
                data += client.readAll();
        }
        return data;
    }

    static bool quiet(QTcpSocket &client, int ms = QuietMs)
    {
        return client.bytesAvailable() == 0 && !client.waitForReadyRead(ms);
    }
    bool quiet() { return quiet(socket); }

    ReceivedCommand lastLogged() const
    {
        const QVector<ReceivedCommand> log = m_sim.commandLog();
        return log.isEmpty() ? ReceivedCommand() : log.last();
    }

    SimulatorThread &sim() { return m_sim; }
    QTcpSocket socket;

private:
    static SimulatorOptions withFreePort(SimulatorOptions options)
    {
        options.address = QHostAddress(QHostAddress::LocalHost);
        options.port = 0;
        return options;
    }

    SimulatorThread m_sim;
};

struct Field
{
    QString text;
    QChar mode;
    QChar judge;
    QString valueText;
    double value = 0.0;
    bool ok = false;
};

int fieldWidth(int dataFormat)
{
    return dataFormat == 0 ? 10 : dataFormat == 1 ? 12 : 13;
}

// Cuts a readout reply as the tool does; fails the test on a layout error.
QVector<Field> parseReadout(const QByteArray &reply, int dataFormat, int axes)
{
    QVector<Field> fields;
    const int width = fieldWidth(dataFormat);
    const QString text = QString::fromLatin1(reply);
    if (reply.size() != axes * width + (axes - 1) + 2 || !reply.endsWith("\r\n")) {
        qWarning("readout of unexpected size: %s", reply.constData());
        return fields;
    }
    for (int axis = 0; axis < axes; ++axis) {
        const int start = axis * (width + 1);
        if (axis > 0 && text.at(start - 1) != QLatin1Char(' ')) {
            qWarning("no separator before field %d: %s", axis, reply.constData());
            return {};
        }
        Field field;
        field.text = text.mid(start, width);
        field.mode = dataFormat >= 1 ? field.text.at(2) : QChar();
        field.judge = dataFormat >= 2 ? field.text.at(4) : QChar();
        field.valueText = field.text.right(8);
        field.value = field.valueText.toDouble(&field.ok);
        fields << field;
    }
    return fields;
}

double valueOf(const QByteArray &reply)
{
    const int equals = reply.indexOf('=');
    return reply.mid(equals + 1).trimmed().toDouble();
}

} // namespace

class TestModuleSimulator : public QObject
{
    Q_OBJECT

private slots:
    void configReply_data();
    void configReply();
    void setThenQuery_data();
    void setThenQuery();
    void rejectedSets_data();
    void rejectedSets();
    void addressing();
    void chunkSplitting_data();
    void chunkSplitting();
    void gluedCommandsOverTheWire();
    void referencePointAndClear();
    void factoryReset();
    void crashDropsConnection();
    void readoutLayout_data();
    void readoutLayout();
    void readoutComparatorFollowsValue();
    void readoutPeakModes();
    void readoutSeedAndTransforms();
    void readoutErrorAxis();
    void formatValueWidth_data();
    void formatValueWidth();
    void faultSilent();
    void faultSplit();
    void faultGarble();
    void faultCloseAfter();
    void faultDelay();
    void clientsOneAfterAnother();
    void commandLog();
    void logFile();
    void portInUse();
};

void TestModuleSimulator::configReply_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("axes");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("unit 0, 16 axes") << 0 << 16 << QByteArray("CONFIG=0F\r\n");
    QTest::newRow("unit 10, 1 axis") << 10 << 1 << QByteArray("CONFIG=A0\r\n");
    QTest::newRow("unit 3, 5 axes") << 3 << 5 << QByteArray("CONFIG=34\r\n");
}

void TestModuleSimulator::configReply()
{
    QFETCH(int, unit);
    QFETCH(int, axes);
    QFETCH(QByteArray, reply);
    SimulatorOptions options;
    options.unitNumber = unit;
    options.axisCount = axes;
    Session s(options);
    QVERIFY(s.open());
    QCOMPARE(s.ask("CONFIG=?"), reply);
}

void TestModuleSimulator::setThenQuery_data()
{
    QTest::addColumn<QByteArray>("set");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("before");

    QTest::newRow("resolution, axis A") << QByteArray("0ARSL=3") << QByteArray("0ARSL=?")
                                        << QByteArray("0ARSL=3\r\n") << QByteArray("0ARSL=1\r\n");
    QTest::newRow("direction") << QByteArray("01POL=1") << QByteArray("01POL=?") << QByteArray("01POL=1\r\n")
                               << QByteArray("01POL=0\r\n");
    QTest::newRow("preset, small") << QByteArray("01P=0.00001") << QByteArray("01P=?")
                                   << QByteArray("01P=1E-05\r\n") << QByteArray("01P=0\r\n");
    QTest::newRow("preset, large") << QByteArray("0FP=1234567") << QByteArray("0FP=?")
                                   << QByteArray("0FP=1.23457E+06\r\n") << QByteArray("0FP=0\r\n");
    QTest::newRow("preset, tool's exponent") << QByteArray("02P=1E-05") << QByteArray("02P=?")
                                             << QByteArray("02P=1E-05\r\n") << QByteArray("02P=0\r\n");
    QTest::newRow("high limit, set 3") << QByteArray("01CH3=2.5") << QByteArray("01CH3=?")
                                       << QByteArray("01CH3=2.5\r\n") << QByteArray("01CH3=1\r\n");
    QTest::newRow("low limit, set 4") << QByteArray("0BCL4=-0.25") << QByteArray("0BCL4=?")
                                      << QByteArray("0BCL4=-0.25\r\n") << QByteArray("0BCL4=-1\r\n");
    QTest::newRow("active set") << QByteArray("03SCN=4") << QByteArray("03SCN=?") << QByteArray("03SCN=4\r\n")
                                << QByteArray("03SCN=1\r\n");
    QTest::newRow("reference use") << QByteArray("03REF=1") << QByteArray("03REF=?")
                                   << QByteArray("03REF=1\r\n") << QByteArray("03REF=0\r\n");
    QTest::newRow("data format") << QByteArray("0RSFORM=0") << QByteArray("0RSFORM=?")
                                 << QByteArray("0RSFORM=0\r\n") << QByteArray("0RSFORM=2\r\n");
    QTest::newRow("trigger") << QByteArray("0RSTRG=9") << QByteArray("0RSTRG=?") << QByteArray("0RSTRG=9\r\n")
                             << QByteArray("0RSTRG=0\r\n");
    QTest::newRow("module address") << QByteArray("NIP=10.0.0.5") << QByteArray("NIP=?")
                                    << QByteArray("NIP=10.0.0.5\r\n") << QByteArray("NIP=192.168.0.100\r\n");
    QTest::newRow("subnet mask") << QByteArray("NMS=255.255.0.0") << QByteArray("NMS=?")
                                 << QByteArray("NMS=255.255.0.0\r\n") << QByteArray("NMS=255.255.255.0\r\n");
    QTest::newRow("plc address") << QByteArray("RIP=127.0.0.9") << QByteArray("RIP=?")
                                 << QByteArray("RIP=127.0.0.9\r\n") << QByteArray("RIP=192.168.0.10\r\n");
    QTest::newRow("plc port") << QByteArray("LPN=5000") << QByteArray("LPN=?") << QByteArray("LPN=5000\r\n")
                              << QByteArray("LPN=60000\r\n");
    QTest::newRow("link protocol 2") << QByteArray("LPC2=1") << QByteArray("LPC2=?") << QByteArray("LPC2=1\r\n")
                                     << QByteArray("LPC2=0\r\n");
    QTest::newRow("link protocol 1") << QByteArray("LPC1=7") << QByteArray("LPC1=?") << QByteArray("LPC1=7\r\n")
                                     << QByteArray("LPC1=0\r\n");
    QTest::newRow("parameter address, axis C") << QByteArray("CPRA=200") << QByteArray("CPRA=?")
                                               << QByteArray("CPRA=200\r\n") << QByteArray("CPRA=0\r\n");
    QTest::newRow("fins destination") << QByteArray("FINSDA1=17") << QByteArray("FINSDA1=?")
                                      << QByteArray("FINSDA1=17\r\n") << QByteArray("FINSDA1=2\r\n");
    QTest::newRow("measured data address") << QByteArray("MDA=300") << QByteArray("MDA=?")
                                           << QByteArray("MDA=300\r\n") << QByteArray("MDA=0\r\n");
}

void TestModuleSimulator::setThenQuery()
{
    QFETCH(QByteArray, set);
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, before);
    Session s;
    QVERIFY(s.open());
    QCOMPARE(s.ask(query), before);
    QVERIFY(s.send(set));
    QVERIFY(s.quiet()); // set commands are not answered
    QCOMPARE(s.lastLogged().disposition, ReceivedCommand::Disposition::Applied);
    QCOMPARE(s.ask(query), reply);
}

void TestModuleSimulator::rejectedSets_data()
{
    QTest::addColumn<QByteArray>("set");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("resolution out of range") << QByteArray("00RSL=9") << QByteArray("00RSL=?") << QByteArray("00RSL=1\r\n");
    QTest::newRow("decimal point for an int") << QByteArray("00RSL=2.5") << QByteArray("00RSL=?")
                                              << QByteArray("00RSL=1\r\n");
    QTest::newRow("comparator set 0") << QByteArray("00SCN=0") << QByteArray("00SCN=?") << QByteArray("00SCN=1\r\n");
    QTest::newRow("not a number") << QByteArray("00P=abc") << QByteArray("00P=?") << QByteArray("00P=0\r\n");
    QTest::newRow("empty value") << QByteArray("00P=") << QByteArray("00P=?") << QByteArray("00P=0\r\n");
    QTest::newRow("no address") << QByteArray("NIP=300.1.2.3") << QByteArray("NIP=?")
                                << QByteArray("NIP=192.168.0.100\r\n");
    QTest::newRow("link transport 3") << QByteArray("LPC3=3") << QByteArray("LPC3=?") << QByteArray("LPC3=0\r\n");
    QTest::newRow("offset is read-only") << QByteArray("00LO=2") << QByteArray("00LO=?") << QByteArray("00LO=0\r\n");
}

void TestModuleSimulator::rejectedSets()
{
    QFETCH(QByteArray, set);
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, reply);
    Session s;
    QVERIFY(s.open());
    QVERIFY(s.send(set));
    QVERIFY(s.quiet());
    QCOMPARE(s.lastLogged().disposition, ReceivedCommand::Disposition::Rejected);
    QCOMPARE(s.ask(query), reply);
}

void TestModuleSimulator::addressing()
{
    SimulatorOptions options;
    options.unitNumber = 1;
    options.axisCount = 12;
    Session s(options);
    QVERIFY(s.open());

    // Another unit's commands are not this module's business.
    QVERIFY(s.send("0BRSL=?"));
    QVERIFY(s.quiet());
    QCOMPARE(s.lastLogged().disposition, ReceivedCommand::Disposition::OtherUnit);
    QVERIFY(s.send("0BCL4=-0.5"));
    QCOMPARE(s.lastLogged().disposition, ReceivedCommand::Disposition::OtherUnit);
    QVERIFY(s.send("0RSFORM=?"));
    QVERIFY(s.quiet());
    QCOMPARE(s.sim().model().compLow[3][11], -1.0);

    QVERIFY(s.send("1BCL4=-0.25"));
    QCOMPARE(s.sim().model().compLow[3][11], -0.25);
    QCOMPARE(s.ask("1BCL4=?"), QByteArray("1BCL4=-0.25\r\n"));
    QCOMPARE(s.ask("1RSFORM=?"), QByteArray("1RSFORM=2\r\n"));

    // An axis the module does not have.
    QVERIFY(s.send("1CRSL=?"));
    QVERIFY(s.quiet());
    QCOMPARE(s.lastLogged().disposition, ReceivedCommand::Disposition::Unknown);

    // PRA carries the axis where the others carry the unit.
    QVERIFY(s.send("0PRA=5"));
    QCOMPARE(s.sim().model().paramAddr[0], 5);
    QCOMPARE(s.sim().model().paramAddr[1], 0);
    QCOMPARE(s.ask("0PRA=?"), QByteArray("0PRA=5\r\n"));
    QCOMPARE(s.ask("BPRA=?"), QByteArray("BPRA=0\r\n"));
    QVERIFY(s.send("CPRA=?"));
    QVERIFY(s.quiet());

    // Global commands carry no prefix at all.
    QVERIFY(s.send("1NIP=?"));
    QVERIFY(s.quiet());
    QCOMPARE(s.lastLogged().disposition, ReceivedCommand::Disposition::Unknown);
    QCOMPARE(s.ask("LPC3=?"), QByteArray("LPC3=0\r\n"));
    QVERIFY(s.send("LPC4=?"));
    QVERIFY(s.quiet());
    QVERIFY(s.send("1BCH5=?"));
    QVERIFY(s.quiet());

    // Hex digits come upper-case from the tool.
    QVERIFY(s.send("1bRSL=?"));
    QVERIFY(s.quiet());
    QCOMPARE(s.lastLogged().disposition, ReceivedCommand::Disposition::Unknown);
}

void TestModuleSimulator::chunkSplitting_data()
{
    QTest::addColumn<QString>("chunk");
    QTest::addColumn<QStringList>("commands");
    QTest::newRow("one query") << "0ARSL=?" << QStringList{"0ARSL=?"};
    QTest::newRow("one set") << "0ARSL=3" << QStringList{"0ARSL=3"};
    QTest::newRow("two queries") << "0ARSL=?0APOL=?" << QStringList{"0ARSL=?", "0APOL=?"};
    QTest::newRow("bracket and set") << "SETUP0ARSL=2" << QStringList{"SETUP", "0ARSL=2"};
    QTest::newRow("clear and close") << "00LCLRCLOSE" << QStringList{"00LCLR", "CLOSE"};
    QTest::newRow("readout then query") << "R0ARSL=?" << QStringList{"R", "0ARSL=?"};
    QTest::newRow("plc address query") << "RIP=?R" << QStringList{"RIP=?", "R"};
    QTest::newRow("reset bracket") << "SETUPFACTRSTCLOSE" << QStringList{"SETUP", "FACTRST", "CLOSE"};
    QTest::newRow("typed lines") << "CONFIG=?\r\nNIP=?\n" << QStringList{"CONFIG=?", "NIP=?"};
    QTest::newRow("query then set") << "0ARSL=?0ARSL=3" << QStringList{"0ARSL=?", "0ARSL=3"};
}

void TestModuleSimulator::chunkSplitting()
{
    QFETCH(QString, chunk);
    QFETCH(QStringList, commands);
    QCOMPARE(ModuleSimulator::splitChunk(chunk), commands);
}

void TestModuleSimulator::gluedCommandsOverTheWire()
{
    Session s;
    QVERIFY(s.open());
    QVERIFY(s.send("SETUP0ARSL=4", 2));
    QVERIFY(s.send("0ARSL=?0APOL=?", 2));
    const QByteArray expected("0ARSL=4\r\n0APOL=0\r\n");
    QCOMPARE(Session::readBytes(s.socket, expected.size()), expected);
    const QVector<ReceivedCommand> log = s.sim().commandLog();
    QCOMPARE(log.size(), 4);
    QVERIFY(log.at(1).insideSetup);
}

void TestModuleSimulator::referencePointAndClear()
{
    SimulatorOptions options;
    options.axisCount = 2;
    options.seed = 11;
    Session s(options);
    QVERIFY(s.open());

    QVERIFY(s.send("SETUP"));
    QVERIFY(s.send("01REF=1"));
    QVERIFY(s.send("01P=5"));
    QVERIFY(s.send("CLOSE"));
    // The gauge itself reads well within +-1, so the offset brings the axis to the master value.
    const double offset = valueOf(s.ask("01LO=?"));
    QVERIFY2(offset > 4.0 && offset < 6.0, qPrintable(QString::number(offset)));
    QVERIFY(qAbs(s.sim().model().refOffset[1] - offset) < 1e-5);
    const QVector<Field> fields = parseReadout(s.ask("R"), 2, 2);
    QCOMPARE(fields.size(), 2);
    QVERIFY2(qAbs(fields.at(1).value - 5.0) < 0.05, qPrintable(fields.at(1).valueText));
    QVERIFY(qAbs(fields.at(0).value) < 1.0);

    QVERIFY(s.send("SETUP"));
    QVERIFY(s.send("01LCLR"));
    QCOMPARE(s.lastLogged().disposition, ReceivedCommand::Disposition::Applied);
    QVERIFY(s.send("CLOSE"));
    QCOMPARE(s.ask("01LO=?"), QByteArray("01LO=0\r\n"));
    QVERIFY(qAbs(parseReadout(s.ask("R"), 2, 2).value(1).value) < 1.0);
    // Clearing an axis of another unit changes nothing.
    QVERIFY(s.send("11LCLR"));
    QCOMPARE(s.lastLogged().disposition, ReceivedCommand::Disposition::OtherUnit);
}

void TestModuleSimulator::factoryReset()
{
    SimulatorOptions options;
    options.unitNumber = 3;
    options.axisCount = 5;
    Session s(options);
    QVERIFY(s.open());
    QVERIFY(s.send("SETUP"));
    QVERIFY(s.send("34RSL=5"));
    QVERIFY(s.send("30CH2=0.125"));
    QVERIFY(s.send("3RSFORM=0"));
    QVERIFY(s.send("NIP=10.1.2.3"));
    QVERIFY(s.send("LPC1=6"));
    QVERIFY(s.send("4PRA=77"));
    QCOMPARE(s.ask("34RSL=?"), QByteArray("34RSL=5\r\n"));

    QVERIFY(s.send("FACTRST"));
    QVERIFY(s.send("CLOSE"));
    QCOMPARE(s.ask("34RSL=?"), QByteArray("34RSL=1\r\n"));
    QCOMPARE(s.ask("30CH2=?"), QByteArray("30CH2=1\r\n"));
    QCOMPARE(s.ask("3RSFORM=?"), QByteArray("3RSFORM=2\r\n"));
    QCOMPARE(s.ask("NIP=?"), QByteArray("NIP=192.168.0.100\r\n"));
    QCOMPARE(s.ask("LPC1=?"), QByteArray("LPC1=0\r\n"));
    QCOMPARE(s.ask("4PRA=?"), QByteArray("4PRA=0\r\n"));
    QCOMPARE(s.ask("CONFIG=?"), QByteArray("CONFIG=34\r\n"));
}

void TestModuleSimulator::crashDropsConnection()
{
    Session s;
    QVERIFY(s.open());
    QVERIFY(s.send("00RSL=2"));
    s.socket.write("CRASH");
    s.socket.flush();
    QVERIFY(s.socket.waitForDisconnected(ReplyWaitMs));
    QCOMPARE(s.sim().simulator()->connectionCount(), 1);

    QTcpSocket again;
    QVERIFY(s.connectClient(again));
    again.write("CONFIG=?");
    QCOMPARE(Session::readReply(again), QByteArray("CONFIG=0F\r\n"));
    // A restart keeps the stored settings.
    again.write("00RSL=?");
    QCOMPARE(Session::readReply(again), QByteArray("00RSL=2\r\n"));
    QCOMPARE(s.sim().simulator()->connectionCount(), 2);
}

void TestModuleSimulator::readoutLayout_data()
{
    QTest::addColumn<int>("dataFormat");
    QTest::newRow("format 0") << 0;
    QTest::newRow("format 1") << 1;
    QTest::newRow("format 2") << 2;
}

void TestModuleSimulator::readoutLayout()
{
    QFETCH(int, dataFormat);
    SimulatorOptions options;
    options.axisCount = 4;
    options.seed = 3;
    Session s(options);
    QVERIFY(s.open());
    // Axis 0 in range, axis 1 above set 1, axis 2 below set 2 (the active one), axis 3 in MAX mode.
    QVERIFY(s.send("SETUP"));
    for (const char *command : {"01CH1=-10", "01CL1=-20", "02CH1=-10", "02CL1=-20", "02CH2=20", "02CL2=10",
                                "02SCN=2", "00MODE=0", "01MODE=3", "02MODE=2", "03MODE=1"})
        QVERIFY(s.send(command));
    QVERIFY(s.send(QByteArray("0RSFORM=") + QByteArray::number(dataFormat)));
    QVERIFY(s.send("CLOSE"));

    for (int reading = 0; reading < 3; ++reading) {
        const QByteArray reply = s.ask("R");
        const QVector<Field> fields = parseReadout(reply, dataFormat, 4);
        QCOMPARE(fields.size(), 4);
        for (int axis = 0; axis < 4; ++axis) {
            const Field &field = fields.at(axis);
            QVERIFY2(field.ok, qPrintable(field.text));
            QVERIFY2(QRegularExpression(QStringLiteral("^ *[+-][0-9]+\\.[0-9]+$")).match(field.valueText).hasMatch(),
                     qPrintable(field.valueText));
            QVERIFY(field.value > -1.0 && field.value < 1.0);
        }
        if (dataFormat >= 1) {
            QCOMPARE(fields.at(0).mode, QLatin1Char('N'));
            QCOMPARE(fields.at(1).mode, QLatin1Char('P'));
            QCOMPARE(fields.at(2).mode, QLatin1Char('I'));
            QCOMPARE(fields.at(3).mode, QLatin1Char('A'));
        }
        if (dataFormat >= 2) {
            QCOMPARE(fields.at(0).judge, QLatin1Char('G'));
            QCOMPARE(fields.at(1).judge, QLatin1Char('U'));
            QCOMPARE(fields.at(2).judge, QLatin1Char('L'));
        }
    }
}

void TestModuleSimulator::readoutComparatorFollowsValue()
{
    SimulatorOptions options;
    options.axisCount = 1;
    options.seed = 5;
    Session s(options);
    QVERIFY(s.open());
    const double start = parseReadout(s.ask("R"), 2, 1).value(0).value;
    // A narrow window around the start makes the drifting value leave it on both sides.
    QVERIFY(s.send(QByteArray("00CH1=") + QByteArray::number(start + 0.004, 'g', 6)));
    QVERIFY(s.send(QByteArray("00CL1=") + QByteArray::number(start - 0.004, 'g', 6)));
    const ModuleModel model = s.sim().model();
    const double high = model.compHigh[0][0];
    const double low = model.compLow[0][0];

    QSet<QChar> seen;
    double previous = start;
    bool drifted = false;
    for (int reading = 0; reading < 80; ++reading) {
        const QVector<Field> fields = parseReadout(s.ask("R"), 2, 1);
        QCOMPARE(fields.size(), 1);
        const Field &field = fields.at(0);
        drifted = drifted || field.value != previous;
        previous = field.value;
        seen.insert(field.judge);
        // The printed value is rounded to 5 decimals; skip readings that sit on a limit.
        if (qAbs(field.value - high) < 1e-5 || qAbs(field.value - low) < 1e-5)
            continue;
        const QChar expected = field.value > high ? QLatin1Char('U') : field.value < low ? QLatin1Char('L')
                                                                                        : QLatin1Char('G');
        QVERIFY2(field.judge == expected, qPrintable(field.text));
    }
    QVERIFY(drifted);
    QVERIFY2(seen.size() >= 2, qPrintable(QStringLiteral("the value never left [%1, %2]: %3").arg(low).arg(high).arg(previous)));
}

void TestModuleSimulator::readoutPeakModes()
{
    SimulatorOptions options;
    options.axisCount = 3;
    options.seed = 9;
    Session s(options);
    QVERIFY(s.open());
    QVERIFY(s.send("00MODE=1"));
    QVERIFY(s.send("01MODE=2"));
    QVERIFY(s.send("02MODE=3"));
    QVector<Field> last = parseReadout(s.ask("R"), 2, 3);
    QCOMPARE(last.size(), 3);
    for (int reading = 0; reading < 30; ++reading) {
        const QVector<Field> fields = parseReadout(s.ask("R"), 2, 3);
        QCOMPARE(fields.size(), 3);
        QVERIFY(fields.at(0).value >= last.at(0).value);
        QVERIFY(fields.at(1).value <= last.at(1).value);
        QVERIFY(fields.at(2).value >= last.at(2).value && fields.at(2).value >= 0.0);
        last = fields;
    }
    QVERIFY(last.at(2).value > 0.0);
    // Changing the mode starts the peaks again.
    QVERIFY(s.send("02MODE=3"));
    QCOMPARE(parseReadout(s.ask("R"), 2, 3).value(2).value, 0.0);
}

void TestModuleSimulator::readoutSeedAndTransforms()
{
    auto readings = [](std::optional<quint32> seed, const QList<QByteArray> &setup, int count) {
        SimulatorOptions options;
        options.axisCount = 2;
        options.seed = seed;
        Session s(options);
        QVector<QVector<double>> values;
        if (!s.open())
            return values;
        for (const QByteArray &command : setup)
            s.send(command);
        for (int i = 0; i < count; ++i) {
            QVector<double> reading;
            for (const Field &field : parseReadout(s.ask("R"), 2, 2))
                reading << field.value;
            values << reading;
        }
        return values;
    };

    const auto first = readings(42, {}, 10);
    QCOMPARE(first.size(), 10);
    QCOMPARE(first.at(0).size(), 2);
    QCOMPARE(readings(42, {}, 10), first);
    QVERIFY(readings(43, {}, 10) != first);
    QVERIFY(first.at(0).at(0) != first.at(0).at(1)); // every axis has its own curve

    // Reversed counting on axis 0, inch readout on the unit.
    const auto transformed = readings(42, {"00POL=1", "0SCALE=1"}, 10);
    QCOMPARE(transformed.size(), 10);
    for (int i = 0; i < 10; ++i) {
        QVERIFY(qAbs(transformed.at(i).at(0) + first.at(i).at(0) / 25.4) < 2e-5);
        QVERIFY(qAbs(transformed.at(i).at(1) - first.at(i).at(1) / 25.4) < 2e-5);
    }
}

void TestModuleSimulator::readoutErrorAxis()
{
    SimulatorOptions options;
    options.axisCount = 3;
    options.errorAxis = 1;
    Session s(options);
    QVERIFY(s.open());
    for (int dataFormat : {2, 1}) {
        QVERIFY(s.send(QByteArray("0RSFORM=") + QByteArray::number(dataFormat)));
        const QVector<Field> fields = parseReadout(s.ask("R"), dataFormat, 3);
        QCOMPARE(fields.size(), 3);
        QVERIFY(fields.at(0).ok);
        QVERIFY(!fields.at(1).ok);
        QCOMPARE(fields.at(1).valueText, QStringLiteral("--------"));
        QVERIFY(fields.at(2).ok);
        if (dataFormat == 2) {
            QCOMPARE(fields.at(1).judge, QLatin1Char('E'));
            QCOMPARE(fields.at(0).judge, QLatin1Char('G'));
        }
    }
}

void TestModuleSimulator::formatValueWidth_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("small") << 0.01234 << "+0.01234";
    QTest::newRow("negative tens") << -12.3456 << "-12.3456";
    QTest::newRow("zero") << 0.0 << "+0.00000";
    QTest::newRow("rounds up a digit") << 9.999999 << "+10.0000";
    QTest::newRow("no decimals left") << 1234567.0 << "+1234567";
    QTest::newRow("too large") << 12345678.0 << "";
}

void TestModuleSimulator::formatValueWidth()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(ModuleSimulator::formatValue(value), text);
}

void TestModuleSimulator::faultSilent()
{
    SimulatorOptions options;
    options.silentPatterns << SimulatorOptions::wholeCommand(QStringLiteral("0.LO=\\?"))
                           << SimulatorOptions::wholeCommand(QStringLiteral("0.P=.*"));
    Session s(options);
    QVERIFY(s.open());
    QVERIFY(s.send("03LO=?"));
    QVERIFY(s.quiet());
    QCOMPARE(s.lastLogged().disposition, ReceivedCommand::Disposition::Silenced);
    // A silenced set is not applied either.
    QVERIFY(s.send("03P=4"));
    QCOMPARE(s.sim().model().preset[3], 0.0);
    // The pattern must cover the whole command.
    QCOMPARE(s.ask("03RSL=?"), QByteArray("03RSL=1\r\n"));
    QCOMPARE(s.ask("NIP=?"), QByteArray("NIP=192.168.0.100\r\n"));
}

void TestModuleSimulator::faultSplit()
{
    SimulatorOptions options;
    options.splitPatterns << SimulatorOptions::wholeCommand(QStringLiteral("CONFIG=\\?"));
    options.splitGapMs = 300;
    Session s(options);
    QVERIFY(s.open());

    QElapsedTimer timer;
    s.socket.write("CONFIG=?");
    s.socket.flush();
    QVERIFY(s.socket.waitForReadyRead(ReplyWaitMs));
    timer.start();
    QCOMPARE(s.socket.readAll(), QByteArray("CONFI"));
    QVERIFY(s.socket.waitForReadyRead(ReplyWaitMs));
    QVERIFY2(timer.elapsed() >= 250, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(s.socket.readAll(), QByteArray("G=0F\r\n"));

    // Replies to other commands come whole, and after the second piece of an earlier split.
    s.socket.write("CONFIG=?");
    s.socket.flush();
    QVERIFY(s.sim().waitForCommandCount(2, ReplyWaitMs));
    QVERIFY(s.send("00RSL=?"));
    const QByteArray expected("CONFIG=0F\r\n00RSL=1\r\n");
    QCOMPARE(Session::readBytes(s.socket, expected.size()), expected);
}

void TestModuleSimulator::faultGarble()
{
    SimulatorOptions options;
    options.garblePatterns << SimulatorOptions::wholeCommand(QStringLiteral("..RSL=\\?"))
                           << SimulatorOptions::wholeCommand(QStringLiteral("CONFIG=\\?"));
    Session s(options);
    QVERIFY(s.open());
    QCOMPARE(s.ask("05RSL=?"), QByteArray("05RSL=X#?\r\n"));
    QCOMPARE(s.ask("CONFIG=?"), QByteArray("CONFIG=X#?\r\n"));
    QCOMPARE(s.ask("05POL=?"), QByteArray("05POL=0\r\n"));
    QCOMPARE(s.ask("NMS=?"), QByteArray("NMS=255.255.255.0\r\n"));
}

void TestModuleSimulator::faultCloseAfter()
{
    SimulatorOptions options;
    options.closeAfter = 3;
    Session s(options);
    QVERIFY(s.open());
    QCOMPARE(s.ask("CONFIG=?"), QByteArray("CONFIG=0F\r\n"));
    QVERIFY(s.send("00RSL=3"));
    s.socket.write("00RSL=?");
    s.socket.flush();
    QVERIFY(s.socket.waitForDisconnected(ReplyWaitMs));
    QCOMPARE(s.socket.readAll(), QByteArray());
    QCOMPARE(s.lastLogged().disposition, ReceivedCommand::Disposition::Dropped);

    // Counting starts again for the next connection.
    QTcpSocket again;
    QVERIFY(s.connectClient(again));
    QVERIFY(s.send(again, "00RSL=?"));
    QCOMPARE(Session::readReply(again), QByteArray("00RSL=3\r\n"));
    QVERIFY(s.send(again, "00POL=?"));
    QCOMPARE(Session::readReply(again), QByteArray("00POL=0\r\n"));
    QVERIFY(s.send(again, "00MODE=?"));
    QVERIFY(again.state() == QAbstractSocket::UnconnectedState || again.waitForDisconnected(ReplyWaitMs));
}

void TestModuleSimulator::faultDelay()
{
    SimulatorOptions options;
    options.replyDelayMs = 400;
    options.delayPatterns << SimulatorOptions::wholeCommand(QStringLiteral("..LO=\\?"));
    Session s(options);
    QVERIFY(s.open());

    // Not delayed: the reply is on its way before the command is even logged.
    QVERIFY(s.send("00RSL=?"));
    QCOMPARE(Session::readReply(s.socket), QByteArray("00RSL=1\r\n"));

    QElapsedTimer timer;
    timer.start();
    QVERIFY(s.send("00LO=?"));
    QVERIFY(Session::quiet(s.socket, 200));
    QCOMPARE(Session::readReply(s.socket), QByteArray("00LO=0\r\n"));
    QVERIFY2(timer.elapsed() >= 350, qPrintable(QString::number(timer.elapsed())));

    // Replies keep their order: one queued behind a late reply waits for it.
    QVERIFY(s.send("01LO=?"));
    QVERIFY(s.send("01RSL=?"));
    QVERIFY(Session::quiet(s.socket, 150));
    const QByteArray expected("01LO=0\r\n01RSL=1\r\n");
    QCOMPARE(Session::readBytes(s.socket, expected.size()), expected);

    SimulatorOptions all;
    all.replyDelayMs = 300;
    Session everything(all);
    QVERIFY(everything.open());
    timer.restart();
    QCOMPARE(everything.ask("NIP=?"), QByteArray("NIP=192.168.0.100\r\n"));
    QVERIFY2(timer.elapsed() >= 250, qPrintable(QString::number(timer.elapsed())));
}

void TestModuleSimulator::clientsOneAfterAnother()
{
    Session s;
    QVERIFY(s.open());
    QCOMPARE(s.ask("CONFIG=?"), QByteArray("CONFIG=0F\r\n"));

    // The second client gets through to the system but waits for its turn.
    QTcpSocket second;
    QVERIFY(s.connectClient(second));
    second.write("00RSL=?");
    second.flush();
    QVERIFY(Session::quiet(second, 300));
    QCOMPARE(s.sim().simulator()->connectionCount(), 1);
    QTcpSocket quitter;
    QVERIFY(s.connectClient(quitter));
    quitter.abort();

    s.socket.disconnectFromHost();
    QCOMPARE(Session::readReply(second), QByteArray("00RSL=1\r\n"));
    QCOMPARE(s.sim().simulator()->connectionCount(), 2);

    // The one that gave up while waiting does not block the next.
    second.disconnectFromHost();
    QTcpSocket third;
    QVERIFY(s.connectClient(third));
    third.write("CONFIG=?");
    QCOMPARE(Session::readReply(third), QByteArray("CONFIG=0F\r\n"));
}

void TestModuleSimulator::commandLog()
{
    Session s;
    QStringList signalled;
    QObject receiver;
    connect(s.sim().simulator(), &ModuleSimulator::commandReceived, &receiver,
            [&signalled](const QString &command) { signalled << command; });
    QVERIFY(s.open());

    QVERIFY(s.send("SETUP"));
    QVERIFY(s.send("0ARSL=2"));
    QTest::qSleep(60);
    QVERIFY(s.send("CLOSE"));
    QVERIFY(s.send("0ARSL=3"));
    QCOMPARE(s.ask("0ARSL=?"), QByteArray("0ARSL=3\r\n"));
    QVERIFY(s.sim().waitForCommandCount(5, ReplyWaitMs));

    const QVector<ReceivedCommand> log = s.sim().commandLog();
    QCOMPARE(s.sim().commandTexts(), (QStringList{"SETUP", "0ARSL=2", "CLOSE", "0ARSL=3", "0ARSL=?"}));
    for (int i = 1; i < log.size(); ++i)
        QVERIFY(log.at(i).timestampNs >= log.at(i - 1).timestampNs);
    QVERIFY(log.at(2).timestampNs - log.at(1).timestampNs >= 55 * 1000 * 1000);
    QVERIFY(log.last().timestampNs <= s.sim().simulator()->nsecsSinceStart());

    QVERIFY(!log.at(0).setting);
    QVERIFY(log.at(1).setting && log.at(1).insideSetup);
    QVERIFY(log.at(2).insideSetup);
    QVERIFY(log.at(3).setting && !log.at(3).insideSetup);
    QVERIFY(!log.at(4).setting);
    QCOMPARE(log.at(4).disposition, ReceivedCommand::Disposition::Answered);

    QTRY_COMPARE(signalled, s.sim().commandTexts());

    s.sim().clearCommandLog();
    QVERIFY(s.sim().commandLog().isEmpty());
    QVERIFY(s.send("R"));
    QCOMPARE(s.sim().commandTexts(), QStringList{"R"});
}

void TestModuleSimulator::logFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SimulatorOptions options;
    options.logPath = dir.filePath(QStringLiteral("commands.log"));
    {
        Session s(options);
        QVERIFY(s.open());
        QVERIFY(s.send("CONFIG=?"));
        QVERIFY(s.send("0ARSL=2"));
        QVERIFY(s.send("bogus"));
    }
    QFile file(options.logPath);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    const QRegularExpression line(QStringLiteral("^ *(\\d+\\.\\d{3}) (\\S+)(.*)$"));
    QStringList commands;
    double previous = 0.0;
    for (const QString &text : lines) {
        const QRegularExpressionMatch match = line.match(text);
        QVERIFY2(match.hasMatch(), qPrintable(text));
        QVERIFY(match.captured(1).toDouble() >= previous);
        previous = match.captured(1).toDouble();
        commands << match.captured(2);
    }
    QCOMPARE(commands, (QStringList{"CONFIG=?", "0ARSL=2", "bogus"}));
    QVERIFY(lines.at(1).contains(QLatin1String("outside SETUP")));
    QVERIFY(lines.at(2).contains(QLatin1String("unknown")));
}

void TestModuleSimulator::portInUse()
{
    QTcpServer occupier;
    QVERIFY(occupier.listen(QHostAddress::LocalHost, 0));
    SimulatorOptions options;
    options.port = occupier.serverPort();
    SimulatorThread sim(options);
    QVERIFY(!sim.start());
    QVERIFY(!sim.errorString().isEmpty());
    QCOMPARE(sim.serverPort(), quint16(0));
}

QTEST_GUILESS_MAIN(TestModuleSimulator)
#include "tst_modulesimulator.moc"
