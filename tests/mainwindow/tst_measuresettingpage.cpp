// The measure-setting page against the module simulator: paging through sixteen
// axes, and codes the combo boxes have no entry for.

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

    void sixteenAxesWrapAround();
    void codesWithoutEntryAreWrittenBackUnchanged();

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

QTEST_MAIN(tst_MeasureSettingPage)
#include "tst_measuresettingpage.moc"
