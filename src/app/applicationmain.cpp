// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/applicationmain.h"

#include "app/cli/commandline.h"
#include "app/cli/modlisting.h"
#include "app/controller.h"
#include "app/launcher.h"
#include "app/requestedlaunch.h"
#include "app/singleinstance.h"
#include "window/vxfadewindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>

void configureApplication() {
    QApplication::setOrganizationName(QStringLiteral("Modgate"));
    QApplication::setApplicationName(QStringLiteral("Modgate"));
    QApplication::setApplicationDisplayName(QStringLiteral("Modgate"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.modgate.Modgate"));
    // The window leaves the screen while the game runs; that must not end the application.
    QApplication::setQuitOnLastWindowClosed(false);
}

void raiseWindow(QWidget& window) {
    // Out of the way while a game runs: it comes back when the game exits.
    if (!window.isVisible())
        return;
    window.showNormal();
    window.raise();
    window.activateWindow();
}

int applicationMain(int argc, char** argv) {
    StartRequest request;
    // Options are answered before there is a GUI, so they need no display; nor does --list.
    if (argc > 1) {
        const QCoreApplication core(argc, argv);
        const CommandLine line = readCommandLine(QCoreApplication::arguments());
        if (const auto& answer = line.answer) {
            std::fputs(answer->text.toLocal8Bit().constData(),
                       answer->toStandardError ? stderr : stdout);
            return answer->exitCode;
        }
        request = line.request;
        if (request.action == StartAction::List)
            return listMods(request.gameFolder);
        // The Modgate already running was started in another folder.
        if (request.gameFolder)
            request.gameFolder = QFileInfo(*request.gameFolder).absoluteFilePath();
    }
    QApplication application(argc, argv);
    configureApplication();

    // Before anything is looked for or shown: a second start only hands its request to the
    // first, which comes to the front.
    SingleInstance instance(SingleInstance::defaultSocketName(), requestArguments(request));
    if (!instance.isFirst())
        return 0;

    Launcher launcher;
    auto* requested = new RequestedLaunch(launcher.controller());
    requested->startWith(request);
    QObject::connect(&instance, &SingleInstance::requestReceived, &launcher.window(),
                     [&launcher, requested](const QStringList& arguments) {
                         raiseWindow(launcher.window());
                         const CommandLine line = readCommandLine(
                             QStringList{QCoreApplication::applicationFilePath()} + arguments);
                         if (!line.answer)
                             requested->follow(line.request);
                     });
    launcher.controller().awakeFromNib();
    if (launcher.controller().hasTerminated())
        return 0;
    return QApplication::exec();
}
