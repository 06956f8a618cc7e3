// SPDX-License-Identifier: GPL-3.0-or-later
#include "communicationlogfile.h"

#include "commandinterface.h"

CommunicationLogFile::CommunicationLogFile(QObject *parent)
    : QObject(parent)
{
}

bool CommunicationLogFile::open(const QString &path)
{
    file.setFileName(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
}

void CommunicationLogFile::attach(const CommandInterface *link, const QString &source)
{
    connect(link, &CommandInterface::communicationLogged, this,
            [this, source](const CommunicationLogEntry &entry) { write(entry, source); }, Qt::QueuedConnection);
}

void CommunicationLogFile::write(const CommunicationLogEntry &entry, const QString &source)
{
    if (!file.isOpen())
        return;
    const QString line = source.isEmpty() ? entry.line() : source + QLatin1String("  ") + entry.line();
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    if (file.write(bytes) == bytes.size() && file.flush())
        return;
    const QString reason = QStringLiteral("%1: cannot be written: %2").arg(file.fileName(), file.errorString());
    file.close();
    emit writeFailed(reason);
}

void CommunicationLogFile::close()
{
    file.close();
}
