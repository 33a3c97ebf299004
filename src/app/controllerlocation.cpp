// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller.h"

#include "app/game/gamebundledialog.h"
#include "installation/gamecopies.h"
#include "installation/gamelayout.h"
#include "installation/gamelocation.h"
#include "support/preferencekeys.h"
#include "support/systemservices.h"
#include "support/userdefaults.h"
#include "window/vxfadewindow.h"

void Controller::setWellKnownGameFolders(QStringList folders) {
    GameCopyPlaces places = defaultGameCopyPlaces();
    places.wellKnownFolders = std::move(folders);
    copyPlaces = std::move(places);
}

GameCopyPlaces Controller::gameCopyPlaces() const {
    return copyPlaces ? *copyPlaces : defaultGameCopyPlaces();
}

void Controller::setUnrealLocation() {
    if (!locateGame())
        terminate();
}

bool Controller::locateGame() {
    UserDefaults& defaults = UserDefaults::standard();
    // A stored path, even an empty one, is used as it stands; the launch checks it.
    if (defaults.objectForKey(preferenceKeys::unrealPath))
        return true;

    // A log line naming a game that has since been moved or deleted must not win over the user:
    // only recognised copies are found.
    const QStringList copies = findGameCopies(gameCopyPlaces());
    if (!copies.isEmpty()) {
        defaults.setObjectForKey(copies.constFirst(), preferenceKeys::unrealPath);
        return true;
    }
    const std::optional<QString> chosen = askForGameFolder();
    if (!chosen)
        return false;
    defaults.setObjectForKey(*chosen, preferenceKeys::unrealPath);
    return true;
}

std::optional<QString> Controller::askForGameFolder() {
    const std::optional<QString> chosen =
        locationDialog ? locationDialog(*this)
                       : GameBundleDialog::chooseBundle(
                             [this](const QString& path) { return panelIsValidFilename(path); },
                             window && window->isVisible() ? window : nullptr);
    if (!chosen)
        return std::nullopt;
    // A bundle is stored as chosen; a System folder stands for the game folder above it.
    return isGameBundlePath(*chosen) ? *chosen
                                     : gameFolderForChosenFolder(*chosen).value_or(*chosen);
}

bool Controller::panelIsValidFilename(const QString& path) {
    if (isGameBundlePath(path) || gameFolderForChosenFolder(path))
        return true;
    systemBeep();
    return false;
}
