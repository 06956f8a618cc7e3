// SPDX-License-Identifier: GPL-3.0-or-later
#include "operationoutcome.h"

#include <QStringList>

QString StoreSetting::name() const
{
    const QString text = QLatin1String(field);
    return index > 0 ? text + QString::number(index) : text;
}

QString StoreSetting::description() const
{
    return axis < 0 ? name() : QStringLiteral("axis %1 %2").arg(axis).arg(name());
}

QString SettingFault::description() const
{
    const QString what = QStringLiteral("%1 (%2)").arg(setting.description(), command);
    if (kind == Kind::TimedOut)
        return what + QStringLiteral(": no reply");
    return what + QStringLiteral(": reply \"%1\" is not a value").arg(reply);
}

QString OperationOutcome::endingText() const
{
    QString text;
    switch (ending) {
    case Ending::Completed:
        return QStringLiteral("completed");
    case Ending::Cancelled:
        text = QStringLiteral("cancelled");
        break;
    case Ending::ShutDown:
        text = QStringLiteral("stopped at shutdown");
        break;
    case Ending::ConnectionLost:
        text = QStringLiteral("connection lost");
        break;
    }
    text += QStringLiteral(" after %1 of %2 commands").arg(commandsSent).arg(commandsPlanned());
    if (!stoppedAt.isEmpty())
        text += QStringLiteral(", at %1").arg(stoppedAt);
    return text;
}

QString OperationOutcome::faultsText(int shown) const
{
    if (faults.isEmpty())
        return QString();
    QStringList named;
    for (int i = 0; i < faults.size() && i < shown; ++i)
        named << faults.at(i).description();
    QString text = QStringLiteral("%1 %2 not read: %3")
                           .arg(faults.size())
                           .arg(faults.size() == 1 ? QLatin1String("setting") : QLatin1String("settings"))
                           .arg(named.join(QLatin1String("; ")));
    if (faults.size() > shown)
        text += QStringLiteral("; and %1 more").arg(faults.size() - shown);
    return text;
}
