#include "commandinterface.h"

#include <QDebug>
#include <QRegExp>
#include <QStringList>
#include <QTcpSocket>
#include <QThread>

#include <chrono>
#include <cmath>
#include <thread>

CommandBuilder::CommandBuilder(const char *templ)
    : command(QString::fromLatin1(templ))
    , upperCase(command.startsWith(QLatin1String("%1")))
{
}

CommandBuilder &CommandBuilder::fill(const QString &value)
{
    command = command.arg(value);
    return *this;
}

CommandBuilder &CommandBuilder::hex(int value)
{
    command = command.arg(value, 1, 16, QLatin1Char(' '));
    return *this;
}

CommandBuilder &CommandBuilder::decimal(int value)
{
    return fill(QString::number(value));
}

CommandBuilder &CommandBuilder::flag(bool value)
{
    return fill(value ? QStringLiteral("1") : QStringLiteral("0"));
}

CommandBuilder &CommandBuilder::number(double value)
{
    return fill(QString::number(value, 'g', 6));
}

CommandBuilder &CommandBuilder::address(const QHostAddress &value)
{
    return fill(value.toString());
}

QString CommandBuilder::text() const
{
    return upperCase ? command.toUpper() : command;
}

namespace ReplyConversion {

QString text(const QByteArray &reply)
{
    const int nul = reply.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? reply : reply.left(nul));
}

QString value(const QByteArray &reply)
{
    const QRegExp separators(QStringLiteral("[=\r\n]"));
    const QStringList parts = text(reply).split(separators, Qt::SkipEmptyParts);
    return parts.size() >= 2 ? parts.at(1) : QString();
}

bool toInt(const QString &value, int &field)
{
    bool ok = false;
    const int converted = value.trimmed().toInt(&ok, 10);
    if (ok)
        field = converted;
    return ok;
}

bool toBool(const QString &value, bool &field)
{
    int converted = 0;
    if (!toInt(value, converted))
        return false;
    field = converted != 0;
    return true;
}

bool toDouble(const QString &value, double &field)
{
    bool ok = false;
    const double converted = value.toDouble(&ok);
    if (ok)
        field = converted;
    return ok;
}

QHostAddress toAddress(const QString &value)
{
    return QHostAddress(value);
}

bool toText(const QString &value, QString &field)
{
    if (value.isNull())
        return false;
    field = value;
    return true;
}

void toConfig(const QString &value, int &moduleId, int &axisNum)
{
    bool ok = false;
    if (value.size() >= 1) {
        const int unitNumber = value.mid(0, 1).toInt(&ok, 16);
        if (ok)
            moduleId = unitNumber;
    }
    if (value.size() >= 2) {
        const int lastAxis = value.mid(1, 1).toInt(&ok, 16);
        if (ok)
            axisNum = lastAxis + 1;
    }
}

double toRefOffset(const QString &value, bool refUse)
{
    double offset = 0.0;
    if (refUse && toDouble(value, offset))
        return offset;
    return std::nan("");
}

} // namespace ReplyConversion

CommandBuilder CommandInterface::unitCommand(const char *templ) const
{
    CommandBuilder command(templ);
    command.hex(moduleId);
    return command;
}

CommandBuilder CommandInterface::axisCommand(const char *templ, int axis) const
{
    CommandBuilder command(templ);
    command.hex(moduleId).hex(axis);
    return command;
}

bool CommandInterface::shutdownRequested() const
{
    return QThread::currentThread()->isInterruptionRequested();
}

bool CommandInterface::stopRequested() const
{
    return shutdownRequested() || cancelRequested;
}

// The one stop path, for shutdown and cancel alike. The module must not be left in
// its setting mode, so an open bracket is closed first; after that nothing is sent.
bool CommandInterface::stopping()
{
    if (!stopRequested())
        return false;
    commandsSkipped = true;
    closeSettingBracket();
    return true;
}

// A cancel counts for the operation running or queued next, so it is forgotten only
// when an operation ends, never when one starts.
void CommandInterface::endOperation()
{
    lastOperationCancelled = cancelRequested.exchange(false) && commandsSkipped;
    commandsSkipped = false;
}

// A sleeping thread wakes up later than it asked, by a tenth of a millisecond or
// more, and over the hundreds of commands of an operation that adds up to whole
// percents. So a pause sleeps until shortly before its end and watches the clock
// for the rest: it is never shorter than asked, and rarely much longer. (Yielding
// instead of watching hands the processor to whatever else is runnable, for a
// whole time slice on a busy machine.)
void CommandInterface::pauseUntil(PacingClock::time_point end)
{
    constexpr std::chrono::microseconds wakeUpMargin(250);
    if (PacingClock::now() < end - wakeUpMargin)
        std::this_thread::sleep_until(end - wakeUpMargin);
    while (PacingClock::now() < end) {
    }
}

bool CommandInterface::send(const CommandBuilder &command, int pauseMs)
{
    if (stopping())
        return false;
    put(command.text(), pauseMs);
    return true;
}

void CommandInterface::put(const QString &command, int pauseMs)
{
    qDebug() << command;
    write(command);
    socket->flush();
    pauseUntil(PacingClock::now() + std::chrono::milliseconds(pauseMs));
}

// Without a connection a command is lost without notice, as on a dead line; a
// query then simply finds no reply.
void CommandInterface::write(const QString &command)
{
    if (socket->state() == QAbstractSocket::ConnectedState)
        socket->write(command.toUtf8());
}

bool CommandInterface::waitForReply()
{
    return socket->waitForReadyRead(replyWaitMs);
}

// The pause after a query runs from the moment its reply was read (or its wait
// ran out); the caller takes the reply apart within the pause, then waits for its end.
std::optional<QByteArray> CommandInterface::transact(const QString &command, PacingClock::time_point &pauseEnd)
{
    if (stopping()) {
        pauseEnd = PacingClock::now();
        return std::nullopt;
    }
    qDebug() << command;
    write(command);
    std::optional<QByteArray> reply;
    if (waitForReply())
        reply = socket->readAll();
    pauseEnd = PacingClock::now() + std::chrono::milliseconds(commandPauseMs);
    if (!reply)
        qDebug() << "command timeout : " << command;
    return reply;
}

std::optional<QByteArray> CommandInterface::exchange(const QString &command)
{
    PacingClock::time_point pauseEnd;
    std::optional<QByteArray> reply = transact(command, pauseEnd);
    pauseUntil(pauseEnd);
    return reply;
}

void CommandInterface::query(const CommandBuilder &command, int &field)
{
    PacingClock::time_point pauseEnd;
    if (const auto reply = transact(command.text(), pauseEnd))
        ReplyConversion::toInt(ReplyConversion::value(*reply), field);
    pauseUntil(pauseEnd);
}

void CommandInterface::query(const CommandBuilder &command, bool &field)
{
    PacingClock::time_point pauseEnd;
    if (const auto reply = transact(command.text(), pauseEnd))
        ReplyConversion::toBool(ReplyConversion::value(*reply), field);
    pauseUntil(pauseEnd);
}

void CommandInterface::query(const CommandBuilder &command, double &field)
{
    PacingClock::time_point pauseEnd;
    if (const auto reply = transact(command.text(), pauseEnd))
        ReplyConversion::toDouble(ReplyConversion::value(*reply), field);
    pauseUntil(pauseEnd);
}

void CommandInterface::query(const CommandBuilder &command, QHostAddress &field)
{
    PacingClock::time_point pauseEnd;
    if (const auto reply = transact(command.text(), pauseEnd))
        field = ReplyConversion::toAddress(ReplyConversion::value(*reply));
    pauseUntil(pauseEnd);
}

void CommandInterface::query(const CommandBuilder &command, QString &field)
{
    PacingClock::time_point pauseEnd;
    if (const auto reply = transact(command.text(), pauseEnd))
        ReplyConversion::toText(ReplyConversion::value(*reply), field);
    pauseUntil(pauseEnd);
}
