// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordbenchmark.h"

#include "commandinterface.h"
#include "eventwait.h"
#include "heartbeat.h"
#include "heldsettings.h"
#include "readinghistory.h"
#include "scoreboard.h"
#include "simulatorthread.h"
#include "trendwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPixmap>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr int moduleCount = 8;
constexpr int recordSeconds = 60;
constexpr int intervalMs = 200;
constexpr double minimumRowShare = 99.0;
constexpr double maximumCpuPercent = 5.0;
constexpr int eightHoursOfPolls = 8 * 3600 * 5;
constexpr int stallSeconds = 5;

QString moduleAddress(int index)
{
    return QStringLiteral("127.0.0.%1").arg(110 + index);
}

double childrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
            + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The resident memory of this process.
double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0.0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0.0;
}

int rowsIn(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return std::max(int(file.readAll().count("\r\n")) - 9, 0);
}

} // namespace

RecordBenchmark::RecordBenchmark(const QString &configProgram, Scoreboard &scoreboard)
    : m_program(configProgram)
    , m_scoreboard(scoreboard)
{
}

bool RecordBenchmark::run()
{
    m_scoreboard.section(QStringLiteral("7. Recording (qr36tn-config record on 127.0.0.110-117; an 8-hour history)"));
    const bool headless = measureHeadless();
    return measureEightHours() && headless;
}

bool RecordBenchmark::measureHeadless()
{
    const QString rowsName = QStringLiteral("rows kept, 8 modules x 16 axes at 5 Hz");
    const QString rowsGoal = QStringLiteral(">= %1%").arg(minimumRowShare, 0, 'f', 0);
    const QString cpuName = QStringLiteral("qr36tn-config record CPU, same run");
    const QString cpuGoal = QStringLiteral("<= %1% of a core").arg(maximumCpuPercent, 0, 'f', 0);
    const auto fail = [&](const QString &why) {
        m_scoreboard.failed(rowsName, rowsGoal, why);
        m_scoreboard.failed(cpuName, cpuGoal, why);
        return false;
    };
    std::vector<std::unique_ptr<SimulatorThread>> modules;
    QStringList addresses;
    for (int i = 0; i < moduleCount; ++i) {
        SimulatorOptions options;
        options.address = QHostAddress(moduleAddress(i));
        options.port = 24000;
        options.axisCount = 16;
        options.seed = quint32(i + 1);
        modules.push_back(std::make_unique<SimulatorThread>(options));
        if (!modules.back()->start())
            return fail(QStringLiteral("no simulator on %1: %2").arg(moduleAddress(i), modules.back()->errorString()));
        addresses << moduleAddress(i);
    }
    QTemporaryDir out;
    QProcess program;
    program.setStandardOutputFile(QProcess::nullDevice());
    program.setStandardErrorFile(QProcess::nullDevice());
    const double cpuBefore = childrenCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    program.start(m_program, QStringList{QStringLiteral("record"), QStringLiteral("--seconds"),
                                         QString::number(recordSeconds), QStringLiteral("--interval-ms"),
                                         QString::number(intervalMs), QStringLiteral("--out"), out.path()}
                                     + addresses);
    if (!program.waitForFinished((recordSeconds + 60) * 1000) || program.exitStatus() != QProcess::NormalExit
        || program.exitCode() != 0)
        return fail(QStringLiteral("%1 record failed (exit code %2)").arg(m_program).arg(program.exitCode()));
    const double wallSeconds = double(clock.nsecsElapsed()) / 1e9;
    const double cpuPercent = 100.0 * (childrenCpuSeconds() - cpuBefore) / wallSeconds;
    int rows = 0;
    int fewest = INT_MAX;
    for (const QString &address : std::as_const(addresses)) {
        const int kept = rowsIn(QDir(out.path()).filePath(address + QLatin1String(".csv")));
        rows += kept;
        fewest = std::min(fewest, kept);
    }
    const int expected = moduleCount * recordSeconds * 1000 / intervalMs;
    const double share = 100.0 * rows / expected;
    m_scoreboard.target(rowsName, QStringLiteral("%1%").arg(share, 0, 'f', 1), rowsGoal, share >= minimumRowShare,
                        QStringLiteral("%1 rows of %2 expected in %3 s; fewest in one file %4")
                                .arg(rows)
                                .arg(expected)
                                .arg(recordSeconds)
                                .arg(fewest));
    m_scoreboard.target(cpuName, QStringLiteral("%1%").arg(cpuPercent, 0, 'f', 2), cpuGoal,
                        cpuPercent <= maximumCpuPercent,
                        QStringLiteral("user + system time of the program over its %1 s, connecting and reading "
                                       "the modules included")
                                .arg(wallSeconds, 0, 'f', 1));
    return true;
}

// The trend window's history of 8 hours at 5 Hz, 16 axes, a gap every 10 minutes,
// then the whole recording drawn with every axis on the chart.
bool RecordBenchmark::measureEightHours()
{
    CommandInterface store; // never connected: a module of 16 axes as read
    store.axisNum = 16;
    HeldSettings held;
    held.take(store, HeldSettings::Completion::ParameterRead);
    const double memoryBefore = residentMiB();
    auto history = std::make_unique<ReadingHistory>();
    history->startRecording(0.0);
    PollReading reading = PollReading::gapAt(0, 16);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < eightHoursOfPolls; ++i) {
        reading.gap = i % 3000 == 2999;
        for (int axis = 0; axis < 16; ++axis) {
            reading.values[axis] = reading.gap ? NAN : std::sin(i * 0.001 + axis) * 0.05 + 0.01 * axis;
            reading.results[axis] = reading.gap ? PollReading::Result::Gap : PollReading::Result::Ok;
        }
        history->add(0.2 * i, reading);
    }
    const double takeMs = double(clock.nsecsElapsed()) / 1e6;
    const double memoryMiB = residentMiB() - memoryBefore;
    m_scoreboard.report(QStringLiteral("8 hours into the history"), QStringLiteral("%1 ms").arg(takeMs, 0, 'f', 0),
                        QStringLiteral("%1 polls of 16 axes, each into the spread and the trend's envelope; "
                                       "%2 MiB resident added (bounded: the last 10,000 polls and 1,000-2,000 spans)")
                                .arg(eightHoursOfPolls)
                                .arg(memoryMiB, 0, 'f', 1));

    TrendWindow window(&held, history.get());
    window.resize(1200, 800);
    window.show();
    EventWait::pause(200);
    auto *table = window.findChild<QTableWidget *>(QStringLiteral("tableWidget_Spread"));
    for (int axis = 0; axis < table->rowCount(); ++axis)
        table->item(axis, 0)->setCheckState(Qt::Checked);
    EventWait::pause(200);
    // From the last 60 s, which this history holds no reading of, to the whole recording.
    QElapsedTimer redraw;
    redraw.start();
    window.findChild<QComboBox *>(QStringLiteral("comboBox_TrendSpan"))->setCurrentIndex(1);
    window.refreshAll();
    const QPixmap picture = window.grab();
    const double redrawMs = double(redraw.nsecsElapsed()) / 1e6;
    m_scoreboard.report(QStringLiteral("8 hours redrawn, 16 axes"), QStringLiteral("%1 ms").arg(redrawMs, 0, 'f', 1),
                        QStringLiteral("the whole recording, every axis on the chart (up to 1,000 points each, "
                                       "broken at 96 gaps), the spread table, painted offscreen at %1 x %2")
                                .arg(picture.width())
                                .arg(picture.height()));
    // What the polls cost the window while it shows all of that: five a second,
    // each taken into the history and drawn, as the monitor does.
    QTimer polls;
    polls.setTimerType(Qt::PreciseTimer);
    int taken = eightHoursOfPolls;
    QObject::connect(&polls, &QTimer::timeout, &window, [&] {
        history->add(0.2 * taken++, reading);
        window.refresh();
    });
    Heartbeat heartbeat;
    heartbeat.start();
    heartbeat.setPhase(QStringLiteral("polls drawn over 8 hours"));
    polls.start(intervalMs);
    EventWait::pause(stallSeconds * 1000);
    polls.stop();
    heartbeat.stop();
    const Heartbeat::Stall stall = heartbeat.longestStall();
    m_scoreboard.target(QStringLiteral("longest GUI stall, 8 hours on the chart"),
                        QStringLiteral("%1 ms").arg(stall.ms, 0, 'f', 1), QStringLiteral("<= 16 ms"), stall.ms <= 16.0,
                        QStringLiteral("%1 s of polls at 5 Hz, each drawn and painted; %2")
                                .arg(stallSeconds)
                                .arg(stall.text()));
    return true;
}
