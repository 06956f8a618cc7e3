// The measure-monitor page against the module simulator: the rows drawn from its
// readings, exact formatting from a fixed reading, the poll timer following the
// page, and polls that do not pile up behind a module that does not answer them.

#include "windowharness.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

namespace {

const QString moduleAddress = QStringLiteral("127.0.0.25");
const char page[] = "page_MeasureMonitor";

const QString goSymbol = QStringLiteral("\u25CF");
const QString upperSymbol = QStringLiteral("\u25B2");
const QString lowerSymbol = QStringLiteral("\u25BC");

struct MonitorRows
{
    explicit MonitorRows(const WindowHarness &harness)
        : harness(harness)
    {
    }
    QLabel *label(const char *pattern, int axis) const
    {
        return harness.onPage<QLabel>(page, QString::fromLatin1(pattern).arg(axis + 1));
    }
    QString value(int axis) const { return label("label_Measure_%1", axis)->text(); }
    QString mode(int axis) const { return label("label_Mode_%1", axis)->text(); }
    QLabel *comparator(int axis) const { return label("label_Comp_%1", axis); }
    // The result colour holds in every colour group.
    bool comparatorColour(int axis, const QColor &colour) const
    {
        const QPalette palette = comparator(axis)->palette();
        return palette.color(QPalette::Active, QPalette::WindowText) == colour
                && palette.color(QPalette::Inactive, QPalette::WindowText) == colour
                && palette.color(QPalette::Disabled, QPalette::WindowText) == colour;
    }

    const WindowHarness &harness;
};

bool matches(const QString &text, const char *pattern)
{
    return QRegularExpression(QRegularExpression::anchoredPattern(QLatin1String(pattern))).match(text).hasMatch();
}

int polls(const QStringList &commands)
{
    return WindowHarness::countMatching(commands, QStringLiteral("R"));
}

} // namespace

class tst_MonitorPage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void rowsFromLiveReadings();
    void exactValuesByResolutionAndUnit();
    void millimetresWithoutInchOptionWhateverTheModuleReports();
    void pollsDoNotPileUpBehindASilentModule();

private:
    QString originalDirectory;
    std::unique_ptr<QTemporaryDir> workDirectory;
};

void tst_MonitorPage::init()
{
    originalDirectory = QDir::currentPath();
    workDirectory = std::make_unique<QTemporaryDir>();
    QVERIFY(workDirectory->isValid());
    QVERIFY(QDir::setCurrent(workDirectory->path()));
}

void tst_MonitorPage::cleanup()
{
    QDir::setCurrent(originalDirectory);
    workDirectory.reset();
}

void tst_MonitorPage::rowsFromLiveReadings()
{
    WindowHarness harness(moduleAddress);
    SimulatorOptions options;
    options.axisCount = 4;
    options.errorAxis = 1;
    QVERIFY(harness.startSimulator(options));
    ModuleModel model = harness.simulator().model();
    model.resolution = {3, 1, 5, 1};
    model.compHigh[0][0] = -10.0; // axis 0 always above its limit
    model.compLow[0][2] = 10.0;   // axis 2 always below
    model.measMode[3] = 3;        // axis 3: peak to peak, small and within +-1
    harness.simulator().setModel(model);
    harness.openWindow();
    QVERIFY(harness.connectModule());

    QTimer *timer = harness.monitorTimer();
    QVERIFY(timer);
    QVERIFY(!timer->isActive());
    const int readLength = harness.commandCount();
    harness.openPage("pushButton_MeasureMonitor");
    QCOMPARE(harness.currentPage(), harness.page(page));
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 200);

    MonitorRows rows(harness);
    // The form's own placeholder has no sign; the first completed poll replaces it.
    QTRY_VERIFY2_WITH_TIMEOUT(matches(rows.value(0), "[+-][0-9]+\\.[0-9]{3}"), qPrintable(rows.value(0)),
                              WindowHarness::waitMs);
    QCOMPARE(rows.mode(0), QStringLiteral("REAL"));
    QCOMPARE(rows.comparator(0)->text(), upperSymbol);
    QVERIFY(rows.comparatorColour(0, Qt::red));

    QCOMPARE(rows.value(1), QStringLiteral("Error"));
    QCOMPARE(rows.mode(1), QString());
    QCOMPARE(rows.comparator(1)->text(), QStringLiteral("E"));
    QVERIFY(rows.comparatorColour(1, Qt::red));

    QVERIFY2(matches(rows.value(2), "[+-][0-9]+\\.[0-9]{2}"), qPrintable(rows.value(2)));
    QCOMPARE(rows.comparator(2)->text(), lowerSymbol);
    QVERIFY(rows.comparatorColour(2, Qt::red));

    QVERIFY2(matches(rows.value(3), "\\+0\\.[0-9]{4}"), qPrintable(rows.value(3)));
    QCOMPARE(rows.mode(3), QStringLiteral("P-P"));
    QCOMPARE(rows.comparator(3)->text(), goSymbol);
    QVERIFY(rows.comparatorColour(3, QColor(0, 255, 0)));

    for (int axis = 0; axis < 16; ++axis) {
        for (const char *pattern : {"label_Measure_%1", "label_Mode_%1", "label_Comp_%1"})
            QCOMPARE(rows.label(pattern, axis)->isHidden(), axis >= 4);
    }
    auto *lastCaption = harness.onPage<QLabel>(page, QStringLiteral("label_Axis_16"));
    QVERIFY(lastCaption);
    QVERIFY(!lastCaption->isHidden());

    // The poll goes on while the page is shown; its menu button restarts it.
    QTRY_VERIFY_WITH_TIMEOUT(polls(harness.commandsFrom(readLength)) >= 3, WindowHarness::waitMs);
    QCOMPARE(timer->interval(), 200);
    // Never faster than the 200 ms period allows (a coarse timer may fire 5 % early).
    QElapsedTimer window;
    window.start();
    const int atStart = polls(harness.commands());
    QTest::qWait(2000);
    const int inWindow = polls(harness.commands()) - atStart;
    QVERIFY2(inWindow <= window.elapsed() / 190 + 2, qPrintable(QString::number(inWindow)));
    qInfo("%d polls in %lld ms", inWindow, window.elapsed());
    harness.openPage("pushButton_MeasureMonitor");
    QVERIFY(timer->isActive());
    const int beforeRestart = polls(harness.commands());
    QTRY_VERIFY_WITH_TIMEOUT(polls(harness.commands()) > beforeRestart, WindowHarness::waitMs);

    // Leaving stops it: a poll already queued may still go out, no further one.
    const int atLeaving = polls(harness.commands());
    harness.openPage("pushButton_PlcLinkSetting");
    QVERIFY(!timer->isActive());
    QTest::qWait(1200);
    const int afterLeaving = polls(harness.commands());
    QVERIFY2(afterLeaving - atLeaving <= 1, qPrintable(QString::number(afterLeaving - atLeaving)));

    // Coming back starts it again.
    harness.openPage("pushButton_MeasureMonitor");
    QVERIFY(timer->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(polls(harness.commands()) > afterLeaving, WindowHarness::waitMs);
}

void tst_MonitorPage::exactValuesByResolutionAndUnit()
{
    {
        // The unit selector is needed to switch units without a write.
        QFile settings(QStringLiteral("setting.ini"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[Unit]\nin=1\n");
    }
    WindowHarness harness(moduleAddress);
    SimulatorOptions options;
    options.axisCount = 6;
    // Every poll gets this fixed reading in place of the simulated one.
    options.garblePatterns << WindowHarness::whole(QStringLiteral("R"));
    options.garbageValue = QStringLiteral("0 N G+1.50000 1 A U-0.00001 2 I L+0.00000 3 P E-------- "
                                          "4 N G+1.50000 5 N G+1.50000");
    QVERIFY(harness.startSimulator(options));
    ModuleModel model = harness.simulator().model();
    // Resolutions 0 and 6 and unit 2 have no entry in the decimals table.
    model.resolution = {3, 5, 1, 1, 0, 6};
    model.unit = 2;
    harness.simulator().setModel(model);
    harness.openWindow();
    QVERIFY(harness.connectModule());

    harness.openPage("pushButton_MeasureMonitor");
    MonitorRows rows(harness);
    QTRY_COMPARE_WITH_TIMEOUT(rows.value(0), QStringLiteral("+1.5000"), WindowHarness::waitMs);
    QCOMPARE(rows.mode(0), QStringLiteral("REAL"));
    QCOMPARE(rows.comparator(0)->text(), goSymbol);
    QVERIFY(rows.comparatorColour(0, QColor(0, 255, 0)));
    QCOMPARE(rows.value(1), QStringLiteral("-0.000"));
    QCOMPARE(rows.mode(1), QStringLiteral("MAX"));
    QCOMPARE(rows.comparator(1)->text(), upperSymbol);
    QVERIFY(rows.comparatorColour(1, Qt::red));
    QCOMPARE(rows.value(2), QStringLiteral("+0.00000"));
    QCOMPARE(rows.mode(2), QStringLiteral("MIN"));
    QCOMPARE(rows.comparator(2)->text(), lowerSymbol);
    QVERIFY(rows.comparatorColour(2, Qt::red));
    QCOMPARE(rows.value(3), QStringLiteral("Error"));
    QCOMPARE(rows.mode(3), QString());
    QCOMPARE(rows.comparator(3)->text(), QStringLiteral("E"));
    QVERIFY(rows.comparatorColour(3, Qt::red));
    // Codes outside the table take its nearest row and column.
    QCOMPARE(rows.value(4), QStringLiteral("+1.50000"));
    QCOMPARE(rows.value(5), QStringLiteral("+1.500"));

    // Millimetres, chosen on the measure-setting page and only captured, not written.
    harness.openPage("pushButton_MeasureSetting");
    auto *unit = harness.onPage<QComboBox>("page_MeasureSetting", QStringLiteral("comboBox_Unit"));
    QVERIFY(unit);
    QVERIFY(!unit->isHidden());
    QCOMPARE(unit->currentIndex(), -1);
    WindowHarness::choose(unit, 0);
    QCOMPARE(unit->currentIndex(), 0);
    harness.openPage("pushButton_MeasureMonitor");
    QTRY_COMPARE_WITH_TIMEOUT(rows.value(0), QStringLiteral("+1.500"), WindowHarness::waitMs);
    QCOMPARE(rows.value(1), QStringLiteral("-0.00"));
    QCOMPARE(rows.value(2), QStringLiteral("+0.0000"));
    QCOMPARE(rows.value(3), QStringLiteral("Error"));
    QCOMPARE(rows.value(4), QStringLiteral("+1.5000"));
    QCOMPARE(rows.value(5), QStringLiteral("+1.50"));
    QCOMPARE(WindowHarness::countMatching(harness.commands(), QStringLiteral("0SCALE=.*[^?]")), 0);
}

void tst_MonitorPage::millimetresWithoutInchOptionWhateverTheModuleReports()
{
    // A module that ignores the switch to millimetres keeps reporting the inch unit.
    WindowHarness harness(moduleAddress);
    SimulatorOptions options;
    options.axisCount = 1;
    options.silentPatterns << WindowHarness::whole(QStringLiteral("0SCALE=0"));
    options.garblePatterns << WindowHarness::whole(QStringLiteral("R"));
    options.garbageValue = QStringLiteral("0 N G+1.50000");
    QVERIFY(harness.startSimulator(options));
    ModuleModel model = harness.simulator().model();
    model.resolution[0] = 3;
    model.unit = 1;
    harness.simulator().setModel(model);
    harness.openWindow();
    QVERIFY(harness.connectModule());
    QCOMPARE(WindowHarness::countMatching(harness.commands(), QStringLiteral("0SCALE=\\?")), 1);

    // The only way to the monitor leaves the measure-setting page, whose capture
    // sets the unit to millimetres when the selector is not offered.
    QVERIFY(harness.onPage<QComboBox>("page_MeasureSetting", QStringLiteral("comboBox_Unit"))->isHidden());
    harness.openPage("pushButton_MeasureMonitor");
    MonitorRows rows(harness);
    QTRY_COMPARE_WITH_TIMEOUT(rows.value(0), QStringLiteral("+1.500"), WindowHarness::waitMs);
    QCOMPARE(harness.simulator().model().unit, 1);
}

void tst_MonitorPage::pollsDoNotPileUpBehindASilentModule()
{
    WindowHarness harness(moduleAddress);
    SimulatorOptions options;
    options.axisCount = 1;
    options.silentPatterns << WindowHarness::whole(QStringLiteral("R"));
    QVERIFY(harness.startSimulator(options));
    harness.openWindow();
    QVERIFY(harness.connectModule());

    QElapsedTimer shown;
    shown.start();
    harness.openPage("pushButton_MeasureMonitor");
    QTest::qWait(2500);
    harness.openPage("pushButton_MeasureSetting");
    const qint64 shownMs = shown.elapsed();
    const int leftAt = harness.commandCount();
    const int sent = polls(harness.commands());
    qInfo("%d polls in %lld ms against a module that answers none", sent, shownMs);
    // Each unanswered poll holds the link for its full reply wait of a second, and
    // only one more may be queued meanwhile; a timer-paced backlog would send five a second.
    QVERIFY(sent >= 1);
    QVERIFY(sent <= shownMs / 1000 + 2);

    // An Apply right after leaving is not stuck behind a queue of polls.
    auto *apply = harness.onPage<QPushButton>("page_MeasureSetting", QStringLiteral("pushButton_ApplySetting"));
    QVERIFY(harness.runOperation(apply));
    const QStringList after = harness.commandsFrom(leftAt);
    const int setup = after.indexOf(QStringLiteral("SETUP"));
    QVERIFY(setup >= 0);
    QVERIFY2(polls(after.mid(0, setup)) <= 1, qPrintable(after.mid(0, setup).join(QLatin1Char(' '))));
    QCOMPARE(polls(after.mid(setup)), 0);
}

QTEST_MAIN(tst_MonitorPage)
#include "tst_monitorpage.moc"
