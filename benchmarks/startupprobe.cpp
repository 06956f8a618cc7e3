// SPDX-License-Identifier: GPL-3.0-or-later
// Started by qr36tn-benchmark: the tool's own start-up, as app/main.cpp does it,
// then one connection. It tells on standard output when the window is shown and
// how much memory the process holds before and after connecting. With "--log N"
// instead of an address it opens the communication log and gives it N entries of
// 16-axis polling, telling the memory held after every 20,000.

#include "communicationlogwindow.h"
#include "eventwait.h"
#include "mainwindow.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QWindow>

#include <cstdio>

namespace {
long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpression line(QStringLiteral("^VmRSS:\\s*(\\d+) kB"), QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLong() : -1;
}

// A poll or its reply, as the link logs them: a 16-axis reading is 16 fields of 13
// characters with a separator between them, and the line end: 225 bytes.
CommunicationLogEntry pollEntry(int index)
{
    static const QByteArray reading = QByteArray("01N G+012.3456").repeated(16).left(16 * 14 - 1) + "\r\n";
    CommunicationLogEntry entry;
    entry.time = QDateTime::currentMSecsSinceEpoch();
    entry.poll = true;
    if (index % 2 == 0) {
        entry.bytes = QByteArray("R", 1);
    } else {
        entry.kind = CommunicationLogEntry::Kind::Reply;
        entry.sinceCommandUs = 420;
        entry.bytes = QByteArray(reading.constData(), reading.size()); // one buffer each, as from the link
    }
    return entry;
}

int feedLog(MainWindow &window, int entries)
{
    window.findChild<QAction *>(QStringLiteral("actionCommunicationLog"))->trigger();
    auto *log = window.findChild<CommunicationLogWindow *>();
    if (!EventWait::until([log] { return log->windowHandle() && log->windowHandle()->isExposed(); }, 10000))
        return 1;
    EventWait::pause(100);
    std::printf("resident-log 0 %ld\n", residentKiB());
    const QAbstractItemModel *rows = log->findChild<QAbstractItemView *>()->model();
    // The window shows what came in each tenth of a second; a batch is shown before the next comes.
    constexpr int batch = 2000;
    for (int index = 0; index < entries; ++index) {
        log->append(pollEntry(index));
        if ((index + 1) % batch != 0)
            continue;
        const int shown = qMin(index + 1, CommunicationLogWindow::capacity);
        if (!EventWait::until([rows, shown] { return rows->rowCount() == shown; }, 10000))
            return 1;
        if ((index + 1) % 20000 == 0)
            std::printf("resident-log %d %ld\n", index + 1, residentKiB());
    }
    std::printf("log-rows %d\n", rows->rowCount());
    return 0;
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    MainWindow window;
    window.show();
    if (!EventWait::until([&window] { return window.windowHandle() && window.windowHandle()->isExposed(); }, 10000))
        return 1;
    std::printf("shown\nresident-shown %ld\n", residentKiB());
    std::fflush(stdout);

    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2)
        return 0;
    if (arguments.at(1) == QLatin1String("--log"))
        return feedLog(window, arguments.value(2).toInt());
    QWidget *bar = window.centralWidget();
    auto *address = bar->findChild<QLineEdit *>(QStringLiteral("lineEdit_ModuleIpAddr"), Qt::FindDirectChildrenOnly);
    auto *connect = bar->findChild<QPushButton *>(QStringLiteral("pushButton_Connect"), Qt::FindDirectChildrenOnly);
    if (!address || !connect)
        return 1;
    address->setText(arguments.at(1));
    connect->click();
    const bool connected = EventWait::until(
            [&] {
                const auto *busy = window.findChild<QProgressDialog *>();
                return connect->text() == QLatin1String("Disconnect") && busy && !busy->isVisible();
            },
            60000);
    if (!connected)
        return 1;
    std::printf("resident-connected %ld\n", residentKiB());
    std::fflush(stdout);
    return 0;
}
