// SPDX-License-Identifier: GPL-3.0-or-later
#include "logmemorybenchmark.h"

#include "communicationlogwindow.h"
#include "scoreboard.h"

#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace {
constexpr int entryCount = 100000;
// 20,000 entries of about 250 bytes, twice over for what the allocator keeps
// while the oldest leave and the newest come.
constexpr double maximumGrowthMiB = 12.0;
// Once the log is full, more entries only replace the oldest.
constexpr double maximumLateGrowthMiB = 0.5;
} // namespace

LogMemoryBenchmark::LogMemoryBenchmark(const QString &probeProgram, Scoreboard &scoreboard)
    : m_probeProgram(probeProgram)
    , m_scoreboard(scoreboard)
{
}

bool LogMemoryBenchmark::run()
{
    m_scoreboard.section(QStringLiteral("6c. Communication log memory (%1 entries of 16-axis polling into the shown "
                                        "log of a fresh tool process)")
                                 .arg(entryCount));
    const QString name = QStringLiteral("log memory, %1 entries").arg(entryCount);
    const QString lateName = QStringLiteral("log memory, entries 60001..%1").arg(entryCount);
    const QString goal = QStringLiteral("<= %1 MiB").arg(maximumGrowthMiB, 0, 'f', 0);
    const QString lateGoal = QStringLiteral("<= %1 MiB").arg(maximumLateGrowthMiB, 0, 'f', 1);

    QTemporaryDir workingFolder;
    QProcess probe;
    probe.setWorkingDirectory(workingFolder.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    probe.setProcessEnvironment(environment);
    probe.setStandardErrorFile(QProcess::nullDevice());
    probe.start(m_probeProgram, {QStringLiteral("--log"), QString::number(entryCount)});
    QMap<int, double> residentMiB; // by entries given
    int rows = -1;
    while (probe.waitForReadyRead(120000)) {
        while (probe.canReadLine()) {
            const QList<QByteArray> words = probe.readLine().trimmed().split(' ');
            if (words.value(0) == "resident-log")
                residentMiB.insert(words.value(1).toInt(), words.value(2).toDouble() / 1024.0);
            else if (words.value(0) == "log-rows")
                rows = words.value(1).toInt();
        }
    }
    probe.waitForFinished(10000);
    if (probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0 || rows < 0
        || !residentMiB.contains(0) || !residentMiB.contains(60000) || !residentMiB.contains(entryCount)) {
        const QString why = QStringLiteral("%1 --log failed (exit code %2)").arg(m_probeProgram).arg(probe.exitCode());
        m_scoreboard.failed(name, goal, why);
        m_scoreboard.failed(lateName, lateGoal, why);
        return false;
    }

    const double empty = residentMiB.value(0);
    QStringList series;
    for (auto point = residentMiB.cbegin(); point != residentMiB.cend(); ++point)
        series << QStringLiteral("%1: +%2").arg(point.key()).arg(point.value() - empty, 0, 'f', 1);
    const double growth = residentMiB.value(entryCount) - empty;
    const double lateGrowth = residentMiB.value(entryCount) - residentMiB.value(60000);
    m_scoreboard.target(name, QStringLiteral("%1 MiB").arg(growth, 0, 'f', 1), goal, growth <= maximumGrowthMiB,
                        QStringLiteral("%1 rows held (bound %2); growth in MiB after %3")
                                .arg(rows)
                                .arg(CommunicationLogWindow::capacity)
                                .arg(series.join(QStringLiteral(", "))));
    m_scoreboard.target(lateName, QStringLiteral("%1 MiB").arg(lateGrowth, 0, 'f', 1), lateGoal,
                        lateGrowth <= maximumLateGrowthMiB);
    m_scoreboard.report(QStringLiteral("resident memory, log shown and empty"), QStringLiteral("%1 MiB").arg(empty, 0, 'f', 1));
    return true;
}
