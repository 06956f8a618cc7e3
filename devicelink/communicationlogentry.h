// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>

// One line of the link's traffic as an operator or a service engineer reads it:
// a command, a reply, a reply that never came, bytes thrown away as a late reply,
// or what happened to the connection. Plain data, so it crosses threads in a queued
// signal, and formatted the same in the window and in a log file.
struct CommunicationLogEntry
{
    enum class Kind {
        Sent, NotSent, Reply, Timeout, Discarded,
        // The connection's events; their bytes are words, not wire bytes.
        Dialling, Connected, ConnectFailed, ClosedByModule, ClosedByTool
    };

    Kind kind = Kind::Sent;
    qint64 time = 0;             // ms since the epoch
    qint64 sinceCommandUs = -1;  // since the last command went out; -1 on a command or an event
    QByteArray bytes;            // as on the wire; a time-out carries its command
    bool poll = false;           // the monitor's "R" or its reply

    bool isConnectionEvent() const { return kind >= Kind::Dialling; }
    // "2026-12-06 15:33:35.124+01:00     +0.4 ms  reply      "00RSL=3\r\n"", in local time
    // with its offset from UTC.
    QString line() const;
    // The bytes between double quotes, each byte that is not printable ASCII as an escape.
    static QString visible(const QByteArray &bytes);
};

Q_DECLARE_METATYPE(CommunicationLogEntry)
