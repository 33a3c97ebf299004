// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/launcher.h"

#include "app/controller.h"
#include "ui_launcherform.h"
#include "window/vxfadewindow.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QKeySequence>

// The resources live in a static library, so they are registered by hand.
static void initResources() {
    Q_INIT_RESOURCE(modgate);
}

Launcher::Launcher() : mainWindow(std::make_unique<VXFadeWindow>()) {
    initResources();
    Ui::LauncherForm form;
    form.setupUi(mainWindow.get());
    mainWindow->setWindowIcon(QIcon(QStringLiteral(":/images/modgate.svg")));

    auto* quit = new QAction(mainWindow.get());
    // The platform's Quit keys, plus Ctrl+Q where they lack it: one key bound twice would make
    // the shortcut ambiguous, and an ambiguous shortcut does nothing.
    QList<QKeySequence> quitKeys = QKeySequence::keyBindings(QKeySequence::Quit);
    const QKeySequence controlQ(Qt::CTRL | Qt::Key_Q);
    if (!quitKeys.contains(controlQ))
        quitKeys.append(controlQ);
    quit->setShortcuts(quitKeys);
    quit->setShortcutContext(Qt::ApplicationShortcut);
    // exit(), not quit(): quit() first asks every window to close, and the fading window turns
    // that into a fade-out, so the application would stay behind with no window.
    QObject::connect(quit, &QAction::triggered, qApp, [] { QCoreApplication::exit(0); });
    mainWindow->addAction(quit);

    launcherController = new Controller(mainWindow.get());
    launcherController->busyIndicator = form.busyIndicator;
    launcherController->launchButton = form.launchButton;
    launcherController->showLogButton = form.showLogButton;
    launcherController->statusField = form.statusField;
    launcherController->tableView = form.tableView;
    launcherController->window = mainWindow.get();
    launcherController->connectOutlets();
}

Launcher::~Launcher() = default;
