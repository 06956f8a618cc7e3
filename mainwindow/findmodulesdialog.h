// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modulescanner.h"

#include <QDialog>
#include <QStringList>

#include <memory>

class QLineEdit;
class QThread;
class Ui_Form_FindModules;

// "Find Modules...": scans address ranges for modules in a thread of its own, so
// the window stays responsive, and lists them as they are found. "Use" or a
// double-click puts a module's address into the window's address field.
class FindModulesDialog : public QDialog
{
    Q_OBJECT

public:
    FindModulesDialog(QLineEdit *addressField, QWidget *parent);
    ~FindModulesDialog() override;

    // The computer's own IPv4 networks, each at most the /24 around its address:
    // a wider one would take minutes, and a line's modules sit near the computer.
    static QStringList ownNetworks();

public slots:
    // Opens the dialog; an empty range field gets the computer's networks, or
    // else the /24 of the address in the address field.
    void showDialog();

protected:
    // "Close", Esc or the title bar: a scan under way stops.
    void reject() override;

private:
    void onScan();
    void onCancel();
    void addModule(const FoundModule &module);
    void onFinished(const ScanResult &result);
    void setScanning(bool scanning);
    void useRow(int row);

    std::unique_ptr<Ui_Form_FindModules> ui;
    QLineEdit *const addressField;
    QThread *const scanThread;
    // The scan under way, living in scanThread: only queued calls reach it. It is
    // deleted when its end arrives here, so it lives as long as this is set.
    ModuleScanner *scanner = nullptr;
    QStringList openPorts;
};
