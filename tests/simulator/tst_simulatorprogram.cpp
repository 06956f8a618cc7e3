#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

// A port that was free a moment ago; the program cannot report one it picked itself.
quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

QByteArray readLine(QProcess &process, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!process.canReadLine() && timer.elapsed() < timeoutMs)
        process.waitForReadyRead(100);
    return process.readLine().trimmed();
}

} // namespace

class TestSimulatorProgram : public QObject
{
    Q_OBJECT

private slots:
    void answersOnItsPort();
    void refusesBadOptions_data();
    void refusesBadOptions();
};

void TestSimulatorProgram::answersOnItsPort()
{
    const quint16 port = freePort();
    QVERIFY(port != 0);
    QProcess program;
    program.start(QStringLiteral(SIMULATOR_PROGRAM),
                  {QStringLiteral("--port"), QString::number(port), QStringLiteral("--unit"), QStringLiteral("2"),
                   QStringLiteral("--axes"), QStringLiteral("4"), QStringLiteral("--log")});
    QVERIFY(program.waitForStarted());
    QCOMPARE(readLine(program), QStringLiteral("listening on 127.0.0.1:%1, unit 2, 4 axes").arg(port).toLatin1());

    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(socket.waitForConnected(5000));
    socket.write("CONFIG=?");
    QByteArray reply;
    while (!reply.endsWith("\r\n") && socket.waitForReadyRead(5000))
        reply += socket.readAll();
    QCOMPARE(reply, QByteArray("CONFIG=23\r\n"));

    const QByteArray logged = readLine(program);
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\\.\\d{3} CONFIG=\\?$")).match(QString::fromLatin1(logged)).hasMatch(),
             logged.constData());

    program.kill();
    QVERIFY(program.waitForFinished());
}

void TestSimulatorProgram::refusesBadOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("too many axes") << QStringList{"--axes", "17"};
    QTest::newRow("unit out of range") << QStringList{"--unit", "16"};
    QTest::newRow("broken pattern") << QStringList{"--silent", "(("};
    QTest::newRow("not an address") << QStringList{"--address", "nowhere"};
}

void TestSimulatorProgram::refusesBadOptions()
{
    QFETCH(QStringList, arguments);
    QProcess program;
    program.start(QStringLiteral(SIMULATOR_PROGRAM), arguments + QStringList{"--port", "0"});
    QVERIFY(program.waitForFinished(5000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 2);
    QVERIFY(!program.readAllStandardError().isEmpty());
}

QTEST_GUILESS_MAIN(TestSimulatorProgram)
#include "tst_simulatorprogram.moc"
