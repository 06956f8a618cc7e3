// SPDX-License-Identifier: GPL-3.0-or-later
// "Find Modules..." in the window: the scan of a loopback /24 lists the modules
// as they answer, a double-click takes one into the address field, and "Cancel"
// ends a scan at once.

#include "findmodulesdialog.h"
#include "windowharness.h"

#include <QAction>
#include <QLabel>
#include <QTableWidget>

#include <atomic>

namespace {

// Another host of the same /24.
QString neighbour(const QString &address, int step)
{
    const int host = address.section(QLatin1Char('.'), 3).toInt();
    return address.section(QLatin1Char('.'), 0, 2) + QLatin1Char('.') + QString::number((host - 1 + step) % 254 + 1);
}

template<typename Widget>
Widget *part(const FindModulesDialog *dialog, const char *name)
{
    return dialog->findChild<Widget *>(QLatin1String(name));
}

} // namespace

class tst_FindModules : public QObject
{
    Q_OBJECT

private slots:
    void foundModuleIsTakenForConnect();
    void cancelEndsTheScanAtOnce();
};

void tst_FindModules::foundModuleIsTakenForConnect()
{
    WindowHarness harness(true);
    SimulatorOptions options;
    options.unitNumber = 10;
    options.axisCount = 2;
    QVERIFY(harness.startSimulator(options));
    options.unitNumber = 1;
    options.axisCount = 16;
    options.address = QHostAddress(neighbour(harness.moduleAddress(), 1));
    SimulatorThread other(options);
    QVERIFY(other.start());
    options.address = QHostAddress(neighbour(harness.moduleAddress(), 2));
    options.silentPatterns << SimulatorOptions::wholeCommand(QStringLiteral(".*"));
    SimulatorThread silent(options);
    QVERIFY(silent.start());
    harness.openWindow();

    WindowHarness::click(harness.bar<QPushButton>("pushButton_FindModules"));
    auto *const dialog = harness.window()->findChild<FindModulesDialog *>();
    QTRY_VERIFY(dialog->isVisible());
    auto *const range = part<QLineEdit>(dialog, "lineEdit_ScanRange");
    // With no network of its own the computer offers the /24 of the address field.
    if (FindModulesDialog::ownNetworks().isEmpty())
        QCOMPARE(range->text(), QStringLiteral("192.168.0.0/24"));
    WindowHarness::type(range, harness.moduleAddress().section(QLatin1Char('.'), 0, 2) + QStringLiteral(".0/24"));
    WindowHarness::click(part<QPushButton>(dialog, "pushButton_Scan"));
    auto *const status = part<QLabel>(dialog, "label_ScanStatus");
    QTRY_VERIFY2_WITH_TIMEOUT(status->text().startsWith(QStringLiteral("2 modules found in 254 addresses (")),
                              qPrintable(status->text()), WindowHarness::waitMs);
    QVERIFY2(status->text().endsWith(QStringLiteral("Port open, no module reply: ") + silent.serverAddress().toString()),
             qPrintable(status->text()));

    auto *const table = part<QTableWidget>(dialog, "tableWidget_Modules");
    QStringList rows;
    int mine = -1;
    for (int row = 0; row < table->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < table->columnCount(); ++column)
            cells << table->item(row, column)->text();
        rows << cells.join(QLatin1Char(' '));
        mine = cells.first() == harness.moduleAddress() ? row : mine;
    }
    const QString first = harness.moduleAddress() + QStringLiteral(" A 2 1.00");
    const QString second = other.serverAddress().toString() + QStringLiteral(" 1 16 1.00");
    QCOMPARE(rows, mine == 0 ? (QStringList{first, second}) : (QStringList{second, first}));

    // A double-click is a press, a release and then the double-click itself.
    const QPoint cell = table->visualItemRect(table->item(mine, 0)).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(harness.addressEdit()->text(), harness.moduleAddress());
    WindowHarness::click(harness.connectButton());
    QVERIFY(harness.waitFor(QStringLiteral("Disconnect")));
    QCOMPARE(harness.barState(), QStringLiteral("Disconnect A 2 menu fixed"));
}

void tst_FindModules::cancelEndsTheScanAtOnce()
{
    WindowHarness harness;
    SimulatorOptions options;
    options.silentPatterns << SimulatorOptions::wholeCommand(QStringLiteral(".*"));
    QVERIFY(harness.startSimulator(options));
    std::atomic<int> closed{0};
    ModuleSimulator *const module = harness.simulator().simulator();
    QObject::connect(module, &ModuleSimulator::clientDisconnected, module, [&closed] { ++closed; }, Qt::DirectConnection);
    harness.openWindow();

    harness.window()->findChild<QAction *>(QStringLiteral("actionFindModules"))->trigger();
    auto *const dialog = harness.window()->findChild<FindModulesDialog *>();
    QTRY_VERIFY(dialog->isVisible());
    WindowHarness::type(part<QLineEdit>(dialog, "lineEdit_ScanRange"), harness.moduleAddress());
    WindowHarness::click(part<QPushButton>(dialog, "pushButton_Scan"));
    QTRY_COMPARE_WITH_TIMEOUT(harness.commands(), QStringList{QStringLiteral("CONFIG=?")}, WindowHarness::waitMs);
    QVERIFY(!part<QPushButton>(dialog, "pushButton_Scan")->isEnabled());

    WindowHarness::click(part<QPushButton>(dialog, "pushButton_CancelScan"));
    QCOMPARE(part<QLabel>(dialog, "label_ScanStatus")->text(),
             QStringLiteral("Scan cancelled after 0 of 1 addresses; 0 found"));
    QVERIFY(part<QPushButton>(dialog, "pushButton_Scan")->isEnabled());
    QVERIFY(!part<QPushButton>(dialog, "pushButton_CancelScan")->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(closed.load(), 1, WindowHarness::waitMs);
    QCOMPARE(harness.commands(), QStringList{QStringLiteral("CONFIG=?")});
}

QTEST_MAIN(tst_FindModules)
#include "tst_findmodules.moc"
