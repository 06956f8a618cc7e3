// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "configurationfile.h"
#include "moduleprotocol.h"
#include "operationoutcome.h"

#include <QAbstractSocket>
#include <QHostAddress>
#include <QObject>
#include <QStringList>

#include <optional>

class CommandInterface;
class QThread;
class QTimer;

// One module's part of a command: a link of its own in a thread of its own, which
// reads the module with the window's parameter read and then saves, compares or
// loads. The job talks to its link only through queued calls, reads the link's
// store only after the link has answered, as the window does, and judges every
// step by the link's outcome of it, never by progress or store values.
class ModuleJob : public QObject
{
    Q_OBJECT

public:
    enum class Task { Save, Diff, Load };
    enum class Outcome { Pending, Done, Differs, Failed };
    struct Options
    {
        Task task = Task::Save;
        quint16 port = ModuleProtocol::commandPort;
        bool all = false;
        bool dryRun = false;
        bool withNetwork = false;
    };
    // A setting in which the module and the file differ, as the operator reads them.
    struct Difference
    {
        QString key;
        QString module;
        QString file;
        QString line() const { return QStringLiteral("%1: module %2, file %3").arg(key, module, file); }
    };
    // A query of the module that brought back no value.
    struct FailedSetting
    {
        QString key;
        QString command;
        QString problem;
    };

    // `file` is the checked file for diff and load; it must outlive the job.
    ModuleJob(const QHostAddress &address, const Options &options, const ConfigurationFile *file,
              QObject *parent = nullptr);
    ~ModuleJob() override;

    void start();

    QString address() const { return moduleAddress.toString(); }
    // For a communication log to attach to before start().
    const CommandInterface *commandInterface() const { return link; }
    Outcome outcome() const { return result; }
    // The result in one line ("loaded: 3 settings written and read back", "failed: ..."),
    // and for a failure its reason alone ("connection lost after 212 of 590 commands").
    QString summary() const { return resultLine; }
    QString failureReason() const { return reason; }
    // The lines before the result: differences, or what a dry run would write.
    QVector<Difference> differences() const { return differenceList; }
    QStringList details() const;
    QVector<FailedSetting> failedSettings() const { return failedList; }
    // The module took part of a write that did not end: it may now hold part of the file.
    bool partialWrite() const { return partial; }
    // What a save read, once the job is done.
    const std::optional<ConfigurationFile> &readSettings() const { return saved; }

signals:
    void progress(const QString &text);
    // The link and its thread are gone; the result is final.
    void finished();

private:
    enum class Phase { Connecting, Reading, Writing, Over };

    void onOperationEnded(const OperationOutcome &outcome);
    void onRead();
    void onWritten(const OperationOutcome &outcome);
    void onLinkError(QAbstractSocket::SocketError error);
    void onProgress(int value);
    bool failedBy(const OperationOutcome &outcome, const QString &what);
    void compare(bool written);
    void write(const QVector<SettingRef> &steps);
    // "failed: " + why + detail; `why` alone is the reason in the run's summary.
    void fail(const QString &why, const QString &detail = QString());
    void finish(Outcome outcome, const QString &line);
    Difference differenceOf(const SettingRef &setting) const;

    const QHostAddress moduleAddress;
    const Options options;
    const ConfigurationFile *const file;
    CommandInterface *link;  // no parent: deleted in its own thread when that finishes
    QThread *thread;
    QTimer *connectTimer;
    Phase phase = Phase::Connecting;
    int progressMaximum = 0;
    QVector<SettingRef> written;
    Outcome result = Outcome::Pending;
    QString resultLine;
    QString reason;
    QVector<Difference> differenceList;
    QStringList plannedLines;
    QVector<FailedSetting> failedList;
    bool partial = false;
    std::optional<ConfigurationFile> saved;
};
