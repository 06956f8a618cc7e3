// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes a module may send as the reply to "R", decoded with any data format
// and axis count. The first two bytes choose the format and the count.

#include "commandframing.h"
#include "fuzzcheck.h"
#include "measurementreadout.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    const int dataFormat = static_cast<std::int8_t>(data[0]) % 8; // -7 to 7
    const int axisCount = static_cast<int>(data[1]) % 22 - 2;     // -2 to 19
    const QByteArray bytes(reinterpret_cast<const char *>(data + 2), static_cast<int>(size - 2));

    const QString previousMode = QStringLiteral("previous");
    double measValue[16];
    QString modeText[16];
    int judge[16];
    for (int axis = 0; axis < 16; ++axis) {
        measValue[axis] = -1234.5;
        modeText[axis] = previousMode;
        judge[axis] = 77;
    }
    MeasurementReadout::decode(ReplyConversion::text(bytes), dataFormat, axisCount, measValue, modeText, judge);

    static const QStringList modes = {QStringLiteral("REAL"), QStringLiteral("MAX"), QStringLiteral("MIN"),
                                      QStringLiteral("P-P"), QStringLiteral("N/A"), previousMode};
    for (int axis = 0; axis < 16; ++axis) {
        // Nothing is written past the axis count.
        if (axis >= axisCount) {
            FUZZ_CHECK(measValue[axis] == -1234.5 && modeText[axis] == previousMode && judge[axis] == 77);
            continue;
        }
        // A letter outside the tables keeps what the axis showed before.
        FUZZ_CHECK(modes.contains(modeText[axis]));
        FUZZ_CHECK(judge[axis] == 0 || judge[axis] == 1 || judge[axis] == 2 || judge[axis] == 255
                   || judge[axis] == 77);
        if (dataFormat < 1)
            FUZZ_CHECK(modeText[axis] == QStringLiteral("N/A"));
        if (dataFormat <= 1)
            FUZZ_CHECK(judge[axis] == 1);
    }
    return 0;
}
