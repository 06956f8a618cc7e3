// SPDX-License-Identifier: GPL-3.0-or-later
#include "scancommand.h"

#include "addressrange.h"
#include "commonoptions.h"
#include "console.h"
#include "fieldtext.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace ScanCommand {

namespace {

// "1 module", "3 modules".
QString count(int number, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(number).arg(QLatin1String(number == 1 ? one : many));
}

QString unitText(const FoundModule &module)
{
    return QString::number(module.unitNumber, 16).toUpper();
}

void printLines(const ScanResult &result, Console &console)
{
    constexpr int addressWidth = -16;
    for (const FoundModule &module : result.modules) {
        console.print(QStringLiteral("%1unit %2  %3  %4")
                              .arg(module.address.toString(), addressWidth)
                              .arg(unitText(module))
                              .arg(count(module.axisCount, "axis", "axes"), -8)
                              .arg(module.version.isNull() ? QStringLiteral("no version reply")
                                                           : QStringLiteral("version ") + module.version));
    }
    for (const OpenPort &port : result.openPorts)
        console.print(QStringLiteral("%1port open, no module reply: %2").arg(port.address.toString(), addressWidth).arg(port.reason));
    console.print(result.summary());
}

QJsonDocument documentOf(const Usage &use, const ScanResult &result, int status)
{
    QJsonArray modules;
    for (const FoundModule &module : result.modules)
        modules.append(QJsonObject{{QStringLiteral("address"), module.address.toString()},
                                   {QStringLiteral("unit"), module.unitNumber},
                                   {QStringLiteral("axes"), module.axisCount},
                                   {QStringLiteral("version"), module.version.isNull() ? QJsonValue()
                                                                                       : QJsonValue(module.version)}});
    QJsonArray openPorts;
    for (const OpenPort &port : result.openPorts)
        openPorts.append(QJsonObject{{QStringLiteral("address"), port.address.toString()},
                                     {QStringLiteral("reason"), port.reason}});
    return QJsonDocument(QJsonObject{{QStringLiteral("command"), QStringLiteral("scan")},
                                     {QStringLiteral("ranges"), QJsonArray::fromStringList(use.ranges)},
                                     {QStringLiteral("port"), use.options.port},
                                     {QStringLiteral("addresses"), result.addresses},
                                     {QStringLiteral("seconds"), double(result.elapsedMs) / 1000.0},
                                     {QStringLiteral("modules"), modules},
                                     {QStringLiteral("noModuleReply"), openPorts},
                                     {QStringLiteral("refused"), result.refused},
                                     {QStringLiteral("unanswered"), result.unanswered},
                                     {QStringLiteral("untried"), result.untried},
                                     {QStringLiteral("summary"), result.summary()},
                                     {QStringLiteral("exitCode"), status}});
}

} // namespace

std::optional<Usage> usage(const QCommandLineParser &parser, QString *fault)
{
    for (const char *option : {"all", "dry-run", "with-network", "log"}) {
        if (parser.isSet(QLatin1String(option))) {
            *fault = QStringLiteral("--%1 does not go with scan").arg(QLatin1String(option));
            return std::nullopt;
        }
    }
    Usage result;
    const std::optional<QStringList> listed = CommonOptions::moduleList(parser, fault);
    if (!listed)
        return std::nullopt;
    result.ranges = parser.positionalArguments().mid(1) + *listed;
    const std::optional<quint16> port = CommonOptions::port(parser, fault);
    if (!port)
        return std::nullopt;
    result.options.port = *port;
    const FieldText::IntegerRange timeouts{1, 60000};
    const QString timeoutText = parser.value(QStringLiteral("timeout-ms"));
    const std::optional<int> timeout = FieldText::integerOf(timeoutText, timeouts);
    if (!timeout) {
        *fault = QStringLiteral("--timeout-ms: ") + FieldText::integerProblem(timeoutText, timeouts);
        return std::nullopt;
    }
    result.options.connectTimeoutMs = *timeout;
    std::optional<QVector<QHostAddress>> addresses = AddressRange::addressesOf(result.ranges, fault);
    if (!addresses)
        return std::nullopt;
    if (addresses->size() > AddressRange::mostUnasked && !parser.isSet(QStringLiteral("force"))) {
        *fault = QStringLiteral("the ranges hold %1 addresses, more than %2; give --force to scan them all")
                         .arg(addresses->size())
                         .arg(AddressRange::mostUnasked);
        return std::nullopt;
    }
    result.addresses = std::move(*addresses);
    result.json = parser.isSet(QStringLiteral("json"));
    return result;
}

int run(const Usage &use, Console &console)
{
    ModuleScanner scanner(use.addresses, use.options);
    ScanResult result;
    QObject::connect(&scanner, &ModuleScanner::progressed, &scanner, [&console](int tried, int addresses) {
        console.progress(0, QStringLiteral("scanning: %1 of %2 addresses tried").arg(tried).arg(addresses));
    });
    QObject::connect(&scanner, &ModuleScanner::finished, &scanner, [&result](const ScanResult &ended) {
        result = ended;
        QCoreApplication::quit();
    });
    // Started from the event loop, so that a scan that ends at once still ends it.
    QTimer::singleShot(0, &scanner, &ModuleScanner::start);
    QCoreApplication::exec();
    console.progress(0, QString());

    const int status = result.modules.isEmpty() ? exitNoneFound : exitFound;
    if (result.untried > 0)
        console.error(QStringLiteral("qr36tn-config: %1 not tried: %2")
                              .arg(count(result.untried, "address", "addresses"), result.untriedReason));
    if (use.json)
        console.print(QString::fromUtf8(documentOf(use, result, status).toJson(QJsonDocument::Indented)).trimmed());
    else
        printLines(result, console);
    return status;
}

} // namespace ScanCommand
