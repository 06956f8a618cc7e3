// SPDX-License-Identifier: GPL-3.0-or-later
#include "modulescanner.h"

#include "commandframing.h"
#include "communicationlogentry.h"

#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <optional>

namespace {

// A reply longer than this is no module's, and the operator needs only its start.
constexpr int shownReplyBytes = 40;

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// The first line of what has arrived, once its line end is in.
std::optional<QByteArray> firstLine(const QByteArray &received)
{
    const auto begin = std::find_if_not(received.cbegin(), received.cend(), isLineEnd);
    const auto end = std::find_if(begin, received.cend(), isLineEnd);
    if (end == received.cend())
        return std::nullopt;
    return QByteArray(begin, int(end - begin));
}

// Text without a line end, as it stands when the wait is over: the link takes it so too.
std::optional<QByteArray> asItStands(const QByteArray &received)
{
    if (std::all_of(received.cbegin(), received.cend(), isLineEnd))
        return std::nullopt;
    return firstLine(received + '\n');
}

} // namespace

QString ScanResult::summary() const
{
    const auto count = [](int number, const char *one, const char *many) {
        return QStringLiteral("%1 %2").arg(number).arg(QLatin1String(number == 1 ? one : many));
    };
    return QStringLiteral("%1 found in %2 (%3 s)")
            .arg(count(modules.size(), "module", "modules"), count(addresses, "address", "addresses"),
                 QString::number(double(elapsedMs) / 1000.0, 'f', 1));
}

// One address: dial, ask, listen, close. Every step is a socket signal or the
// one timer's time-out, so an attempt never blocks its thread.
class ScanAttempt : public QObject
{
public:
    enum class Ending { Pending, Module, PortOpen, Refused, Unanswered, Untried };

    ScanAttempt(const QHostAddress &address, const ModuleScanner::Options &options,
                std::function<void(ScanAttempt *)> onEnded, QObject *parent);
    void start();

    Ending ending = Ending::Pending;
    FoundModule module; // its address is the attempt's
    QString reason;     // why an open port is no module, or why the attempt was not made

private:
    enum class Stage { Connecting, AwaitingConfig, AwaitingVersion, Pausing };

    void onConnected();
    void onReadyRead();
    void onError(QAbstractSocket::SocketError error);
    void onTimeout();
    void ask(const QString &command, Stage awaiting);
    void onReply(const std::optional<QByteArray> &reply);
    void pauseThen(const std::function<void()> &step);
    void end(Ending how);

    const ModuleScanner::Options options;
    const std::function<void(ScanAttempt *)> ended;
    QTcpSocket *const socket;
    QTimer *const timer;
    Stage stage = Stage::Connecting;
    QByteArray received;
    bool peerGone = false;
    std::function<void()> afterPause;
};

ScanAttempt::ScanAttempt(const QHostAddress &address, const ModuleScanner::Options &chosen,
                         std::function<void(ScanAttempt *)> onEnded, QObject *parent)
    : QObject(parent)
    , options(chosen)
    , ended(std::move(onEnded))
    , socket(new QTcpSocket(this))
    , timer(new QTimer(this))
{
    module.address = address;
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, &ScanAttempt::onTimeout);
    connect(socket, &QTcpSocket::connected, this, &ScanAttempt::onConnected);
    connect(socket, &QTcpSocket::readyRead, this, &ScanAttempt::onReadyRead);
#if QT_VERSION >= QT_VERSION_CHECK(5, 15, 0)
    connect(socket, &QTcpSocket::errorOccurred, this, &ScanAttempt::onError);
#else
    connect(socket, QOverload<QAbstractSocket::SocketError>::of(&QAbstractSocket::error), this, &ScanAttempt::onError);
#endif
}

void ScanAttempt::start()
{
    timer->start(options.connectTimeoutMs);
    socket->connectToHost(module.address, options.port);
}

void ScanAttempt::onConnected()
{
    if (ending != Ending::Pending)
        return;
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    ask(QStringLiteral("CONFIG=?"), Stage::AwaitingConfig);
}

void ScanAttempt::ask(const QString &command, Stage awaiting)
{
    stage = awaiting;
    received.clear();
    socket->write(command.toUtf8());
    timer->start(ModuleProtocol::replyWaitMs);
}

void ScanAttempt::onReadyRead()
{
    const QByteArray bytes = socket->readAll();
    if (ending != Ending::Pending || (stage != Stage::AwaitingConfig && stage != Stage::AwaitingVersion))
        return;
    received += bytes;
    if (const std::optional<QByteArray> line = firstLine(received))
        onReply(line);
}

void ScanAttempt::onError(QAbstractSocket::SocketError error)
{
    if (ending != Ending::Pending)
        return;
    if (stage == Stage::Connecting) {
        switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
            end(Ending::Refused);
            return;
        case QAbstractSocket::SocketAccessError:
        case QAbstractSocket::SocketResourceError:
        case QAbstractSocket::UnsupportedSocketOperationError:
            reason = ModuleProtocol::connectionFailureText(error, module.address.toString(), options.port)
                    + QStringLiteral(" (") + socket->errorString() + QLatin1Char(')');
            end(Ending::Untried);
            return;
        default:
            end(Ending::Unanswered);
            return;
        }
    }
    // The module's close also ends a reply that is still coming.
    peerGone = true;
    if (stage == Stage::AwaitingConfig || stage == Stage::AwaitingVersion)
        onReply(asItStands(received));
}

void ScanAttempt::onTimeout()
{
    if (ending != Ending::Pending)
        return;
    switch (stage) {
    case Stage::Connecting:
        end(Ending::Unanswered);
        break;
    case Stage::AwaitingConfig:
    case Stage::AwaitingVersion:
        onReply(asItStands(received));
        break;
    case Stage::Pausing:
        afterPause();
        break;
    }
}

// The reply as the link takes it apart: the configuration must convert to a unit
// number and an axis count, and the version is taken as it stands.
void ScanAttempt::onReply(const std::optional<QByteArray> &reply)
{
    timer->stop();
    const QString value = reply ? ReplyConversion::value(*reply) : QString();
    if (stage == Stage::AwaitingVersion) {
        ReplyConversion::toText(value, module.version);
        pauseThen([this] { end(Ending::Module); });
        return;
    }
    int unit = -1;
    int axes = -1;
    if (reply && ReplyConversion::toConfig(value, unit, axes) && axes <= ModuleProtocol::maxAxes) {
        module.unitNumber = unit;
        module.axisCount = axes;
        pauseThen([this] {
            if (peerGone)
                end(Ending::Module);
            else
                ask(CommandBuilder("%1VER=?").hex(module.unitNumber).text(), Stage::AwaitingVersion);
        });
        return;
    }
    if (reply)
        reason = QStringLiteral("the reply %1 to CONFIG=? is no unit number with 1 to %2 axes")
                         .arg(CommunicationLogEntry::visible(reply->left(shownReplyBytes)),
                              QString::number(ModuleProtocol::maxAxes));
    else if (peerGone)
        reason = QStringLiteral("closed the connection without a reply to CONFIG=?");
    else
        reason = QStringLiteral("no reply to CONFIG=? within %1 s").arg(ModuleProtocol::replyWaitMs / 1000.0);
    pauseThen([this] { end(Ending::PortOpen); });
}

// Every query is followed by the link's pause, also the last before the close.
void ScanAttempt::pauseThen(const std::function<void()> &step)
{
    if (peerGone) {
        step();
        return;
    }
    stage = Stage::Pausing;
    afterPause = step;
    timer->start(ModuleProtocol::commandPauseMs);
}

void ScanAttempt::end(Ending how)
{
    ending = how;
    timer->stop();
    if (socket->state() == QAbstractSocket::ConnectedState)
        socket->disconnectFromHost();
    else
        socket->abort();
    ended(this);
}

ModuleScanner::ModuleScanner(const QVector<QHostAddress> &addresses, const Options &chosen, QObject *parent)
    : QObject(parent)
    , targets(addresses)
    , options(chosen)
{
    qRegisterMetaType<FoundModule>();
    qRegisterMetaType<OpenPort>();
    qRegisterMetaType<ScanResult>();
    result.addresses = targets.size();
}

ModuleScanner::~ModuleScanner() = default;

void ModuleScanner::start()
{
    clock.start();
    launchMore();
}

void ModuleScanner::cancel()
{
    if (over)
        return;
    result.cancelled = true;
    next = targets.size();
    // Deleting an attempt aborts its connection; nothing more is sent.
    for (ScanAttempt *attempt : std::as_const(running))
        delete attempt;
    running.clear();
    finish();
}

// An attempt may end inside start() itself when the system refuses the connection
// at once; the loop below then simply goes on.
void ModuleScanner::launchMore()
{
    if (launching || over)
        return;
    launching = true;
    while (running.size() < mostAttempts && next < targets.size()) {
        auto *attempt = new ScanAttempt(targets.at(next++), options,
                                        [this](ScanAttempt *ended) { onAttemptEnded(ended); }, this);
        running.append(attempt);
        attempt->start();
    }
    launching = false;
    if (running.isEmpty() && next >= targets.size())
        finish();
}

void ModuleScanner::onAttemptEnded(ScanAttempt *attempt)
{
    running.removeOne(attempt);
    attempt->deleteLater();
    ++result.tried;
    switch (attempt->ending) {
    case ScanAttempt::Ending::Module:
        result.modules.append(attempt->module);
        emit moduleFound(attempt->module);
        break;
    case ScanAttempt::Ending::PortOpen:
        result.openPorts.append({attempt->module.address, attempt->reason});
        emit portOpen(result.openPorts.last());
        break;
    case ScanAttempt::Ending::Refused:
        ++result.refused;
        break;
    case ScanAttempt::Ending::Unanswered:
        ++result.unanswered;
        break;
    case ScanAttempt::Ending::Untried:
    case ScanAttempt::Ending::Pending:
        if (result.untried++ == 0)
            result.untriedReason = attempt->reason;
        break;
    }
    emit progressed(result.tried, result.addresses);
    launchMore();
}

void ModuleScanner::finish()
{
    over = true;
    result.elapsedMs = clock.isValid() ? clock.elapsed() : 0;
    const auto byAddress = [](const auto &a, const auto &b) {
        return a.address.toIPv4Address() < b.address.toIPv4Address();
    };
    std::sort(result.modules.begin(), result.modules.end(), byAddress);
    std::sort(result.openPorts.begin(), result.openPorts.end(), byAddress);
    emit finished(result);
}
