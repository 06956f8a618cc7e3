// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modulemodel.h"
#include "simulatoroptions.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QRandomGenerator>
#include <QStringList>
#include <QVector>

#include <condition_variable>
#include <mutex>

class QFile;
class QTcpServer;
class QTcpSocket;
class QTimer;

struct ReceivedCommand
{
    enum class Disposition {
        Answered,  // a query or "R", reply sent
        Applied,   // a set or bare command that changed the module
        Rejected,  // well-formed name, but a value the module does not take, or a read-only field
        OtherUnit, // addressed to another unit number
        Unknown,   // not a command of this module (or an axis it does not have)
        Silenced,  // dropped by a silent pattern
        Dropped    // the command that hit the close-after limit
    };

    QString text;
    qint64 timestampNs = 0;   // since the simulator was created
    bool setting = false;     // a set command, FACTRST or LCLR: one the module takes only inside SETUP ... CLOSE
    bool insideSetup = false; // a SETUP ... CLOSE bracket was open when it arrived
    Disposition disposition = Disposition::Unknown;
};

// Plays the module on a TCP port. Clients are served one after another: a
// second client is accepted by the system but waits unanswered until the
// current one has gone. Set commands are taken whether or not a SETUP bracket
// is open; the log records which.
class ModuleSimulator : public QObject
{
    Q_OBJECT

public:
    explicit ModuleSimulator(const SimulatorOptions &options = SimulatorOptions(),
                             QObject *parent = nullptr);
    ~ModuleSimulator() override;

    // Call in the thread the simulator lives in.
    bool listen();
    void close();

    // The remaining members are safe to call from any thread.
    QString errorString() const;
    QHostAddress serverAddress() const;
    quint16 serverPort() const;
    SimulatorOptions options() const { return m_options; }

    ModuleModel model() const;
    void setModel(const ModuleModel &model);

    QVector<ReceivedCommand> commandLog() const;
    QStringList commandTexts() const;
    void clearCommandLog();
    // Blocks the calling thread, which must not be the simulator's own.
    bool waitForCommandCount(int count, int timeoutMs) const;
    int connectionCount() const;
    qint64 nsecsSinceStart() const { return m_clock.nsecsElapsed(); }

    // One received chunk cut into commands.
    static QStringList splitChunk(const QString &chunk);
    // The 8-character readout value, right-aligned; empty when it does not fit.
    static QString formatValue(double value);

signals:
    void commandReceived(const QString &command);
    void clientConnected();
    void clientDisconnected();

private:
    struct Outcome
    {
        ReceivedCommand::Disposition disposition = ReceivedCommand::Disposition::Unknown;
        QByteArray reply;
        bool setting = false;
        bool crash = false;
    };
    struct PendingWrite
    {
        QByteArray data;
        qint64 dueMs;
    };
    struct AxisGauge
    {
        double phase = 0.0;
        double walk = 0.0;
        double highest = 0.0;
        double lowest = 0.0;
        bool peaksValid = false;
    };

    void takeNextClient();
    void dropClient(bool abort);
    void readClient();
    void handleCommand(const QString &command);
    Outcome execute(const QString &command);
    QByteArray readout();
    double countedValue(int axis) const;
    double gaugeValue(int axis) const;
    void queueReply(const QString &command, const QByteArray &reply);
    void writeDueReplies();
    void writeLateReplies(qint64 now);
    void record(const ReceivedCommand &entry);

    const SimulatorOptions m_options;
    QTcpServer *m_server;
    QTimer *m_replyTimer;
    QFile *m_logFile = nullptr;
    QPointer<QTcpSocket> m_client;
    QVector<PendingWrite> m_pending;
    QVector<PendingWrite> m_lateReplies; // late replies that leave out of order
    qint64 m_lastDueMs = 0;
    int m_commandsThisConnection = 0;
    int m_delayedReplies = 0;
    bool m_insideSetup = false;

    QVector<AxisGauge> m_gauges;
    QRandomGenerator m_random;
    quint64 m_readings = 0;

    QElapsedTimer m_clock;
    // Standard primitives rather than QMutex, so the thread sanitizer sees the locking.
    mutable std::mutex m_mutex; // guards everything below
    mutable std::condition_variable m_logGrown;
    ModuleModel m_model;
    QVector<ReceivedCommand> m_log;
    int m_connections = 0;
    QHostAddress m_listenAddress;
    quint16 m_listenPort = 0;
    QString m_error;
};
