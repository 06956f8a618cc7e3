// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modulesimulator.h"

#include <QPointer>
#include <QThread>

#include <condition_variable>
#include <mutex>

// Runs a ModuleSimulator in a thread of its own, so that a client can block
// in the creating thread while the simulator answers.
class SimulatorThread
{
public:
    explicit SimulatorThread(const SimulatorOptions &options = SimulatorOptions());
    ~SimulatorThread();
    SimulatorThread(const SimulatorThread &) = delete;
    SimulatorThread &operator=(const SimulatorThread &) = delete;

    // Starts the thread and listens; on failure see errorString().
    bool start();

    // Lives in the simulator thread: connect to its signals, call only its thread-safe members.
    ModuleSimulator *simulator() const { return m_simulator; }

    QString errorString() const { return m_simulator->errorString(); }
    QHostAddress serverAddress() const { return m_simulator->serverAddress(); }
    quint16 serverPort() const { return m_simulator->serverPort(); }
    ModuleModel model() const { return m_simulator->model(); }
    void setModel(const ModuleModel &model) { m_simulator->setModel(model); }
    QVector<ReceivedCommand> commandLog() const { return m_simulator->commandLog(); }
    QStringList commandTexts() const { return m_simulator->commandTexts(); }
    void clearCommandLog() { m_simulator->clearCommandLog(); }
    bool waitForCommandCount(int count, int timeoutMs) const
    {
        return m_simulator->waitForCommandCount(count, timeoutMs);
    }

private:
    QThread m_thread;
    QPointer<ModuleSimulator> m_simulator; // deleted in its own thread when that finishes
    std::mutex m_stateMutex;
    std::condition_variable m_stateChanged;
    bool m_listening = false;
};
