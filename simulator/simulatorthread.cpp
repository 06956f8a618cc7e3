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
        m_thread.quit();
        m_thread.wait();
    }
    delete m_simulator; // only still there when the thread never ran
}

bool SimulatorThread::start()
{
    if (!m_thread.isRunning())
        m_thread.start();
    bool listening = false;
    QMetaObject::invokeMethod(m_simulator, &ModuleSimulator::listen, Qt::BlockingQueuedConnection, &listening);
    return listening;
}
