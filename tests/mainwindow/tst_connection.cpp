// SPDX-License-Identifier: GPL-3.0-or-later
// "Connect" and "Disconnect" against the module simulator, attempts that cannot
// succeed, and a module that falls silent in the middle of the parameter read or
// drops the connection in the middle of a write.

#include "windowharness.h"

#include <QStatusBar>

namespace {

// Counts the queued calls that reach the busy dialog: one per progress report.
class QueuedCallCounter : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        count += event->type() == QEvent::MetaCall ? 1 : 0;
        return QObject::eventFilter(watched, event);
    }
};

const QString disconnected = QStringLiteral("Connect -- -- no-menu open");

int entriesIn(const char *folder)
{
    return QDir(QLatin1String(folder)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size();
}

// Only sockets: a sanitizer's symbolizer, started when it first reports, has pipes.
int socketsOpen()
{
    int sockets = 0;
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo &descriptor : descriptors.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System))
        sockets += descriptor.symLinkTarget().contains(QLatin1String("socket:")) ? 1 : 0;
    return sockets;
}

} // namespace

class tst_Connection : public QObject
{
    Q_OBJECT

private slots:
    void connectAndDisconnectRepeatedly();
    void failedAttemptIsToldUntilDismissed_data();
    void failedAttemptIsToldUntilDismissed();
    void settingsWithoutAValueAreNamed_data();
    void settingsWithoutAValueAreNamed();
    void moduleDroppingTheConnectionMidWriteReturnsToStart();
};

void tst_Connection::connectAndDisconnectRepeatedly()
{
    WindowHarness harness(true);
    SimulatorOptions options;
    options.axisCount = 2;
    options.unitNumber = 10;
    QVERIFY(harness.startSimulator(options));
    harness.openWindow();
    QCOMPARE(harness.barState(), disconnected);

    // Each time round, nothing may be wired twice: the module sees the same read, and
    // each progress report reaches the one busy dialog once. And no thread or socket
    // is left behind.
    QStringList firstRead;
    int firstCalls = 0;
    int threads = 0;
    int sockets = 0;
    for (int cycle = 0; cycle < 8; ++cycle) {
        WindowHarness::type(harness.addressEdit(), harness.moduleAddress());
        // Every other time by Enter in the address field.
        if (cycle % 2)
            QTest::keyClick(harness.addressEdit(), Qt::Key_Return);
        else
            WindowHarness::click(harness.connectButton());
        QCOMPARE(harness.busyDialog()->labelText(), QStringLiteral("Please wait..."));
        QueuedCallCounter calls;
        harness.busyDialog()->installEventFilter(&calls);
        QVERIFY(harness.waitFor(QStringLiteral("Disconnect")));
        harness.busyDialog()->removeEventFilter(&calls);
        QCOMPARE(harness.barState(), QStringLiteral("Disconnect A 2 menu fixed"));
        if (cycle == 0) {
            firstRead = harness.commands();
            firstCalls = calls.count;
        }
        QTRY_COMPARE(harness.commands(), firstRead);
        QCOMPARE(calls.count, firstCalls);
        QCOMPARE(harness.window()->findChildren<QProgressDialog *>().size(), 1);

        WindowHarness::click(harness.connectButton());
        QVERIFY(harness.waitFor(QStringLiteral("Connect")));
        QCOMPARE(harness.barState(), disconnected);
        harness.simulator().clearCommandLog();
        if (cycle == 1) { // the first connections create what the window keeps for its life
            threads = entriesIn("/proc/self/task");
            sockets = socketsOpen();
        }
    }
    QVERIFY(firstCalls > 0);
    // Asked at the typed address, then addressed by the unit number it gave.
    QCOMPARE(firstRead.first(), QStringLiteral("CONFIG=?"));
    QCOMPARE(firstRead.filter(QRegularExpression(QStringLiteral("^A[01]RSL=\\?$"))).size(), 2);
    QCOMPARE(harness.simulator().simulator()->connectionCount(), 8);
    // Sockets close as their threads get to it; what leaks never goes.
    QTRY_VERIFY(entriesIn("/proc/self/task") <= threads);
    QTRY_VERIFY(socketsOpen() <= sockets);
}

void tst_Connection::failedAttemptIsToldUntilDismissed_data()
{
    QTest::addColumn<QString>("text"); // typed into the address field; null: an address nobody listens at
    QTest::addColumn<QString>("told");
    const QString notIpv4 = QStringLiteral("Connection failed: \"%1\" is not an IPv4 address such as 192.168.0.10");
    QTest::newRow("refused") << QString() << "Connection failed: %1 refused the connection on port 24000";
    QTest::newRow("empty") << QStringLiteral("") << "Connection failed: An empty field is not an IPv4 address such as 192.168.0.10%1";
    QTest::newRow("host name") << "module.local" << notIpv4;
    QTest::newRow("any address") << "0.0.0.0" << "Connection failed: \"%1\" stands for this computer, not a module's address";
    QTest::newRow("broadcast") << "255.255.255.255" << "Connection failed: \"%1\" is the broadcast address, not a module's address";
    QTest::newRow("multicast") << "239.1.2.3" << "Connection failed: \"%1\" is a multicast address, not a module's address";
    QTest::newRow("IPv6 loopback") << "::1" << notIpv4;
    QTest::newRow("octet out of range") << "127.0.0.300" << notIpv4;
}

void tst_Connection::failedAttemptIsToldUntilDismissed()
{
    QFETCH(QString, text);
    QFETCH(QString, told);
    WindowHarness harness;
    if (text.isNull())
        text = harness.moduleAddress();
    harness.openWindow();
    WindowHarness::type(harness.addressEdit(), text);
    WindowHarness::click(harness.connectButton());
    QTRY_COMPARE_WITH_TIMEOUT(harness.busyDialog()->labelText(), told.arg(text), WindowHarness::waitMs);
    QVERIFY(harness.busyDialog()->isVisible());
    QCOMPARE(harness.barState(), disconnected);
    WindowHarness::click(harness.busyDialog()->findChild<QPushButton *>());
    QTRY_VERIFY(!harness.busyDialog()->isVisible());
}

void tst_Connection::settingsWithoutAValueAreNamed_data()
{
    // The read of one axis with the inch option is 37 commands; Apply Setting's read-back follows.
    QTest::addColumn<int>("silentAfter");
    QTest::addColumn<QString>("garbled");
    QTest::addColumn<bool>("apply");
    QTest::addColumn<QString>("told");
    QTest::newRow("the module falls silent during the read")
            << 35 << QString() << false
            << "Read from %1 with 2 settings not read: measDataAddr (MDA=?): no reply; ctrlFlagAddr (FLA=?): no reply; "
               "those show their earlier values. See View, Communication Log.";
    QTest::newRow("a read-back reply that does not convert")
            << 0 << "00RSL=\\?" << true
            << "Measure settings written, but the read-back has 1 setting not read: axis 0 resolution (00RSL=?): "
               "reply \"X#?\" is not a value. See View, Communication Log.";
}

void tst_Connection::settingsWithoutAValueAreNamed()
{
    QFETCH(int, silentAfter);
    QFETCH(QString, garbled);
    QFETCH(bool, apply);
    QFETCH(QString, told);
    WindowHarness harness(true);
    SimulatorOptions options;
    options.axisCount = 1;
    options.silentAfter = silentAfter;
    if (!garbled.isEmpty())
        options.garblePatterns << SimulatorOptions::wholeCommand(garbled);
    options.garbleAfter = 37;
    QVERIFY(harness.startSimulator(options));
    ModuleModel model = harness.simulator().model();
    model.paramAddr[0] = 777;
    model.measDataAddr = 888;
    model.ctrlFlagAddr = 999;
    harness.simulator().setModel(model);
    harness.openWindow();
    QVERIFY(harness.connectModule());
    QCOMPARE(harness.barState(), QStringLiteral("Disconnect 0 1 menu fixed"));
    if (apply)
        QVERIFY(harness.runOperation(harness.onPage<QPushButton>("page_MeasureSetting", QStringLiteral("pushButton_ApplySetting"))));
    // Told without the time of day a write's message begins with.
    const auto message = [&harness] {
        return harness.window()->statusBar()->currentMessage().remove(QRegularExpression(QStringLiteral(" at \\d\\d:\\d\\d:\\d\\d")));
    };
    QTRY_COMPARE(message(), told.replace(QStringLiteral("%1"), harness.moduleAddress()));
    if (apply)
        return;

    harness.openPage("pushButton_PlcLinkSetting");
    // Answered before the module fell silent; unanswered fields keep what the store held.
    QString fields;
    for (const char *name : {"lineEdit_ParamAddr", "lineEdit_MeasDataAddr", "lineEdit_CtrlFlagAddr"})
        fields += harness.onPage<QLineEdit>("page_PlcLinkSetting", QLatin1String(name))->text() + QLatin1Char(' ');
    QCOMPARE(fields, QStringLiteral("777 0 0 "));
}

void tst_Connection::moduleDroppingTheConnectionMidWriteReturnsToStart()
{
    // The module drops the connection on the eighth command of the write after the read;
    // the link finds it closed when it is about to send the ninth.
    WindowHarness harness(true);
    SimulatorOptions options;
    options.axisCount = 1;
    options.closeAfter = 37 + 8;
    QVERIFY(harness.startSimulator(options));
    harness.openWindow();
    QVERIFY(harness.connectModule());

    // The operator is told that the write did not end, before the window returns to its start.
    WindowHarness::click(harness.onPage<QPushButton>("page_MeasureSetting", QStringLiteral("pushButton_ApplySetting")));
    QProgressDialog *dialog = harness.busyDialog();
    QTRY_VERIFY2_WITH_TIMEOUT(dialog->labelText().startsWith(QStringLiteral("The connection to %1 was lost before the end "
                                                                           "(connection lost after 8 of 50 commands, at 00CH4=")
                                                                    .arg(harness.moduleAddress())),
                              qPrintable(dialog->labelText()), WindowHarness::waitMs);
    QVERIFY2(dialog->labelText().contains(QStringLiteral("The module may now hold part of the new settings")),
             qPrintable(dialog->labelText()));
    QTRY_COMPARE(harness.barState(), disconnected);
    WindowHarness::click(dialog->findChild<QPushButton *>());
    QVERIFY(harness.waitFor(QStringLiteral("Connect")));

    // The module is back for the next connection.
    harness.simulator().clearCommandLog();
    WindowHarness::click(harness.connectButton());
    QVERIFY(harness.waitFor(QStringLiteral("Disconnect")));
    QCOMPARE(harness.commands().first(), QStringLiteral("CONFIG=?"));
    QCOMPARE(harness.barState(), QStringLiteral("Disconnect 0 1 menu fixed"));
}

QTEST_MAIN(tst_Connection)
#include "tst_connection.moc"
