// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mainwindow.h"
#include "simulatorthread.h"

#include <QComboBox>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// One main window driven as an operator would, in a working folder of its own (for
// "setting.ini"), and a simulator on port 24000, the port the window dials, of a
// random loopback address, so that tests of this and other builds run side by side.
class WindowHarness
{
public:
    static constexpr int waitMs = 30000;

    // The inch option spares the parameter read its setting bracket and a second of pause.
    explicit WindowHarness(bool inchOption = false)
        : previousDirectory(QDir::currentPath())
    {
        // The link logs every command it sends; a test reads the simulator's log instead.
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
        QDir::setCurrent(workingDirectory.path());
        if (inchOption)
            QSettings(QStringLiteral("setting.ini"), QSettings::IniFormat).setValue(QStringLiteral("Unit/in"), 1);
    }
    ~WindowHarness()
    {
        deleteWindow();
        sim.reset();
        QDir::setCurrent(previousDirectory);
    }

    QString moduleAddress() const { return address; }
    bool startSimulator(SimulatorOptions options)
    {
        options.port = 24000;
        options.seed = 7;
        for (int attempt = 0; attempt < 10; ++attempt, address = anyLoopbackAddress()) {
            options.address = QHostAddress(address);
            sim = std::make_unique<SimulatorThread>(options);
            if (sim->start())
                return true;
        }
        return false;
    }
    SimulatorThread &simulator() const { return *sim; }
    QStringList commands() const { return sim->commandTexts(); }

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
        QTest::qWait(1); // lets the finished worker thread's deferred deletions run
    }

    // The connection bar shares object names with the PLC-link page, so it is looked
    // up among the central widget's own children.
    template<typename Widget = QWidget>
    Widget *bar(const char *name) const
    {
        return win->centralWidget()->findChild<Widget *>(QLatin1String(name), Qt::FindDirectChildrenOnly);
    }
    QPushButton *connectButton() const { return bar<QPushButton>("pushButton_Connect"); }
    QLineEdit *addressEdit() const { return bar<QLineEdit>("lineEdit_ModuleIpAddr"); }
    // The bar at a glance: button, unit number, axis count, page menu, address field.
    QString barState() const
    {
        return QStringList{connectButton()->text(), bar<QLineEdit>("lineEdit_ModuleId")->text(),
                           bar<QLineEdit>("lineEdit_AxisNum")->text(),
                           bar("widget_menu")->isHidden() ? QStringLiteral("no-menu") : QStringLiteral("menu"),
                           addressEdit()->isEnabled() ? QStringLiteral("open") : QStringLiteral("fixed")}
            .join(QLatin1Char(' '));
    }
    // Several pages use the same object names; a widget is looked up under its page.
    template<typename Widget>
    Widget *onPage(const char *pageName, const QString &name) const
    {
        return win->findChild<QWidget *>(QLatin1String(pageName))->findChild<Widget *>(name);
    }
    QProgressDialog *busyDialog() const { return win->findChild<QProgressDialog *>(); }

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
    // The question the window asks, once it is up; nullptr when none comes.
    static QMessageBox *question()
    {
        QMessageBox *box = nullptr;
        const bool up = QTest::qWaitFor([&box] {
            for (QWidget *widget : QApplication::topLevelWidgets())
                box = widget->isVisible() && qobject_cast<QMessageBox *>(widget) ? static_cast<QMessageBox *>(widget) : box;
            return box != nullptr;
        });
        return up ? box : nullptr;
    }
    static void answer(QMessageBox::StandardButton button) { click(question()->button(button)); }
    void openPage(const char *menuButton) { click(win->findChild<QPushButton *>(QLatin1String(menuButton))); }

    // Types the module's address, presses "Connect" and waits until the module shows.
    bool connectModule()
    {
        type(addressEdit(), address);
        click(connectButton());
        return waitFor(QStringLiteral("Disconnect"));
    }
    // Until the connect button reads `text` with no busy dialog up.
    bool waitFor(const QString &text) const
    {
        return QTest::qWaitFor([=] { return connectButton()->text() == text && idle(); }, waitMs);
    }
    bool idle() const { return !busyDialog() || !busyDialog()->isVisible(); }
    // Presses a button that starts a device operation and waits for its end; false
    // when the busy dialog did not come up or did not go away.
    bool runOperation(QAbstractButton *button)
    {
        click(button);
        return !idle() && QTest::qWaitFor([this] { return idle(); }, waitMs);
    }

private:
    static QString anyLoopbackAddress()
    {
        QRandomGenerator *random = QRandomGenerator::global();
        return QStringLiteral("127.%1.%2.%3").arg(random->bounded(1, 255)).arg(random->bounded(256)).arg(random->bounded(1, 255));
    }

    QString address = anyLoopbackAddress();
    QTemporaryDir workingDirectory;
    QString previousDirectory;
    std::unique_ptr<SimulatorThread> sim; // destroyed after the window
    std::unique_ptr<MainWindow> win;
};
