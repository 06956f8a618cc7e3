#include "applicationfont.h"
#include "form_about.h"
#include "ui_form_measuremonitor.h"
#include "ui_form_measuresetting.h"
#include "ui_form_plclinksetting.h"
#include "ui_form_refpointsetting.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyleOption>
#include <QtTest>

// Every text of every form, drawn at the application font, must lie within the box
// its widget draws it in: the forms' rectangles are fixed and must stay so.
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

// Draws the text as the widget's style does, into its box on a larger blank image:
// ink (darker than mid-grey) outside the box is what the widget would cut.
void tst_FormTexts::check(QWidget *widget, const QRect &box, const QString &text, int flags)
{
    ++measured;
    const QSize room(box.width(), box.height());
    QImage image(box.size() + 2 * room, QImage::Format_Grayscale8);
    const int dotsPerMeter = qRound(widget->logicalDpiX() / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    const QRect inside(QPoint(room.width(), room.height()), box.size());
    QPainter painter(&image);
    painter.setFont(widget->font());
    painter.setPen(Qt::black);
    painter.drawText(inside, flags | Qt::TextShowMnemonic | Qt::TextDontClip, text);
    painter.end();

    QRect ink;
    for (int y = 0; y < image.height(); ++y) {
        const uchar *row = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            if (row[x] < 128)
                ink |= QRect(x, y, 1, 1);
        }
    }
    if (!inside.contains(ink))
        cut << QStringLiteral("%1 \"%2\": %3 px wide, %4 px room").arg(widget->objectName(), text).arg(ink.width()).arg(box.width());
}

void tst_FormTexts::measure(QWidget *top)
{
    const int centred = Qt::AlignCenter;
    for (QLabel *label : top->findChildren<QLabel *>()) {
        if (label->text().isEmpty())
            continue;
        const int margin = label->margin();
        check(label, label->contentsRect().adjusted(margin, margin, -margin, -margin), label->text(),
              int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0));
    }
    for (QPushButton *button : top->findChildren<QPushButton *>()) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect box = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        check(button, box, button->text(), centred);
        if (button->objectName() == QLatin1String("pushButton_Connect"))
            check(button, box, QStringLiteral("Disconnect"), centred);
    }
    for (QCheckBox *box : top->findChildren<QCheckBox *>()) {
        if (box->text().isEmpty())
            continue;
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        check(box, box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box), box->text(),
              Qt::AlignLeft | Qt::AlignVCenter);
    }
    for (QComboBox *combo : top->findChildren<QComboBox *>()) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        option.frame = combo->hasFrame();
        // The style draws the current item one pixel in from each side of the field.
        const QRect field = combo->style()
                                ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
                                .adjusted(1, 0, -1, 0);
        for (int item = 0; item < combo->count(); ++item)
            check(combo, field, combo->itemText(item), Qt::AlignLeft | Qt::AlignVCenter);
    }
    for (QLineEdit *edit : top->findChildren<QLineEdit *>()) {
        QStyleOptionFrame option;
        option.initFrom(edit);
        option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
        // A line edit keeps two pixels free on each side of its text.
        const QRect box = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit).adjusted(2, 0, -2, 0);
        for (const QString &text : {edit->text(), edit->placeholderText()}) {
            if (!text.isEmpty())
                check(edit, box, text, int(edit->alignment()));
        }
    }
}

void tst_FormTexts::everyTextFitsItsBox()
{
    QVERIFY2(QFontDatabase().hasFamily(QLatin1String(ApplicationFont::family)), ApplicationFont::family);
    ApplicationFont::apply();

    // The main window form with the four pages on it, every widget shown.
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

    QVERIFY(measured > 300);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
}

QTEST_MAIN(tst_FormTexts)
#include "tst_formtexts.moc"
