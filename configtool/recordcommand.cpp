// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordcommand.h"

#include "commandinterface.h"
#include "console.h"
#include "fieldtext.h"
#include "heldsettings.h"
#include "recordingfile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr int exitUsageOrFile = 2;
constexpr int exitModuleFailed = 3;
constexpr int connectWaitMs = 5000;
constexpr int shortestIntervalMs = 50;

const char description[] =
        "Records the readings of every listed module at once, each to DIR/ADDRESS.csv with its settings\n"
        "beside it as DIR/ADDRESS.settings.json, one row per poll; a poll without an answer is a row of\n"
        "gaps. Ctrl-C ends the recording early with every row complete.\n"
        "\n"
        "Exit status: 0 recorded; 2 a usage or file error, in which case no module was dialled; 3 a module\n"
        "was not reached, was lost during the run or its file could not be written.";

// The write end is written by the signal handler, the read end watched by the event loop.
int stopPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(stopPipe[1], &byte, 1);
}

// One module's recording: a link in a thread of its own, read once for the
// module's settings, then polled at the interval until the end.
class ModuleRecorder : public QObject
{
    Q_OBJECT

public:
    enum class State { Connecting, Recording, NotReached, Over };

    ModuleRecorder(const QHostAddress &address, quint16 port, const QString &path, RecordingFile::Separator separator)
        : port(port)
        , moduleAddress(address.toString())
        , path(path)
        , separator(separator)
        , link(new CommandInterface)
        , thread(new QThread(this))
        , pollTimer(new QTimer(this))
    {
        // Reading must change nothing: with the inch option the parameter read only asks.
        link->inchEnabled = true;
        link->moveToThread(thread);
        connect(thread, &QThread::finished, link, &QObject::deleteLater);
        connect(link, &CommandInterface::transmitConnected, this, &ModuleRecorder::onRead);
        connect(link, &CommandInterface::transmitDisconnected, this, [this] {
            if (state == State::Connecting)
                notReached(QStringLiteral("closed the connection"));
            else if (state == State::Recording && lostAt.isEmpty())
                lostAt = QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss"));
        });
        connect(link, &CommandInterface::onErrorOccurred, this, [this](QAbstractSocket::SocketError error) {
            if (state != State::Connecting)
                return;
            if (error == QAbstractSocket::SocketTimeoutError && link->connectionState() == QAbstractSocket::ConnectedState)
                ++unanswered;
            else
                notReached(error == QAbstractSocket::ConnectionRefusedError ? QStringLiteral("refused the connection")
                                                                            : QStringLiteral("could not be reached"));
        });
        connect(link, &CommandInterface::communicationLogged, this, [this](const CommunicationLogEntry &entry) {
            if (state != State::Recording)
                return;
            if (const std::optional<PollReading> reading = PollReading::fromLogEntry(entry, held.reading())) {
                gaps += reading->gap ? 1 : 0;
                file.append(*reading);
            }
        });
        connect(&file, &RecordingFile::failed, this, [this](const QString &reason) {
            writeFault = reason;
            stop();
            emit ended();
        });
        // Thread-safe, and a poll still running is not queued again.
        connect(pollTimer, &QTimer::timeout, link, &CommandInterface::requestMeasurePoll, Qt::DirectConnection);
        pollTimer->setTimerType(Qt::PreciseTimer);
    }

    ~ModuleRecorder() override
    {
        QMetaObject::invokeMethod(link, [target = link] {
            target->disconnectFromHost();
            QThread::currentThread()->quit();
        }, Qt::QueuedConnection);
        thread->wait();
    }

    void start(int intervalMs, std::function<void()> settled)
    {
        onSettled = std::move(settled);
        pollTimer->setInterval(intervalMs);
        thread->start();
        QTimer::singleShot(connectWaitMs, this, [this] {
            if (state == State::Connecting && link->connectionState() != QAbstractSocket::ConnectedState)
                notReached(QStringLiteral("did not answer the connection"));
        });
        const uint number = QHostAddress(moduleAddress).toIPv4Address();
        const int port = this->port;
        QMetaObject::invokeMethod(link, [target = link, number, port] { target->connectToHost(number, port); },
                                  Qt::QueuedConnection);
    }

    void stop()
    {
        pollTimer->stop();
        if (state == State::Recording) {
            state = State::Over;
            file.stop();
            file.waitUntilClosed();
        }
    }

    bool isRecording() const { return state == State::Recording; }
    bool failed() const
    {
        return state == State::Connecting || state == State::NotReached || !lostAt.isEmpty() || !writeFault.isEmpty();
    }
    int gapRows() const { return gaps; }
    QString summary() const
    {
        if (state == State::Connecting)
            return QStringLiteral("%1: not recorded: stopped while the module was being read").arg(moduleAddress);
        if (state == State::NotReached)
            return QStringLiteral("%1: not recorded: the module %2").arg(moduleAddress, fault);
        QString line = QStringLiteral("%1: %2 rows to %3, %4 of them gaps")
                               .arg(moduleAddress)
                               .arg(file.rows())
                               .arg(QDir::toNativeSeparators(path))
                               .arg(gaps);
        if (!lostAt.isEmpty())
            line += QStringLiteral("; lost at %1, the rows after are gaps").arg(lostAt);
        if (!writeFault.isEmpty())
            line += QStringLiteral("; recording stopped: the file could not be written (%1)").arg(writeFault);
        return line;
    }

signals:
    // The recording is over before its time: its file could not be written.
    void ended();

private:
    void onRead()
    {
        if (state != State::Connecting)
            return;
        if (link->axisNum < 1 || unanswered > 0) {
            notReached(QStringLiteral("did not answer every query of the parameter read"));
            return;
        }
        held.take(*link, HeldSettings::Completion::ParameterRead);
        if (!file.start(path, moduleAddress, held.configuration(), separator, QDateTime::currentMSecsSinceEpoch())) {
            notReached(QStringLiteral("was read, but %1 could not be written: %2")
                               .arg(QDir::toNativeSeparators(path), file.errorString()));
            return;
        }
        state = State::Recording;
        pollTimer->start();
        settle();
    }

    void notReached(const QString &reason)
    {
        if (state != State::Connecting)
            return;
        state = State::NotReached;
        fault = reason;
        thread->requestInterruption();
        settle();
    }

    void settle()
    {
        if (onSettled)
            std::exchange(onSettled, nullptr)();
    }

    const quint16 port;
    const QString moduleAddress;
    const QString path;
    const RecordingFile::Separator separator;
    CommandInterface *link; // no parent: deleted in its own thread when that finishes
    QThread *thread;
    QTimer *pollTimer;
    HeldSettings held;
    RecordingFile file;
    State state = State::Connecting;
    int unanswered = 0;
    qint64 gaps = 0;
    QString fault;
    QString lostAt;
    QString writeFault;
    std::function<void()> onSettled;
};

struct Usage
{
    int seconds = 0;
    int intervalMs = 200;
    quint16 port = 24000;
    QString folder;
    RecordingFile::Separator separator = RecordingFile::Separator::Comma;
    QList<QHostAddress> addresses;
};

std::optional<Usage> usage(const QCommandLineParser &parser, QString *fault)
{
    Usage result;
    const auto integer = [&parser, fault](const char *option, FieldText::IntegerRange range, int &value) {
        const QString text = parser.value(QLatin1String(option));
        const std::optional<int> number = FieldText::integerOf(text, range);
        if (!number)
            *fault = QStringLiteral("--%1: %2").arg(QLatin1String(option), FieldText::integerProblem(text, range));
        else
            value = *number;
        return number.has_value();
    };
    if (!parser.isSet(QStringLiteral("seconds")) || !parser.isSet(QStringLiteral("out"))) {
        *fault = QStringLiteral("record takes --seconds N and --out DIR");
        return std::nullopt;
    }
    int port = 0;
    if (!integer("seconds", {1, 7 * 24 * 3600}, result.seconds)
        || !integer("interval-ms", {shortestIntervalMs, 3600 * 1000}, result.intervalMs)
        || !integer("port", {1, 65535}, port))
        return std::nullopt;
    result.port = quint16(port);
    result.folder = parser.value(QStringLiteral("out"));
    const QString separator = parser.value(QStringLiteral("separator"));
    if (separator == QLatin1String("semicolon")) {
        result.separator = RecordingFile::Separator::Semicolon;
    } else if (separator != QLatin1String("comma")) {
        *fault = QStringLiteral("--separator takes comma or semicolon");
        return std::nullopt;
    }
    const QStringList arguments = parser.positionalArguments().mid(1);
    if (arguments.isEmpty()) {
        *fault = QStringLiteral("record takes at least one address");
        return std::nullopt;
    }
    const std::optional<QList<QHostAddress>> addresses = FieldText::addressesOf(arguments, fault);
    if (!addresses)
        return std::nullopt;
    result.addresses = *addresses;
    return result;
}

} // namespace

namespace RecordCommand {

int run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QLatin1String(description));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("record"), QStringLiteral("the command"), QStringLiteral("record"));
    parser.addPositionalArgument(QStringLiteral("address"), QStringLiteral("the modules to record"),
                                 QStringLiteral("ADDRESS..."));
    parser.addOptions({
            {QStringLiteral("seconds"), QStringLiteral("Record for N seconds."), QStringLiteral("N")},
            {QStringLiteral("interval-ms"), QStringLiteral("Poll every N ms, at least 50; 200 unless given."),
             QStringLiteral("N"), QStringLiteral("200")},
            {QStringLiteral("out"), QStringLiteral("The folder for the files; made if missing."), QStringLiteral("DIR")},
            {QStringLiteral("separator"),
             QStringLiteral("comma (\",\" with \".\", unless given) or semicolon (\";\" with \",\")."),
             QStringLiteral("comma|semicolon"), QStringLiteral("comma")},
            {QStringLiteral("port"), QStringLiteral("The modules' command port; 24000 unless given."),
             QStringLiteral("N"), QStringLiteral("24000")},
    });
    Console console;
    const auto usageError = [&console](const QString &fault) {
        console.error(QStringLiteral("qr36tn-config record: %1; nothing was sent. See qr36tn-config record --help.")
                              .arg(fault));
        return exitUsageOrFile;
    };
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    QString fault;
    const std::optional<Usage> use = usage(parser, &fault);
    if (!use)
        return usageError(fault);
    const QDir folder(use->folder);
    if (!folder.mkpath(QStringLiteral(".")) || !QFileInfo(folder.absolutePath()).isWritable()) {
        console.error(QStringLiteral("%1: cannot be written").arg(QDir::toNativeSeparators(use->folder)));
        console.error(QStringLiteral("qr36tn-config record: nothing was sent."));
        return exitUsageOrFile;
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, stopPipe) != 0) {
        console.error(QStringLiteral("qr36tn-config record: no signal pipe; nothing was sent."));
        return exitUsageOrFile;
    }
    QSocketNotifier stopNotifier(stopPipe[0], QSocketNotifier::Read);
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    std::vector<std::unique_ptr<ModuleRecorder>> modules;
    int unsettled = use->addresses.size();
    QTimer endTimer;
    endTimer.setSingleShot(true);
    endTimer.setInterval(use->seconds * 1000);
    // The run's length counts from the moment every module is recording or known not to be.
    const auto onSettled = [&] {
        if (--unsettled > 0)
            return;
        if (std::none_of(modules.begin(), modules.end(), [](const auto &m) { return m->isRecording(); }))
            QCoreApplication::quit();
        endTimer.start();
    };
    for (const QHostAddress &address : std::as_const(use->addresses)) {
        const QString path = folder.absoluteFilePath(address.toString() + QLatin1String(".csv"));
        modules.push_back(std::make_unique<ModuleRecorder>(address, use->port, path, use->separator));
        ModuleRecorder *const module = modules.back().get();
        module->start(use->intervalMs, onSettled);
        // Nothing left to record: the run is over before its time.
        QObject::connect(module, &ModuleRecorder::ended, QCoreApplication::instance(), [&modules] {
            if (std::none_of(modules.begin(), modules.end(), [](const auto &m) { return m->isRecording(); }))
                QCoreApplication::quit();
        });
    }
    console.print(QStringLiteral("recording %1 for %2 s; Ctrl-C ends it early")
                          .arg(use->addresses.size() == 1 ? QStringLiteral("1 module")
                                                           : QStringLiteral("%1 modules").arg(use->addresses.size()))
                          .arg(use->seconds));
    QObject::connect(&endTimer, &QTimer::timeout, QCoreApplication::instance(), &QCoreApplication::quit);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();

    int failed = 0;
    int withGaps = 0;
    for (const std::unique_ptr<ModuleRecorder> &module : modules) {
        module->stop();
        failed += module->failed() ? 1 : 0;
        withGaps += !module->failed() && module->gapRows() > 0 ? 1 : 0;
    }
    for (const std::unique_ptr<ModuleRecorder> &module : modules)
        console.print(module->summary());
    // A module that fell silent was still recorded to the end, but not without a fault.
    QString tally = QStringLiteral("%1 of %2 recorded to the end").arg(int(modules.size()) - failed).arg(modules.size());
    if (withGaps > 0)
        tally += QStringLiteral(", %1 of them with gaps where a poll got no reading").arg(withGaps);
    console.print(tally);
    modules.clear();
    return failed > 0 ? exitModuleFailed : 0;
}

} // namespace RecordCommand

#include "recordcommand.moc"
