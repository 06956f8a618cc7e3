#pragma once

#include "ui_form_measuremonitor.h"
#include "ui_form_measuresetting.h"
#include "ui_form_plclinksetting.h"
#include "ui_form_refpointsetting.h"
#include "ui_mainwindow.h"

#include <QMainWindow>

// The main window form with the four page forms built onto its pages, the way
// the window logic puts them together.
struct AssembledWindow
{
    QMainWindow window;
    Ui_MainWindow ui;
    Ui_Form_MeasureSetting measureSetting;
    Ui_Form_RefPointSetting refPointSetting;
    Ui_Form_MeasureMonitor measureMonitor;
    Ui_Form_PlcLinkSetting plcLinkSetting;

    AssembledWindow()
    {
        ui.setupUi(&window);
        measureSetting.setupUi(ui.page_MeasureSetting);
        refPointSetting.setupUi(ui.page_RefPointSetting);
        measureMonitor.setupUi(ui.page_MeasureMonitor);
        plcLinkSetting.setupUi(ui.page_PlcLinkSetting);
    }
};
