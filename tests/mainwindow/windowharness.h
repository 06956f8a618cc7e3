#pragma once

#include "mainwindow.h"
#include "simulatorthread.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTimer>
#include <QtTest>

#include <memory>

// One main window driven as an operator would drive it, and, when a test needs a
// module, one simulator on port 24000 of a loopback address that only the calling
// test executable uses (the window always dials port 24000).
class WindowHarness
{
public:
    static constexpr int waitMs = 30000;

    explicit WindowHarness(const QString &loopbackAddress)
        : address(loopbackAddress)
    {
        // The link logs every command it sends; a test reads the simulator's log instead.
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    }
    WindowHarness(const WindowHarness &) = delete;
    WindowHarness &operator=(const WindowHarness &) = delete;
    ~WindowHarness() { deleteWindow(); }

    QString moduleAddress() const { return address; }

    bool startSimulator(SimulatorOptions options = SimulatorOptions())
    {
        options.address = QHostAddress(address);
        options.port = 24000;
        if (!options.seed)
            options.seed = 7;
        sim = std::make_unique<SimulatorThread>(options);
        if (sim->start())
            return true;
        qWarning("simulator on %s: %s", qPrintable(address), qPrintable(sim->errorString()));
        return false;
    }
    void stopSimulator() { sim.reset(); }
    SimulatorThread &simulator() const { return *sim; }

    MainWindow *openWindow()
    {
        win = std::make_unique<MainWindow>();
        win->show();
        if (!QTest::qWaitForWindowExposed(win.get()))
            qWarning("main window not exposed");
        return win.get();
    }
    MainWindow *window() const { return win.get(); }
    void deleteWindow()
    {
        win.reset();
        // Lets the finished worker thread's deferred deletions run.
        QTest::qWait(1);
    }

    // The connection bar shares object names with the PLC-link page, so it is looked
    // up among the central widget's own children.
    template<typename Widget>
    Widget *bar(const char *name) const
    {
        return win->centralWidget()->findChild<Widget *>(QLatin1String(name), Qt::FindDirectChildrenOnly);
    }
    QPushButton *connectButton() const { return bar<QPushButton>("pushButton_Connect"); }
    QLineEdit *addressEdit() const { return bar<QLineEdit>("lineEdit_ModuleIpAddr"); }
    QLineEdit *moduleIdEdit() const { return bar<QLineEdit>("lineEdit_ModuleId"); }
    QLineEdit *axisNumEdit() const { return bar<QLineEdit>("lineEdit_AxisNum"); }
    QWidget *menu() const { return bar<QWidget>("widget_menu"); }

    QStackedWidget *pages() const { return win->findChild<QStackedWidget *>(QStringLiteral("stackedWidget")); }
    QWidget *page(const char *name) const { return win->findChild<QWidget *>(QLatin1String(name)); }
    QWidget *currentPage() const { return pages()->currentWidget(); }
    // Several pages use the same object names; a widget is looked up under its page.
    template<typename Widget>
    Widget *onPage(const char *pageName, const QString &name) const
    {
        return page(pageName)->findChild<Widget *>(name);
    }
    QPushButton *menuButton(const char *name) const { return win->findChild<QPushButton *>(QLatin1String(name)); }
    QProgressDialog *busyDialog() const { return win->findChild<QProgressDialog *>(); }
    // The monitor's poll timer is the window's only timer of its own.
    QTimer *monitorTimer() const
    {
        const QList<QTimer *> timers = win->findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
        return timers.size() == 1 ? timers.first() : nullptr;
    }

    static void click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    static void toggle(QAbstractButton *box) { QTest::keyClick(box, Qt::Key_Space); }
    static void type(QLineEdit *edit, const QString &text)
    {
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
    // By keyboard, as the closed list box takes it: Home, then Down to the entry.
    static void choose(QComboBox *box, int index)
    {
        QTest::keyClick(box, Qt::Key_Home);
        for (int i = 0; i < index; ++i)
            QTest::keyClick(box, Qt::Key_Down);
    }
    void openPage(const char *menuButtonName) { click(menuButton(menuButtonName)); }

    // Types the harness's address, presses "Connect" and waits until the window
    // shows the module with the busy dialog gone.
    bool connectModule()
    {
        type(addressEdit(), address);
        click(connectButton());
        return waitUntilConnected();
    }
    bool waitUntilConnected() const
    {
        return QTest::qWaitFor(
            [this]() {
                return connectButton()->text() == QLatin1String("Disconnect") && busyDialog()
                        && !busyDialog()->isVisible();
            },
            waitMs);
    }
    bool waitUntilIdle() const
    {
        return QTest::qWaitFor([this]() { return busyDialog() && !busyDialog()->isVisible(); }, waitMs);
    }
    // Presses a button that starts a device operation and waits for its end; false
    // when the busy dialog did not come up or did not go away.
    bool runOperation(QAbstractButton *button)
    {
        click(button);
        if (!busyDialog() || !busyDialog()->isVisible())
            return false;
        return waitUntilIdle();
    }

    QStringList commands() const { return sim->commandTexts(); }
    QStringList commandsFrom(int first) const { return commands().mid(first); }
    int commandCount() const { return sim->commandLog().size(); }
    static int countMatching(const QStringList &commands, const QString &pattern)
    {
        const QRegularExpression expression(QRegularExpression::anchoredPattern(pattern));
        int count = 0;
        for (const QString &command : commands)
            count += expression.match(command).hasMatch() ? 1 : 0;
        return count;
    }
    static QRegularExpression whole(const QString &pattern)
    {
        return SimulatorOptions::wholeCommand(pattern);
    }

private:
    QString address;
    std::unique_ptr<SimulatorThread> sim;   // destroyed after the window
    std::unique_ptr<MainWindow> win;
};
