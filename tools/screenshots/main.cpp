// SPDX-License-Identifier: GPL-3.0-or-later
#include "applicationfont.h"
#include "screenshottour.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    // The same pictures whatever desktop the script runs on.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qr36tn-screenshots"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "Runs the setting tool against a simulated module on a loopback address "
            "and saves a picture of each screen."));
    parser.addHelpOption();
    parser.addOptions({
            {QStringLiteral("output"), QStringLiteral("Folder for the PNG files."), QStringLiteral("folder"),
             QStringLiteral("docs/screenshots")},
            {QStringLiteral("address"), QStringLiteral("Loopback address for the simulator; port 24000 on it must be free."),
             QStringLiteral("address"), QStringLiteral("127.0.0.1")},
    });
    parser.process(application);

    const QHostAddress address(parser.value(QStringLiteral("address")));
    if (address.protocol() != QAbstractSocket::IPv4Protocol || !address.isLoopback()) {
        std::fprintf(stderr, "--address must be an IPv4 loopback address (127.x.y.z)\n");
        return 2;
    }
    QDir output(parser.value(QStringLiteral("output")));
    if (!output.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(output.path()));
        return 2;
    }
    output.makeAbsolute();

    // The tool reads and writes "setting.ini" in its working folder: an empty one
    // keeps a developer's own option out of the pictures.
    QTemporaryDir workingFolder;
    if (!workingFolder.isValid() || !QDir::setCurrent(workingFolder.path())) {
        std::fprintf(stderr, "no temporary working folder\n");
        return 1;
    }

    // The program's own font, as the installed program sets it.
    ApplicationFont::apply();
    // The link logs every command it sends.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));

    ScreenshotTour tour(address, output);
    return tour.run() ? 0 : 1;
}
