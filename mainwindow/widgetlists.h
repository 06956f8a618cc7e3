// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "moduleprotocol.h"

#include <QList>
#include <QString>
#include <QWidget>

// The numbered widgets of a per-axis table in axis order, one per axis a module can
// have, found by object name: "%1" in the pattern stands for 1, 2, ... Where the first
// widget of a table carries no number, its name is given apart.
template<typename Widget>
QList<Widget *> numberedWidgets(const QWidget *form, const char *namePattern,
                                const char *firstName = nullptr)
{
    QList<Widget *> widgets;
    for (int number = 1; number <= ModuleProtocol::maxAxes; ++number) {
        const QString name = number == 1 && firstName
                                 ? QString::fromLatin1(firstName)
                                 : QString::fromLatin1(namePattern).arg(number);
        Widget *widget = form->findChild<Widget *>(name);
        // A form without the widget is a broken build; nothing would work without it.
        if (!widget)
            qFatal("The form has no widget named %s", qPrintable(name));
        widgets.append(widget);
    }
    return widgets;
}
