// SPDX-License-Identifier: GPL-3.0-or-later
#include "applicationfont.h"
#include "form_about.h"
#include "ui_form_measuremonitor.h"
#include "ui_form_measuresetting.h"
#include "ui_form_plclinksetting.h"
#include "ui_form_refpointsetting.h"
#include "ui_mainwindow.h"

#include <QFontDatabase>
#include <QPainter>
#include <QStyleOption>
#include <QtTest>

// Every label, button, check box and combo item of every form, drawn at the
// application font, must lie within the box its widget draws it in: the forms'
// rectangles are fixed and must stay so.
class tst_FormTexts : public QObject
{
    Q_OBJECT

private slots:
    void everyTextFitsItsBox();

private:
    void measure(QWidget *top);
    void check(QWidget *widget, const QRect &box, const QString &text, int flags);

    QStringList cut;
    int measured = 0;
};

// Draws the text as the style does, into its box on a larger blank image: ink
// (darker than mid-grey) outside the box is what the widget would cut.
void tst_FormTexts::check(QWidget *widget, const QRect &box, const QString &text, int flags)
{
    ++measured;
    QImage image(box.size() * 3, QImage::Format_Grayscale8);
    const int dotsPerMeter = qRound(widget->logicalDpiX() / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    const QRect inside(QPoint(box.width(), box.height()), box.size());
    QPainter painter(&image);
    painter.setFont(widget->font());
    painter.drawText(inside, flags | Qt::TextShowMnemonic | Qt::TextDontClip, text);
    painter.end();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.constScanLine(y)[x] < 128 && !inside.contains(x, y)) {
                cut << QStringLiteral("%1 \"%2\" in %3 px").arg(widget->objectName(), text).arg(box.width());
                return;
            }
        }
    }
}

void tst_FormTexts::measure(QWidget *top)
{
    const int left = Qt::AlignLeft | Qt::AlignVCenter;
    for (QLabel *label : top->findChildren<QLabel *>()) {
        const int margin = label->margin();
        check(label, label->contentsRect().adjusted(margin, margin, -margin, -margin), label->text(),
              int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0));
    }
    for (QAbstractButton *button : top->findChildren<QAbstractButton *>()) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const bool push = qobject_cast<QPushButton *>(button);
        const QRect box = button->style()->subElementRect(push ? QStyle::SE_PushButtonContents : QStyle::SE_CheckBoxContents,
                                                          &option, button);
        check(button, box, button->text(), push ? int(Qt::AlignCenter) : left);
        if (button->objectName() == QLatin1String("pushButton_Connect"))
            check(button, box, QStringLiteral("Disconnect"), Qt::AlignCenter);
    }
    for (QComboBox *combo : top->findChildren<QComboBox *>()) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        // The style draws the current item one pixel in from each side of the field.
        const QRect field = combo->style()
                                ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
                                .adjusted(1, 0, -1, 0);
        for (int item = 0; item < combo->count(); ++item)
            check(combo, field, combo->itemText(item), left);
    }
}

void tst_FormTexts::everyTextFitsItsBox()
{
    QVERIFY2(ApplicationFont::isInstalled(), ApplicationFont::family);
    ApplicationFont::apply();

    QMainWindow window;
    Ui_MainWindow ui;
    Ui_Form_MeasureSetting measureSetting;
    Ui_Form_RefPointSetting refPointSetting;
    Ui_Form_MeasureMonitor measureMonitor;
    Ui_Form_PlcLinkSetting plcLinkSetting;
    ui.setupUi(&window);
    measureSetting.setupUi(ui.page_MeasureSetting);
    refPointSetting.setupUi(ui.page_RefPointSetting);
    measureMonitor.setupUi(ui.page_MeasureMonitor);
    plcLinkSetting.setupUi(ui.page_PlcLinkSetting);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // A page's grid sizes its widgets only once the page is shown.
    for (int page = 0; page < ui.stackedWidget->count(); ++page) {
        ui.stackedWidget->setCurrentIndex(page);
        QCoreApplication::processEvents();
    }
    measure(&window);
    Form_About about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    measure(&about);

    QVERIFY(measured > 200);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
}

QTEST_MAIN(tst_FormTexts)
#include "tst_formtexts.moc"
