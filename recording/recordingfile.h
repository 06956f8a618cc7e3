// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pollreading.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class ConfigurationFile;
class QThread;

// Writes a module's readings to a CSV file (RFC 4180, UTF-8, CRLF line ends,
// quotes where needed): header lines, the column names, then one row per poll,
// every line as wide as the widest. Beside it goes the module's settings as a
// configuration file, NAME.settings.json. Rows are written by a thread of the
// file's own, so that a slow disk or network share never holds up the caller;
// they reach the disk at least once a second and at stop(). A row that cannot be
// written whole is cut off again, so the file always ends with a complete row.
class RecordingFile : public QObject
{
    Q_OBJECT

public:
    enum class Separator {
        Comma,    // "," between fields, "." in numbers
        Semicolon // ";" between fields, "," in numbers, for spreadsheets set to a decimal comma
    };

    explicit RecordingFile(QObject *parent = nullptr);
    ~RecordingFile() override; // stops, and waits until the file is closed

    // Writes the snapshot and the header lines; false (see errorString()) when
    // either cannot be written. `startMs` is since the epoch.
    bool start(const QString &path, const QString &moduleAddress, const ConfigurationFile &settings,
               Separator separator, qint64 startMs);
    // Queues one row; readings from before the start are left out.
    void append(const PollReading &reading);
    // Queues the last sync and the close; closed() follows.
    void stop();
    // Blocks until every queued row is written and the file closed.
    void waitUntilClosed();

    bool isRecording() const { return recording; }
    QString fileName() const { return path; }
    static QString settingsFileName(const QString &csvPath);
    qint64 rows() const;
    QString errorString() const { return error; }

signals:
    // A row could not be written: the file ends with the row before, and the
    // recording is over. `reason` is the operating system's.
    void failed(const QString &reason);
    void closed();

private:
    struct Writer;
    void post(std::function<void(Writer &)> call);

    QThread *thread;
    QObject *context; // lives in `thread`; the writer's calls are queued to it
    // One per recording, so that a new recording need not wait for the last one to close.
    std::shared_ptr<Writer> writer;
    bool recording = false;
    QString path;
    QString error;
};
