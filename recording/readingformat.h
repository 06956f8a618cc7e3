// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>

// How a reading is written for the operator: the monitor page, the recording file
// and the spread all use the decimals of the axis's resolution and the module's unit.
namespace ReadingFormat {

// Decimals by unit (0 mm, 1 mm/25.4) and resolution code 1 to 5; codes outside
// the table take its nearest row and column.
int decimals(int resolution, int unit);
// Plain fixed-point text with `decimalPoint` whatever the locale; empty for not-a-number.
QString value(double value, int decimals, QChar decimalPoint = QLatin1Char('.'));
QString unitName(int unit);         // "mm" or "mm/25.4"
QString dataFormatName(int format); // "Mode 1" to "Mode 3"
// Only the data format "Mode 3" carries the module's comparator letter.
bool carriesJudgement(int format);

} // namespace ReadingFormat
