// SPDX-License-Identifier: GPL-3.0-or-later
#include "readingformat.h"

#include <algorithm>
#include <cmath>

namespace ReadingFormat {

int decimals(int resolution, int unit)
{
    static constexpr int table[10] = {4, 4, 3, 3, 2, 5, 5, 4, 4, 3};
    const int row = std::clamp(unit, 0, 1);
    const int column = std::clamp(resolution, 1, 5) - 1;
    return table[row * 5 + column];
}

QString value(double value, int decimals)
{
    return std::isnan(value) ? QString() : QString::number(value, 'f', decimals);
}

QString comparatorResult(int judge)
{
    switch (judge) {
    case 1:
        return QStringLiteral("OK");
    case 2:
        return QStringLiteral("HI");
    case 0:
        return QStringLiteral("LO");
    default:
        return QStringLiteral("ERR");
    }
}

QString unitName(int unit)
{
    return unit >= 1 ? QStringLiteral("mm/25.4") : QStringLiteral("mm");
}

QString dataFormatName(int format)
{
    return QStringLiteral("Mode %1").arg(format + 1);
}

} // namespace ReadingFormat
