// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller.h"

#include "app/gamebundledialog.h"
#include "installation/gamelayout.h"
#include "installation/gamelocation.h"
#include "support/systemservices.h"
#include "support/textfile.h"
#include "support/userdefaults.h"

#include <QDir>
#include <QStandardPaths>

namespace {

const QString unrealPathKey = QStringLiteral("unrealPath");

// A log line naming a game that has since been moved or deleted must not win over the user: it
// would be stored again after every failed launch.
std::optional<QString> gameNamedByLog(const QString& logPath) {
    const std::optional<QString> logText = stringWithContentsOfFile(logPath, maxGameLogBytes);
    if (!logText)
        return std::nullopt;
    std::optional<QString> gamePath = gamePathFromGameLog(*logText);
    if (!gamePath || !recognizeGameLayout(*gamePath))
        return std::nullopt;
    return gamePath;
}

QStringList defaultGameFolders() {
    // XDG_DATA_HOME counts only as an absolute path; QStandardPaths knows the fallback.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return wellKnownGameFolders(QDir::homePath(), dataHome);
}

} // namespace

void Controller::setUnrealLocation() {
    UserDefaults& defaults = UserDefaults::standard();
    // A stored path, even an empty one, is used as it stands; the launch checks it.
    if (defaults.objectForKey(unrealPathKey))
        return;

    for (const QString& logPath : gameLogPaths(QDir::homePath())) {
        if (const std::optional<QString> fromLog = gameNamedByLog(logPath)) {
            defaults.setObjectForKey(*fromLog, unrealPathKey);
            return;
        }
    }
    for (const QString& folder : knownGameFolders ? *knownGameFolders : defaultGameFolders()) {
        if (recognizeGameLayout(folder)) {
            defaults.setObjectForKey(folder, unrealPathKey);
            return;
        }
    }

    const std::optional<QString> chosen =
        locationDialog ? locationDialog(*this)
                       : GameBundleDialog::chooseBundle(
                             [this](const QString& path) { return panelIsValidFilename(path); });
    if (!chosen) {
        terminate();
        return;
    }
    // A bundle is stored as chosen; a System folder stands for the game folder above it.
    const QString gamePath =
        isGameBundlePath(*chosen) ? *chosen : gameFolderForChosenFolder(*chosen).value_or(*chosen);
    defaults.setObjectForKey(gamePath, unrealPathKey);
}

bool Controller::panelIsValidFilename(const QString& path) {
    if (isGameBundlePath(path) || gameFolderForChosenFolder(path))
        return true;
    systemBeep();
    return false;
}
