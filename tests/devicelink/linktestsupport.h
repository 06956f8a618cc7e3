#pragma once

#include "commandinterface.h"
#include "simulatorthread.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QVector>

#include <mutex>

// Records, in one timeline, every command text the link logs before sending it and
// every progress value it reports, each with a monotonic time stamp. The link logs
// a command right before writing it and pauses right after, so the gap between two
// log entries is a lower bound the pacing guarantees.
class CommandTimeline
{
public:
    struct Entry
    {
        QString text;    // a command, "#<progress>", "max <maximum>" or "timeout <command>"
        qint64 ns;
    };

    CommandTimeline()
    {
        clock.start();
        current = this;
        previousHandler = qInstallMessageHandler(&CommandTimeline::handle);
    }
    ~CommandTimeline()
    {
        qInstallMessageHandler(previousHandler);
        current = nullptr;
    }

    void follow(CommandInterface *link)
    {
        QObject::connect(link, &CommandInterface::setProgress, link,
                         [this](int value) { append(QStringLiteral("#%1").arg(value)); },
                         Qt::DirectConnection);
        QObject::connect(link, &CommandInterface::setProgMaximum, link,
                         [this](int value) { append(QStringLiteral("max %1").arg(value)); },
                         Qt::DirectConnection);
    }

    void clear()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        entries.clear();
    }
    QVector<Entry> all() const
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return entries;
    }
    QStringList texts() const
    {
        QStringList result;
        for (const Entry &entry : all())
            result << entry.text;
        return result;
    }
    // Only the commands, in the order they were sent.
    QStringList commands() const
    {
        QStringList result;
        for (const Entry &entry : all())
            if (!entry.text.startsWith(QLatin1Char('#')) && !entry.text.startsWith(QLatin1String("max "))
                && !entry.text.startsWith(QLatin1String("timeout ")))
                result << entry.text;
        return result;
    }

private:
    void append(const QString &text)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        entries.append({text, clock.nsecsElapsed()});
    }

    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (current && type == QtDebugMsg) {
            // The link prints a command as a quoted string; a time-out as a prefix and the command.
            static const QString timeoutPrefix = QStringLiteral("command timeout : ");
            if (message.startsWith(QLatin1Char('"')) && message.endsWith(QLatin1Char('"'))) {
                current->append(message.mid(1, message.size() - 2));
                return;
            }
            if (message.startsWith(timeoutPrefix)) {
                QString command = message.mid(timeoutPrefix.size()).trimmed();
                command.remove(QLatin1Char('"'));
                current->append(QStringLiteral("timeout ") + command);
                return;
            }
        }
        if (previousHandler)
            previousHandler(type, context, message);
    }

    mutable std::mutex mutex;
    QVector<Entry> entries;
    QElapsedTimer clock;
    static inline CommandTimeline *current = nullptr;
    static inline QtMessageHandler previousHandler = nullptr;
};

inline uint loopbackAddress()
{
    return QHostAddress(QHostAddress::LocalHost).toIPv4Address();
}

inline SimulatorOptions simulatorOptions(int axes, int unit = 0)
{
    SimulatorOptions options;
    options.port = 0;
    options.axisCount = axes;
    options.unitNumber = unit;
    options.seed = 7;
    return options;
}
