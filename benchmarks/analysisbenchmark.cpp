// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysisbenchmark.h"

#include "capabilitywindow.h"
#include "commandinterface.h"
#include "configurationfile.h"
#include "eventwait.h"
#include "heldsettings.h"
#include "readingseries.h"
#include "samples.h"
#include "scoreboard.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cmath>

namespace {

constexpr int axes = 16;
constexpr int polls = 8 * 3600 * 5;
constexpr double maximumAnalyseMs = 1000.0;
constexpr double maximumRedrawMs = 16.0;
constexpr int redraws = 21;

// A slow wave and a little noise of its own on every axis, at 4 decimals; a poll
// without an answer every 10,000 and an error of axis 3 every 1,000.
double reading(int poll, int axis)
{
    const double noise = double((poll * 7919 + axis * 104729) % 1000) / 1000.0 - 0.5;
    return 0.01 * std::sin(poll * 0.001 + axis) + 0.002 * noise;
}

QByteArray recording()
{
    QByteArray text;
    text.reserve(polls * 300);
    const QByteArray pad = QByteArray(3 * axes, ',');
    text += "Module address,127.0.0.1" + pad + "\r\nUnit number,0" + pad + "\r\nAxis count,16" + pad
            + "\r\nData format,Mode 3" + pad + "\r\nUnit,mm" + pad + "\r\nTool version,1.0.0" + pad
            + "\r\nStart time,2026-12-06T06:00:00.000+01:00" + pad + "\r\nSettings file,day.settings.json" + pad
            + "\r\nTime,Seconds";
    for (int axis = 0; axis < axes; ++axis) {
        const QByteArray name = ",Axis " + QByteArray::number(axis, 16).toUpper();
        text += name + " value" + name + " mode" + name + " result";
    }
    text += "\r\n";
    for (int poll = 0; poll < polls; ++poll) {
        text += "2026-12-06T06:00:00.000+01:00," + QByteArray::number(poll * 0.2, 'f', 3);
        for (int axis = 0; axis < axes; ++axis) {
            if (poll % 10000 == 9999)
                text += ",,,GAP";
            else if (axis == 3 && poll % 1000 == 999)
                text += ",,REAL,ERR";
            else
                text += ',' + QByteArray::number(reading(poll, axis), 'f', 4) + ",REAL,OK";
        }
        text += "\r\n";
    }
    return text;
}

} // namespace

AnalysisBenchmark::AnalysisBenchmark(const QString &configProgram, int runs, Scoreboard &scoreboard)
    : m_program(configProgram)
    , m_runs(runs)
    , m_scoreboard(scoreboard)
{
}

bool AnalysisBenchmark::run()
{
    m_scoreboard.section(QStringLiteral("8. Capability figures (median of %1 runs)").arg(m_runs));
    const bool analysed = timeAnalyse();
    return timeRedraw() && analysed;
}

bool AnalysisBenchmark::timeAnalyse()
{
    const QString name = QStringLiteral("analyse, 8 h of 16 axes at 5 Hz");
    const QString goal = QStringLiteral("<= %1 ms").arg(maximumAnalyseMs);
    QTemporaryDir folder;
    CommandInterface store;
    store.moduleId = 0;
    store.axisNum = axes;
    for (int axis = 0; axis < axes; ++axis) {
        store.compLow[0][axis] = -0.02;
        store.compHigh[0][axis] = 0.02;
    }
    QString error;
    const QByteArray text = recording();
    QFile file(folder.filePath(QStringLiteral("day.csv")));
    if (!ConfigurationFile::fromStore(store).write(folder.filePath(QStringLiteral("day.settings.json")), &error)
        || !file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
        m_scoreboard.failed(name, goal, QStringLiteral("the recording could not be written"));
        return false;
    }
    file.close();

    Samples samples;
    for (int run = 0; run < m_runs; ++run) {
        QProcess program;
        program.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer clock;
        clock.start();
        program.start(m_program, {QStringLiteral("analyse"), file.fileName(), QStringLiteral("--json")});
        if (!program.waitForFinished(60000) || program.exitStatus() != QProcess::NormalExit
            || program.exitCode() != 0) {
            m_scoreboard.failed(name, goal, QString::fromUtf8(program.readAllStandardError()).trimmed());
            return false;
        }
        samples.add(double(clock.nsecsElapsed()) / 1e6);
    }
    const qint64 readings = qint64(polls - polls / 10000) * axes - (polls - polls / 10000) / 1000;
    m_scoreboard.target(name, QStringLiteral("%1 ms").arg(samples.median(), 0, 'f', 0), goal,
                        samples.median() <= maximumAnalyseMs,
                        QStringLiteral("%1 readings, %2 MB, limits from the snapshot, --json, the whole process; "
                                       "runs %3..%4 ms")
                                .arg(readings)
                                .arg(double(text.size()) / 1e6, 0, 'f', 1)
                                .arg(samples.min(), 0, 'f', 0)
                                .arg(samples.max(), 0, 'f', 0));
    return true;
}

// From new figures to the painted window: the figures, the three charts' series
// and axes, the layout they set off, and the paint of the whole window.
bool AnalysisBenchmark::timeRedraw()
{
    CommandInterface link;
    link.axisNum = 1;
    link.compLow[0][0] = -0.02;
    link.compHigh[0][0] = 0.02;
    HeldSettings held;
    held.take(link, HeldSettings::Completion::ParameterRead);
    ReadingSeries series;
    series.startRecording();
    ReadingSeries::Values values;
    values.fill(std::nan(""));
    for (int poll = 0; poll < polls; ++poll) {
        values[0] = std::round(reading(poll, 0) * 1e4) / 1e4;
        series.add(values, true);
    }
    CapabilityWindow window(&held, &series);
    for (QCheckBox *rule : window.findChildren<QCheckBox *>())
        rule->setChecked(true);
    window.show();
    EventWait::pause(500);

    // As the window runs: one more reading before each redraw, which moves every
    // group of the charts' envelopes.
    Samples samples;
    Samples figures;
    for (int run = 0; run < redraws; ++run) {
        values[0] = reading(polls + run, 0);
        series.add(values, true);
        QElapsedTimer clock;
        clock.start();
        window.redraw();
        figures.add(double(clock.nsecsElapsed()) / 1e6);
        QCoreApplication::processEvents();
        window.repaint();
        samples.add(double(clock.nsecsElapsed()) / 1e6);
    }
    m_scoreboard.target(QStringLiteral("redraw, histogram and I-MR of 8 h"),
                        QStringLiteral("%1 ms").arg(samples.median(), 0, 'f', 1),
                        QStringLiteral("<= %1 ms").arg(maximumRedrawMs), samples.median() <= maximumRedrawMs,
                        QStringLiteral("%1 readings of one axis and one more each time, every rule on, offscreen; of "
                                       "it the figures and series %2 ms; %3 redraws %4..%5 ms")
                                .arg(polls)
                                .arg(figures.median(), 0, 'f', 1)
                                .arg(redraws)
                                .arg(samples.min(), 0, 'f', 1)
                                .arg(samples.max(), 0, 'f', 1));
    return true;
}
