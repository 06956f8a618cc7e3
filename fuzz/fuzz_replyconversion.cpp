// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes a module may send as the reply to a query, through the conversion of
// every kind of store field. A field whose value does not convert keeps what it held.

#include "commandframing.h"
#include "fuzzcheck.h"

#include <cmath>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray reply(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const QString value = ReplyConversion::value(reply);
    FUZZ_CHECK(value.isNull() || !value.isEmpty());

    int integer = 12345;
    if (!ReplyConversion::toInt(value, integer))
        FUZZ_CHECK(integer == 12345);
    for (const bool previous : {false, true}) {
        bool flag = previous;
        if (!ReplyConversion::toBool(value, flag))
            FUZZ_CHECK(flag == previous);
    }
    double number = -4321.5;
    if (!ReplyConversion::toDouble(value, number))
        FUZZ_CHECK(number == -4321.5);

    // The axis count sizes every per-axis loop: it must stay within the 16 axes the store has.
    for (const int previous : {-1, 7}) {
        int moduleId = previous;
        int axisNum = previous;
        ReplyConversion::toConfig(value, moduleId, axisNum);
        FUZZ_CHECK(moduleId == previous || (moduleId >= 0 && moduleId <= 15));
        FUZZ_CHECK(axisNum == previous || (axisNum >= 1 && axisNum <= 16));
    }
    FUZZ_CHECK(std::isnan(ReplyConversion::toRefOffset(value, false)));
    return 0;
}
