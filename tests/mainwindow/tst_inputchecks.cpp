// SPDX-License-Identifier: GPL-3.0-or-later
// Text that holds no value is never written: "Apply" refuses it with nothing on the
// wire and says which field it is, and paging keeps the setting's last valid value.
// One connection to a two-axis module whose address query answers no address.

#include "windowharness.h"

#include <QStackedWidget>
#include <QStatusBar>

#include <memory>

class tst_InputChecks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void applyRefusesTextWithoutValue_data();
    void applyRefusesTextWithoutValue();
    void pagingKeepsTheLastValidValue();
    void applyRefusesLimitsOutOfOrder();

private:
    QString statusText() const { return harness->window()->statusBar()->currentMessage(); }
    // Whatever the link was asked to do since `before` comes ahead of the monitor page's polls.
    bool firstSentIsAPoll(int before)
    {
        harness->openPage("pushButton_MeasureMonitor");
        return QTest::qWaitFor([&] { return harness->commands().mid(before).contains(QStringLiteral("R")); },
                               WindowHarness::waitMs)
               && harness->commands().mid(before).first() == QLatin1String("R");
    }

    std::unique_ptr<WindowHarness> harness;
};

void tst_InputChecks::initTestCase()
{
    harness = std::make_unique<WindowHarness>(true);
    SimulatorOptions options;
    options.axisCount = 2;
    options.garblePatterns << SimulatorOptions::wholeCommand(QStringLiteral("NIP=\\?"));
    QVERIFY(harness->startSimulator(options));
    ModuleModel model = harness->simulator().model();
    model.refUse[1] = true;
    model.usingPlcLink = true;
    model.compHigh[0][0] = 2.5;
    harness->simulator().setModel(model);
    harness->openWindow();
    QVERIFY(harness->connectModule());
}

void tst_InputChecks::cleanupTestCase()
{
    harness.reset();
}

void tst_InputChecks::applyRefusesTextWithoutValue_data()
{
    QTest::addColumn<QString>("menuButton");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("applyButton");
    QTest::addColumn<QString>("text"); // null: left as the page shows it
    QTest::addColumn<QString>("told");

    const QString measure = QStringLiteral("pushButton_MeasureSetting");
    const QString apply = QStringLiteral("pushButton_ApplySetting");
    const QString notANumber = QStringLiteral("is not a number");
    QTest::newRow("decimal comma") << measure << "lineEdit_CompHigh1_2" << apply << "1,5"
                                   << "Measure Setting, axis 0, Comp. High 2: \"1,5\" " + notANumber;
    QTest::newRow("nan") << measure << "lineEdit_Preset1" << apply << "nan"
                         << "Measure Setting, axis 0, Preset: \"nan\" " + notANumber;
    QTest::newRow("inf") << measure << "lineEdit_CompLow2_4" << apply << "-inf"
                         << "Measure Setting, axis 1, Comp. Low 4: \"-inf\" " + notANumber;
    QTest::newRow("empty") << measure << "lineEdit_CompLow1_1" << apply << ""
                           << "Measure Setting, axis 0, Comp. Low 1: An empty field " + notANumber;
    QTest::newRow("master value") << "pushButton_RefPointSetting" << "lineEdit_MasterValue2" << "pushButton_ApplyRef2"
                                  << "abc" << "Ref. Point Setting, axis 1, Master Value: \"abc\" " + notANumber;

    const QString plc = QStringLiteral("pushButton_PlcLinkSetting");
    QTest::newRow("address the module gave as none") << plc << "lineEdit_ModuleIpAddr" << apply << QString()
                                                    << "PLC Link Setting, Module IP Address: An empty field is not an IPv4 address";
    QTest::newRow("three-part address") << plc << "lineEdit_SubnetMask" << apply << "255.255.0"
                                        << "PLC Link Setting, Subnet mask: \"255.255.0\" is not an IPv4 address";
    QTest::newRow("port too large") << plc << "lineEdit_PlcEtherPort" << apply << "65536"
                                    << "PLC Link Setting, PLC Ether port: \"65536\" is not a whole number from 0 to 65535";
    QTest::newRow("beyond 32 bits") << plc << "lineEdit_ParamAddr_2" << apply << "99999999999"
                                    << "PLC Link Setting, axis 1, Parameter Address: \"99999999999\" is not a whole number";
}

void tst_InputChecks::applyRefusesTextWithoutValue()
{
    QFETCH(QString, menuButton);
    QFETCH(QString, field);
    QFETCH(QString, applyButton);
    QFETCH(QString, text);
    QFETCH(QString, told);

    harness->openPage(menuButton.toLatin1());
    QWidget *page = harness->window()->findChild<QStackedWidget *>()->currentWidget();
    auto *edit = page->findChild<QLineEdit *>(field);
    QVERIFY(edit);
    // The module's own address comes first on its page and is checked first.
    auto *moduleIp = page->findChild<QLineEdit *>(QStringLiteral("lineEdit_ModuleIpAddr"));
    if (moduleIp && edit != moduleIp)
        WindowHarness::type(moduleIp, QStringLiteral("127.0.0.99"));
    const QColor plain = edit->palette().color(QPalette::Base);
    if (text.isNull())
        text = edit->text();
    else
        WindowHarness::type(edit, text);
    QCOMPARE(edit->text(), text);
    const int before = harness->commands().size();

    WindowHarness::click(page->findChild<QPushButton *>(applyButton));
    QVERIFY(!harness->busyDialog()->isVisible());
    QVERIFY2(statusText().startsWith(told), qPrintable(statusText()));
    QVERIFY(statusText().endsWith(QLatin1String("Nothing was sent to the module.")));
    QCOMPARE(edit->text(), text);
    QVERIFY(edit->palette().color(QPalette::Base) != plain);

    QVERIFY(firstSentIsAPoll(before));
    // Leaving the page kept the stored value: the field shows it again, unmarked
    // unless the store has no value either.
    harness->openPage(menuButton.toLatin1());
    if (!text.isEmpty()) {
        QVERIFY(edit->text() != text);
        QCOMPARE(edit->palette().color(QPalette::Base), plain);
    }
}

void tst_InputChecks::pagingKeepsTheLastValidValue()
{
    harness->openPage("pushButton_MeasureSetting");
    QWidget *page = harness->window()->findChild<QWidget *>(QStringLiteral("page_MeasureSetting"));
    auto *high = page->findChild<QLineEdit *>(QStringLiteral("lineEdit_CompHigh1_1"));
    auto *low = page->findChild<QLineEdit *>(QStringLiteral("lineEdit_CompLow1_1"));
    WindowHarness::type(high, QStringLiteral("3,75"));
    WindowHarness::type(low, QStringLiteral("1.50"));
    WindowHarness::click(page->findChild<QPushButton *>(QStringLiteral("pushButton_NextPage")));
    QVERIFY2(statusText().startsWith(QLatin1String("Measure Setting, axis 0, Comp. High 1: \"3,75\"")),
             qPrintable(statusText()));
    QVERIFY(statusText().endsWith(QLatin1String("Its last valid value is kept.")));

    // Two axes: ">>" comes back to the same pair, refreshed from what was captured.
    QCOMPARE(high->text(), QStringLiteral("2.5"));
    QCOMPARE(low->text(), QStringLiteral("1.5"));
}

// Every limit is a number, but a low limit above its high limit is refused all the same.
void tst_InputChecks::applyRefusesLimitsOutOfOrder()
{
    harness->openPage("pushButton_MeasureSetting");
    QWidget *page = harness->window()->findChild<QWidget *>(QStringLiteral("page_MeasureSetting"));
    auto *low = page->findChild<QLineEdit *>(QStringLiteral("lineEdit_CompLow2_3"));
    const QColor plain = low->palette().color(QPalette::Base);
    WindowHarness::type(low, QStringLiteral("5"));
    const int before = harness->commands().size();
    WindowHarness::click(page->findChild<QPushButton *>(QStringLiteral("pushButton_ApplySetting")));
    QVERIFY(!harness->busyDialog()->isVisible());
    QCOMPARE(statusText(), QStringLiteral("Measure Setting, axis 1, set 3: Comp. Low 5 is above Comp. High 1. "
                                          "Nothing was sent to the module."));
    QVERIFY(low->palette().color(QPalette::Base) != plain);
    QVERIFY(firstSentIsAPoll(before));
}

QTEST_MAIN(tst_InputChecks)
#include "tst_inputchecks.moc"
