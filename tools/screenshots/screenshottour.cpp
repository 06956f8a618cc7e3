// SPDX-License-Identifier: GPL-3.0-or-later
#include "screenshottour.h"

#include "addressrange.h"
#include "capabilityreport.h"
#include "capabilitywindow.h"
#include "communicationlogwindow.h"
#include "findmodulesdialog.h"
#include "form_about.h"
#include "gaugestudydialog.h"
#include "mainwindow.h"
#include "simulatorthread.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

namespace {
// The whole parameter read of a few axes takes a few seconds; a step that has
// not come about after this long never will.
constexpr int stepTimeoutMs = 60000;
constexpr int monitorPolls = 10;

bool fail(const char *what)
{
    qCritical("screenshots: %s", what);
    return false;
}
} // namespace

// The connection bar shares object names with the PLC-link page: it is looked up
// among the central widget's own children.
template<typename Widget>
Widget *ScreenshotTour::bar(const char *name) const
{
    return window->centralWidget()->findChild<Widget *>(QLatin1String(name), Qt::FindDirectChildrenOnly);
}

// Several pages use the same object names; a widget is looked up under its page.
template<typename Widget>
Widget *ScreenshotTour::onPage(const char *page, const char *name) const
{
    return window->findChild<QWidget *>(QLatin1String(page))->findChild<Widget *>(QLatin1String(name));
}

ScreenshotTour::ScreenshotTour(const QHostAddress &moduleAddress, const QDir &outputDirectory)
    : address(moduleAddress)
    , output(outputDirectory)
{
}

ScreenshotTour::~ScreenshotTour()
{
    window.reset();
    // Lets the finished worker thread's deferred deletions run.
    QTest::qWait(1);
}

bool ScreenshotTour::run()
{
    if (!startSimulator(0))
        return false;
    window = std::make_unique<MainWindow>();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return fail("the main window was not shown");

    return findModules() && connectModule() && editMeasureSettings() && applyMeasureSettings()
            && applyReferencePoint() && watchMonitor() && stopRecording() && showCommunicationLog() && showPlcLink()
            && showAbout() && disconnectModule() && showStaleMonitor() && disconnectModule() && showTrend()
            && showCapability() && disconnectModule();
}

// Two more modules on the tour module's /24, and a scan of that /24 only: never
// anything but loopback.
bool ScreenshotTour::findModules()
{
    const quint32 tourModule = address.toIPv4Address();
    for (const int step : {10, 20}) {
        SimulatorOptions options;
        options.address = QHostAddress((tourModule & 0xffffff00u) | (((tourModule & 0xffu) + step - 1) % 254 + 1));
        options.port = 24000;
        options.unitNumber = step / 10;
        options.axisCount = 8 * (step / 10);
        otherModules.push_back(std::make_unique<SimulatorThread>(options));
        if (!otherModules.back()->start()) {
            qCritical("screenshots: no simulator on %s:24000: %s", qPrintable(options.address.toString()),
                      qPrintable(otherModules.back()->errorString()));
            return false;
        }
    }
    click(bar<QPushButton>("pushButton_FindModules"));
    auto *const dialog = window->findChild<FindModulesDialog *>();
    if (!dialog || !QTest::qWaitForWindowExposed(dialog))
        return fail("\"Find Modules...\" did not open");
    type(dialog->findChild<QLineEdit *>(QStringLiteral("lineEdit_ScanRange")), AddressRange::network(address, 24));
    click(dialog->findChild<QPushButton *>(QStringLiteral("pushButton_Scan")));
    auto *const status = dialog->findChild<QLabel *>(QStringLiteral("label_ScanStatus"));
    if (!QTest::qWaitFor([status] { return status->text().startsWith(QLatin1String("3 modules found")); }, stepTimeoutMs))
        return fail("the scan did not find the three modules");
    auto *const table = dialog->findChild<QTableWidget *>(QStringLiteral("tableWidget_Modules"));
    const QList<QTableWidgetItem *> found = table->findItems(address.toString(), Qt::MatchExactly);
    if (found.isEmpty())
        return fail("the tour's module is not in the list");
    table->setCurrentCell(found.first()->row(), 0);
    if (!save(dialog, QStringLiteral("find-modules")))
        return false;
    click(dialog->findChild<QPushButton *>(QStringLiteral("pushButton_Use")));
    return bar<QLineEdit>("lineEdit_ModuleIpAddr")->text() == address.toString()
            || fail("\"Use\" did not take the module's address");
}

// The module of the README's demo (four axes), with axis 3 reporting an error so
// that the monitor shows every comparator symbol; silent after that many commands.
bool ScreenshotTour::startSimulator(int silentAfter)
{
    SimulatorOptions options;
    options.address = address;
    options.port = 24000; // the tool always dials this port
    options.axisCount = 4;
    options.errorAxis = 3;
    options.seed = 36;
    options.silentAfter = silentAfter;
    simulator.reset();
    simulator = std::make_unique<SimulatorThread>(options);
    if (!simulator->start()) {
        qCritical("screenshots: no simulator on %s:24000: %s", qPrintable(address.toString()),
                  qPrintable(simulator->errorString()));
        return false;
    }
    return true;
}

bool ScreenshotTour::connectModule(bool picture)
{
    type(bar<QLineEdit>("lineEdit_ModuleIpAddr"), address.toString());
    if (picture && !save(window.get(), QStringLiteral("connect")))
        return false;
    QPushButton *const connectButton = bar<QPushButton>("pushButton_Connect");
    click(connectButton);
    const bool connected = QTest::qWaitFor(
            [&]() { return connectButton->text() == QLatin1String("Disconnect") && isIdle(); },
            stepTimeoutMs);
    readLength = simulator->commandTexts().size();
    return connected || fail("the tool did not connect to the simulator");
}

bool ScreenshotTour::editMeasureSettings()
{
    const char page[] = "page_MeasureSetting";
    // Axis 0 gets a reference point (set on the next page) and a tolerance band round it.
    toggle(onPage<QCheckBox>(page, "checkBox_RefUse1"));
    type(onPage<QLineEdit>(page, "lineEdit_CompHigh1_1"), QStringLiteral("10.2"));
    type(onPage<QLineEdit>(page, "lineEdit_CompLow1_1"), QStringLiteral("9.8"));
    // Axis 1 keeps its peak and sits below its lower limit.
    QComboBox *const mode = onPage<QComboBox>(page, "comboBox_MeasMode2");
    QTest::keyClick(mode, Qt::Key_Home);
    QTest::keyClick(mode, Qt::Key_Down);
    type(onPage<QLineEdit>(page, "lineEdit_CompLow2_1"), QStringLiteral("0.2"));
    // Axis 2, on the next pair, sits above its upper limit.
    click(onPage<QPushButton>(page, "pushButton_NextPage"));
    type(onPage<QLineEdit>(page, "lineEdit_CompHigh1_1"), QStringLiteral("-0.2"));
    click(onPage<QPushButton>(page, "pushButton_PrevPage"));
    return save(window.get(), QStringLiteral("measure-setting"));
}

bool ScreenshotTour::applyMeasureSettings()
{
    return runOperation(onPage<QPushButton>("page_MeasureSetting", "pushButton_ApplySetting"), "busy");
}

bool ScreenshotTour::applyReferencePoint()
{
    click(window->findChild<QPushButton *>(QStringLiteral("pushButton_RefPointSetting")));
    const char page[] = "page_RefPointSetting";
    type(onPage<QLineEdit>(page, "lineEdit_MasterValue1"), QStringLiteral("10"));
    if (!runOperation(onPage<QPushButton>(page, "pushButton_ApplyRef1")))
        return false;
    if (onPage<QLineEdit>(page, "lineEdit_MasterOffset1")->text().isEmpty())
        return fail("no master offset came back");
    return save(window.get(), QStringLiteral("refpoint-setting"));
}

bool ScreenshotTour::watchMonitor()
{
    simulator->clearCommandLog();
    click(window->findChild<QPushButton *>(QStringLiteral("pushButton_MeasureMonitor")));
    const bool polled = QTest::qWaitFor(
            [this]() { return simulator->commandTexts().count(QStringLiteral("R")) >= monitorPolls; },
            stepTimeoutMs);
    if (!polled)
        return fail("the monitor did not poll the module");

    // A recording into the tour's own working folder, named as an operator would.
    const char page[] = "page_MeasureMonitor";
    click(onPage<QPushButton>(page, "pushButton_Record"));
    auto *const dialog = window->findChild<QFileDialog *>();
    if (!dialog || !QTest::qWaitForWindowExposed(dialog))
        return fail("\"Record...\" asked for no file");
    auto *const name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    name->setText(QDir::current().absoluteFilePath(QStringLiteral("gauge-check.csv")));
    QTest::keyClick(name, Qt::Key_Return);
    if (!onPage<QPushButton>(page, "pushButton_StopRecording")->isEnabled())
        return fail("the recording did not start");
    const int recorded = simulator->commandTexts().count(QStringLiteral("R"));
    if (!QTest::qWaitFor([&]() { return simulator->commandTexts().count(QStringLiteral("R")) >= recorded + 5; },
                         stepTimeoutMs))
        return fail("the monitor stopped polling");
    // The redraw of the last answered poll reaches the window after the reply.
    QTest::qWait(300);
    return save(window.get(), QStringLiteral("measure-monitor"));
}

// With the polls hidden, the end of the reference-point operation is in view.
bool ScreenshotTour::showCommunicationLog()
{
    window->findChild<QAction *>(QStringLiteral("actionCommunicationLog"))->trigger();
    auto *const log = window->findChild<CommunicationLogWindow *>();
    if (!log || !QTest::qWaitForWindowExposed(log))
        return fail("the communication log did not open");
    toggle(log->findChild<QCheckBox *>(QStringLiteral("checkBox_HidePolls")));
    // The list takes new entries a few times a second.
    QTest::qWait(300);
    const bool saved = save(log, QStringLiteral("communication-log"));
    log->close();
    return saved;
}

bool ScreenshotTour::stopRecording()
{
    click(onPage<QPushButton>("page_MeasureMonitor", "pushButton_StopRecording"));
    return true;
}

// A module of sixteen axes in its place, recorded with every axis on the chart.
bool ScreenshotTour::showTrend()
{
    SimulatorOptions options;
    options.address = address;
    options.port = 24000;
    options.axisCount = 16;
    options.seed = 36;
    simulator = std::make_unique<SimulatorThread>(options);
    if (!simulator->start())
        return fail("no simulator of sixteen axes");
    QPushButton *const connectButton = bar<QPushButton>("pushButton_Connect");
    click(connectButton);
    if (!QTest::qWaitFor([&]() { return connectButton->text() == QLatin1String("Disconnect") && isIdle(); },
                         stepTimeoutMs))
        return fail("the tool did not connect to the module of sixteen axes");
    click(window->findChild<QPushButton *>(QStringLiteral("pushButton_MeasureMonitor")));
    const char page[] = "page_MeasureMonitor";
    click(onPage<QPushButton>(page, "pushButton_Record"));
    auto *const dialog = window->findChild<QFileDialog *>();
    if (!dialog || !QTest::qWaitForWindowExposed(dialog))
        return fail("\"Record...\" asked for no file");
    dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
            ->setText(QDir::current().absoluteFilePath(QStringLiteral("line-check.csv")));
    QTest::keyClick(dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")), Qt::Key_Return);
    click(onPage<QPushButton>(page, "pushButton_Trend"));
    auto *const table = window->findChild<QTableWidget *>(QStringLiteral("tableWidget_Spread"));
    if (!table || !QTest::qWaitForWindowExposed(table->window()) || table->rowCount() != 16)
        return fail("the trend window did not open with sixteen axes");
    table->window()->resize(1000, 820);
    for (int axis = 0; axis < table->rowCount(); ++axis)
        table->item(axis, 0)->setCheckState(Qt::Checked);
    // A full minute on the chart.
    const bool polled = QTest::qWaitFor(
            [this]() { return simulator->commandTexts().count(QStringLiteral("R")) >= 5 * 61; }, 2 * stepTimeoutMs);
    if (!polled)
        return fail("the monitor stopped polling");
    // The spread table is brought up to date every two seconds.
    QTest::qWait(2100);
    const bool saved = save(table->window(), QStringLiteral("trend"));
    table->window()->close();
    click(onPage<QPushButton>(page, "pushButton_StopRecording"));
    return saved;
}

// The last recording's axis 0, with its tolerance band round the reference point,
// then a Type-1 study of it taken automatically five times a second.
bool ScreenshotTour::showCapability()
{
    click(onPage<QPushButton>("page_MeasureMonitor", "pushButton_Trend"));
    QWidget *const trend = window->findChild<QTableWidget *>(QStringLiteral("tableWidget_Spread"))->window();
    if (!QTest::qWaitForWindowExposed(trend))
        return fail("the trend window did not open");
    click(trend->findChild<QPushButton *>(QStringLiteral("pushButton_Capability")));
    auto *const capability = trend->findChild<CapabilityWindow *>();
    if (!capability || !QTest::qWaitForWindowExposed(capability))
        return fail("the capability window did not open");
    capability->findChild<QComboBox *>(QStringLiteral("comboBox_Axis"))->setCurrentIndex(0);
    capability->findChild<QCheckBox *>(QStringLiteral("checkBox_TwoOfThree"))->setChecked(true);
    type(capability->findChild<QLineEdit *>(QStringLiteral("lineEdit_Operator")), QStringLiteral("A. Operator"));
    type(capability->findChild<QLineEdit *>(QStringLiteral("lineEdit_Gauge")), QStringLiteral("Gauge 7, axis 0"));
    // The charts lay their axes out in the event loop.
    QTest::qWait(300);
    if (!save(capability, QStringLiteral("capability")))
        return false;
    // The report's page as "Save Report..." writes it, at 100 dots per inch.
    constexpr int dotsPerInch = 100;
    QImage page(827, 1169, QImage::Format_RGB32);
    page.setDotsPerMeterX(int(dotsPerInch / 0.0254));
    page.setDotsPerMeterY(int(dotsPerInch / 0.0254));
    page.fill(Qt::white);
    QPainter painter(&page);
    const int margin = 59; // 15 mm
    capability->report().paint(painter, page.rect().adjusted(margin, margin, -margin, -margin), dotsPerInch);
    painter.end();
    const QString reportPath = output.absoluteFilePath(QStringLiteral("capability-report.png"));
    if (!page.save(reportPath))
        return fail("the report's page could not be saved");
    qInfo("wrote %s", qPrintable(reportPath));

    click(capability->findChild<QPushButton *>(QStringLiteral("pushButton_GaugeStudy")));
    auto *const study = capability->findChild<GaugeStudyDialog *>();
    if (!study || !QTest::qWaitForWindowExposed(study))
        return fail("the Type-1 study did not open");
    type(study->findChild<QLineEdit *>(QStringLiteral("lineEdit_Master")), QStringLiteral("10"));
    study->findChild<QSpinBox *>(QStringLiteral("spinBox_Count"))->setValue(25);
    study->findChild<QCheckBox *>(QStringLiteral("checkBox_Automatic"))->setChecked(true);
    study->findChild<QDoubleSpinBox *>(QStringLiteral("doubleSpinBox_Interval"))->setValue(0.2);
    click(study->findChild<QPushButton *>(QStringLiteral("pushButton_Start")));
    auto *const saveButton = study->findChild<QPushButton *>(QStringLiteral("pushButton_SaveStudy"));
    if (!QTest::qWaitFor([saveButton]() { return saveButton->isEnabled(); }, stepTimeoutMs))
        return fail("the Type-1 study took no 25 readings");
    const bool saved = save(study, QStringLiteral("gauge-study"));
    study->close();
    capability->close();
    trend->close();
    return saved;
}

bool ScreenshotTour::showPlcLink()
{
    click(window->findChild<QPushButton *>(QStringLiteral("pushButton_PlcLinkSetting")));
    toggle(onPage<QCheckBox>("page_PlcLinkSetting", "checkBox_UsingPlcLink"));
    return save(window.get(), QStringLiteral("plclink-setting"));
}

bool ScreenshotTour::showAbout()
{
    window->findChild<QAction *>(QStringLiteral("actionAbout"))->trigger();
    Form_About *const about = window->findChild<Form_About *>();
    if (!about || !QTest::qWaitForWindowExposed(about))
        return fail("the About window did not open");
    const bool saved = save(about, QStringLiteral("about"));
    // As the title-bar button does: nothing is written to "setting.ini".
    about->close();
    return saved;
}

// With an edit not applied ("Use PLC-Link" ticked), the tool asks first, and the
// edit is dropped.
bool ScreenshotTour::disconnectModule()
{
    QPushButton *const connectButton = bar<QPushButton>("pushButton_Connect");
    click(connectButton);
    auto *const question = window->findChild<QMessageBox *>();
    if (question && question->isVisible()) {
        if (!QTest::qWaitForWindowExposed(question) || !save(question, QStringLiteral("pending-edits")))
            return false;
        click(question->button(QMessageBox::Discard));
    }
    return QTest::qWaitFor([&]() { return connectButton->text() == QLatin1String("Connect"); }, stepTimeoutMs)
            || fail("the tool did not disconnect");
}

// The same module falls silent after a few readings.
bool ScreenshotTour::showStaleMonitor()
{
    if (!startSimulator(readLength + monitorPolls) || !connectModule(false))
        return false;
    click(window->findChild<QPushButton *>(QStringLiteral("pushButton_MeasureMonitor")));
    auto *const line = onPage<QLabel>("page_MeasureMonitor", "label_NoReading");
    if (!QTest::qWaitFor([line]() { return line->isVisible(); }, stepTimeoutMs))
        return fail("the monitor did not tell the silence");
    return save(window.get(), QStringLiteral("monitor-stale"));
}

bool ScreenshotTour::save(QWidget *widget, const QString &name) const
{
    const QString path = output.absoluteFilePath(name + QStringLiteral(".png"));
    if (!widget->grab().save(path)) {
        qCritical("screenshots: cannot write %s", qPrintable(path));
        return false;
    }
    qInfo("wrote %s", qPrintable(path));
    return true;
}

bool ScreenshotTour::runOperation(QAbstractButton *button, const char *pictureName)
{
    click(button);
    QProgressDialog *const dialog = window->findChild<QProgressDialog *>();
    if (!dialog || !dialog->isVisible())
        return fail("the busy dialog did not come up");
    if (pictureName) {
        // Caught part-way, while the bar shows some of the operation done.
        if (!QTest::qWaitFor([dialog]() { return dialog->value() * 3 >= dialog->maximum(); }, stepTimeoutMs))
            return fail("the busy dialog showed no progress");
        if (!save(dialog, QLatin1String(pictureName)))
            return false;
    }
    return QTest::qWaitFor([this]() { return isIdle(); }, stepTimeoutMs) || fail("an operation did not end");
}

bool ScreenshotTour::isIdle() const
{
    const QProgressDialog *const dialog = window->findChild<QProgressDialog *>();
    return dialog && !dialog->isVisible();
}

void ScreenshotTour::click(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

void ScreenshotTour::toggle(QAbstractButton *box)
{
    QTest::keyClick(box, Qt::Key_Space);
}

void ScreenshotTour::type(QLineEdit *edit, const QString &text)
{
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}
