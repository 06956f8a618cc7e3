// SPDX-License-Identifier: GPL-3.0-or-later
// The "File" menu against a two-axis module simulator, over one connection: save
// what the pages hold, load a file into the pages without writing until Apply, and
// refuse files that do not fit. The test functions run in order.

#include "configurationfile.h"
#include "windowharness.h"

#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class tst_SettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void saveRefusesTextThatHoldsNoValue();
    void saveWritesWhatThePagesHold();
    void loadFillsThePagesAndOnlyApplyWrites();
    void filesThatDoNotFitAreRefused_data();
    void filesThatDoNotFitAreRefused();

private:
    // The entry of the "File" menu with this text, chosen, and the file given to its dialog.
    bool choose(const QString &entry, const QString &path);
    QString variant(const QString &name, const std::function<void(QJsonObject &)> &change);
    QComboBox *secondResolution() const
    {
        return harness->onPage<QComboBox>("page_MeasureSetting", QStringLiteral("comboBox_Resolution2"));
    }
    int settingCommands() const
    {
        int count = 0;
        for (const ReceivedCommand &command : harness->simulator().commandLog())
            count += command.setting ? 1 : 0;
        return count;
    }

    QString originalDirectory;
    QTemporaryDir folder;
    QString saved;
    std::unique_ptr<WindowHarness> harness;
};

void tst_SettingsFile::initTestCase()
{
    // No developer's "setting.ini": the inch option is off.
    QVERIFY(folder.isValid());
    originalDirectory = QDir::currentPath();
    QDir::setCurrent(folder.path());
    saved = folder.filePath(QStringLiteral("saved.json"));

    harness = std::make_unique<WindowHarness>();
    SimulatorOptions options;
    options.axisCount = 2;
    QVERIFY(harness->startSimulator(options));
    ModuleModel model = harness->simulator().model();
    model.resolution[1] = 2;
    model.finsSA1 = 5;
    harness->simulator().setModel(model);
    harness->openWindow();
    QVERIFY(harness->connectModule());
    // The connection's own unit write is not the menu's doing.
    harness->simulator().clearCommandLog();
}

void tst_SettingsFile::cleanupTestCase()
{
    harness.reset();
    QDir::setCurrent(originalDirectory);
}

bool tst_SettingsFile::choose(const QString &entry, const QString &path)
{
    const QList<QAction *> menus = harness->window()->menuBar()->actions();
    // Texts without their mnemonic marks.
    const auto text = [](const QAction *action) { return action->text().remove(QLatin1Char('&')); };
    if (menus.isEmpty() || text(menus.first()) != QLatin1String("File"))
        return false;
    QAction *action = nullptr;
    for (QAction *candidate : menus.first()->menu()->actions())
        action = text(candidate) == entry ? candidate : action;
    if (!action || !action->isEnabled())
        return false;
    action->trigger();
    QFileDialog *dialog = nullptr;
    const auto shown = [this, &dialog] {
        dialog = harness->window()->findChild<QFileDialog *>();
        return dialog && dialog->isVisible();
    };
    if (!QTest::qWaitFor(shown, WindowHarness::waitMs))
        return false;
    dialog->selectFile(path);
    static_cast<QDialog *>(dialog)->accept(); // as the dialog's own button does
    return QTest::qWaitFor([this] { return !harness->window()->findChild<QFileDialog *>(); }, WindowHarness::waitMs);
}

QString tst_SettingsFile::variant(const QString &name, const std::function<void(QJsonObject &)> &change)
{
    QFile original(saved);
    if (!original.open(QIODevice::ReadOnly))
        return QString();
    QJsonObject root = QJsonDocument::fromJson(original.readAll()).object();
    change(root);
    QFile file(folder.filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(QJsonDocument(root).toJson());
    return file.fileName();
}

void tst_SettingsFile::saveRefusesTextThatHoldsNoValue()
{
    auto *preset = harness->onPage<QLineEdit>("page_MeasureSetting", QStringLiteral("lineEdit_Preset1"));
    WindowHarness::type(preset, QStringLiteral("1,5"));
    const QString refused = folder.filePath(QStringLiteral("refused.json"));
    QVERIFY(choose(QStringLiteral("Save Settings..."), refused));
    QTRY_VERIFY(harness->window()->statusBar()->currentMessage().contains(QLatin1String("not saved")));
    QVERIFY(!QFile::exists(refused));
    QCOMPARE(preset->text(), QStringLiteral("1,5"));
}

void tst_SettingsFile::saveWritesWhatThePagesHold()
{
    // Typed but not applied: the page shown is captured first.
    WindowHarness::type(harness->onPage<QLineEdit>("page_MeasureSetting", QStringLiteral("lineEdit_Preset1")),
                        QStringLiteral("2.5"));
    QVERIFY(choose(QStringLiteral("Save Settings..."), saved));
    QVERIFY(harness->window()->statusBar()->currentMessage().endsWith(QLatin1String(" saved to ") + saved));

    QStringList errors;
    const std::optional<ConfigurationFile> file = ConfigurationFile::read(saved, &errors);
    QVERIFY2(file, qPrintable(errors.join('\n')));
    QCOMPARE(file->axisCount(), 2);
    QCOMPARE(file->value({&SettingCatalogue::named("preset"), 0}).toDouble(), 2.5);
    QCOMPARE(file->value({&SettingCatalogue::named("resolution"), 1}).toInt(), 2);
    QCOMPARE(file->value({&SettingCatalogue::named("finsSA1"), 0}).toInt(), 5);
    QCOMPARE(settingCommands(), 0);
}

void tst_SettingsFile::loadFillsThePagesAndOnlyApplyWrites()
{
    const QString path = variant(QStringLiteral("changed.json"), [](QJsonObject &root) {
        QJsonArray axes = root.value("axes").toArray();
        QJsonObject second = axes.at(1).toObject();
        second.insert("resolution", 4);
        axes.replace(1, second);
        root.insert("axes", axes);
        QJsonObject plcLink = root.value("plcLink").toObject();
        plcLink.insert("finsSA1", 42);
        root.insert("plcLink", plcLink);
        QJsonObject network = root.value("network").toObject();
        network.insert("moduleIpAddr", "10.9.9.9");
        root.insert("network", network);
    });
    QVERIFY(choose(QStringLiteral("Load Settings..."), path));
    QCOMPARE(secondResolution()->currentIndex(), 3);
    // Edited until applied.
    QVERIFY(harness->window()->statusBar()->currentMessage().contains(QLatin1String(" loaded from ") + path));
    QVERIFY(!secondResolution()->toolTip().isEmpty());
    harness->openPage("pushButton_PlcLinkSetting");
    const auto field = [this](const char *name) {
        return harness->onPage<QLineEdit>("page_PlcLinkSetting", QLatin1String(name))->text();
    };
    QCOMPARE(field("lineEdit_FinsSA1"), QStringLiteral("42"));
    QCOMPARE(field("lineEdit_ModuleIpAddr"), QStringLiteral("192.168.0.100"));
    QCOMPARE(settingCommands(), 0);

    // Each page's Apply writes that page only.
    harness->openPage("pushButton_MeasureSetting");
    QVERIFY(harness->runOperation(harness->onPage<QPushButton>("page_MeasureSetting",
                                                               QStringLiteral("pushButton_ApplySetting"))));
    QTRY_COMPARE(harness->simulator().model().resolution[1], 4);
    QCOMPARE(secondResolution()->toolTip(), QString());
    QCOMPARE(harness->simulator().model().preset[0], 2.5);
    QCOMPARE(harness->simulator().model().finsSA1, 5);
}

void tst_SettingsFile::filesThatDoNotFitAreRefused_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");
    QTest::newRow("another axis count") << variant(QStringLiteral("three.json"), [](QJsonObject &root) {
        QJsonArray axes = root.value("axes").toArray();
        QJsonObject third = axes.at(1).toObject();
        third.insert("axis", 2);
        axes.append(third);
        root.insert("axes", axes);
        root.insert("axisCount", 3);
    }) << "is for a module with 3 axes, and this module has 2";
    QTest::newRow("missing key") << variant(QStringLiteral("missing.json"), [](QJsonObject &root) {
        QJsonObject plcLink = root.value("plcLink").toObject();
        plcLink.remove("finsDNA");
        root.insert("plcLink", plcLink);
    }) << "plcLink.finsDNA: missing";
}

void tst_SettingsFile::filesThatDoNotFitAreRefused()
{
    QFETCH(QString, path);
    QFETCH(QString, message);
    WindowHarness::choose(secondResolution(), 0);
    QVERIFY(choose(QStringLiteral("Load Settings..."), path));
    QMessageBox *box = nullptr;
    QVERIFY(QTest::qWaitFor([&] { return (box = harness->window()->findChild<QMessageBox *>()) != nullptr; }));
    QVERIFY2(box->text().contains(message), qPrintable(box->text()));
    box->accept();
    QTRY_VERIFY(!harness->window()->findChild<QMessageBox *>());
    QCOMPARE(secondResolution()->currentIndex(), 0);
}

QTEST_MAIN(tst_SettingsFile)
#include "tst_settingsfile.moc"
