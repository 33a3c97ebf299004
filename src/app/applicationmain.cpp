#include "app/applicationmain.h"

#include "app/controller.h"
#include "app/launcher.h"

#include <QApplication>
#include <QGuiApplication>

int applicationMain(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Modgate"));
    QApplication::setApplicationName(QStringLiteral("Modgate"));
    QApplication::setApplicationDisplayName(QStringLiteral("Modgate"));
    QGuiApplication::setDesktopFileName(QStringLiteral("modgate"));
    // The window leaves the screen while the game runs; that must not end the application.
    QApplication::setQuitOnLastWindowClosed(false);

    Launcher launcher;
    launcher.controller().awakeFromNib();
    if (launcher.controller().hasTerminated())
        return 0;
    return QApplication::exec();
}
