// Started by qr36tn-benchmark: the tool's own start-up, as app/main.cpp does it,
// then one connection. It tells on standard output when the window is shown and
// how much memory the process holds before and after connecting.

#include "eventwait.h"
#include "mainwindow.h"

#include <QApplication>
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
