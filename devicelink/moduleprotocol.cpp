// SPDX-License-Identifier: GPL-3.0-or-later
#include "moduleprotocol.h"

namespace ModuleProtocol {

const Comparator *comparatorOfLetter(QChar letter)
{
    for (const Comparator &comparator : comparators) {
        if (letter == QLatin1Char(comparator.letter))
            return &comparator;
    }
    return nullptr;
}

const Comparator &comparatorOfCode(int code)
{
    for (const Comparator &comparator : comparators) {
        if (comparator.code == code)
            return comparator;
    }
    return comparatorError;
}

QString connectionFailureText(QAbstractSocket::SocketError error, const QString &address, quint16 port)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("%1 refused the connection on port %2").arg(address).arg(port);
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("%1 closed the connection").arg(address);
    case QAbstractSocket::HostNotFoundError:
    case QAbstractSocket::NetworkError:
        return QStringLiteral("no route to %1, or no answer from it").arg(address);
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("no answer from %1").arg(address);
    case QAbstractSocket::SocketAccessError:
    case QAbstractSocket::SocketResourceError:
        return QStringLiteral("this computer refused to open a connection to %1").arg(address);
    default:
        return QStringLiteral("the connection to %1 failed").arg(address);
    }
}

} // namespace ModuleProtocol
