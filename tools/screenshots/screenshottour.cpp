// SPDX-License-Identifier: GPL-3.0-or-later
#include "screenshottour.h"

#include "communicationlogwindow.h"
#include "form_about.h"
#include "mainwindow.h"
#include "simulatorthread.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

namespace {
// The whole parameter read of a few axes takes a few seconds; a step that has
// not come about after this long never will.
constexpr int stepTimeoutMs = 60000;
constexpr int monitorPolls = 10;
// Enough of the simulated gauges' slow waves to see them move.
constexpr int trendPolls = 100;

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

    return connectModule() && editMeasureSettings() && applyMeasureSettings() && applyReferencePoint()
            && watchMonitor() && showTrend() && showCommunicationLog() && showPlcLink() && showAbout()
            && disconnectModule() && showStaleMonitor();
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

bool ScreenshotTour::showTrend()
{
    click(onPage<QPushButton>("page_MeasureMonitor", "pushButton_Trend"));
    auto *const table = window->findChild<QTableWidget *>(QStringLiteral("tableWidget_Spread"));
    if (!table || !QTest::qWaitForWindowExposed(table->window()))
        return fail("the trend window did not open");
    // Axis 0 reads about 10, far above the others, and axis 3 has no values: the
    // chart shows axes 1 and 2 over the whole recording.
    table->item(0, 0)->setCheckState(Qt::Unchecked);
    table->item(1, 0)->setCheckState(Qt::Checked);
    table->item(2, 0)->setCheckState(Qt::Checked);
    auto *const span = table->window()->findChild<QComboBox *>(QStringLiteral("comboBox_TrendSpan"));
    QTest::keyClick(span, Qt::Key_End);
    const bool polled = QTest::qWaitFor(
            [this]() { return simulator->commandTexts().count(QStringLiteral("R")) >= trendPolls; }, stepTimeoutMs);
    if (!polled)
        return fail("the monitor stopped polling");
    QTest::qWait(300);
    const bool saved = save(table->window(), QStringLiteral("trend"));
    table->window()->close();
    click(onPage<QPushButton>("page_MeasureMonitor", "pushButton_StopRecording"));
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

// "Use PLC-Link" was ticked and not applied: the tool asks, and the edit is dropped.
bool ScreenshotTour::disconnectModule()
{
    QPushButton *const connectButton = bar<QPushButton>("pushButton_Connect");
    click(connectButton);
    auto *const question = window->findChild<QMessageBox *>();
    if (!question || !QTest::qWaitForWindowExposed(question))
        return fail("no question about the pending edit");
    if (!save(question, QStringLiteral("pending-edits")))
        return false;
    click(question->button(QMessageBox::Discard));
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
