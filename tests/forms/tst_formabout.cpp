#include "form_about.h"
#include "productinfo.h"
#include "ui_form_about.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMetaMethod>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QtTest>

class TestFormAbout : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void showsProductAndVersion();
    void isApplicationModal();
    void offersOnlyItsClosingSlot();
    void setInchUnitEnabledSetsTheBox();
    void closeButtonSavesOption_data();
    void closeButtonSavesOption();
    void titleBarCloseSavesNothing();
    void unwritableFileClosesSilently();
    void readOnlyDirectoryClosesSilently();

private:
    // Opens a window the way the main window does and returns it; it deletes itself
    // when closed with its button.
    QPointer<Form_About> openWindow(bool inchUnitEnabled);
    static QString settingsPath() { return QDir::current().absoluteFilePath(QStringLiteral("setting.ini")); }
    static QByteArray readSettingsFile();
    static void clickClose(Form_About *window);

    QString originalDirectory;
    QTemporaryDir *workDirectory = nullptr;
};

void TestFormAbout::init()
{
    originalDirectory = QDir::currentPath();
    workDirectory = new QTemporaryDir;
    QVERIFY(workDirectory->isValid());
    QVERIFY(QDir::setCurrent(workDirectory->path()));
}

void TestFormAbout::cleanup()
{
    QDir::setCurrent(originalDirectory);
    delete workDirectory;
    workDirectory = nullptr;
}

QPointer<Form_About> TestFormAbout::openWindow(bool inchUnitEnabled)
{
    auto window = new Form_About;
    window->setWindowFlag(Qt::Window, true);
    window->setInchUnitEnabled(inchUnitEnabled);
    window->show();
    return window;
}

QByteArray TestFormAbout::readSettingsFile()
{
    QFile file(settingsPath());
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void TestFormAbout::clickClose(Form_About *window)
{
    auto button = window->findChild<QPushButton *>(QStringLiteral("pushButton"));
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("Close"));
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTest::mouseClick(button, Qt::LeftButton);
}

void TestFormAbout::showsProductAndVersion()
{
    Form_About window;
    auto label = window.findChild<QLabel *>(QStringLiteral("label"));
    QVERIFY(label);
    const QString composed = QStringLiteral("%1\n%2").arg(QString::fromUtf8(ProductInfo::title),
                                                         QString::fromUtf8(ProductInfo::version));
    QCOMPARE(label->text(), composed);
    QCOMPARE(label->text(), QStringLiteral("QR36-TN Setting tool\nVersion 1.00"));

    // The form's own text must agree with the constants, so Designer shows the truth.
    QWidget plain;
    Ui_Form_About form;
    form.setupUi(&plain);
    QCOMPARE(form.label->text(), composed);
    QCOMPARE(window.windowTitle(), QStringLiteral("About"));
    QVERIFY(form.checkBox->text().isEmpty());
}

void TestFormAbout::isApplicationModal()
{
    QWidget owner;
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));

    auto window = new Form_About(&owner);
    window->setWindowFlag(Qt::Window, true);
    QCOMPARE(window->windowModality(), Qt::ApplicationModal);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(QApplication::activeModalWidget(), window);
    window->close();
    QVERIFY(!QApplication::activeModalWidget());
}

void TestFormAbout::offersOnlyItsClosingSlot()
{
    const QMetaObject &meta = Form_About::staticMetaObject;
    QCOMPARE(meta.className(), "Form_About");
    QCOMPARE(meta.superClass(), &QWidget::staticMetaObject);
    QCOMPARE(meta.methodCount() - meta.methodOffset(), 1);
    const QMetaMethod slot = meta.method(meta.methodOffset());
    QCOMPARE(slot.methodType(), QMetaMethod::Slot);
    QCOMPARE(slot.access(), QMetaMethod::Public);
    QCOMPARE(slot.methodSignature(), QByteArray("onClosingAboutWindow()"));
}

void TestFormAbout::setInchUnitEnabledSetsTheBox()
{
    Form_About window;
    auto box = window.findChild<QCheckBox *>(QStringLiteral("checkBox"));
    QVERIFY(box);
    QVERIFY(!box->isChecked());
    window.setInchUnitEnabled(true);
    QVERIFY(box->isChecked());
    window.setInchUnitEnabled(false);
    QVERIFY(!box->isChecked());
}

void TestFormAbout::closeButtonSavesOption_data()
{
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<bool>("startTicked");
    QTest::addColumn<bool>("toggle");
    QTest::addColumn<int>("expected");

    QTest::newRow("no file, ticked") << QByteArray() << true << false << 1;
    QTest::newRow("no file, unticked") << QByteArray() << false << false << 0;
    QTest::newRow("user ticks the box") << QByteArray() << false << true << 1;
    QTest::newRow("file says 1, user unticks") << QByteArray("[Unit]\nin=1\n") << true << true << 0;
    QTest::newRow("file says 0, left ticked") << QByteArray("[Unit]\nin=0\n") << true << false << 1;
}

void TestFormAbout::closeButtonSavesOption()
{
    QFETCH(QByteArray, existing);
    QFETCH(bool, startTicked);
    QFETCH(bool, toggle);
    QFETCH(int, expected);

    if (!existing.isEmpty()) {
        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(existing);
    }

    QPointer<Form_About> window = openWindow(startTicked);
    if (toggle) {
        auto box = window->findChild<QCheckBox *>(QStringLiteral("checkBox"));
        QVERIFY(box);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        // The box has no caption: only its indicator takes the click.
        QStyleOptionButton option;
        option.initFrom(box);
        const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
        QTest::mouseClick(box, Qt::LeftButton, {}, indicator.center());
        QCOMPARE(box->isChecked(), !startTicked);
    }
    clickClose(window);
    if (QTest::currentTestFailed())
        return;

    // Written before the window goes away, and at once (not on some later sync).
    QVERIFY(QFileInfo::exists(settingsPath()));
    QVERIFY(readSettingsFile().contains(QByteArray("in=") + QByteArray::number(expected)));
    QSettings settings(settingsPath(), QSettings::IniFormat);
    QCOMPARE(settings.childGroups(), QStringList{QStringLiteral("Unit")});
    QCOMPARE(settings.value(QStringLiteral("Unit/in")).toInt(), expected);
    QCOMPARE(settings.value(QStringLiteral("Unit/in")).toBool(), expected == 1);

    QVERIFY(!window.isNull() && !window->isVisible());
    QTRY_VERIFY(window.isNull());
}

void TestFormAbout::titleBarCloseSavesNothing()
{
    // With no file, none is created.
    QPointer<Form_About> window = openWindow(true);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(window->close());
    QVERIFY(!window->isVisible());
    QTest::qWait(20);
    QVERIFY(!QFileInfo::exists(settingsPath()));
    QVERIFY2(!window.isNull(), "closing from the title bar only hides the window");
    delete window;

    // An existing file is left byte for byte as it was.
    const QByteArray existing("[Unit]\nin=0\n");
    {
        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(existing);
    }
    window = openWindow(true);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(window->close());
    QTest::qWait(20);
    QCOMPARE(readSettingsFile(), existing);
    delete window;
}

void TestFormAbout::unwritableFileClosesSilently()
{
    // A directory in the file's place makes the write fail whoever runs the test.
    QVERIFY(QDir::current().mkdir(QStringLiteral("setting.ini")));

    QPointer<Form_About> window = openWindow(true);
    clickClose(window);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(!window.isNull() && !window->isVisible());
    QTRY_VERIFY(window.isNull());
    QVERIFY(QFileInfo(settingsPath()).isDir());
}

void TestFormAbout::readOnlyDirectoryClosesSilently()
{
    const QString locked = QDir::current().absoluteFilePath(QStringLiteral("locked"));
    QVERIFY(QDir::current().mkdir(QStringLiteral("locked")));
    QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
                                               | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    QVERIFY(QDir::setCurrent(locked));

    QFile probe(QStringLiteral("probe"));
    if (probe.open(QIODevice::WriteOnly)) {
        probe.close();
        probe.remove();
        QSKIP("file permissions do not stop this user (root) from writing; "
              "unwritableFileClosesSilently covers the failed write");
    }

    QPointer<Form_About> window = openWindow(true);
    clickClose(window);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(!window.isNull() && !window->isVisible());
    QTRY_VERIFY(window.isNull());
    QVERIFY(!QFileInfo::exists(QStringLiteral("setting.ini")));
}

QTEST_MAIN(TestFormAbout)
#include "tst_formabout.moc"
