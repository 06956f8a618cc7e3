// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run
{
    bool ok = false;
    QByteArray output;
    QString failure;
};

// Runs a program to its end; ok only for a normal exit with code 0.
Run run(const QString &program, const QStringList &arguments, int timeoutMs = 60000)
{
    Run result;
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted()) {
        result.failure = QStringLiteral("%1 did not start (scripts/install-deps.sh installs it): %2")
                                 .arg(program, process.errorString());
        return result;
    }
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.failure = QStringLiteral("%1 did not finish in %2 ms").arg(program).arg(timeoutMs);
        return result;
    }
    result.output = process.readAllStandardOutput();
    result.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!result.ok)
        result.failure = QStringLiteral("%1 %2 failed:\n%3%4")
                                 .arg(program, arguments.join(QLatin1Char(' ')),
                                      QString::fromLocal8Bit(result.output),
                                      QString::fromLocal8Bit(process.readAllStandardError()));
    return result;
}

// Installed programs must run from the package alone: nothing of the build folder
// or of a developer's environment may help them find a library or a plugin.
QProcessEnvironment plainEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LD_LIBRARY_PATH"));
    environment.remove(QStringLiteral("QT_PLUGIN_PATH"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}

void stop(QProcess &process)
{
    process.kill();
    process.waitForFinished();
}

const QStringList programs = {QStringLiteral("usr/bin/qr36tn-setting"), QStringLiteral("usr/bin/qr36tn-simulator")};

} // namespace

class TestPackage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void lintianFindsNoErrorOrWarning();
    void appstreamAcceptsTheInstalledTree();
    void dependsBringEveryLinkedLibrary();
    void programsGiveThePackagesVersion();
    void toolStartsHeadless();
    void simulatorAnswersOnLoopback();

private:
    QString installed(const QString &path) const { return root.filePath(path); }

    QTemporaryDir work;
    QString packageFile;
    QDir root;
};

void TestPackage::initTestCase()
{
    QVERIFY(work.isValid());
    const QString outputFolder = work.filePath(QStringLiteral("out"));
    const Run pack = run(QStringLiteral(CPACK_PROGRAM),
                         {QStringLiteral("--config"), QStringLiteral(CPACK_CONFIG), QStringLiteral("-G"),
                          QStringLiteral("DEB"), QStringLiteral("-B"), outputFolder},
                         180000);
    QVERIFY2(pack.ok, qPrintable(pack.failure));
    const QStringList packages = QDir(outputFolder).entryList({QStringLiteral("*.deb")}, QDir::Files);
    QCOMPARE(packages.size(), 1);
    packageFile = QDir(outputFolder).filePath(packages.first());

    root.setPath(work.filePath(QStringLiteral("root")));
    const Run unpack = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), packageFile, root.path()});
    QVERIFY2(unpack.ok, qPrintable(unpack.failure));
}

void TestPackage::lintianFindsNoErrorOrWarning()
{
    const Run lintian = run(QStringLiteral("lintian"),
                            {QStringLiteral("--fail-on"), QStringLiteral("error,warning"),
                             QStringLiteral("--display-info"), QStringLiteral("--pedantic"), packageFile});
    QVERIFY2(lintian.ok, qPrintable(lintian.failure));
    // What may stay (informational and pedantic tags) is shown in the log.
    if (!lintian.output.isEmpty())
        qInfo("%s", lintian.output.constData());
}

void TestPackage::appstreamAcceptsTheInstalledTree()
{
    // The metainfo, and the desktop entry it names as its launchable, as installed.
    const Run validate = run(QStringLiteral("appstreamcli"),
                             {QStringLiteral("validate-tree"), QStringLiteral("--no-net"), root.path()});
    QVERIFY2(validate.ok, qPrintable(validate.failure));
}

void TestPackage::dependsBringEveryLinkedLibrary()
{
    // Installing the package through apt must bring every library its programs load.
    const Run fields = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), packageFile, QStringLiteral("Depends")});
    QVERIFY2(fields.ok, qPrintable(fields.failure));
    QSet<QString> depends;
    for (const QString &entry : QString::fromUtf8(fields.output).split(QRegularExpression(QStringLiteral("[,|]"))))
        depends.insert(entry.trimmed().section(QLatin1Char(' '), 0, 0));

    QStringList libraries;
    const QRegularExpression needed(QStringLiteral("\\(NEEDED\\).*\\[(.+)\\]"));
    for (const QString &program : programs) {
        const Run dynamic = run(QStringLiteral("readelf"), {QStringLiteral("-d"), installed(program)});
        QVERIFY2(dynamic.ok, qPrintable(dynamic.failure));
        for (auto it = needed.globalMatch(QString::fromUtf8(dynamic.output)); it.hasNext();)
            libraries.append(QStringLiteral("*/") + it.next().captured(1));
    }
    libraries.removeDuplicates();
    QVERIFY(!libraries.isEmpty());

    // Lines "package:arch, other:arch: /path/to/library".
    const Run owners = run(QStringLiteral("dpkg"), QStringList{QStringLiteral("-S")} + libraries);
    QVERIFY2(owners.ok, qPrintable(owners.failure));
    QSet<QString> brought;
    for (const QString &line : QString::fromUtf8(owners.output).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString path = line.section(QStringLiteral(": "), -1);
        for (const QString &owner : line.section(QStringLiteral(": "), 0, -2).split(QStringLiteral(", "))) {
            if (depends.contains(owner.section(QLatin1Char(':'), 0, 0)))
                brought.insert(QStringLiteral("*/") + path.section(QLatin1Char('/'), -1));
        }
    }
    for (const QString &library : qAsConst(libraries))
        QVERIFY2(brought.contains(library), qPrintable(library + QStringLiteral(" not brought by: ") + QString::fromUtf8(fields.output)));
}

void TestPackage::programsGiveThePackagesVersion()
{
    // The version is written once, in the build: the package and the programs take it from there.
    const Run field = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), packageFile, QStringLiteral("Version")});
    QVERIFY2(field.ok, qPrintable(field.failure));
    const QString version = QString::fromUtf8(field.output).trimmed();
    QVERIFY(!version.isEmpty());
    const Run config = run(installed(QStringLiteral("usr/bin/qr36tn-config")), {QStringLiteral("--version")});
    QVERIFY2(config.ok, qPrintable(config.failure));
    QCOMPARE(QString::fromUtf8(config.output).trimmed(), QStringLiteral("qr36tn-config ") + version);
}

void TestPackage::toolStartsHeadless()
{
    // The tool reads "setting.ini" from its working folder: an empty one here.
    const QString folder = work.filePath(QStringLiteral("tool"));
    QVERIFY(QDir().mkpath(folder));
    QProcess tool;
    tool.setProcessEnvironment(plainEnvironment());
    tool.setWorkingDirectory(folder);
    tool.start(installed(programs.first()), QStringList());
    QVERIFY2(tool.waitForStarted(), qPrintable(tool.errorString()));

    // The window logs its own construction; the tool has no option to quit.
    QByteArray log;
    QDeadlineTimer deadline(20000);
    while (!log.contains("mainwindow") && tool.state() == QProcess::Running && !deadline.hasExpired()) {
        tool.waitForReadyRead(100);
        log += tool.readAllStandardError();
    }
    QVERIFY2(log.contains("mainwindow"), log.constData());
    QCOMPARE(tool.state(), QProcess::Running);
    stop(tool);
}

void TestPackage::simulatorAnswersOnLoopback()
{
    QProcess simulator;
    simulator.setProcessEnvironment(plainEnvironment());
    // Port 0: the simulator takes a free port and says which.
    simulator.start(installed(programs.last()),
                    {QStringLiteral("--address"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
                     QStringLiteral("0"), QStringLiteral("--unit"), QStringLiteral("3"), QStringLiteral("--axes"),
                     QStringLiteral("5")});
    QVERIFY2(simulator.waitForStarted(), qPrintable(simulator.errorString()));
    QDeadlineTimer deadline(10000);
    while (!simulator.canReadLine() && !deadline.hasExpired())
        simulator.waitForReadyRead(100);
    const QString banner = QString::fromUtf8(simulator.readLine()).trimmed();
    const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+), ")).match(banner);
    QVERIFY2(match.hasMatch(), qPrintable(banner + QString::fromUtf8(simulator.readAllStandardError())));

    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(match.captured(1).toUInt()));
    QVERIFY2(socket.waitForConnected(5000), qPrintable(socket.errorString()));
    socket.write("CONFIG=?");
    QByteArray reply;
    while (!reply.endsWith("\r\n") && socket.waitForReadyRead(5000))
        reply += socket.readAll();
    // Unit number and axis count less one, as hexadecimal digits.
    QCOMPARE(reply, QByteArray("CONFIG=34\r\n"));
    stop(simulator);
}

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
