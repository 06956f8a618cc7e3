#include "applicationfont.h"
#include "assembledwindow.h"
#include "form_about.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QStackedWidget>
#include <QtTest>

// Renders every screen to a PNG for a person to review; it compares no pixels.
class TestFormScreenshots : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void mainWindowWithEachPage_data();
    void mainWindowWithEachPage();
    void aboutWindow();

private:
    void save(QWidget *widget, const QString &name, const QSize &expectedSize);

    QDir outputDirectory;
};

void TestFormScreenshots::initTestCase()
{
    // As the program shows them.
    ApplicationFont::apply();

    outputDirectory.setPath(QStringLiteral(QR36_SCREENSHOT_DIR));
    QVERIFY(outputDirectory.mkpath(QStringLiteral(".")));
}

void TestFormScreenshots::save(QWidget *widget, const QString &name, const QSize &expectedSize)
{
    const QImage image = widget->grab().toImage();
    QCOMPARE(image.size(), expectedSize);
    const QString path = outputDirectory.absoluteFilePath(name + QStringLiteral(".png"));
    QVERIFY2(image.save(path), qPrintable(path));
    qInfo("wrote %s", qPrintable(path));
}

void TestFormScreenshots::mainWindowWithEachPage_data()
{
    QTest::addColumn<int>("page");
    QTest::newRow("measuresetting") << 0;
    QTest::newRow("refpointsetting") << 1;
    QTest::newRow("measuremonitor") << 2;
    QTest::newRow("plclinksetting") << 3;
}

void TestFormScreenshots::mainWindowWithEachPage()
{
    QFETCH(int, page);
    AssembledWindow w;
    w.ui.stackedWidget->setCurrentIndex(page);
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    save(&w.window, QStringLiteral("mainwindow_") + QTest::currentDataTag(), QSize(800, 600));
}

void TestFormScreenshots::aboutWindow()
{
    Form_About about;
    about.setInchUnitEnabled(true);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    save(&about, QStringLiteral("form_about"), QSize(400, 150));
}

QTEST_MAIN(TestFormScreenshots)
#include "tst_formscreenshots.moc"
