// SPDX-License-Identifier: GPL-3.0-or-later
// The measure-monitor page: while it is shown, the module is polled every 200 ms
// and each completed poll redraws every axis from one consistent reading.

#include "mainwindow.h"

#include "commandinterface.h"
#include "moduleprotocol.h"
#include "monitorrecording.h"
#include "readingformat.h"
#include "ui_form_measuremonitor.h"
#include "ui_mainwindow.h"
#include "widgetlists.h"

#include <QLabel>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {
constexpr int monitorPeriodMs = 200;
// Five polls' worth: one late reply is no silence.
constexpr int staleAfterMs = 1000;
} // namespace

void MainWindow::initMeasureMonitor()
{
    const QWidget *const table = uiMeasureMonitor->layoutWidget;
    measureLabels = numberedWidgets<QLabel>(table, "label_Measure_%1");
    modeLabels = numberedWidgets<QLabel>(table, "label_Mode_%1");
    compLabels = numberedWidgets<QLabel>(table, "label_Comp_%1");

    monitorTimer = new QTimer(this);
    // Called in this thread; the link queues a poll only when none is queued or
    // running, so a silent module cannot pile polls up in front of a later Apply.
    connect(monitorTimer, &QTimer::timeout, commandInterface,
            &CommandInterface::requestMeasurePoll, Qt::DirectConnection);
    connect(commandInterface, &CommandInterface::onCompleteUpdateMeasure, this,
            &MainWindow::updateMeasureDisplay);
    connect(monitorTimer, &QTimer::timeout, this, [this] {
        if (!readingsStale && sinceReading.elapsed() > staleAfterMs)
            showReadingsStale(true);
    });
    uiMeasureMonitor->label_NoReading->hide();
    monitorRecording = new MonitorRecording(commandInterface, uiMeasureMonitor.get(), ui->lineEdit_ModuleIpAddr, this);
}

void MainWindow::updateMeasureMonitor()
{
    for (int axis = 0; axis < ModuleProtocol::maxAxes; ++axis) {
        const bool exists = axis < commandInterface->axisNum;
        measureLabels[axis]->setVisible(exists);
        modeLabels[axis]->setVisible(exists);
        compLabels[axis]->setVisible(exists);
    }
    // The rows show the last reading until a new one comes; a silent module is told
    // from the time of the last one this connection had, or from now.
    sinceReading.start();
    if (!lastReadingTime.isValid())
        lastReadingTime = QTime::currentTime();
    monitorTimer->start(monitorPeriodMs);
}

// Greyed rows without a judgement, and the time of the last reading.
void MainWindow::showReadingsStale(bool stale)
{
    readingsStale = stale;
    for (int axis = 0; axis < ModuleProtocol::maxAxes; ++axis) {
        measureLabels[axis]->setEnabled(!stale);
        modeLabels[axis]->setEnabled(!stale);
        if (stale)
            compLabels[axis]->clear();
    }
    QLabel *const line = uiMeasureMonitor->label_NoReading;
    line->setText(QStringLiteral("No reading from %1 since %2")
                          .arg(dialledAddress, lastReadingTime.toString(QStringLiteral("HH:mm:ss"))));
    line->setVisible(stale);
}

void MainWindow::updateMeasureDisplay()
{
    const int unit = commandInterface->unit;
    const MeasurementSnapshot reading = commandInterface->measurementSnapshot();
    sinceReading.start();
    lastReadingTime = QTime::currentTime();
    if (readingsStale)
        showReadingsStale(false);
    QPalette palette;
    const int axes = std::min(commandInterface->axisNum, ModuleProtocol::maxAxes);
    for (int axis = 0; axis < axes; ++axis) {
        const double value = reading.measValue[axis];
        if (std::isnan(value)) {
            measureLabels[axis]->setText(QStringLiteral("Error"));
            modeLabels[axis]->setText(QString());
        } else {
            const int places = ReadingFormat::decimals(commandInterface->resolution[axis], unit);
            const QByteArray format = QStringLiteral("%+.%1f").arg(places).toLatin1();
            measureLabels[axis]->setText(QString::asprintf(format.constData(), value));
            modeLabels[axis]->setText(reading.modeText[axis]);
        }

        QString symbol;
        QColor colour = Qt::red;
        switch (reading.judged ? reading.judge[axis] : -1) {
        case -1: // the data formats without a comparator letter: the module judges nothing
            symbol = QStringLiteral("\u2013");
            colour = QPalette().color(QPalette::WindowText);
            break;
        case ModuleProtocol::comparatorWithin.code:
            symbol = QStringLiteral("\u25CF");
            colour = Qt::green;
            break;
        case ModuleProtocol::comparatorHigh.code:
            symbol = QStringLiteral("\u25B2");
            break;
        case ModuleProtocol::comparatorLow.code:
            symbol = QStringLiteral("\u25BC");
            break;
        default:
            symbol = QStringLiteral("E");
            break;
        }
        palette.setBrush(QPalette::WindowText, QBrush(colour));
        compLabels[axis]->setPalette(palette);
        compLabels[axis]->setText(symbol);
        compLabels[axis]->setToolTip(reading.judged ? QString()
                                                    : QStringLiteral("Not judged: data formats Mode 1 and Mode 2 "
                                                                     "carry no comparator result"));
    }
}
