// SPDX-License-Identifier: GPL-3.0-or-later
#include "startupbenchmark.h"

#include "samples.h"
#include "scoreboard.h"
#include "simulatorthread.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

StartupBenchmark::StartupBenchmark(const QString &address, const QString &probeProgram, int runs,
                                   Scoreboard &scoreboard)
    : m_address(address)
    , m_probeProgram(probeProgram)
    , m_runs(runs)
    , m_scoreboard(scoreboard)
{
}

bool StartupBenchmark::run()
{
    m_scoreboard.section(QStringLiteral("4. Start-up and memory (median of %1 launches)").arg(m_runs));
    SimulatorOptions options;
    options.address = QHostAddress(m_address);
    options.port = 24000;
    options.axisCount = 16;
    options.seed = 7;
    SimulatorThread simulator(options);
    if (!simulator.start()) {
        m_scoreboard.unmeasured(QStringLiteral("start-up"), QStringLiteral("no simulator: %1").arg(simulator.errorString()));
        return false;
    }

    Samples startupMs;
    Samples shownKiB;
    Samples connectedKiB;
    QString error;
    for (int run = 0; run < m_runs && error.isEmpty(); ++run) {
        // An empty working folder: no "setting.ini" of a developer's.
        QTemporaryDir workingFolder;
        QProcess probe;
        probe.setWorkingDirectory(workingFolder.path());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        probe.setProcessEnvironment(environment);
        // The link's debug lines are not what is measured here.
        probe.setStandardErrorFile(QProcess::nullDevice());

        QElapsedTimer clock;
        clock.start();
        probe.start(m_probeProgram, {m_address});
        while (probe.waitForReadyRead(60000)) {
            while (probe.canReadLine()) {
                const QList<QByteArray> words = probe.readLine().trimmed().split(' ');
                if (words.value(0) == "shown")
                    startupMs.add(double(clock.nsecsElapsed()) / 1e6);
                else if (words.value(0) == "resident-shown")
                    shownKiB.add(words.value(1).toDouble());
                else if (words.value(0) == "resident-connected")
                    connectedKiB.add(words.value(1).toDouble());
            }
        }
        probe.waitForFinished(10000);
        if (probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0 || connectedKiB.size() != run + 1)
            error = QStringLiteral("%1 failed (exit code %2)").arg(m_probeProgram).arg(probe.exitCode());
    }
    if (!error.isEmpty()) {
        m_scoreboard.unmeasured(QStringLiteral("start-up"), error);
        return false;
    }
    m_scoreboard.report(QStringLiteral("launch to main window shown"),
                        QStringLiteral("%1 ms").arg(startupMs.median(), 0, 'f', 0),
                        QStringLiteral("runs %1..%2 ms").arg(startupMs.min(), 0, 'f', 0).arg(startupMs.max(), 0, 'f', 0));
    m_scoreboard.report(QStringLiteral("resident memory, window shown"),
                        QStringLiteral("%1 MiB").arg(shownKiB.median() / 1024.0, 0, 'f', 1));
    m_scoreboard.report(QStringLiteral("resident memory, connected to 16 axes"),
                        QStringLiteral("%1 MiB").arg(connectedKiB.median() / 1024.0, 0, 'f', 1));
    return true;
}
