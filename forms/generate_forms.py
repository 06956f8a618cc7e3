#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the four page forms and the trend window (form_*.ui except
form_about.ui) into this folder.

The pages are mostly sixteen-row grids and two identical axis blocks, which are
tedious and error-prone to lay out by hand in Designer. This script wrote their
first version. The committed .ui files are what the build compiles and what a
person edits in Designer; running the script again overwrites such edits, so
only rerun it to rebuild a page from scratch, then review the diff.

    python3 forms/generate_forms.py [page ...]     (pages: measuresetting,
                                                    refpointsetting,
                                                    measuremonitor,
                                                    plclinksetting, trend)
"""

import os
import sys
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
CENTRED = "Qt::AlignCenter"


# --- small builders for Designer's XML ---------------------------------------

def prop(parent, name):
    return ET.SubElement(parent, "property", name=name)


def rect(widget, x, y, w, h):
    r = ET.SubElement(prop(widget, "geometry"), "rect")
    for tag, value in (("x", x), ("y", y), ("width", w), ("height", h)):
        ET.SubElement(r, tag).text = str(value)


def string(widget, name, text, translatable):
    s = ET.SubElement(prop(widget, name), "string")
    if not translatable:
        s.set("notr", "true")
    s.text = text


def font(widget, point_size, bold=False):
    f = ET.SubElement(prop(widget, "font"), "font")
    ET.SubElement(f, "pointsize").text = str(point_size)
    if bold:
        ET.SubElement(f, "weight").text = "75"
        ET.SubElement(f, "bold").text = "true"


def flag(widget, name, value):
    ET.SubElement(prop(widget, name), "bool").text = "true" if value else "false"


def alignment(widget, value=CENTRED):
    ET.SubElement(prop(widget, "alignment"), "set").text = value


def fixed_width(widget, min_width):
    sp = ET.SubElement(prop(widget, "sizePolicy"), "sizepolicy",
                       hsizetype="Fixed", vsizetype="Preferred")
    ET.SubElement(sp, "horstretch").text = "0"
    ET.SubElement(sp, "verstretch").text = "0"
    size = ET.SubElement(prop(widget, "minimumSize"), "size")
    ET.SubElement(size, "width").text = str(min_width)
    ET.SubElement(size, "height").text = "0"


def window_text_palette(widget, normal, disabled):
    pal = ET.SubElement(prop(widget, "palette"), "palette")
    for group, (r, g, b) in (("active", normal), ("inactive", normal),
                             ("disabled", disabled)):
        role = ET.SubElement(ET.SubElement(pal, group), "colorrole",
                             role="WindowText")
        brush = ET.SubElement(role, "brush", brushstyle="SolidPattern")
        colour = ET.SubElement(brush, "color", alpha="255")
        for tag, value in (("red", r), ("green", g), ("blue", b)):
            ET.SubElement(colour, tag).text = str(value)


def widget(parent, cls, name):
    return ET.SubElement(parent, "widget", {"class": cls, "name": name})


def combo_items(combo, items, translatable=False):
    for text in items:
        item = ET.SubElement(combo, "item")
        string(item, "text", text, translatable)


def grid_layout(container, name, margin):
    layout = ET.SubElement(container, "layout", {"class": "QGridLayout",
                                                 "name": name})
    for side in ("leftMargin", "topMargin", "rightMargin", "bottomMargin"):
        ET.SubElement(prop(layout, side), "number").text = str(margin)
    return layout


def cell(layout, row, column, rowspan=None):
    attrs = {"row": str(row), "column": str(column)}
    if rowspan:
        attrs["rowspan"] = str(rowspan)
    return ET.SubElement(layout, "item", attrs)


def label(parent, name, text, geometry=None, point_size=None, bold=False,
          align=CENTRED):
    w = widget(parent, "QLabel", name)
    if geometry:
        rect(w, *geometry)
    if point_size:
        font(w, point_size, bold)
    string(w, "text", text, False)
    if align:
        alignment(w, align)
    return w


def line_edit(parent, name, text=None, geometry=None):
    w = widget(parent, "QLineEdit", name)
    if geometry:
        rect(w, *geometry)
    if text is not None:
        string(w, "text", text, True)
    alignment(w)
    return w


def form(class_name, width=660, height=480, title="Form", translatable=True):
    ui = ET.Element("ui", version="4.0")
    ET.SubElement(ui, "class").text = class_name
    top = widget(ui, "QWidget", class_name)
    rect(top, 0, 0, width, height)
    string(top, "windowTitle", title, translatable)
    return ui, top


def no_focus(widget):
    ET.SubElement(prop(widget, "focusPolicy"), "enum").text = "Qt::NoFocus"


def button(parent, name, text, geometry, enabled=True):
    w = widget(parent, "QPushButton", name)
    if not enabled:
        flag(w, "enabled", False)
    rect(w, *geometry)
    string(w, "text", text, False)
    return w


def finish(ui, tab_order, file_name):
    if tab_order:
        stops = ET.SubElement(ui, "tabstops")
        for name in tab_order:
            ET.SubElement(stops, "tabstop").text = name
    ET.SubElement(ui, "resources")
    ET.SubElement(ui, "connections")
    ET.indent(ui, space=" ")
    text = '<?xml version="1.0" encoding="UTF-8"?>\n'
    text += "<!-- SPDX-License-Identifier: GPL-3.0-or-later -->\n"
    text += ET.tostring(ui, encoding="unicode") + "\n"
    with open(os.path.join(HERE, file_name), "w", encoding="utf-8") as out:
        out.write(text)


def hex_digit(axis):
    return "0123456789ABCDEF"[axis]


# --- the pages -----------------------------------------------------------------

RESOLUTIONS = ["0.1\u03bcm", "0.5\u03bcm", "1\u03bcm", "5\u03bcm", "10\u03bcm"]
MEAS_MODES = ["REAL", "MAX", "MIN", "P-P"]
COMP_SETS = ["1", "2", "3", "4"]
OUTPUT_TRIGGERS = ["Low-Speed Trg.", "High-Speed Trg.", "Int. Timer(0.2s)",
                   "Int. Timer(0.5s)", "Int. Timer(1.0s)", "Int. Timer(5.0s)",
                   "Int. Timer(10s)", "Int. Timer(30s)", "Int. Timer(60s)",
                   "Int. Timer(300s)"]


def axis_block(top, block, container, layout_name, y):
    holder = widget(top, "QWidget", container)
    rect(holder, 50, y, 561, 120)
    grid = grid_layout(holder, layout_name, 6)
    b = str(block)

    caption = widget(cell(grid, 0, 0, rowspan=5), "QLabel", "label_Axis" + b)
    fixed_width(caption, 50)
    font(caption, 16, bold=True)
    string(caption, "text", b, False)
    alignment(caption)

    # The lower block's preset caption has always carried this name.
    preset_caption = "label_Preset" + b if block == 1 else "label_Preset1_2"
    label(cell(grid, 0, 1), "label_Resolution" + b, "Resolution")
    label(cell(grid, 0, 4), "label_CompSet" + b, "Comp. Set")
    label(cell(grid, 0, 5), "label_MeasMode" + b, "Meas Mode")
    label(cell(grid, 0, 6), preset_caption, "Preset")

    combo_items(widget(cell(grid, 1, 1), "QComboBox", "comboBox_Resolution" + b),
                RESOLUTIONS)
    string(widget(cell(grid, 1, 2), "QCheckBox", "checkBox_Direction" + b),
           "text", "Minus", True)
    string(widget(cell(grid, 1, 3), "QCheckBox", "checkBox_RefUse" + b),
           "text", "Ref. use", True)
    combo_items(widget(cell(grid, 1, 4), "QComboBox", "comboBox_CompSet" + b),
                COMP_SETS)
    combo_items(widget(cell(grid, 1, 5), "QComboBox", "comboBox_MeasMode" + b),
                MEAS_MODES)
    line_edit(cell(grid, 1, 6), "lineEdit_Preset" + b, "0.0000")

    for s in range(1, 5):
        label(cell(grid, 2, s + 1), "label_Set%s_%d" % (b, s), str(s))
    label(cell(grid, 3, 1), "label_CompHigh" + b, "Comp. High")
    for s in range(1, 5):
        line_edit(cell(grid, 3, s + 1), "lineEdit_CompHigh%s_%d" % (b, s), "0.0000")
    label(cell(grid, 4, 1), "label_CompLow" + b, "Comp. Low")
    for s in range(1, 5):
        line_edit(cell(grid, 4, s + 1), "lineEdit_CompLow%s_%d" % (b, s), "0.0000")


def block_tab_order(b):
    order = ["comboBox_Resolution%d" % b, "checkBox_Direction%d" % b,
             "checkBox_RefUse%d" % b, "comboBox_CompSet%d" % b,
             "comboBox_MeasMode%d" % b, "lineEdit_Preset%d" % b]
    for s in range(1, 5):
        order += ["lineEdit_CompHigh%d_%d" % (b, s), "lineEdit_CompLow%d_%d" % (b, s)]
    return order


def measure_setting():
    ui, top = form("Form_MeasureSetting")

    label(top, "label_ExtStartInput", "Ext. Start input", (20, 410, 81, 21))
    ext = widget(top, "QComboBox", "comboBox_ExtStartInput")
    rect(ext, 20, 430, 81, 22)
    combo_items(ext, ["Start", "Latch"])

    group = widget(top, "QGroupBox", "groupBox_RS232Setting")
    rect(group, 120, 370, 411, 101)
    string(group, "title", "RS-232C Setting", True)
    for name, text, lgeo, cgeo, items in (
            ("Separator", "Separator", (10, 30, 81, 20), (90, 30, 81, 22),
             ["SPACE", "CR+LF"]),
            ("DataFormat", "Data format", (10, 70, 81, 20), (90, 70, 81, 22),
             ["Mode 1", "Mode 2", "Mode 3"]),
            ("OutputTrigger", "Output trigger", (180, 30, 91, 20),
             (270, 30, 121, 22), OUTPUT_TRIGGERS),
            ("FlowControl", "FlowControl", (180, 70, 91, 20), (270, 70, 81, 22),
             ["OFF", "ON"])):
        label(group, "label_" + name, text, lgeo)
        combo = widget(group, "QComboBox", "comboBox_" + name)
        rect(combo, *cgeo)
        if name == "FlowControl":
            ET.SubElement(prop(combo, "currentIndex"), "number").text = "1"
        combo_items(combo, items)

    apply_button = widget(top, "QPushButton", "pushButton_ApplySetting")
    rect(apply_button, 544, 390, 101, 71)
    string(apply_button, "text", "Apply Setting", False)
    for name, text, x in (("pushButton_PrevPage", "<<", 230),
                          ("pushButton_NextPage", ">>", 370)):
        button = widget(top, "QPushButton", name)
        rect(button, x, 320, 61, 41)
        font(button, 20)
        string(button, "text", text, False)
    # Which axes the two blocks show; the form's text is the longest it takes.
    paging = label(top, "label_AxisPage", "axes 14\u201315 of 16", (295, 320, 71, 41))
    flag(paging, "wordWrap", True)

    axis_block(top, 2, "layoutWidget", "gridLayout2", 190)
    axis_block(top, 1, "layoutWidget1", "gridLayout1", 60)

    unit = widget(top, "QComboBox", "comboBox_Unit")
    rect(unit, 540, 10, 101, 31)
    font(unit, 12)
    combo_items(unit, ["mm", "mm/25.4"])
    label(top, "label_Unit", "Unit", (500, 10, 41, 31), point_size=12)

    tab_order = block_tab_order(1) + block_tab_order(2) + [
        "pushButton_PrevPage", "pushButton_NextPage", "comboBox_ExtStartInput",
        "comboBox_Separator", "comboBox_DataFormat", "comboBox_OutputTrigger",
        "pushButton_ApplySetting"]
    finish(ui, tab_order, "form_measuresetting.ui")


def ref_point_setting():
    ui, top = form("Form_RefPointSetting")
    holder = widget(top, "QWidget", "layoutWidget")
    rect(holder, 30, 10, 441, 460)
    grid = grid_layout(holder, "gridLayout", 0)
    for row in range(16):
        k = row + 1
        label(cell(grid, row, 0), "label_Axis%d" % k, hex_digit(row), point_size=10)
        value = line_edit(cell(grid, row, 1), "lineEdit_MasterValue%d" % k)
        string(value, "placeholderText", "MasterValue", False)
        string(widget(cell(grid, row, 2), "QPushButton", "pushButton_ApplyRef%d" % k),
               "text", "Apply", True)
        string(widget(cell(grid, row, 3), "QPushButton", "pushButton_Clear%d" % k),
               "text", "Clear", True)
        offset = line_edit(cell(grid, row, 4), "lineEdit_MasterOffset%d" % k, "")
        flag(offset, "readOnly", True)
        no_focus(offset)
        string(offset, "placeholderText", "MasterOffset", False)
    finish(ui, None, "form_refpointsetting.ui")


def measure_monitor():
    ui, top = form("Form_MeasureMonitor")
    holder = widget(top, "QWidget", "layoutWidget")
    rect(holder, 120, 20, 262, 431)
    font(holder, 14)
    grid = grid_layout(holder, "gridLayout", 6)
    for row in range(16):
        n = row + 1
        caption = widget(cell(grid, row, 0), "QLabel",
                         "label_Axis" if n == 1 else "label_Axis_%d" % n)
        font(caption, 14, bold=True)
        string(caption, "text", hex_digit(row), False)
        alignment(caption)

        columns = (("label_Measure_%d", "0.0000", 100, "Qt::AlignRight|Qt::AlignVCenter"),
                   ("label_Mode_%d", "REAL", 60, CENTRED),
                   ("label_Comp_%d", "\u25cf", 50, CENTRED))
        for column, (name, text, min_width, align) in enumerate(columns, start=1):
            w = widget(cell(grid, row, column), "QLabel", name % n)
            fixed_width(w, min_width)
            if name.startswith("label_Comp"):
                window_text_palette(w, (0, 255, 0), (120, 120, 120))
            font(w, 14, bold=True)
            string(w, "text", text, False)
            alignment(w, align)

    # Recording and the trend window, in the free area right of the table. Like
    # the rest of the page they take no keyboard focus.
    for name, text, geometry, enabled in (
            ("pushButton_Record", "Record...", (410, 20, 111, 31), True),
            ("pushButton_StopRecording", "Stop", (530, 20, 111, 31), False),
            ("pushButton_Trend", "Trend and Spread...", (410, 150, 231, 31), True)):
        no_focus(button(top, name, text, geometry, enabled))
    state = label(top, "label_RecordingState", "Not recording", (410, 60, 231, 81),
                  align="Qt::AlignLeft|Qt::AlignTop")
    flag(state, "wordWrap", True)
    # Shown while the readings are stale; the form's text is the longest it takes.
    stale = label(top, "label_NoReading", "No reading from 255.255.255.255 since 23:59:59",
                  (410, 230, 231, 41), align="Qt::AlignLeft|Qt::AlignTop")
    window_text_palette(stale, (192, 0, 0), (120, 120, 120))
    flag(stale, "wordWrap", True)
    finish(ui, None, "form_measuremonitor.ui")


def trend():
    ui, top = form("Form_Trend", 760, 640, "Trend and Spread", translatable=False)
    chart = widget(top, "QChartView", "chartView")
    rect(chart, 10, 10, 741, 361)
    label(top, "label_TrendSpan", "Trend over", (10, 380, 71, 22), align=None)
    label(top, "label_SpreadSpan", "Spread over", (240, 380, 76, 22), align=None)
    for name, geometry, items in (
            ("comboBox_TrendSpan", (80, 380, 141, 22), ["Last 60 s", "Whole recording"]),
            ("comboBox_SpreadSpan", (320, 380, 141, 22), ["Whole recording", "Last readings"])):
        combo = widget(top, "QComboBox", name)
        rect(combo, *geometry)
        combo_items(combo, items)
    readings = widget(top, "QSpinBox", "spinBox_SpreadReadings")
    rect(readings, 470, 380, 81, 22)
    for name, value in (("minimum", 2), ("maximum", 10000), ("value", 100)):
        ET.SubElement(prop(readings, name), "number").text = str(value)
    label(top, "label_SpreadUnit", "", (570, 380, 181, 22),
          align="Qt::AlignRight|Qt::AlignVCenter")

    table = widget(top, "QTableWidget", "tableWidget_Spread")
    rect(table, 10, 410, 741, 221)
    ET.SubElement(prop(table, "editTriggers"), "set").text = "QAbstractItemView::NoEditTriggers"
    ET.SubElement(prop(table, "selectionMode"), "enum").text = "QAbstractItemView::NoSelection"
    flag(table, "cornerButtonEnabled", False)
    for name in ("Axis", "Count", "Mean", "Min", "Max", "Range", "Std. dev."):
        column = ET.SubElement(table, "column")
        string(column, "text", name, False)
    header = ET.SubElement(table, "attribute", name="verticalHeaderVisible")
    ET.SubElement(header, "bool").text = "false"

    custom = ET.SubElement(ui, "customwidgets")
    entry = ET.SubElement(custom, "customwidget")
    ET.SubElement(entry, "class").text = "QChartView"
    ET.SubElement(entry, "extends").text = "QGraphicsView"
    ET.SubElement(entry, "header").text = "chartclasses.h"
    tab_order = ["comboBox_TrendSpan", "comboBox_SpreadSpan", "spinBox_SpreadReadings",
                 "tableWidget_Spread"]
    finish(ui, tab_order, "form_trend.ui")


def plc_link_setting():
    ui, top = form("Form_PlcLinkSetting")

    module = widget(top, "QGroupBox", "groupBox_ModuleSetting")
    rect(module, 20, 0, 291, 81)
    string(module, "title", "Module Setting", True)
    label(module, "label_ModuleIpAddr", "Module IP Address", (10, 20, 111, 21))
    line_edit(module, "lineEdit_ModuleIpAddr", "192.168.0.100", (140, 20, 121, 21))
    label(module, "label_SubnetMask", "Subnet mask", (10, 50, 111, 21))
    line_edit(module, "lineEdit_SubnetMask", "255.255.255.0", (140, 50, 121, 21))

    plc = widget(top, "QGroupBox", "groupBox_PlcSetting")
    flag(plc, "enabled", False)
    rect(plc, 20, 110, 501, 361)
    string(plc, "title", "PLC-Link Setting", True)
    label(plc, "label_PlcIpAddr", "PLC IP Address", (10, 20, 111, 21))
    line_edit(plc, "lineEdit_PlcIpAddr", "192.168.0.200", (140, 20, 121, 21))
    label(plc, "label_PlcEtherPort", "PLC Ether port", (10, 50, 111, 21))
    line_edit(plc, "lineEdit_PlcEtherPort", "20000", (140, 50, 121, 21))
    label(plc, "label_PlcLinkProtocol", "Protocol", (10, 80, 111, 21))
    for name, geometry, items, translatable in (
            ("comboBox_LinkProtocol", (140, 80, 131, 22),
             ["1C Frame", "3C Frame", "1E Frame", "3E Frame", "3E Frame for iQ-R",
              "C mode command", "FINS command", "KV command"], False),
            ("comboBox_LinkProtocol_2", (280, 80, 81, 22), ["ASCII", "Binary"], True),
            ("comboBox_LinkProtocol_3", (370, 80, 71, 22),
             ["RS-232C", "TCP", "UDP"], False)):
        combo = widget(plc, "QComboBox", name)
        rect(combo, *geometry)
        combo_items(combo, items, translatable)
    label(plc, "label_CtrlFlagAddr", "Ctrl Frag Address", (10, 110, 111, 21))
    line_edit(plc, "lineEdit_CtrlFlagAddr", "0", (140, 110, 71, 21))
    label(plc, "label_ParamAddr", "Parameter Address", (10, 140, 111, 21))
    param_names = ["lineEdit_ParamAddr"] + ["lineEdit_ParamAddr_%d" % n
                                            for n in range(2, 17)]
    for index, name in enumerate(param_names):
        line_edit(plc, name, "100",
                  (140 + 80 * (index % 4), 140 + 30 * (index // 4), 71, 21))
    label(plc, "label_MeasDataAddr", "MeasData Address", (10, 260, 111, 21))
    line_edit(plc, "lineEdit_MeasDataAddr", "200", (140, 260, 71, 21))
    label(plc, "label_FinsParam", "FINS SA1/DA1/DNA", (10, 290, 111, 21))
    line_edit(plc, "lineEdit_FinsSA1", "1", (140, 290, 71, 21))
    line_edit(plc, "lineEdit_FinsDA1", "1", (220, 290, 71, 21))
    line_edit(plc, "lineEdit_FinsDNA", "0", (300, 290, 71, 21))
    label(plc, "label_CmodeParam", "Cmode UnitNo.", (10, 320, 111, 21))
    line_edit(plc, "lineEdit_CmodeUnitNo", "0", (140, 320, 71, 21))

    apply_button = widget(top, "QPushButton", "pushButton_ApplySetting")
    rect(apply_button, 540, 390, 101, 71)
    string(apply_button, "text", "Apply Setting", False)

    use_link = widget(top, "QCheckBox", "checkBox_UsingPlcLink")
    rect(use_link, 20, 90, 111, 16)
    string(use_link, "text", "Use PLC-Link", True)

    tab_order = ["lineEdit_ModuleIpAddr", "lineEdit_SubnetMask",
                 "checkBox_UsingPlcLink", "lineEdit_PlcIpAddr",
                 "lineEdit_PlcEtherPort", "comboBox_LinkProtocol",
                 "comboBox_LinkProtocol_2", "comboBox_LinkProtocol_3",
                 "lineEdit_CtrlFlagAddr"] + param_names + [
                 "lineEdit_MeasDataAddr", "lineEdit_FinsSA1", "lineEdit_FinsDA1",
                 "lineEdit_FinsDNA", "lineEdit_CmodeUnitNo", "pushButton_ApplySetting"]
    finish(ui, tab_order, "form_plclinksetting.ui")


PAGES = {
    "measuresetting": measure_setting,
    "refpointsetting": ref_point_setting,
    "measuremonitor": measure_monitor,
    "plclinksetting": plc_link_setting,
    "trend": trend,
}

if __name__ == "__main__":
    chosen = sys.argv[1:] or list(PAGES)
    unknown = [name for name in chosen if name not in PAGES]
    if unknown:
        sys.exit("unknown page(s): %s; choose from %s" % (", ".join(unknown),
                                                          ", ".join(PAGES)))
    for name in chosen:
        PAGES[name]()
