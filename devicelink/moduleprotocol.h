// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractSocket>
#include <QString>

// Facts about the module that every part of the tool relies on, each named once.
namespace ModuleProtocol {

inline constexpr quint16 commandPort = 24000;
inline constexpr int maxAxes = 16;
inline constexpr int comparatorSets = 4;
inline constexpr int linkProtocolSettings = 3;
// How long a query waits for its reply, and the pause after every command.
inline constexpr int replyWaitMs = 1000;
inline constexpr int commandPauseMs = 10;

// An axis as the module and its operators name it: 0 to 9, then A to F.
inline QString axisName(int axis)
{
    return QString::number(axis, 16).toUpper();
}

// The comparator result of a reading: the store's code, the letter of the module's
// readout and the word of the recording file.
struct Comparator
{
    int code;
    char letter;
    const char *word;
};
inline constexpr Comparator comparatorLow{0, 'L', "LO"};
inline constexpr Comparator comparatorWithin{1, 'G', "OK"};
inline constexpr Comparator comparatorHigh{2, 'U', "HI"};
inline constexpr Comparator comparatorError{255, 'E', "ERR"};
inline constexpr Comparator comparators[] = {comparatorLow, comparatorWithin, comparatorHigh, comparatorError};

// The result of a readout letter; nullptr for a letter the module does not send.
const Comparator *comparatorOfLetter(QChar letter);
// The result of a store code; an unknown code reads as an error.
const Comparator &comparatorOfCode(int code);

// Why a connection to the module failed or ended, in the operator's words:
// "127.0.0.5 refused the connection on port 24000".
QString connectionFailureText(QAbstractSocket::SocketError error, const QString &address,
                              quint16 port = commandPort);

} // namespace ModuleProtocol
