// SPDX-License-Identifier: GPL-3.0-or-later
#include "commonoptions.h"

#include "configurationfile.h"
#include "fieldtext.h"

#include <QCommandLineParser>
#include <QFile>

namespace CommonOptions {

namespace {
bool readAddressList(const QString &path, QStringList *addresses, QString *fault)
{
    QFile file(path);
    if (!file.exists()) {
        *fault = QStringLiteral("%1: no such file").arg(path);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *fault = QStringLiteral("%1: cannot be read: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray text = file.read(ConfigurationFile::maxFileSize + 1);
    if (text.size() > ConfigurationFile::maxFileSize) {
        *fault = QStringLiteral("%1: larger than 1 MiB, so not a list of addresses").arg(path);
        return false;
    }
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString address = lines.at(i).section(QLatin1Char('#'), 0, 0).trimmed();
        if (address.isEmpty())
            continue;
        if (!FieldText::moduleAddressOf(address)) {
            *fault = QStringLiteral("%1, line %2: %3").arg(path).arg(i + 1).arg(FieldText::moduleAddressProblem(address));
            return false;
        }
        addresses->append(address);
    }
    return true;
}
} // namespace

std::optional<QStringList> moduleList(const QCommandLineParser &parser, QString *fault)
{
    QStringList addresses;
    if (parser.isSet(QStringLiteral("modules"))
        && !readAddressList(parser.value(QStringLiteral("modules")), &addresses, fault))
        return std::nullopt;
    return addresses;
}

std::optional<quint16> port(const QCommandLineParser &parser, QString *fault)
{
    const FieldText::IntegerRange ports{1, 65535};
    const QString text = parser.value(QStringLiteral("port"));
    const std::optional<int> port = FieldText::integerOf(text, ports);
    if (!port) {
        *fault = QStringLiteral("--port: ") + FieldText::integerProblem(text, ports);
        return std::nullopt;
    }
    return quint16(*port);
}

} // namespace CommonOptions
