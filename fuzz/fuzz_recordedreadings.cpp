// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a recording file for qr36tn-config analyse: a file is refused with a
// reason, or read into figures that hold together.

#include "fuzzcheck.h"
#include "recordedreadings.h"

#include <cmath>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const char *begin = reinterpret_cast<const char *>(data);
    QString error;
    const std::optional<RecordedReadings> file = RecordedReadings::parse(begin, begin + size, &error);
    if (!file) {
        FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    FUZZ_CHECK(file->axisCount >= 1 && file->axisCount <= 16);
    FUZZ_CHECK(int(file->axes.size()) == file->axisCount);
    FUZZ_CHECK(file->gaps >= 0 && file->gaps <= file->rows);
    for (const RecordedReadings::Axis &axis : file->axes) {
        const ReadingSummary summary = axis.statistics.summary();
        // Every row is a reading, a reading without a value or a gap, once.
        FUZZ_CHECK(summary.count + axis.withoutValue + file->gaps == file->rows);
        if (summary.count == 0 || !std::isfinite(summary.maximum - summary.minimum))
            continue;
        const double slack = 1e-9 * (std::abs(summary.minimum) + std::abs(summary.maximum));
        FUZZ_CHECK(summary.minimum - slack <= summary.mean && summary.mean <= summary.maximum + slack);
        if (summary.count > 1)
            FUZZ_CHECK(summary.movingRangeMean <= (summary.maximum - summary.minimum) * (1 + 1e-9) + slack);
    }
    return 0;
}
