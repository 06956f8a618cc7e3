// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandinterface.h"

#include <QDebug>
#include <QMetaType>
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QNetworkSession>
#endif
#include <QTcpSocket>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

CommandInterface::CommandInterface(QObject *parent)
    : QObject(parent)
    , moduleId(-1)
    , axisNum(-1)
    , inchEnabled(false)
    , resolution{}
    , direction{}
    , measMode{}
    , preset{}
    , compHigh{}
    , compLow{}
    , compSet{}
    , refUse{}
    , extStartInput(0)
    , separator(0)
    , dataFormat(2)
    , outputTrigger(0)
    , unit(0)
    , flowControl(0)
    , refOffset{}
    , moduleIpAddr(QStringLiteral("192.168.0.100"))
    , subnetMask(QStringLiteral("255.255.255.0"))
    , plcIpAddr(QStringLiteral("192.168.0.10"))
    , plcEtherPort(60000)
    , usingPlcLink(false)
    , linkProtocol{}
    , finsSA1(0)
    , finsDA1(0)
    , finsDNA(0)
    , cmodeUnitNo(0)
    , ctrlFlagAddr(0)
    , paramAddr{}
    , measDataAddr(0)
    , measValue{}
    , judge{}
    , socket(new QTcpSocket(this))
    , moduleDataFormat(dataFormat)
{
    std::fill(std::begin(resolution), std::end(resolution), 1);
    std::fill(std::begin(compSet), std::end(compSet), 1);
    std::fill(std::begin(refOffset), std::end(refOffset), std::nan(""));

    qRegisterMetaType<QAbstractSocket::SocketError>("QAbstractSocket::SocketError");
    qRegisterMetaType<CommunicationLogEntry>();
    qRegisterMetaType<OperationOutcome>();
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Qt 5 registers this type when a socket first connects; two links that connect
    // at once in threads of their own would both register it, and one complains.
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    qMetaTypeId<QSharedPointer<QNetworkSession>>();
    QT_WARNING_POP
#endif

    connect(socket, &QTcpSocket::connected, this, [this] {
        attemptUnderWay = false;
        logEvent(CommunicationLogEntry::Kind::Connected, peerText());
    });
    connect(socket, &QTcpSocket::connected, this, &CommandInterface::getParameter,
            Qt::QueuedConnection);
    connect(socket, &QTcpSocket::disconnected, this, &CommandInterface::onDisconnected,
            Qt::QueuedConnection);
    connect(socket, &QTcpSocket::stateChanged, this,
            [this](QAbstractSocket::SocketState state) { socketState = state; });
    // Looking for bytes that already wait is a wait of no time; its time-out is no error.
    const auto forwardError = [this](QAbstractSocket::SocketError error) {
        if (lookingForBytes && error == QAbstractSocket::SocketTimeoutError)
            return;
        if (std::exchange(attemptUnderWay, false)) {
            logEvent(CommunicationLogEntry::Kind::ConnectFailed,
                     ModuleProtocol::connectionFailureText(error, dialled.toString(), dialledPort) + QStringLiteral(" (")
                             + socket->errorString() + QLatin1Char(')'));
        }
        emit onErrorOccurred(error);
    };
#if QT_VERSION >= QT_VERSION_CHECK(5, 15, 0)
    connect(socket, &QTcpSocket::errorOccurred, this, forwardError);
#else
    connect(socket, QOverload<QAbstractSocket::SocketError>::of(&QAbstractSocket::error), this, forwardError);
#endif
}

CommandInterface::~CommandInterface() = default;

void CommandInterface::connectToHost(uint address, int port)
{
    qDebug() << "commandIf" << QThread::currentThreadId();
    // Nothing late from an earlier connection can arrive on a new one.
    received.clear();
    lateReplyNames.clear();
    cancelRequested = false; // a cancel of an abandoned attempt is not one of this connection
    dialled = QHostAddress(static_cast<quint32>(address));
    dialledPort = static_cast<quint16>(port);
    closingByTool = false;
    attemptUnderWay = true;
    logEvent(CommunicationLogEntry::Kind::Dialling, peerText());
    socket->connectToHost(dialled, dialledPort, QIODevice::ReadWrite);
}

void CommandInterface::disconnectFromHost()
{
    if (socket->state() == QAbstractSocket::ConnectedState || socket->state() == QAbstractSocket::ClosingState) {
        // Told now: the thread may end before the socket reports the end.
        if (!std::exchange(closingByTool, true))
            logEvent(CommunicationLogEntry::Kind::ClosedByTool, peerText());
        socket->disconnectFromHost();
        return;
    }
    closingByTool = true;
    // An attempt still under way is given up at once (a plain disconnect would let
    // it finish connecting first), and is reported like any other end.
    if (std::exchange(attemptUnderWay, false))
        logEvent(CommunicationLogEntry::Kind::ClosedByTool, peerText() + QStringLiteral(", before it was connected"));
    socket->abort();
    emit transmitDisconnected();
}

void CommandInterface::onDisconnected()
{
    if (!closingByTool)
        logEvent(CommunicationLogEntry::Kind::ClosedByModule, peerText());
    emit transmitDisconnected();
}

QString CommandInterface::peerText() const
{
    return QStringLiteral("%1 port %2").arg(dialled.toString()).arg(dialledPort);
}

// Events happen between commands, so they are handed over at once.
void CommandInterface::logEvent(CommunicationLogEntry::Kind kind, const QString &text)
{
    logCommunication(kind, text.toUtf8());
    handOverLog();
}

MeasurementSnapshot CommandInterface::measurementSnapshot() const
{
    MeasurementSnapshot snapshot;
    const std::lock_guard<std::mutex> lock(measurementMutex);
    std::copy(std::begin(measValue), std::end(measValue), std::begin(snapshot.measValue));
    std::copy(std::begin(modeText), std::end(modeText), std::begin(snapshot.modeText));
    std::copy(std::begin(judge), std::end(judge), std::begin(snapshot.judge));
    snapshot.judged = readingJudged;
    return snapshot;
}

bool CommandInterface::requestMeasurePoll()
{
    bool idle = false;
    if (!pollPending.compare_exchange_strong(idle, true))
        return false;
    QMetaObject::invokeMethod(this, &CommandInterface::sendUpdateMeasure, Qt::QueuedConnection);
    return true;
}

int CommandInterface::perAxisCount() const
{
    return std::clamp(axisNum, 0, ModuleProtocol::maxAxes);
}
