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

QString value(double value, int decimals, QChar decimalPoint)
{
    if (std::isnan(value))
        return QString();
    QString text = QString::number(value, 'f', decimals);
    if (decimalPoint != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), decimalPoint);
    return text;
}

QString unitName(int unit)
{
    return unit >= 1 ? QStringLiteral("mm/25.4") : QStringLiteral("mm");
}

QString dataFormatName(int format)
{
    return QStringLiteral("Mode %1").arg(format + 1);
}

bool carriesJudgement(int format)
{
    return format == 2;
}

} // namespace ReadingFormat
