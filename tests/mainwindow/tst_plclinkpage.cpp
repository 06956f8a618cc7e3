// The PLC-link page against a two-axis module simulator, over one connection: the
// group that follows "Use PLC-Link".

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

QTEST_MAIN(tst_PlcLinkPage)
#include "tst_plclinkpage.moc"
