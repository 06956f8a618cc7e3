// SPDX-License-Identifier: GPL-3.0-or-later
#include "applicationfont.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

namespace ApplicationFont {

void apply()
{
    const QString name = QString::fromLatin1(family);
    if (!QFontDatabase().hasFamily(name))
        qWarning("The font %s is not installed: some texts may be cut", family);
    QFont font(name, pointSize);
    QApplication::setFont(font);
}

} // namespace ApplicationFont
