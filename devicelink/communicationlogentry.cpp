// SPDX-License-Identifier: GPL-3.0-or-later
#include "communicationlogentry.h"

#include <QDateTime>

static QString kindText(CommunicationLogEntry::Kind kind)
{
    switch (kind) {
    case CommunicationLogEntry::Kind::Sent: return QStringLiteral("sent");
    case CommunicationLogEntry::Kind::NotSent: return QStringLiteral("not sent");
    case CommunicationLogEntry::Kind::Reply: return QStringLiteral("reply");
    case CommunicationLogEntry::Kind::Timeout: return QStringLiteral("time-out");
    case CommunicationLogEntry::Kind::Discarded: return QStringLiteral("discarded");
    case CommunicationLogEntry::Kind::Dialling: return QStringLiteral("dialling");
    case CommunicationLogEntry::Kind::Connected: return QStringLiteral("connected");
    case CommunicationLogEntry::Kind::ConnectFailed: return QStringLiteral("failed");
    case CommunicationLogEntry::Kind::ClosedByModule: return QStringLiteral("closed by module");
    case CommunicationLogEntry::Kind::ClosedByTool: return QStringLiteral("closed by tool");
    }
    return QString();
}

QString CommunicationLogEntry::visible(const QByteArray &bytes)
{
    QString text(QLatin1Char('"'));
    for (const char c : bytes) {
        switch (c) {
        case '\r': text += QLatin1String("\\r"); break;
        case '\n': text += QLatin1String("\\n"); break;
        case '\t': text += QLatin1String("\\t"); break;
        case '"': text += QLatin1String("\\\""); break;
        case '\\': text += QLatin1String("\\\\"); break;
        default:
            if (c >= 0x20 && c < 0x7f)
                text += QLatin1Char(c);
            else
                text += QLatin1String("\\x") + QString::number(uchar(c), 16).toUpper().rightJustified(2, QLatin1Char('0'));
        }
    }
    return text + QLatin1Char('"');
}

// "+01:00": the time alone would be ambiguous in the hour a clock is put back.
static QString utcOffset(const QDateTime &time)
{
    const int minutes = time.offsetFromUtc() / 60;
    return QStringLiteral("%1%2:%3")
            .arg(minutes < 0 ? QLatin1Char('-') : QLatin1Char('+'))
            .arg(qAbs(minutes) / 60, 2, 10, QLatin1Char('0'))
            .arg(qAbs(minutes) % 60, 2, 10, QLatin1Char('0'));
}

QString CommunicationLogEntry::line() const
{
    const QString since = sinceCommandUs < 0 ? QString()
                                              : QStringLiteral("+%1 ms").arg(double(sinceCommandUs) / 1000.0, 0, 'f', 1);
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(time);
    return QStringLiteral("%1%2  %3  %4  %5")
            .arg(local.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")), utcOffset(local))
            .arg(since, 10)
            .arg(kindText(kind), -9)
            .arg(isConnectionEvent() ? QString::fromUtf8(bytes) : visible(bytes));
}
