// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller.h"

#include "app/game/gamelogwindow.h"
#include "app/game/gameprogramlookup.h"
#include "app/game/gamerelocation.h"
#include "app/game/gamerun.h"
#include "catalogue/gamelaunch.h"
#include "catalogue/modsearch.h"
#include "installation/gamecopies.h"
#include "installation/gamelayout.h"
#include "installation/programcheck.h"
#include "support/busyindicator.h"
#include "support/mainthreadqueue.h"
#include "support/preferencekeys.h"
#include "support/systemservices.h"
#include "support/textfile.h"
#include "support/threadhandover.h"
#include "support/transienttext.h"
#include "support/userdefaults.h"
#include "window/vxfadewindow.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

namespace {

const QString startFailurePrefix = QStringLiteral("Could not start the game: ");
const QString stoppedPrefix = QStringLiteral("The game stopped: ");
const QString launchingText = QStringLiteral("Launching, please wait...");

QString storedBundlePath() {
    return UserDefaults::standard().stringForKey(preferenceKeys::unrealPath).value_or(QString());
}

// What the worker gets shares no data with what this thread keeps (see threadhandover.h).
ModEntry unshared(const ModEntry& entry) {
    return {unshared(entry.name), unshared(entry.command), unshared(entry.url),
            unshared(entry.launchName)};
}

QStringList unshared(const QStringList& texts) {
    QStringList copies;
    for (const QString& text : texts)
        copies.append(unshared(text));
    return copies;
}

std::optional<GameStop> unshared(const std::optional<GameStop>& stop) {
    if (!stop)
        return std::nullopt;
    return GameStop{unshared(stop->reason), unshared(stop->logPath), unshared(stop->logText)};
}

// The system's reason for a failed start, or where the program exists but cannot run here, why.
QString startFailureReason(const QString& executable, const QString& systemReason) {
    const std::optional<QByteArray> head = headOfRegularFile(executable, programHeadBytes);
    if (!head)
        return systemReason;
    return programCannotRunReason(*head, hostArchitecture(),
                                  [](const QString& path) { return QFileInfo::exists(path); })
        .value_or(systemReason);
}

} // namespace

void Controller::launch() {
    // The button is only enabled with a row selected; a call from elsewhere without one has
    // nothing to start.
    const int row = selectedRow();
    if (row < 0 || row >= mods.size())
        return;
    // A mod half installed is no mod to start.
    if (installing) {
        statusField->setText(QStringLiteral("Not launched: a mod is being installed or removed."));
        return;
    }

    if (const std::optional<GameLayout> layout = recognizeGameLayout(storedBundlePath())) {
        startGame(row, *layout, launchingText);
        return;
    }
    // The stored copy is gone. The places may take long to look through: the window stays
    // responsive meanwhile, and locked as for a launch, so that nothing else starts.
    statusField->setText(QStringLiteral("Searching for the game..."));
    busyIndicator->startAnimation();
    launchButton->setEnabled(false);
    locked = true;
    launching = true;
    updateGameControls();
    relocateGame(
        *copyFinder, gameCopyPlaces(), [this] { return askForGameFolder(); },
        [this, row](const std::optional<QString>& copy, const QStringList& copies) {
            launchRelocated(row, copy, copies);
        });
}

void Controller::launchRelocated(int row, const std::optional<QString>& copy,
                                 const QStringList& copies) {
    // As before the press, then as where the copy had been found at once.
    stopIndicator();
    launchButton->setEnabled(selectedRow() >= 0);
    locked = false;
    launching = false;
    updateGameControls();
    UserDefaults::standard().setObjectForKey(copy, preferenceKeys::unrealPath);
    // The copies were just found: the selector shows them without a second look.
    gamePrograms->forget();
    showGameCopies(copies);
    // A window closed during the look was only put out of the way, as during a launch: where
    // nothing starts, it comes back.
    if (!copy) {
        // The player would rather not point at a copy now: nothing starts, Modgate stays.
        window->makeKeyAndOrderFront(this);
        statusField->setText(QStringLiteral("No copy of the game chosen."));
        return;
    }
    // A bundle chosen by name alone may still lack its executable: the start then fails and says
    // why.
    std::optional<GameLayout> layout = recognizeGameLayout(*copy);
    if (!layout)
        layout = bundleLayout(*copy);
    const QString shown = homeRelativePath(*copy, QDir::homePath());
    if (!copyHoldsMod(layout->searchBase, mods.at(row))) {
        // The game would be handed a folder it does not have: the copy's own mods instead.
        const QString notThere =
            QStringLiteral("%1 is not in %2").arg(mods.at(row).displayName(), shown);
        window->makeKeyAndOrderFront(this);
        startSearch();
        statusAfterSearch = notThere;
        statusField->setText(notThere);
        return;
    }
    // The list is the old copy's; the new one's is listed once the window is back.
    relistAfterGame = true;
    startGame(row, *layout, QStringLiteral("Now using %1. ").arg(shown) + launchingText);
}

void Controller::startGame(int row, const GameLayout& layout, const QString& text) {
    statusField->setText(text);
    showLogButton->hide();
    lastStop.reset();
    // The last game's log would be taken for this one's.
    if (logWindow)
        logWindow->hide();
    busyIndicator->startAnimation();
    launchButton->setEnabled(false);
    locked = true;
    launching = true;
    updateGameControls();

    // The worker gets copies: widgets and the mod list belong to this thread.
    LaunchRequest request{
        unshared(mods.at(row)),
        {unshared(layout.executable), unshared(layout.workingDirectory), {}},
        launchPause,
        mainThread,
        unshared(gameLogCandidates(QDir::homePath(), layout.searchBase, mods.at(row).launchName))};
    detachNewThread(
        [this, request = std::move(request)]() mutable { launchThread(this, std::move(request)); });
}

void Controller::launchThread(Controller* controller, LaunchRequest request) {
    const QString& executable = request.game.executable;
    const std::shared_ptr<MainThreadQueue>& queue = request.mainThread;

    const GameRun run = runGame(request.game, gameArgumentList(request.entry), request.pause, [&] {
        queue->perform([controller] { controller->window->close(); });
        queue->perform([controller] { controller->stopIndicator(); });
    });
    if (run.startError) {
        queue->perform([controller, executable,
                        reason = unshared(startFailureReason(executable, *run.startError))] {
            controller->launchFailed(executable, reason);
        });
        return;
    }
    // Reading the logs takes a while for a large one: done here, off the main thread.
    queue->perform([controller, stop = unshared(whyGameStopped(run.exit, run.output, run.started,
                                                               request.gameLogs))] {
        controller->utClosed(stop);
    });
}

void Controller::launchFailed(const QString& executable, const QString& reason) {
    // Nothing was started, so nothing is hidden and nobody is welcomed back.
    stopIndicator();
    systemBeep();
    statusField->setText(startFailurePrefix + reason);
    showLogButton->hide();
    launchButton->setEnabled(selectedRow() >= 0);
    locked = false;
    launching = false;
    // A relocated copy is listed after the next launch that works: the reason must stay readable.
    updateGameControls();
    systemLog(QStringLiteral("Could not start %1: %2").arg(executable, reason));
}

void Controller::stopIndicator() {
    busyIndicator->stopAnimation();
}

void Controller::utClosed(const std::optional<GameStop>& stop) {
    window->makeKeyAndOrderFront(this);
    lastStop = stop;
    if (stop) {
        systemBeep();
        statusField->setText(stoppedPrefix + stop->reason);
        showLogButton->show();
        systemLog(stoppedPrefix + stop->reason);
    } else {
        // Only the welcome goes after 3 s: a new launch's, a failure's or a search's text stays,
        // since a screen reader would not say it again.
        showForAWhile(*statusField, QStringLiteral("Welcome back!"), std::chrono::seconds(3));
    }
    launchButton->setEnabled(selectedRow() >= 0);
    locked = false;
    launching = false;
    updateGameControls();
    // A relocated copy's mods are listed once the game is back; a reason to read comes first.
    if (!stop && std::exchange(relistAfterGame, false))
        reload();
}

void Controller::showLog() {
    if (!lastStop)
        return;
    if (!logWindow)
        logWindow = new GameLogWindow(window);
    logWindow->setLog(lastStop->logPath, lastStop->logText);
    logWindow->show();
    logWindow->raise();
    logWindow->activateWindow();
}
