// SPDX-License-Identifier: GPL-3.0-or-later
// qr36tn-config run as the operator runs it, against module simulators on port
// 24000 of loopback addresses no other test uses (127.0.0.60 to 127.0.0.67).

#include "simulatorthread.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

struct Run
{
    int code = -1;
    QStringList out;
    QString err;
};

Run runTool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(CONFIG_PROGRAM), arguments);
    Run run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.code = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

std::unique_ptr<SimulatorThread> startModule(const QString &address, int axes, SimulatorOptions options = {})
{
    options.address = QHostAddress(address);
    options.port = 24000;
    options.axisCount = axes;
    options.seed = 7;
    auto module = std::make_unique<SimulatorThread>(options);
    if (!module->start())
        qWarning("simulator on %s: %s", qPrintable(address), qPrintable(module->errorString()));
    return module;
}

// The commands that changed something, with the bracket around them.
QStringList writes(const SimulatorThread &module)
{
    QStringList texts;
    for (const ReceivedCommand &command : module.commandLog()) {
        if (command.setting || command.text == QLatin1String("SETUP") || command.text == QLatin1String("CLOSE"))
            texts << command.text;
    }
    return texts;
}

// Three axes that differ from the factory settings, so a file of them says something.
ModuleModel referenceModel(ModuleModel model)
{
    model.preset[2] = 0.125;
    model.refUse[1] = true;
    model.compHigh[3][0] = 2.5;
    model.outputTrigger = 4;
    model.plcIpAddr = QHostAddress(QStringLiteral("10.1.2.3"));
    model.linkProtocol[0] = 6;
    model.paramAddr[2] = 300;
    return model;
}

} // namespace

class tst_ConfigTool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void saveThenDiffFindsNoDifferenceAndWritesNothing();
    void differencesAreListedThenLoadedAlone();
    void badInputSendsNothing_data();
    void badInputSendsNothing();
    void aSilentModuleFailsAlone();
    void loadAndSaveKeepEveryDigit();

private:
    QString variant(const QString &name, const std::function<void(QJsonObject &)> &change);

    QTemporaryDir folder;
    QString reference;
    std::unique_ptr<SimulatorThread> referenceModule;
};

void tst_ConfigTool::initTestCase()
{
    QVERIFY(folder.isValid());
    referenceModule = startModule(QStringLiteral("127.0.0.60"), 3);
    referenceModule->setModel(referenceModel(referenceModule->model()));
    reference = folder.filePath(QStringLiteral("reference.json"));
    const Run save = runTool({"save", "127.0.0.60", reference});
    QCOMPARE(save.code, 0);
    QCOMPARE(save.out, QStringList{"127.0.0.60: 3 axes read, saved to " + reference});
}

QString tst_ConfigTool::variant(const QString &name, const std::function<void(QJsonObject &)> &change)
{
    QFile original(reference);
    if (!original.open(QIODevice::ReadOnly))
        return QString();
    QJsonObject root = QJsonDocument::fromJson(original.readAll()).object();
    change(root);
    QFile file(folder.filePath(name + QStringLiteral(".json")));
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(QJsonDocument(root).toJson());
    return file.fileName();
}

void tst_ConfigTool::saveThenDiffFindsNoDifferenceAndWritesNothing()
{
    QFile file(reference);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    QCOMPARE(root.value("axisCount").toInt(), 3);
    const QJsonArray axes = root.value("axes").toArray();
    QCOMPARE(axes.at(2).toObject().value("preset").toDouble(), 0.125);
    QCOMPARE(axes.at(0).toObject().value("compHigh4").toDouble(), 2.5);
    QCOMPARE(axes.at(2).toObject().value("paramAddr").toInt(), 300);
    QCOMPARE(root.value("module").toObject().value("outputTrigger").toInt(), 4);
    QCOMPARE(root.value("plcLink").toObject().value("plcIpAddr").toString(), QStringLiteral("10.1.2.3"));

    referenceModule->clearCommandLog();
    const QString logPath = folder.filePath(QStringLiteral("diff.log"));
    const Run diff = runTool({"diff", "--log", logPath, "127.0.0.60", reference});
    QCOMPARE(diff.code, 0);
    QCOMPARE(diff.out, QStringList{"127.0.0.60: no difference"});
    QCOMPARE(writes(*referenceModule), QStringList());

    // The log holds every command the module received, and an answer to each.
    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty() && lines.first().startsWith(QLatin1String("127.0.0.60  ")));
    QVERIFY2(lines.first().endsWith(QLatin1String("\"CONFIG=?\"")), qPrintable(lines.first()));
    QCOMPARE(lines.filter(QStringLiteral("  sent ")).size(), referenceModule->commandLog().size());
    QCOMPARE(lines.filter(QStringLiteral("  reply ")).size(), referenceModule->commandLog().size());
}

void tst_ConfigTool::differencesAreListedThenLoadedAlone()
{
    const auto module = startModule(QStringLiteral("127.0.0.61"), 3);
    ModuleModel model = referenceModel(module->model());
    model.resolution[1] = 4;
    model.compLow[1][0] = -0.5;
    model.usingPlcLink = true;
    model.moduleIpAddr = QHostAddress(QStringLiteral("10.0.0.61"));
    module->setModel(model);

    const Run diff = runTool({"diff", "127.0.0.61", reference});
    QCOMPARE(diff.code, 1);
    QCOMPARE(diff.out, (QStringList{"axes[0].compLow2: module -0.5, file -1", "axes[1].resolution: module 4, file 1",
                                    "plcLink.usingPlcLink: module true, file false", "127.0.0.61: 3 settings differ"}));
    QCOMPARE(runTool({"load", "--dry-run", reference, "127.0.0.61"}).code, 0);
    QCOMPARE(writes(*module), QStringList());

    // A changed limit goes out with its partner, twice; the module keeps its address.
    const Run load = runTool({"load", reference, "127.0.0.61"});
    QCOMPARE(load.code, 0);
    QCOMPARE(load.out, QStringList{"127.0.0.61: loaded: 4 settings written and read back"});
    QCOMPARE(writes(*module), (QStringList{"SETUP", "00CH2=1", "00CL2=-1", "00CH2=1", "00CL2=-1", "01RSL=1", "LMD=0",
                                           "CLOSE"}));
    QCOMPARE(module->model().moduleIpAddr, QHostAddress(QStringLiteral("10.0.0.61")));
    QCOMPARE(runTool({"diff", "127.0.0.61", reference}).code, 0);

    module->clearCommandLog();
    QCOMPARE(runTool({"load", "--with-network", reference, "127.0.0.61"}).code, 0);
    QCOMPARE(writes(*module), (QStringList{"SETUP", "NIP=192.168.0.100", "CLOSE"}));
    QCOMPARE(module->model().moduleIpAddr, QHostAddress(QStringLiteral("192.168.0.100")));
}

void tst_ConfigTool::badInputSendsNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    const QString module = QStringLiteral("127.0.0.62");
    const auto load = [&](const QString &file) { return QStringList{"load", file, module}; };
    const auto axis = [](QJsonObject &root, int index, const char *key, const QJsonValue &value) {
        QJsonArray axes = root.value("axes").toArray();
        QJsonObject object = axes.at(index).toObject();
        object.insert(QLatin1String(key), value);
        axes.replace(index, object);
        root.insert("axes", axes);
    };
    const auto group = [](QJsonObject &root, const char *name, const char *key, const QJsonValue &value) {
        QJsonObject object = root.value(QLatin1String(name)).toObject();
        if (value.isUndefined())
            object.remove(QLatin1String(key));
        else
            object.insert(QLatin1String(key), value);
        root.insert(QLatin1String(name), object);
    };

    QFile broken(folder.filePath("broken.json"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("{ \"axes\": [");
    broken.close();
    QTest::newRow("not JSON") << load(broken.fileName()) << "not a JSON document";
    QTest::newRow("unknown key") << load(variant("unknown", [&](QJsonObject &r) { group(r, "module", "colour", 1); }))
                                 << "module.colour: unknown key";
    QTest::newRow("missing key")
            << load(variant("missing", [&](QJsonObject &r) { group(r, "plcLink", "finsSA1", QJsonValue::Undefined); }))
            << "plcLink.finsSA1: missing";
    QTest::newRow("wrong type") << load(variant("type", [&](QJsonObject &r) { axis(r, 1, "direction", 1); }))
                                << "axes[1].direction: must be true or false";
    QTest::newRow("code out of range") << load(variant("code", [&](QJsonObject &r) { axis(r, 2, "measMode", 4); }))
                                       << "axes[2].measMode: \"4\" is not a whole number from 0 to 3";
    QTest::newRow("port out of range")
            << load(variant("port", [&](QJsonObject &r) { group(r, "plcLink", "plcEtherPort", 65536); }))
            << "plcLink.plcEtherPort: \"65536\" is not a whole number from 0 to 65535";
    QTest::newRow("number as text") << load(variant("number", [&](QJsonObject &r) { axis(r, 0, "preset", "1,5"); }))
                                    << "axes[0].preset: must be a number";
    QTest::newRow("bad address")
            << load(variant("address", [&](QJsonObject &r) { group(r, "network", "subnetMask", "255.255.0.300"); }))
            << "network.subnetMask: \"255.255.0.300\" is not an IPv4 address";
    QTest::newRow("axis count") << load(variant("axes17", [](QJsonObject &r) { r.insert("axisCount", 17); }))
                                << "axisCount: \"17\" is not a whole number from 1 to 16";
    QTest::newRow("axes listed") << load(variant("axes2", [](QJsonObject &r) {
        QJsonArray axes = r.value("axes").toArray();
        axes.removeLast();
        r.insert("axes", axes);
    })) << "axes: 2 axes listed, but axisCount is 3";
    QTest::newRow("IPv6 address") << QStringList{"load", reference, module, "::1"} << "\"::1\" is not an IPv4 address";
    QTest::newRow("host name") << QStringList{"diff", "localhost", reference} << "\"localhost\" is not an IPv4 address";
    QTest::newRow("unwritable file") << QStringList{"save", module, folder.filePath("missing/folder.json")}
                                     << "cannot be written";
    QTest::newRow("unknown option") << QStringList{"save", "--force", module, reference} << "force";
}

void tst_ConfigTool::badInputSendsNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const auto module = startModule(QStringLiteral("127.0.0.62"), 3);
    const Run run = runTool(arguments);
    QCOMPARE(run.code, 2);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY2(run.err.contains("nothing was sent"), qPrintable(run.err));
    QCOMPARE(module->simulator()->connectionCount(), 0);
}

void tst_ConfigTool::aSilentModuleFailsAlone()
{
    SimulatorOptions silence;
    silence.silentPatterns << SimulatorOptions::wholeCommand(QStringLiteral(".*"));
    const auto first = startModule(QStringLiteral("127.0.0.63"), 3);
    const auto silent = startModule(QStringLiteral("127.0.0.64"), 3, silence);
    const auto last = startModule(QStringLiteral("127.0.0.65"), 3);
    const auto smaller = startModule(QStringLiteral("127.0.0.66"), 2);

    const Run load = runTool({"load", reference, "127.0.0.63", "127.0.0.64", "127.0.0.65", "127.0.0.66"});
    QCOMPARE(load.code, 1);
    QVERIFY2(load.out.contains("127.0.0.64: no answer from 127.0.0.64"), qPrintable(load.out.join('\n')));
    QVERIFY2(load.out.contains("127.0.0.66: refused: the module has 2 axes, the file is for 3"),
             qPrintable(load.out.join('\n')));
    QCOMPARE(load.out.size(), 4);
    for (const SimulatorThread *module : {first.get(), last.get()}) {
        QCOMPARE(module->model().preset[2], 0.125);
        QCOMPARE(module->model().plcIpAddr, QHostAddress(QStringLiteral("10.1.2.3")));
    }
    QCOMPARE(writes(*silent), QStringList());
    QCOMPARE(writes(*smaller), QStringList());
}

void tst_ConfigTool::loadAndSaveKeepEveryDigit()
{
    // The module holds the value as six digits would have sent it, which once compared the same.
    const auto module = startModule(QStringLiteral("127.0.0.67"), 3);
    ModuleModel model = referenceModel(module->model());
    model.preset[0] = 123.457;
    module->setModel(model);
    const QString file = variant(QStringLiteral("digits"), [](QJsonObject &root) {
        QJsonArray axes = root.value("axes").toArray();
        QJsonObject axis = axes.at(0).toObject();
        axis.insert("preset", 123.4567);
        axes.replace(0, axis);
        root.insert("axes", axes);
    });
    QCOMPARE(runTool({"load", file, "127.0.0.67"}).code, 0);
    QCOMPARE(writes(*module), (QStringList{"SETUP", "00P=123.4567", "CLOSE"}));

    const QString saved = folder.filePath(QStringLiteral("saved.json"));
    QCOMPARE(runTool({"save", "127.0.0.67", saved}).code, 0);
    QFile savedFile(saved);
    QVERIFY(savedFile.open(QIODevice::ReadOnly) && savedFile.readAll().contains("\"preset\": 123.4567,"));
}

QTEST_GUILESS_MAIN(tst_ConfigTool)
#include "tst_configtool.moc"
