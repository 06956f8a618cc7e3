// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowdriver.h"

#include "communicationlogwindow.h"
#include "eventwait.h"
#include "mainwindow.h"

#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QWindow>

WindowDriver::WindowDriver(const QString &moduleAddress)
    : m_address(moduleAddress)
{
}

WindowDriver::~WindowDriver()
{
    close();
}

bool WindowDriver::open()
{
    m_window = std::make_unique<MainWindow>();
    m_window->show();
    return EventWait::until(
            [this] { return m_window->windowHandle() && m_window->windowHandle()->isExposed(); }, 5000);
}

void WindowDriver::close()
{
    if (!m_window)
        return;
    m_window.reset();
    // Lets the finished worker thread's deferred deletions run.
    EventWait::pause(1);
}

// The connection bar shares object names with the PLC-link page: it is looked up
// among the central widget's own children.
QPushButton *WindowDriver::barButton(const char *name) const
{
    return m_window->centralWidget()->findChild<QPushButton *>(QLatin1String(name), Qt::FindDirectChildrenOnly);
}

QProgressDialog *WindowDriver::busyDialog() const
{
    return m_window->findChild<QProgressDialog *>();
}

bool WindowDriver::busyDialogGone() const
{
    return busyDialog() && !busyDialog()->isVisible();
}

bool WindowDriver::connectModule()
{
    return pressConnect() && waitUntilConnected();
}

bool WindowDriver::pressConnect()
{
    auto *address = m_window->centralWidget()->findChild<QLineEdit *>(QStringLiteral("lineEdit_ModuleIpAddr"),
                                                                      Qt::FindDirectChildrenOnly);
    QPushButton *connect = barButton("pushButton_Connect");
    if (!address || !connect)
        return false;
    address->setText(m_address);
    connect->click();
    return busyDialog() && busyDialog()->isVisible();
}

bool WindowDriver::waitUntilConnected()
{
    QPushButton *connect = barButton("pushButton_Connect");
    return EventWait::until(
            [this, connect] { return connect->text() == QLatin1String("Disconnect") && busyDialogGone(); },
            operationTimeoutMs);
}

bool WindowDriver::applyMeasureSetting()
{
    QWidget *page = m_window->findChild<QWidget *>(QStringLiteral("page_MeasureSetting"));
    auto *apply = page ? page->findChild<QPushButton *>(QStringLiteral("pushButton_ApplySetting")) : nullptr;
    if (!apply)
        return false;
    apply->click();
    if (!busyDialog() || !busyDialog()->isVisible())
        return false;
    return EventWait::until([this] { return busyDialogGone(); }, operationTimeoutMs);
}

void WindowDriver::press(const char *menuButton)
{
    if (auto *button = m_window->findChild<QPushButton *>(QLatin1String(menuButton)))
        button->click();
}

QPushButton *WindowDriver::monitorButton(const char *name) const
{
    QWidget *page = m_window->findChild<QWidget *>(QStringLiteral("page_MeasureMonitor"));
    return page ? page->findChild<QPushButton *>(QLatin1String(name)) : nullptr;
}

bool WindowDriver::startRecording(const QString &path)
{
    QPushButton *record = monitorButton("pushButton_Record");
    QPushButton *stop = monitorButton("pushButton_StopRecording");
    if (!record || !stop)
        return false;
    record->click();
    QFileDialog *dialog = m_window->findChild<QFileDialog *>();
    if (!dialog || !EventWait::until([dialog] { return dialog->isVisible(); }, 5000))
        return false;
    auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (!name)
        return false;
    name->setText(path);
    QMetaObject::invokeMethod(dialog, "accept");
    return EventWait::until([stop] { return stop->isEnabled(); }, 5000);
}

QString WindowDriver::recordingState() const
{
    QWidget *page = m_window->findChild<QWidget *>(QStringLiteral("page_MeasureMonitor"));
    QLabel *state = page ? page->findChild<QLabel *>(QStringLiteral("label_RecordingState")) : nullptr;
    return state ? state->text() : QString();
}

void WindowDriver::stopRecording()
{
    if (QPushButton *stop = monitorButton("pushButton_StopRecording"))
        stop->click();
}

bool WindowDriver::openTrend()
{
    QPushButton *trend = monitorButton("pushButton_Trend");
    if (!trend)
        return false;
    trend->click();
    QWidget *chart = m_window->findChild<QWidget *>(QStringLiteral("chartView"));
    return chart && EventWait::until([chart] { return chart->window()->windowHandle()
                                                      && chart->window()->windowHandle()->isExposed(); },
                                     5000);
}

void WindowDriver::chartAllAxes()
{
    if (auto *table = m_window->findChild<QTableWidget *>(QStringLiteral("tableWidget_Spread"))) {
        for (int row = 0; row < table->rowCount(); ++row)
            table->item(row, 0)->setCheckState(Qt::Checked);
    }
}

// The monitor's poll timer is the window's only timer of its own.
QTimer *WindowDriver::monitorTimer() const
{
    const QList<QTimer *> timers = m_window->findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    return timers.size() == 1 ? timers.first() : nullptr;
}

bool WindowDriver::openCommunicationLog()
{
    auto *action = m_window->findChild<QAction *>(QStringLiteral("actionCommunicationLog"));
    if (!action)
        return false;
    action->trigger();
    auto *log = m_window->findChild<CommunicationLogWindow *>();
    return log && EventWait::until([log] { return log->windowHandle() && log->windowHandle()->isExposed(); }, 5000);
}
