// SPDX-License-Identifier: GPL-3.0-or-later
#include "pollreading.h"

#include "commandframing.h"
#include "communicationlogentry.h"
#include "measurementreadout.h"
#include "moduleprotocol.h"

#include <algorithm>
#include <cmath>

namespace {

// Values the readout never writes: a letter outside its tables leaves them in place.
constexpr int noJudge = -1;

PollReading::Result resultOf(int judge)
{
    if (judge == ModuleProtocol::comparatorWithin.code)
        return PollReading::Result::Ok;
    if (judge == ModuleProtocol::comparatorHigh.code)
        return PollReading::Result::High;
    if (judge == ModuleProtocol::comparatorLow.code)
        return PollReading::Result::Low;
    return PollReading::Result::Error;
}

} // namespace

PollReading PollReading::gapAt(qint64 timeMs, int axisCount)
{
    PollReading reading;
    reading.timeMs = timeMs;
    reading.axisCount = std::clamp(axisCount, 0, maxAxes);
    reading.gap = true;
    reading.values.fill(std::nan(""));
    reading.results.fill(Result::Gap);
    return reading;
}

std::optional<PollReading> PollReading::fromLogEntry(const CommunicationLogEntry &entry,
                                                     const ReadingSettings &settings)
{
    using Kind = CommunicationLogEntry::Kind;
    const bool answer = entry.kind == Kind::Reply && entry.poll;
    // A poll's time-out carries its command, the lone "R"; so does a poll that could
    // not be sent, the connection being gone.
    const bool timeout = (entry.kind == Kind::Timeout || entry.kind == Kind::NotSent) && entry.bytes == "R";
    if (!answer && !timeout)
        return std::nullopt;
    PollReading reading = gapAt(entry.time, settings.axisCount);
    if (timeout)
        return reading;

    QString text = ReplyConversion::text(entry.bytes);
    while (text.endsWith(QLatin1Char('\r')) || text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    const int format = settings.dataFormat;
    const int width = MeasurementReadout::fieldWidth(format);
    const int axes = reading.axisCount;
    if (text.size() < axes * (width + 1) - 1)
        return reading;
    std::array<int, maxAxes> judge;
    judge.fill(noJudge);
    std::array<double, maxAxes> values;
    std::array<QString, maxAxes> modes;
    MeasurementReadout::decode(text, format, axes, values.data(), modes.data(), judge.data());
    const bool judged = MeasurementReadout::carriesComparator(format);
    for (int axis = 0; axis < axes; ++axis) {
        // Without a comparator letter, a value that is no number is the module's error sign.
        Result result = !judged ? (std::isnan(values[axis]) ? Result::Error : Result::NotJudged)
                                : judge[axis] == noJudge ? Result::Gap : resultOf(judge[axis]);
        if (result == Result::Error)
            values[axis] = std::nan("");
        const bool undecoded = result == Result::Gap || modes[axis].isEmpty()
                || (result != Result::Error && std::isnan(values[axis]));
        if (undecoded)
            return gapAt(entry.time, axes);
        reading.results[axis] = result;
    }
    reading.values = values;
    reading.modes = modes;
    reading.gap = false;
    return reading;
}

QString PollReading::resultText(Result result)
{
    switch (result) {
    case Result::NotJudged:
        return QString();
    case Result::Ok:
        return QLatin1String(ModuleProtocol::comparatorWithin.word);
    case Result::High:
        return QLatin1String(ModuleProtocol::comparatorHigh.word);
    case Result::Low:
        return QLatin1String(ModuleProtocol::comparatorLow.word);
    case Result::Error:
        return QLatin1String(ModuleProtocol::comparatorError.word);
    case Result::Gap:
        return QStringLiteral("GAP");
    }
    return QString();
}
