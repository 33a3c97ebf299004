// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/launcher.h"

#include "app/controller.h"
#include "app/details/moddetailspane.h"
#include "app/install/closeafterinstall.h"
#include "app/install/downloaddrop.h"
#include "app/install/modinstallflow.h"
#include "app/modactions.h"
#include "support/focusring.h"
#include "support/preferencekeys.h"
#include "support/terminationrequest.h"
#include "support/userdefaults.h"
#include "ui_launcherform.h"
#include "window/vxfadewindow.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QKeySequence>
#include <QPushButton>
#include <QSplitter>

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
    mainWindow->addAction(quit);

    launcherController = new Controller(mainWindow.get());
    launcherController->busyIndicator = form.busyIndicator;
    launcherController->gameSelector = form.gameSelector;
    launcherController->launchButton = form.launchButton;
    launcherController->reloadButton = form.reloadButton;
    launcherController->showLogButton = form.showLogButton;
    launcherController->statusField = form.statusField;
    launcherController->tableView = form.tableView;
    launcherController->window = mainWindow.get();
    launcherController->detailsPane = form.detailsPane;
    launcherController->installButton = form.installButton;
    launcherController->connectOutlets();
    auto* installFlow = new ModInstallFlow(*launcherController, launcherController);
    launcherController->installFlow = installFlow;
    // An install or removal under way ends before the window closes or the application quits.
    auto* closing = new CloseAfterInstall(*mainWindow, *installFlow);
    // exit(), not quit(): quit() first asks every window to close, and the fading window turns
    // that into a fade-out, so the application would stay behind with no window.
    QObject::connect(quit, &QAction::triggered, closing,
                     [closing] { closing->whenIdle([] { QCoreApplication::exit(0); }); });
    // A logout's SIGTERM is a Quit too.
    QObject::connect(new TerminationRequest(mainWindow.get()), &TerminationRequest::received, quit,
                     &QAction::trigger);
    QObject::connect(form.installButton, &QPushButton::clicked, installFlow,
                     [installFlow] { installFlow->chooseFilesToInstall(); });
    new DownloadDrop(mainWindow.get(),
                     [installFlow](const QStringList& paths) { installFlow->installFiles(paths); });
    auto* actions = new ModActions(*launcherController);
    form.detailsPane->setRemover([actions] { actions->act(ModContextMenu::Entry::Remove); });
    form.detailsPane->setWebSiteOpener(
        [controller = launcherController] { controller->openUrl(); });
    form.detailsPane->setLinkOpener([controller = launcherController](const QString& address) {
        controller->openWebAddress(address);
    });
    keepSplitterPosition(*form.detailsSplitter);
    new FocusRing(*mainWindow); // a child of the window
}

void Launcher::keepSplitterPosition(QSplitter& splitter) {
    // Table and pane share what the window gains or loses.
    splitter.setStretchFactor(0, 1);
    splitter.setStretchFactor(1, 1);
    splitter.setSizes({260, 300});
    const QString& key = preferenceKeys::detailsSplitter;
    if (const auto state = UserDefaults::standard().objectForKey(key))
        splitter.restoreState(state->toByteArray());
    QObject::connect(&splitter, &QSplitter::splitterMoved, &splitter, [&splitter, key] {
        UserDefaults::standard().setObjectForKey(splitter.saveState(), key);
    });
}

Launcher::~Launcher() = default;
