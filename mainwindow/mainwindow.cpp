// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"

#include "commandinterface.h"
#include "communicationlogwindow.h"
#include "findmodulesdialog.h"
#include "form_about.h"
#include "heldsettings.h"
#include "monitorrecording.h"
#include "productinfo.h"
#include "ui_form_measuremonitor.h"
#include "ui_form_measuresetting.h"
#include "ui_form_plclinksetting.h"
#include "ui_form_refpointsetting.h"
#include "ui_mainwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QThread>

#include <algorithm>

namespace {
// The longest blocking step of the link is a reply wait or the pause after
// "SETUP" (about a second); after that it sees the stop request and sends nothing more.
constexpr unsigned long workerStopWaitMs = 1400;
// Below the pages, as beside them.
constexpr int formMargin = 10;
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui_MainWindow>())
    , uiMeasureSetting(std::make_unique<Ui_Form_MeasureSetting>())
    , uiRefPointSetting(std::make_unique<Ui_Form_RefPointSetting>())
    , uiMeasureMonitor(std::make_unique<Ui_Form_MeasureMonitor>())
    , uiPlcLinkSetting(std::make_unique<Ui_Form_PlcLinkSetting>())
    , moduleAddress(QStringLiteral("192.168.0.100"))
    , inchUnitEnabled(false)
    , commandInterface(new CommandInterface)
    , workerThread(new QThread)
    , progressDialog(nullptr)
    , linkState(LinkState::Disconnected)
    , cancelAsked(false)
    , axisOffset(0)
    , monitorTimer(nullptr)
{
    ui->setupUi(this);
    uiMeasureSetting->setupUi(ui->page_MeasureSetting);
    uiRefPointSetting->setupUi(ui->page_RefPointSetting);
    uiMeasureMonitor->setupUi(ui->page_MeasureMonitor);
    uiPlcLinkSetting->setupUi(ui->page_PlcLinkSetting);

    setWindowTitle(QStringLiteral("%1 - %2")
                       .arg(QLatin1String(ProductInfo::title), QLatin1String(ProductInfo::version)));
    ui->lineEdit_ModuleIpAddr->setText(moduleAddress.toString());

    const QString settingsFile = QStringLiteral("setting.ini");
    if (QFile::exists(settingsFile)) {
        QSettings settings(settingsFile, QSettings::IniFormat);
        settings.beginGroup(QStringLiteral("Unit"));
        inchUnitEnabled = settings.value(QStringLiteral("in"), 0).toBool();
        settings.endGroup();
    }

    ui->widget_menu->hide();
    ui->pushButton_FactoryReset->hide();
    ui->pushButton_Restart->hide();

    commandInterface->inchEnabled = inchUnitEnabled;

    connect(ui->pushButton_Connect, &QPushButton::clicked, this, &MainWindow::connectToModule);
    connect(ui->lineEdit_ModuleIpAddr, &QLineEdit::returnPressed, this, &MainWindow::connectToModule);
    connect(ui->actionQuit, &QAction::triggered, this, &QWidget::close);
    connect(ui->pushButton_MeasureSetting, &QPushButton::clicked, this, &MainWindow::moveToMeasureSetting);
    connect(ui->pushButton_RefPointSetting, &QPushButton::clicked, this, &MainWindow::moveToRefPointSetting);
    connect(ui->pushButton_MeasureMonitor, &QPushButton::clicked, this, &MainWindow::moveToMeasureMonitor);
    connect(ui->pushButton_PlcLinkSetting, &QPushButton::clicked, this, &MainWindow::moveToPlcLinkSetting);
    connect(ui->pushButton_FactoryReset, &QPushButton::clicked, commandInterface, &CommandInterface::sendFactoryReset);
    connect(ui->pushButton_Restart, &QPushButton::clicked, commandInterface, &CommandInterface::sendCrash);
    connect(ui->actionAbout, &QAction::triggered, this, &MainWindow::openAboutWindow);
    connect(workerThread, &QThread::finished, commandInterface, &QObject::deleteLater);
    connect(workerThread, &QThread::finished, workerThread, &QObject::deleteLater);
    connect(commandInterface, &CommandInterface::transmitConnected, this, &MainWindow::onConnectedModule);
    connect(commandInterface, &CommandInterface::transmitDisconnected, this, &MainWindow::onDisconnectedFromModule);
    connect(this, &MainWindow::connectToHost, commandInterface, &CommandInterface::connectToHost);
    connect(this, &MainWindow::disconnectFromHost, commandInterface, &CommandInterface::disconnectFromHost);
    // A failed connection attempt is told in the busy dialog instead of leaving it
    // on "Please wait..." for an attempt that is long over.
    connect(commandInterface, &CommandInterface::onErrorOccurred, this, &MainWindow::onConnectionError);
    connect(commandInterface, &CommandInterface::operationEnded, this, &MainWindow::onOperationEnded);
    auto *communicationLog = new CommunicationLogWindow(this);
    communicationLog->attach(commandInterface);
    connect(ui->actionCommunicationLog, &QAction::triggered, communicationLog, &CommunicationLogWindow::showLog);
    auto *findModules = new FindModulesDialog(ui->lineEdit_ModuleIpAddr, this);
    connect(ui->actionFindModules, &QAction::triggered, findModules, &FindModulesDialog::showDialog);
    connect(ui->pushButton_FindModules, &QPushButton::clicked, findModules, &FindModulesDialog::showDialog);

    commandInterface->moveToThread(workerThread);
    workerThread->start(QThread::LowPriority);

    initMeasureSetting();
    initRefPointSetting();
    initMeasureMonitor();
    initPlcLinkSetting();
    initSettingsFileMenu();

    // Any change of a page's field may make it differ from the module, or agree again.
    for (QLineEdit *edit : ui->stackedWidget->findChildren<QLineEdit *>())
        connect(edit, &QLineEdit::textChanged, this, &MainWindow::updateEditMarks);
    for (QComboBox *box : ui->stackedWidget->findChildren<QComboBox *>())
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &MainWindow::updateEditMarks);
    for (QCheckBox *box : ui->stackedWidget->findChildren<QCheckBox *>())
        connect(box, &QCheckBox::toggled, this, &MainWindow::updateEditMarks);
    // Tab goes from the address to "Connect" and the page buttons before the page shown;
    // the pages' own forms put their widgets last.
    QWidget *const tabOrder[] = {ui->lineEdit_ModuleIpAddr,     ui->pushButton_Connect,
                                 ui->pushButton_FindModules,    ui->pushButton_MeasureSetting,
                                 ui->pushButton_RefPointSetting, ui->pushButton_PlcLinkSetting,
                                 ui->pushButton_MeasureMonitor};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    // After the recording's: a close is asked about before the recording hears of it.
    installEventFilter(this);

    // The forms place their widgets at fixed pixels: the window is as large as they
    // need, at least as the form says, and keeps that size.
    statusBar()->setSizeGripEnabled(false);
    // A message longer than the bar is cut; its tooltip holds all of it.
    connect(statusBar(), &QStatusBar::messageChanged, statusBar(), &QWidget::setToolTip);
    const int contentHeight = ui->widget_menu->geometry().bottom() + 1 + formMargin;
    setFixedSize(width(), std::max(height(), menuBar()->sizeHint().height() + contentHeight
                                                 + statusBar()->sizeHint().height()));

    qDebug() << "mainwindow" << QThread::currentThreadId();
}

MainWindow::~MainWindow()
{
    // Stop a running operation between two commands, so that closing the window
    // mid-operation against a silent module neither hangs nor leaves the thread running.
    workerThread->requestInterruption();
    workerThread->quit();
    workerThread->wait(workerStopWaitMs);
}

std::optional<ConfigurationFile> MainWindow::moduleSettings() const
{
    const HeldSettings &held = monitorRecording->settings();
    return held.isHeld() ? std::optional<ConfigurationFile>(held.configuration()) : std::nullopt;
}

void MainWindow::openAboutWindow()
{
    auto *about = new Form_About(this);
    about->setWindowFlag(Qt::Window, true);
    about->setWindowFlag(Qt::WindowMinimizeButtonHint, false);
    about->setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    // Closed by its title bar too, it goes: each "About" makes a new one.
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->setInchUnitEnabled(inchUnitEnabled);
    about->show();
}
