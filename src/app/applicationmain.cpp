// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/applicationmain.h"

#include "app/controller.h"
#include "app/launcher.h"

#include <QApplication>
#include <QGuiApplication>

void configureApplication() {
    QApplication::setOrganizationName(QStringLiteral("Modgate"));
    QApplication::setApplicationName(QStringLiteral("Modgate"));
    QApplication::setApplicationDisplayName(QStringLiteral("Modgate"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.modgate.Modgate"));
    // The window leaves the screen while the game runs; that must not end the application.
    QApplication::setQuitOnLastWindowClosed(false);
}

int applicationMain(int argc, char** argv) {
    QApplication application(argc, argv);
    configureApplication();

    Launcher launcher;
    launcher.controller().awakeFromNib();
    if (launcher.controller().hasTerminated())
        return 0;
    return QApplication::exec();
}
