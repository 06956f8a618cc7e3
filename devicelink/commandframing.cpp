// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandinterface.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDebug>
#include <QRegularExpression>
#include <QStringList>
#include <QTcpSocket>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <utility>

namespace {

QString withoutTrailingZeros(QString digits)
{
    if (digits.contains(QLatin1Char('.'))) {
        while (digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
        if (digits.endsWith(QLatin1Char('.')))
            digits.chop(1);
    }
    return digits;
}

// %g with `digits` significant digits, but exponent form from the same thresholds
// as with six, which %g itself would move with the precision.
QString generalFormat(double value, int digits)
{
    const QString scientific = QString::number(value, 'e', digits - 1);
    const int e = scientific.indexOf(QLatin1Char('e'));
    const int exponent = scientific.mid(e + 1).toInt();
    if (exponent < -4 || exponent >= 6)
        return withoutTrailingZeros(scientific.left(e)) + scientific.mid(e);
    return withoutTrailingZeros(QString::number(value, 'f', digits - 1 - exponent));
}

} // namespace

QString exactNumberText(double value)
{
    // Every value that six digits hold keeps the very text it always had.
    const QString sixDigits = QString::number(value, 'g', 6);
    if (!std::isfinite(value) || sixDigits.toDouble() == value)
        return sixDigits;
    // Fifteen digits give back every decimal of fifteen digits or fewer, so every value
    // read from the module or typed by the operator.
    constexpr int mostDigits = 15;
    QString text;
    for (int digits = 7; digits <= mostDigits; ++digits) {
        text = generalFormat(value, digits);
        if (text.toDouble() == value)
            break;
    }
    return text;
}

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
    return fill(exactNumberText(value));
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

QString namePart(const QString &text)
{
    return text.left(text.indexOf(QLatin1Char('=')));
}

QString value(const QByteArray &reply)
{
    static const QRegularExpression separators(QStringLiteral("[=\r\n]"));
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

bool toAddress(const QString &value, QHostAddress &field)
{
    field = toAddress(value);
    return !field.isNull();
}

bool toText(const QString &value, QString &field)
{
    if (value.isNull())
        return false;
    field = value;
    return true;
}

bool toConfig(const QString &value, int &moduleId, int &axisNum)
{
    bool unitOk = false;
    bool axesOk = false;
    if (value.size() >= 1) {
        const int unitNumber = value.mid(0, 1).toInt(&unitOk, 16);
        if (unitOk)
            moduleId = unitNumber;
    }
    if (value.size() >= 2) {
        const int lastAxis = value.mid(1, 1).toInt(&axesOk, 16);
        if (axesOk)
            axisNum = lastAxis + 1;
    }
    return unitOk && axesOk;
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
    commandsStopped = true;
    closeSettingBracket();
    return true;
}

bool CommandInterface::connectionLost() const
{
    return socket->state() != QAbstractSocket::ConnectedState;
}

// A socket the module has closed is no longer open, and reading it only draws warnings.
bool CommandInterface::readable() const
{
    return socket->isReadable();
}

// Whether a command of the running operation is left out: the operation was stopped,
// or the module can no longer be reached. The first one left out is where it stopped.
bool CommandInterface::skipping(const QString &command)
{
    noticeArrivals();
    const bool lost = !stopping() && connectionLost();
    if (!commandsStopped && !lost)
        return false;
    if (lost && running.ending == OperationOutcome::Ending::Completed)
        running.ending = OperationOutcome::Ending::ConnectionLost;
    if (running.stoppedAt.isEmpty())
        running.stoppedAt = command;
    ++running.commandsSkipped;
    return true;
}

void CommandInterface::beginOperation(const QString &name)
{
    running = OperationOutcome();
    running.operation = name;
}

void CommandInterface::perform(const OperationPlan &plan)
{
    emit setProgMaximum(plan.maximum);
    int progress = plan.firstProgress;
    for (const OperationPlan::Step &step : plan.steps) {
        if (step.reported)
            emit setProgress(progress++);
        if (step.command)
            step.command(*this);
    }
}

// A cancel counts for the operation running or queued next, so it is forgotten only
// when an operation ends, never when one starts.
void CommandInterface::endOperation()
{
    const bool cancelled = cancelRequested.exchange(false);
    if (commandsStopped && running.ending == OperationOutcome::Ending::Completed) {
        running.ending = shutdownRequested() || !cancelled ? OperationOutcome::Ending::ShutDown
                                                            : OperationOutcome::Ending::Cancelled;
    }
    commandsStopped = false;
    handOverLog();
    const std::lock_guard<std::mutex> lock(outcomeMutex);
    ended = running;
}

OperationOutcome CommandInterface::lastOutcome() const
{
    const std::lock_guard<std::mutex> lock(outcomeMutex);
    return ended;
}

// A sleeping thread wakes up later than it asked, by a tenth of a millisecond or
// more, and over the hundreds of commands of an operation that adds up to whole
// percents. So a pause sleeps until shortly before its end and watches the clock
// for the rest: it is never shorter than asked, and rarely much longer. (Yielding
// instead of watching hands the processor to whatever else is runnable, for a
// whole time slice on a busy machine.)
void CommandInterface::pauseUntil(PacingClock::time_point end)
{
    handOverLog();
    constexpr std::chrono::microseconds wakeUpMargin(250);
    if (PacingClock::now() < end - wakeUpMargin)
        std::this_thread::sleep_until(end - wakeUpMargin);
    while (PacingClock::now() < end) {
    }
}

bool CommandInterface::send(const CommandBuilder &command, int pauseMs)
{
    const QString text = command.text();
    if (skipping(text))
        return false;
    put(text, pauseMs);
    ++running.commandsSent;
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
    const QByteArray bytes = command.toUtf8();
    const bool connected = socket->state() == QAbstractSocket::ConnectedState;
    if (connected)
        socket->write(bytes);
    using Kind = CommunicationLogEntry::Kind;
    logCommunication(connected ? Kind::Sent : Kind::NotSent, bytes, command == QLatin1String("R"));
}

// An entry waits in the link until its next pause (or the end of a poll): posting
// it wakes the receiving thread, which then competes for a processor, and that
// must not happen between a command and its reply.
void CommandInterface::logCommunication(CommunicationLogEntry::Kind kind, const QByteArray &bytes, bool poll)
{
    using Kind = CommunicationLogEntry::Kind;
    const PacingClock::time_point now = PacingClock::now();
    CommunicationLogEntry entry;
    entry.kind = kind;
    entry.time = QDateTime::currentMSecsSinceEpoch();
    // A copy of its own: a reply may share a buffer of the socket's read size.
    entry.bytes = QByteArray(bytes.constData(), bytes.size());
    entry.poll = poll;
    if (kind == Kind::Sent || kind == Kind::NotSent)
        lastCommandTime = now;
    else if (lastCommandTime && !entry.isConnectionEvent())
        entry.sinceCommandUs = std::chrono::duration_cast<std::chrono::microseconds>(now - *lastCommandTime).count();
    logBacklog.append(entry);
}

void CommandInterface::handOverLog()
{
    for (const CommunicationLogEntry &entry : qAsConst(logBacklog))
        emit communicationLogged(entry);
    logBacklog.clear();
}

static bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// The socket only learns of what has arrived, bytes or the module's close, when it
// is asked; a set command reads no reply, so it asks before it is sent.
void CommandInterface::noticeArrivals()
{
    if (connectionLost())
        return;
    lookingForBytes = true;
    while (socket->waitForReadyRead(0)) {
    }
    lookingForBytes = false;
}

// Bytes that wait before a command is written answer an earlier one: a late reply,
// or what followed a reply's line end. They must not be read as this one's reply.
void CommandInterface::discardWaitingBytes()
{
    noticeArrivals();
    if (readable())
        received += socket->readAll();
    if (std::any_of(received.cbegin(), received.cend(), [](char c) { return !isLineEnd(c); })) {
        qDebug() << "reply discarded : " << received;
        logCommunication(CommunicationLogEntry::Kind::Discarded, received);
    }
    received.clear();
}

// The first line of what has arrived, with the line ends after it; or, once
// completeLength bytes are in, all of them. Line ends where a line would begin are
// skipped, so CR LF ends one line.
std::optional<QByteArray> CommandInterface::takeLine(int completeLength)
{
    received.remove(0, int(std::find_if_not(received.cbegin(), received.cend(), isLineEnd) - received.cbegin()));
    const auto lineEnd = std::find_if(received.cbegin(), received.cend(), isLineEnd);
    if (lineEnd == received.cend() && (completeLength <= 0 || received.size() < completeLength))
        return std::nullopt;
    const int next = int(std::find_if_not(lineEnd, received.cend(), isLineEnd) - received.cbegin());
    const QByteArray line = received.left(next);
    received.remove(0, next);
    return line;
}

static QByteArray withoutLineEnd(const QByteArray &line)
{
    return line.left(int(std::find_if(line.cbegin(), line.cend(), isLineEnd) - line.cbegin()));
}

// A line named like a query that timed out is that query's late answer, unless the
// same query is being asked again.
bool CommandInterface::isLateReply(const QByteArray &line, const QString &name) const
{
    if (lateReplyNames.isEmpty())
        return false;
    const QString lineName = ReplyConversion::namePart(ReplyConversion::text(line));
    return lineName != name && lateReplyNames.contains(lineName);
}

// The reply to a command just written: its first line that is not a late answer to
// an earlier query, with one deadline for the whole reply however many pieces it
// comes in. Text without a line end at the deadline is taken as it stands.
std::optional<QByteArray> CommandInterface::readReply(const QString &command, int completeLength)
{
    using Kind = CommunicationLogEntry::Kind;
    const QString name = ReplyConversion::namePart(command);
    const bool poll = command == QLatin1String("R");
    const QDeadlineTimer deadline(replyWaitMs, Qt::PreciseTimer);
    for (;;) {
        while (std::optional<QByteArray> taken = takeLine(completeLength)) {
            const QByteArray line = withoutLineEnd(*taken);
            if (!isLateReply(line, name)) {
                logCommunication(Kind::Reply, *taken, poll);
                return line;
            }
            qDebug() << "reply discarded : " << line;
            logCommunication(Kind::Discarded, *taken);
        }
        if (deadline.hasExpired() || !socket->waitForReadyRead(int(deadline.remainingTime())) || !readable())
            break;
        received += socket->readAll();
    }
    if (!received.isEmpty() && !isLateReply(received, name)) {
        logCommunication(Kind::Reply, received, poll);
        return std::exchange(received, QByteArray());
    }
    if (connectionLost())
        return std::nullopt;
    qDebug() << "command timeout : " << command;
    logCommunication(Kind::Timeout, command.toUtf8());
    lateReplyNames.insert(name);
    return std::nullopt;
}

// The pause after a query runs from the moment its reply was read (or its wait ran
// out), so taking the reply apart happens within the pause.
// A reply that never came, or whose value does not convert, is a fault of the
// running operation; a reply cut off by the end of the connection is where the
// operation stopped.
bool CommandInterface::query(const CommandBuilder &command, const StoreSetting &setting, const Conversion &convert)
{
    const QString text = command.text();
    if (skipping(text))
        return false;
    discardWaitingBytes();
    qDebug() << text;
    write(text);
    ++running.commandsSent;
    const std::optional<QByteArray> reply = readReply(text);
    const PacingClock::time_point pauseEnd = PacingClock::now() + std::chrono::milliseconds(commandPauseMs);
    const QString value = reply ? ReplyConversion::value(*reply) : QString();
    const bool converted = reply && convert(value);
    if (!reply && connectionLost()) {
        running.ending = OperationOutcome::Ending::ConnectionLost;
        running.stoppedAt = text;
    } else if (!converted) {
        running.faults.append({reply ? SettingFault::Kind::NotConverted : SettingFault::Kind::TimedOut, setting, text,
                               value});
    }
    pauseUntil(pauseEnd);
    return converted;
}
