// SPDX-License-Identifier: GPL-3.0-or-later
// qr36tn-config run as the operator runs it, against module simulators on port
// 24000 of loopback addresses no other test uses (127.0.0.60 to 127.0.0.67, and
// 127.0.0.68 and 127.0.0.69 as the modules of the outcome table); the scans in a
// /24 picked at random elsewhere in 127.0.0.0/8.

#include "programrun.h"
#include "simulatorthread.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// The lines the program printed, for comparing whole.
struct Run
{
    int code = -1;
    QStringList out;
    QString err;
};

Run runTool(const QStringList &arguments)
{
    const ProgramRun run = runProgram(arguments);
    return {run.code, run.lines(), run.err};
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

// The reference with three settings changed: a load writes SETUP, the two limits of
// set 2 of axis 0 twice, the resolution of axis 1, LMD and CLOSE (7 commands and
// CLOSE), then reads back 4 settings.
ModuleModel differingModel(ModuleModel model)
{
    model = referenceModel(model);
    model.resolution[1] = 4;
    model.compLow[1][0] = -0.5;
    model.usingPlcLink = true;
    return model;
}
const QStringList differingLoad{"SETUP", "00CH2=1", "00CL2=-1", "00CH2=1", "00CL2=-1", "01RSL=1", "LMD=0", "CLOSE"};

// One simulated module of a table row.
struct Module
{
    int unit = 0;
    int axes = 3;
    bool differs = false;
    QStringList silent;
    QStringList garble;
    int garbleAfter = 0;
    int closeAfter = 0;
};

// The parameter read of a reference module with three axes sends 69 commands.
constexpr int readCommands = 69;

std::unique_ptr<SimulatorThread> startModule(const QString &address, const Module &module)
{
    SimulatorOptions options;
    options.address = QHostAddress(address);
    options.port = 24000;
    options.unitNumber = module.unit;
    options.axisCount = module.axes;
    options.seed = 7;
    for (const QString &pattern : module.silent)
        options.silentPatterns << SimulatorOptions::wholeCommand(pattern);
    for (const QString &pattern : module.garble)
        options.garblePatterns << SimulatorOptions::wholeCommand(pattern);
    options.garbleAfter = module.garbleAfter;
    options.closeAfter = module.closeAfter;
    auto simulator = std::make_unique<SimulatorThread>(options);
    if (!simulator->start())
        qWarning("simulator on %s: %s", qPrintable(address), qPrintable(simulator->errorString()));
    simulator->setModel(module.differs ? differingModel(simulator->model()) : referenceModel(simulator->model()));
    return simulator;
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

// The scans' network: three modules among addresses that refuse the connection, one
// that takes it and never answers, and one whose configuration reply does not convert.
struct ScannedHost
{
    int host;
    Module module;
    QStringList received; // all that a scan may send it
};
QVector<ScannedHost> scannedHosts()
{
    Module silent;
    silent.silent = QStringList{".*"};
    Module garbled;
    garbled.garble = QStringList{"CONFIG=\\?"};
    const auto module = [](int unit, int axes) {
        Module module;
        module.unit = unit;
        module.axes = axes;
        return module;
    };
    return {{10, module(1, 3), {"CONFIG=?", "1VER=?"}},
            {50, silent, {"CONFIG=?"}},
            {77, module(10, 16), {"CONFIG=?", "AVER=?"}},
            {120, garbled, {"CONFIG=?"}},
            {200, module(15, 1), {"CONFIG=?", "FVER=?"}}};
}

} // namespace

Q_DECLARE_METATYPE(Module)

class tst_ConfigTool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void saveThenDiffFindsNoDifferenceAndWritesNothing();
    void differencesAreListedThenLoadedAlone();
    void everyEndIsToldAndJudged_data();
    void everyEndIsToldAndJudged();
    void loadOfEverySettingLeavesTheModulesAddress();
    void jsonGivesEachModulesResult();
    void badInputSendsNothing_data();
    void badInputSendsNothing();
    void loadAndSaveKeepEveryDigit();
    void scanFindsTheModulesAmongRefusingAddresses();
    void scanEndsAreJudged_data();
    void scanEndsAreJudged();

private:
    bool startScannedHosts();
    int scannedConnections() const;

    QString variant(const QString &name, const std::function<void(QJsonObject &)> &change);
    QString writeFile(const QString &name, const QByteArray &content);

    QTemporaryDir folder;
    QString reference;
    std::unique_ptr<SimulatorThread> referenceModule;
    QString scanned; // "127.x.y." of the scans' /24
    std::vector<std::unique_ptr<SimulatorThread>> scannedModules;
};

void tst_ConfigTool::initTestCase()
{
    QVERIFY(folder.isValid());
    referenceModule = startModule(QStringLiteral("127.0.0.60"), Module());
    reference = folder.filePath(QStringLiteral("reference.json"));
    const Run save = runTool({"save", "127.0.0.60", reference});
    QCOMPARE(save.code, 0);
    QCOMPARE(save.out, QStringList{"127.0.0.60: 3 axes read, saved to " + reference});
    // Nothing complains about the socket the module closed.
    QCOMPARE(save.err, QString());
    QVERIFY(startScannedHosts());
}

// Not 127.0.0.x, where the other tests listen.
bool tst_ConfigTool::startScannedHosts()
{
    QRandomGenerator *const random = QRandomGenerator::global();
    for (int attempt = 0; attempt < 10; ++attempt) {
        scanned = QStringLiteral("127.%1.%2.").arg(random->bounded(1, 255)).arg(random->bounded(256));
        scannedModules.clear();
        for (const ScannedHost &host : scannedHosts()) {
            scannedModules.push_back(startModule(scanned + QString::number(host.host), host.module));
            if (scannedModules.back()->serverPort() == 0)
                break;
        }
        if (scannedModules.size() == size_t(scannedHosts().size()) && scannedModules.back()->serverPort() != 0)
            return true;
    }
    return false;
}

int tst_ConfigTool::scannedConnections() const
{
    int connections = 0;
    for (const auto &module : scannedModules)
        connections += module->simulator()->connectionCount();
    return connections;
}

QString tst_ConfigTool::variant(const QString &name, const std::function<void(QJsonObject &)> &change)
{
    QFile original(reference);
    if (!original.open(QIODevice::ReadOnly))
        return QString();
    QJsonObject root = QJsonDocument::fromJson(original.readAll()).object();
    change(root);
    return writeFile(name + QStringLiteral(".json"), QJsonDocument(root).toJson());
}

QString tst_ConfigTool::writeFile(const QString &name, const QByteArray &content)
{
    QFile file(folder.filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(content);
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

    // The log holds the connection's story, every command the module received and an answer to each.
    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty() && lines.first().startsWith(QLatin1String("127.0.0.60  ")));
    QVERIFY2(lines.first().endsWith(QLatin1String("dialling   127.0.0.60 port 24000")), qPrintable(lines.first()));
    QVERIFY2(lines.at(1).contains(QLatin1String("  connected  127.0.0.60 port 24000")), qPrintable(lines.at(1)));
    QVERIFY2(lines.at(2).endsWith(QLatin1String("\"CONFIG=?\"")), qPrintable(lines.at(2)));
    QVERIFY2(lines.last().contains(QLatin1String("  closed by tool  ")), qPrintable(lines.last()));
    QCOMPARE(lines.filter(QStringLiteral("  sent ")).size(), referenceModule->commandLog().size());
    QCOMPARE(lines.filter(QStringLiteral("  reply ")).size(), referenceModule->commandLog().size());
}

void tst_ConfigTool::differencesAreListedThenLoadedAlone()
{
    Module differing;
    differing.differs = true;
    const auto module = startModule(QStringLiteral("127.0.0.61"), differing);
    ModuleModel model = module->model();
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
    QCOMPARE(writes(*module), differingLoad);
    QCOMPARE(module->model().moduleIpAddr, QHostAddress(QStringLiteral("10.0.0.61")));
    QCOMPARE(runTool({"diff", "127.0.0.61", reference}).code, 0);

    module->clearCommandLog();
    QCOMPARE(runTool({"load", "--with-network", reference, "127.0.0.61"}).code, 0);
    QCOMPARE(writes(*module), (QStringList{"SETUP", "NIP=192.168.0.100", "CLOSE"}));
    QCOMPARE(module->model().moduleIpAddr, QHostAddress(QStringLiteral("192.168.0.100")));
}

// Every way a module can fail, and how the program tells it: A is 127.0.0.68, B is
// 127.0.0.69, {file} the reference file and {out} a file that holds "kept" before
// the run. The writes are those module A received.
void tst_ConfigTool::everyEndIsToldAndJudged_data()
{
    QTest::addColumn<QVector<Module>>("modules");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("out");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<QStringList>("writesToA");

    Module dropsMidRead;
    dropsMidRead.closeAfter = 30; // "01SCN=?"
    Module garbledConfig;
    garbledConfig.garble = QStringList{"CONFIG=\\?"};
    Module garbledSetting;
    garbledSetting.garble = QStringList{"01RSL=\\?"};
    Module silentSetting;
    silentSetting.silent = QStringList{"0RSFORM=\\?"};
    Module garbledLimits;
    garbledLimits.garble = QStringList{"0[0-2]CH[1-4]=\\?"};
    Module differing;
    differing.differs = true;
    Module dropsMidWrite = differing;
    dropsMidWrite.closeAfter = readCommands + 4; // the first limit of the second pass
    Module garbledReadBack = differing;
    garbledReadBack.garble = QStringList{"01RSL=\\?"};
    garbledReadBack.garbleAfter = readCommands;
    Module refusesAWrite = differing;
    refusesAWrite.silent = QStringList{"01RSL=1"};
    Module moreAxes;
    moreAxes.axes = 4;
    Module fewerAxes;
    fewerAxes.axes = 2;

    const QStringList none;
    const QString dropped = QStringLiteral("connection lost after 30 of %1 commands").arg(readCommands);
    QTest::newRow("save, connection dropped mid-read")
            << QVector<Module>{dropsMidRead} << QStringList{"save", "{A}", "{out}"} << 3
            << QStringList{"{A}: failed: " + dropped + ", at 01SCN=?"} << false << none;
    QTest::newRow("save, CONFIG reply that does not convert")
            << QVector<Module>{garbledConfig} << QStringList{"save", "{A}", "{out}"} << 3
            << QStringList{"{A}: failed: the reply \"X#?\" to CONFIG=? is no unit number with 1 to 16 axes"} << false
            << none;
    QTest::newRow("save, setting reply that does not convert")
            << QVector<Module>{garbledSetting} << QStringList{"save", "{A}", "{out}"} << 3
            << QStringList{"{A}: failed: 1 setting not read: axes[1].resolution (01RSL=?): reply \"X#?\" is not a value"}
            << false << none;
    QTest::newRow("save, setting query unanswered")
            << QVector<Module>{silentSetting} << QStringList{"save", "{A}", "{out}"} << 3
            << QStringList{"{A}: failed: 1 setting not read: module.dataFormat (0RSFORM=?): no reply"} << false << none;
    const QString notAValue = QStringLiteral(" reply \"X#?\" is not a value");
    QTest::newRow("save, many setting replies that do not convert")
            << QVector<Module>{garbledLimits} << QStringList{"save", "{A}", "{out}"} << 3
            << QStringList{"{A}: failed: 12 settings not read: axes[0].compHigh1 (00CH1=?):" + notAValue
                           + "; axes[0].compHigh2 (00CH2=?):" + notAValue + "; axes[0].compHigh3 (00CH3=?):" + notAValue
                           + "; axes[0].compHigh4 (00CH4=?):" + notAValue + "; axes[1].compHigh1 (01CH1=?):" + notAValue
                           + "; and 7 more (--json names every one)"}
            << false << none;
    QTest::newRow("save") << QVector<Module>{Module()} << QStringList{"save", "{A}", "{out}"} << 0
                          << QStringList{"{A}: 3 axes read, saved to {out}"} << true << none;
    QTest::newRow("load, connection dropped mid-write")
            << QVector<Module>{dropsMidWrite} << QStringList{"load", "{file}", "{A}"} << 3
            << QStringList{"{A}: failed: connection lost after 4 of 12 commands of the load, at 00CL2=-1: the load "
                           "stopped there, and the module may now hold part of the new settings"}
            << false << QStringList(differingLoad.mid(0, 3));
    QTest::newRow("load, read-back reply that does not convert")
            << QVector<Module>{garbledReadBack} << QStringList{"load", "{file}", "{A}"} << 3
            << QStringList{"{A}: failed: 1 setting not read back: axes[1].resolution (01RSL=?): reply \"X#?\" is not "
                           "a value"}
            << false << differingLoad;
    QTest::newRow("load, a write the module did not take")
            << QVector<Module>{refusesAWrite} << QStringList{"load", "{file}", "{A}"} << 3
            << QStringList{"axes[1].resolution: module 4, file 1",
                           "{A}: failed: the module kept 1 setting different from the file"}
            << false << QStringList{"SETUP", "00CH2=1", "00CL2=-1", "00CH2=1", "00CL2=-1", "LMD=0", "CLOSE"};
    QTest::newRow("load, module of another axis count")
            << QVector<Module>{fewerAxes} << QStringList{"load", "{file}", "{A}"} << 3
            << QStringList{"{A}: failed: the module has 2 axes, the file is for 3; nothing was written"} << false << none;
    QTest::newRow("diff, module with more axes")
            << QVector<Module>{moreAxes} << QStringList{"diff", "{A}", "{file}"} << 1
            << QStringList{"axisCount: module 4, file 3", "{A}: 1 setting differs"} << false << none;
    QTest::newRow("diff, module with fewer axes")
            << QVector<Module>{fewerAxes} << QStringList{"diff", "{A}", "{file}"} << 1
            << QStringList{"axisCount: module 2, file 3", "{A}: 1 setting differs"} << false << none;
    QTest::newRow("two modules, one lost, the other from --modules")
            << QVector<Module>{differing, dropsMidRead} << QStringList{"load", "{file}", "{B}", "--modules", "{list}"}
            << 3
            << QStringList{"{A}: loaded: 4 settings written and read back",
                           "{B}: failed: " + dropped + ", at 01SCN=?",
                           "1 loaded, 1 failed: {B} (" + dropped + ")"}
            << false << differingLoad;
    QTest::newRow("diff of two modules")
            << QVector<Module>{differing, Module()} << QStringList{"diff", "{A}", "{B}", "{file}"} << 1
            << QStringList{"{A}: axes[0].compLow2: module -0.5, file -1", "{A}: axes[1].resolution: module 4, file 1",
                           "{A}: plcLink.usingPlcLink: module true, file false", "{A}: 3 settings differ",
                           "{B}: no difference", "1 as the file, 1 differ, 0 failed"}
            << false << none;
}

void tst_ConfigTool::everyEndIsToldAndJudged()
{
    QFETCH(QVector<Module>, modules);
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QStringList, out);
    QFETCH(bool, saved);
    QFETCH(QStringList, writesToA);

    const QStringList addresses{"127.0.0.68", "127.0.0.69"};
    std::vector<std::unique_ptr<SimulatorThread>> simulators;
    for (int i = 0; i < modules.size(); ++i)
        simulators.push_back(startModule(addresses.at(i), modules.at(i)));
    const QString output = writeFile(QStringLiteral("out.json"), "kept");
    const QString list = writeFile(QStringLiteral("modules.txt"), "# the first module\n\n127.0.0.68  # A\n");
    const auto filled = [&](QStringList texts) {
        texts.replaceInStrings(QStringLiteral("{A}"), addresses.at(0));
        texts.replaceInStrings(QStringLiteral("{B}"), addresses.at(1));
        texts.replaceInStrings(QStringLiteral("{file}"), reference);
        texts.replaceInStrings(QStringLiteral("{out}"), output);
        return texts.replaceInStrings(QStringLiteral("{list}"), list);
    };

    const Run run = runTool(filled(arguments));
    QCOMPARE(run.code, code);
    // With several modules each finishes in its own time; the summary comes last.
    QStringList lines = run.out;
    QStringList expected = filled(out);
    if (modules.size() > 1) {
        std::sort(lines.begin(), lines.end() - 1);
        std::sort(expected.begin(), expected.end() - 1);
    }
    QCOMPARE(lines, expected);
    QCOMPARE(run.err, QString());
    QFile file(output);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QCOMPARE(content != "kept", saved);
    if (saved)
        QCOMPARE(QJsonDocument::fromJson(content).object().value("axisCount").toInt(), 3);
    QCOMPARE(writes(*simulators.front()).join(QLatin1Char(' ')), writesToA.join(QLatin1Char(' ')));
}

void tst_ConfigTool::loadOfEverySettingLeavesTheModulesAddress()
{
    Module differing;
    differing.differs = true;
    const auto module = startModule(QStringLiteral("127.0.0.62"), differing);
    ModuleModel model = module->model();
    model.moduleIpAddr = QHostAddress(QStringLiteral("10.0.0.62"));
    model.subnetMask = QHostAddress(QStringLiteral("255.0.0.0"));
    module->setModel(model);

    const Run load = runTool({"load", "--all", reference, "127.0.0.62"});
    QCOMPARE(load.code, 0);
    QCOMPARE(load.out, QStringList{"127.0.0.62: loaded: 62 settings written and read back"});
    const QStringList written = writes(*module);
    QVERIFY2(written.filter(QRegularExpression(QStringLiteral("^(NIP|NMS)="))).isEmpty(), qPrintable(written.join(' ')));
    QVERIFY(written.contains(QStringLiteral("LMD=0")) && written.contains(QStringLiteral("2PRA=300")));
    QCOMPARE(module->model().moduleIpAddr, QHostAddress(QStringLiteral("10.0.0.62")));
    QCOMPARE(module->model().subnetMask, QHostAddress(QStringLiteral("255.0.0.0")));
    QCOMPARE(runTool({"diff", "127.0.0.62", reference}).code, 0);
}

void tst_ConfigTool::jsonGivesEachModulesResult()
{
    Module garbled;
    garbled.garble = QStringList{"01RSL=\\?"};
    const auto first = startModule(QStringLiteral("127.0.0.63"), Module());
    const auto second = startModule(QStringLiteral("127.0.0.64"), garbled);
    const Run diff = runTool({"diff", "--json", "127.0.0.63", "127.0.0.64", reference});
    QCOMPARE(diff.code, 3);
    const QJsonObject document = QJsonDocument::fromJson(diff.out.join(QLatin1Char('\n')).toUtf8()).object();
    QCOMPARE(document.value("exitCode").toInt(), 3);
    const QJsonArray modules = document.value("modules").toArray();
    QCOMPARE(modules.size(), 2);
    QCOMPARE(modules.at(0).toObject().value("address").toString(), QStringLiteral("127.0.0.63"));
    QCOMPARE(modules.at(0).toObject().value("result").toString(), QStringLiteral("done"));
    const QJsonObject failed = modules.at(1).toObject();
    QCOMPARE(failed.value("result").toString(), QStringLiteral("failed"));
    const QJsonObject setting = failed.value("failedSettings").toArray().at(0).toObject();
    QCOMPARE(setting.value("setting").toString(), QStringLiteral("axes[1].resolution"));
    QCOMPARE(setting.value("command").toString(), QStringLiteral("01RSL=?"));
    QCOMPARE(document.value("summary").toString(),
             QStringLiteral("1 as the file, 0 differ, 1 failed: 127.0.0.64 (1 setting not read)"));
}

void tst_ConfigTool::badInputSendsNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    const QString module = QStringLiteral("127.0.0.65");
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

    QTest::newRow("no arguments") << QStringList() << "no command given";
    QTest::newRow("unknown command") << QStringList{"copy", module} << "\"copy\" is not a command";
    QTest::newRow("not JSON") << load(writeFile("broken.json", "{ \"axes\": [")) << "not a JSON document";
    QTest::newRow("missing file") << load(folder.filePath("absent.json")) << "absent.json: no such file";
    QTest::newRow("endless file") << load("/dev/zero") << "larger than 1048576 bytes";
    QTest::newRow("large file") << load(writeFile("large.json", QByteArray((1 << 20) + 1, ' '))) << "larger than 1048576";
    QTest::newRow("key given twice")
            << load(writeFile("twice.json", "{\"module\": {\"unit\": 0, \"unit\": 1}}")) << "module.unit: given more than once";
    QTest::newRow("unknown key") << load(variant("unknown", [&](QJsonObject &r) { group(r, "module", "colour", 1); }))
                                 << "module.colour: unknown key";
    QTest::newRow("missing key")
            << load(variant("missing", [&](QJsonObject &r) { group(r, "plcLink", "finsSA1", QJsonValue::Undefined); }))
            << "plcLink.finsSA1: missing";
    QTest::newRow("wrong type") << load(variant("type", [&](QJsonObject &r) { axis(r, 1, "direction", 1); }))
                                << "axes[1].direction: must be true or false";
    QTest::newRow("code above its range") << load(variant("code", [&](QJsonObject &r) { axis(r, 2, "measMode", 4); }))
                                          << "axes[2].measMode: \"4\" is not a whole number from 0 to 3";
    QTest::newRow("code below its range")
            << load(variant("low", [&](QJsonObject &r) { axis(r, 0, "resolution", 0); }))
            << "axes[0].resolution: \"0\" is not a whole number from 1 to 5";
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
    QTest::newRow("this computer") << QStringList{"diff", "0.0.0.0", reference} << "\"0.0.0.0\" stands for this computer";
    QTest::newRow("broadcast") << QStringList{"load", reference, module, "255.255.255.255"}
                               << "\"255.255.255.255\" is the broadcast address";
    QTest::newRow("multicast") << QStringList{"load", reference, "224.0.0.1"} << "\"224.0.0.1\" is a multicast address";
    QTest::newRow("address list with a bad line")
            << QStringList{"load", reference, "--modules", writeFile("list.txt", module.toUtf8() + "\n10.0.0.256\n")}
            << "list.txt, line 2: \"10.0.0.256\" is not an IPv4 address";
    QTest::newRow("address list missing") << QStringList{"load", reference, "--modules", folder.filePath("none.txt")}
                                          << "none.txt: no such file";
    QTest::newRow("network into two modules") << QStringList{"load", "--with-network", reference, module, "127.0.0.66"}
                                              << "--with-network would give 2 modules one address";
    QTest::newRow("save of two modules") << QStringList{"save", module, "127.0.0.66", reference}
                                         << "save reads one module into one file";
    QTest::newRow("unwritable file") << QStringList{"save", module, folder.filePath("missing/folder.json")}
                                     << "cannot be written";
    QTest::newRow("unknown option") << QStringList{"save", "--force", module, reference} << "force";
}

void tst_ConfigTool::badInputSendsNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const auto module = startModule(QStringLiteral("127.0.0.65"), Module());
    const auto other = startModule(QStringLiteral("127.0.0.66"), Module());
    const Run run = runTool(arguments);
    QCOMPARE(run.code, 2);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY2(run.err.contains("nothing was sent"), qPrintable(run.err));
    QCOMPARE(run.out, QStringList());
    QCOMPARE(module->simulator()->connectionCount(), 0);
    QCOMPARE(other->simulator()->connectionCount(), 0);
}

void tst_ConfigTool::loadAndSaveKeepEveryDigit()
{
    // The module holds the value as six digits would have sent it, which once compared the same.
    const auto module = startModule(QStringLiteral("127.0.0.67"), Module());
    ModuleModel model = module->model();
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

// Columns are padded for the eye; the words are compared.
void tst_ConfigTool::scanFindsTheModulesAmongRefusingAddresses()
{
    const Run run = runTool({"scan", scanned + "0/24"});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.err, QString());
    QStringList lines;
    for (const QString &line : run.out)
        lines << line.simplified();
    QVERIFY2(QRegularExpression(QStringLiteral("^3 modules found in 254 addresses \\(\\d+\\.\\d s\\)$"))
                     .match(lines.value(5))
                     .hasMatch(),
             qPrintable(lines.value(5)));
    QCOMPARE(lines.mid(0, 5),
             (QStringList{scanned + "10 unit 1 3 axes version 1.00", scanned + "77 unit A 16 axes version 1.00",
                          scanned + "200 unit F 1 axis version 1.00",
                          scanned + "50 port open, no module reply: no reply to CONFIG=? within 1 s",
                          scanned + "120 port open, no module reply: the reply \"CONFIG=X#?\" to CONFIG=? is no unit "
                                    "number with 1 to 16 axes"}));
    for (int i = 0; i < scannedHosts().size(); ++i)
        QCOMPARE(scannedModules.at(i)->commandTexts(), scannedHosts().at(i).received);

    // A wider network takes --force; the document holds the same.
    const QString wider = QStringLiteral("%1.%2.0/21").arg(scanned.section('.', 0, 1)).arg(scanned.section('.', 2, 2).toInt() & ~7);
    const Run json = runTool({"scan", "--json", "--force", wider});
    QCOMPARE(json.code, 0);
    const QJsonObject document = QJsonDocument::fromJson(json.out.join(QLatin1Char('\n')).toUtf8()).object();
    QCOMPARE(document.value("addresses").toInt(), 2046);
    QCOMPARE(document.value("exitCode").toInt(), 0);
    QStringList found;
    for (const QJsonValue &module : document.value("modules").toArray()) {
        const QJsonObject object = module.toObject();
        found << QStringLiteral("%1 %2 %3 %4").arg(object.value("address").toString()).arg(object.value("unit").toInt())
                         .arg(object.value("axes").toInt()).arg(object.value("version").toString());
    }
    QCOMPARE(found.filter(QRegularExpression("^" + QRegularExpression::escape(scanned))),
             (QStringList{scanned + "10 1 3 1.00", scanned + "77 10 16 1.00", scanned + "200 15 1 1.00"}));
    QCOMPARE(document.value("noModuleReply").toArray().at(0).toObject().value("address").toString(), scanned + "50");
}

void tst_ConfigTool::scanEndsAreJudged_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message"); // in the last line of the output for 0 and 1, in the errors for 2

    const QString net = scanned;
    const QString list = writeFile("scan.txt", (net + "50\n" + net + "51  # nothing listens\n").toUtf8());
    QTest::newRow("none found, from --modules") << QStringList{"scan", "--modules", list} << 1
                                                << "0 modules found in 2 addresses (";
    QTest::newRow("one module, another port") << QStringList{"scan", "--port", "24001", net + "10"} << 1
                                              << "0 modules found in 1 address (";
    QTest::newRow("more than 1024") << QStringList{"scan", net.section('.', 0, 1) + ".0.0/21"} << 2
                                    << "hold 2046 addresses, more than 1024; give --force to scan them all";
    QTest::newRow("more than a /16") << QStringList{"scan", "--force", "127.0.0.0/8"} << 2 << "a scan takes at most 65536";
    QTest::newRow("malformed network") << QStringList{"scan", net + "0/33"} << 2 << "the prefix length";
    QTest::newRow("malformed range") << QStringList{"scan", net + "20-" + net + "10"} << 2 << "runs backwards";
    QTest::newRow("no range") << QStringList{"scan"} << 2 << "no address range given";
    QTest::newRow("connect time-out") << QStringList{"scan", "--timeout-ms", "0", net + "10"} << 2
                                      << "--timeout-ms: \"0\" is not a whole number from 1 to 60000";
    QTest::newRow("log") << QStringList{"scan", "--log", "scan.log", net + "10"} << 2 << "--log does not go with scan";
    QTest::newRow("force for a load") << QStringList{"load", "--force", reference, net + "10"} << 2
                                      << "--force and --timeout-ms go with scan only";
}

void tst_ConfigTool::scanEndsAreJudged()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, message);
    const int connections = scannedConnections();
    const Run run = runTool(arguments);
    QCOMPARE(run.code, code);
    if (code == 2) {
        QVERIFY2(run.err.contains(message) && run.err.contains("nothing was sent"), qPrintable(run.err));
        QCOMPARE(run.out, QStringList());
        QCOMPARE(scannedConnections(), connections);
    } else {
        QVERIFY2(run.out.value(run.out.size() - 1).startsWith(message), qPrintable(run.out.join('\n')));
    }
}

QTEST_GUILESS_MAIN(tst_ConfigTool)
#include "tst_configtool.moc"
