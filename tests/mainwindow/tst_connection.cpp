// "Connect" and "Disconnect" against the module simulator: the busy dialog, the
// unit number and axis count in the connection bar, a module that drops the
// connection, and attempts that cannot succeed.

#include "windowharness.h"

namespace {

const QString moduleAddress = QStringLiteral("127.0.0.22");

// Counts the queued calls that reach the busy dialog: every progress value and
// maximum the link reports arrives as one.
class QueuedCallCounter : public QObject
{
public:
    using QObject::QObject;
    int count = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MetaCall)
            ++count;
        return QObject::eventFilter(watched, event);
    }
};

SimulatorOptions axes(int count, int unit = 0)
{
    SimulatorOptions options;
    options.axisCount = count;
    options.unitNumber = unit;
    return options;
}

} // namespace

class tst_Connection : public QObject
{
    Q_OBJECT

private slots:
    void connectReadDisconnectAndReconnect();
    void moduleDroppingTheConnection();
    void refusedAttemptIsToldAndWaitsForDismissal();
    void textThatIsNoIpv4AddressIsNotDialled_data();
    void textThatIsNoIpv4AddressIsNotDialled();
};

void tst_Connection::connectReadDisconnectAndReconnect()
{
    WindowHarness harness(moduleAddress);
    QVERIFY(harness.startSimulator(axes(3, 10)));
    harness.openWindow();

    WindowHarness::type(harness.addressEdit(), moduleAddress);
    WindowHarness::click(harness.connectButton());

    QProgressDialog *dialog = harness.busyDialog();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->labelText(), QStringLiteral("Please wait..."));
    QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
    QVERIFY(dialog->windowTitle().isEmpty());
    QCOMPARE(dialog->minimum(), 0);
    QueuedCallCounter firstRead;
    dialog->installEventFilter(&firstRead);

    QVERIFY(harness.waitUntilConnected());
    dialog->removeEventFilter(&firstRead);

    QCOMPARE(harness.moduleIdEdit()->text(), QStringLiteral("A"));
    QCOMPARE(harness.axisNumEdit()->text(), QStringLiteral("3"));
    QVERIFY(!harness.addressEdit()->isEnabled());
    QVERIFY(harness.menu()->isVisible());
    QCOMPARE(harness.currentPage(), harness.page("page_MeasureSetting"));
    QVERIFY(harness.menuButton("pushButton_FactoryReset")->isHidden());
    QVERIFY(harness.menuButton("pushButton_Restart")->isHidden());
    QVERIFY(firstRead.count > 0);

    // The module was asked at the typed address, and then addressed by the unit number it gave.
    const QStringList read = harness.commands();
    QVERIFY(!read.isEmpty());
    QCOMPARE(read.first(), QStringLiteral("CONFIG=?"));
    QCOMPARE(WindowHarness::countMatching(read, QStringLiteral("A[0-2]RSL=\\?")), 3);
    QCOMPARE(WindowHarness::countMatching(read, QStringLiteral("0[0-9A-F]RSL=\\?")), 0);
    QCOMPARE(harness.simulator().simulator()->connectionCount(), 1);

    // "Disconnect" shows no dialog; the window changes when the link reports it.
    harness.openPage("pushButton_PlcLinkSetting");
    QCOMPARE(harness.currentPage(), harness.page("page_PlcLinkSetting"));
    const int beforeDisconnect = harness.commandCount();
    WindowHarness::click(harness.connectButton());
    QVERIFY(!dialog->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(harness.connectButton()->text(), QStringLiteral("Connect"), WindowHarness::waitMs);
    QCOMPARE(harness.moduleIdEdit()->text(), QStringLiteral("--"));
    QCOMPARE(harness.axisNumEdit()->text(), QStringLiteral("--"));
    QVERIFY(harness.addressEdit()->isEnabled());
    QVERIFY(harness.menu()->isHidden());
    QVERIFY(!dialog->isVisible());
    QCOMPARE(harness.currentPage(), harness.page("page_PlcLinkSetting"));
    QCOMPARE(harness.commandCount(), beforeDisconnect);

    // Again: the same dialog, each progress report applied once, and the
    // measure-setting page in front whatever page was left.
    QueuedCallCounter secondRead;
    dialog->installEventFilter(&secondRead);
    WindowHarness::click(harness.connectButton());
    QCOMPARE(harness.busyDialog(), dialog);
    QCOMPARE(harness.window()->findChildren<QProgressDialog *>().size(), 1);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->labelText(), QStringLiteral("Please wait..."));
    QVERIFY(harness.waitUntilConnected());
    dialog->removeEventFilter(&secondRead);
    QCOMPARE(secondRead.count, firstRead.count);
    QCOMPARE(harness.currentPage(), harness.page("page_MeasureSetting"));
    QCOMPARE(harness.moduleIdEdit()->text(), QStringLiteral("A"));
    QCOMPARE(harness.axisNumEdit()->text(), QStringLiteral("3"));
    QCOMPARE(harness.simulator().simulator()->connectionCount(), 2);
}

void tst_Connection::moduleDroppingTheConnection()
{
    // A first module of the same kind tells how many commands the parameter read takes.
    int readLength = 0;
    {
        WindowHarness probe(moduleAddress);
        QVERIFY(probe.startSimulator(axes(1)));
        probe.openWindow();
        QVERIFY(probe.connectModule());
        readLength = probe.commandCount();
        QVERIFY(readLength > 0);
    }

    // This one answers three polls of the monitor page and drops the connection on the fourth.
    WindowHarness harness(moduleAddress);
    SimulatorOptions options = axes(1);
    options.closeAfter = readLength + 4;
    QVERIFY(harness.startSimulator(options));
    harness.openWindow();
    QVERIFY(harness.connectModule());
    QCOMPARE(harness.commandCount(), readLength);
    QCOMPARE(harness.axisNumEdit()->text(), QStringLiteral("1"));

    harness.openPage("pushButton_MeasureMonitor");
    QTRY_COMPARE_WITH_TIMEOUT(harness.connectButton()->text(), QStringLiteral("Connect"), WindowHarness::waitMs);
    QCOMPARE(harness.moduleIdEdit()->text(), QStringLiteral("--"));
    QCOMPARE(harness.axisNumEdit()->text(), QStringLiteral("--"));
    QVERIFY(harness.addressEdit()->isEnabled());
    QVERIFY(harness.menu()->isHidden());
    QVERIFY(!harness.busyDialog()->isVisible());

    const QVector<ReceivedCommand> log = harness.simulator().commandLog();
    QCOMPARE(log.size(), readLength + 4);
    QCOMPARE(log.last().text, QStringLiteral("R"));
    QCOMPARE(log.last().disposition, ReceivedCommand::Disposition::Dropped);
}

void tst_Connection::refusedAttemptIsToldAndWaitsForDismissal()
{
    // Nothing listens at this address now.
    WindowHarness harness(moduleAddress);
    harness.openWindow();
    WindowHarness::type(harness.addressEdit(), moduleAddress);
    WindowHarness::click(harness.connectButton());

    QProgressDialog *dialog = harness.busyDialog();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    const QString refused = QStringLiteral("Connection refused by 127.0.0.22");
    QTRY_COMPARE_WITH_TIMEOUT(dialog->labelText(), refused, WindowHarness::waitMs);
    QTest::qWait(300);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->labelText(), refused);
    QCOMPARE(harness.connectButton()->text(), QStringLiteral("Connect"));
    QCOMPARE(harness.moduleIdEdit()->text(), QStringLiteral("--"));
    QVERIFY(harness.menu()->isHidden());
    QVERIFY(harness.addressEdit()->isEnabled());

    auto *cancel = dialog->findChild<QPushButton *>();
    QVERIFY(cancel);
    WindowHarness::click(cancel);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), WindowHarness::waitMs);

    // A new attempt starts over with the same dialog.
    WindowHarness::click(harness.connectButton());
    QCOMPARE(harness.busyDialog(), dialog);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->labelText(), QStringLiteral("Please wait..."));
    QTRY_COMPARE_WITH_TIMEOUT(dialog->labelText(), refused, WindowHarness::waitMs);
}

void tst_Connection::textThatIsNoIpv4AddressIsNotDialled_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("host name") << QStringLiteral("module.local");
    QTest::newRow("empty") << QString();
    QTest::newRow("any address") << QStringLiteral("0.0.0.0");
    QTest::newRow("IPv6 loopback") << QStringLiteral("::1");
    QTest::newRow("octet out of range") << QStringLiteral("127.0.0.300");
}

void tst_Connection::textThatIsNoIpv4AddressIsNotDialled()
{
    QFETCH(QString, text);

    WindowHarness harness(moduleAddress);
    harness.openWindow();
    WindowHarness::type(harness.addressEdit(), text);
    QCOMPARE(harness.addressEdit()->text(), text);
    WindowHarness::click(harness.connectButton());

    QProgressDialog *dialog = harness.busyDialog();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    const QString told = QStringLiteral("Connection failed: \"%1\" is not an IPv4 address").arg(text);
    QCOMPARE(dialog->labelText(), told);

    // Had anything been dialled, its failure would have replaced the text by now.
    QTest::qWait(300);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->labelText(), told);
    QCOMPARE(harness.connectButton()->text(), QStringLiteral("Connect"));
    QVERIFY(harness.menu()->isHidden());
}

QTEST_MAIN(tst_Connection)
#include "tst_connection.moc"
