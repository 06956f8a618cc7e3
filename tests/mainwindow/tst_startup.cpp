// The window as it comes up: title, connection bar, hidden widgets, the inch-unit
// option read from "setting.ini" in the working directory, and the About window.
// No module is needed here.

#include "form_about.h"
#include "windowharness.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>

class tst_Startup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstScreen();
    void inchOptionFromSettingsFile_data();
    void inchOptionFromSettingsFile();
    void aboutWindowShowsAndSavesTheOption_data();
    void aboutWindowShowsAndSavesTheOption();

private:
    static QString settingsPath() { return QDir::current().absoluteFilePath(QStringLiteral("setting.ini")); }
    static void writeSettingsFile(const QByteArray &contents);
    static bool unitSelectorShown(const WindowHarness &harness);

    QString originalDirectory;
    std::unique_ptr<QTemporaryDir> workDirectory;
};

void tst_Startup::init()
{
    originalDirectory = QDir::currentPath();
    workDirectory = std::make_unique<QTemporaryDir>();
    QVERIFY(workDirectory->isValid());
    QVERIFY(QDir::setCurrent(workDirectory->path()));
}

void tst_Startup::cleanup()
{
    QDir::setCurrent(originalDirectory);
    workDirectory.reset();
}

void tst_Startup::writeSettingsFile(const QByteArray &contents)
{
    QFile file(settingsPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(contents), qint64(contents.size()));
}

bool tst_Startup::unitSelectorShown(const WindowHarness &harness)
{
    const auto *combo = harness.onPage<QComboBox>("page_MeasureSetting", QStringLiteral("comboBox_Unit"));
    const auto *label = harness.onPage<QLabel>("page_MeasureSetting", QStringLiteral("label_Unit"));
    if (combo->isHidden() != label->isHidden())
        qWarning("unit selector and its label disagree");
    return !combo->isHidden() && !label->isHidden();
}

void tst_Startup::firstScreen()
{
    WindowHarness harness(QStringLiteral("127.0.0.21"));
    MainWindow *window = harness.openWindow();

    QCOMPARE(window->windowTitle(), QStringLiteral("QR36-TN Setting tool - Version 1.00"));
    QVERIFY(harness.addressEdit());
    QCOMPARE(harness.addressEdit()->text(), QStringLiteral("192.168.0.100"));
    QVERIFY(harness.addressEdit()->isEnabled());
    QCOMPARE(harness.connectButton()->text(), QStringLiteral("Connect"));
    QCOMPARE(harness.moduleIdEdit()->text(), QStringLiteral("--"));
    QCOMPARE(harness.axisNumEdit()->text(), QStringLiteral("--"));

    // Only the connection bar and the menu bar are there before a module is connected.
    QVERIFY(harness.menu()->isHidden());
    QVERIFY(!harness.pages()->isVisible());
    QVERIFY(harness.menuButton("pushButton_FactoryReset")->isHidden());
    QVERIFY(harness.menuButton("pushButton_Restart")->isHidden());
    QCOMPARE(harness.currentPage(), harness.page("page_MeasureSetting"));
    QVERIFY(harness.onPage<QComboBox>("page_MeasureSetting", QStringLiteral("comboBox_FlowControl"))->isHidden());
    QVERIFY(harness.onPage<QLabel>("page_MeasureSetting", QStringLiteral("label_FlowControl"))->isHidden());
    QVERIFY(!unitSelectorShown(harness));

    QVERIFY(!harness.busyDialog());
    QVERIFY(harness.monitorTimer());
    QVERIFY(!harness.monitorTimer()->isActive());

    // Reading the option must not leave a settings file behind.
    QVERIFY(!QFile::exists(settingsPath()));
}

void tst_Startup::inchOptionFromSettingsFile_data()
{
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("shown");

    QTest::newRow("no file") << false << QByteArray() << false;
    QTest::newRow("in=1") << true << QByteArray("[Unit]\nin=1\n") << true;
    QTest::newRow("in=true") << true << QByteArray("[Unit]\nin=true\n") << true;
    QTest::newRow("in=TRUE") << true << QByteArray("[Unit]\nin=TRUE\n") << true;
    QTest::newRow("in=0") << true << QByteArray("[Unit]\nin=0\n") << false;
    QTest::newRow("in=false") << true << QByteArray("[Unit]\nin=false\n") << false;
    QTest::newRow("in=False") << true << QByteArray("[Unit]\nin=False\n") << false;
    QTest::newRow("empty value") << true << QByteArray("[Unit]\nin=\n") << false;
    QTest::newRow("no key") << true << QByteArray("[Unit]\nmm=1\n") << false;
    QTest::newRow("key in another group") << true << QByteArray("[Display]\nin=1\n") << false;
    QTest::newRow("empty file") << true << QByteArray() << false;
}

void tst_Startup::inchOptionFromSettingsFile()
{
    QFETCH(bool, fileExists);
    QFETCH(QByteArray, contents);
    QFETCH(bool, shown);

    if (fileExists)
        writeSettingsFile(contents);

    WindowHarness harness(QStringLiteral("127.0.0.21"));
    harness.openWindow();
    QCOMPARE(unitSelectorShown(harness), shown);
    // Never shown, whatever the option.
    QVERIFY(harness.onPage<QComboBox>("page_MeasureSetting", QStringLiteral("comboBox_FlowControl"))->isHidden());

    QCOMPARE(QFile::exists(settingsPath()), fileExists);
    if (fileExists) {
        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), contents);
    }
}

void tst_Startup::aboutWindowShowsAndSavesTheOption_data()
{
    QTest::addColumn<bool>("optionOn");
    QTest::newRow("option off") << false;
    QTest::newRow("option on") << true;
}

void tst_Startup::aboutWindowShowsAndSavesTheOption()
{
    QFETCH(bool, optionOn);
    if (optionOn)
        writeSettingsFile("[Unit]\nin=1\n");

    WindowHarness harness(QStringLiteral("127.0.0.21"));
    MainWindow *window = harness.openWindow();
    QCOMPARE(unitSelectorShown(harness), optionOn);

    auto *about = window->findChild<QAction *>(QStringLiteral("actionAbout"));
    QVERIFY(about);
    about->trigger();

    QPointer<Form_About> aboutWindow = window->findChild<Form_About *>();
    QVERIFY(aboutWindow);
    QVERIFY(aboutWindow->isVisible());
    QVERIFY(aboutWindow->isWindow());
    QCOMPARE(aboutWindow->windowModality(), Qt::ApplicationModal);
    QCOMPARE(QApplication::activeModalWidget(), aboutWindow.data());

    auto *box = aboutWindow->findChild<QCheckBox *>();
    QVERIFY(box);
    QCOMPARE(box->isChecked(), optionOn);

    WindowHarness::toggle(box);
    QCOMPARE(box->isChecked(), !optionOn);
    auto *closeButton = aboutWindow->findChild<QPushButton *>();
    QVERIFY(closeButton);
    WindowHarness::click(closeButton);
    QTRY_VERIFY_WITH_TIMEOUT(aboutWindow.isNull(), WindowHarness::waitMs);

    QSettings settings(settingsPath(), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("Unit/in")).toString(), QString::number(optionOn ? 0 : 1));

    // The running window keeps the option it started with; the next start takes the new one.
    QCOMPARE(unitSelectorShown(harness), optionOn);
    harness.deleteWindow();
    harness.openWindow();
    QCOMPARE(unitSelectorShown(harness), !optionOn);
}

QTEST_MAIN(tst_Startup)
#include "tst_startup.moc"
