// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commandframing.h"
#include "communicationlogentry.h"
#include "moduleprotocol.h"
#include "operationoutcome.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVector>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>

class QTcpSocket;

class CommandInterface;

// One consistent reading of the monitor fields, copied out under the link's lock.
struct MeasurementSnapshot
{
    double measValue[ModuleProtocol::maxAxes];
    QString modeText[ModuleProtocol::maxAxes];
    int judge[ModuleProtocol::maxAxes];
    // The reply's data format carries a comparator result; without one, every judge
    // is "within" by default and says nothing.
    bool judged = true;
};

// One operation as data: its name, the progress maximum it reports, and its steps.
// Before each reported step the link emits the next progress value (counting from
// firstProgress); a step may send several commands or none. A command's condition on
// the store (the reference use of an axis, say) is tested when the step runs.
class OperationPlan
{
public:
    using Command = std::function<void(CommandInterface &link)>;

    OperationPlan(const QString &name, int maximum, int firstProgress = 0)
        : name(name), maximum(maximum), firstProgress(firstProgress)
    {
    }
    // Reports the next progress value, then sends `command`, if any.
    OperationPlan &step(const Command &command = Command())
    {
        steps.append({true, command});
        return *this;
    }
    // Sends `command` without reporting progress.
    OperationPlan &unreported(const Command &command)
    {
        steps.append({false, command});
        return *this;
    }

    QString name;
    int maximum;
    int firstProgress;

private:
    friend class CommandInterface;
    struct Step
    {
        bool reported;
        Command command;
    };
    QVector<Step> steps;
};

// The only object that talks to the counter module. It lives in a worker thread,
// owns the socket and the parameter store, and is driven through queued signals.
// Its source is split by role: connection and slots here, framing in
// commandframing.cpp, one line per command in commandcatalogue.cpp, the "R" poll in
// measurementreadout.cpp and the long operations in operationsequences.cpp.
class CommandInterface : public QObject
{
    Q_OBJECT

public:
    explicit CommandInterface(QObject *parent = nullptr);
    ~CommandInterface() override;

    // Parameter store. The window writes these fields just before it emits a request
    // and reads them after the matching completion signal; the queued signal is the
    // hand-off. The three measurement fields are the exception: they are replaced by
    // every poll, so the window reads them through measurementSnapshot().
    int moduleId;
    int axisNum;
    bool inchEnabled;
    int resolution[ModuleProtocol::maxAxes];
    bool direction[ModuleProtocol::maxAxes];
    int measMode[ModuleProtocol::maxAxes];
    double preset[ModuleProtocol::maxAxes];
    double compHigh[ModuleProtocol::comparatorSets][ModuleProtocol::maxAxes];
    double compLow[ModuleProtocol::comparatorSets][ModuleProtocol::maxAxes];
    int compSet[ModuleProtocol::maxAxes];
    bool refUse[ModuleProtocol::maxAxes];
    int extStartInput;
    int separator;
    int dataFormat;
    int outputTrigger;
    int unit;
    int flowControl;
    double refOffset[ModuleProtocol::maxAxes];
    QString version;
    QHostAddress moduleIpAddr;
    QHostAddress subnetMask;
    QHostAddress plcIpAddr;
    int plcEtherPort;
    bool usingPlcLink;
    int linkProtocol[ModuleProtocol::linkProtocolSettings];
    int finsSA1;
    int finsDA1;
    int finsDNA;
    int cmodeUnitNo;
    int ctrlFlagAddr;
    int paramAddr[ModuleProtocol::maxAxes];
    int measDataAddr;
    double measValue[ModuleProtocol::maxAxes];
    QString modeText[ModuleProtocol::maxAxes];
    int judge[ModuleProtocol::maxAxes];

    QTcpSocket *socket;

    // Thread-safe: copies the latest reading while no poll is writing it.
    MeasurementSnapshot measurementSnapshot() const;

    // Thread-safe: queues one measurement poll unless one is already queued or
    // running, so a silent module cannot build up a backlog of polls. Returns
    // whether a poll was queued.
    bool requestMeasurePoll();
    bool measurePollPending() const { return pollPending.load(); }

    // Thread-safe: the running operation, or the next one queued when none runs,
    // stops after its current command, as at shutdown: an open "SETUP" bracket is
    // closed with "CLOSE", then nothing more is sent, and the operation still ends
    // with its completion signal. The request stays until an operation ends, so
    // make it only while one runs or is queued.
    void requestCancel() { cancelRequested = true; }
    // Thread-safe: drops a request that came too late to stop anything (the operation
    // had already ended), so that it cannot cut the next one short.
    void withdrawCancel() { cancelRequested = false; }
    // Thread-safe: how the operation that ended last ended (also sent by operationEnded).
    OperationOutcome lastOutcome() const;

    // Runs `plan` as one operation, in the link's thread: progress, the stop path and
    // an outcome like every other operation's, ended by operationEnded.
    void runOperation(const OperationPlan &plan);

    // Thread-safe: the socket's state as last reported. A failed attempt leaves it
    // unconnected, a reply time-out does not; both arrive as onErrorOccurred.
    QAbstractSocket::SocketState connectionState() const
    {
        return static_cast<QAbstractSocket::SocketState>(socketState.load());
    }

    // The command catalogue: one member per command form. Each is one paced
    // transaction; the values always come from (and replies go to) the store.
    void writeResolution(int axis);
    void queryResolution(int axis);
    void writeDirection(int axis);
    void queryDirection(int axis);
    void writeMeasMode(int axis);
    void queryMeasMode(int axis);
    void writePreset(int axis);
    void queryPreset(int axis);
    void writeCompHigh(int axis, int set);
    void queryCompHigh(int axis, int set);
    void writeCompLow(int axis, int set);
    void queryCompLow(int axis, int set);
    void writeCompSet(int axis);
    void queryCompSet(int axis);
    void writeRefUse(int axis);
    void queryRefUse(int axis);
    void queryRefOffset(int axis);
    void clearRefPoint(int axis);

    void writeExtStartInput();
    void queryExtStartInput();
    void writeSeparator();
    void querySeparator();
    void writeDataFormat();
    void queryDataFormat();
    void writeOutputTrigger();
    void queryOutputTrigger();
    void writeUnit();
    void queryUnit();
    void writeFlowControl();
    void queryFlowControl();
    void queryVersion();

    void queryConfig();
    void writeModuleIpAddr();
    void queryModuleIpAddr();
    void writeSubnetMask();
    void querySubnetMask();
    void writePlcEtherPort();
    void queryPlcEtherPort();
    void writeUsingPlcLink();
    void queryUsingPlcLink();
    void writeLinkProtocol(int setting);
    void queryLinkProtocol(int setting);
    void writeFinsSA1();
    void queryFinsSA1();
    void writeFinsDA1();
    void queryFinsDA1();
    void writeFinsDNA();
    void queryFinsDNA();
    void writeCmodeUnitNo();
    void queryCmodeUnitNo();
    void writePlcIpAddr();
    void queryPlcIpAddr();
    void writeCtrlFlagAddr();
    void queryCtrlFlagAddr();
    void writeParamAddr(int axis);
    void queryParamAddr(int axis);
    void writeMeasDataAddr();
    void queryMeasDataAddr();

    void openSettingBracket();   // SETUP
    void closeSettingBracket();  // CLOSE
    void resetToFactorySettings(); // FACTRST
    void restartModule();        // CRASH

signals:
    void transmitConnected();
    void transmitDisconnected();
    void onErrorOccurred(QAbstractSocket::SocketError socketError);
    void onCompleteMeasureSetting();
    void onCompleteRefPointSetting(int id);
    void onCompleteRefPointClear(int id);
    void onCompletePLCLinkSetting();
    void onCompleteUpdateMeasure();
    void setProgress(int progress);
    void setProgMaximum(int maximum);
    // Every command, reply, time-out and discarded late reply, in order, stamped when
    // it happened and emitted in the pause that follows its command (or at the end
    // of a poll). Connect it queued: a receiver must never hold up the link.
    void communicationLogged(const CommunicationLogEntry &entry);
    // After every operation's own signals (its completion signal, where it has one):
    // how it ended.
    void operationEnded(const OperationOutcome &outcome);

public slots:
    void connectToHost(uint address, int port);
    void disconnectFromHost();
    void getParameter();
    void onDisconnected();
    void sendMeasureSetting();
    void sendRefPointSetting(int id);
    void sendRefPointClear(int id);
    void sendPLCLinkSetting();
    void sendUpdateMeasure();
    void sendFactoryReset();
    void sendCrash();

private:
    static constexpr int replyWaitMs = ModuleProtocol::replyWaitMs;
    static constexpr int commandPauseMs = ModuleProtocol::commandPauseMs;
    static constexpr int setupPauseMs = 1000; // the module needs a second to open its setting mode

    // Framing (commandframing.cpp).
    CommandBuilder unitCommand(const char *templ) const;
    CommandBuilder axisCommand(const char *templ, int axis) const;
    using PacingClock = std::chrono::steady_clock;
    bool send(const CommandBuilder &command, int pauseMs = commandPauseMs);
    void put(const QString &command, int pauseMs);
    // One query and its pause. The conversion takes the reply's value part into the
    // store and says whether it converted; a time-out converts nothing.
    using Conversion = std::function<bool(const QString &value)>;
    bool query(const CommandBuilder &command, const StoreSetting &setting, const Conversion &convert);
    template <typename Field>
    bool query(const CommandBuilder &command, const StoreSetting &setting,
               bool (*convert)(const QString &value, Field &field), Field &field)
    {
        return query(command, setting, [convert, &field](const QString &value) { return convert(value, field); });
    }
    std::optional<QByteArray> readReply(const QString &command, int completeLength = 0);
    std::optional<QByteArray> takeLine(int completeLength);
    bool isLateReply(const QByteArray &line, const QString &name) const;
    void noticeArrivals();
    void discardWaitingBytes();
    void write(const QString &command);
    void pauseUntil(PacingClock::time_point end);
    bool stopRequested() const;
    bool shutdownRequested() const;
    bool stopping();
    bool skipping(const QString &command);
    bool connectionLost() const;
    bool readable() const;
    void beginOperation(const QString &name);
    void perform(const OperationPlan &plan);
    void endOperation();
    void run(const OperationPlan &plan, const std::function<void()> &complete);

    // The plans of the long operations (operationsequences.cpp).
    OperationPlan parameterReadPlan() const;
    OperationPlan measureSettingPlan() const;
    OperationPlan refPointSettingPlan(int axis) const;
    OperationPlan refPointClearPlan(int axis) const;
    OperationPlan plcLinkSettingPlan() const;
    void logCommunication(CommunicationLogEntry::Kind kind, const QByteArray &bytes, bool poll = false);
    void logEvent(CommunicationLogEntry::Kind kind, const QString &text);
    QString peerText() const;
    void handOverLog();

    int perAxisCount() const;

    // A standard mutex rather than QMutex, so the thread sanitizer sees the locking.
    mutable std::mutex measurementMutex;
    std::atomic<bool> pollPending{false};
    std::atomic<bool> cancelRequested{false};
    bool settingBracketOpen = false; // "SETUP" sent, "CLOSE" not yet
    bool commandsStopped = false;    // the running operation was stopped by a request
    OperationOutcome running;        // of the operation under way, or the last one
    mutable std::mutex outcomeMutex;
    OperationOutcome ended;          // of the last operation that ended, under outcomeMutex
    QByteArray received;             // read from the socket, not yet taken as a reply
    QSet<QString> lateReplyNames;    // name parts of the queries that timed out on this connection
    bool lookingForBytes = false;    // a wait of no time, whose time-out is no error
    int moduleDataFormat;            // the format the module uses, as last read or written
    bool readingJudged = true;       // of the last reading, under measurementMutex
    std::optional<PacingClock::time_point> lastCommandTime; // for the communication log
    QVector<CommunicationLogEntry> logBacklog;             // not yet handed over
    std::atomic<int> socketState{QAbstractSocket::UnconnectedState};
    QHostAddress dialled;
    quint16 dialledPort = 0;
    bool attemptUnderWay = false;    // dialled, neither connected nor failed yet
    bool closingByTool = false;      // the tool, not the module, ends this connection
};
