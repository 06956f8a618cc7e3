// SPDX-License-Identifier: GPL-3.0-or-later
#include "modulesimulator.h"

#include <QFile>
#include <QLocale>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cmath>
#include <limits>
#include <variant>
#include <vector>

namespace {

using FieldRef = std::variant<int *, bool *, double *, QString *, QHostAddress *>;

enum class Scope {
    Global,   // no prefix
    Unit,     // unit digit
    Axis,     // unit digit, axis digit
    AxisOnly  // axis digit in place of the unit digit
};

struct Parameter
{
    const char *mnemonic;
    Scope scope;
    int sets;      // > 0: a comparator set number 1..sets follows the mnemonic
    bool writable;
    int minValue;  // accepted range of int and bool fields
    int maxValue;
    FieldRef (*field)(ModuleModel &m, int axis, int set);
};

constexpr int AnyMin = std::numeric_limits<int>::min();
constexpr int AnyMax = std::numeric_limits<int>::max();

// One table serves both directions: a query formats the field, a set parses into it.
const Parameter parameters[] = {
    {"RSL", Scope::Axis, 0, true, 1, 5, [](ModuleModel &m, int a, int) -> FieldRef { return &m.resolution[a]; }},
    {"POL", Scope::Axis, 0, true, 0, 1, [](ModuleModel &m, int a, int) -> FieldRef { return &m.direction[a]; }},
    {"MODE", Scope::Axis, 0, true, 0, 3, [](ModuleModel &m, int a, int) -> FieldRef { return &m.measMode[a]; }},
    {"P", Scope::Axis, 0, true, 0, 0, [](ModuleModel &m, int a, int) -> FieldRef { return &m.preset[a]; }},
    {"CH", Scope::Axis, ModuleModel::CompSets, true, 0, 0,
     [](ModuleModel &m, int a, int s) -> FieldRef { return &m.compHigh[s - 1][a]; }},
    {"CL", Scope::Axis, ModuleModel::CompSets, true, 0, 0,
     [](ModuleModel &m, int a, int s) -> FieldRef { return &m.compLow[s - 1][a]; }},
    {"SCN", Scope::Axis, 0, true, 1, ModuleModel::CompSets,
     [](ModuleModel &m, int a, int) -> FieldRef { return &m.compSet[a]; }},
    {"REF", Scope::Axis, 0, true, 0, 1, [](ModuleModel &m, int a, int) -> FieldRef { return &m.refUse[a]; }},
    {"LO", Scope::Axis, 0, false, 0, 0, [](ModuleModel &m, int a, int) -> FieldRef { return &m.refOffset[a]; }},
    {"STTERM", Scope::Unit, 0, true, 0, 1, [](ModuleModel &m, int, int) -> FieldRef { return &m.extStartInput; }},
    {"RSSEP", Scope::Unit, 0, true, 0, 1, [](ModuleModel &m, int, int) -> FieldRef { return &m.separator; }},
    {"RSFORM", Scope::Unit, 0, true, 0, 2, [](ModuleModel &m, int, int) -> FieldRef { return &m.dataFormat; }},
    {"RSTRG", Scope::Unit, 0, true, 0, 9, [](ModuleModel &m, int, int) -> FieldRef { return &m.outputTrigger; }},
    {"SCALE", Scope::Unit, 0, true, 0, 1, [](ModuleModel &m, int, int) -> FieldRef { return &m.unit; }},
    {"RSFLOW", Scope::Unit, 0, true, 0, 1, [](ModuleModel &m, int, int) -> FieldRef { return &m.flowControl; }},
    {"VER", Scope::Unit, 0, false, 0, 0, [](ModuleModel &m, int, int) -> FieldRef { return &m.version; }},
    {"NIP", Scope::Global, 0, true, 0, 0, [](ModuleModel &m, int, int) -> FieldRef { return &m.moduleIpAddr; }},
    {"NMS", Scope::Global, 0, true, 0, 0, [](ModuleModel &m, int, int) -> FieldRef { return &m.subnetMask; }},
    {"RIP", Scope::Global, 0, true, 0, 0, [](ModuleModel &m, int, int) -> FieldRef { return &m.plcIpAddr; }},
    {"LPN", Scope::Global, 0, true, 0, 65535, [](ModuleModel &m, int, int) -> FieldRef { return &m.plcEtherPort; }},
    {"LMD", Scope::Global, 0, true, 0, 1, [](ModuleModel &m, int, int) -> FieldRef { return &m.usingPlcLink; }},
    {"LPC1", Scope::Global, 0, true, 0, 7, [](ModuleModel &m, int, int) -> FieldRef { return &m.linkProtocol[0]; }},
    {"LPC2", Scope::Global, 0, true, 0, 1, [](ModuleModel &m, int, int) -> FieldRef { return &m.linkProtocol[1]; }},
    {"LPC3", Scope::Global, 0, true, 0, 2, [](ModuleModel &m, int, int) -> FieldRef { return &m.linkProtocol[2]; }},
    {"FINSSA1", Scope::Global, 0, true, AnyMin, AnyMax, [](ModuleModel &m, int, int) -> FieldRef { return &m.finsSA1; }},
    {"FINSDA1", Scope::Global, 0, true, AnyMin, AnyMax, [](ModuleModel &m, int, int) -> FieldRef { return &m.finsDA1; }},
    {"FINSDNA", Scope::Global, 0, true, AnyMin, AnyMax, [](ModuleModel &m, int, int) -> FieldRef { return &m.finsDNA; }},
    {"CMUNITNO", Scope::Global, 0, true, AnyMin, AnyMax,
     [](ModuleModel &m, int, int) -> FieldRef { return &m.cmodeUnitNo; }},
    {"FLA", Scope::Global, 0, true, AnyMin, AnyMax, [](ModuleModel &m, int, int) -> FieldRef { return &m.ctrlFlagAddr; }},
    {"PRA", Scope::AxisOnly, 0, true, AnyMin, AnyMax,
     [](ModuleModel &m, int a, int) -> FieldRef { return &m.paramAddr[a]; }},
    {"MDA", Scope::Global, 0, true, AnyMin, AnyMax, [](ModuleModel &m, int, int) -> FieldRef { return &m.measDataAddr; }},
};

// Upper-case only: the tool upper-cases every prefixed command, so a lower-case
// digit here means the tool got it wrong.
int hexDigit(QChar c)
{
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return c.unicode() - '0';
    if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        return c.unicode() - 'A' + 10;
    return -1;
}

QChar hexChar(int value)
{
    return QLatin1Char("0123456789ABCDEF"[value & 0xF]);
}

struct Target
{
    const Parameter *parameter = nullptr;
    int unit = -1; // -1: not addressed to a unit
    int axis = 0;
    int set = 0;
};

int prefixLength(Scope scope)
{
    switch (scope) {
    case Scope::Global:
        return 0;
    case Scope::Unit:
    case Scope::AxisOnly:
        return 1;
    case Scope::Axis:
        return 2;
    }
    return 0;
}

bool matchName(const QString &name, const Parameter &p, Target *target)
{
    const QLatin1String mnemonic(p.mnemonic);
    const int prefix = prefixLength(p.scope);
    const int suffix = p.sets > 0 ? 1 : 0;
    if (name.size() != prefix + mnemonic.size() + suffix || QStringView(name).mid(prefix, mnemonic.size()) != mnemonic)
        return false;
    for (int i = 0; i < prefix; ++i) {
        if (hexDigit(name.at(i)) < 0)
            return false;
    }
    Target t;
    t.parameter = &p;
    if (p.scope == Scope::Unit || p.scope == Scope::Axis)
        t.unit = hexDigit(name.at(0));
    if (p.scope == Scope::Axis)
        t.axis = hexDigit(name.at(1));
    if (p.scope == Scope::AxisOnly)
        t.axis = hexDigit(name.at(0));
    if (suffix) {
        t.set = name.back().unicode() - '0';
        if (t.set < 1 || t.set > p.sets)
            return false;
    }
    *target = t;
    return true;
}

Target findTarget(const QString &name)
{
    Target target;
    for (const Parameter &p : parameters) {
        if (matchName(name, p, &target))
            break;
    }
    return target;
}

bool isAxisClear(const QString &text)
{
    return text.size() == 6 && hexDigit(text.at(0)) >= 0 && hexDigit(text.at(1)) >= 0
            && QStringView(text).mid(2) == QLatin1String("LCLR");
}

// Length of the bare command that starts the text, 0 if none does.
int bareCommandLength(const QString &text)
{
    static const char *const bare[] = {"SETUP", "CLOSE", "FACTRST", "CRASH"};
    for (const char *command : bare) {
        if (text.startsWith(QLatin1String(command)))
            return int(qstrlen(command));
    }
    if (text.startsWith(QLatin1Char('R')) && !text.startsWith(QLatin1String("RI")))
        return 1;
    if (isAxisClear(text.left(6)))
        return 6;
    return 0;
}

QString formatField(const FieldRef &field)
{
    if (const auto value = std::get_if<int *>(&field))
        return QString::number(**value);
    if (const auto value = std::get_if<bool *>(&field))
        return QString::number(**value ? 1 : 0);
    // The module answers with all the digits it holds, so a write that rounded shows.
    if (const auto value = std::get_if<double *>(&field))
        return QString::number(**value, 'g', QLocale::FloatingPointShortest);
    if (const auto value = std::get_if<QString *>(&field))
        return **value;
    return (*std::get<QHostAddress *>(field)).toString();
}

bool parseInto(const FieldRef &field, const QString &text, const Parameter &p)
{
    bool ok = false;
    if (std::holds_alternative<int *>(field) || std::holds_alternative<bool *>(field)) {
        const int value = text.toInt(&ok, 10);
        if (!ok || value < p.minValue || value > p.maxValue)
            return false;
        if (const auto target = std::get_if<int *>(&field))
            **target = value;
        else
            *std::get<bool *>(field) = value != 0;
        return true;
    }
    if (const auto target = std::get_if<double *>(&field)) {
        const double value = text.toDouble(&ok);
        if (!ok || !std::isfinite(value))
            return false;
        **target = value;
        return true;
    }
    if (const auto target = std::get_if<QHostAddress *>(&field)) {
        QHostAddress address;
        if (!address.setAddress(text) || address.protocol() != QAbstractSocket::IPv4Protocol)
            return false;
        **target = address;
        return true;
    }
    return false;
}

bool matchesAny(const QVector<QRegularExpression> &patterns, const QString &command)
{
    for (const QRegularExpression &pattern : patterns) {
        if (pattern.match(command).hasMatch())
            return true;
    }
    return false;
}

QString printable(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

const char *dispositionTag(ReceivedCommand::Disposition disposition)
{
    switch (disposition) {
    case ReceivedCommand::Disposition::Answered:
    case ReceivedCommand::Disposition::Applied:
        return "";
    case ReceivedCommand::Disposition::Rejected:
        return "  [rejected]";
    case ReceivedCommand::Disposition::OtherUnit:
        return "  [other unit]";
    case ReceivedCommand::Disposition::Unknown:
        return "  [unknown]";
    case ReceivedCommand::Disposition::Silenced:
        return "  [silenced]";
    case ReceivedCommand::Disposition::Dropped:
        return "  [closing connection]";
    }
    return "";
}

} // namespace

ModuleSimulator::ModuleSimulator(const SimulatorOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_server(new QTcpServer(this))
    , m_replyTimer(new QTimer(this))
    , m_gauges(ModuleModel::MaxAxes)
    , m_random(options.seed ? *options.seed : QRandomGenerator::system()->generate())
{
    m_clock.start();
    m_model.unitNumber = qBound(0, options.unitNumber, 15);
    m_model.axisCount = qBound(1, options.axisCount, ModuleModel::MaxAxes);
    for (AxisGauge &gauge : m_gauges)
        gauge.phase = m_random.bounded(2.0 * M_PI);

    // Reply gaps are part of what the fault switches promise; a coarse timer may fire early.
    m_replyTimer->setSingleShot(true);
    m_replyTimer->setTimerType(Qt::PreciseTimer);
    connect(m_replyTimer, &QTimer::timeout, this, &ModuleSimulator::writeDueReplies);
    connect(m_server, &QTcpServer::newConnection, this, &ModuleSimulator::takeNextClient);

    if (!options.logPath.isEmpty()) {
        m_logFile = new QFile(this);
        bool opened = false;
        if (options.logPath == QLatin1String("-")) {
            opened = m_logFile->open(stdout, QIODevice::WriteOnly | QIODevice::Text);
        } else {
            m_logFile->setFileName(options.logPath);
            opened = m_logFile->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
        }
        if (!opened)
            qWarning("cannot open the command log %s", qPrintable(options.logPath));
    }
}

ModuleSimulator::~ModuleSimulator() = default;

bool ModuleSimulator::listen()
{
    const bool ok = m_server->listen(m_options.address, m_options.port);
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (ok) {
        m_listenAddress = m_server->serverAddress();
        m_listenPort = m_server->serverPort();
        m_error.clear();
    } else {
        m_error = m_server->errorString();
    }
    return ok;
}

void ModuleSimulator::close()
{
    if (m_client)
        dropClient(false);
    m_server->close();
}

QString ModuleSimulator::errorString() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_error;
}

QHostAddress ModuleSimulator::serverAddress() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_listenAddress;
}

quint16 ModuleSimulator::serverPort() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_listenPort;
}

ModuleModel ModuleSimulator::model() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_model;
}

void ModuleSimulator::setModel(const ModuleModel &model)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_model = model;
}

QVector<ReceivedCommand> ModuleSimulator::commandLog() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
}

QStringList ModuleSimulator::commandTexts() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    QStringList texts;
    for (const ReceivedCommand &entry : m_log)
        texts << entry.text;
    return texts;
}

void ModuleSimulator::clearCommandLog()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_log.clear();
}

bool ModuleSimulator::waitForCommandCount(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_logGrown.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [this, count] { return m_log.size() >= count; });
}

int ModuleSimulator::connectionCount() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_connections;
}

namespace {

// One whole command the module knows: a bare one, or a known name with "=?" or a value.
bool isKnownCommand(const QString &text)
{
    if (bareCommandLength(text) == text.size())
        return true;
    static thread_local const QRegularExpression value(QStringLiteral("^(\\?|[-+]?[0-9.]+([Ee][-+]?[0-9]+)?)$"));
    const int equals = text.indexOf(QLatin1Char('='));
    return equals > 0 && findTarget(text.left(equals)).parameter && value.match(text.mid(equals + 1)).hasMatch();
}

// Commands that arrive together carry no separator. The line is cut where every
// piece is a command the module knows, the first piece as short as can be; empty
// when it cannot be cut so.
QStringList knownCommands(const QString &line)
{
    if (isKnownCommand(line))
        return {line};
    const int size = line.size();
    std::vector<int> next(size_t(size) + 1, -1);
    next[size_t(size)] = size;
    for (int from = size - 1; from >= 0; --from) {
        for (int to = from + 1; to <= size && next[size_t(from)] < 0; ++to) {
            if (next[size_t(to)] >= 0 && isKnownCommand(line.mid(from, to - from)))
                next[size_t(from)] = to;
        }
    }
    QStringList commands;
    for (int from = 0; from < size && next[size_t(from)] > 0; from = next[size_t(from)])
        commands << line.mid(from, next[size_t(from)] - from);
    return next[0] >= 0 ? commands : QStringList();
}

} // namespace

QStringList ModuleSimulator::splitChunk(const QString &chunk)
{
    // Line ends are no part of the protocol, but a person typing into a
    // terminal sends them. Compiling the expression took some 7 us of every
    // reply, so each thread compiles it once.
    static thread_local const QRegularExpression lineEnds(QStringLiteral("[\r\n]"));
    QStringList commands;
    const QStringList lines = chunk.split(lineEnds, Qt::SkipEmptyParts);
    for (QString rest : lines) {
        const QStringList known = knownCommands(rest);
        if (!known.isEmpty()) {
            commands << known;
            continue;
        }
        while (!rest.isEmpty()) {
            int cut = bareCommandLength(rest);
            if (cut == 0) {
                const int query = rest.indexOf(QLatin1String("=?"));
                cut = query >= 0 ? query + 2 : rest.size();
            }
            commands << rest.left(cut);
            rest.remove(0, cut);
        }
    }
    return commands;
}

QString ModuleSimulator::formatValue(double value)
{
    // As many decimals as fit in eight characters with the sign.
    for (int decimals = 5; decimals >= 0; --decimals) {
        const QString text = QString::asprintf("%+.*f", decimals, value);
        if (text.size() <= 8)
            return text.rightJustified(8, QLatin1Char(' '));
    }
    return QString();
}

void ModuleSimulator::takeNextClient()
{
    if (m_client || !m_server->hasPendingConnections())
        return;
    QTcpSocket *socket = m_server->nextPendingConnection();
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_client = socket;
    m_pending.clear();
    m_lateReplies.clear();
    m_lastDueMs = 0;
    m_commandsThisConnection = 0;
    m_insideSetup = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        ++m_connections;
    }
    connect(socket, &QTcpSocket::readyRead, this, &ModuleSimulator::readClient);
    connect(socket, &QTcpSocket::disconnected, this, [this, socket]() {
        socket->deleteLater();
        if (m_client != socket)
            return;
        m_client = nullptr;
        m_pending.clear();
        m_lateReplies.clear();
        m_replyTimer->stop();
        emit clientDisconnected();
        takeNextClient();
    });
    emit clientConnected();
    // A waiting client may have spoken, or given up, before its turn came.
    if (socket->bytesAvailable() > 0)
        readClient();
    if (m_client == socket && socket->state() != QAbstractSocket::ConnectedState)
        dropClient(true);
}

void ModuleSimulator::dropClient(bool abort)
{
    QTcpSocket *socket = m_client;
    m_client = nullptr;
    m_pending.clear();
    m_lateReplies.clear();
    m_replyTimer->stop();
    socket->disconnect(this);
    if (abort)
        socket->abort();
    else
        socket->disconnectFromHost();
    socket->deleteLater();
    emit clientDisconnected();
    takeNextClient();
}

void ModuleSimulator::readClient()
{
    QTcpSocket *socket = m_client;
    if (!socket)
        return;
    const QStringList commands = splitChunk(QString::fromUtf8(socket->readAll()));
    for (const QString &command : commands) {
        handleCommand(command);
        if (m_client != socket)
            break; // the connection was dropped; the rest of the chunk went with it
    }
}

void ModuleSimulator::handleCommand(const QString &command)
{
    ReceivedCommand entry;
    entry.text = command;
    entry.timestampNs = m_clock.nsecsElapsed();
    entry.insideSetup = m_insideSetup;

    ++m_commandsThisConnection;
    if (m_options.lateReply == SimulatorOptions::LateReply::WithNextCommand)
        writeLateReplies(m_clock.elapsed());
    Outcome outcome;
    if (m_options.closeAfter > 0 && m_commandsThisConnection >= m_options.closeAfter) {
        outcome.disposition = ReceivedCommand::Disposition::Dropped;
    } else if ((m_options.silentAfter > 0 && m_commandsThisConnection > m_options.silentAfter)
               || matchesAny(m_options.silentPatterns, command)) {
        outcome.disposition = ReceivedCommand::Disposition::Silenced;
    } else {
        const std::lock_guard<std::mutex> lock(m_mutex);
        outcome = execute(command);
    }
    entry.disposition = outcome.disposition;
    entry.setting = outcome.setting;
    // Logged before the reply leaves, so a client holding the reply finds its command in the log.
    record(entry);
    emit commandReceived(command);

    if (!outcome.reply.isEmpty()) {
        if (m_commandsThisConnection > m_options.garbleAfter && matchesAny(m_options.garblePatterns, command)) {
            const int equals = outcome.reply.indexOf('=');
            outcome.reply = outcome.reply.left(equals + 1) + m_options.garbageValue.toUtf8() + "\r\n";
        }
        queueReply(command, outcome.reply);
    }

    if (outcome.disposition == ReceivedCommand::Disposition::Dropped)
        dropClient(false);
    else if (outcome.crash)
        dropClient(true);
}

ModuleSimulator::Outcome ModuleSimulator::execute(const QString &command)
{
    using D = ReceivedCommand::Disposition;
    Outcome outcome;
    outcome.disposition = D::Applied;

    if (command == QLatin1String("SETUP")) {
        m_insideSetup = true;
    } else if (command == QLatin1String("CLOSE")) {
        m_insideSetup = false;
    } else if (command == QLatin1String("FACTRST")) {
        outcome.setting = true;
        m_model.resetToFactory();
        for (AxisGauge &gauge : m_gauges)
            gauge.peaksValid = false;
    } else if (command == QLatin1String("CRASH")) {
        // A restart forgets the open bracket but keeps the stored settings.
        m_insideSetup = false;
        outcome.crash = true;
    } else if (command == QLatin1String("R")) {
        outcome.disposition = D::Answered;
        outcome.reply = readout();
    } else if (command == QLatin1String("CONFIG=?")) {
        outcome.disposition = D::Answered;
        outcome.reply = QStringLiteral("CONFIG=%1%2\r\n")
                                .arg(hexChar(m_model.unitNumber))
                                .arg(hexChar(m_model.axisCount - 1))
                                .toLatin1();
    } else if (isAxisClear(command)) {
        const int unit = hexDigit(command.at(0));
        const int axis = hexDigit(command.at(1));
        outcome.setting = true;
        if (unit != m_model.unitNumber) {
            outcome.disposition = D::OtherUnit;
        } else if (axis >= m_model.axisCount) {
            outcome.disposition = D::Unknown;
        } else {
            m_model.refOffset[axis] = 0.0;
            m_gauges[axis].peaksValid = false;
        }
    } else {
        const int equals = command.indexOf(QLatin1Char('='));
        const Target target = equals > 0 ? findTarget(command.left(equals)) : Target();
        const Parameter *p = target.parameter;
        if (!p) {
            outcome.disposition = D::Unknown;
            return outcome;
        }
        const QString value = command.mid(equals + 1);
        outcome.setting = value != QLatin1String("?");
        if (target.unit >= 0 && target.unit != m_model.unitNumber)
            outcome.disposition = D::OtherUnit;
        else if (target.axis >= m_model.axisCount)
            outcome.disposition = D::Unknown;
        if (outcome.disposition != D::Applied)
            return outcome;

        const FieldRef field = p->field(m_model, target.axis, target.set);
        if (value == QLatin1String("?")) {
            outcome.disposition = D::Answered;
            QString reply = command.left(equals) + QLatin1Char('=') + formatField(field) + QLatin1String("\r\n");
            if (p->scope != Scope::Global)
                reply = reply.toUpper(); // as the tool writes its prefixed commands: 1E-05, not 1e-05
            outcome.reply = reply.toUtf8();
        } else if (!p->writable || !parseInto(field, value, *p)) {
            outcome.disposition = D::Rejected;
        } else if (p->scope == Scope::Axis) {
            const QLatin1String mnemonic(p->mnemonic);
            const int axis = target.axis;
            if (mnemonic == QLatin1String("P") && m_model.refUse[axis]) {
                // The preset is the master value: the offset makes the axis read it now.
                const double counted = gaugeValue(axis) * (m_model.direction[axis] ? -1.0 : 1.0);
                m_model.refOffset[axis] = m_model.preset[axis] - counted;
            }
            if (mnemonic == QLatin1String("P") || mnemonic == QLatin1String("MODE") || mnemonic == QLatin1String("REF"))
                m_gauges[axis].peaksValid = false;
        }
    }
    return outcome;
}

double ModuleSimulator::gaugeValue(int axis) const
{
    // A slow wave, different on every axis, plus the random walk of readout().
    const double period = 60.0 + 13.0 * axis;
    const double base = 0.05 * ((axis * 7) % 11) - 0.25;
    const double amplitude = 0.02 + 0.01 * (axis % 5);
    const AxisGauge &gauge = m_gauges.at(axis);
    return base + amplitude * std::sin(2.0 * M_PI * double(m_readings) / period + gauge.phase) + gauge.walk;
}

double ModuleSimulator::countedValue(int axis) const
{
    double value = gaugeValue(axis);
    if (m_model.direction[axis])
        value = -value;
    if (m_model.refUse[axis])
        value += m_model.refOffset[axis];
    if (m_model.unit == 1)
        value /= 25.4;
    return value;
}

QByteArray ModuleSimulator::readout()
{
    ++m_readings;
    for (AxisGauge &gauge : m_gauges)
        gauge.walk = qBound(-0.05, gauge.walk + m_random.bounded(0.001) - 0.0005, 0.05);

    const int format = m_model.dataFormat;
    const int width = format == 0 ? 10 : format == 1 ? 12 : 13;
    QString text;
    for (int axis = 0; axis < m_model.axisCount; ++axis) {
        AxisGauge &gauge = m_gauges[axis];
        const double counted = countedValue(axis);
        if (!gauge.peaksValid) {
            gauge.highest = gauge.lowest = counted;
            gauge.peaksValid = true;
        }
        gauge.highest = qMax(gauge.highest, counted);
        gauge.lowest = qMin(gauge.lowest, counted);

        const int mode = m_model.measMode[axis];
        const double value = mode == 1 ? gauge.highest
                : mode == 2            ? gauge.lowest
                : mode == 3            ? gauge.highest - gauge.lowest
                                       : counted;
        QString valueText = formatValue(value);
        QChar judge = QLatin1Char('G');
        if (axis == m_options.errorAxis || valueText.isEmpty()) {
            valueText = QStringLiteral("--------");
            judge = QLatin1Char('E');
        } else {
            const int set = qBound(1, m_model.compSet[axis], ModuleModel::CompSets) - 1;
            if (value > m_model.compHigh[set][axis])
                judge = QLatin1Char('U');
            else if (value < m_model.compLow[set][axis])
                judge = QLatin1Char('L');
        }

        QString field(width - 8, QLatin1Char(' '));
        field[0] = hexChar(axis);
        if (format >= 1)
            field[2] = QLatin1Char("NAIP"[qBound(0, mode, 3)]);
        if (format >= 2)
            field[4] = judge;
        if (axis > 0)
            text += QLatin1Char(' '); // the separator setting concerns the serial output only
        text += field + valueText;
    }
    text += QLatin1String("\r\n");
    return text.toLatin1();
}

void ModuleSimulator::queueReply(const QString &command, const QByteArray &reply)
{
    // Replies leave in order: a late one holds back those queued after it.
    qint64 due = m_clock.elapsed();
    const bool late = m_options.replyDelayMs > 0
            && (m_options.delayPatterns.isEmpty() || matchesAny(m_options.delayPatterns, command))
            && (m_options.delayCount == 0 || m_delayedReplies < m_options.delayCount);
    if (late) {
        due += m_options.replyDelayMs;
        ++m_delayedReplies;
    }
    if (late && m_options.lateReply != SimulatorOptions::LateReply::InOrder) {
        m_lateReplies.append({reply, due});
        writeDueReplies();
        return;
    }
    due = qMax(due, m_lastDueMs);
    if (reply.size() > 1 && matchesAny(m_options.splitPatterns, command)) {
        const int half = reply.size() / 2;
        m_pending.append({reply.left(half), due});
        due += m_options.splitGapMs;
        m_pending.append({reply.mid(half), due});
    } else {
        m_pending.append({reply, due});
    }
    m_lastDueMs = due;
    writeDueReplies();
}

void ModuleSimulator::writeDueReplies()
{
    if (!m_client) {
        m_pending.clear();
        m_lateReplies.clear();
        return;
    }
    const qint64 now = m_clock.elapsed();
    while (!m_pending.isEmpty() && m_pending.first().dueMs <= now) {
        m_client->write(m_pending.takeFirst().data);
        m_client->flush();
    }
    qint64 next = m_pending.isEmpty() ? -1 : m_pending.first().dueMs;
    if (m_options.lateReply == SimulatorOptions::LateReply::Alone) {
        writeLateReplies(now);
        for (const PendingWrite &late : qAsConst(m_lateReplies))
            next = next < 0 ? late.dueMs : qMin(next, late.dueMs);
    }
    if (next >= 0)
        m_replyTimer->start(int(next - now));
}

void ModuleSimulator::writeLateReplies(qint64 now)
{
    for (int i = 0; m_client && i < m_lateReplies.size();) {
        if (m_lateReplies.at(i).dueMs > now) {
            ++i;
            continue;
        }
        m_client->write(m_lateReplies.takeAt(i).data);
        m_client->flush();
    }
}

void ModuleSimulator::record(const ReceivedCommand &entry)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_log.append(entry);
        m_logGrown.notify_all();
    }
    if (m_logFile && m_logFile->isOpen()) {
        const QString line = QStringLiteral("%1 %2%3%4\n")
                                     .arg(double(entry.timestampNs) / 1e6, 10, 'f', 3)
                                     .arg(printable(entry.text))
                                     .arg(QLatin1String(dispositionTag(entry.disposition)))
                                     .arg(entry.setting && !entry.insideSetup ? QLatin1String("  [outside SETUP]")
                                                                              : QLatin1String());
        m_logFile->write(line.toUtf8());
        m_logFile->flush();
    }
}
