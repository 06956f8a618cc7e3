// SPDX-License-Identifier: GPL-3.0-or-later
// qr36tn-config: saves a module's settings to a file, compares a module with a
// file, and loads a file into one module or many at once. Everything the
// command line and the file say is checked before any module is dialled.

#include "communicationlogfile.h"
#include "configurationfile.h"
#include "console.h"
#include "fieldtext.h"
#include "modulejob.h"
#include "productinfo.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSaveFile>

#include <memory>
#include <vector>

namespace {

constexpr int exitDifferentOrFailed = 1;
constexpr int exitUsageOrFile = 2;

const char description[] =
        "Saves, compares and loads the settings of QR36-TN counter modules.\n"
        "\n"
        "  save ADDRESS FILE              read the module and write its settings to FILE\n"
        "  diff ADDRESS FILE              print each setting in which the module differs from FILE\n"
        "  load FILE ADDRESS [ADDRESS...] write FILE into each module, all at once\n"
        "\n"
        "A load writes only the settings that differ, inside one SETUP ... CLOSE, and\n"
        "reads them back. The module's own address and subnet mask are neither compared\n"
        "nor written unless --with-network is given.\n"
        "\n"
        "Exit status: 0 success; 1 a module differs (diff) or failed; 2 a usage or file\n"
        "error, in which case no module was dialled.";

struct Usage
{
    ModuleJob::Options options;
    QString file;
    QList<QHostAddress> addresses;
};

// The parsed command line, or the reason it is not one.
std::optional<Usage> usage(const QCommandLineParser &parser, QString *fault)
{
    Usage result;
    QStringList arguments = parser.positionalArguments();
    const QString command = arguments.value(0);
    arguments.removeFirst();
    if (command == QLatin1String("save") || command == QLatin1String("diff")) {
        if (arguments.size() != 2) {
            *fault = QStringLiteral("%1 takes an address and a file").arg(command);
            return std::nullopt;
        }
        result.options.task = command == QLatin1String("save") ? ModuleJob::Task::Save : ModuleJob::Task::Diff;
        result.file = arguments.takeLast();
    } else if (command == QLatin1String("load")) {
        if (arguments.size() < 2) {
            *fault = QStringLiteral("load takes a file and at least one address");
            return std::nullopt;
        }
        result.options.task = ModuleJob::Task::Load;
        result.file = arguments.takeFirst();
    } else {
        *fault = command.isEmpty() ? QStringLiteral("no command given")
                                   : QStringLiteral("\"%1\" is not a command").arg(command);
        return std::nullopt;
    }

    result.options.all = parser.isSet(QStringLiteral("all"));
    result.options.dryRun = parser.isSet(QStringLiteral("dry-run"));
    result.options.withNetwork = parser.isSet(QStringLiteral("with-network"));
    if ((result.options.all || result.options.dryRun) && result.options.task != ModuleJob::Task::Load) {
        *fault = QStringLiteral("--all and --dry-run go with load only");
        return std::nullopt;
    }
    const FieldText::IntegerRange ports{1, 65535};
    const QString portText = parser.value(QStringLiteral("port"));
    const std::optional<int> port = FieldText::integerOf(portText, ports);
    if (!port) {
        *fault = QStringLiteral("--port: ") + FieldText::integerProblem(portText, ports);
        return std::nullopt;
    }
    result.options.port = quint16(*port);

    for (const QString &text : qAsConst(arguments)) {
        const std::optional<QHostAddress> address = FieldText::addressOf(text);
        if (!address) {
            *fault = FieldText::addressProblem(text);
            return std::nullopt;
        }
        if (result.addresses.contains(*address)) {
            *fault = QStringLiteral("%1 is named twice").arg(text);
            return std::nullopt;
        }
        result.addresses << *address;
    }
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qr36tn-config"));
    QCoreApplication::setApplicationVersion(QLatin1String(ProductInfo::number));
    // The link logs every command it sends; an operator reads the result lines.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QLatin1String(description));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("save, diff or load, with its addresses and file"),
                                 QStringLiteral("save|diff|load ARGUMENTS..."));
    parser.addOptions({
            {QStringLiteral("port"), QStringLiteral("The modules' command port; 24000 unless given."), QStringLiteral("N"),
             QStringLiteral("24000")},
            {QStringLiteral("all"), QStringLiteral("load: write every setting with the window's full writes.")},
            {QStringLiteral("dry-run"), QStringLiteral("load: print what would be written and write nothing.")},
            {QStringLiteral("with-network"),
             QStringLiteral("diff, load: include the module's own address and subnet mask.")},
            {QStringLiteral("log"),
             QStringLiteral("Write every command sent and every reply, time-out and discarded late reply to FILE, "
                            "each line beginning with the module's address."),
             QStringLiteral("FILE")},
    });

    Console console;
    const auto usageError = [&console](const QString &fault) {
        console.error(QStringLiteral("qr36tn-config: %1; nothing was sent. See qr36tn-config --help.").arg(fault));
        return exitUsageOrFile;
    };
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();
    QString fault;
    const std::optional<Usage> use = usage(parser, &fault);
    if (!use)
        return usageError(fault);

    std::optional<ConfigurationFile> file;
    if (use->options.task != ModuleJob::Task::Save) {
        QStringList errors;
        file = ConfigurationFile::read(use->file, &errors);
        if (!file) {
            for (const QString &error : qAsConst(errors))
                console.error(QStringLiteral("%1: %2").arg(use->file, error));
            console.error(QStringLiteral("qr36tn-config: %1 has faults; nothing was sent.").arg(use->file));
            return exitUsageOrFile;
        }
    } else {
        // A file that cannot be written is found out before the module is read.
        QSaveFile probe(use->file);
        if (!probe.open(QIODevice::WriteOnly)) {
            console.error(QStringLiteral("%1: cannot be written: %2").arg(use->file, probe.errorString()));
            console.error(QStringLiteral("qr36tn-config: nothing was sent."));
            return exitUsageOrFile;
        }
    }

    CommunicationLogFile log;
    if (parser.isSet(QStringLiteral("log")) && !log.open(parser.value(QStringLiteral("log")))) {
        console.error(QStringLiteral("%1: cannot be written: %2").arg(parser.value(QStringLiteral("log")), log.errorString()));
        console.error(QStringLiteral("qr36tn-config: nothing was sent."));
        return exitUsageOrFile;
    }

    int status = 0;
    int running = use->addresses.size();
    std::vector<std::unique_ptr<ModuleJob>> jobs;
    for (int i = 0; i < use->addresses.size(); ++i) {
        jobs.push_back(std::make_unique<ModuleJob>(use->addresses.at(i), use->options, file ? &*file : nullptr));
        ModuleJob *const job = jobs.back().get();
        if (parser.isSet(QStringLiteral("log")))
            log.attach(job->commandInterface(), job->address());
        QObject::connect(job, &ModuleJob::progress, job, [&console, i, job](const QString &text) {
            console.progress(i, QStringLiteral("%1: %2").arg(job->address(), text));
        });
        QObject::connect(job, &ModuleJob::finished, job, [&, i, job] {
            console.progress(i, QString());
            for (const QString &line : job->details())
                console.print(line);
            QString line = QStringLiteral("%1: %2").arg(job->address(), job->summary());
            if (job->outcome() == ModuleJob::Outcome::Failed || job->outcome() == ModuleJob::Outcome::Differs)
                status = qMax(status, exitDifferentOrFailed);
            if (job->readSettings()) {
                QString error;
                if (job->readSettings()->write(use->file, &error)) {
                    line += QStringLiteral(", saved to %1").arg(use->file);
                } else {
                    console.error(error);
                    status = exitUsageOrFile;
                }
            }
            console.print(line);
            if (--running == 0)
                QCoreApplication::quit();
        });
        job->start();
    }
    QCoreApplication::exec();
    return status;
}
