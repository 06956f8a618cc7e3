// SPDX-License-Identifier: GPL-3.0-or-later
// The pages against the module simulator: what each setting page captures from
// the operator and sends when applied, the monitor's rows and its polls, and the
// About window's inch-unit option. Progress values reaching the busy dialog are
// checked once, on the shortest operation (a reference point). A page shows a device
// code as the index of a combo box entry, so the entries stand in the module's order.

#include "form_about.h"
#include "windowharness.h"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QStatusBar>

#include <algorithm>
#include <cmath>

// The inch-unit option, read from "setting.ini" in the working folder when the
// window starts, shows the unit selector.
static bool unitSelectorShown(const WindowHarness &harness)
{
    return !harness.onPage<QComboBox>("page_MeasureSetting", "comboBox_Unit")->isHidden();
}

class tst_Pages : public QObject
{
    Q_OBJECT

private slots:
    void comboEntriesFollowDeviceCodes_data();
    void comboEntriesFollowDeviceCodes();
    void measureSettingPagingAndApply();
    void refPointRowsApplyAndClear();
    void plcLinkApplyWritesEveryValue();
    void valuesKeepEveryDigitThroughPagesAndApply();
    void monitorRowsFromAReading_data();
    void monitorRowsFromAReading();
    void monitorPollsDoNotPileUpBehindASilentModule();
    void editsAreMarkedAndAskedAboutOnDisconnect();
    void aboutWindowSavesTheInchOption_data();
    void aboutWindowSavesTheInchOption();
};

void tst_Pages::comboEntriesFollowDeviceCodes_data()
{
    QTest::addColumn<QString>("combo");
    QTest::addColumn<QStringList>("entries"); // from the first code on
    const QString mu = QStringLiteral("\u03bcm");
    for (const char *block : {"1", "2"}) {
        const QString b = QLatin1String(block);
        QTest::addRow("comboBox_Resolution%s", block)
            << "comboBox_Resolution" + b << QStringList{"0.1" + mu, "0.5" + mu, "1" + mu, "5" + mu, "10" + mu};
        QTest::addRow("comboBox_MeasMode%s", block) << "comboBox_MeasMode" + b << QStringList{"REAL", "MAX", "MIN", "P-P"};
        QTest::addRow("comboBox_CompSet%s", block) << "comboBox_CompSet" + b << QStringList{"1", "2", "3", "4"};
    }
    QTest::newRow("comboBox_ExtStartInput") << "comboBox_ExtStartInput" << QStringList{"Start", "Latch"};
    QTest::newRow("comboBox_Separator") << "comboBox_Separator" << QStringList{"SPACE", "CR+LF"};
    QTest::newRow("comboBox_DataFormat") << "comboBox_DataFormat" << QStringList{"Mode 1", "Mode 2", "Mode 3"};
    QTest::newRow("comboBox_OutputTrigger")
        << "comboBox_OutputTrigger"
        << QStringList{"Low-Speed Trg.", "High-Speed Trg.", "Int. Timer(0.2s)", "Int. Timer(0.5s)", "Int. Timer(1.0s)",
                       "Int. Timer(5.0s)", "Int. Timer(10s)", "Int. Timer(30s)", "Int. Timer(60s)", "Int. Timer(300s)"};
    QTest::newRow("comboBox_FlowControl") << "comboBox_FlowControl" << QStringList{"OFF", "ON"};
    QTest::newRow("comboBox_Unit") << "comboBox_Unit" << QStringList{"mm", "mm/25.4"};
    QTest::newRow("comboBox_LinkProtocol")
        << "comboBox_LinkProtocol"
        << QStringList{"1C Frame", "3C Frame", "1E Frame", "3E Frame", "3E Frame for iQ-R", "C mode command",
                       "FINS command", "KV command"};
    QTest::newRow("comboBox_LinkProtocol_2") << "comboBox_LinkProtocol_2" << QStringList{"ASCII", "Binary"};
    QTest::newRow("comboBox_LinkProtocol_3") << "comboBox_LinkProtocol_3" << QStringList{"RS-232C", "TCP", "UDP"};
}

void tst_Pages::comboEntriesFollowDeviceCodes()
{
    QFETCH(QString, combo);
    QFETCH(QStringList, entries);
    WindowHarness harness;
    auto *box = harness.openWindow()->findChild<QComboBox *>(combo);
    QStringList actual;
    for (int index = 0; index < box->count(); ++index)
        actual << box->itemText(index);
    QCOMPARE(actual, entries);
}

void tst_Pages::measureSettingPagingAndApply()
{
    WindowHarness harness;
    SimulatorOptions options;
    options.axisCount = 3;
    QVERIFY(harness.startSimulator(options));
    ModuleModel model = harness.simulator().model();
    model.unit = 1;          // without the inch option the tool keeps the module on millimetres
    model.resolution[2] = 6; // codes the combo boxes have no entry for are written back unchanged
    model.dataFormat = 5;
    harness.simulator().setModel(model);
    harness.openWindow();
    QVERIFY(harness.connectModule());

    const char *const page = "page_MeasureSetting";
    auto edit = [&](const char *name) { return harness.onPage<QLineEdit>(page, name); };
    auto combo = [&](const char *name) { return harness.onPage<QComboBox>(page, name); };
    auto check = [&](const char *name) { return harness.onPage<QCheckBox>(page, name); };
    auto press = [&](const char *name) { WindowHarness::click(harness.onPage<QPushButton>(page, name)); };
    // The axes shown, as "first/second"; the second column is hidden past the last axis.
    auto shown = [&] {
        const bool second = !harness.onPage<QWidget>(page, "layoutWidget")->isHidden();
        return harness.onPage<QLabel>(page, "label_Axis1")->text() + QLatin1Char('/')
                + (second ? harness.onPage<QLabel>(page, "label_Axis2")->text() : QString());
    };
    auto *paging = harness.onPage<QLabel>(page, "label_AxisPage");

    QCOMPARE(shown(), QStringLiteral("0/1"));
    QCOMPARE(paging->text(), QStringLiteral("axes 0\u20131 of 3"));
    WindowHarness::choose(combo("comboBox_Resolution1"), 2);
    WindowHarness::toggle(check("checkBox_Direction1"));
    WindowHarness::choose(combo("comboBox_MeasMode1"), 3);
    WindowHarness::choose(combo("comboBox_CompSet1"), 1);
    WindowHarness::type(edit("lineEdit_Preset1"), QStringLiteral("1.50"));
    WindowHarness::type(edit("lineEdit_CompHigh1_4"), QStringLiteral("0.75"));
    WindowHarness::choose(combo("comboBox_Resolution2"), 4);
    WindowHarness::type(edit("lineEdit_Preset2"), QStringLiteral("-2"));

    // ">>" shows axis 2 alone; "Ref. use" empties and locks its preset.
    press("pushButton_NextPage");
    QCOMPARE(shown(), QStringLiteral("2/"));
    QCOMPARE(paging->text(), QStringLiteral("axis 2 of 3"));
    WindowHarness::toggle(check("checkBox_RefUse1"));
    QCOMPARE(edit("lineEdit_Preset1")->text(), QString());
    QVERIFY(!edit("lineEdit_Preset1")->isEnabled());

    // ">>" wraps to the first pair; "<<" wraps back.
    press("pushButton_NextPage");
    QCOMPARE(shown(), QStringLiteral("0/1"));
    press("pushButton_PrevPage");
    QCOMPARE(shown(), QStringLiteral("2/"));

    WindowHarness::choose(combo("comboBox_ExtStartInput"), 1);
    WindowHarness::choose(combo("comboBox_Separator"), 1);
    WindowHarness::choose(combo("comboBox_OutputTrigger"), 3);
    harness.simulator().clearCommandLog();
    QVERIFY(harness.runOperation(harness.onPage<QPushButton>(page, "pushButton_ApplySetting")));

    // The settings written; the axis that uses the reference point keeps its preset.
    const QStringList written = harness.commands().filter(QRegularExpression(QStringLiteral("^0.*=[^?]*$")));
    for (const char *command : {"0SCALE=0", "00RSL=3", "00POL=1", "00MODE=3", "00SCN=2", "00P=1.5", "00CH4=0.75",
                                "01RSL=5", "01POL=0", "01P=-2", "02RSL=6", "02REF=1", "0STTERM=1", "0RSSEP=1",
                                "0RSFORM=5", "0RSTRG=3"})
        QVERIFY2(written.contains(QLatin1String(command)), command);
    QVERIFY(written.filter(QStringLiteral("02P=")).isEmpty());
}

void tst_Pages::refPointRowsApplyAndClear()
{
    WindowHarness harness(true);
    SimulatorOptions options;
    options.axisCount = 4;
    QVERIFY(harness.startSimulator(options));
    ModuleModel model = harness.simulator().model();
    model.refUse = {true, false, true, true};
    model.preset[0] = 1.25;
    model.preset[1] = 3.0;
    model.refOffset[0] = 0.5;
    model.refOffset[3] = -0.125;
    harness.simulator().setModel(model);
    harness.openWindow();
    QVERIFY(harness.connectModule());
    harness.openPage("pushButton_RefPointSetting");

    auto widget = [&](const char *pattern, int axis) {
        return harness.onPage<QWidget>("page_RefPointSetting", QString::fromLatin1(pattern).arg(axis + 1));
    };
    auto value = [&](int axis) { return static_cast<QLineEdit *>(widget("lineEdit_MasterValue%1", axis)); };
    auto offset = [&](int axis) { return static_cast<QLineEdit *>(widget("lineEdit_MasterOffset%1", axis)); };
    const char *const row[] = {"lineEdit_MasterValue%1", "lineEdit_MasterOffset%1", "pushButton_ApplyRef%1",
                               "pushButton_Clear%1"};
    for (int axis = 0; axis < 16; ++axis) {
        for (const char *pattern : row) {
            QCOMPARE(widget(pattern, axis)->isHidden(), axis >= 4);
            QCOMPARE(widget(pattern, axis)->isEnabled(), axis != 1 && axis < 4);
        }
    }
    QVERIFY(widget(row[0], 1)->toolTip().contains(QLatin1String("tick \"Ref. use\"")));
    // No reference use: empty although the module has a preset.
    QCOMPARE(value(0)->text() + ' ' + offset(0)->text() + ' ' + value(1)->text(), QStringLiteral("1.25 0.5 "));

    // "Apply" writes its own row only, and shows the offset the module worked out.
    WindowHarness::type(value(0), QStringLiteral("2.50"));
    WindowHarness::type(value(3), QStringLiteral("9"));
    harness.simulator().clearCommandLog();
    QSignalSpy progress(harness.busyDialog()->findChild<QProgressBar *>(), &QProgressBar::valueChanged);
    QVERIFY(harness.runOperation(static_cast<QPushButton *>(widget(row[2], 0))));
    QTRY_COMPARE(harness.commands(), QStringList({"SETUP", "00P=2.5", "CLOSE", "00P=?", "00LO=?"}));
    const double moduleOffset = harness.simulator().model().refOffset[0];
    QVERIFY2(std::abs(offset(0)->text().toDouble() - moduleOffset) <= 1e-5, qPrintable(offset(0)->text()));
    QCOMPARE(value(3)->text(), QStringLiteral("9"));
    // Every progress value reached the dialog, in order, up to its maximum.
    QList<int> values;
    for (const QList<QVariant> &call : qAsConst(progress))
        values << call.first().toInt();
    QVERIFY(std::is_sorted(values.begin(), values.end()));
    QCOMPARE(values.mid(values.size() - 5), QList<int>({1, 2, 3, 4, 5}));
    QCOMPARE(harness.busyDialog()->maximum(), 5);

    // "Clear" with a module that no longer reports reference use for the axis locks its row.
    model = harness.simulator().model();
    model.refUse[3] = false;
    harness.simulator().setModel(model);
    // Asked first; No sends nothing.
    harness.simulator().clearCommandLog();
    WindowHarness::click(static_cast<QPushButton *>(widget(row[3], 3)));
    QVERIFY(WindowHarness::question()->text().startsWith(QLatin1String("Clear the reference point of axis 3?")));
    WindowHarness::answer(QMessageBox::No);
    WindowHarness::click(static_cast<QPushButton *>(widget(row[3], 3)));
    WindowHarness::answer(QMessageBox::Yes);
    QTRY_COMPARE(harness.commands(), QStringList({"SETUP", "03LCLR", "CLOSE", "03LO=?", "03REF=?"}));
    QVERIFY(harness.waitFor(QStringLiteral("Disconnect")));
    QCOMPARE(value(3)->text() + offset(3)->text(), QString());
    for (const char *pattern : row)
        QVERIFY(!widget(pattern, 3)->isEnabled());
}

void tst_Pages::plcLinkApplyWritesEveryValue()
{
    WindowHarness harness(true);
    SimulatorOptions options;
    options.axisCount = 2;
    QVERIFY(harness.startSimulator(options));
    ModuleModel model = harness.simulator().model();
    model.usingPlcLink = true;
    model.paramAddr[1] = 20;
    harness.simulator().setModel(model);
    harness.openWindow();
    QVERIFY(harness.connectModule());
    harness.openPage("pushButton_PlcLinkSetting");

    const char *const page = "page_PlcLinkSetting";
    auto edit = [&](const char *name) { return harness.onPage<QLineEdit>(page, name); };
    auto *useLink = harness.onPage<QCheckBox>(page, "checkBox_UsingPlcLink");
    auto *group = harness.onPage<QGroupBox>(page, "groupBox_PlcSetting");
    QVERIFY(useLink->isChecked());
    QVERIFY(group->isEnabled());
    QCOMPARE(edit("lineEdit_ParamAddr_2")->text(), QStringLiteral("20"));
    QVERIFY(edit("lineEdit_ParamAddr_3")->isHidden());

    const QList<std::pair<const char *, const char *>> typed = {
        {"lineEdit_ModuleIpAddr", "127.0.0.99"}, {"lineEdit_SubnetMask", "255.255.0.0"},
        {"lineEdit_PlcIpAddr", "127.0.0.98"},    {"lineEdit_PlcEtherPort", "5001"},
        {"lineEdit_CtrlFlagAddr", "100"},        {"lineEdit_ParamAddr", "300"},
        {"lineEdit_ParamAddr_2", "-5"},          {"lineEdit_MeasDataAddr", "200"},
        {"lineEdit_FinsSA1", "3"},               {"lineEdit_FinsDA1", "4"},
        {"lineEdit_FinsDNA", "5"},               {"lineEdit_CmodeUnitNo", "6"}};
    for (const auto &[name, text] : typed)
        WindowHarness::type(edit(name), QLatin1String(text));
    WindowHarness::choose(harness.onPage<QComboBox>(page, "comboBox_LinkProtocol"), 6);
    WindowHarness::choose(harness.onPage<QComboBox>(page, "comboBox_LinkProtocol_2"), 1);
    WindowHarness::choose(harness.onPage<QComboBox>(page, "comboBox_LinkProtocol_3"), 2);
    WindowHarness::toggle(useLink);
    QVERIFY(!group->isEnabled());

    // The new address is asked about first; Escape sends nothing.
    harness.simulator().clearCommandLog();
    auto *apply = harness.onPage<QPushButton>(page, "pushButton_ApplySetting");
    WindowHarness::click(apply);
    QVERIFY2(WindowHarness::question()->text().contains(QLatin1String("answer at 127.0.0.99 (subnet mask 255.255.0.0)")),
             qPrintable(WindowHarness::question()->text()));
    QTest::keyClick(WindowHarness::question(), Qt::Key_Escape);
    WindowHarness::click(apply);
    WindowHarness::answer(QMessageBox::Yes);
    // Only the parameter addresses of the axes the module has.
    const QString expected = QStringLiteral(
        "SETUP NIP=127.0.0.99 NMS=255.255.0.0 LPN=5001 LMD=0 LPC1=6 LPC2=1 LPC3=2 FINSSA1=3 FINSDA1=4 FINSDNA=5 "
        "CMUNITNO=6 RIP=127.0.0.98 0PRA=300 1PRA=-5 FLA=100 MDA=200 CLOSE NIP=? NMS=? LPN=? LMD=? LPC1=? LPC2=? "
        "LPC3=? FINSSA1=? FINSDA1=? FINSDNA=? CMUNITNO=? RIP=? 0PRA=? 1PRA=? FLA=? MDA=?");
    // The module logs a command once it has answered it, which may come just after the window is idle.
    QTRY_COMPARE(harness.commands(), expected.split(QLatin1Char(' ')));
}

void tst_Pages::valuesKeepEveryDigitThroughPagesAndApply()
{
    WindowHarness harness(true);
    SimulatorOptions options;
    options.axisCount = 2;
    QVERIFY(harness.startSimulator(options));
    ModuleModel model = harness.simulator().model();
    model.preset[0] = model.compHigh[0][0] = 123.4567; // 0.1 um resolution on a 123 mm master
    model.compLow[0][0] = -0.0001234;
    model.compHigh[1][1] = 1234567.0;
    model.refUse[1] = true;
    model.preset[1] = 1.2345678;
    model.refOffset[1] = -12.3456789;
    harness.simulator().setModel(model);
    harness.openWindow();
    QVERIFY(harness.connectModule());

    const char *const page = "page_MeasureSetting";
    auto text = [&](const char *pageName, const char *name) { return harness.onPage<QLineEdit>(pageName, name)->text(); };
    QCOMPARE(QStringList({text(page, "lineEdit_Preset1"), text(page, "lineEdit_CompHigh1_1"),
                          text(page, "lineEdit_CompLow1_1"), text(page, "lineEdit_CompHigh2_2")}),
             QStringList({"123.4567", "123.4567", "-0.0001234", "1.234567e+06"}));
    // The reference-point page captures its master values when it is left.
    harness.openPage("pushButton_RefPointSetting");
    QCOMPARE(text("page_RefPointSetting", "lineEdit_MasterValue2") + ' '
                     + text("page_RefPointSetting", "lineEdit_MasterOffset2"),
             QStringLiteral("1.2345678 -12.3456789"));
    harness.openPage("pushButton_MeasureSetting");

    // Applied untouched, nothing changes on the module (std::array compares exactly).
    auto *apply = harness.onPage<QPushButton>(page, "pushButton_ApplySetting");
    QVERIFY(harness.runOperation(apply));
    const ModuleModel after = harness.simulator().model();
    QVERIFY(after.preset == model.preset && after.compHigh == model.compHigh && after.compLow == model.compLow);
    for (const char *command : {"00P=123.4567", "00CH1=123.4567", "01CH2=1.234567E+06"})
        QVERIFY2(harness.commands().contains(QLatin1String(command)), command);

    // Typed text keeps every digit, on the module and in its field, also when shown again.
    auto *typed = harness.onPage<QLineEdit>(page, "lineEdit_CompLow1_2");
    WindowHarness::type(typed, QStringLiteral("0.123456789012"));
    QVERIFY(harness.runOperation(apply));
    QVERIFY(harness.simulator().model().compLow[1][0] == 0.123456789012);
    harness.openPage("pushButton_RefPointSetting");
    harness.openPage("pushButton_MeasureSetting");
    QCOMPARE(typed->text(), QStringLiteral("0.123456789012"));
}

void tst_Pages::monitorRowsFromAReading_data()
{
    // Per axis: value, mode and comparator symbol; green dot, neutral dash, red otherwise.
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("reading");
    QTest::addColumn<QStringList>("rows");
    const QString mode3 = QStringLiteral("0 N G+1.50000 1 A U-0.00001 2 I L+0.00000 3 P E--------");
    QTest::newRow("millimetres") << 0 << 2 << mode3
                                 << QStringList{"+1.500 REAL \u25CF", "-0.00 MAX \u25B2", "+0.0000 MIN \u25BC", "Error  E"};
    QTest::newRow("inches") << 1 << 2 << mode3
                            << QStringList{"+1.5000 REAL \u25CF", "-0.000 MAX \u25B2", "+0.00000 MIN \u25BC", "Error  E"};
    QTest::newRow("Mode 1 judges nothing") << 0 << 0 << "0 +1.50000 1 +9.99000 2 -0.00001 3 --------"
                                           << QStringList{"+1.500 N/A \u2013", "+9.99 N/A \u2013", "-0.0000 N/A \u2013", "Error  \u2013"};
}

void tst_Pages::monitorRowsFromAReading()
{
    QFETCH(int, unit);
    QFETCH(int, format);
    QFETCH(QString, reading);
    QFETCH(QStringList, rows);
    WindowHarness harness(true);
    SimulatorOptions options;
    options.axisCount = 4;
    // Every poll gets this reading in place of the simulated one.
    options.garblePatterns << SimulatorOptions::wholeCommand(QStringLiteral("R"));
    options.garbageValue = reading;
    QVERIFY(harness.startSimulator(options));
    ModuleModel model = harness.simulator().model();
    model.resolution = {3, 5, 1, 1};
    model.unit = unit;
    model.dataFormat = format;
    harness.simulator().setModel(model);
    harness.openWindow();
    QVERIFY(harness.connectModule());
    harness.openPage("pushButton_MeasureMonitor");

    auto label = [&](const char *pattern, int axis) {
        return harness.onPage<QLabel>("page_MeasureMonitor", QString::fromLatin1(pattern).arg(axis + 1));
    };
    auto row = [&](int axis) {
        return QStringList{label("label_Measure_%1", axis)->text(), label("label_Mode_%1", axis)->text(),
                           label("label_Comp_%1", axis)->text()}.join(QLatin1Char(' '));
    };
    QTRY_COMPARE_WITH_TIMEOUT(row(0), rows.at(0), WindowHarness::waitMs);
    for (int axis = 0; axis < 4; ++axis) {
        QCOMPARE(row(axis), rows.at(axis));
        const QColor colour = label("label_Comp_%1", axis)->palette().color(QPalette::WindowText);
        const QChar symbol = rows.at(axis).back();
        QCOMPARE(colour, symbol == QChar(0x25CF) ? QColor(Qt::green)
                         : symbol == QChar(0x2013) ? QPalette().color(QPalette::WindowText)
                                                   : QColor(Qt::red));
    }
    QVERIFY(label("label_Measure_%1", 4)->isHidden());
}

void tst_Pages::monitorPollsDoNotPileUpBehindASilentModule()
{
    WindowHarness harness(true);
    SimulatorOptions options;
    options.axisCount = 1;
    options.silentPatterns << SimulatorOptions::wholeCommand(QStringLiteral("R"));
    QVERIFY(harness.startSimulator(options));
    harness.openWindow();
    QVERIFY(harness.connectModule());
    harness.simulator().clearCommandLog();

    QElapsedTimer shown;
    shown.start();
    harness.openPage("pushButton_MeasureMonitor");
    QTRY_VERIFY_WITH_TIMEOUT(harness.commands().count(QStringLiteral("R")) >= 2, WindowHarness::waitMs);
    // The page says so, with greyed rows that judge nothing.
    auto *line = harness.onPage<QLabel>("page_MeasureMonitor", "label_NoReading");
    QTRY_VERIFY(line->isVisible());
    QVERIFY2(QRegularExpression(QStringLiteral("^No reading from %1 since \\d\\d:\\d\\d:\\d\\d$")
                                        .arg(QRegularExpression::escape(harness.moduleAddress())))
                     .match(line->text())
                     .hasMatch(),
             qPrintable(line->text()));
    QVERIFY(!harness.onPage<QLabel>("page_MeasureMonitor", "label_Measure_1")->isEnabled());
    QCOMPARE(harness.onPage<QLabel>("page_MeasureMonitor", "label_Comp_1")->text(), QString());
    harness.openPage("pushButton_MeasureSetting");
    // Each unanswered poll holds the link for its second-long reply wait, and one
    // more may wait queued; a timer-paced backlog would send five a second.
    const int polls = harness.commands().count(QStringLiteral("R"));
    QVERIFY2(polls <= shown.elapsed() / 1000 + 2, qPrintable(QString::number(polls)));

    // An Apply right after leaving is not stuck behind polls, and none follows it.
    harness.simulator().clearCommandLog();
    QVERIFY(harness.runOperation(harness.onPage<QPushButton>("page_MeasureSetting", "pushButton_ApplySetting")));
    const QStringList after = harness.commands();
    const int setup = after.indexOf(QStringLiteral("SETUP"));
    QVERIFY(setup >= 0 && setup <= 1);
    QCOMPARE(after.mid(setup).count(QStringLiteral("R")), 0);
}

void tst_Pages::editsAreMarkedAndAskedAboutOnDisconnect()
{
    WindowHarness harness(true);
    SimulatorOptions options;
    options.axisCount = 2;
    // After the read (54 commands), the module reads back another upper limit than it was sent.
    options.garblePatterns << SimulatorOptions::wholeCommand(QStringLiteral("01CH1=\\?"));
    options.garbleAfter = 54;
    options.garbageValue = QStringLiteral("0.25");
    QVERIFY(harness.startSimulator(options));
    MainWindow *window = harness.openWindow();
    // The window keeps the size its forms are laid out for, with room for all of them.
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QVERIFY(window->centralWidget()->rect().contains(harness.bar("widget_menu")->geometry()));
    QVERIFY(harness.connectModule());

    // Tab leads from "Connect" to "Find..." and the page buttons, and only then into the page.
    QStringList tabs;
    for (QWidget *widget = harness.connectButton()->nextInFocusChain(); tabs.size() < 6;
         widget = widget->nextInFocusChain()) {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisible())
            tabs << widget->objectName();
    }
    QCOMPARE(tabs, QStringList({"pushButton_FindModules", "pushButton_MeasureSetting", "pushButton_RefPointSetting",
                                "pushButton_PlcLinkSetting", "pushButton_MeasureMonitor", "comboBox_Resolution1"}));
    QVERIFY(window->findChild<QPushButton *>(QStringLiteral("pushButton_MeasureSetting"))->isChecked());

    // A write names and marks what the module read back otherwise.
    QVERIFY(harness.runOperation(harness.onPage<QPushButton>("page_MeasureSetting", QStringLiteral("pushButton_ApplySetting"))));
    QVERIFY2(window->statusBar()->currentMessage().contains(QLatin1String("holds other values for axis 1, Comp. High 1 (0.25)")),
             qPrintable(window->statusBar()->currentMessage()));
    QVERIFY(harness.onPage<QLineEdit>("page_MeasureSetting", QStringLiteral("lineEdit_CompHigh2_1"))->toolTip().endsWith(QLatin1String("holds 0.25.")));

    // A field is marked while it differs from the module's value.
    auto *high = harness.onPage<QLineEdit>("page_MeasureSetting", QStringLiteral("lineEdit_CompHigh1_2"));
    const QString held = high->text();
    WindowHarness::type(high, QStringLiteral("0.5"));
    QVERIFY(high->toolTip().endsWith(QStringLiteral("The module holds %1.").arg(held)));
    WindowHarness::type(high, held);
    QCOMPARE(high->toolTip(), QString());

    // "Disconnect" with an edit pending asks: Escape stays and sends nothing; Apply writes, then disconnects.
    WindowHarness::type(high, QStringLiteral("0.5"));
    harness.simulator().clearCommandLog();
    WindowHarness::click(harness.connectButton());
    QVERIFY(WindowHarness::question()->text().contains(QLatin1String(": axis 0, Comp. High 2; axis 1, Comp. High 1.")));
    QTest::keyClick(WindowHarness::question(), Qt::Key_Escape);
    QCOMPARE(harness.connectButton()->text(), QStringLiteral("Disconnect"));
    WindowHarness::click(harness.connectButton());
    WindowHarness::answer(QMessageBox::Apply);
    QVERIFY(harness.waitFor(QStringLiteral("Connect")));
    QCOMPARE(harness.commands().first(), QStringLiteral("SETUP"));
    QCOMPARE(harness.simulator().model().compHigh[1][0], 0.5);
}

void tst_Pages::aboutWindowSavesTheInchOption_data()
{
    QTest::addColumn<bool>("optionOn");
    QTest::addColumn<bool>("writable");
    QTest::newRow("switched on") << false << true;
    QTest::newRow("switched off") << true << true;
    QTest::newRow("file cannot be written") << true << false;
}

void tst_Pages::aboutWindowSavesTheInchOption()
{
    QFETCH(bool, optionOn);
    QFETCH(bool, writable);
    WindowHarness harness(optionOn);
    MainWindow *window = harness.openWindow();
    QCOMPARE(unitSelectorShown(harness), optionOn);
    // Reading the option leaves no file behind.
    QCOMPARE(QFile::exists(QStringLiteral("setting.ini")), optionOn);
    // A directory in the file's place makes the write fail whoever runs the test.
    if (!writable)
        QVERIFY(QFile::remove(QStringLiteral("setting.ini")) && QDir::current().mkdir(QStringLiteral("setting.ini")));

    window->findChild<QAction *>(QStringLiteral("actionAbout"))->trigger();
    QPointer<Form_About> about = window->findChild<Form_About *>();
    QVERIFY(about && about->isVisible());
    QCOMPARE(about->findChild<QCheckBox *>()->isChecked(), optionOn);
    WindowHarness::toggle(about->findChild<QCheckBox *>());
    WindowHarness::click(about->findChild<QPushButton *>());
    // Closed and gone, also when the file could not be written.
    QTRY_VERIFY(about.isNull());
    if (!writable)
        return;

    // The running window keeps the option it started with; the next start takes the new one.
    QCOMPARE(QSettings(QStringLiteral("setting.ini"), QSettings::IniFormat).value(QStringLiteral("Unit/in")).toInt(),
             optionOn ? 0 : 1);
    QCOMPARE(unitSelectorShown(harness), optionOn);
    harness.deleteWindow();
    harness.openWindow();
    QCOMPARE(unitSelectorShown(harness), !optionOn);
}

QTEST_MAIN(tst_Pages)
#include "tst_pages.moc"
