// SPDX-License-Identifier: GPL-3.0-or-later
#include "loadbenchmark.h"

#include "commandinterface.h"
#include "eventwait.h"
#include "samples.h"
#include "scoreboard.h"
#include "simulatorthread.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

namespace {

constexpr int moduleCount = 16;
constexpr double maximumManyToOne = 1.5;
constexpr double allowanceMs = 500.0; // beyond the parameter read, for changing one setting

QString moduleAddress(int index)
{
    return QStringLiteral("127.0.0.%1").arg(80 + index);
}

} // namespace

LoadBenchmark::LoadBenchmark(const QString &configProgram, int runs, Scoreboard &scoreboard)
    : m_program(configProgram)
    , m_runs(runs)
    , m_scoreboard(scoreboard)
{
}

LoadBenchmark::~LoadBenchmark() = default;

// Each module starts from the saved settings with the first `changedSettings`
// of three changes made, so a load has exactly those to write.
void LoadBenchmark::prepareModules(int count, int changedSettings)
{
    for (int i = 0; i < count; ++i) {
        ModuleModel model; // the factory settings of a 16-axis module of unit 0
        if (changedSettings >= 1)
            model.resolution[7] = 3;
        if (changedSettings >= 2)
            model.usingPlcLink = true;
        if (changedSettings >= 3)
            model.outputTrigger = 5;
        m_modules.at(i)->setModel(model);
    }
}

double LoadBenchmark::timeLoad(const QStringList &addresses)
{
    QProcess program;
    program.setStandardOutputFile(QProcess::nullDevice());
    program.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    program.start(m_program, QStringList{QStringLiteral("load"), m_file} + addresses);
    if (!program.waitForFinished(120000) || program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0) {
        m_error = QStringLiteral("%1 load failed (exit code %2)").arg(m_program).arg(program.exitCode());
        return -1.0;
    }
    return double(clock.nsecsElapsed()) / 1e6;
}

// From the connection request to the window's completion of the read, as the
// window does it on "Connect".
double LoadBenchmark::timeParameterRead(bool inchEnabled)
{
    CommandInterface link;
    link.inchEnabled = inchEnabled;
    bool connected = false;
    QObject::connect(&link, &CommandInterface::transmitConnected, [&connected] { connected = true; });
    QElapsedTimer clock;
    clock.start();
    link.connectToHost(QHostAddress(moduleAddress(0)).toIPv4Address(), 24000);
    if (!EventWait::until([&connected] { return connected; }, 60000)) {
        m_error = QStringLiteral("the parameter read did not end");
        return -1.0;
    }
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    link.disconnectFromHost();
    return ms;
}

bool LoadBenchmark::run()
{
    m_scoreboard.section(QStringLiteral("5. qr36tn-config load (16-axis modules on 127.0.0.80-95, median of %1 runs)")
                                 .arg(m_runs));
    const QString manyName = QStringLiteral("load onto 16 modules / onto 1");
    const QString oneName = QStringLiteral("one setting / (parameter read + 0.5 s)");
    const QString manyGoal = QStringLiteral("<= %1").arg(maximumManyToOne, 0, 'f', 2);
    const QString oneGoal = QStringLiteral("<= 1.00");
    const auto fail = [&](const QString &why) {
        m_scoreboard.failed(manyName, manyGoal, why);
        m_scoreboard.failed(oneName, oneGoal, why);
        return false;
    };

    QStringList addresses;
    for (int i = 0; i < moduleCount; ++i) {
        SimulatorOptions options;
        options.address = QHostAddress(moduleAddress(i));
        options.port = 24000;
        options.axisCount = 16;
        options.seed = 7;
        m_modules.push_back(std::make_unique<SimulatorThread>(options));
        if (!m_modules.back()->start())
            return fail(QStringLiteral("no simulator on %1: %2").arg(moduleAddress(i), m_modules.back()->errorString()));
        addresses << moduleAddress(i);
    }

    // The file: the factory settings of a 16-axis module, as saved by the program.
    QTemporaryDir folder;
    m_file = folder.filePath(QStringLiteral("settings.json"));
    QProcess save;
    save.start(m_program, {QStringLiteral("save"), addresses.first(), m_file});
    if (!save.waitForFinished(60000) || save.exitCode() != 0)
        return fail(QStringLiteral("%1 save failed").arg(m_program));

    Samples one;
    Samples many;
    Samples single;
    Samples read;
    Samples readWithInch;
    for (int run = 0; run < m_runs; ++run) {
        prepareModules(1, 3);
        one.add(timeLoad({addresses.first()}));
        prepareModules(moduleCount, 3);
        many.add(timeLoad(addresses));
        prepareModules(1, 1);
        single.add(timeLoad({addresses.first()}));
        read.add(timeParameterRead(false));
        readWithInch.add(timeParameterRead(true));
        if (!m_error.isEmpty())
            return fail(m_error);
    }

    const double manyRatio = many.median() / one.median();
    m_scoreboard.target(manyName, QString::number(manyRatio, 'f', 3), manyGoal, manyRatio <= maximumManyToOne,
                        QStringLiteral("3 settings each: 16 modules %1 ms, 1 module %2 ms (runs %3..%4 and %5..%6 ms)")
                                .arg(many.median(), 0, 'f', 0)
                                .arg(one.median(), 0, 'f', 0)
                                .arg(many.min(), 0, 'f', 0)
                                .arg(many.max(), 0, 'f', 0)
                                .arg(one.min(), 0, 'f', 0)
                                .arg(one.max(), 0, 'f', 0));
    const double oneRatio = single.median() / (read.median() + allowanceMs);
    m_scoreboard.target(oneName, QString::number(oneRatio, 'f', 3), oneGoal, oneRatio <= 1.0,
                        QStringLiteral("load %1 ms; the window's read on Connect %2 ms")
                                .arg(single.median(), 0, 'f', 0)
                                .arg(read.median(), 0, 'f', 0));
    m_scoreboard.report(QStringLiteral("parameter read with the inch option"),
                        QStringLiteral("%1 ms").arg(readWithInch.median(), 0, 'f', 0),
                        QStringLiteral("no unit write first; one setting loads in %1 of it + 0.5 s")
                                .arg(single.median() / (readWithInch.median() + allowanceMs), 0, 'f', 3));
    return true;
}
