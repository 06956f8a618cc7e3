// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <memory>

class Ui_Form_About;

// Shows the product name and version and carries the switch for the inch-unit
// option, which is saved to "setting.ini" when the window is left with "Close".
class Form_About : public QWidget
{
    Q_OBJECT

public:
    explicit Form_About(QWidget *parent = nullptr);
    ~Form_About() override;

    void setInchUnitEnabled(bool enabled);

public slots:
    void onClosingAboutWindow();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    std::unique_ptr<Ui_Form_About> ui;
};
