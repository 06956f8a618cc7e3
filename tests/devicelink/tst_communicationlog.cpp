// SPDX-License-Identifier: GPL-3.0-or-later
// The link's communication log against the simulator: every command, reply,
// time-out and discarded late reply, in order, with its bytes as on the wire, and
// the log file that takes the same lines.

#include "communicationlogfile.h"
#include "commandinterface.h"
#include "simulatorthread.h"

#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QtTest>

using Kind = CommunicationLogEntry::Kind;

static SimulatorOptions simulatorOptions(int axes)
{
    SimulatorOptions options;
    options.port = 0;
    options.axisCount = axes;
    return options;
}

class tst_CommunicationLog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false")); }
    void exchangeIsLoggedInOrder();
};

void tst_CommunicationLog::exchangeIsLoggedInOrder()
{
    SimulatorOptions options = simulatorOptions(2);
    options.address = QHostAddress(QStringLiteral("127.0.0.151"));
    // Axis 0's offset reply comes after its wait; it is released with the command
    // after the next one, whose own wait runs out in between. The parameter read
    // asks for neither offset, as no axis uses its reference point.
    options.replyDelayMs = 1200;
    options.delayPatterns << SimulatorOptions::wholeCommand(QStringLiteral("00LO=\\?"));
    options.lateReply = SimulatorOptions::LateReply::WithNextCommand;
    options.silentPatterns << SimulatorOptions::wholeCommand(QStringLiteral("01LO=\\?"));
    SimulatorThread simulator(options);
    ModuleModel model = simulator.model();
    model.version = QStringLiteral("V1\x01");
    model.refUse = {};
    model.refOffset[0] = 2.5;
    model.direction[0] = true;
    simulator.setModel(model);
    QVERIFY(simulator.start());

    CommandInterface link;
    link.inchEnabled = true;
    QSignalSpy connected(&link, &CommandInterface::transmitConnected);
    link.connectToHost(options.address.toIPv4Address(), simulator.serverPort());
    QVERIFY(connected.wait(30000));

    QVector<CommunicationLogEntry> entries;
    connect(&link, &CommandInterface::communicationLogged, this,
            [&entries](const CommunicationLogEntry &entry) { entries << entry; }, Qt::DirectConnection);
    QTemporaryDir folder;
    CommunicationLogFile file;
    QVERIFY(file.open(folder.filePath(QStringLiteral("log.txt"))));
    file.attach(&link, QStringLiteral("127.0.0.151"));

    link.queryVersion();
    link.queryRefOffset(0);
    link.queryRefOffset(1);
    link.queryDirection(0);
    link.sendUpdateMeasure();

    struct Expected
    {
        Kind kind;
        QByteArray bytes;
        bool poll;
    };
    const QVector<Expected> expected{
            {Kind::Sent, "0VER=?", false},       {Kind::Reply, "0VER=V1\x01\r\n", false},
            {Kind::Sent, "00LO=?", false},       {Kind::Timeout, "00LO=?", false},
            {Kind::Sent, "01LO=?", false},       {Kind::Timeout, "01LO=?", false},
            {Kind::Sent, "00POL=?", false},      {Kind::Discarded, "00LO=2.5\r\n", false},
            {Kind::Reply, "00POL=1\r\n", false}, {Kind::Sent, "R", true},
    };
    QCOMPARE(entries.size(), expected.size() + 1);
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(int(entries[i].kind), int(expected[i].kind));
        QCOMPARE(entries[i].bytes, expected[i].bytes);
        QCOMPARE(entries[i].poll, expected[i].poll);
        QCOMPARE(entries[i].sinceCommandUs < 0, entries[i].kind == Kind::Sent);
    }
    QCOMPARE(int(entries.last().kind), int(Kind::Reply));
    QVERIFY(entries.last().poll);
    QVERIFY(entries.last().bytes.endsWith("\r\n"));
    // A time-out comes no sooner than the link's second of waiting.
    QVERIFY(entries[3].sinceCommandUs >= 1000000);
    QVERIFY(entries[1].time <= entries[3].time);
    QVERIFY(qIsNaN(link.refOffset[0]));

    QStringList lines;
    for (const CommunicationLogEntry &entry : qAsConst(entries))
        lines << QStringLiteral("127.0.0.151  ") + entry.line();
    const auto fileLines = [&folder] {
        QFile written(folder.filePath(QStringLiteral("log.txt")));
        written.open(QIODevice::ReadOnly | QIODevice::Text);
        return QString::fromUtf8(written.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    };
    QTRY_COMPARE(fileLines(), lines);
    const QRegularExpression format(QStringLiteral(
            R"(^127\.0\.0\.151  \d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d  +\+\d+\.\d ms  reply      "0VER=V1\\x01\\r\\n"$)"));
    QVERIFY2(format.match(lines[1]).hasMatch(), qPrintable(lines[1]));
    // Every byte that could blur a line shows as an escape; nothing is lost.
    QCOMPARE(CommunicationLogEntry::visible(QByteArray("\"\\\t\x7f\xc3\0", 6)), QStringLiteral("\"\\\"\\\\\\t\\x7F\\xC3\\x00\""));
}

QTEST_GUILESS_MAIN(tst_CommunicationLog)
#include "tst_communicationlog.moc"
