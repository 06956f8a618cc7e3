// SPDX-License-Identifier: GPL-3.0-or-later
#include "modulejob.h"

#include "commandinterface.h"

#include <QThread>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int connectWaitMs = 5000;
// The smallest maximum of a parameter read that found the axis count (one axis).
constexpr int smallestReadMaximum = 17 * 1 + 20;

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
                for (const int set : qAsConst(sets))
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

QString failureText(QAbstractSocket::SocketError error, const QString &address, quint16 port)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("%1 refused the connection on port %2").arg(address).arg(port);
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("%1 closed the connection").arg(address);
    case QAbstractSocket::HostNotFoundError:
    case QAbstractSocket::NetworkError:
        return QStringLiteral("no route to %1").arg(address);
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("no answer from %1").arg(address);
    default:
        return QStringLiteral("the connection to %1 failed").arg(address);
    }
}

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
    connect(link, &CommandInterface::transmitConnected, this, &ModuleJob::onRead);
    connect(link, &CommandInterface::transmitDisconnected, this, [this] {
        finish(Outcome::Failed, failureText(QAbstractSocket::RemoteHostClosedError, address(), 0));
    });
    connect(link, &CommandInterface::onErrorOccurred, this, &ModuleJob::onLinkError);
    connect(link, &CommandInterface::setProgMaximum, this, [this](int maximum) {
        enterReading();
        progressMaximum = maximum;
        // Only a read that got no answer to the configuration query finds no axes.
        if (phase == Phase::Reading && maximum < smallestReadMaximum)
            finish(Outcome::Failed, QStringLiteral("no answer from %1").arg(address()));
    });
    connect(link, &CommandInterface::setProgress, this, &ModuleJob::onProgress);

    connectTimer->setSingleShot(true);
    connectTimer->setInterval(connectWaitMs);
    connect(connectTimer, &QTimer::timeout, this, [this] {
        finish(Outcome::Failed, failureText(QAbstractSocket::SocketTimeoutError, address(), options.port));
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

void ModuleJob::onLinkError(QAbstractSocket::SocketError error)
{
    if (phase == Phase::Connecting)
        finish(Outcome::Failed, failureText(error, address(), options.port));
    else if (error == QAbstractSocket::SocketTimeoutError)
        ++unanswered;
}

// The link reports nothing between the connection and the first progress value.
void ModuleJob::enterReading()
{
    if (phase == Phase::Connecting) {
        connectTimer->stop();
        phase = Phase::Reading;
    }
}

void ModuleJob::onProgress(int value)
{
    enterReading();
    if (phase == Phase::Over || progressMaximum <= 0)
        return;
    const int percent = std::clamp(100 * value / progressMaximum, 0, 100);
    emit progress(QStringLiteral("%1 %2%").arg(phase == Phase::Reading ? QLatin1String("reading")
                                                                        : QLatin1String("writing"))
                          .arg(percent));
}

void ModuleJob::onRead()
{
    if (phase == Phase::Over)
        return;
    if (unanswered > 0) {
        finish(Outcome::Failed,
               QStringLiteral("no answer from %1 to %2").arg(address(), count(unanswered, "query", "queries")));
        return;
    }
    switch (options.task) {
    case Task::Save:
        saved = ConfigurationFile::fromStore(*link);
        finish(Outcome::Done, count(link->axisNum, "axis", "axes") + QStringLiteral(" read"));
        return;
    case Task::Diff: {
        const QVector<SettingRef> changes = file->differences(*link, options.withNetwork);
        for (const SettingRef &setting : changes)
            detailLines << differenceLine(setting);
        finish(changes.isEmpty() ? Outcome::Done : Outcome::Differs,
               changes.isEmpty() ? QStringLiteral("no difference")
                                 : count(changes.size(), "setting differs", "settings differ"));
        return;
    }
    case Task::Load:
        break;
    }

    if (link->axisNum != file->axisCount()) {
        finish(Outcome::Failed, QStringLiteral("refused: the module has %1, the file is for %2")
                                        .arg(count(link->axisNum, "axis", "axes"))
                                        .arg(file->axisCount()));
        return;
    }
    const QVector<SettingRef> steps = options.all ? file->settings(options.withNetwork)
                                                  : writeSteps(file->differences(*link, options.withNetwork));
    for (const SettingRef &step : steps) {
        const auto same = [&step](const SettingRef &s) { return s.setting == step.setting && s.axis == step.axis; };
        if (std::none_of(written.begin(), written.end(), same))
            written.append(step);
    }
    if (options.dryRun) {
        for (const SettingRef &setting : qAsConst(written))
            detailLines << differenceLine(setting);
        finish(Outcome::Done, QStringLiteral("would write %1; nothing was sent").arg(count(written.size(), "setting", "settings")));
        return;
    }
    if (steps.isEmpty()) {
        finish(Outcome::Done, QStringLiteral("already as the file; nothing was written"));
        return;
    }
    writeChanges(steps);
}

void ModuleJob::writeChanges(const QVector<SettingRef> &steps)
{
    // The store is the link's again from here until onWritten.
    file->applyTo(*link, options.withNetwork);
    phase = Phase::Writing;
    unanswered = 0;

    CommandInterface *const target = link;
    const bool all = options.all;
    const QVector<SettingRef> readBack = written;
    QMetaObject::invokeMethod(link, [this, target, all, steps, readBack] {
        if (all) {
            target->sendMeasureSetting();
            target->sendPLCLinkSetting();
        } else {
            int value = 0;
            emit target->setProgMaximum(steps.size() + readBack.size() + 2);
            emit target->setProgress(value++);
            target->openSettingBracket();
            for (const SettingRef &step : steps) {
                emit target->setProgress(value++);
                step.write(*target);
            }
            emit target->setProgress(value++);
            target->closeSettingBracket();
            for (const SettingRef &setting : readBack) {
                emit target->setProgress(value++);
                setting.query(*target);
            }
        }
        QMetaObject::invokeMethod(this, &ModuleJob::onWritten, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
}

void ModuleJob::onWritten()
{
    if (phase == Phase::Over)
        return;
    if (unanswered > 0) {
        finish(Outcome::Failed, QStringLiteral("no answer from %1 to %2 that check what was written")
                                        .arg(address(), count(unanswered, "query", "queries")));
        return;
    }
    // --all reads back everything through the window's sequences.
    const QVector<SettingRef> kept = file->differences(*link, options.withNetwork);
    if (!kept.isEmpty()) {
        for (const SettingRef &setting : kept)
            detailLines << differenceLine(setting);
        finish(Outcome::Failed, QStringLiteral("the module kept %1 different from the file").arg(count(kept.size(), "setting", "settings")));
        return;
    }
    finish(Outcome::Done, QStringLiteral("loaded: %1 written and read back").arg(count(written.size(), "setting", "settings")));
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

QString ModuleJob::differenceLine(const SettingRef &setting) const
{
    const Setting &row = *setting.setting;
    return QStringLiteral("%1: module %2, file %3")
            .arg(setting.key(), SettingCatalogue::text(row, setting.valueIn(*link)),
                 SettingCatalogue::text(row, file->value(setting)));
}
