#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

struct Run
{
    bool ok = false;
    QByteArray output;
    QString failure;
};

// Runs a program to its end; ok only for a normal exit with code 0.
Run run(const QString &program, const QStringList &arguments, int timeoutMs = 30000)
{
    Run result;
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted()) {
        result.failure = QStringLiteral("%1 did not start: %2").arg(program, process.errorString());
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

// The "Key=Value" lines of a desktop entry.
QHash<QString, QString> desktopEntry(const QString &path)
{
    QHash<QString, QString> entry;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return entry;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals > 0 && !line.startsWith(QLatin1Char('#')))
            entry.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return entry;
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

} // namespace

class TestPackage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void controlFields();
    void installedFiles();
    void desktopEntryAndIcon();
    void programsDoNotLookIntoTheBuildFolder();
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
    QVERIFY2(packages.first().startsWith(QStringLiteral(PACKAGE_NAME "_" PACKAGE_VERSION)),
             qPrintable(packages.first()));

    root.setPath(work.filePath(QStringLiteral("root")));
    const Run unpack = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), packageFile, root.path()});
    QVERIFY2(unpack.ok, qPrintable(unpack.failure));
}

void TestPackage::controlFields()
{
    const Run fields = run(QStringLiteral("dpkg-deb"),
                           {QStringLiteral("-f"), packageFile, QStringLiteral("Package"), QStringLiteral("Version"),
                            QStringLiteral("Architecture"), QStringLiteral("Depends")});
    QVERIFY2(fields.ok, qPrintable(fields.failure));
    QHash<QString, QString> control;
    for (const QByteArray &line : fields.output.split('\n')) {
        const int colon = line.indexOf(':');
        if (colon > 0)
            control.insert(QString::fromUtf8(line.left(colon)), QString::fromUtf8(line.mid(colon + 1)).trimmed());
    }
    QCOMPARE(control.value(QStringLiteral("Package")), QStringLiteral(PACKAGE_NAME));
    QCOMPARE(control.value(QStringLiteral("Version")), QStringLiteral(PACKAGE_VERSION));

    const Run architecture = run(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")});
    QVERIFY2(architecture.ok, qPrintable(architecture.failure));
    QCOMPARE(control.value(QStringLiteral("Architecture")), QString::fromUtf8(architecture.output.trimmed()));

    // Every package named in Depends, alternatives included, without version bounds.
    QSet<QString> depends;
    const QStringList groups = control.value(QStringLiteral("Depends")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &group : groups) {
        for (const QString &alternative : group.split(QLatin1Char('|')))
            depends.insert(alternative.trimmed().section(QLatin1Char(' '), 0, 0));
    }
    for (const char *runtime : {"libqt5core5a", "libqt5gui5", "libqt5network5", "libqt5widgets5", "libqt5charts5"}) {
        QVERIFY2(depends.contains(QLatin1String(runtime)),
                 qPrintable(QStringLiteral("%1 missing from Depends: %2")
                                    .arg(QLatin1String(runtime), control.value(QStringLiteral("Depends")))));
    }
    for (const QString &name : qAsConst(depends))
        QVERIFY2(!name.endsWith(QLatin1String("-dev")), qPrintable(name));
}

void TestPackage::installedFiles()
{
    // Nothing of the build (libraries, tests, the screenshot program) comes along.
    QStringList files;
    QDirIterator it(root.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(root.relativeFilePath(it.next()));
    files.sort();
    const QStringList expected = {
            QStringLiteral("usr/bin/qr36tn-setting"),
            QStringLiteral("usr/bin/qr36tn-simulator"),
            QStringLiteral("usr/share/applications/qr36tn-setting.desktop"),
            QStringLiteral("usr/share/icons/hicolor/scalable/apps/qr36tn-setting.svg"),
    };
    QCOMPARE(files, expected);
    for (const char *program : {"usr/bin/qr36tn-setting", "usr/bin/qr36tn-simulator"})
        QVERIFY2(QFileInfo(installed(QLatin1String(program))).isExecutable(), program);
}

void TestPackage::desktopEntryAndIcon()
{
    const QString entryPath = installed(QStringLiteral("usr/share/applications/qr36tn-setting.desktop"));
    const Run validate = run(QStringLiteral("desktop-file-validate"), {entryPath});
    QVERIFY2(validate.ok, qPrintable(validate.failure));

    const QHash<QString, QString> entry = desktopEntry(entryPath);
    QCOMPARE(entry.value(QStringLiteral("Type")), QStringLiteral("Application"));
    QCOMPARE(entry.value(QStringLiteral("Name")), QStringLiteral("QR36-TN Setting tool"));
    const QString program = entry.value(QStringLiteral("Exec")).section(QLatin1Char(' '), 0, 0);
    QVERIFY2(QFileInfo(installed(QStringLiteral("usr/bin/") + program)).isExecutable(), qPrintable(program));
    // A menu finds the icon by name in the icon theme the package installs it into.
    const QString iconName = entry.value(QStringLiteral("Icon"));
    QFile icon(installed(QStringLiteral("usr/share/icons/hicolor/scalable/apps/%1.svg").arg(iconName)));
    QVERIFY2(icon.open(QIODevice::ReadOnly), qPrintable(icon.fileName()));

    QXmlStreamReader svg(&icon);
    QVERIFY(svg.readNextStartElement());
    QCOMPARE(svg.name(), QLatin1String("svg"));
    QCOMPARE(svg.namespaceUri(), QLatin1String("http://www.w3.org/2000/svg"));
    QVERIFY2(svg.attributes().hasAttribute(QStringLiteral("viewBox")), "a scalable icon needs a viewBox");
    int shapes = 0;
    while (!svg.atEnd()) {
        if (svg.readNext() == QXmlStreamReader::StartElement)
            ++shapes;
    }
    QVERIFY2(!svg.hasError(), qPrintable(svg.errorString()));
    QVERIFY(shapes > 0);
}

void TestPackage::programsDoNotLookIntoTheBuildFolder()
{
    for (const char *program : {"usr/bin/qr36tn-setting", "usr/bin/qr36tn-simulator"}) {
        const Run dynamic = run(QStringLiteral("readelf"), {QStringLiteral("-d"), installed(QLatin1String(program))});
        QVERIFY2(dynamic.ok, qPrintable(dynamic.failure));
        QVERIFY2(dynamic.output.contains("(NEEDED)"), program);
        QVERIFY2(!dynamic.output.contains("(RPATH)") && !dynamic.output.contains("(RUNPATH)"),
                 dynamic.output.constData());
    }
}

void TestPackage::toolStartsHeadless()
{
    // The tool reads "setting.ini" from its working folder: an empty one here.
    const QString folder = work.filePath(QStringLiteral("tool"));
    QVERIFY(QDir().mkpath(folder));
    QProcess tool;
    tool.setProcessEnvironment(plainEnvironment());
    tool.setWorkingDirectory(folder);
    tool.start(installed(QStringLiteral("usr/bin/qr36tn-setting")), QStringList());
    QVERIFY2(tool.waitForStarted(), qPrintable(tool.errorString()));

    // It has no option to quit: still running after two seconds is a good start.
    const bool ended = tool.waitForFinished(2000);
    const QByteArray log = tool.readAllStandardError();
    QVERIFY2(!ended, log.constData());
    // The window logs its own construction.
    QVERIFY2(log.contains("mainwindow"), log.constData());

    tool.terminate();
    if (!tool.waitForFinished(5000)) {
        tool.kill();
        tool.waitForFinished();
    }
}

void TestPackage::simulatorAnswersOnLoopback()
{
    QProcess simulator;
    simulator.setProcessEnvironment(plainEnvironment());
    // Port 0: the simulator takes a free port and says which.
    simulator.start(installed(QStringLiteral("usr/bin/qr36tn-simulator")),
                    {QStringLiteral("--address"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
                     QStringLiteral("0"), QStringLiteral("--unit"), QStringLiteral("3"), QStringLiteral("--axes"),
                     QStringLiteral("5")});
    QVERIFY2(simulator.waitForStarted(), qPrintable(simulator.errorString()));
    QDeadlineTimer deadline(10000);
    while (!simulator.canReadLine() && !deadline.hasExpired())
        simulator.waitForReadyRead(100);
    const QString banner = QString::fromUtf8(simulator.readLine()).trimmed();
    const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+), unit 3, 5 axes$")).match(banner);
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

    simulator.kill();
    QVERIFY(simulator.waitForFinished());
}

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
