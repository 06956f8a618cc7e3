// The measure-setting page against the module simulator: paging through the axes,
// what a capture makes of typed text, the reference-use switch of the preset, the
// write of every axis by "Apply Setting", and codes the combo boxes have no entry for.

#include "windowharness.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

namespace {

const QString moduleAddress = QStringLiteral("127.0.0.23");
const char page[] = "page_MeasureSetting";

SimulatorOptions axes(int count)
{
    SimulatorOptions options;
    options.axisCount = count;
    return options;
}

// The page's widgets by name; names ending in 1 belong to the first axis shown, in 2 to the second.
struct MeasurePage
{
    explicit MeasurePage(const WindowHarness &harness)
        : harness(harness)
    {
    }
    template<typename Widget>
    Widget *get(const QString &name) const
    {
        Widget *widget = harness.onPage<Widget>(page, name);
        if (!widget)
            qWarning("no %s on the measure-setting page", qPrintable(name));
        return widget;
    }
    QLineEdit *edit(const QString &name) const { return get<QLineEdit>(name); }
    QComboBox *combo(const QString &name) const { return get<QComboBox>(name); }
    QCheckBox *check(const QString &name) const { return get<QCheckBox>(name); }
    QString axis1() const { return get<QLabel>(QStringLiteral("label_Axis1"))->text(); }
    QString axis2() const { return get<QLabel>(QStringLiteral("label_Axis2"))->text(); }
    // The second axis column.
    bool secondShown() const { return !get<QWidget>(QStringLiteral("layoutWidget"))->isHidden(); }
    void next() const { WindowHarness::click(get<QPushButton>(QStringLiteral("pushButton_NextPage"))); }
    void previous() const { WindowHarness::click(get<QPushButton>(QStringLiteral("pushButton_PrevPage"))); }
    QPushButton *apply() const { return get<QPushButton>(QStringLiteral("pushButton_ApplySetting")); }

    const WindowHarness &harness;
};

} // namespace

class tst_MeasureSettingPage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void oneAxisCaptureAndReferenceUse();
    void threeAxesPagingAndApply();
    void sixteenAxesWrapAround();
    void codesWithoutEntryAreWrittenBackUnchanged();
    void axisCountBelowOneKeepsTheAxisPairInRange();

private:
    QString originalDirectory;
    std::unique_ptr<QTemporaryDir> workDirectory;
};

void tst_MeasureSettingPage::init()
{
    // Each test starts without the inch option unless it writes a settings file.
    originalDirectory = QDir::currentPath();
    workDirectory = std::make_unique<QTemporaryDir>();
    QVERIFY(workDirectory->isValid());
    QVERIFY(QDir::setCurrent(workDirectory->path()));
}

void tst_MeasureSettingPage::cleanup()
{
    QDir::setCurrent(originalDirectory);
    workDirectory.reset();
}

void tst_MeasureSettingPage::oneAxisCaptureAndReferenceUse()
{
    WindowHarness harness(moduleAddress);
    QVERIFY(harness.startSimulator(axes(1)));
    ModuleModel model = harness.simulator().model();
    model.preset[0] = 2.5;
    model.compHigh[0][0] = 1.25;
    harness.simulator().setModel(model);
    harness.openWindow();
    QVERIFY(harness.connectModule());

    MeasurePage p(harness);
    QCOMPARE(p.axis1(), QStringLiteral("0"));
    QVERIFY(!p.secondShown());
    QCOMPARE(p.edit(QStringLiteral("lineEdit_Preset1"))->text(), QStringLiteral("2.5"));
    QCOMPARE(p.edit(QStringLiteral("lineEdit_CompHigh1_1"))->text(), QStringLiteral("1.25"));
    const int readLength = harness.commandCount();

    // Each paging press captures and refreshes the one axis there is.
    WindowHarness::type(p.edit(QStringLiteral("lineEdit_Preset1")), QStringLiteral("1.50"));
    WindowHarness::type(p.edit(QStringLiteral("lineEdit_CompHigh1_1")), QStringLiteral("abc"));
    WindowHarness::type(p.edit(QStringLiteral("lineEdit_CompLow1_2")), QString());
    p.next();
    QCOMPARE(p.axis1(), QStringLiteral("0"));
    QVERIFY(!p.secondShown());
    QCOMPARE(p.edit(QStringLiteral("lineEdit_Preset1"))->text(), QStringLiteral("1.5"));
    QCOMPARE(p.edit(QStringLiteral("lineEdit_CompHigh1_1"))->text(), QStringLiteral("0"));
    QCOMPARE(p.edit(QStringLiteral("lineEdit_CompLow1_2"))->text(), QStringLiteral("0"));
    WindowHarness::type(p.edit(QStringLiteral("lineEdit_Preset1")), QStringLiteral(" -0.00003 "));
    p.previous();
    QCOMPARE(p.axis1(), QStringLiteral("0"));
    QCOMPARE(p.edit(QStringLiteral("lineEdit_Preset1"))->text(), QStringLiteral("-3e-05"));

    // The menu button of the page shown captures and refreshes it too.
    WindowHarness::type(p.edit(QStringLiteral("lineEdit_CompHigh1_3")), QStringLiteral("12.0"));
    harness.openPage("pushButton_MeasureSetting");
    QCOMPARE(p.edit(QStringLiteral("lineEdit_CompHigh1_3"))->text(), QStringLiteral("12"));

    // "Ref. use" empties and locks the preset; clearing it brings back the stored
    // preset, not what was typed before.
    QLineEdit *preset = p.edit(QStringLiteral("lineEdit_Preset1"));
    WindowHarness::type(preset, QStringLiteral("7"));
    WindowHarness::toggle(p.check(QStringLiteral("checkBox_RefUse1")));
    QVERIFY(p.check(QStringLiteral("checkBox_RefUse1"))->isChecked());
    QCOMPARE(preset->text(), QString());
    QVERIFY(!preset->isEnabled());
    WindowHarness::type(preset, QStringLiteral("8"));
    QCOMPARE(preset->text(), QString());
    WindowHarness::toggle(p.check(QStringLiteral("checkBox_RefUse1")));
    QVERIFY(preset->isEnabled());
    QCOMPARE(preset->text(), QStringLiteral("-3e-05"));

    // Leaving the page sends nothing, and what was left unapplied is still there on return.
    WindowHarness::type(preset, QStringLiteral("4.75"));
    harness.openPage("pushButton_RefPointSetting");
    harness.openPage("pushButton_PlcLinkSetting");
    harness.openPage("pushButton_MeasureSetting");
    QCOMPARE(preset->text(), QStringLiteral("4.75"));
    QCOMPARE(p.edit(QStringLiteral("lineEdit_CompHigh1_1"))->text(), QStringLiteral("0"));
    QTest::qWait(100);
    QCOMPARE(harness.commandCount(), readLength);
    QCOMPARE(harness.simulator().model().preset[0], 2.5);
}

void tst_MeasureSettingPage::threeAxesPagingAndApply()
{
    WindowHarness harness(moduleAddress);
    QVERIFY(harness.startSimulator(axes(3)));
    ModuleModel model = harness.simulator().model();
    model.unit = 1; // the tool keeps the module on millimetres without the inch option
    harness.simulator().setModel(model);
    harness.openWindow();
    QVERIFY(harness.connectModule());

    MeasurePage p(harness);
    QCOMPARE(p.axis1(), QStringLiteral("0"));
    QCOMPARE(p.axis2(), QStringLiteral("1"));
    QVERIFY(p.secondShown());

    // Axis 0 and 1.
    WindowHarness::choose(p.combo(QStringLiteral("comboBox_Resolution1")), 2);
    WindowHarness::toggle(p.check(QStringLiteral("checkBox_Direction1")));
    WindowHarness::choose(p.combo(QStringLiteral("comboBox_MeasMode1")), 3);
    WindowHarness::choose(p.combo(QStringLiteral("comboBox_CompSet1")), 1);
    WindowHarness::type(p.edit(QStringLiteral("lineEdit_Preset1")), QStringLiteral("1.50"));
    WindowHarness::type(p.edit(QStringLiteral("lineEdit_CompHigh1_4")), QStringLiteral("0.75"));
    WindowHarness::type(p.edit(QStringLiteral("lineEdit_CompLow1_4")), QString());
    WindowHarness::type(p.edit(QStringLiteral("lineEdit_Preset2")), QStringLiteral("-2"));
    WindowHarness::choose(p.combo(QStringLiteral("comboBox_Resolution2")), 4);
    QCOMPARE(p.combo(QStringLiteral("comboBox_Resolution1"))->currentIndex(), 2);
    QCOMPARE(p.combo(QStringLiteral("comboBox_MeasMode1"))->currentIndex(), 3);

    // ">>" shows axis 2 alone.
    p.next();
    QCOMPARE(p.axis1(), QStringLiteral("2"));
    QVERIFY(!p.secondShown());
    QCOMPARE(p.edit(QStringLiteral("lineEdit_Preset1"))->text(), QStringLiteral("0"));
    WindowHarness::type(p.edit(QStringLiteral("lineEdit_Preset1")), QStringLiteral("4.25"));
    WindowHarness::toggle(p.check(QStringLiteral("checkBox_RefUse1")));

    // ">>" wraps to (0, 1), which shows what was captured; "<<" goes back to axis 2 alone.
    p.next();
    QCOMPARE(p.axis1(), QStringLiteral("0"));
    QCOMPARE(p.axis2(), QStringLiteral("1"));
    QVERIFY(p.secondShown());
    QCOMPARE(p.edit(QStringLiteral("lineEdit_Preset1"))->text(), QStringLiteral("1.5"));
    QCOMPARE(p.edit(QStringLiteral("lineEdit_Preset2"))->text(), QStringLiteral("-2"));
    QCOMPARE(p.combo(QStringLiteral("comboBox_Resolution1"))->currentIndex(), 2);
    QVERIFY(p.check(QStringLiteral("checkBox_Direction1"))->isChecked());
    QCOMPARE(p.edit(QStringLiteral("lineEdit_CompLow1_4"))->text(), QStringLiteral("0"));
    p.previous();
    QCOMPARE(p.axis1(), QStringLiteral("2"));
    QVERIFY(!p.secondShown());
    QVERIFY(p.check(QStringLiteral("checkBox_RefUse1"))->isChecked());
    QCOMPARE(p.edit(QStringLiteral("lineEdit_Preset1"))->text(), QString());
    QVERIFY(!p.edit(QStringLiteral("lineEdit_Preset1"))->isEnabled());

    // Module-wide settings, and one limit the module keeps with fewer digits.
    WindowHarness::choose(p.combo(QStringLiteral("comboBox_ExtStartInput")), 1);
    WindowHarness::choose(p.combo(QStringLiteral("comboBox_Separator")), 1);
    WindowHarness::choose(p.combo(QStringLiteral("comboBox_DataFormat")), 1);
    WindowHarness::choose(p.combo(QStringLiteral("comboBox_OutputTrigger")), 3);
    WindowHarness::type(p.edit(QStringLiteral("lineEdit_CompHigh1_1")), QStringLiteral("1.0000001"));

    const int readLength = harness.commandCount();
    QVERIFY(harness.runOperation(p.apply()));

    const QStringList written = harness.commandsFrom(readLength);
    QCOMPARE(WindowHarness::countMatching(written, QStringLiteral("SETUP")), 1);
    QCOMPARE(WindowHarness::countMatching(written, QStringLiteral("CLOSE")), 1);
    QVERIFY(written.contains(QStringLiteral("0SCALE=0")));
    // Every axis is written, the pairs not shown with what was captured when paging away.
    for (int axis = 0; axis < 3; ++axis)
        QCOMPARE(WindowHarness::countMatching(written, QStringLiteral("0%1RSL=[0-9]").arg(axis)), 1);
    QCOMPARE(WindowHarness::countMatching(written, QStringLiteral("02P=.*")), 0); // axis 2 uses the reference point

    const ModuleModel after = harness.simulator().model();
    QCOMPARE(after.resolution[0], 3);
    QCOMPARE(after.resolution[1], 5);
    QCOMPARE(after.resolution[2], 1);
    QVERIFY(after.direction[0]);
    QVERIFY(!after.direction[1]);
    QCOMPARE(after.measMode[0], 3);
    QCOMPARE(after.compSet[0], 2);
    QCOMPARE(after.preset[0], 1.5);
    QCOMPARE(after.preset[1], -2.0);
    QCOMPARE(after.preset[2], 0.0);
    QCOMPARE(after.compHigh[3][0], 0.75);
    QCOMPARE(after.compLow[3][0], 0.0);
    QVERIFY(!after.refUse[0]);
    QVERIFY(after.refUse[2]);
    QCOMPARE(after.compHigh[0][2], 1.0);
    QCOMPARE(after.extStartInput, 1);
    QCOMPARE(after.separator, 1);
    QCOMPARE(after.dataFormat, 1);
    QCOMPARE(after.outputTrigger, 3);
    QCOMPARE(after.unit, 0);

    // The page keeps the typed text although the module read back a rounded value.
    QCOMPARE(p.edit(QStringLiteral("lineEdit_CompHigh1_1"))->text(), QStringLiteral("1.0000001"));
    QCOMPARE(p.axis1(), QStringLiteral("2"));
}

void tst_MeasureSettingPage::sixteenAxesWrapAround()
{
    WindowHarness harness(moduleAddress);
    QVERIFY(harness.startSimulator(axes(16)));
    harness.openWindow();
    QVERIFY(harness.connectModule());
    QCOMPARE(harness.axisNumEdit()->text(), QStringLiteral("16"));

    MeasurePage p(harness);
    p.previous();
    QCOMPARE(p.axis1(), QStringLiteral("14"));
    QCOMPARE(p.axis2(), QStringLiteral("15"));
    QVERIFY(p.secondShown());
    p.next();
    QCOMPARE(p.axis1(), QStringLiteral("0"));
    QCOMPARE(p.axis2(), QStringLiteral("1"));
    for (int pair = 1; pair < 8; ++pair) {
        p.next();
        QCOMPARE(p.axis1(), QString::number(2 * pair));
        QCOMPARE(p.axis2(), QString::number(2 * pair + 1));
        QVERIFY(p.secondShown());
    }
    p.next();
    QCOMPARE(p.axis1(), QStringLiteral("0"));
}

void tst_MeasureSettingPage::codesWithoutEntryAreWrittenBackUnchanged()
{
    {
        QFile settings(QStringLiteral("setting.ini"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[Unit]\nin=1\n");
    }
    WindowHarness harness(moduleAddress);
    QVERIFY(harness.startSimulator(axes(2)));
    ModuleModel model = harness.simulator().model();
    model.resolution[0] = 0;
    model.resolution[1] = 6;
    model.compSet[0] = 7;
    model.compSet[1] = 0;
    model.measMode[0] = 4;
    model.unit = 2;
    model.dataFormat = 5;
    model.separator = 2;
    model.extStartInput = 3;
    model.outputTrigger = 10;
    harness.simulator().setModel(model);
    harness.openWindow();
    QVERIFY(harness.connectModule());

    MeasurePage p(harness);
    QVERIFY(!p.combo(QStringLiteral("comboBox_Unit"))->isHidden());
    for (const char *name : {"comboBox_Resolution1", "comboBox_Resolution2", "comboBox_CompSet1", "comboBox_CompSet2",
                             "comboBox_MeasMode1", "comboBox_Unit", "comboBox_DataFormat", "comboBox_Separator",
                             "comboBox_ExtStartInput", "comboBox_OutputTrigger"}) {
        QComboBox *box = p.combo(QLatin1String(name));
        QVERIFY2(box, name);
        QVERIFY2(box->currentIndex() == -1, name);
    }
    QCOMPARE(p.combo(QStringLiteral("comboBox_MeasMode2"))->currentIndex(), 0);

    // Paging away and back keeps them as the module reported them.
    p.next();
    QCOMPARE(p.combo(QStringLiteral("comboBox_Resolution1"))->currentIndex(), -1);
    QCOMPARE(p.combo(QStringLiteral("comboBox_CompSet2"))->currentIndex(), -1);

    const int readLength = harness.commandCount();
    QVERIFY(harness.runOperation(p.apply()));
    const QStringList written = harness.commandsFrom(readLength);
    for (const char *command : {"00RSL=0", "01RSL=6", "00SCN=7", "01SCN=0", "00MODE=4", "01MODE=0", "0SCALE=2",
                                "0RSFORM=5", "0RSSEP=2", "0STTERM=3", "0RSTRG=10"})
        QVERIFY2(written.contains(QLatin1String(command)), command);
}

void tst_MeasureSettingPage::axisCountBelowOneKeepsTheAxisPairInRange()
{
    // A configuration reply with the unit digit alone leaves the axis count unset
    // (-1), as an unanswered one does, but keeps the unit commands answered.
    WindowHarness harness(moduleAddress);
    SimulatorOptions options = axes(2);
    options.garblePatterns << WindowHarness::whole(QStringLiteral("CONFIG=\\?"));
    options.garbageValue = QStringLiteral("0");
    QVERIFY(harness.startSimulator(options));
    harness.openWindow();
    QVERIFY(harness.connectModule());
    QCOMPARE(harness.moduleIdEdit()->text(), QStringLiteral("0"));
    QCOMPARE(harness.axisNumEdit()->text(), QStringLiteral("-1"));

    MeasurePage p(harness);
    QCOMPARE(p.axis1(), QStringLiteral("0"));
    QVERIFY(!p.secondShown());
    for (int press = 0; press < 3; ++press) {
        p.previous();
        QCOMPARE(p.axis1(), QStringLiteral("0"));
        QCOMPARE(p.axis2(), QStringLiteral("1"));
        QVERIFY(!p.secondShown());
    }
    for (int press = 0; press < 3; ++press) {
        p.next();
        QCOMPARE(p.axis1(), QStringLiteral("0"));
        QVERIFY(!p.secondShown());
    }

    // The other pages show no axis rows at all.
    harness.openPage("pushButton_RefPointSetting");
    QVERIFY(harness.onPage<QLineEdit>("page_RefPointSetting", QStringLiteral("lineEdit_MasterValue1"))->isHidden());
    harness.openPage("pushButton_MeasureMonitor");
    QVERIFY(harness.onPage<QLabel>("page_MeasureMonitor", QStringLiteral("label_Measure_1"))->isHidden());
    harness.openPage("pushButton_PlcLinkSetting");
    QVERIFY(harness.onPage<QLineEdit>("page_PlcLinkSetting", QStringLiteral("lineEdit_ParamAddr"))->isHidden());
    harness.openPage("pushButton_MeasureSetting");
    QCOMPARE(p.axis1(), QStringLiteral("0"));
}

QTEST_MAIN(tst_MeasureSettingPage)
#include "tst_measuresettingpage.moc"
