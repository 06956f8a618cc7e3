// The PLC-link page against a two-axis module simulator, over one connection: the
// group that follows "Use PLC-Link", the write of every value by "Apply Setting",
// and text that does not parse. The test functions run in order.

#include "windowharness.h"

#include <QCheckBox>
#include <QGroupBox>

#include <memory>

namespace {

const QString moduleAddress = QStringLiteral("127.0.0.26");
const char page[] = "page_PlcLinkSetting";

} // namespace

class tst_PlcLinkPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void groupFollowsTheCheckBoxAndTheStore();
    void applyWritesEveryValueWithTheGroupDisabled();
    void textsThatDoNotParse();

private:
    QLineEdit *edit(const QString &name) const { return harness->onPage<QLineEdit>(page, name); }
    QLineEdit *paramAddr(int axis) const
    {
        return edit(axis == 0 ? QStringLiteral("lineEdit_ParamAddr") : QStringLiteral("lineEdit_ParamAddr_%1").arg(axis + 1));
    }
    QCheckBox *useLink() const { return harness->onPage<QCheckBox>(page, QStringLiteral("checkBox_UsingPlcLink")); }
    QGroupBox *group() const { return harness->onPage<QGroupBox>(page, QStringLiteral("groupBox_PlcSetting")); }
    void reenterPage()
    {
        harness->openPage("pushButton_MeasureSetting");
        harness->openPage("pushButton_PlcLinkSetting");
    }

    std::unique_ptr<WindowHarness> harness;
};

void tst_PlcLinkPage::initTestCase()
{
    harness = std::make_unique<WindowHarness>(moduleAddress);
    SimulatorOptions options;
    options.axisCount = 2;
    QVERIFY(harness->startSimulator(options));
    ModuleModel model = harness->simulator().model();
    model.usingPlcLink = true;
    model.paramAddr[0] = 10;
    model.paramAddr[1] = 20;
    model.paramAddr[2] = 30; // beyond the axis count: never read
    harness->simulator().setModel(model);
    harness->openWindow();
    QVERIFY(harness->connectModule());
    harness->openPage("pushButton_PlcLinkSetting");
    QCOMPARE(harness->currentPage(), harness->page(page));
}

void tst_PlcLinkPage::cleanupTestCase()
{
    harness.reset();
}

void tst_PlcLinkPage::groupFollowsTheCheckBoxAndTheStore()
{
    // The form starts unchecked and disabled; the module's setting checks and enables it.
    QVERIFY(useLink()->isChecked());
    QVERIFY(group()->isEnabled());
    QCOMPARE(edit(QStringLiteral("lineEdit_PlcEtherPort"))->text(), QStringLiteral("60000"));
    QCOMPARE(paramAddr(0)->text(), QStringLiteral("10"));
    QCOMPARE(paramAddr(1)->text(), QStringLiteral("20"));
    for (int axis = 0; axis < 16; ++axis) {
        QVERIFY(paramAddr(axis));
        QCOMPARE(paramAddr(axis)->isHidden(), axis >= 2);
    }
    QCOMPARE(paramAddr(2)->text(), QStringLiteral("0"));

    WindowHarness::toggle(useLink());
    QVERIFY(!useLink()->isChecked());
    QVERIFY(!group()->isEnabled());
    QVERIFY(!edit(QStringLiteral("lineEdit_PlcIpAddr"))->isEnabled());
    reenterPage();
    QVERIFY(!useLink()->isChecked());
    QVERIFY(!group()->isEnabled());
    WindowHarness::toggle(useLink());
    QVERIFY(group()->isEnabled());
    reenterPage();
    QVERIFY(useLink()->isChecked());
    QVERIFY(group()->isEnabled());
}

void tst_PlcLinkPage::applyWritesEveryValueWithTheGroupDisabled()
{
    QVERIFY(useLink()->isChecked());
    WindowHarness::type(edit(QStringLiteral("lineEdit_ModuleIpAddr")), QStringLiteral("127.0.0.99"));
    WindowHarness::type(edit(QStringLiteral("lineEdit_SubnetMask")), QStringLiteral("255.255.0.0"));
    WindowHarness::type(edit(QStringLiteral("lineEdit_PlcIpAddr")), QStringLiteral("127.0.0.98"));
    WindowHarness::type(edit(QStringLiteral("lineEdit_PlcEtherPort")), QStringLiteral("70000"));
    WindowHarness::choose(harness->onPage<QComboBox>(page, QStringLiteral("comboBox_LinkProtocol")), 6);
    WindowHarness::choose(harness->onPage<QComboBox>(page, QStringLiteral("comboBox_LinkProtocol_2")), 1);
    WindowHarness::choose(harness->onPage<QComboBox>(page, QStringLiteral("comboBox_LinkProtocol_3")), 2);
    WindowHarness::type(edit(QStringLiteral("lineEdit_CtrlFlagAddr")), QStringLiteral("100"));
    WindowHarness::type(paramAddr(0), QStringLiteral("300"));
    WindowHarness::type(paramAddr(1), QStringLiteral("-5"));
    WindowHarness::type(edit(QStringLiteral("lineEdit_MeasDataAddr")), QStringLiteral("200"));
    WindowHarness::type(edit(QStringLiteral("lineEdit_FinsSA1")), QStringLiteral("3"));
    WindowHarness::type(edit(QStringLiteral("lineEdit_FinsDA1")), QStringLiteral("4"));
    WindowHarness::type(edit(QStringLiteral("lineEdit_FinsDNA")), QStringLiteral("5"));
    WindowHarness::type(edit(QStringLiteral("lineEdit_CmodeUnitNo")), QStringLiteral("6"));
    WindowHarness::toggle(useLink());
    QVERIFY(!group()->isEnabled());

    const int before = harness->commandCount();
    auto *apply = harness->onPage<QPushButton>(page, QStringLiteral("pushButton_ApplySetting"));
    QVERIFY(harness->runOperation(apply));

    const QStringList written = harness->commandsFrom(before);
    for (const char *command : {"NIP=127.0.0.99", "NMS=255.255.0.0", "RIP=127.0.0.98", "LPN=70000", "LMD=0", "LPC1=6",
                                "LPC2=1", "LPC3=2", "FLA=100", "0PRA=300", "1PRA=-5", "MDA=200", "FINSSA1=3",
                                "FINSDA1=4", "FINSDNA=5", "CMUNITNO=6"})
        QVERIFY2(written.contains(QLatin1String(command)), command);
    // Only the axes the module has.
    QCOMPARE(WindowHarness::countMatching(written, QStringLiteral("[2-9A-F]PRA=.*")), 0);

    const ModuleModel model = harness->simulator().model();
    QCOMPARE(model.moduleIpAddr, QHostAddress(QStringLiteral("127.0.0.99")));
    QCOMPARE(model.subnetMask, QHostAddress(QStringLiteral("255.255.0.0")));
    QCOMPARE(model.plcIpAddr, QHostAddress(QStringLiteral("127.0.0.98")));
    QVERIFY(!model.usingPlcLink);
    QCOMPARE(model.linkProtocol[0], 6);
    QCOMPARE(model.linkProtocol[1], 1);
    QCOMPARE(model.linkProtocol[2], 2);
    QCOMPARE(model.ctrlFlagAddr, 100);
    QCOMPARE(model.paramAddr[0], 300);
    QCOMPARE(model.paramAddr[1], -5);
    QCOMPARE(model.paramAddr[2], 30);
    QCOMPARE(model.measDataAddr, 200);
    QCOMPARE(model.finsSA1, 3);
    QCOMPARE(model.finsDA1, 4);
    QCOMPARE(model.finsDNA, 5);
    QCOMPARE(model.cmodeUnitNo, 6);
    // The module refuses a port beyond the TCP range; the page still shows what was typed.
    QCOMPARE(model.plcEtherPort, 60000);
    QCOMPARE(edit(QStringLiteral("lineEdit_PlcEtherPort"))->text(), QStringLiteral("70000"));
}

void tst_PlcLinkPage::textsThatDoNotParse()
{
    WindowHarness::toggle(useLink());
    QVERIFY(group()->isEnabled());
    WindowHarness::type(edit(QStringLiteral("lineEdit_ModuleIpAddr")), QStringLiteral("module"));
    WindowHarness::type(edit(QStringLiteral("lineEdit_PlcEtherPort")), QStringLiteral("8o8o"));
    WindowHarness::type(edit(QStringLiteral("lineEdit_FinsDNA")), QStringLiteral("99999999999"));
    // A hidden field beyond the axis count is not captured, whatever it holds.
    WindowHarness::type(paramAddr(2), QStringLiteral("77"));
    QCOMPARE(paramAddr(2)->text(), QStringLiteral("77"));
    const int before = harness->commandCount();

    reenterPage();
    QCOMPARE(edit(QStringLiteral("lineEdit_ModuleIpAddr"))->text(), QString());
    QCOMPARE(edit(QStringLiteral("lineEdit_PlcEtherPort"))->text(), QStringLiteral("0"));
    QCOMPARE(edit(QStringLiteral("lineEdit_FinsDNA"))->text(), QStringLiteral("0"));
    QCOMPARE(paramAddr(2)->text(), QStringLiteral("0"));
    QCOMPARE(paramAddr(0)->text(), QStringLiteral("300"));
    QVERIFY(useLink()->isChecked());
    QTest::qWait(100);
    QCOMPARE(harness->commandCount(), before);
}

QTEST_MAIN(tst_PlcLinkPage)
#include "tst_plclinkpage.moc"
