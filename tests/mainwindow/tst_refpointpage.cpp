// The reference-point page against the module simulator, over one connection to a
// four-axis module: which rows are shown and editable, and "Clear" of one row.
// The test functions run in order.

#include "windowharness.h"

#include <QLabel>

#include <cmath>
#include <memory>

namespace {

const QString moduleAddress = QStringLiteral("127.0.0.24");
const char page[] = "page_RefPointSetting";

} // namespace

class tst_RefPointPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void rowsFollowReferenceUseAndAxisCount();
    void clearEmptiesTheRowAndFollowsTheModule();

private:
    QLineEdit *masterValue(int axis) const { return edit("lineEdit_MasterValue%1", axis); }
    QLineEdit *masterOffset(int axis) const { return edit("lineEdit_MasterOffset%1", axis); }
    QPushButton *applyButton(int axis) const { return button("pushButton_ApplyRef%1", axis); }
    QPushButton *clearButton(int axis) const { return button("pushButton_Clear%1", axis); }
    QLineEdit *edit(const char *pattern, int axis) const
    {
        return harness->onPage<QLineEdit>(page, QString::fromLatin1(pattern).arg(axis + 1));
    }
    QPushButton *button(const char *pattern, int axis) const
    {
        return harness->onPage<QPushButton>(page, QString::fromLatin1(pattern).arg(axis + 1));
    }
    QList<QWidget *> row(int axis) const
    {
        return {masterValue(axis), masterOffset(axis), applyButton(axis), clearButton(axis)};
    }

    std::unique_ptr<WindowHarness> harness;
};

void tst_RefPointPage::initTestCase()
{
    harness = std::make_unique<WindowHarness>(moduleAddress);
    SimulatorOptions options;
    options.axisCount = 4;
    // Axis 2 answers its master offset with something that is no number.
    options.garblePatterns << WindowHarness::whole(QStringLiteral("02LO=\\?"));
    QVERIFY(harness->startSimulator(options));
    ModuleModel model = harness->simulator().model();
    model.refUse = {true, false, true, true};
    model.preset[0] = 1.25;
    model.preset[1] = 3.0;
    model.preset[2] = 0.5;
    model.preset[3] = 2.0;
    model.refOffset[0] = 0.5;
    model.refOffset[1] = 0.75;
    model.refOffset[3] = -0.125;
    harness->simulator().setModel(model);
    harness->openWindow();
    QVERIFY(harness->connectModule());
    harness->openPage("pushButton_RefPointSetting");
    QCOMPARE(harness->currentPage(), harness->page(page));
}

void tst_RefPointPage::cleanupTestCase()
{
    harness.reset();
}

void tst_RefPointPage::rowsFollowReferenceUseAndAxisCount()
{
    for (int axis = 0; axis < 16; ++axis) {
        for (QWidget *widget : row(axis)) {
            QVERIFY(widget);
            QCOMPARE(widget->isHidden(), axis >= 4);
        }
        // The axis caption stays for every row.
        auto *caption = harness->onPage<QLabel>(page, QStringLiteral("label_Axis%1").arg(axis + 1));
        QVERIFY(caption);
        QVERIFY(!caption->isHidden());
    }

    for (QWidget *widget : row(0))
        QVERIFY(widget->isEnabled());
    QCOMPARE(masterValue(0)->text(), QStringLiteral("1.25"));
    QCOMPARE(masterOffset(0)->text(), QStringLiteral("0.5"));

    // No reference use: locked and empty, although the module has a preset.
    for (QWidget *widget : row(1))
        QVERIFY(!widget->isEnabled());
    QCOMPARE(masterValue(1)->text(), QString());
    QCOMPARE(masterOffset(1)->text(), QString());

    // An offset that could not be read shows as an empty field.
    QVERIFY(masterValue(2)->isEnabled());
    QCOMPARE(masterValue(2)->text(), QStringLiteral("0.5"));
    QCOMPARE(masterOffset(2)->text(), QString());

    QCOMPARE(masterValue(3)->text(), QStringLiteral("2"));
    QCOMPARE(masterOffset(3)->text(), QStringLiteral("-0.125"));
}

void tst_RefPointPage::clearEmptiesTheRowAndFollowsTheModule()
{
    int before = harness->commandCount();
    QVERIFY(harness->runOperation(clearButton(0)));
    QCOMPARE(harness->commandsFrom(before),
             QStringList({"SETUP", "00LCLR", "CLOSE", "00LO=?", "00REF=?"}));
    QCOMPARE(masterValue(0)->text(), QString());
    QCOMPARE(masterOffset(0)->text(), QString());
    for (QWidget *widget : row(0))
        QVERIFY(widget->isEnabled());
    QCOMPARE(harness->simulator().model().refOffset[0], 0.0);

    // A module that no longer reports reference use for the axis locks the row.
    ModuleModel model = harness->simulator().model();
    model.refUse[3] = false;
    harness->simulator().setModel(model);
    before = harness->commandCount();
    QVERIFY(harness->runOperation(clearButton(3)));
    QCOMPARE(harness->commandsFrom(before),
             QStringList({"SETUP", "03LCLR", "CLOSE", "03LO=?", "03REF=?"}));
    QCOMPARE(masterValue(3)->text(), QString());
    QCOMPARE(masterOffset(3)->text(), QString());
    for (QWidget *widget : row(3))
        QVERIFY(!widget->isEnabled());
    QVERIFY(masterValue(2)->isEnabled());
}

QTEST_MAIN(tst_RefPointPage)
#include "tst_refpointpage.moc"
