// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysisbenchmark.h"
#include "loadbenchmark.h"
#include "logmemorybenchmark.h"
#include "monitorbenchmark.h"
#include "pacingbenchmark.h"
#include "recordbenchmark.h"
#include "responsivenessbenchmark.h"
#include "scanbenchmark.h"
#include "scoreboard.h"
#include "startupbenchmark.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {
QString processorName()
{
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    if (!cpuinfo.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown processor");
    const QRegularExpression model(QStringLiteral("^model name\\s*:\\s*(.*)$"), QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = model.match(QString::fromLatin1(cpuinfo.readAll()));
    return match.hasMatch() ? match.captured(1).trimmed() : QStringLiteral("unknown processor");
}

// The link logs every command it sends to standard error; where that goes is part
// of what an operation costs.
QString standardErrorTarget()
{
    const QString target = QFileInfo(QStringLiteral("/proc/self/fd/2")).symLinkTarget();
    return target.isEmpty() ? QStringLiteral("unknown") : target;
}
} // namespace

int main(int argc, char *argv[])
{
    // The window is measured headless, the same on every machine.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qr36tn-benchmark"));

    const QStringList parts{QStringLiteral("pacing"), QStringLiteral("gui"), QStringLiteral("monitor"),
                            QStringLiteral("startup"), QStringLiteral("load"), QStringLiteral("log"),
                            QStringLiteral("analysis"), QStringLiteral("record"), QStringLiteral("scan")};
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "Measures the setting tool against the module simulator on a loopback address and "
            "prints each figure beside its target."));
    parser.addHelpOption();
    parser.addOptions({
            {QStringLiteral("address"),
             QStringLiteral("Loopback address for the simulators; port 24000 on it must be free."),
             QStringLiteral("address"), QStringLiteral("127.0.0.41")},
            {QStringLiteral("runs"), QStringLiteral("Runs of each timed figure; the median is reported."),
             QStringLiteral("n"), QStringLiteral("3")},
            {QStringLiteral("only"),
             QStringLiteral("Run only these parts: %1 (repeatable).").arg(parts.join(QLatin1String(", "))),
             QStringLiteral("part")},
            {QStringLiteral("simulator"), QStringLiteral("The simulator program."), QStringLiteral("path"),
             QStringLiteral(QR36_SIMULATOR_PROGRAM)},
            {QStringLiteral("probe"), QStringLiteral("The start-up probe program."), QStringLiteral("path"),
             QStringLiteral(QR36_STARTUP_PROBE)},
            {QStringLiteral("config"), QStringLiteral("The qr36tn-config program."), QStringLiteral("path"),
             QStringLiteral(QR36_CONFIG_PROGRAM)},
    });
    parser.process(application);

    const QHostAddress address(parser.value(QStringLiteral("address")));
    if (address.protocol() != QAbstractSocket::IPv4Protocol || !address.isLoopback()) {
        std::fprintf(stderr, "--address must be an IPv4 loopback address (127.x.y.z)\n");
        return 2;
    }
    bool ok = false;
    const int runs = parser.value(QStringLiteral("runs")).toInt(&ok);
    if (!ok || runs < 1 || runs > 100) {
        std::fprintf(stderr, "--runs must be a number from 1 to 100\n");
        return 2;
    }
    const QStringList only = parser.values(QStringLiteral("only"));
    for (const QString &part : only) {
        if (!parts.contains(part)) {
            std::fprintf(stderr, "--only takes one of: %s\n", qPrintable(parts.join(QLatin1String(", "))));
            return 2;
        }
    }
    const auto wanted = [&only](const char *part) { return only.isEmpty() || only.contains(QLatin1String(part)); };

    // The tool reads "setting.ini" from its working folder: an empty one keeps a
    // developer's own option out of the figures.
    QTemporaryDir workingFolder;
    const QString programs = QDir::currentPath();
    if (!workingFolder.isValid() || !QDir::setCurrent(workingFolder.path())) {
        std::fprintf(stderr, "no temporary working folder\n");
        return 1;
    }
    const auto program = [&programs](const QString &path) { return QDir(programs).absoluteFilePath(path); };

    std::printf("qr36tn-benchmark: %s build, Qt %s, %d cores (%s), simulator on %s\n", QR36_BUILD_TYPE, qVersion(),
                QThread::idealThreadCount(), qPrintable(processorName()), qPrintable(address.toString()));
    std::printf("link debug output (standard error) goes to %s\n", qPrintable(standardErrorTarget()));
    std::fflush(stdout);

    Scoreboard scoreboard;
    if (wanted("pacing"))
        PacingBenchmark(address, runs, scoreboard).run();
    // A stall of the machine's own now and then is no rarity here: the median of
    // at least five runs keeps one out of the figure.
    if (wanted("gui"))
        ResponsivenessBenchmark(address.toString(), qMax(runs, 5), scoreboard).run();
    if (wanted("monitor"))
        MonitorBenchmark(address.toString(), program(parser.value(QStringLiteral("simulator"))), runs, scoreboard)
                .run();
    if (wanted("startup"))
        StartupBenchmark(address.toString(), program(parser.value(QStringLiteral("probe"))), qMax(runs, 5), scoreboard)
                .run();
    if (wanted("load"))
        LoadBenchmark(program(parser.value(QStringLiteral("config"))), runs, scoreboard).run();
    // The same pacing and GUI figures with the communication log shown, and its memory.
    if (wanted("log")) {
        PacingBenchmark(address, runs, scoreboard, true).run();
        ResponsivenessBenchmark(address.toString(), qMax(runs, 5), scoreboard, true).run();
        LogMemoryBenchmark(program(parser.value(QStringLiteral("probe"))), scoreboard).run();
    }
    if (wanted("analysis"))
        AnalysisBenchmark(program(parser.value(QStringLiteral("config"))), runs, scoreboard).run();
    if (wanted("record"))
        RecordBenchmark(program(parser.value(QStringLiteral("config"))), scoreboard).run();
    if (wanted("scan"))
        ScanBenchmark(program(parser.value(QStringLiteral("config"))), runs, scoreboard).run();
    scoreboard.printSummary();
    // Missed targets are figures, not failures; only what could not be measured is.
    return scoreboard.failures() > 0 ? 1 : 0;
}
