// SPDX-License-Identifier: GPL-3.0-or-later
// AUTOUIC compiles a .ui file only when a source of this target includes its
// header. The page forms, the main window form and the forms of the monitor's
// windows have no class of their own in this library, so this file includes them
// to have every ui_*.h generated here, where the window logic and the tests find
// them.
#include "ui_form_capability.h"
#include "ui_form_communicationlog.h"
#include "ui_form_findmodules.h"
#include "ui_form_gaugestudy.h"
#include "ui_form_measuremonitor.h"
#include "ui_form_measuresetting.h"
#include "ui_form_plclinksetting.h"
#include "ui_form_refpointsetting.h"
#include "ui_form_trend.h"
#include "ui_mainwindow.h"
