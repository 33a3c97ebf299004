#include "app/controller.h"

#include "app/gamebundledialog.h"
#include "installation/gameinstallation.h"
#include "installation/gamelocation.h"
#include "support/systemservices.h"
#include "support/textfile.h"
#include "support/userdefaults.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString unrealPathKey = QStringLiteral("unrealPath");

// A log line naming a game that has since been moved or deleted must not win over the user: it
// would be stored again after every failed launch.
std::optional<QString> gameNamedByLog(const std::optional<QString>& logText) {
    if (!logText)
        return std::nullopt;
    std::optional<QString> bundlePath = bundlePathFromGameLog(*logText);
    if (!bundlePath || !QFileInfo::exists(GameInstallation::executablePath(*bundlePath)))
        return std::nullopt;
    return bundlePath;
}

} // namespace

void Controller::setUnrealLocation() {
    const std::optional<QString> logText =
        stringWithContentsOfFile(GameInstallation::gameLogPath(QDir::homePath()), maxGameLogBytes);

    UserDefaults& defaults = UserDefaults::standard();
    // A stored path, even an empty one, is used as it stands; the launch checks it.
    if (defaults.objectForKey(unrealPathKey))
        return;

    if (const std::optional<QString> fromLog = gameNamedByLog(logText)) {
        defaults.setObjectForKey(*fromLog, unrealPathKey);
        return;
    }

    const std::optional<QString> chosen =
        locationDialog ? locationDialog(*this)
                       : GameBundleDialog::chooseBundle(
                             [this](const QString& path) { return panelIsValidFilename(path); });
    if (!chosen) {
        terminate();
        return;
    }
    defaults.setObjectForKey(*chosen, unrealPathKey);
}

bool Controller::panelIsValidFilename(const QString& path) {
    if (isGameBundlePath(path))
        return true;
    systemBeep();
    return false;
}
