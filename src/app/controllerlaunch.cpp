// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller.h"

#include "app/gamelaunch.h"
#include "installation/gamelayout.h"
#include "support/busyindicator.h"
#include "support/mainthreadqueue.h"
#include "support/systemservices.h"
#include "support/userdefaults.h"
#include "window/vxfadewindow.h"

#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <thread>

namespace {

const QString unrealPathKey = QStringLiteral("unrealPath");
const QString startFailurePrefix = QStringLiteral("Could not start the game: ");

QString storedBundlePath() {
    return UserDefaults::standard().stringForKey(unrealPathKey).value_or(QString());
}

// A copy that shares no data with the original. Qt's shared strings count their users with
// atomics inside the Qt libraries, so a string the worker holds and the main thread drops (the
// preferences' cached value) would otherwise be freed outside what a race detector can follow.
QString unshared(const QString& text) {
    return QString(text.constData(), text.size());
}

std::optional<QString> unshared(const std::optional<QString>& text) {
    return text ? std::optional<QString>(unshared(*text)) : std::nullopt;
}

ModEntry unshared(const ModEntry& entry) {
    return {unshared(entry.name), unshared(entry.command), unshared(entry.url),
            unshared(entry.launchName)};
}

} // namespace

void Controller::launch() {
    // The button is only enabled with a row selected; a call from elsewhere without one has
    // nothing to start.
    const int row = selectedRow();
    if (row < 0 || row >= mods.size())
        return;

    std::optional<GameLayout> layout = recognizeGameLayout(storedBundlePath());
    if (!layout) {
        relocateIfGone();
        if (hasTerminated())
            return;
        // The list is the old copy's; the new one's is listed once the window is back.
        relistAfterGame = true;
        showGameCopies();
        // A bundle chosen by name alone may still lack its executable: the start then fails and
        // says why.
        layout = recognizeGameLayout(storedBundlePath());
        if (!layout)
            layout = bundleLayout(storedBundlePath());
    }

    statusField->setText(QStringLiteral("Launching, please wait..."));
    busyIndicator->startAnimation();
    launchButton->setEnabled(false);
    locked = true;
    launching = true;
    updateGameControls();

    // The worker gets copies: widgets and the mod list belong to this thread.
    LaunchRequest request{unshared(mods.at(row)),
                          {unshared(layout->executable), unshared(layout->workingDirectory), {}},
                          launchPause,
                          mainThread};
    detachNewThread(
        [this, request = std::move(request)]() mutable { launchThread(this, std::move(request)); });
}

void Controller::launchThread(Controller* controller, LaunchRequest request) {
    const QString& executable = request.game.executable;
    const std::shared_ptr<MainThreadQueue>& queue = request.mainThread;

    // Lives until the game has exited: destroying a running QProcess kills the game.
    QProcess game;
    // The child changes to the working directory before it starts the program, so a relative
    // stored path would otherwise be looked up a second time below itself.
    game.setProgram(QFileInfo(executable).absoluteFilePath());
    game.setArguments(gameArgumentList(request.entry));
    game.setWorkingDirectory(request.game.workingDirectory);
    game.setProcessChannelMode(QProcess::ForwardedChannels);
    game.setInputChannelMode(QProcess::ForwardedInputChannel);
    game.start();
    if (!game.waitForStarted(-1)) {
        queue->perform([controller, executable, reason = game.errorString()] {
            controller->launchFailed(executable, reason);
        });
        return;
    }

    std::this_thread::sleep_for(request.pause);
    queue->perform([controller] { controller->window->close(); });
    queue->perform([controller] { controller->stopIndicator(); });
    game.waitForFinished(-1);
    queue->perform([controller] { controller->utClosed(); });
}

void Controller::launchFailed(const QString& executable, const QString& reason) {
    // Nothing was started, so nothing is hidden and nobody is welcomed back.
    stopIndicator();
    systemBeep();
    statusField->setText(startFailurePrefix + reason);
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

void Controller::utClosed() {
    window->makeKeyAndOrderFront(this);
    statusField->setText(QStringLiteral("Welcome back!"));
    // Not cancelled by a new launch; only that launch's failure is left standing, since it is
    // what the player must read.
    performAfterDelay(statusField, 3000, [label = statusField] {
        // Nor a search's, which the return from a relocated copy may have started.
        if (!label->text().startsWith(startFailurePrefix) &&
            label->text() != u"Searching for mods...")
            label->setText(QStringLiteral(""));
    });
    launchButton->setEnabled(selectedRow() >= 0);
    locked = false;
    launching = false;
    updateGameControls();
    if (std::exchange(relistAfterGame, false))
        reload();
}
