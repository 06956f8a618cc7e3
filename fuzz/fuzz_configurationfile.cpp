// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a configuration file: a file is either refused with a reason or taken
// whole, and a file taken, put into a store, compares equal with it, written out
// again and read back.

#include "commandinterface.h"
#include "configurationfile.h"
#include "fuzzcheck.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static CommandInterface store;
    const QByteArray json(reinterpret_cast<const char *>(data), static_cast<int>(size));
    QStringList errors;
    const std::optional<ConfigurationFile> file = ConfigurationFile::parse(json, &errors);
    FUZZ_CHECK(file.has_value() == errors.isEmpty());
    if (!file)
        return 0;
    FUZZ_CHECK(file->axisCount() >= 1 && file->axisCount() <= ModuleProtocol::maxAxes);

    for (const bool withNetwork : {false, true}) {
        store.axisNum = file->axisCount();
        file->applyTo(store, withNetwork);
        FUZZ_CHECK(file->differences(store, withNetwork).isEmpty());

        QStringList again;
        const std::optional<ConfigurationFile> written = ConfigurationFile::parse(file->toJson(), &again);
        FUZZ_CHECK(written && again.isEmpty());
        FUZZ_CHECK(written->differences(store, withNetwork).isEmpty());
    }
    return 0;
}
