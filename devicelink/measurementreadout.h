// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Decoding of the module's "R" reply: one fixed-width field per axis with one
// separator character between fields. Pure, so it can be tested and fuzzed alone.
namespace MeasurementReadout {

// 10, 12 or 13 characters by the serial data format; 12 for any unknown code.
int fieldWidth(int dataFormat);
// Whether the fields of this format carry the module's comparator result.
bool carriesComparator(int dataFormat);

// Decodes the fields of axes 0 to axisCount-1 (at most 16) into the three arrays.
// A value that is not a number becomes NaN; a mode or comparator letter outside the
// tables leaves that axis's previous text or code in place.
void decode(const QString &reply, int dataFormat, int axisCount, double *measValue,
            QString *modeText, int *judge);

} // namespace MeasurementReadout
