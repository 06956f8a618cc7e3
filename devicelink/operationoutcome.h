// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaType>
#include <QString>
#include <QVector>

// A setting of the parameter store, by the name of its field: "compHigh" of axis 3,
// set 2; "linkProtocol", setting 1; "unit" (no axis).
struct StoreSetting
{
    const char *field = "";
    int axis = -1;  // -1: not per axis
    int index = 0;  // comparator set 1 to 4, or PLC-link protocol setting 1 to 3; 0: none

    // "compHigh2", "linkProtocol1", "unit": the field with its index.
    QString name() const;
    // "axis 3 compHigh2", "unit": the name with its axis, for messages.
    QString description() const;
};

// A query of an operation that brought back no value.
struct SettingFault
{
    enum class Kind { TimedOut, NotConverted };

    Kind kind = Kind::TimedOut;
    StoreSetting setting;
    QString command;  // "03CH2=?"
    QString reply;    // the reply's value part, for a reply that did not convert

    // "axis 3 compHigh2 (03CH2=?): no reply"
    QString description() const;
};

// How one operation of the link ended. Written by the link as the operation runs and
// handed over whole once it is over; a caller reports from this, never from progress
// values or store fields, which are stale exactly when something went wrong.
struct OperationOutcome
{
    enum class Ending {
        Completed,      // every step ran; faults may still have occurred
        Cancelled,      // cut short by the operator
        ShutDown,       // cut short because the tool is closing
        ConnectionLost, // the module could no longer be reached
    };

    QString operation;           // "parameter read", "measure setting write", ...
    Ending ending = Ending::Completed;
    int commandsSent = 0;
    int commandsSkipped = 0;     // not sent, because the operation was cut short or the connection lost
    QString stoppedAt;           // the first command not sent (or whose reply never came), when cut short
    bool settingBracketOpened = false; // "SETUP" went out: the module may hold part of what was written
    QVector<SettingFault> faults;

    bool completed() const { return ending == Ending::Completed; }
    // Completed, and every query brought back a value.
    bool succeeded() const { return completed() && faults.isEmpty(); }
    // Some settings may now differ from both what they were and what was sent.
    bool leftPartialWrite() const { return !completed() && settingBracketOpened; }
    int commandsPlanned() const { return commandsSent + commandsSkipped; }
    // "connection lost after 212 of 590 commands, at 05CH3=?", "cancelled after ..."
    QString endingText() const;
    // "3 settings not read: axis 0 resolution (00RSL=?): no reply; ..." naming at most `shown`.
    QString faultsText(int shown = 3) const;
};

Q_DECLARE_METATYPE(OperationOutcome)
