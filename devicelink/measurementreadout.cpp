// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandinterface.h"
#include "measurementreadout.h"
#include "moduleprotocol.h"

#include <QDebug>
#include <QTcpSocket>

#include <algorithm>
#include <cmath>

namespace MeasurementReadout {

int fieldWidth(int dataFormat)
{
    switch (dataFormat) {
    case 0:
        return 10;
    case 2:
        return 13;
    default:
        return 12;
    }
}

bool carriesComparator(int dataFormat)
{
    return dataFormat >= 2;
}

static void decodeModeLetter(QChar letter, QString &modeText)
{
    switch (letter.unicode()) {
    case 'N': modeText = QStringLiteral("REAL"); break;
    case 'A': modeText = QStringLiteral("MAX"); break;
    case 'I': modeText = QStringLiteral("MIN"); break;
    case 'P': modeText = QStringLiteral("P-P"); break;
    default: break;
    }
}

static void decodeComparatorLetter(QChar letter, int &judge)
{
    if (const ModuleProtocol::Comparator *comparator = ModuleProtocol::comparatorOfLetter(letter))
        judge = comparator->code;
}

void decode(const QString &reply, int dataFormat, int axisCount, double *measValue,
            QString *modeText, int *judge)
{
    const int width = fieldWidth(dataFormat);
    const int axes = std::min(axisCount, ModuleProtocol::maxAxes);
    for (int axis = 0; axis < axes; ++axis) {
        const QString field = reply.mid(axis * (width + 1), width);

        bool ok = false;
        const double value = field.right(8).toDouble(&ok);
        measValue[axis] = ok ? value : std::nan("");

        if (dataFormat < 1)
            modeText[axis] = QStringLiteral("N/A");
        else if (field.size() > 2)
            decodeModeLetter(field.at(2), modeText[axis]);

        if (!carriesComparator(dataFormat))
            judge[axis] = ModuleProtocol::comparatorWithin.code;
        else if (field.size() > 4)
            decodeComparatorLetter(field.at(4), judge[axis]);
    }
}

} // namespace MeasurementReadout

void CommandInterface::sendUpdateMeasure()
{
    // A cancel is meant for operations; polls stop only at shutdown.
    if (!shutdownRequested()) {
        discardWaitingBytes();
        write(QStringLiteral("R"));
        // A readout is whole at its line end, or once all its fields are in.
        const int format = moduleDataFormat;
        const int length = perAxisCount() * (MeasurementReadout::fieldWidth(format) + 1) - 1;
        const std::optional<QByteArray> reply = readReply(QStringLiteral("R"), length);
        const QString text = reply ? ReplyConversion::text(*reply) : QString();
        // A reply without all its fields is no reading: the window tells the time of the last one.
        if (reply && text.size() >= length) {
            {
                const std::lock_guard<std::mutex> lock(measurementMutex);
                MeasurementReadout::decode(text, format, axisNum, measValue, modeText, judge);
                readingJudged = MeasurementReadout::carriesComparator(format);
            }
            pollPending = false;
            handOverLog();
            emit onCompleteUpdateMeasure();
            return;
        }
    }
    pollPending = false;
    handOverLog();
}
