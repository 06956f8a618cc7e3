// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurementrecorder.h"

#include "commandinterface.h"
#include "readingformat.h"

#include <QStringList>

namespace {

QString field(const QString &text)
{
    static const QString mustQuote = QStringLiteral(",\"\r\n");
    for (const QChar c : text) {
        if (mustQuote.contains(c))
            return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
    }
    return text;
}

} // namespace

// ISO 8601 with milliseconds and the offset from UTC, so that every row names its
// instant even across a change to or from summer time. Finding the local offset
// reads the system's time zone, so it is looked up once a minute, not every row.
QString MeasurementRecorder::isoTime(const QDateTime &time)
{
    const qint64 ms = time.toMSecsSinceEpoch();
    if (utcOffsetFoundMs == 0 || ms < utcOffsetFoundMs || ms - utcOffsetFoundMs >= 60000) {
        utcOffsetSeconds = time.toLocalTime().offsetFromUtc();
        utcOffsetFoundMs = ms;
    }
    return time.toOffsetFromUtc(utcOffsetSeconds).toString(Qt::ISODateWithMs);
}

bool MeasurementRecorder::start(const QString &path, const RecordingHeader &header)
{
    stop();
    file.setFileName(path);
    rowCount = 0;
    error.clear();
    utcOffsetFoundMs = 0;
    axes = qBound(1, header.axisCount, 16);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error = file.errorString();
        return false;
    }
    QStringList columns{QStringLiteral("Time"), QStringLiteral("Seconds")};
    for (int axis = 0; axis < axes; ++axis) {
        const QString name = QStringLiteral("Axis %1 ").arg(QString::number(axis, 16).toUpper());
        columns << name + QLatin1String("value") << name + QLatin1String("mode") << name + QLatin1String("result");
    }
    return writeLine({QStringLiteral("Module address"), header.moduleAddress})
            && writeLine({QStringLiteral("Unit number"), QString::number(header.unitNumber, 16).toUpper()})
            && writeLine({QStringLiteral("Axis count"), QString::number(header.axisCount)})
            && writeLine({QStringLiteral("Data format"), ReadingFormat::dataFormatName(header.dataFormat)})
            && writeLine({QStringLiteral("Unit"), ReadingFormat::unitName(header.unit)})
            && writeLine({QStringLiteral("Tool version"), header.toolVersion})
            && writeLine({QStringLiteral("Start time"), isoTime(header.start)}) && writeLine(columns);
}

bool MeasurementRecorder::writeRow(const QDateTime &time, double seconds, const MeasurementSnapshot &reading,
                                   const int *decimals)
{
    if (!isRecording())
        return false;
    QStringList fields{isoTime(time), QString::number(seconds, 'f', 3)};
    for (int axis = 0; axis < axes; ++axis) {
        fields << ReadingFormat::value(reading.measValue[axis], decimals[axis]) << reading.modeText[axis]
               << ReadingFormat::comparatorResult(reading.judge[axis]);
    }
    if (!writeLine(fields))
        return false;
    ++rowCount;
    return true;
}

void MeasurementRecorder::stop()
{
    if (file.isOpen())
        file.close();
}

bool MeasurementRecorder::writeLine(QStringList fields)
{
    const int width = 2 + 3 * axes;
    while (fields.size() < width)
        fields << QString();
    for (QString &text : fields)
        text = field(text);
    const QByteArray line = fields.join(QLatin1Char(',')).toUtf8() + "\r\n";
    if (file.write(line) == line.size() && file.flush())
        return true;
    error = file.errorString();
    file.close();
    return false;
}
