// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "moduleprotocol.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVector>

class ScanAttempt;

// An address that answered the configuration query as a module does.
struct FoundModule
{
    QHostAddress address;
    int unitNumber = -1;
    int axisCount = -1;
    QString version; // null when the version query went unanswered
};

// An address that took the connection but did not answer as a module.
struct OpenPort
{
    QHostAddress address;
    QString reason; // "no reply to CONFIG=? within 1 s"
};

// How a scan ended. Every address tried is counted in exactly one of modules,
// openPorts, refused, unanswered and untried.
struct ScanResult
{
    QVector<FoundModule> modules; // ascending by address
    QVector<OpenPort> openPorts;  // ascending by address
    int addresses = 0;            // to try
    int tried = 0;
    int refused = 0;              // nothing listens on the port
    int unanswered = 0;           // no answer to the connection attempt, or no route
    int untried = 0;              // this computer would not open the connection
    QString untriedReason;        // of the first one
    qint64 elapsedMs = 0;
    bool cancelled = false;

    // "3 modules found in 254 addresses (1.2 s)"
    QString summary() const;
};

Q_DECLARE_METATYPE(FoundModule)
Q_DECLARE_METATYPE(OpenPort)
Q_DECLARE_METATYPE(ScanResult)

// Finds the modules among addresses: it dials each on the command port, at most
// `mostAttempts` at once, and asks an address that takes the connection "CONFIG=?"
// and, when that reply is a module's, the unit's version query ("1VER=?"), each
// followed by the link's pause; then it closes. It sends nothing else. Event-driven,
// so it may live in any thread with an event loop; one object scans once.
class ModuleScanner : public QObject
{
    Q_OBJECT

public:
    static constexpr int mostAttempts = 64;
    struct Options
    {
        quint16 port = ModuleProtocol::commandPort;
        int connectTimeoutMs = 300;
    };

    ModuleScanner(const QVector<QHostAddress> &addresses, const Options &options, QObject *parent = nullptr);
    ~ModuleScanner() override;

    // Call in the scanner's thread (queued from another). cancel() closes every
    // connection at once and ends the scan with what it found so far.
    void start();
    void cancel();

signals:
    void moduleFound(const FoundModule &module);
    void portOpen(const OpenPort &port);
    void progressed(int tried, int addresses);
    void finished(const ScanResult &result);

private:
    void launchMore();
    void onAttemptEnded(ScanAttempt *attempt);
    void finish();

    const QVector<QHostAddress> targets;
    const Options options;
    int next = 0;
    QVector<ScanAttempt *> running; // children of the scanner
    bool launching = false;
    bool over = false;
    QElapsedTimer clock;
    ScanResult result;
};
