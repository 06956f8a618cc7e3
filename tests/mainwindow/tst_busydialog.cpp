// SPDX-License-Identifier: GPL-3.0-or-later
// The busy dialog and the connection bar tell what happened: the dialog stays up to
// an operation's end, a module that leaves the configuration query unanswered is
// reported and let go, failures name the address dialled, and a new connection
// starts on the first axes with the monitor stopped.

#include "windowharness.h"

#include <QAction>
#include <QLabel>
#include <QPointer>
#include <QTimer>

#include <functional>

namespace {

SimulatorOptions axes(int count)
{
    SimulatorOptions options;
    options.axisCount = count;
    return options;
}

// Runs a check each time the watched widget is hidden.
struct HideWatch : QObject
{
    std::function<void()> onHide;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Hide)
            onHide();
        return QObject::eventFilter(watched, event);
    }
};

QTimer *monitorTimer(const WindowHarness &harness)
{
    return harness.window()->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

class tst_BusyDialog : public QObject
{
    Q_OBJECT

private slots:
    void staysUpToTheEndAndEscapeStopsAfterOneCommand();
    void cancelGivesUpAConnectionAttemptAtOnce();
    void configurationSilentModuleIsReportedAndLetGo();
    void failureNamesTheAddressDialledInPlainText(); // and About windows are deleted by Escape
    void newConnectionStartsOnTheFirstAxesWithTheMonitorStopped();
};

void tst_BusyDialog::staysUpToTheEndAndEscapeStopsAfterOneCommand()
{
    int readLength = 0;
    {
        WindowHarness harness;
        QVERIFY(harness.startSimulator(axes(2)));
        harness.openWindow();
        QVERIFY(harness.connectModule());
        readLength = harness.commands().size();
        harness.openPage("pushButton_PlcLinkSetting");

        // The write's progress reaches its maximum before its last two queries; the
        // dialog goes only when the operation has ended, after its last query.
        QStringList lastAtHide;
        HideWatch watch;
        watch.onHide = [&]() { lastAtHide << harness.commands().constLast(); };
        harness.busyDialog()->installEventFilter(&watch);
        QVERIFY(harness.runOperation(harness.onPage<QPushButton>("page_PlcLinkSetting", QStringLiteral("pushButton_ApplySetting"))));
        harness.busyDialog()->removeEventFilter(&watch);
        QCOMPARE(lastAtHide, QStringList{QStringLiteral("MDA=?")});
    }

    // The same module, silent after the parameter read.
    WindowHarness harness;
    SimulatorOptions options = axes(2);
    options.silentAfter = readLength;
    QVERIFY(harness.startSimulator(options));
    harness.openWindow();
    QVERIFY(harness.connectModule());

    WindowHarness::click(harness.onPage<QPushButton>("page_MeasureSetting", QStringLiteral("pushButton_ApplySetting")));
    QVERIFY(harness.simulator().waitForCommandCount(readLength + 1, WindowHarness::waitMs));
    QProgressDialog *dialog = harness.busyDialog();
    auto *button = dialog->findChild<QPushButton *>();
    QCOMPARE(dialog->windowTitle(), QStringLiteral("QR36-TN Setting tool"));
    QTest::keyClick(dialog, Qt::Key_Escape);

    // "SETUP" was under way: the bracket is closed, nothing follows, and the dialog says what that means.
    QTRY_VERIFY2_WITH_TIMEOUT(dialog->labelText().startsWith(QLatin1String("Stopped before the end.")),
                             qPrintable(dialog->labelText() + harness.commands().mid(readLength).join(' ')), WindowHarness::waitMs);
    QVERIFY(dialog->labelText().contains(QLatin1String("part of the new settings")));
    QTRY_COMPARE(harness.commands().mid(readLength), QStringList({"SETUP", "CLOSE"}));
    QCOMPARE(button->text(), QStringLiteral("Close"));
    WindowHarness::click(button);
    QVERIFY(!dialog->isVisible());
}

void tst_BusyDialog::cancelGivesUpAConnectionAttemptAtOnce()
{
    // The module answers the configuration query and nothing after it.
    WindowHarness harness;
    SimulatorOptions options = axes(2);
    options.silentAfter = 1;
    QVERIFY(harness.startSimulator(options));
    harness.openWindow();
    WindowHarness::type(harness.addressEdit(), harness.moduleAddress());
    WindowHarness::click(harness.connectButton());
    QVERIFY(harness.simulator().waitForCommandCount(2, WindowHarness::waitMs));

    QProgressDialog *dialog = harness.busyDialog();
    WindowHarness::click(dialog->findChild<QPushButton *>());
    QVERIFY(!dialog->isVisible());
    QCOMPARE(harness.barState(), QStringLiteral("Connect -- -- no-menu open"));
    // "Connect" waits for the link to let the attempt go, with its bracket closed.
    QTRY_VERIFY_WITH_TIMEOUT(harness.connectButton()->isEnabled(), WindowHarness::waitMs);
    QTRY_COMPARE(harness.commands(), QStringList({"CONFIG=?", "SETUP", "CLOSE"}));
}

void tst_BusyDialog::configurationSilentModuleIsReportedAndLetGo()
{
    WindowHarness harness;
    SimulatorOptions options = axes(2);
    options.silentPatterns << SimulatorOptions::wholeCommand(QStringLiteral("CONFIG=\\?"));
    QVERIFY(harness.startSimulator(options));
    harness.openWindow();
    WindowHarness::type(harness.addressEdit(), harness.moduleAddress());
    WindowHarness::click(harness.connectButton());

    QProgressDialog *dialog = harness.busyDialog();
    const QString told = QStringLiteral("No answer from %1 to the configuration query.\n"
                                        "The connection was closed.").arg(harness.moduleAddress());
    QTRY_COMPARE_WITH_TIMEOUT(dialog->labelText(), told, WindowHarness::waitMs);
    // Let go: the link reports the connection closed, and nothing but the query went out.
    QTRY_VERIFY_WITH_TIMEOUT(harness.connectButton()->isEnabled(), WindowHarness::waitMs);
    QCOMPARE(harness.commands(), QStringList{QStringLiteral("CONFIG=?")});
    QCOMPARE(harness.barState(), QStringLiteral("Connect -- -- no-menu open"));
    QVERIFY(dialog->isVisible());
}

void tst_BusyDialog::failureNamesTheAddressDialledInPlainText()
{
    // Nothing listens at the harness's address.
    WindowHarness harness;
    harness.openWindow();
    WindowHarness::type(harness.addressEdit(), harness.moduleAddress());
    WindowHarness::click(harness.connectButton());
    harness.addressEdit()->setText(QStringLiteral("127.0.0.1"));
    QProgressDialog *dialog = harness.busyDialog();
    QTRY_COMPARE_WITH_TIMEOUT(dialog->labelText(), QStringLiteral("Connection failed: %1 refused the connection on port 24000").arg(harness.moduleAddress()),
                              WindowHarness::waitMs);
    WindowHarness::click(dialog->findChild<QPushButton *>());

    // What the operator typed is shown as typed.
    const QString typed = QStringLiteral("<b>%1</b>").arg(harness.moduleAddress());
    WindowHarness::type(harness.addressEdit(), typed);
    WindowHarness::click(harness.connectButton());
    QCOMPARE(dialog->labelText(), QStringLiteral("Connection failed: \"%1\" is not an IPv4 address such as 192.168.0.10").arg(typed));
    QCOMPARE(dialog->findChild<QLabel *>()->textFormat(), Qt::PlainText);

    // An About window closed by Escape, as by its title bar, goes too.
    harness.window()->findChild<QAction *>(QStringLiteral("actionAbout"))->trigger();
    QPointer<QWidget> about = QApplication::activeModalWidget();
    QVERIFY(about && about != dialog);
    QTest::keyClick(about, Qt::Key_Escape);
    QTRY_VERIFY(about.isNull());
}

void tst_BusyDialog::newConnectionStartsOnTheFirstAxesWithTheMonitorStopped()
{
    WindowHarness harness;
    QVERIFY(harness.startSimulator(axes(4)));
    harness.openWindow();
    QVERIFY(harness.connectModule());
    auto *previous = harness.onPage<QPushButton>("page_MeasureSetting", QStringLiteral("pushButton_PrevPage"));
    WindowHarness::click(previous);
    auto *caption = harness.onPage<QLabel>("page_MeasureSetting", QStringLiteral("label_Axis1"));
    QCOMPARE(caption->text(), QStringLiteral("2"));

    // The module goes while the monitor polls it, and a two-axis one takes its place.
    harness.openPage("pushButton_MeasureMonitor");
    QVERIFY(monitorTimer(harness)->isActive());
    QVERIFY(harness.startSimulator(axes(2)));
    QVERIFY(harness.waitFor(QStringLiteral("Connect")));
    QVERIFY(!monitorTimer(harness)->isActive());

    // Its axes are shown, and what is typed there is written.
    QVERIFY(harness.connectModule());
    QVERIFY(!monitorTimer(harness)->isActive());
    QCOMPARE(caption->text(), QStringLiteral("0"));
    QCOMPARE(harness.onPage<QLabel>("page_MeasureSetting", QStringLiteral("label_Axis2"))->text(), QStringLiteral("1"));
    WindowHarness::type(harness.onPage<QLineEdit>("page_MeasureSetting", QStringLiteral("lineEdit_Preset1")),
                        QStringLiteral("1.50"));
    WindowHarness::type(harness.onPage<QLineEdit>("page_MeasureSetting", QStringLiteral("lineEdit_CompHigh2_3")),
                        QStringLiteral("-2e-3"));
    const int before = harness.commands().size();
    QVERIFY(harness.runOperation(harness.onPage<QPushButton>("page_MeasureSetting",
                                                             QStringLiteral("pushButton_ApplySetting"))));
    const QStringList written = harness.commands().mid(before);
    QVERIFY(written.contains(QStringLiteral("00P=1.5")));
    QVERIFY(written.contains(QStringLiteral("01CH3=-0.002")));
}

QTEST_MAIN(tst_BusyDialog)
#include "tst_busydialog.moc"
