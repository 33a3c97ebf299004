// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller.h"

#include "app/details/moddetailspane.h"
#include "app/game/gamecopyfinder.h"
#include "app/game/gameprogramlookup.h"
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

void Controller::locateAtStartUp() {
    const std::optional<QString> stored =
        UserDefaults::standard().stringForKey(preferenceKeys::unrealPath);
    // Until the copy in use is known to be there, the window is as while its mods are searched.
    modSearchBegan();
    showGameCopies({});
    copyFinder->find(
        gameCopyPlaces(), stored,
        [this, stored](const std::optional<QString>& program) {
            // A stored copy that is gone waits for the others.
            if (!program || located)
                return;
            located = true;
            gamePrograms->remember(*stored, program);
            startSearch();
        },
        [this](const QStringList& copies) { startUpCopiesFound(copies); });
}

void Controller::startUpCopiesFound(const QStringList& copies) {
    if (!located) {
        // A log line naming a game that has since been moved or deleted must not win over the
        // player: only recognised copies are found.
        UserDefaults& defaults = UserDefaults::standard();
        defaults.setObjectForKey(std::nullopt, preferenceKeys::unrealPath);
        std::optional<QString> chosen =
            copies.isEmpty() ? askForGameFolder() : std::optional(copies.constFirst());
        if (!chosen) {
            terminate();
            return;
        }
        defaults.setObjectForKey(*chosen, preferenceKeys::unrealPath);
        located = true;
        startSearch();
        showSelectedModDetails();
    }
    showGameCopies(copies);
}

void Controller::lookForGameCopies() {
    const std::optional<QString> stored =
        UserDefaults::standard().stringForKey(preferenceKeys::unrealPath);
    // A copy may have changed since: what it starts is looked at again.
    gamePrograms->forget();
    showGameCopies(foundCopies);
    copyFinder->find(
        gameCopyPlaces(), stored,
        [this, stored](const std::optional<QString>& program) {
            if (stored)
                gamePrograms->remember(*stored, program);
        },
        [this](const QStringList& copies) { showGameCopies(copies); });
}

void Controller::showGameCopies(const QStringList& copies) {
    foundCopies = copies;
    if (gameSelector)
        gameSelector->setCopies(
            copies,
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
    lookForGameCopies();
    startSearch();
}

void Controller::useGameCopy(const QString& gamePath) {
    if (launching)
        return;
    UserDefaults::standard().setObjectForKey(gamePath, preferenceKeys::unrealPath);
    located = true;
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
    const bool idle = !searching && !launching && !installing;
    if (gameSelector)
        gameSelector->setEnabled(idle);
    if (reloadButton)
        reloadButton->setEnabled(idle);
}
