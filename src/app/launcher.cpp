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
    quit->setShortcuts({QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q)});
    quit->setShortcutContext(Qt::ApplicationShortcut);
    QObject::connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit);
    mainWindow->addAction(quit);

    launcherController = new Controller(mainWindow.get());
    launcherController->busyIndicator = form.busyIndicator;
    launcherController->launchButton = form.launchButton;
    launcherController->statusField = form.statusField;
    launcherController->tableView = form.tableView;
    launcherController->window = mainWindow.get();
    launcherController->connectOutlets();
}

Launcher::~Launcher() = default;
