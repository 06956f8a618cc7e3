// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulatorthread.h"

SimulatorThread::SimulatorThread(const SimulatorOptions &options)
    : m_simulator(new ModuleSimulator(options))
{
    m_thread.setObjectName(QStringLiteral("module simulator"));
    m_simulator->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_simulator, &QObject::deleteLater);
}

SimulatorThread::~SimulatorThread()
{
    if (m_thread.isRunning()) {
        // Delete the simulator in its own thread and wait for that here with standard
        // primitives, so its destruction is ordered before ours for the sanitizers too.
        bool destroyed = false;
        QObject::connect(m_simulator, &QObject::destroyed, [this, &destroyed] {
            const std::lock_guard<std::mutex> lock(m_stateMutex);
            destroyed = true;
            m_stateChanged.notify_all();
        });
        m_simulator->deleteLater();
        std::unique_lock<std::mutex> lock(m_stateMutex);
        m_stateChanged.wait(lock, [&] { return destroyed; });
        lock.unlock();
        m_thread.quit();
        m_thread.wait();
    }
    delete m_simulator; // only still there when the thread never ran
}

bool SimulatorThread::start()
{
    if (m_thread.isRunning())
        return m_listening;
    // Listen as soon as the thread runs, and wait for the outcome here; standard
    // primitives keep the hand-over visible to the thread sanitizer.
    bool done = false;
    const QMetaObject::Connection started = QObject::connect(&m_thread, &QThread::started, m_simulator, [&] {
        const bool listening = m_simulator->listen();
        const std::lock_guard<std::mutex> lock(m_stateMutex);
        m_listening = listening;
        done = true;
        m_stateChanged.notify_all();
    });
    m_thread.start();
    std::unique_lock<std::mutex> lock(m_stateMutex);
    m_stateChanged.wait(lock, [&] { return done; });
    QObject::disconnect(started);
    return m_listening;
}
