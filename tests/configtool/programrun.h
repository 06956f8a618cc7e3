// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QStringList>

// qr36tn-config run to its end: what it printed and how it ended; -1 when it did
// not end by itself within a minute.
struct ProgramRun
{
    int code = -1;
    QByteArray out;
    QString err;

    QStringList lines() const { return QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

inline ProgramRun runProgram(const QStringList &arguments)
{
    QProcess program;
    program.start(QStringLiteral(CONFIG_PROGRAM), arguments);
    const bool ended = program.waitForFinished(60000) && program.exitStatus() == QProcess::NormalExit;
    return {ended ? program.exitCode() : -1, program.readAllStandardOutput(),
            QString::fromUtf8(program.readAllStandardError())};
}
