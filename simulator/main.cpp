// SPDX-License-Identifier: GPL-3.0-or-later
#include "modulesimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

bool readInt(const QCommandLineParser &parser, const QString &name, int low, int high, int *value)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int number = parser.value(name).toInt(&ok);
    if (!ok || number < low || number > high) {
        std::fprintf(stderr, "--%s must be a number from %d to %d\n", qPrintable(name), low, high);
        return false;
    }
    *value = number;
    return true;
}

bool readPatterns(const QCommandLineParser &parser, const QString &name, QVector<QRegularExpression> *patterns)
{
    for (const QString &text : parser.values(name)) {
        const QRegularExpression pattern = SimulatorOptions::wholeCommand(text);
        if (!pattern.isValid()) {
            std::fprintf(stderr, "--%s %s: %s\n", qPrintable(name), qPrintable(text),
                         qPrintable(pattern.errorString()));
            return false;
        }
        patterns->append(pattern);
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qr36tn-simulator"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "Plays a QR36-TN counter module on a TCP port. Patterns are regular expressions "
            "matched against the whole text of one command."));
    parser.addHelpOption();
    parser.addOptions({
            {QStringLiteral("address"), QStringLiteral("Address to listen on (default 127.0.0.1)."),
             QStringLiteral("address"), QStringLiteral("127.0.0.1")},
            {QStringLiteral("port"), QStringLiteral("Port to listen on (default 24000), 0 for any free port."),
             QStringLiteral("port"), QStringLiteral("24000")},
            {QStringLiteral("unit"), QStringLiteral("Unit number, 0 to 15 (default 0)."), QStringLiteral("n"),
             QStringLiteral("0")},
            {QStringLiteral("axes"), QStringLiteral("Number of axes, 1 to 16 (default 16)."), QStringLiteral("n"),
             QStringLiteral("16")},
            {QStringLiteral("silent"), QStringLiteral("Ignore commands matching the pattern (repeatable)."),
             QStringLiteral("regex")},
            {QStringLiteral("split"), QStringLiteral("Answer in two pieces (repeatable)."), QStringLiteral("regex")},
            {QStringLiteral("split-gap"), QStringLiteral("Gap between the two pieces of a split reply (default 50)."),
             QStringLiteral("ms"), QStringLiteral("50")},
            {QStringLiteral("garble"), QStringLiteral("Answer with a value that does not convert (repeatable)."),
             QStringLiteral("regex")},
            {QStringLiteral("garble-after"),
             QStringLiteral("Garble only after the K-th command of a connection (default 0)."), QStringLiteral("K"),
             QStringLiteral("0")},
            {QStringLiteral("close-after"), QStringLiteral("Drop the connection on the K-th command, 0 = never."),
             QStringLiteral("K"), QStringLiteral("0")},
            {QStringLiteral("silent-after"),
             QStringLiteral("Fall silent after the K-th command of a connection, 0 = never."),
             QStringLiteral("K"), QStringLiteral("0")},
            {QStringLiteral("delay"), QStringLiteral("Answer late by this much."), QStringLiteral("ms"),
             QStringLiteral("0")},
            {QStringLiteral("delay-match"),
             QStringLiteral("Delay only replies to commands matching the pattern (repeatable)."),
             QStringLiteral("regex")},
            {QStringLiteral("late-reply"),
             QStringLiteral("What a late reply does to those after it: in-order (holds them back), alone "
                            "(leaves when due), with-next-command (once due, leaves as the next command arrives)."),
             QStringLiteral("mode"), QStringLiteral("in-order")},
            {QStringLiteral("error-axis"), QStringLiteral("Axis that reports an error instead of a value."),
             QStringLiteral("n")},
            {QStringLiteral("seed"), QStringLiteral("Seed that makes the readout repeatable."), QStringLiteral("n")},
            {QStringLiteral("log"), QStringLiteral("Print every received command with its time.")},
    });
    parser.process(app);

    SimulatorOptions options;
    if (!options.address.setAddress(parser.value(QStringLiteral("address")))) {
        std::fprintf(stderr, "--address: not an address\n");
        return 2;
    }
    int port = options.port;
    int errorAxis = options.errorAxis;
    if (!readInt(parser, QStringLiteral("port"), 0, 65535, &port)
        || !readInt(parser, QStringLiteral("unit"), 0, 15, &options.unitNumber)
        || !readInt(parser, QStringLiteral("axes"), 1, ModuleModel::MaxAxes, &options.axisCount)
        || !readInt(parser, QStringLiteral("split-gap"), 0, 60000, &options.splitGapMs)
        || !readInt(parser, QStringLiteral("close-after"), 0, 1 << 30, &options.closeAfter)
        || !readInt(parser, QStringLiteral("garble-after"), 0, 1 << 30, &options.garbleAfter)
        || !readInt(parser, QStringLiteral("silent-after"), 0, 1 << 30, &options.silentAfter)
        || !readInt(parser, QStringLiteral("delay"), 0, 60000, &options.replyDelayMs)
        || !readInt(parser, QStringLiteral("error-axis"), 0, ModuleModel::MaxAxes - 1, &errorAxis)
        || !readPatterns(parser, QStringLiteral("silent"), &options.silentPatterns)
        || !readPatterns(parser, QStringLiteral("split"), &options.splitPatterns)
        || !readPatterns(parser, QStringLiteral("garble"), &options.garblePatterns)
        || !readPatterns(parser, QStringLiteral("delay-match"), &options.delayPatterns))
        return 2;
    const QStringList lateModes = {QStringLiteral("in-order"), QStringLiteral("alone"),
                                   QStringLiteral("with-next-command")};
    const int lateMode = lateModes.indexOf(parser.value(QStringLiteral("late-reply")));
    if (lateMode < 0) {
        std::fprintf(stderr, "--late-reply must be one of %s\n", qPrintable(lateModes.join(QLatin1String(", "))));
        return 2;
    }
    options.lateReply = SimulatorOptions::LateReply(lateMode);
    options.port = quint16(port);
    options.errorAxis = errorAxis;
    if (parser.isSet(QStringLiteral("seed"))) {
        bool ok = false;
        options.seed = parser.value(QStringLiteral("seed")).toUInt(&ok);
        if (!ok) {
            std::fprintf(stderr, "--seed must be a non-negative number\n");
            return 2;
        }
    }
    if (parser.isSet(QStringLiteral("log")))
        options.logPath = QStringLiteral("-");

    ModuleSimulator simulator(options);
    if (!simulator.listen()) {
        std::fprintf(stderr, "cannot listen on %s:%d: %s\n", qPrintable(options.address.toString()), port,
                     qPrintable(simulator.errorString()));
        return 1;
    }
    std::printf("listening on %s:%u, unit %d, %d axes\n", qPrintable(simulator.serverAddress().toString()),
                unsigned(simulator.serverPort()), options.unitNumber, options.axisCount);
    std::fflush(stdout);
    return app.exec();
}
