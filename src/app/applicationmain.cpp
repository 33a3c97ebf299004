// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/applicationmain.h"

#include "app/commandline.h"
#include "app/controller.h"
#include "app/launcher.h"
#include "app/singleinstance.h"
#include "window/vxfadewindow.h"

#include <QApplication>
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
    // Options are answered before there is a GUI, so they need no display.
    if (argc > 1) {
        const QCoreApplication core(argc, argv);
        if (const auto answer = answerCommandLine(QCoreApplication::arguments())) {
            std::fputs(answer->text.toLocal8Bit().constData(),
                       answer->toStandardError ? stderr : stdout);
            return answer->exitCode;
        }
    }
    QApplication application(argc, argv);
    configureApplication();

    // Before anything is looked for or shown: a second start only raises the first's window.
    SingleInstance instance(SingleInstance::defaultSocketName());
    if (!instance.isFirst())
        return 0;

    Launcher launcher;
    QObject::connect(&instance, &SingleInstance::raiseRequested, &launcher.window(),
                     [&launcher] { raiseWindow(launcher.window()); });
    launcher.controller().awakeFromNib();
    if (launcher.controller().hasTerminated())
        return 0;
    return QApplication::exec();
}
