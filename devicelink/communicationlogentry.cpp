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

QString CommunicationLogEntry::line() const
{
    const QString since = sinceCommandUs < 0 ? QString()
                                              : QStringLiteral("+%1 ms").arg(double(sinceCommandUs) / 1000.0, 0, 'f', 1);
    return QStringLiteral("%1  %2  %3  %4")
            .arg(QDateTime::fromMSecsSinceEpoch(time).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")))
            .arg(since, 10)
            .arg(kindText(kind), -9)
            .arg(visible(bytes));
}
