// SPDX-License-Identifier: GPL-3.0-or-later
#include "applicationfont.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

namespace ApplicationFont {

bool isInstalled()
{
    // Qt 6 made the font database's functions static.
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QFontDatabase::hasFamily(QLatin1String(family));
#else
    return QFontDatabase().hasFamily(QLatin1String(family));
#endif
}

void apply()
{
    if (!isInstalled())
        qWarning("The font %s is not installed: some texts may be cut", family);
    QFont font(QLatin1String(family), pointSize);
    QApplication::setFont(font);
}

} // namespace ApplicationFont
