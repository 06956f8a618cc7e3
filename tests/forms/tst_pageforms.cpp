#include "assembledwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTranslator>
#include <QtTest>

#include <functional>

namespace {

QString hexDigit(int axis)
{
    return QString::number(axis, 16).toUpper();
}

QStringList numbered(const QString &pattern, int first = 1, int last = 16)
{
    QStringList names;
    for (int n = first; n <= last; ++n)
        names << pattern.arg(n);
    return names;
}

// The sixteen parameter-address fields: the first one carries no number.
QStringList paramAddrNames()
{
    return QStringList{QStringLiteral("lineEdit_ParamAddr")}
           + numbered(QStringLiteral("lineEdit_ParamAddr_%1"), 2, 16);
}

QStringList monitorCaptionNames()
{
    return QStringList{QStringLiteral("label_Axis")} + numbered(QStringLiteral("label_Axis_%1"), 2, 16);
}

struct Expected
{
    QStringList names;
    const QMetaObject *type;
};

// Every name must denote exactly one object below `root`, of the expected class.
QStringList checkNames(QObject *root, const QVector<Expected> &expectations,
                       Qt::FindChildOptions options = Qt::FindChildrenRecursively)
{
    QStringList problems;
    for (const Expected &expected : expectations) {
        for (const QString &name : expected.names) {
            const QList<QObject *> found = root->findChildren<QObject *>(name, options);
            if (found.size() != 1) {
                problems << QStringLiteral("%1 below %2: %3 objects of that name")
                                .arg(name, root->objectName())
                                .arg(found.size());
            } else if (!found.first()->metaObject()->inherits(expected.type)) {
                problems << QStringLiteral("%1: a %2, expected a %3")
                                .arg(name, QLatin1String(found.first()->metaObject()->className()),
                                     QLatin1String(expected.type->className()));
            }
        }
    }
    return problems;
}

// The widgets a form put on `root`, without the pop-up windows that combo boxes
// make for themselves.
QList<QWidget *> formWidgets(QWidget *root)
{
    QList<QWidget *> widgets;
    for (QWidget *widget : root->findChildren<QWidget *>()) {
        if (widget->window() == root->window())
            widgets << widget;
    }
    return widgets;
}

template <typename T>
T *child(QObject *root, const QString &name)
{
    return root->findChild<T *>(name);
}

// The cell of `widget` in `grid`, as "row,column", or "none".
QString cellOf(QGridLayout *grid, QWidget *widget)
{
    const int index = widget ? grid->indexOf(widget) : -1;
    if (index < 0)
        return QStringLiteral("none");
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    return QStringLiteral("%1,%2").arg(row).arg(column);
}

// Where the Tab key leads from `from` if every widget were enabled and visible:
// the next widget in the focus chain below `scope` that accepts Tab focus.
QWidget *nextTabStop(QWidget *from, QWidget *scope)
{
    for (QWidget *w = from->nextInFocusChain(); w && w != from; w = w->nextInFocusChain()) {
        if (scope->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus))
            return w;
    }
    return nullptr;
}

// Marks every translation with its context, so a test can tell which texts went
// through retranslateUi and under which context.
class MarkingTranslator : public QTranslator
{
public:
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *sourceText, const char *,
                      int) const override
    {
        return QStringLiteral("[%1]%2").arg(QString::fromUtf8(context), QString::fromUtf8(sourceText));
    }
};

struct ShownText
{
    QObject *owner;
    QString property;
    QString value;
};

QVector<ShownText> shownTexts(QWidget *root)
{
    QVector<ShownText> texts;
    texts.append({root, QStringLiteral("windowTitle"), root->windowTitle()});
    const QList<QWidget *> widgets = root->findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        if (auto label = qobject_cast<QLabel *>(w))
            texts.append({w, QStringLiteral("text"), label->text()});
        else if (auto button = qobject_cast<QAbstractButton *>(w))
            texts.append({w, QStringLiteral("text"), button->text()});
        else if (auto edit = qobject_cast<QLineEdit *>(w)) {
            texts.append({w, QStringLiteral("text"), edit->text()});
            texts.append({w, QStringLiteral("placeholderText"), edit->placeholderText()});
        } else if (auto group = qobject_cast<QGroupBox *>(w))
            texts.append({w, QStringLiteral("title"), group->title()});
        else if (auto combo = qobject_cast<QComboBox *>(w)) {
            for (int i = 0; i < combo->count(); ++i)
                texts.append({w, QStringLiteral("item %1").arg(i), combo->itemText(i)});
        } else if (auto menu = qobject_cast<QMenu *>(w))
            texts.append({w, QStringLiteral("title"), menu->title()});
    }
    const QList<QAction *> actions = root->findChildren<QAction *>();
    for (QAction *action : actions) {
        if (!action->menu())
            texts.append({action, QStringLiteral("text"), action->text()});
    }
    return texts;
}

using TranslatedRule = std::function<bool(const ShownText &)>;

// Checks that exactly the texts `isTranslatable` names carry the marker of
// `context`, and that no other text was translated at all.
QStringList checkTranslation(QWidget *root, const QString &context,
                             const TranslatedRule &isTranslatable)
{
    QStringList problems;
    const QString marker = QStringLiteral("[%1]").arg(context);
    int translatedCount = 0;
    for (const ShownText &text : shownTexts(root)) {
        if (text.value.isEmpty())
            continue;
        const bool marked = text.value.startsWith(marker);
        const bool markedAtAll = text.value.startsWith(QLatin1Char('['));
        const QString where = QStringLiteral("%1 %2 \"%3\"")
                                  .arg(text.owner->objectName(), text.property, text.value);
        if (isTranslatable(text)) {
            ++translatedCount;
            if (!marked)
                problems << where + QStringLiteral(": expected a translation in context ") + context;
        } else if (markedAtAll) {
            problems << where + QStringLiteral(": must be set untranslated");
        }
    }
    if (translatedCount == 0)
        problems << QStringLiteral("no translatable text found in ") + context;
    return problems;
}

bool is(const ShownText &text, const QMetaObject &type)
{
    return text.owner->metaObject()->inherits(&type);
}

} // namespace

class TestPageForms : public QObject
{
    Q_OBJECT

private slots:
    void mainWindowWidgetsExist();
    void pageWidgetsExist();
    void measureSettingBlocksAreSeparateContainers();
    void perAxisWidgetsFollowAxisOrder();
    void comboItemsMatchDeviceCodes_data();
    void comboItemsMatchDeviceCodes();
    void tabOrderChains_data();
    void tabOrderChains();
    void tabKeyFollowsChainAndSkipsDisabledGroup();
    void mainWindowStartState();
    void measureSettingStartState();
    void refPointStartState();
    void monitorStartState();
    void monitorIndicatorDrawsGreenOrGreyDot();
    void plcLinkStartState();
    void formsFitTheirPages();
    void translatableTextsGoThroughRetranslate();
};

void TestPageForms::mainWindowWidgetsExist()
{
    AssembledWindow w;
    QStringList problems;
    problems << checkNames(w.ui.centralwidget,
                           {{{"widget_menu"}, &QWidget::staticMetaObject},
                            {{"lineEdit_ModuleIpAddr", "lineEdit_ModuleId", "lineEdit_AxisNum"},
                             &QLineEdit::staticMetaObject},
                            {{"pushButton_Connect"}, &QPushButton::staticMetaObject}},
                           Qt::FindDirectChildrenOnly);
    problems << checkNames(w.ui.widget_menu,
                           {{{"pushButton_MeasureSetting", "pushButton_RefPointSetting",
                              "pushButton_MeasureMonitor", "pushButton_PlcLinkSetting",
                              "pushButton_FactoryReset", "pushButton_Restart"},
                             &QPushButton::staticMetaObject},
                            {{"stackedWidget"}, &QStackedWidget::staticMetaObject}},
                           Qt::FindDirectChildrenOnly);
    problems << checkNames(&w.window, {{{"actionAbout", "actionCommunicationLog"}, &QAction::staticMetaObject}});
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));

    // The page forms must not rename the pages the window logic switches between.
    const QStringList pages{"page_MeasureSetting", "page_RefPointSetting", "page_MeasureMonitor",
                            "page_PlcLinkSetting"};
    QCOMPARE(w.ui.stackedWidget->count(), pages.size());
    for (int i = 0; i < pages.size(); ++i)
        QCOMPARE(w.ui.stackedWidget->widget(i)->objectName(), pages.at(i));
    QCOMPARE(w.ui.stackedWidget->widget(0), w.ui.page_MeasureSetting);
    QCOMPARE(w.ui.stackedWidget->widget(3), w.ui.page_PlcLinkSetting);
}

void TestPageForms::pageWidgetsExist()
{
    AssembledWindow w;
    const QMetaObject *label = &QLabel::staticMetaObject;
    const QMetaObject *edit = &QLineEdit::staticMetaObject;
    const QMetaObject *combo = &QComboBox::staticMetaObject;
    const QMetaObject *check = &QCheckBox::staticMetaObject;
    const QMetaObject *button = &QPushButton::staticMetaObject;

    QVector<Expected> measure{
        {{"comboBox_Resolution1", "comboBox_Resolution2", "comboBox_CompSet1", "comboBox_CompSet2",
          "comboBox_MeasMode1", "comboBox_MeasMode2", "comboBox_ExtStartInput", "comboBox_Separator",
          "comboBox_DataFormat", "comboBox_OutputTrigger", "comboBox_FlowControl", "comboBox_Unit"},
         combo},
        {{"checkBox_Direction1", "checkBox_Direction2", "checkBox_RefUse1", "checkBox_RefUse2"}, check},
        {{"lineEdit_Preset1", "lineEdit_Preset2"}, edit},
        {{"label_Axis1", "label_Axis2", "label_FlowControl", "label_Unit", "label_Preset1",
          "label_Preset1_2"},
         label},
        {{"pushButton_PrevPage", "pushButton_NextPage", "pushButton_ApplySetting"}, button},
        {{"layoutWidget", "layoutWidget1"}, &QWidget::staticMetaObject},
        {{"groupBox_RS232Setting"}, &QGroupBox::staticMetaObject},
    };
    for (int block = 1; block <= 2; ++block) {
        measure.append({numbered(QStringLiteral("lineEdit_CompHigh%1_").arg(block) + "%1", 1, 4), edit});
        measure.append({numbered(QStringLiteral("lineEdit_CompLow%1_").arg(block) + "%1", 1, 4), edit});
    }
    const QVector<Expected> refPoint{
        {numbered(QStringLiteral("lineEdit_MasterValue%1")), edit},
        {numbered(QStringLiteral("lineEdit_MasterOffset%1")), edit},
        {numbered(QStringLiteral("pushButton_ApplyRef%1")), button},
        {numbered(QStringLiteral("pushButton_Clear%1")), button},
        {numbered(QStringLiteral("label_Axis%1")), label},
    };
    const QVector<Expected> monitor{
        {numbered(QStringLiteral("label_Measure_%1")), label},
        {numbered(QStringLiteral("label_Mode_%1")), label},
        {numbered(QStringLiteral("label_Comp_%1")), label},
        {monitorCaptionNames(), label},
    };
    const QVector<Expected> plcLink{
        {{"lineEdit_ModuleIpAddr", "lineEdit_SubnetMask", "lineEdit_PlcIpAddr", "lineEdit_PlcEtherPort",
          "lineEdit_CtrlFlagAddr", "lineEdit_MeasDataAddr", "lineEdit_FinsSA1", "lineEdit_FinsDA1",
          "lineEdit_FinsDNA", "lineEdit_CmodeUnitNo"},
         edit},
        {paramAddrNames(), edit},
        {{"checkBox_UsingPlcLink"}, check},
        {{"comboBox_LinkProtocol", "comboBox_LinkProtocol_2", "comboBox_LinkProtocol_3"}, combo},
        {{"groupBox_PlcSetting", "groupBox_ModuleSetting"}, &QGroupBox::staticMetaObject},
        {{"pushButton_ApplySetting"}, button},
    };

    QStringList problems;
    problems << checkNames(w.ui.page_MeasureSetting, measure);
    problems << checkNames(w.ui.page_RefPointSetting, refPoint);
    problems << checkNames(w.ui.page_MeasureMonitor, monitor);
    problems << checkNames(w.ui.page_PlcLinkSetting, plcLink);
    // The lower block's preset caption is the exception to the naming rule.
    if (child<QLabel>(w.ui.page_MeasureSetting, QStringLiteral("label_Preset2")))
        problems << QStringLiteral("label_Preset2 must not exist");
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));

    // Each page reaches its own "Apply Setting" and address field, not the other one.
    QVERIFY(w.ui.page_MeasureSetting->isAncestorOf(w.measureSetting.pushButton_ApplySetting));
    QVERIFY(w.ui.page_PlcLinkSetting->isAncestorOf(w.plcLinkSetting.pushButton_ApplySetting));
    QVERIFY(w.ui.page_PlcLinkSetting->isAncestorOf(w.plcLinkSetting.lineEdit_ModuleIpAddr));
    QVERIFY(!w.ui.stackedWidget->isAncestorOf(w.ui.lineEdit_ModuleIpAddr));
}

void TestPageForms::measureSettingBlocksAreSeparateContainers()
{
    // Hiding layoutWidget must hide exactly the lower axis block.
    AssembledWindow w;
    QWidget *page = w.ui.page_MeasureSetting;
    QWidget *lower = child<QWidget>(page, QStringLiteral("layoutWidget"));
    QWidget *upper = child<QWidget>(page, QStringLiteral("layoutWidget1"));
    QVERIFY(lower && upper);
    QCOMPARE(lower->parentWidget(), page);

    const QStringList perBlock{"label_Axis%1", "comboBox_Resolution%1", "checkBox_Direction%1",
                               "checkBox_RefUse%1", "comboBox_CompSet%1", "comboBox_MeasMode%1",
                               "lineEdit_Preset%1", "lineEdit_CompHigh%1_1", "lineEdit_CompHigh%1_4",
                               "lineEdit_CompLow%1_1", "lineEdit_CompLow%1_4"};
    for (const QString &pattern : perBlock) {
        QWidget *first = child<QWidget>(page, pattern.arg(1));
        QWidget *second = child<QWidget>(page, pattern.arg(2));
        QVERIFY2(first && second, qPrintable(pattern));
        QVERIFY2(upper->isAncestorOf(first) && !lower->isAncestorOf(first), qPrintable(pattern.arg(1)));
        QVERIFY2(lower->isAncestorOf(second) && !upper->isAncestorOf(second), qPrintable(pattern.arg(2)));
    }
    QVERIFY(lower->isAncestorOf(child<QWidget>(page, QStringLiteral("label_Preset1_2"))));
    QVERIFY(upper->isAncestorOf(child<QWidget>(page, QStringLiteral("label_Preset1"))));

    for (QWidget *outside : {static_cast<QWidget *>(w.measureSetting.pushButton_PrevPage),
                             static_cast<QWidget *>(w.measureSetting.comboBox_ExtStartInput),
                             static_cast<QWidget *>(w.measureSetting.pushButton_ApplySetting),
                             static_cast<QWidget *>(w.measureSetting.comboBox_Unit)}) {
        QVERIFY2(!lower->isAncestorOf(outside), qPrintable(outside->objectName()));
    }
}

void TestPageForms::perAxisWidgetsFollowAxisOrder()
{
    AssembledWindow w;

    // Reference-point page: row r holds axis r, captioned by its hex digit.
    QGridLayout *refGrid = w.refPointSetting.gridLayout;
    const QStringList refColumns{"label_Axis%1", "lineEdit_MasterValue%1", "pushButton_ApplyRef%1",
                                 "pushButton_Clear%1", "lineEdit_MasterOffset%1"};
    for (int axis = 0; axis < 16; ++axis) {
        for (int column = 0; column < refColumns.size(); ++column) {
            const QString name = refColumns.at(column).arg(axis + 1);
            QCOMPARE(cellOf(refGrid, child<QWidget>(w.ui.page_RefPointSetting, name)),
                     QStringLiteral("%1,%2").arg(axis).arg(column));
        }
        QCOMPARE(child<QLabel>(w.ui.page_RefPointSetting, refColumns.first().arg(axis + 1))->text(),
                 hexDigit(axis));
    }

    // Monitor page: same rule, with its own naming.
    QGridLayout *monitorGrid = w.measureMonitor.gridLayout;
    const QStringList captions = monitorCaptionNames();
    for (int axis = 0; axis < 16; ++axis) {
        const QStringList row{captions.at(axis), QStringLiteral("label_Measure_%1").arg(axis + 1),
                              QStringLiteral("label_Mode_%1").arg(axis + 1),
                              QStringLiteral("label_Comp_%1").arg(axis + 1)};
        for (int column = 0; column < row.size(); ++column) {
            QCOMPARE(cellOf(monitorGrid, child<QWidget>(w.ui.page_MeasureMonitor, row.at(column))),
                     QStringLiteral("%1,%2").arg(axis).arg(column));
        }
        QCOMPARE(child<QLabel>(w.ui.page_MeasureMonitor, captions.at(axis))->text(), hexDigit(axis));
    }

    // PLC-link page: field n sits in reading order, four to a row.
    const QStringList params = paramAddrNames();
    for (int i = 0; i < params.size(); ++i) {
        QLineEdit *field = child<QLineEdit>(w.ui.page_PlcLinkSetting, params.at(i));
        QVERIFY2(field, qPrintable(params.at(i)));
        QCOMPARE(field->parentWidget(), w.plcLinkSetting.groupBox_PlcSetting);
        QCOMPARE(field->geometry(), QRect(140 + 80 * (i % 4), 140 + 30 * (i / 4), 71, 21));
    }

    // Measure-setting page: each limit field sits under the caption of its comparator
    // set and beside the caption of its limit.
    for (int block = 1; block <= 2; ++block) {
        QWidget *page = w.ui.page_MeasureSetting;
        QGridLayout *grid = block == 1 ? w.measureSetting.gridLayout1 : w.measureSetting.gridLayout2;
        const QString highRow = cellOf(grid, child<QWidget>(page, QStringLiteral("label_CompHigh%1").arg(block))).section(',', 0, 0);
        const QString lowRow = cellOf(grid, child<QWidget>(page, QStringLiteral("label_CompLow%1").arg(block))).section(',', 0, 0);
        for (int set = 1; set <= 4; ++set) {
            auto caption = child<QLabel>(page, QStringLiteral("label_Set%1_%2").arg(block).arg(set));
            QVERIFY(caption);
            QCOMPARE(caption->text(), QString::number(set));
            const QString column = cellOf(grid, caption).section(',', 1, 1);
            QCOMPARE(cellOf(grid, child<QWidget>(page, QStringLiteral("lineEdit_CompHigh%1_%2").arg(block).arg(set))),
                     highRow + QLatin1Char(',') + column);
            QCOMPARE(cellOf(grid, child<QWidget>(page, QStringLiteral("lineEdit_CompLow%1_%2").arg(block).arg(set))),
                     lowRow + QLatin1Char(',') + column);
        }
    }
}

void TestPageForms::comboItemsMatchDeviceCodes_data()
{
    // The device's value codes and what each stands for; a combo box index is the
    // code minus the first code.
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("combo");
    QTest::addColumn<int>("firstCode");
    QTest::addColumn<QStringList>("labels");

    const QStringList resolution{QStringLiteral("0.1\u03bcm"), QStringLiteral("0.5\u03bcm"),
                                 QStringLiteral("1\u03bcm"), QStringLiteral("5\u03bcm"),
                                 QStringLiteral("10\u03bcm")};
    const QStringList measMode{"REAL", "MAX", "MIN", "P-P"};
    const QStringList compSet{"1", "2", "3", "4"};
    for (const char *block : {"1", "2"}) {
        const QString b = QLatin1String(block);
        QTest::addRow("comboBox_Resolution%s", block) << "measure" << "comboBox_Resolution" + b << 1 << resolution;
        QTest::addRow("comboBox_MeasMode%s", block) << "measure" << "comboBox_MeasMode" + b << 0 << measMode;
        QTest::addRow("comboBox_CompSet%s", block) << "measure" << "comboBox_CompSet" + b << 1 << compSet;
    }
    QTest::newRow("comboBox_ExtStartInput") << "measure" << "comboBox_ExtStartInput" << 0 << QStringList{"Start", "Latch"};
    QTest::newRow("comboBox_Separator") << "measure" << "comboBox_Separator" << 0 << QStringList{"SPACE", "CR+LF"};
    QTest::newRow("comboBox_DataFormat") << "measure" << "comboBox_DataFormat" << 0 << QStringList{"Mode 1", "Mode 2", "Mode 3"};
    QTest::newRow("comboBox_OutputTrigger")
        << "measure" << "comboBox_OutputTrigger" << 0
        << QStringList{"Low-Speed Trg.", "High-Speed Trg.", "Int. Timer(0.2s)", "Int. Timer(0.5s)",
                       "Int. Timer(1.0s)", "Int. Timer(5.0s)", "Int. Timer(10s)", "Int. Timer(30s)",
                       "Int. Timer(60s)", "Int. Timer(300s)"};
    QTest::newRow("comboBox_FlowControl") << "measure" << "comboBox_FlowControl" << 0 << QStringList{"OFF", "ON"};
    QTest::newRow("comboBox_Unit") << "measure" << "comboBox_Unit" << 0 << QStringList{"mm", "mm/25.4"};
    QTest::newRow("comboBox_LinkProtocol")
        << "plc" << "comboBox_LinkProtocol" << 0
        << QStringList{"1C Frame", "3C Frame", "1E Frame", "3E Frame", "3E Frame for iQ-R",
                       "C mode command", "FINS command", "KV command"};
    QTest::newRow("comboBox_LinkProtocol_2") << "plc" << "comboBox_LinkProtocol_2" << 0 << QStringList{"ASCII", "Binary"};
    QTest::newRow("comboBox_LinkProtocol_3") << "plc" << "comboBox_LinkProtocol_3" << 0 << QStringList{"RS-232C", "TCP", "UDP"};
}

void TestPageForms::comboItemsMatchDeviceCodes()
{
    QFETCH(QString, page);
    QFETCH(QString, combo);
    QFETCH(int, firstCode);
    QFETCH(QStringList, labels);

    AssembledWindow w;
    QWidget *root = page == QLatin1String("plc") ? w.ui.page_PlcLinkSetting : w.ui.page_MeasureSetting;
    auto box = child<QComboBox>(root, combo);
    QVERIFY(box);
    QCOMPARE(box->count(), labels.size());
    for (int i = 0; i < labels.size(); ++i) {
        const int code = firstCode + i;
        QVERIFY2(box->itemText(code - firstCode) == labels.at(i),
                 qPrintable(QStringLiteral("code %1: \"%2\", expected \"%3\"")
                                .arg(code).arg(box->itemText(i), labels.at(i))));
        QVERIFY2(!box->itemData(i).isValid(), "items carry no user data; only the index counts");
    }
}

void TestPageForms::tabOrderChains_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("chain");

    QStringList measure;
    for (int block = 1; block <= 2; ++block) {
        measure << QStringLiteral("comboBox_Resolution%1").arg(block)
                << QStringLiteral("checkBox_Direction%1").arg(block)
                << QStringLiteral("checkBox_RefUse%1").arg(block)
                << QStringLiteral("comboBox_CompSet%1").arg(block)
                << QStringLiteral("comboBox_MeasMode%1").arg(block)
                << QStringLiteral("lineEdit_Preset%1").arg(block);
        for (int set = 1; set <= 4; ++set) {
            measure << QStringLiteral("lineEdit_CompHigh%1_%2").arg(block).arg(set)
                    << QStringLiteral("lineEdit_CompLow%1_%2").arg(block).arg(set);
        }
    }
    measure << "pushButton_PrevPage" << "pushButton_NextPage" << "comboBox_ExtStartInput"
            << "comboBox_Separator" << "comboBox_DataFormat" << "comboBox_OutputTrigger"
            << "pushButton_ApplySetting";
    QTest::newRow("measure setting") << "measure" << measure;

    QStringList plc{"lineEdit_ModuleIpAddr", "lineEdit_SubnetMask", "checkBox_UsingPlcLink",
                    "lineEdit_PlcIpAddr", "lineEdit_PlcEtherPort", "comboBox_LinkProtocol",
                    "comboBox_LinkProtocol_2", "comboBox_LinkProtocol_3", "lineEdit_CtrlFlagAddr"};
    plc << paramAddrNames();
    plc << "lineEdit_MeasDataAddr" << "lineEdit_FinsSA1" << "lineEdit_FinsDA1" << "lineEdit_FinsDNA"
        << "lineEdit_CmodeUnitNo" << "pushButton_ApplySetting";
    QTest::newRow("PLC link") << "plc" << plc;

    // No explicit order: creation order, page buttons first.
    QTest::newRow("main window")
        << "main"
        << QStringList{"pushButton_MeasureSetting", "pushButton_RefPointSetting",
                       "pushButton_MeasureMonitor", "pushButton_PlcLinkSetting",
                       "pushButton_FactoryReset", "pushButton_Restart", "lineEdit_ModuleIpAddr",
                       "pushButton_Connect", "lineEdit_ModuleId", "lineEdit_AxisNum"};
}

void TestPageForms::tabOrderChains()
{
    QFETCH(QString, page);
    QFETCH(QStringList, chain);

    AssembledWindow w;
    QWidget *scope = page == QLatin1String("measure") ? w.ui.page_MeasureSetting
                     : page == QLatin1String("plc")   ? w.ui.page_PlcLinkSetting
                                                      : w.ui.centralwidget;
    for (int i = 0; i + 1 < chain.size(); ++i) {
        QWidget *from = child<QWidget>(scope, chain.at(i));
        QVERIFY2(from, qPrintable(chain.at(i)));
        QWidget *next = nextTabStop(from, scope);
        QVERIFY2(next && next->objectName() == chain.at(i + 1),
                 qPrintable(QStringLiteral("after %1 comes %2, expected %3")
                                .arg(chain.at(i), next ? next->objectName() : QStringLiteral("nothing"),
                                     chain.at(i + 1))));
    }
}

void TestPageForms::tabKeyFollowsChainAndSkipsDisabledGroup()
{
    AssembledWindow w;
    w.window.show();
    QApplication::setActiveWindow(&w.window);
    QVERIFY(QTest::qWaitForWindowActive(&w.window));

    // Measure setting: from the last limit of the upper block into the lower block.
    w.measureSetting.lineEdit_CompLow1_4->setFocus(Qt::TabFocusReason);
    QVERIFY(w.measureSetting.lineEdit_CompLow1_4->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w.measureSetting.comboBox_Resolution2);

    // PLC link: while the group is disabled, Tab passes over all of it and its
    // fields refuse focus.
    Ui_Form_PlcLinkSetting &plc = w.plcLinkSetting;
    w.ui.stackedWidget->setCurrentWidget(w.ui.page_PlcLinkSetting);
    plc.lineEdit_PlcIpAddr->setFocus(Qt::OtherFocusReason);
    QVERIFY(!plc.lineEdit_PlcIpAddr->hasFocus());
    plc.checkBox_UsingPlcLink->setFocus(Qt::TabFocusReason);
    QVERIFY(plc.checkBox_UsingPlcLink->hasFocus());
    QTest::keyClick(plc.checkBox_UsingPlcLink, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), plc.pushButton_ApplySetting);

    // Once enabled (as ticking "Use PLC-Link" does), Tab enters the group.
    plc.groupBox_PlcSetting->setEnabled(true);
    plc.checkBox_UsingPlcLink->setFocus(Qt::TabFocusReason);
    QTest::keyClick(plc.checkBox_UsingPlcLink, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), plc.lineEdit_PlcIpAddr);
}

void TestPageForms::mainWindowStartState()
{
    AssembledWindow w;
    Ui_MainWindow &ui = w.ui;

    for (QLineEdit *readout : {ui.lineEdit_ModuleId, ui.lineEdit_AxisNum}) {
        QCOMPARE(readout->text(), QStringLiteral("--"));
        QVERIFY(readout->isReadOnly());
        QVERIFY2(readout->focusPolicy() & Qt::TabFocus, "read-outs still take focus for copying");
    }
    QVERIFY(ui.lineEdit_ModuleIpAddr->text().isEmpty());
    QVERIFY(!ui.lineEdit_ModuleIpAddr->isReadOnly());
    QCOMPARE(ui.lineEdit_ModuleIpAddr->placeholderText(), QStringLiteral("Module IP Address"));
    QCOMPARE(ui.pushButton_Connect->text(), QStringLiteral("Connect"));
    QCOMPARE(ui.stackedWidget->currentWidget(), ui.page_MeasureSetting);

    // "View" with the communication log, then "Help" with "About", the actions the window wires.
    const QList<QAction *> menus = ui.menubar->actions();
    QVERIFY(menus.contains(ui.menuView->menuAction()));
    QCOMPARE(ui.menuView->title(), QStringLiteral("View"));
    QCOMPARE(ui.menuView->actions(), QList<QAction *>{ui.actionCommunicationLog});
    QCOMPARE(ui.actionCommunicationLog->text(), QStringLiteral("Communication Log..."));
    QCOMPARE(menus.last()->menu(), ui.menuAbout);
    QCOMPARE(ui.menuAbout->title(), QStringLiteral("Help"));
    QCOMPARE(ui.menuAbout->actions(), QList<QAction *>{ui.actionAbout});
    QCOMPARE(ui.actionAbout->text(), QStringLiteral("About"));
    QCOMPARE(w.window.menuBar(), ui.menubar);
    QCOMPARE(w.window.statusBar(), ui.statusbar);
    QCOMPARE(w.window.centralWidget(), ui.centralwidget);

    // Before the window logic hides anything, every button and the page are visible.
    for (QWidget *widget : {static_cast<QWidget *>(ui.widget_menu),
                            static_cast<QWidget *>(ui.pushButton_MeasureSetting),
                            static_cast<QWidget *>(ui.pushButton_RefPointSetting),
                            static_cast<QWidget *>(ui.pushButton_MeasureMonitor),
                            static_cast<QWidget *>(ui.pushButton_PlcLinkSetting),
                            static_cast<QWidget *>(ui.pushButton_FactoryReset),
                            static_cast<QWidget *>(ui.pushButton_Restart),
                            static_cast<QWidget *>(ui.page_MeasureSetting)}) {
        QVERIFY2(widget->isVisibleTo(&w.window) && widget->isEnabled(), qPrintable(widget->objectName()));
    }

    // The column reads top to bottom in this order.
    const QList<QPushButton *> column{ui.pushButton_MeasureSetting, ui.pushButton_RefPointSetting,
                                      ui.pushButton_PlcLinkSetting, ui.pushButton_MeasureMonitor,
                                      ui.pushButton_FactoryReset, ui.pushButton_Restart};
    for (int i = 0; i + 1 < column.size(); ++i)
        QVERIFY2(column.at(i)->y() < column.at(i + 1)->y(), qPrintable(column.at(i + 1)->objectName()));
}

void TestPageForms::measureSettingStartState()
{
    AssembledWindow w;
    QWidget *page = w.ui.page_MeasureSetting;

    const QList<QComboBox *> combos = page->findChildren<QComboBox *>();
    QCOMPARE(combos.size(), 12);
    for (QComboBox *combo : combos) {
        const int expected = combo == w.measureSetting.comboBox_FlowControl ? 1 : 0;
        QVERIFY2(combo->currentIndex() == expected, qPrintable(combo->objectName()));
    }
    QCOMPARE(w.measureSetting.comboBox_FlowControl->currentText(), QStringLiteral("ON"));

    const QList<QLineEdit *> edits = page->findChildren<QLineEdit *>();
    QCOMPARE(edits.size(), 18);
    for (QLineEdit *edit : edits) {
        QVERIFY2(edit->text() == QLatin1String("0.0000"), qPrintable(edit->objectName()));
        QVERIFY2(!edit->validator() && edit->inputMask().isEmpty() && edit->maxLength() == 32767,
                 qPrintable(edit->objectName() + QStringLiteral(" must accept any text")));
        QVERIFY(!edit->isReadOnly());
    }
    for (QCheckBox *box : page->findChildren<QCheckBox *>())
        QVERIFY2(!box->isChecked(), qPrintable(box->objectName()));
    QCOMPARE(w.measureSetting.label_Axis1->text(), QStringLiteral("1"));
    QCOMPARE(w.measureSetting.label_Axis2->text(), QStringLiteral("2"));

    for (QWidget *widget : formWidgets(page))
        QVERIFY2(widget->isVisibleTo(page) && widget->isEnabled(), qPrintable(widget->objectName()));
}

void TestPageForms::refPointStartState()
{
    AssembledWindow w;
    QWidget *page = w.ui.page_RefPointSetting;
    for (int k = 1; k <= 16; ++k) {
        auto value = child<QLineEdit>(page, QStringLiteral("lineEdit_MasterValue%1").arg(k));
        auto offset = child<QLineEdit>(page, QStringLiteral("lineEdit_MasterOffset%1").arg(k));
        QVERIFY(value && offset);
        QVERIFY(value->text().isEmpty() && !value->isReadOnly());
        QCOMPARE(value->placeholderText(), QStringLiteral("MasterValue"));
        QVERIFY(offset->text().isEmpty() && offset->isReadOnly());
        QCOMPARE(offset->placeholderText(), QStringLiteral("MasterOffset"));
        QVERIFY2(offset->focusPolicy() & Qt::TabFocus, "the offset can still be selected and copied");
    }
    for (QWidget *widget : formWidgets(page))
        QVERIFY2(widget->isVisibleTo(page) && widget->isEnabled(), qPrintable(widget->objectName()));

    // The offsets are emptied by retranslateUi.
    w.refPointSetting.lineEdit_MasterOffset7->setText(QStringLiteral("1.5"));
    w.refPointSetting.retranslateUi(page);
    QVERIFY(w.refPointSetting.lineEdit_MasterOffset7->text().isEmpty());

    // No margin: the table starts in the corner of its container.
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    w.ui.stackedWidget->setCurrentWidget(page);
    w.refPointSetting.gridLayout->activate();
    QCOMPARE(w.refPointSetting.label_Axis1->geometry().topLeft(), QPoint(0, 0));
}

void TestPageForms::monitorStartState()
{
    AssembledWindow w;
    QWidget *page = w.ui.page_MeasureMonitor;
    const QColor green(0, 255, 0);
    const QColor grey(120, 120, 120);
    for (int n = 1; n <= 16; ++n) {
        auto measure = child<QLabel>(page, QStringLiteral("label_Measure_%1").arg(n));
        auto mode = child<QLabel>(page, QStringLiteral("label_Mode_%1").arg(n));
        auto comp = child<QLabel>(page, QStringLiteral("label_Comp_%1").arg(n));
        QVERIFY(measure && mode && comp);
        QCOMPARE(measure->text(), QStringLiteral("0.0000"));
        QCOMPARE(mode->text(), QStringLiteral("REAL"));
        QCOMPARE(comp->text(), QString(QChar(0x25CF)));
        QCOMPARE(comp->palette().color(QPalette::Active, QPalette::WindowText), green);
        QCOMPARE(comp->palette().color(QPalette::Inactive, QPalette::WindowText), green);
        QCOMPARE(comp->palette().color(QPalette::Disabled, QPalette::WindowText), grey);
        QVERIFY2(measure->alignment() & Qt::AlignRight, "values line up on the right");
    }
    for (QWidget *widget : formWidgets(page)) {
        QVERIFY2(widget->isVisibleTo(page), qPrintable(widget->objectName()));
        QVERIFY2(widget->focusPolicy() == Qt::NoFocus,
                 qPrintable(widget->objectName() + QStringLiteral(" must not take focus")));
    }
}

void TestPageForms::monitorIndicatorDrawsGreenOrGreyDot()
{
    Ui_Form_MeasureMonitor form;
    QWidget page;
    form.setupUi(&page);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    auto countPixels = [](const QImage &image, QRgb colour) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                count += (image.pixel(x, y) & 0xffffff) == (colour & 0xffffff) ? 1 : 0;
        }
        return count;
    };
    const QRgb green = qRgb(0, 255, 0);
    const QRgb grey = qRgb(120, 120, 120);

    const QImage enabled = form.label_Comp_3->grab().toImage();
    QVERIFY(countPixels(enabled, green) > 0);
    QCOMPARE(countPixels(enabled, grey), 0);

    form.label_Comp_3->setEnabled(false);
    const QImage disabled = form.label_Comp_3->grab().toImage();
    QVERIFY(countPixels(disabled, grey) > 0);
    QCOMPARE(countPixels(disabled, green), 0);
}

void TestPageForms::plcLinkStartState()
{
    AssembledWindow w;
    Ui_Form_PlcLinkSetting &plc = w.plcLinkSetting;

    QVERIFY(!plc.checkBox_UsingPlcLink->isChecked());
    QVERIFY(plc.checkBox_UsingPlcLink->isEnabled());
    QVERIFY(plc.groupBox_ModuleSetting->isEnabled());
    QVERIFY(!plc.groupBox_PlcSetting->isEnabled());
    const QList<QWidget *> inside = plc.groupBox_PlcSetting->findChildren<QWidget *>();
    QVERIFY(inside.size() >= 16 + 3);
    for (QWidget *widget : inside)
        QVERIFY2(!widget->isEnabled(), qPrintable(widget->objectName()));
    for (QWidget *widget : formWidgets(w.ui.page_PlcLinkSetting))
        QVERIFY2(widget->isVisibleTo(w.ui.page_PlcLinkSetting), qPrintable(widget->objectName()));

    QCOMPARE(plc.comboBox_LinkProtocol->currentText(), QStringLiteral("1C Frame"));
    QCOMPARE(plc.comboBox_LinkProtocol_2->currentText(), QStringLiteral("ASCII"));
    QCOMPARE(plc.comboBox_LinkProtocol_3->currentText(), QStringLiteral("RS-232C"));
    QCOMPARE(plc.lineEdit_ModuleIpAddr->text(), QStringLiteral("192.168.0.100"));
    for (const QString &name : paramAddrNames())
        QCOMPARE(child<QLineEdit>(w.ui.page_PlcLinkSetting, name)->text(), QStringLiteral("100"));

    // The group follows its enabled state as a whole, which is all the window logic does.
    plc.groupBox_PlcSetting->setEnabled(true);
    for (QWidget *widget : inside)
        QVERIFY2(widget->isEnabled(), qPrintable(widget->objectName()));
}

void TestPageForms::formsFitTheirPages()
{
    AssembledWindow w;
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));

    // Nothing is placed outside the widget that holds it, and each page form fills
    // its page of the stack.
    QVector<QWidget *> roots{w.ui.widget_menu};
    for (int i = 0; i < w.ui.stackedWidget->count(); ++i) {
        QWidget *page = w.ui.stackedWidget->widget(i);
        w.ui.stackedWidget->setCurrentIndex(i);
        QVERIFY(page->width() >= 660 && page->height() >= 480);
        roots << page;
    }
    for (QWidget *root : roots) {
        for (QWidget *widget : formWidgets(root)) {
            if (widget->parentWidget() == w.ui.stackedWidget)
                continue;
            const QRect inParent = widget->parentWidget()->rect();
            QVERIFY2(inParent.contains(widget->geometry()),
                     qPrintable(QStringLiteral("%1 leaves %2").arg(widget->objectName(),
                                                                   widget->parentWidget()->objectName())));
        }
    }
}

void TestPageForms::translatableTextsGoThroughRetranslate()
{
    MarkingTranslator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    QStringList problems;

    {
        QMainWindow window;
        Ui_MainWindow ui;
        ui.setupUi(&window);
        problems << checkTranslation(&window, QStringLiteral("MainWindow"), [](const ShownText &t) {
            if (is(t, QPushButton::staticMetaObject))
                return t.owner->objectName() != QLatin1String("pushButton_Connect");
            return is(t, QAction::staticMetaObject) || is(t, QMenu::staticMetaObject)
                   || is(t, QLineEdit::staticMetaObject);
        });
    }
    {
        QWidget root;
        Ui_Form_MeasureSetting ui;
        ui.setupUi(&root);
        problems << checkTranslation(&root, QStringLiteral("Form_MeasureSetting"), [](const ShownText &t) {
            return t.property == QLatin1String("windowTitle") || is(t, QGroupBox::staticMetaObject)
                   || is(t, QLineEdit::staticMetaObject) || is(t, QCheckBox::staticMetaObject);
        });
    }
    {
        QWidget root;
        Ui_Form_RefPointSetting ui;
        ui.setupUi(&root);
        problems << checkTranslation(&root, QStringLiteral("Form_RefPointSetting"), [](const ShownText &t) {
            return t.property == QLatin1String("windowTitle") || is(t, QPushButton::staticMetaObject);
        });
    }
    {
        QWidget root;
        Ui_Form_MeasureMonitor ui;
        ui.setupUi(&root);
        problems << checkTranslation(&root, QStringLiteral("Form_MeasureMonitor"), [](const ShownText &t) {
            return t.property == QLatin1String("windowTitle");
        });
    }
    {
        QWidget root;
        Ui_Form_PlcLinkSetting ui;
        ui.setupUi(&root);
        problems << checkTranslation(&root, QStringLiteral("Form_PlcLinkSetting"), [](const ShownText &t) {
            if (is(t, QComboBox::staticMetaObject))
                return t.owner->objectName() == QLatin1String("comboBox_LinkProtocol_2");
            return t.property == QLatin1String("windowTitle") || is(t, QGroupBox::staticMetaObject)
                   || is(t, QLineEdit::staticMetaObject) || is(t, QCheckBox::staticMetaObject);
        });
    }

    QCoreApplication::removeTranslator(&translator);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestPageForms)
#include "tst_pageforms.moc"
