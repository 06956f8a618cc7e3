// SPDX-License-Identifier: GPL-3.0-or-later
#include "communicationlogwindow.h"

#include "commandinterface.h"
#include "communicationlogfile.h"
#include "communicationlogmodel.h"
#include "ui_form_communicationlog.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHideEvent>
#include <QMessageBox>
#include <QSaveFile>
#include <QScrollBar>
#include <QTimer>

namespace {
constexpr int showPeriodMs = 100;
}

CommunicationLogWindow::CommunicationLogWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , ui(std::make_unique<Ui_Form_CommunicationLog>())
    , model(new CommunicationLogModel(capacity, this))
    , showTimer(new QTimer(this))
    , logFile(new CommunicationLogFile(this))
{
    ui->setupUi(this);
    // Columns line up only in a fixed-pitch font; some platforms name none.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (!QFontInfo(fixed).fixedPitch()) {
        fixed.setFamily(QStringLiteral("monospace"));
        fixed.setStyleHint(QFont::TypeWriter);
    }
    ui->listView_Log->setFont(fixed);
    showTimer->setSingleShot(true);
    showTimer->setInterval(showPeriodMs);

    connect(showTimer, &QTimer::timeout, this, &CommunicationLogWindow::showPending);
    connect(ui->checkBox_HidePolls, &QCheckBox::toggled, model, &CommunicationLogModel::setPollsHidden);
    connect(ui->pushButton_LogPause, &QPushButton::toggled, this, &CommunicationLogWindow::onPauseToggled);
    connect(ui->pushButton_LogClear, &QPushButton::clicked, this, [this] {
        pending.clear();
        model->clear();
    });
    connect(ui->pushButton_LogSave, &QPushButton::clicked, this, &CommunicationLogWindow::onSave);
    connect(ui->pushButton_LogToFile, &QPushButton::toggled, this, &CommunicationLogWindow::onLogToFileToggled);
    connect(logFile, &CommunicationLogFile::writeFailed, this, &CommunicationLogWindow::stopLogging);
    ui->label_LogFile->hide();
}

CommunicationLogWindow::~CommunicationLogWindow() = default;

void CommunicationLogWindow::attach(const CommandInterface *link)
{
    connect(link, &CommandInterface::communicationLogged, this, &CommunicationLogWindow::append,
            Qt::QueuedConnection);
    logFile->attach(link);
}

void CommunicationLogWindow::append(const CommunicationLogEntry &entry)
{
    pending.push_back(entry);
    if (int(pending.size()) > capacity)
        pending.pop_front();
    if (!ui->pushButton_LogPause->isChecked() && !showTimer->isActive())
        showTimer->start();
}

void CommunicationLogWindow::showPending()
{
    // The list follows the newest entry unless the reader has scrolled away from it.
    QScrollBar *scrollBar = ui->listView_Log->verticalScrollBar();
    const bool following = scrollBar->value() == scrollBar->maximum();
    model->append(pending);
    pending.clear();
    if (following)
        ui->listView_Log->scrollToBottom();
}

void CommunicationLogWindow::onPauseToggled(bool paused)
{
    ui->pushButton_LogPause->setText(paused ? tr("Resume") : tr("Pause"));
    if (!paused)
        showPending();
}

void CommunicationLogWindow::showLog()
{
    show();
    raise();
    activateWindow();
}

// A list that nobody sees would still lay out all its rows for every few new
// entries; it takes the model only while the window is open.
void CommunicationLogWindow::attachList(bool attached)
{
    QListView *list = ui->listView_Log;
    if ((list->model() == model) == attached)
        return;
    QItemSelectionModel *previous = list->selectionModel(); // the view leaves it to its owner
    list->setModel(attached ? model : nullptr);
    delete previous;
    if (attached)
        list->scrollToBottom();
}

void CommunicationLogWindow::showEvent(QShowEvent *event)
{
    attachList(true);
    QWidget::showEvent(event);
}

void CommunicationLogWindow::hideEvent(QHideEvent *event)
{
    // Minimised, it keeps its place in the list.
    if (!event->spontaneous())
        attachList(false);
    QWidget::hideEvent(event);
}

void CommunicationLogWindow::onSave()
{
    auto *dialog = new QFileDialog(this, tr("Save Communication Log"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setNameFilter(tr("Text files (*.txt)"));
    dialog->setDefaultSuffix(QStringLiteral("txt"));
    dialog->selectFile(QStringLiteral("communication-log-%1.txt")
                               .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"))));
    connect(dialog, &QFileDialog::fileSelected, this, &CommunicationLogWindow::saveTo);
    dialog->open();
}

void CommunicationLogWindow::saveTo(const QString &path)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text) && file.write(model->text().toUtf8()) >= 0
        && file.commit())
        return;
    QMessageBox::warning(this, windowTitle(), tr("The log could not be saved to %1: %2").arg(path, file.errorString()));
}

void CommunicationLogWindow::onLogToFileToggled(bool logging)
{
    if (!logging) {
        if (logFile->isOpen())
            stopLogging(tr("Logging to %1 stopped.").arg(logFile->fileName()));
        return;
    }
    auto *dialog = new QFileDialog(this, tr("Log to File"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    // The name is taken as given, with no suffix added: a device such as a serial
    // line or a pipe is a fine place for a live log.
    dialog->selectFile(QStringLiteral("communication-log-%1.txt")
                               .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"))));
    connect(dialog, &QFileDialog::fileSelected, this, &CommunicationLogWindow::logTo);
    // Dismissed without a file: the button goes back up.
    connect(dialog, &QFileDialog::rejected, this, [this] { ui->pushButton_LogToFile->setChecked(false); });
    dialog->open();
}

void CommunicationLogWindow::logTo(const QString &path)
{
    if (!logFile->open(path)) {
        stopLogging(tr("The log could not be written to %1: %2").arg(path, logFile->errorString()));
        return;
    }
    ui->label_LogFile->setText(tr("Logging every entry to %1").arg(path));
    ui->label_LogFile->show();
}

// Also when the file fails: the reason stays in the window's last line.
void CommunicationLogWindow::stopLogging(const QString &reason)
{
    logFile->close();
    const QSignalBlocker blocker(ui->pushButton_LogToFile);
    ui->pushButton_LogToFile->setChecked(false);
    ui->label_LogFile->setText(reason);
    ui->label_LogFile->show();
}
