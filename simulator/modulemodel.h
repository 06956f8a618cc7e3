// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QString>

#include <array>

// Everything the module keeps in its own memory. Per-axis arrays are indexed
// by the axis index 0 to 15, comparator limits by [set-1][axis].
struct ModuleModel
{
    static constexpr int MaxAxes = 16;
    static constexpr int CompSets = 4;
    static constexpr int ProtocolSettings = 3;

    template<typename T>
    using PerAxis = std::array<T, MaxAxes>;

    ModuleModel();

    // Factory settings; the unit number and the axis count are hardware and stay.
    void resetToFactory();

    int unitNumber = 0; // 0 to 15
    int axisCount = 16; // 1 to 16

    PerAxis<int> resolution;
    PerAxis<bool> direction;
    PerAxis<int> measMode;
    PerAxis<double> preset;
    std::array<PerAxis<double>, CompSets> compHigh;
    std::array<PerAxis<double>, CompSets> compLow;
    PerAxis<int> compSet;
    PerAxis<bool> refUse;
    PerAxis<double> refOffset;

    int extStartInput;
    int separator;
    int dataFormat;
    int outputTrigger;
    int unit;
    int flowControl;
    QString version;

    QHostAddress moduleIpAddr;
    QHostAddress subnetMask;
    QHostAddress plcIpAddr;
    int plcEtherPort;
    bool usingPlcLink;
    std::array<int, ProtocolSettings> linkProtocol;
    int finsSA1;
    int finsDA1;
    int finsDNA;
    int cmodeUnitNo;
    int ctrlFlagAddr;
    PerAxis<int> paramAddr;
    int measDataAddr;
};
