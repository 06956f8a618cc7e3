// SPDX-License-Identifier: GPL-3.0-or-later
#include "modulejob.h"

#include "commandinterface.h"

#include <QThread>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int connectWaitMs = 5000;

// The writes for a set of changes, as the window's full writes send them: a
// changed comparator limit goes with its partner, the upper limits of the
// changed sets before their lower ones, the whole block twice.
QVector<SettingRef> writeSteps(const QVector<SettingRef> &changes)
{
    QVector<SettingRef> steps;
    for (int i = 0; i < changes.size();) {
        const SettingRef change = changes.at(i);
        if (!change.setting->limitSet) {
            steps.append(change);
            ++i;
            continue;
        }
        // An axis's limits are neighbours in write order.
        QVector<int> sets;
        for (; i < changes.size() && changes.at(i).setting->limitSet && changes.at(i).axis == change.axis; ++i) {
            if (!sets.contains(changes.at(i).setting->limitSet))
                sets.append(changes.at(i).setting->limitSet);
        }
        std::sort(sets.begin(), sets.end());
        for (int pass = 0; pass < 2; ++pass) {
            for (const char *limit : {"compHigh%1", "compLow%1"}) {
                for (const int set : std::as_const(sets))
                    steps.append({&SettingCatalogue::named(QString::fromLatin1(limit).arg(set)), change.axis});
            }
        }
    }
    return steps;
}

// "1 setting", "3 settings".
QString count(int number, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(number).arg(QLatin1String(number == 1 ? one : many));
}

const QString partialWriteText = QStringLiteral("the module may now hold part of the new settings");

} // namespace

ModuleJob::ModuleJob(const QHostAddress &module, const Options &chosen, const ConfigurationFile *checkedFile,
                     QObject *parent)
    : QObject(parent)
    , moduleAddress(module)
    , options(chosen)
    , file(checkedFile)
    , link(new CommandInterface)
    , thread(new QThread(this))
    , connectTimer(new QTimer(this))
{
    // The file holds the unit as the module keeps it, and reading must change
    // nothing: with the inch option the parameter read only asks.
    link->inchEnabled = true;
    link->moveToThread(thread);
    connect(thread, &QThread::finished, link, &QObject::deleteLater);
    connect(thread, &QThread::finished, this, &ModuleJob::finished);
    connect(link, &CommandInterface::operationEnded, this, &ModuleJob::onOperationEnded);
    // An operation under way reports a lost connection itself, before this arrives.
    connect(link, &CommandInterface::transmitDisconnected, this,
            [this] { fail(ModuleProtocol::connectionFailureText(QAbstractSocket::RemoteHostClosedError, address())); });
    connect(link, &CommandInterface::onErrorOccurred, this, &ModuleJob::onLinkError);
    connect(link, &CommandInterface::setProgMaximum, this, [this](int maximum) { progressMaximum = maximum; });
    connect(link, &CommandInterface::setProgress, this, &ModuleJob::onProgress);

    connectTimer->setSingleShot(true);
    connectTimer->setInterval(connectWaitMs);
    connect(connectTimer, &QTimer::timeout, this, [this] {
        fail(ModuleProtocol::connectionFailureText(QAbstractSocket::SocketTimeoutError, address(), options.port));
    });
}

ModuleJob::~ModuleJob()
{
    thread->requestInterruption();
    thread->quit();
    thread->wait();
}

void ModuleJob::start()
{
    thread->start();
    connectTimer->start();
    emit progress(QStringLiteral("connecting"));
    const uint number = moduleAddress.toIPv4Address();
    const int port = options.port;
    QMetaObject::invokeMethod(link, [link = link, number, port] { link->connectToHost(number, port); },
                              Qt::QueuedConnection);
}

QStringList ModuleJob::details() const
{
    QStringList lines = plannedLines;
    for (const Difference &difference : differenceList)
        lines << difference.line();
    return lines;
}

void ModuleJob::onLinkError(QAbstractSocket::SocketError error)
{
    if (phase == Phase::Connecting) {
        if (error != QAbstractSocket::SocketTimeoutError
            || link->connectionState() != QAbstractSocket::ConnectedState)
            fail(ModuleProtocol::connectionFailureText(error, address(), options.port));
        return;
    }
    // One query without a reply already fails the module: what remains would only
    // make the operator wait a second per query.
    if (error == QAbstractSocket::SocketTimeoutError && phase != Phase::Over)
        link->requestCancel();
}

void ModuleJob::onProgress(int value)
{
    if (phase == Phase::Connecting) {
        connectTimer->stop();
        phase = Phase::Reading;
    }
    if (phase == Phase::Over || progressMaximum <= 0)
        return;
    const int percent = std::clamp(100 * value / progressMaximum, 0, 100);
    emit progress(QStringLiteral("%1 %2%").arg(phase == Phase::Reading ? QLatin1String("reading")
                                                                        : QLatin1String("writing"))
                          .arg(percent));
}

void ModuleJob::onOperationEnded(const OperationOutcome &outcome)
{
    // A stop asked for after the operation's last query must not reach the next one.
    link->withdrawCancel();
    if (phase == Phase::Connecting || phase == Phase::Reading) {
        connectTimer->stop();
        phase = Phase::Reading;
        if (!failedBy(outcome, QString()))
            onRead();
    } else if (phase == Phase::Writing) {
        onWritten(outcome);
    }
}

// Fails the job when `outcome` is not a success: where the operation stopped, or the
// settings it brought back no value for. `what` names the operation in the message.
bool ModuleJob::failedBy(const OperationOutcome &outcome, const QString &what)
{
    if (outcome.ending == OperationOutcome::Ending::ConnectionLost) {
        partial = outcome.leftPartialWrite();
        fail(QStringLiteral("connection lost after %1 of %2 commands%3")
                     .arg(outcome.commandsSent)
                     .arg(outcome.commandsPlanned())
                     .arg(what),
             QStringLiteral(", at %1").arg(outcome.stoppedAt)
                     + (partial ? QStringLiteral(": the load stopped there, and ") + partialWriteText : QString()));
        return true;
    }
    if (!outcome.faults.isEmpty() && QLatin1String(outcome.faults.first().setting.field) == QLatin1String("config")) {
        const SettingFault &config = outcome.faults.first();
        fail(config.kind == SettingFault::Kind::TimedOut
                     ? QStringLiteral("no reply to the configuration query CONFIG=?")
                     : QStringLiteral("the reply \"%1\" to CONFIG=? is no unit number with 1 to %2 axes")
                               .arg(config.reply)
                               .arg(ModuleProtocol::maxAxes));
        return true;
    }
    for (const SettingFault &fault : outcome.faults) {
        failedList.append({SettingCatalogue::keyOf(fault.setting), fault.command,
                           fault.kind == SettingFault::Kind::TimedOut
                                   ? QStringLiteral("no reply")
                                   : QStringLiteral("reply \"%1\" is not a value").arg(fault.reply)});
    }
    if (!failedList.isEmpty()) {
        // A line a person can read: a silent module fails every query, and --json
        // names every one.
        constexpr int namedInLine = 5;
        QStringList named;
        for (const FailedSetting &setting : failedList.mid(0, namedInLine))
            named << QStringLiteral("%1 (%2): %3").arg(setting.key, setting.command, setting.problem);
        if (failedList.size() > namedInLine)
            named << QStringLiteral("and %1 more (--json names every one)").arg(failedList.size() - namedInLine);
        fail(count(failedList.size(), "setting", "settings")
                     + (what.isEmpty() ? QStringLiteral(" not read") : QStringLiteral(" not read back")),
             QStringLiteral(": ") + named.join(QLatin1String("; ")));
        return true;
    }
    if (!outcome.completed()) {
        fail(outcome.endingText());
        return true;
    }
    return false;
}

void ModuleJob::onRead()
{
    switch (options.task) {
    case Task::Save:
        saved = ConfigurationFile::fromStore(*link);
        finish(Outcome::Done, count(link->axisNum, "axis", "axes") + QStringLiteral(" read"));
        return;
    case Task::Diff:
        compare(false);
        return;
    case Task::Load:
        break;
    }

    if (link->axisNum != file->axisCount()) {
        fail(QStringLiteral("the module has %1, the file is for %2")
                     .arg(count(link->axisNum, "axis", "axes"))
                     .arg(file->axisCount()),
             QStringLiteral("; nothing was written"));
        return;
    }
    const QVector<SettingRef> steps = options.all ? writeSteps(file->settings(options.withNetwork))
                                                  : writeSteps(file->differences(*link, options.withNetwork));
    for (const SettingRef &step : steps) {
        const auto same = [&step](const SettingRef &s) { return s.setting == step.setting && s.axis == step.axis; };
        if (std::none_of(written.begin(), written.end(), same))
            written.append(step);
    }
    if (options.dryRun) {
        for (const SettingRef &setting : std::as_const(written))
            plannedLines << differenceOf(setting).line();
        finish(Outcome::Done, QStringLiteral("would write %1; nothing was sent").arg(count(written.size(), "setting", "settings")));
        return;
    }
    if (steps.isEmpty()) {
        finish(Outcome::Done, QStringLiteral("already as the file; nothing was written"));
        return;
    }
    write(steps);
}

// A load is an operation of the link like any other: the writes inside one
// setting bracket, then a query of every setting written.
void ModuleJob::write(const QVector<SettingRef> &steps)
{
    // The store is the link's again from here until the operation has ended.
    file->applyTo(*link, options.withNetwork);
    phase = Phase::Writing;

    OperationPlan plan(QStringLiteral("settings load"), steps.size() + written.size() + 1);
    plan.step([](CommandInterface &target) { target.openSettingBracket(); });
    for (const SettingRef &step : steps)
        plan.step([step](CommandInterface &target) { step.write(target); });
    plan.step([](CommandInterface &target) { target.closeSettingBracket(); });
    for (const SettingRef &setting : std::as_const(written))
        plan.step([setting](CommandInterface &target) { setting.query(target); });
    QMetaObject::invokeMethod(link, [target = link, plan] { target->runOperation(plan); }, Qt::QueuedConnection);
}

void ModuleJob::onWritten(const OperationOutcome &outcome)
{
    if (failedBy(outcome, QStringLiteral(" of the load")))
        return;
    compare(true);
}

// Every value compared is one the module itself answered with.
void ModuleJob::compare(bool written)
{
    const int moduleAxes = link->axisNum;
    if (!written && moduleAxes != file->axisCount())
        differenceList.append({QStringLiteral("axisCount"), QString::number(moduleAxes),
                               QString::number(file->axisCount())});
    for (const SettingRef &setting : file->differences(*link, options.withNetwork))
        differenceList.append(differenceOf(setting));
    if (written) {
        if (differenceList.isEmpty()) {
            finish(Outcome::Done, QStringLiteral("loaded: %1 written and read back")
                                          .arg(count(this->written.size(), "setting", "settings")));
        } else {
            fail(QStringLiteral("the module kept %1 different from the file")
                         .arg(count(differenceList.size(), "setting", "settings")));
        }
        return;
    }
    finish(differenceList.isEmpty() ? Outcome::Done : Outcome::Differs,
           differenceList.isEmpty() ? QStringLiteral("no difference")
                                    : count(differenceList.size(), "setting differs", "settings differ"));
}

void ModuleJob::fail(const QString &why, const QString &detail)
{
    if (phase == Phase::Over)
        return;
    reason = why;
    finish(Outcome::Failed, QStringLiteral("failed: ") + why + detail);
}

void ModuleJob::finish(Outcome outcome, const QString &line)
{
    if (phase == Phase::Over)
        return;
    phase = Phase::Over;
    connectTimer->stop();
    result = outcome;
    resultLine = line;
    // A failed module may be in the middle of a read: stop it between two commands.
    if (outcome == Outcome::Failed)
        thread->requestInterruption();
    QMetaObject::invokeMethod(link, [target = link] {
        target->disconnectFromHost();
        QThread::currentThread()->quit();
    }, Qt::QueuedConnection);
}

ModuleJob::Difference ModuleJob::differenceOf(const SettingRef &setting) const
{
    const Setting &row = *setting.setting;
    return {setting.key(), SettingCatalogue::text(row, setting.valueIn(*link)),
            SettingCatalogue::text(row, file->value(setting))};
}
