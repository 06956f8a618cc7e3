// SPDX-License-Identifier: GPL-3.0-or-later
// What the pages hold that the module does not. A field whose value differs from the
// module's (as last read, or as written and read back) is marked as edited; before
// the module is let go, by "Disconnect" or by closing the window, the operator
// chooses to write the edits, to drop them or to stay. Writes that cannot be taken
// back are asked about first.

#include "mainwindow.h"

#include "commandinterface.h"
#include "moduleprotocol.h"
#include "pagefields.h"
#include "productinfo.h"
#include "ui_mainwindow.h"

#include <QCloseEvent>
#include <QSet>
#include <QStackedWidget>

#include <algorithm>

void MainWindow::updateEditMarks()
{
    QSet<QWidget *> edited;
    if (const std::optional<ConfigurationFile> module = moduleSettings()) {
        for (const PageField &field : currentPageFields()) {
            const Setting &setting = *field.setting.setting;
            const QJsonValue shown = PageFields::shownValue(field);
            const QJsonValue held = module->value(field.setting);
            if (shown.isNull() || (!shown.isUndefined() && SettingCatalogue::same(setting, shown, held)))
                continue;
            edited.insert(field.widget);
            PageFields::markEdited(field.widget, true, SettingCatalogue::text(setting, held));
        }
    }
    const QList<QWidget *> widgets = ui->stackedWidget->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        if (!edited.contains(widget) && PageFields::isMarkedEdited(widget))
            PageFields::markEdited(widget, false);
    }
}

bool MainWindow::storeDiffers(const ConfigurationFile &module, const SettingRef &setting) const
{
    return !SettingCatalogue::same(*setting.setting, setting.valueIn(*commandInterface), module.value(setting));
}

// The page shown counts as its fields show it; the other pages' edits were taken into
// the store when they were left.
QStringList MainWindow::pendingEdits() const
{
    QStringList names;
    const std::optional<ConfigurationFile> module = moduleSettings();
    if (linkState != LinkState::Connected || !module)
        return names;
    const QList<PageField> fields = currentPageFields();
    for (const PageField &field : fields) {
        if (PageFields::isMarkedEdited(field.widget))
            names << field.name;
    }
    for (const SettingRef &setting : SettingCatalogue::inWriteOrder(commandInterface->axisNum)) {
        const bool shown = std::any_of(fields.begin(), fields.end(), [&setting](const PageField &field) {
            return field.setting.setting == setting.setting && field.setting.axis == setting.axis;
        });
        if (!shown && storeDiffers(*module, setting))
            names << PageFields::settingName(setting);
    }
    return names;
}

void MainWindow::askAboutEdits(const QStringList &edits, const QString &leaving, const std::function<void()> &then)
{
    ask(QStringLiteral("The pages hold edits that were not written to the module: %1.\n\n"
                       "Apply them before %2?")
                .arg(listed(edits), leaving),
        QMessageBox::Apply | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Cancel,
        [this, then](QMessageBox::StandardButton answer) {
            if (answer == QMessageBox::Discard)
                then();
            else if (answer == QMessageBox::Apply)
                applyPendingEdits(then);
        });
}

// Each page's write whose settings hold edits, one after the other as each ends
// well; `then` runs after the last. A refused or declined write stops the lot.
void MainWindow::applyPendingEdits(const std::function<void()> &then)
{
    if (!checkCurrentPage(QLatin1String(notSentText)))
        return;
    onTransitDisplay();
    const std::optional<ConfigurationFile> module = moduleSettings();
    if (!module)
        return;
    const auto differs = [this, &module](const SettingRef &setting) { return storeDiffers(*module, setting); };
    const auto anyDiffers = [&differs](const QVector<SettingRef> &settings) {
        return std::any_of(settings.begin(), settings.end(), differs);
    };
    dropPendingWrites();
    if (anyDiffers(measureSettingWrites()))
        pendingWrites.push_back([this] { writeMeasureSettings(); });
    const Setting &preset = SettingCatalogue::named(QStringLiteral("preset"));
    for (int axis = 0; axis < std::min(commandInterface->axisNum, ModuleProtocol::maxAxes); ++axis) {
        if (commandInterface->refUse[axis] && differs({&preset, axis}))
            pendingWrites.push_back([this, axis] { writeRefPoint(axis); });
    }
    if (anyDiffers(plcLinkWrites()))
        pendingWrites.push_back([this] { writePlcLinkSettings(); });
    afterPendingWrites = then;
    runPendingWrites();
}

void MainWindow::runPendingWrites()
{
    if (!pendingWrites.empty()) {
        const std::function<void()> next = pendingWrites.front();
        pendingWrites.pop_front();
        next();
    } else if (afterPendingWrites) {
        std::exchange(afterPendingWrites, nullptr)();
    }
}

void MainWindow::dropPendingWrites()
{
    pendingWrites.clear();
    afterPendingWrites = nullptr;
}

// No or Escape sends nothing, and stops the writes of an Apply that asked.
void MainWindow::confirm(const QString &text, const std::function<void()> &yes)
{
    ask(text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No, [this, yes](QMessageBox::StandardButton answer) {
        if (answer == QMessageBox::Yes)
            yes();
        else
            dropPendingWrites();
    });
}

// Window-modal and not blocking; Enter, like Escape, picks `escape`.
void MainWindow::ask(const QString &text, QMessageBox::StandardButtons buttons, QMessageBox::StandardButton escape,
                     const std::function<void(QMessageBox::StandardButton)> &answered)
{
    auto *box = new QMessageBox(QMessageBox::Question, QLatin1String(ProductInfo::title), text, buttons, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    box->setEscapeButton(escape);
    box->setDefaultButton(escape);
    connect(box, &QDialog::finished, this, [box, answered] { answered(box->standardButton(box->clickedButton())); });
    box->open();
}

// Seen before the monitor's recording sees the close, so that a close the operator
// takes back leaves it running.
bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != this || event->type() != QEvent::Close || std::exchange(closeAgreed, false)
        || !operationDone.isEmpty())
        return QMainWindow::eventFilter(watched, event);
    const QStringList edits = pendingEdits();
    if (edits.isEmpty())
        return QMainWindow::eventFilter(watched, event);
    event->ignore();
    askAboutEdits(edits, QStringLiteral("closing"), [this] {
        closeAgreed = true;
        close();
    });
    return true;
}
