// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "configurationfile.h"

#include <QAbstractSocket>
#include <QHostAddress>
#include <QObject>
#include <QStringList>

#include <optional>

class CommandInterface;
class QThread;
class QTimer;

// One module's part of a command: a link of its own in a thread of its own,
// which reads the module with the window's parameter read and then saves,
// compares or loads. The job talks to its link only through queued calls and
// reads the link's store only after the link has answered, as the window does.
class ModuleJob : public QObject
{
    Q_OBJECT

public:
    enum class Task { Save, Diff, Load };
    enum class Outcome { Pending, Done, Differs, Failed };
    struct Options
    {
        Task task = Task::Save;
        quint16 port = 24000;
        bool all = false;
        bool dryRun = false;
        bool withNetwork = false;
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
    // The result in one line, and the lines before it (the differences).
    QString summary() const { return resultLine; }
    QStringList details() const { return detailLines; }
    // What a save read, once the job is done.
    const std::optional<ConfigurationFile> &readSettings() const { return saved; }

signals:
    void progress(const QString &text);
    // The link and its thread are gone; the result is final.
    void finished();

private:
    enum class Phase { Connecting, Reading, Writing, Over };

    void onRead();
    void onWritten();
    void onLinkError(QAbstractSocket::SocketError error);
    void enterReading();
    void onProgress(int value);
    void writeChanges(const QVector<SettingRef> &steps);
    void finish(Outcome outcome, const QString &line);
    QString differenceLine(const SettingRef &setting) const;

    const QHostAddress moduleAddress;
    const Options options;
    const ConfigurationFile *const file;
    CommandInterface *link;  // no parent: deleted in its own thread when that finishes
    QThread *thread;
    QTimer *connectTimer;
    Phase phase = Phase::Connecting;
    int progressMaximum = 0;
    int unanswered = 0;
    QVector<SettingRef> written;
    Outcome result = Outcome::Pending;
    QString resultLine;
    QStringList detailLines;
    std::optional<ConfigurationFile> saved;
};
