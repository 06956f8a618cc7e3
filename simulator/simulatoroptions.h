// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QRegularExpression>
#include <QString>
#include <QVector>

#include <optional>

// Patterns are matched against the whole text of one received command
// (anchored at both ends), so "R" matches the readout request only.
struct SimulatorOptions
{
    // Loopback by default: the simulator is a development aid, not a device.
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    quint16 port = 24000; // 0 picks a free port, see ModuleSimulator::serverPort()
    int unitNumber = 0;   // 0 to 15
    int axisCount = 16;   // 1 to 16

    QVector<QRegularExpression> silentPatterns;  // dropped: not applied, not answered
    QVector<QRegularExpression> splitPatterns;   // reply written in two halves...
    int splitGapMs = 50;                         // ...this far apart
    QVector<QRegularExpression> garblePatterns;  // reply value replaced by garbageValue
    QString garbageValue = QStringLiteral("X#?");
    int garbleAfter = 0;                         // garble only after the K-th command of a connection
    int closeAfter = 0;                          // drop the connection on the K-th command, 0 = never
    int silentAfter = 0;                         // take no command after the K-th, 0 = never
    int replyDelayMs = 0;                        // every reply late by this much...
    QVector<QRegularExpression> delayPatterns;   // ...or only these, when any are given
    int delayCount = 0;                          // only the first K of those late, 0 = all
    enum class LateReply {
        InOrder,        // a late reply holds back the replies after it
        Alone,          // it leaves when due; the replies after it do not wait
        WithNextCommand // once due, it leaves only as the next command arrives, just
                        // before that command's reply (a stack holding a small segment
                        // until the next one reaches it)
    };
    LateReply lateReply = LateReply::InOrder;
    int errorAxis = -1;                          // this axis reports an error instead of a value
    std::optional<quint32> seed;                 // fixed seed makes the readout repeatable

    // Received-command log: empty = none, "-" = stdout, otherwise a file path.
    QString logPath;

    static QRegularExpression wholeCommand(const QString &pattern)
    {
        return QRegularExpression(QRegularExpression::anchoredPattern(pattern));
    }
};
