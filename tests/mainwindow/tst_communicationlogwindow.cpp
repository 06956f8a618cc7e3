// SPDX-License-Identifier: GPL-3.0-or-later
// "Communication Log..." on the real window against the simulator: the list
// follows the wire in order, pauses and resumes, hides the monitor's polls, and
// "Save..." writes what it shows. The bound is checked on the list's model.

#include "communicationlogmodel.h"
#include "communicationlogwindow.h"
#include "windowharness.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QListView>

namespace {


QStringList rows(const QAbstractItemModel *model)
{
    QStringList lines;
    for (int row = 0; row < model->rowCount(); ++row)
        lines << model->index(row, 0).data().toString();
    return lines;
}

// The text of every "sent" row, unquoted.
QStringList sent(const QStringList &lines)
{
    static const QRegularExpression sentRow(QStringLiteral("  sent +\"(.*)\"$"));
    QStringList commands;
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = sentRow.match(line);
        if (match.hasMatch())
            commands << match.captured(1);
    }
    return commands;
}

// The commands both the log and the module have seen so far, as each saw them.
std::pair<QStringList, QStringList> common(const QStringList &logged, const QStringList &received)
{
    const int n = qMin(logged.size(), received.size());
    return {logged.mid(0, n), received.mid(0, n)};
}

CommunicationLogEntry entry(const char *bytes, bool poll)
{
    CommunicationLogEntry e;
    e.bytes = bytes;
    e.poll = poll;
    return e;
}

} // namespace

class tst_CommunicationLogWindow : public QObject
{
    Q_OBJECT

private slots:
    void followsTheWirePausesHidesPollsAndSaves();
    void logsToAFileAndSaysWhenItCannot();
    void keepsTheNewestEntriesOnly();
};

void tst_CommunicationLogWindow::followsTheWirePausesHidesPollsAndSaves()
{
    QTemporaryDir folder;
    WindowHarness harness;
    SimulatorOptions options;
    options.axisCount = 1;
    QVERIFY(harness.startSimulator(options));
    MainWindow *window = harness.openWindow();
    window->findChild<QAction *>(QStringLiteral("actionCommunicationLog"))->trigger();
    auto *log = window->findChild<CommunicationLogWindow *>();
    QVERIFY(log && log->isVisible());
    const QAbstractItemModel *list = log->findChild<QListView *>(QStringLiteral("listView_Log"))->model();

    QVERIFY(harness.connectModule());
    harness.openPage("pushButton_MeasureMonitor");
    QTRY_VERIFY_WITH_TIMEOUT(rows(list).filter(QRegularExpression(QStringLiteral("  reply +\"[^=]*\\\\r\\\\n\"$"))).size() > 1,
                             WindowHarness::waitMs);
    QVERIFY(sent(rows(list)).size() > 30);
    auto [logged, received] = common(sent(rows(list)), harness.commands());
    QCOMPARE(logged, received);

    auto *pause = log->findChild<QPushButton *>(QStringLiteral("pushButton_LogPause"));
    WindowHarness::click(pause);
    QCOMPARE(pause->text(), QStringLiteral("Resume"));
    const QStringList paused = rows(list);
    const int polls = harness.commands().count(QStringLiteral("R"));
    QTRY_VERIFY(harness.commands().count(QStringLiteral("R")) >= polls + 3);
    QCOMPARE(rows(list), paused);
    WindowHarness::click(pause);
    QCOMPARE(pause->text(), QStringLiteral("Pause"));
    // What came while paused shows at once, in order.
    QVERIFY(sent(rows(list)).size() > sent(paused).size());
    std::tie(logged, received) = common(sent(rows(list)), harness.commands());
    QCOMPARE(logged, received);

    WindowHarness::click(log->findChild<QCheckBox *>(QStringLiteral("checkBox_HidePolls")));
    harness.openPage("pushButton_MeasureSetting");
    QTRY_COMPARE(sent(rows(list)), harness.commands().filter(QRegularExpression(QStringLiteral("^(?!R$)"))));

    WindowHarness::click(log->findChild<QPushButton *>(QStringLiteral("pushButton_LogSave")));
    QFileDialog *dialog = nullptr;
    QTRY_VERIFY((dialog = log->findChild<QFileDialog *>()));
    const QString path = folder.filePath(QStringLiteral("log.txt"));
    dialog->selectFile(path);
    static_cast<QDialog *>(dialog)->accept(); // as the dialog's "Save" button does
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly | QIODevice::Text));
    QCOMPARE(QString::fromUtf8(saved.readAll()), rows(list).join(QLatin1Char('\n')) + QLatin1Char('\n'));

    WindowHarness::click(log->findChild<QPushButton *>(QStringLiteral("pushButton_LogClear")));
    QCOMPARE(list->rowCount(), 0);
}

void tst_CommunicationLogWindow::logsToAFileAndSaysWhenItCannot()
{
    QTemporaryDir folder;
    WindowHarness harness(true);
    SimulatorOptions options;
    options.axisCount = 1;
    QVERIFY(harness.startSimulator(options));
    MainWindow *window = harness.openWindow();
    window->findChild<QAction *>(QStringLiteral("actionCommunicationLog"))->trigger();
    auto *log = window->findChild<CommunicationLogWindow *>();
    auto *toFile = log->findChild<QPushButton *>(QStringLiteral("pushButton_LogToFile"));
    auto *state = log->findChild<QLabel *>(QStringLiteral("label_LogFile"));
    const auto logTo = [&](const QString &path) {
        WindowHarness::click(toFile);
        QFileDialog *dialog = nullptr;
        QTRY_VERIFY((dialog = log->findChild<QFileDialog *>()));
        dialog->selectFile(path);
        // A file that exists is replaced only after a question.
        QTimer::singleShot(0, [] {
            if (auto *question = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                question->button(QMessageBox::Yes)->click();
        });
        static_cast<QDialog *>(dialog)->accept();
    };

    const QString path = folder.filePath(QStringLiteral("live.txt"));
    logTo(path);
    QVERIFY(toFile->isChecked());
    QVERIFY(harness.connectModule());
    const auto lines = [&path] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly | QIODevice::Text)
                ? QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                : QStringList();
    };
    // The connection's events come first, then every command the module received.
    QTRY_COMPARE(sent(lines()), harness.commands());
    QVERIFY2(lines().at(0).contains(QStringLiteral("  dialling   %1 port 24000").arg(harness.moduleAddress())),
             qPrintable(lines().at(0)));
    QVERIFY2(lines().at(1).contains(QStringLiteral("  connected  ")), qPrintable(lines().at(1)));
    WindowHarness::click(toFile);
    QCOMPARE(state->text(), QStringLiteral("Logging to %1 stopped.").arg(path));

    // A device that takes nothing: the log stops at its first entry and says why.
    logTo(QStringLiteral("/dev/full"));
    harness.openPage("pushButton_MeasureMonitor");
    QTRY_VERIFY_WITH_TIMEOUT(!toFile->isChecked(), WindowHarness::waitMs);
    QVERIFY2(state->text().startsWith(QStringLiteral("/dev/full: cannot be written: ")), qPrintable(state->text()));
}

void tst_CommunicationLogWindow::keepsTheNewestEntriesOnly()
{
    CommunicationLogModel model(4);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const auto shown = [&model] {
        QStringList texts;
        for (const QString &line : rows(&model))
            texts << line.section(QLatin1Char('"'), 1, 1);
        return texts.join(QLatin1Char(' '));
    };
    model.append({entry("0", false), entry("1", true), entry("2", false), entry("3", true), entry("4", false),
                  entry("5", true)});
    QCOMPARE(shown(), QStringLiteral("2 3 4 5"));
    model.setPollsHidden(true);
    QCOMPARE(shown(), QStringLiteral("2 4"));
    model.append({entry("6", false)});
    QCOMPARE(shown(), QStringLiteral("4 6"));
    QCOMPARE(model.heldCount(), 4);
    model.setPollsHidden(false);
    QCOMPARE(shown(), QStringLiteral("3 4 5 6"));
}

QTEST_MAIN(tst_CommunicationLogWindow)
#include "tst_communicationlogwindow.moc"
