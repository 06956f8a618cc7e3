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
    const QString line = source.isEmpty() ? entry.line() : source + QLatin1String("  ") + entry.line();
    file.write((line + QLatin1Char('\n')).toUtf8());
    file.flush();
}
