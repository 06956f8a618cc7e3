// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "communicationlogentry.h"

#include <QFile>
#include <QObject>

class CommandInterface;

// Writes a link's traffic to a text file as it happens, one entry per line in the
// window's format. The lines are written in the writer's thread, never in the
// link's, and each is flushed at once, so the file holds everything up to a crash.
// A line that cannot be written ends the log: writeFailed says why, once.
class CommunicationLogFile : public QObject
{
    Q_OBJECT

public:
    explicit CommunicationLogFile(QObject *parent = nullptr);

    // Creates the file, or empties it; false with the reason in errorString().
    bool open(const QString &path);
    QString errorString() const { return file.errorString(); }

    // Every entry of `link` from now on. With several links in one file, `source`
    // (e.g. the module's address) begins each of its lines.
    void attach(const CommandInterface *link, const QString &source = QString());
    void write(const CommunicationLogEntry &entry, const QString &source = QString());
    void close();
    bool isOpen() const { return file.isOpen(); }
    QString fileName() const { return file.fileName(); }

signals:
    void writeFailed(const QString &reason);

private:
    QFile file;
};
