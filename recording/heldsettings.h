// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "configurationfile.h"
#include "moduleprotocol.h"

#include <array>
#include <optional>

class CommandInterface;

// What a recording needs of a module's settings to write, judge and draw its
// readings: the data format, the unit, and each axis's resolution and active
// comparator limits.
struct ReadingSettings
{
    static constexpr int maxAxes = ModuleProtocol::maxAxes;

    int unitNumber = 0;
    int axisCount = 0;
    int dataFormat = 0;
    int unit = 0;
    std::array<int, maxAxes> resolution{};
    std::array<double, maxAxes> highLimit{};
    std::array<double, maxAxes> lowLimit{};

    static ReadingSettings of(const ConfigurationFile &file);
    int decimals(int axis) const;
    // Whether readings taken under both are written to the same decimals in the same unit.
    bool sameScale(const ReadingSettings &other) const;
};

// The module's settings as it holds them: as last read, or as written and read
// back. The pages leave unapplied edits in the link's store when they are left,
// so the store is taken only at the end of an operation, and only the settings
// that the operation read back.
class HeldSettings
{
public:
    enum class Completion {
        ParameterRead,  // everything
        MeasureSetting, // the axes' and module-wide measurement settings
        PlcLinkSetting, // network and PLC link, with each axis's parameter address
        RefPoint        // one axis's preset and reference-point use
    };

    void take(const CommandInterface &store, Completion completion, int axis = 0);
    void clear();

    bool isHeld() const { return file.has_value(); }
    // The snapshot of a recording: a configuration file as "Save Settings..." writes it.
    const ConfigurationFile &configuration() const { return *file; }
    const ReadingSettings &reading() const { return settings; }
    // A setting as the module holds it: value("measMode", 3).
    QJsonValue value(const char *key, int axis = 0) const;

private:
    std::optional<ConfigurationFile> file;
    ReadingSettings settings;
};
