// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>

struct MeasurementSnapshot;

// What the recording file says about the module and the run in its first lines.
struct RecordingHeader
{
    QString moduleAddress;
    int unitNumber = 0;
    int axisCount = 0;
    int dataFormat = 0;
    int unit = 0;
    QString toolVersion;
    QDateTime start;
};

// Writes the monitor's readings to a CSV file (RFC 4180: comma-separated, CRLF line
// ends, quotes where needed; "." decimal point; UTF-8): a few header lines, the
// column names, then one row per poll. Every row is flushed as it is written, so
// the file is complete up to its last poll even if the tool ends unexpectedly, and
// a full disk is noticed at the row that did not fit. All lines have the same
// number of fields, so that a strict reader takes the file as one table.
class MeasurementRecorder
{
public:
    // False when the file cannot be opened or its header not written; see errorString().
    bool start(const QString &path, const RecordingHeader &header);
    // `decimals` holds one entry per axis. False when the row could not be written;
    // the recording is then closed. Times are written as local time.
    bool writeRow(const QDateTime &time, double seconds, const MeasurementSnapshot &reading, const int *decimals);
    void stop();

    bool isRecording() const { return file.isOpen(); }
    QString fileName() const { return file.fileName(); }
    int rows() const { return rowCount; }
    QString errorString() const { return error; }

private:
    bool writeLine(QStringList fields);
    QString isoTime(const QDateTime &time);

    QFile file;
    int axes = 0;
    int rowCount = 0;
    QString error;
    int utcOffsetSeconds = 0;
    qint64 utcOffsetFoundMs = 0;
};
