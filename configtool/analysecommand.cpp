// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysecommand.h"

#include "capability.h"
#include "configurationfile.h"
#include "console.h"
#include "fieldtext.h"
#include "moduleprotocol.h"
#include "recordedreadings.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <optional>

namespace {

constexpr int exitUsageOrFile = 2;

const char description[] = "Computes the capability figures of the readings in a recording of the monitor\n"
                           "(\"Record...\"): per axis the count, the gaps, mean, standard deviation, extremes,\n"
                           "mean moving range, sigma within (moving range / 1.128) and Cp, Cpk, Pp, Ppk;\n"
                           "with --master also the Type-1 gauge study's bias, Cg and Cgk. Error readings and\n"
                           "polls without an answer (GAP) are left out.\n"
                           "\n"
                           "The limits are the low and high limit of each axis's active comparator set in\n"
                           "the settings snapshot that the recording names beside it, unless --lsl and\n"
                           "--usl are given; without a snapshot they must be.\n"
                           "\n"
                           "Exit status: 0 done; 2 a usage or file fault.";

struct Request
{
    QString path;
    int axis = -1; // every axis
    std::optional<Capability::Limits> limits;
    std::optional<double> master;
    std::optional<double> tolerance;
    bool json = false;
};

std::optional<double> numberOption(const QCommandLineParser &parser, const char *name, QString *fault)
{
    if (!parser.isSet(QLatin1String(name)))
        return std::nullopt;
    const QString text = parser.value(QLatin1String(name));
    const std::optional<double> value = FieldText::numberOf(text);
    if (!value)
        *fault = QStringLiteral("--%1: %2").arg(QLatin1String(name), FieldText::numberProblem(text));
    return value;
}

// An axis as the window captions it, one hexadecimal digit, or its number 0 to 15.
std::optional<int> axisOf(const QString &text)
{
    bool ok = false;
    const int decimal = text.toInt(&ok, 10);
    if (ok && decimal >= 0 && decimal < 16)
        return decimal;
    const int hex = text.toInt(&ok, 16);
    if (ok && text.size() == 1 && hex >= 10)
        return hex;
    return std::nullopt;
}

std::optional<Request> requestOf(const QCommandLineParser &parser, QString *fault)
{
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2) {
        *fault = QStringLiteral("analyse takes one recording file");
        return std::nullopt;
    }
    Request request;
    request.path = positional.at(1);
    request.json = parser.isSet(QStringLiteral("json"));
    if (parser.isSet(QStringLiteral("axis"))) {
        const std::optional<int> axis = axisOf(parser.value(QStringLiteral("axis")));
        if (!axis) {
            *fault = QStringLiteral("--axis: \"%1\" is not an axis 0 to 15 (or A to F)")
                             .arg(parser.value(QStringLiteral("axis")));
            return std::nullopt;
        }
        request.axis = *axis;
    }
    const std::optional<double> lower = numberOption(parser, "lsl", fault);
    const std::optional<double> upper = numberOption(parser, "usl", fault);
    request.master = numberOption(parser, "master", fault);
    request.tolerance = numberOption(parser, "tolerance", fault);
    if (!fault->isEmpty())
        return std::nullopt;
    if (lower.has_value() != upper.has_value()) {
        *fault = QStringLiteral("--lsl and --usl go together");
        return std::nullopt;
    }
    if (request.tolerance && !request.master) {
        *fault = QStringLiteral("--tolerance goes with --master");
        return std::nullopt;
    }
    if (lower)
        request.limits = Capability::Limits{*lower, *upper};
    return request;
}

// Each axis's active comparator limits in the snapshot the recording names.
std::optional<std::vector<Capability::Limits>> snapshotLimits(const Request &request, const RecordedReadings &recording,
                                                              QString *fault)
{
    if (recording.settingsFile.isEmpty()) {
        *fault = QStringLiteral("%1 names no settings snapshot: give the limits with --lsl and --usl")
                         .arg(request.path);
        return std::nullopt;
    }
    const QString path = QFileInfo(request.path).dir().filePath(recording.settingsFile);
    if (!QFileInfo::exists(path)) {
        *fault = QStringLiteral("the settings snapshot %1 is missing: give the limits with --lsl and --usl").arg(path);
        return std::nullopt;
    }
    QStringList errors;
    const std::optional<ConfigurationFile> settings = ConfigurationFile::read(path, &errors);
    if (!settings) {
        *fault = QStringLiteral("the settings snapshot %1: %2").arg(path, errors.join(QLatin1String("; ")));
        return std::nullopt;
    }
    if (settings->axisCount() != recording.axisCount) {
        *fault = QStringLiteral("the settings snapshot %1 is for %2 axes, the recording has %3")
                         .arg(path)
                         .arg(settings->axisCount())
                         .arg(recording.axisCount);
        return std::nullopt;
    }
    std::vector<Capability::Limits> limits;
    for (int axis = 0; axis < recording.axisCount; ++axis) {
        const auto setting = [&](const QString &key) {
            return settings->value(SettingRef{&SettingCatalogue::named(key), axis});
        };
        const int set = setting(QStringLiteral("compSet")).toInt();
        limits.push_back({setting(QStringLiteral("compLow%1").arg(set)).toDouble(),
                          setting(QStringLiteral("compHigh%1").arg(set)).toDouble()});
    }
    return limits;
}

QJsonValue jsonNumber(double value)
{
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

QString number(double value)
{
    return std::isfinite(value) ? QString::number(value, 'g', 7) : QStringLiteral("-");
}

struct AxisFigures
{
    int axis;
    const RecordedReadings::Axis *readings;
    ReadingSummary summary;
    Capability::Limits limits;
    Capability::Indices indices;
    std::optional<Capability::GaugeStudy> gauge;

    QString reason() const
    {
        QString why = indices.reason();
        if (gauge && !gauge->cg.known() && gauge->cg.reason != why)
            why += (why.isEmpty() ? QString() : QStringLiteral("; ")) + gauge->cg.reason;
        return why;
    }
};

QJsonObject json(const AxisFigures &figures, qint64 gaps)
{
    const ReadingSummary &summary = figures.summary;
    QJsonObject object{{QStringLiteral("axis"), figures.axis},
                       {QStringLiteral("count"), double(summary.count)},
                       {QStringLiteral("gaps"), double(gaps)},
                       {QStringLiteral("mean"), jsonNumber(summary.mean)},
                       {QStringLiteral("stdDev"), jsonNumber(summary.stdDev)},
                       {QStringLiteral("minimum"), jsonNumber(summary.minimum)},
                       {QStringLiteral("maximum"), jsonNumber(summary.maximum)},
                       {QStringLiteral("movingRangeMean"), jsonNumber(summary.movingRangeMean)},
                       {QStringLiteral("sigmaWithin"), jsonNumber(summary.sigmaWithin)},
                       {QStringLiteral("lsl"), jsonNumber(figures.limits.lower)},
                       {QStringLiteral("usl"), jsonNumber(figures.limits.upper)},
                       {QStringLiteral("cp"), jsonNumber(figures.indices.cp.value)},
                       {QStringLiteral("cpk"), jsonNumber(figures.indices.cpk.value)},
                       {QStringLiteral("pp"), jsonNumber(figures.indices.pp.value)},
                       {QStringLiteral("ppk"), jsonNumber(figures.indices.ppk.value)}};
    if (figures.gauge) {
        object.insert(QStringLiteral("bias"), jsonNumber(figures.gauge->bias));
        object.insert(QStringLiteral("cg"), jsonNumber(figures.gauge->cg.value));
        object.insert(QStringLiteral("cgk"), jsonNumber(figures.gauge->cgk.value));
    }
    if (!figures.reason().isEmpty())
        object.insert(QStringLiteral("reason"), figures.reason());
    return object;
}

QStringList text(const AxisFigures &figures, qint64 gaps)
{
    const ReadingSummary &s = figures.summary;
    const Capability::Indices &i = figures.indices;
    QStringList lines{
            QStringLiteral("Axis %1: %2 readings; polls without an answer (gaps): %3; readings without a value: %4")
                    .arg(ModuleProtocol::axisName(figures.axis))
                    .arg(s.count)
                    .arg(gaps)
                    .arg(figures.readings->withoutValue),
            QStringLiteral("  mean %1, std. dev. %2, minimum %3, maximum %4")
                    .arg(number(s.mean), number(s.stdDev), number(s.minimum), number(s.maximum)),
            QStringLiteral("  moving range mean %1, sigma within %2")
                    .arg(number(s.movingRangeMean), number(s.sigmaWithin)),
            QStringLiteral("  LSL %1, USL %2").arg(number(figures.limits.lower), number(figures.limits.upper)),
            QStringLiteral("  Cp %1, Cpk %2, Pp %3, Ppk %4")
                    .arg(Capability::text(i.cp), Capability::text(i.cpk), Capability::text(i.pp),
                         Capability::text(i.ppk))};
    if (figures.gauge) {
        const Capability::GaugeStudy &g = *figures.gauge;
        lines << QStringLiteral("  bias %1, Cg %2, Cgk %3: %4 against %5")
                         .arg(number(g.bias), Capability::text(g.cg), Capability::text(g.cgk),
                              g.passes(Capability::defaultThreshold) ? QStringLiteral("passes")
                                                                     : QStringLiteral("fails"))
                         .arg(Capability::defaultThreshold);
    }
    if (!figures.reason().isEmpty())
        lines << QStringLiteral("  \u2014: %1").arg(figures.reason());
    return lines;
}

} // namespace

namespace AnalyseCommand {

int run(const QStringList &arguments)
{
    Console console;
    QCommandLineParser parser;
    parser.setApplicationDescription(QLatin1String(description));
    const QCommandLineOption help = parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("analyse"), QStringLiteral("The command."), QStringLiteral("analyse"));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A recording of the monitor (.csv)."));
    parser.addOptions({
            {QStringLiteral("axis"), QStringLiteral("Only this axis, 0 to 15 or A to F."), QStringLiteral("N")},
            {QStringLiteral("lsl"), QStringLiteral("The low specification limit, for every axis."),
             QStringLiteral("X")},
            {QStringLiteral("usl"), QStringLiteral("The high specification limit, for every axis."),
             QStringLiteral("Y")},
            {QStringLiteral("master"), QStringLiteral("Type-1 gauge study: the master part's reference value."),
             QStringLiteral("X")},
            {QStringLiteral("tolerance"), QStringLiteral("Type-1 gauge study: the tolerance; USL - LSL unless given."),
             QStringLiteral("T")},
            {QStringLiteral("json"),
             QStringLiteral("One JSON object per axis, in an array, numbers at full precision; an index that "
                            "cannot be computed is null, with a \"reason\".")},
    });
    const auto usageError = [&console](const QString &fault) {
        console.error(QStringLiteral("qr36tn-config analyse: %1. See qr36tn-config analyse --help.").arg(fault));
        return exitUsageOrFile;
    };
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help))
        parser.showHelp(0);
    QString fault;
    const std::optional<Request> request = requestOf(parser, &fault);
    if (!request)
        return usageError(fault);

    const auto fileError = [&console](const QString &fault) {
        console.error(QStringLiteral("qr36tn-config analyse: %1").arg(fault));
        return exitUsageOrFile;
    };
    const std::optional<RecordedReadings> recording = RecordedReadings::read(request->path, &fault);
    if (!recording)
        return fileError(QStringLiteral("%1: %2").arg(request->path, fault));
    if (request->axis >= recording->axisCount) {
        return fileError(QStringLiteral("%1 holds axes 0 to %2; it has no axis %3")
                                 .arg(request->path, ModuleProtocol::axisName(recording->axisCount - 1),
                                      ModuleProtocol::axisName(request->axis)));
    }
    std::vector<Capability::Limits> limits(std::size_t(recording->axisCount),
                                           request->limits.value_or(Capability::Limits{}));
    if (!request->limits) {
        const std::optional<std::vector<Capability::Limits>> snapshot = snapshotLimits(*request, *recording, &fault);
        if (!snapshot)
            return fileError(fault);
        limits = *snapshot;
    }

    QJsonArray objects;
    for (int axis = 0; axis < recording->axisCount; ++axis) {
        if (request->axis >= 0 && axis != request->axis)
            continue;
        AxisFigures figures{axis, &recording->axes[std::size_t(axis)], {}, limits[std::size_t(axis)], {}, {}};
        figures.summary = figures.readings->statistics.summary();
        figures.indices = Capability::indices(figures.summary, figures.limits);
        if (request->master) {
            figures.gauge
                    = Capability::gaugeStudy(figures.summary, *request->master,
                                             request->tolerance.value_or(figures.limits.upper - figures.limits.lower));
        }
        if (request->json) {
            objects.append(json(figures, recording->gaps));
        } else {
            for (const QString &line : text(figures, recording->gaps))
                console.print(line);
        }
    }
    if (request->json)
        console.print(QString::fromUtf8(QJsonDocument(objects).toJson(QJsonDocument::Indented)).trimmed());
    return 0;
}

} // namespace AnalyseCommand
