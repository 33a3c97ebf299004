// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller.h"

#include "app/details/moddetailspane.h"
#include "app/game/gameselector.h"
#include "app/table/modtablemodel.h"
#include "installation/gamecopies.h"
#include "support/mainthreadqueue.h"
#include "support/preferencekeys.h"
#include "support/userdefaults.h"

#include <QPushButton>

void Controller::connectGameCopyControls() {
    if (gameSelector) {
        connect(gameSelector, &GameSelector::copyChosen, this,
                [this](const QString& path) { useGameCopy(path); });
        connect(gameSelector, &GameSelector::otherFolderChosen, this,
                [this] { chooseOtherFolder(); });
    }
    if (reloadButton)
        connect(reloadButton, &QPushButton::clicked, this, [this] { reload(); });
}

void Controller::showGameCopies() {
    if (gameSelector)
        gameSelector->setCopies(
            findGameCopies(gameCopyPlaces()),
            UserDefaults::standard().stringForKey(preferenceKeys::unrealPath).value_or(QString()));
}

void Controller::startSearch() {
    // Whatever an earlier search still reports is dropped from here on.
    const int generation = ++searchGeneration;
    relistAfterGame = false;
    statusAfterSearch.clear();
    if (mods.size() > 1) {
        // The player's mod is selected again when it reappears; till then the pane keeps it.
        if (const int row = selectedRow(); row >= 0)
            keptSelection.keep(mods.at(row));
        tableModel->replaceRows([this] { mods.resize(1); });
        if (keptSelection.takes(mods.constFirst()))
            selectRow(0);
        // Off until the search has ended, like the selection it follows.
        launchButton->setEnabled(false);
    }
    // Off until this search has ended.
    if (gameSelector)
        gameSelector->setEnabled(false);
    if (reloadButton)
        reloadButton->setEnabled(false);
    detachNewThread(
        [this, queue = mainThread, generation] { findAllUnrealMods(this, queue, generation); });
}

void Controller::reload() {
    // The running game's copy stays the listed one.
    if (launching)
        return;
    showGameCopies();
    startSearch();
}

void Controller::useGameCopy(const QString& gamePath) {
    if (launching)
        return;
    UserDefaults::standard().setObjectForKey(gamePath, preferenceKeys::unrealPath);
    reload();
}

void Controller::chooseOtherFolder() {
    if (launching)
        return;
    if (const std::optional<QString> chosen = askForGameFolder())
        useGameCopy(*chosen);
}

void Controller::updateGameControls() {
    // The pane's links open nothing while the table is locked, so they look it.
    if (detailsPane)
        detailsPane->setLocked(locked);
    const bool idle = !searching && !launching;
    if (gameSelector)
        gameSelector->setEnabled(idle);
    if (reloadButton)
        reloadButton->setEnabled(idle);
}
