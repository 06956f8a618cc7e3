// SPDX-License-Identifier: GPL-3.0-or-later
// qr36tn-config: saves a module's settings to a file, compares modules with a
// file, loads a file into one module or many at once, and finds the modules in
// address ranges. Everything the command line and the files say is checked
// before any module is dialled.

#include "analysecommand.h"
#include "commonoptions.h"
#include "communicationlogfile.h"
#include "configurationfile.h"
#include "console.h"
#include "fieldtext.h"
#include "modulejob.h"
#include "productinfo.h"
#include "recordcommand.h"
#include "scancommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QSaveFile>

#include <memory>
#include <vector>

namespace {

// The exit status, the worst of what happened.
enum Exit { exitDone = 0, exitDiffers = 1, exitUsageOrFile = 2, exitModuleFailed = 3 };

const char description[] =
        "Saves, compares and loads the settings of QR36-TN counter modules, and finds them.\n"
        "\n"
        "  save ADDRESS FILE               read the module and write its settings to FILE\n"
        "  diff ADDRESS [ADDRESS...] FILE  print each setting in which a module differs from FILE\n"
        "  load FILE ADDRESS [ADDRESS...]  write FILE into each module, all at once\n"
        "  scan RANGE [RANGE...]           list the modules in the ranges, by address\n"
        "  record [...] ADDRESS...         record the readings of modules (record --help)\n"
        "  analyse RECORDING.csv [...]     the capability figures of a recording (analyse --help)\n"
        "\n"
        "A load writes only the settings that differ, inside one SETUP ... CLOSE, and\n"
        "reads them back. The module's own address and subnet mask are neither compared\n"
        "nor written unless --with-network is given, which a load takes for one module only.\n"
        "\n"
        "A RANGE is a network (192.168.0.0/24, without its network and broadcast\n"
        "addresses), a range (192.168.0.10-192.168.0.60) or one address; more than 1024\n"
        "addresses take --force. A scan dials at most 64 addresses at once and asks each\n"
        "that takes the connection only CONFIG=? and, from a module, its version query\n"
        "(1VER=? for unit 1), each followed by a 10 ms pause; it sends no SETUP, R or\n"
        "set command. It prints each module's address, unit number, axis count and\n"
        "version, then the addresses that took the connection without a module's reply.\n"
        "\n"
        "Exit status: 0 done (diff: no difference; scan: a module found); 1 diff found a\n"
        "difference, or scan found no module; 2 a usage or file fault, found before any\n"
        "module was dialled; 3 at least one module failed.";

struct Usage
{
    ModuleJob::Options options;
    QString command;
    QString file;
    QList<QHostAddress> addresses;
    bool json = false;
};

// The parsed command line, or the reason it is not one.
std::optional<Usage> usage(const QCommandLineParser &parser, QString *fault)
{
    Usage result;
    QStringList arguments = parser.positionalArguments();
    result.command = arguments.value(0);
    const std::optional<QStringList> listed = CommonOptions::moduleList(parser, fault);
    if (!listed)
        return std::nullopt;
    if (!arguments.isEmpty())
        arguments.removeFirst();

    if (result.command == QLatin1String("save") || result.command == QLatin1String("diff")) {
        if (arguments.isEmpty()) {
            *fault = QStringLiteral("%1 takes an address and a file").arg(result.command);
            return std::nullopt;
        }
        result.options.task = result.command == QLatin1String("save") ? ModuleJob::Task::Save : ModuleJob::Task::Diff;
        result.file = arguments.takeLast();
    } else if (result.command == QLatin1String("load")) {
        if (arguments.isEmpty()) {
            *fault = QStringLiteral("load takes a file and at least one address");
            return std::nullopt;
        }
        result.options.task = ModuleJob::Task::Load;
        result.file = arguments.takeFirst();
    } else {
        *fault = result.command.isEmpty() ? QStringLiteral("no command given")
                                          : QStringLiteral("\"%1\" is not a command").arg(result.command);
        return std::nullopt;
    }
    const QStringList addresses = arguments + *listed;
    if (addresses.isEmpty()) {
        *fault = QStringLiteral("%1 takes at least one module address").arg(result.command);
        return std::nullopt;
    }
    if (result.options.task == ModuleJob::Task::Save && addresses.size() != 1) {
        *fault = QStringLiteral("save reads one module into one file");
        return std::nullopt;
    }

    result.json = parser.isSet(QStringLiteral("json"));
    result.options.all = parser.isSet(QStringLiteral("all"));
    result.options.dryRun = parser.isSet(QStringLiteral("dry-run"));
    result.options.withNetwork = parser.isSet(QStringLiteral("with-network"));
    if ((result.options.all || result.options.dryRun) && result.options.task != ModuleJob::Task::Load) {
        *fault = QStringLiteral("--all and --dry-run go with load only");
        return std::nullopt;
    }
    if (result.options.withNetwork && result.options.task == ModuleJob::Task::Load && addresses.size() > 1) {
        *fault = QStringLiteral("--with-network would give %1 modules one address; load it into one module at a time")
                         .arg(addresses.size());
        return std::nullopt;
    }
    if (parser.isSet(QStringLiteral("force")) || parser.isSet(QStringLiteral("timeout-ms"))) {
        *fault = QStringLiteral("--force and --timeout-ms go with scan only");
        return std::nullopt;
    }
    const std::optional<quint16> port = CommonOptions::port(parser, fault);
    if (!port)
        return std::nullopt;
    result.options.port = *port;

    const std::optional<QList<QHostAddress>> modules = FieldText::addressesOf(addresses, fault);
    if (!modules)
        return std::nullopt;
    result.addresses = *modules;
    return result;
}

// The command: the first argument that is no option.
QString commandOf(const QStringList &arguments)
{
    for (const QString &argument : arguments.mid(1)) {
        if (!argument.startsWith(QLatin1Char('-')))
            return argument;
    }
    return QString();
}

QString resultWord(ModuleJob::Outcome outcome)
{
    switch (outcome) {
    case ModuleJob::Outcome::Done:
        return QStringLiteral("done");
    case ModuleJob::Outcome::Differs:
        return QStringLiteral("differs");
    case ModuleJob::Outcome::Failed:
    case ModuleJob::Outcome::Pending:
        break;
    }
    return QStringLiteral("failed");
}

QJsonObject jsonOf(const ModuleJob &job, const QString &savedTo)
{
    QJsonArray differences;
    for (const ModuleJob::Difference &difference : job.differences())
        differences.append(QJsonObject{{QStringLiteral("setting"), difference.key},
                                       {QStringLiteral("module"), difference.module},
                                       {QStringLiteral("file"), difference.file}});
    QJsonArray failed;
    for (const ModuleJob::FailedSetting &setting : job.failedSettings())
        failed.append(QJsonObject{{QStringLiteral("setting"), setting.key},
                                  {QStringLiteral("command"), setting.command},
                                  {QStringLiteral("problem"), setting.problem}});
    QJsonObject object{{QStringLiteral("address"), job.address()},
                       {QStringLiteral("result"), resultWord(job.outcome())},
                       {QStringLiteral("message"), job.summary()},
                       {QStringLiteral("differences"), differences},
                       {QStringLiteral("failedSettings"), failed},
                       {QStringLiteral("partialWrite"), job.partialWrite()}};
    if (!savedTo.isEmpty())
        object.insert(QStringLiteral("savedTo"), savedTo);
    return object;
}

// "3 loaded, 1 failed: 127.0.0.5 (connection lost after 212 of 590 commands)"
QString runSummary(const Usage &use, const std::vector<std::unique_ptr<ModuleJob>> &jobs)
{
    int done = 0;
    int differ = 0;
    QStringList failed;
    for (const auto &job : jobs) {
        if (job->outcome() == ModuleJob::Outcome::Done)
            ++done;
        else if (job->outcome() == ModuleJob::Outcome::Differs)
            ++differ;
        else
            failed << QStringLiteral("%1 (%2)").arg(job->address(), job->failureReason());
    }
    QStringList parts;
    if (use.options.task == ModuleJob::Task::Diff)
        parts << QStringLiteral("%1 as the file").arg(done) << QStringLiteral("%1 differ").arg(differ);
    else if (use.options.dryRun)
        parts << QStringLiteral("%1 checked").arg(done);
    else
        parts << QStringLiteral("%1 loaded").arg(done);
    QString text = parts.join(QLatin1String(", "));
    text += QStringLiteral(", %1 failed").arg(failed.size());
    if (!failed.isEmpty())
        text += QStringLiteral(": ") + failed.join(QLatin1String(", "));
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qr36tn-config"));
    QCoreApplication::setApplicationVersion(QLatin1String(ProductInfo::number));
    // The link logs every command it sends; an operator reads the result lines.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    // These two have command lines of their own.
    const QString command = commandOf(QCoreApplication::arguments());
    if (command == QLatin1String("analyse"))
        return AnalyseCommand::run(QCoreApplication::arguments());
    if (command == QLatin1String("record"))
        return RecordCommand::run(QCoreApplication::arguments());

    QCommandLineParser parser;
    parser.setApplicationDescription(QLatin1String(description));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("save, diff, load or scan, with its arguments; record and "
                                                "analyse have help of their own"),
                                 QStringLiteral("save|diff|load|scan|record|analyse ARGUMENTS..."));
    parser.addOptions({
            {QStringLiteral("port"), QStringLiteral("The modules' command port; 24000 unless given."), QStringLiteral("N"),
             QString::number(ModuleProtocol::commandPort)},
            {QStringLiteral("all"), QStringLiteral("load: write every setting, not only those that differ.")},
            {QStringLiteral("dry-run"), QStringLiteral("load: print what would be written and write nothing.")},
            {QStringLiteral("with-network"),
             QStringLiteral("diff, load: include the module's own address and subnet mask (load: one module only).")},
            {QStringLiteral("modules"), QStringLiteral("Also the module addresses in FILE, one a line; # begins a comment."),
             QStringLiteral("FILE")},
            {QStringLiteral("json"), QStringLiteral("Print the result as one JSON document, for scripts.")},
            {QStringLiteral("timeout-ms"),
             QStringLiteral("scan: how long a connection attempt may take; 300 unless given."), QStringLiteral("MS"),
             QString::number(ModuleScanner::Options().connectTimeoutMs)},
            {QStringLiteral("force"), QStringLiteral("scan: scan more than 1024 addresses.")},
            {QStringLiteral("log"),
             QStringLiteral("Write every command sent and every reply, time-out, discarded late reply and connection "
                            "event to FILE, each line beginning with the module's address."),
             QStringLiteral("FILE")},
    });

    Console console;
    const auto usageError = [&](const QString &fault) {
        console.error(QStringLiteral("qr36tn-config: %1; nothing was sent.").arg(fault));
        console.error(parser.helpText());
        return exitUsageOrFile;
    };
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help))
        parser.showHelp(exitDone);
    if (parser.isSet(version))
        parser.showVersion();
    QString fault;
    if (parser.positionalArguments().value(0) == QLatin1String("scan")) {
        const std::optional<ScanCommand::Usage> scan = ScanCommand::usage(parser, &fault);
        return scan ? ScanCommand::run(*scan, console) : usageError(fault);
    }
    const std::optional<Usage> use = usage(parser, &fault);
    if (!use)
        return usageError(fault);

    const auto fileError = [&console](const QString &line) {
        console.error(line);
        console.error(QStringLiteral("qr36tn-config: nothing was sent."));
        return exitUsageOrFile;
    };
    std::optional<ConfigurationFile> file;
    if (use->options.task != ModuleJob::Task::Save) {
        QStringList errors;
        file = ConfigurationFile::read(use->file, &errors);
        if (!file) {
            for (const QString &error : std::as_const(errors))
                console.error(QStringLiteral("%1: %2").arg(use->file, error));
            return fileError(QStringLiteral("qr36tn-config: %1 has faults.").arg(use->file));
        }
    } else {
        // A file that cannot be written is found out before the module is read;
        // the probe is never committed, so an existing file stays as it is.
        QSaveFile probe(use->file);
        if (!probe.open(QIODevice::WriteOnly))
            return fileError(QStringLiteral("%1: cannot be written: %2").arg(use->file, probe.errorString()));
    }

    CommunicationLogFile log;
    const bool logging = parser.isSet(QStringLiteral("log"));
    if (logging && !log.open(parser.value(QStringLiteral("log"))))
        return fileError(QStringLiteral("%1: cannot be written: %2").arg(parser.value(QStringLiteral("log")), log.errorString()));
    QObject::connect(&log, &CommunicationLogFile::writeFailed, &log,
                     [&console](const QString &reason) { console.error(QStringLiteral("qr36tn-config: ") + reason); });

    const bool several = use->addresses.size() > 1;
    int status = exitDone;
    int running = use->addresses.size();
    QStringList savedTo;
    std::vector<std::unique_ptr<ModuleJob>> jobs;
    for (int i = 0; i < use->addresses.size(); ++i) {
        jobs.push_back(std::make_unique<ModuleJob>(use->addresses.at(i), use->options, file ? &*file : nullptr));
        ModuleJob *const job = jobs.back().get();
        if (logging)
            log.attach(job->commandInterface(), job->address());
        QObject::connect(job, &ModuleJob::progress, job, [&console, i, job](const QString &text) {
            console.progress(i, QStringLiteral("%1: %2").arg(job->address(), text));
        });
        QObject::connect(job, &ModuleJob::finished, job, [&, i, job] {
            console.progress(i, QString());
            QString line = job->summary();
            if (job->outcome() == ModuleJob::Outcome::Failed) {
                status = qMax<int>(status, exitModuleFailed);
            } else if (job->outcome() == ModuleJob::Outcome::Differs) {
                status = qMax<int>(status, exitDiffers);
            } else if (job->readSettings()) {
                QString error;
                if (job->readSettings()->write(use->file, &error)) {
                    savedTo << job->address();
                    line += QStringLiteral(", saved to %1").arg(use->file);
                } else {
                    line += QStringLiteral(", but ") + error;
                    status = qMax<int>(status, exitUsageOrFile);
                }
            }
            if (!use->json) {
                const QString lead = several ? job->address() + QLatin1String(": ") : QString();
                for (const QString &detail : job->details())
                    console.print(lead + detail);
                console.print(QStringLiteral("%1: %2").arg(job->address(), line));
            }
            if (--running == 0)
                QCoreApplication::quit();
        });
        job->start();
    }
    QCoreApplication::exec();

    const QString summary = several ? runSummary(*use, jobs) : QString();
    if (use->json) {
        QJsonArray results;
        for (const auto &job : jobs)
            results.append(jsonOf(*job, savedTo.contains(job->address()) ? use->file : QString()));
        QJsonObject document{{QStringLiteral("command"), use->command},
                             {QStringLiteral("file"), use->file},
                             {QStringLiteral("modules"), results},
                             {QStringLiteral("exitCode"), status}};
        if (several)
            document.insert(QStringLiteral("summary"), summary);
        console.print(QString::fromUtf8(QJsonDocument(document).toJson(QJsonDocument::Indented)).trimmed());
    } else if (several) {
        console.print(summary);
    }
    return status;
}
