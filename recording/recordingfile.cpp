// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordingfile.h"

#include "configurationfile.h"
#include "moduleprotocol.h"
#include "productinfo.h"
#include "readingformat.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cmath>

namespace {

constexpr int syncPeriodMs = 1000;

// ISO 8601 with milliseconds and the offset from UTC, so that every row names its
// instant even across a change to or from summer time. Finding the local offset
// reads the system's time zone, so it is looked up once a minute, not every row.
class IsoTime
{
public:
    QString operator()(qint64 ms)
    {
        if (offsetFoundMs == 0 || ms < offsetFoundMs || ms - offsetFoundMs >= 60000) {
            offsetSeconds = QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc();
            offsetFoundMs = ms;
        }
        return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toOffsetFromUtc(offsetSeconds).toString(Qt::ISODateWithMs);
    }

private:
    int offsetSeconds = 0;
    qint64 offsetFoundMs = 0;
};

// Once synced, a file's name survives a power cut only with its folder synced too.
void syncFolderOf(const QString &path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int handle = ::open(folder.constData(), O_RDONLY | O_DIRECTORY);
    if (handle >= 0) {
        ::fsync(handle);
        ::close(handle);
    }
}

} // namespace

struct RecordingFile::Writer
{
    QFile file;
    qint64 completeSize = 0; // the file up to the end of its last whole line
    std::atomic<qint64> rows{0};
    QChar separator = QLatin1Char(',');
    QChar decimalPoint = QLatin1Char('.');
    int axes = 1;
    qint64 startMs = 0;
    bool unsynced = false;
    QTimer *syncTimer = nullptr;
    IsoTime isoTime;
    QString error;

    QString field(const QString &text) const
    {
        for (const QChar c : text) {
            if (c == separator || c == QLatin1Char('"') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
                return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QLatin1String("\"\""))
                        + QLatin1Char('"');
        }
        return text;
    }

    // False, with the file cut back to its last whole line and closed, when the
    // line could not be written whole.
    bool writeLine(QStringList fields)
    {
        const int width = 2 + 3 * axes;
        while (fields.size() < width)
            fields << QString();
        for (QString &text : fields)
            text = field(text);
        const QByteArray line = fields.join(separator).toUtf8() + "\r\n";
        // A write cut short reports no reason; the next one, of the rest, fails with the system's.
        qint64 written = 0;
        for (qint64 part = 0; written < line.size(); written += part) {
            part = file.write(line.constData() + written, line.size() - written);
            if (part <= 0)
                break;
        }
        if (written == line.size()) {
            completeSize += line.size();
            unsynced = true;
            return true;
        }
        error = file.errorString();
        file.resize(completeSize);
        close();
        return false;
    }

    bool writeRow(const PollReading &reading)
    {
        QStringList fields{isoTime(reading.timeMs),
                           ReadingFormat::value(double(reading.timeMs - startMs) / 1000.0, 3, decimalPoint)};
        for (int axis = 0; axis < axes; ++axis) {
            const bool present = axis < reading.axisCount;
            const PollReading::Result result = present ? reading.results[axis] : PollReading::Result::Gap;
            fields << ReadingFormat::value(present ? reading.values[axis] : NAN, decimals[axis], decimalPoint)
                   << (present && !reading.gap ? reading.modes[axis] : QString())
                   << PollReading::resultText(result);
        }
        if (!writeLine(fields))
            return false;
        ++rows;
        return true;
    }

    void sync()
    {
        if (unsynced && file.isOpen())
            ::fdatasync(file.handle());
        unsynced = false;
    }

    void close()
    {
        if (!file.isOpen())
            return;
        sync();
        file.close();
        delete syncTimer;
        syncTimer = nullptr;
    }

    std::array<int, PollReading::maxAxes> decimals{};
};

RecordingFile::RecordingFile(QObject *parent)
    : QObject(parent)
    , thread(new QThread(this))
    , context(new QObject)
{
    context->moveToThread(thread);
    connect(thread, &QThread::finished, context, &QObject::deleteLater);
    thread->start();
}

RecordingFile::~RecordingFile()
{
    stop();
    // After everything queued before it.
    QMetaObject::invokeMethod(context, [] { QThread::currentThread()->quit(); }, Qt::QueuedConnection);
    thread->wait();
}

void RecordingFile::post(std::function<void(Writer &)> call)
{
    QMetaObject::invokeMethod(context, [target = writer, call] { call(*target); }, Qt::QueuedConnection);
}

QString RecordingFile::settingsFileName(const QString &csvPath)
{
    const QFileInfo info(csvPath);
    return info.completeBaseName() + QLatin1String(".settings.json");
}

qint64 RecordingFile::rows() const
{
    return writer ? writer->rows.load() : 0;
}

bool RecordingFile::start(const QString &csvPath, const QString &moduleAddress, const ConfigurationFile &settings,
                          Separator separator, qint64 startMs)
{
    stop();
    path = csvPath;
    error.clear();
    writer = std::make_shared<Writer>();
    Writer &w = *writer;
    if (separator == Separator::Semicolon) {
        w.separator = QLatin1Char(';');
        w.decimalPoint = QLatin1Char(',');
    }
    const ReadingSettings reading = ReadingSettings::of(settings);
    w.axes = qBound(1, reading.axisCount, PollReading::maxAxes);
    for (int axis = 0; axis < w.axes; ++axis)
        w.decimals[axis] = reading.decimals(axis);
    w.startMs = startMs;

    const QString settingsName = settingsFileName(csvPath);
    if (!settings.write(QFileInfo(csvPath).absoluteDir().filePath(settingsName), &error))
        return false;
    // Unbuffered: each row goes to the system as it is written, and a failure names the system's reason.
    w.file.setFileName(csvPath);
    if (!w.file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        error = w.file.errorString();
        return false;
    }
    QStringList columns{QStringLiteral("Time"), QStringLiteral("Seconds")};
    for (int axis = 0; axis < w.axes; ++axis) {
        const QString name = QStringLiteral("Axis %1 ").arg(ModuleProtocol::axisName(axis));
        columns << name + QLatin1String("value") << name + QLatin1String("mode") << name + QLatin1String("result");
    }
    const bool written = w.writeLine({QStringLiteral("Module address"), moduleAddress})
            && w.writeLine({QStringLiteral("Unit number"), QString::number(reading.unitNumber, 16).toUpper()})
            && w.writeLine({QStringLiteral("Axis count"), QString::number(reading.axisCount)})
            && w.writeLine({QStringLiteral("Data format"), ReadingFormat::dataFormatName(reading.dataFormat)})
            && w.writeLine({QStringLiteral("Unit"), ReadingFormat::unitName(reading.unit)})
            && w.writeLine({QStringLiteral("Tool version"), QString::fromLatin1(ProductInfo::number)})
            && w.writeLine({QStringLiteral("Start time"), w.isoTime(startMs)})
            && w.writeLine({QStringLiteral("Settings file"), settingsName}) && w.writeLine(columns);
    if (!written) {
        error = w.error;
        return false;
    }
    w.sync();
    syncFolderOf(csvPath);
    recording = true;
    // From here on the writer is the thread's alone.
    post([](Writer &w) {
        w.syncTimer = new QTimer;
        w.syncTimer->setInterval(syncPeriodMs);
        QObject::connect(w.syncTimer, &QTimer::timeout, [&w] { w.sync(); });
        w.syncTimer->start();
    });
    return true;
}

void RecordingFile::append(const PollReading &reading)
{
    if (!recording || reading.timeMs < writer->startMs)
        return;
    const Writer *const current = writer.get();
    post([this, current, reading](Writer &w) {
        if (!w.file.isOpen() || w.writeRow(reading))
            return;
        const QString reason = w.error;
        QMetaObject::invokeMethod(this, [this, current, reason] {
            if (writer.get() != current || !recording)
                return;
            recording = false;
            error = reason;
            emit failed(reason);
        }, Qt::QueuedConnection);
    });
}

void RecordingFile::stop()
{
    if (!writer)
        return;
    recording = false;
    post([this](Writer &w) {
        w.close();
        QMetaObject::invokeMethod(this, &RecordingFile::closed, Qt::QueuedConnection);
    });
}

void RecordingFile::waitUntilClosed()
{
    if (!writer || QThread::currentThread() == thread)
        return;
    QMetaObject::invokeMethod(context, [] {}, Qt::BlockingQueuedConnection);
}
