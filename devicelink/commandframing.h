// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>

// Everything about the module's command text that needs no socket: building a
// command from its template, and taking a reply apart into a field value. Kept
// free of I/O so it can be tested and fuzzed on its own.

// A double as the commands and the pages write it: the general format of %g with
// six significant digits (exponent form below 1e-4 and from 1e6 on, "e", a sign and
// at least two exponent digits, no trailing zeros, "." as decimal point), but with
// as many more digits, up to fifteen, as the value needs to read back exactly. Six
// digits used to be all, and an untouched 123.4567 went back to the module as 123.457.
QString exactNumberText(double value);

// Fills a command template's %1, %2, ... in order. Templates that begin with the
// unit number or axis index ("%1...") are upper-cased as a whole, so hex digits and
// a double's exponent letter go out as A-F and E; global commands keep their case.
class CommandBuilder
{
public:
    explicit CommandBuilder(const char *templ);

    CommandBuilder &hex(int value);          // unit number, axis index
    CommandBuilder &decimal(int value);      // integer values, set and setting numbers
    CommandBuilder &flag(bool value);        // 0 or 1
    CommandBuilder &number(double value);    // exactNumberText
    CommandBuilder &address(const QHostAddress &value); // dotted decimal

    QString text() const;

private:
    CommandBuilder &fill(const QString &value);

    QString command;
    bool upperCase;
};

namespace ReplyConversion {

// The bytes up to the first NUL, decoded as UTF-8.
QString text(const QByteArray &reply);

// The name part of a command or reply: the text before its first "=", all of it
// when there is none.
QString namePart(const QString &text);

// The value part of a reply: the bytes up to the first NUL, decoded as UTF-8, split
// at '=', CR and LF with empty parts dropped, second part. A reply that splits into
// fewer than two parts has no value: the null string, which no conversion accepts.
QString value(const QByteArray &reply);

bool toInt(const QString &value, int &field);
bool toBool(const QString &value, bool &field);
bool toDouble(const QString &value, double &field);
QHostAddress toAddress(const QString &value);
// Stores whatever the outcome (text that is no address gives the null address).
bool toAddress(const QString &value, QHostAddress &field);
// Text is taken as it stands; only a reply without a value leaves the field alone.
bool toText(const QString &value, QString &field);
// "CONFIG=?": first hex digit is the unit number, the second the axis count less one.
// True when both converted.
bool toConfig(const QString &value, int &moduleId, int &axisNum);
// "LO=?": the offset only counts on an axis that uses the reference point.
double toRefOffset(const QString &value, bool refUse);

} // namespace ReplyConversion
