// SPDX-License-Identifier: GPL-3.0-or-later
#include "installation/gamecopies.h"

#include "installation/desktopentry.h"
#include "installation/gamelocation.h"
#include "installation/steamlibraries.h"
#include "support/textfile.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString gameName = QStringLiteral("Unreal Tournament 2004");

QString canonicalOrSelf(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

// Collects recognised copies, the first of each folder kept.
class Collector {
public:
    explicit Collector(CpuArchitecture architecture) : architecture(architecture) {}

    void offer(const QString& folder) {
        if (!recognizeGameLayout(folder, architecture))
            return;
        const QString canonical = canonicalOrSelf(folder);
        if (seen.contains(canonical))
            return;
        seen.append(canonical);
        copies.append(folder);
    }
    void offer(const std::optional<QString>& folder) {
        if (folder)
            offer(*folder);
    }

    QStringList copies;

private:
    CpuArchitecture architecture;
    QStringList seen;
};

// The game folder a `ut2004` command leads to, when it resolves into a System* folder.
std::optional<QString> gameFolderOfCommand(const QString& folder) {
    const QFileInfo command(folder + QStringLiteral("/ut2004"));
    // A loop of links has no canonical path.
    const QString target = command.canonicalFilePath();
    if (target.isEmpty() || !QFileInfo(target).isFile())
        return std::nullopt;
    return gameFolderOfExecutable(target);
}

} // namespace

QStringList gamesFolderEntries(const QString& gamesFolder) {
    QStringList entries;
    QDirIterator it(gamesFolder, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    while (entries.size() < maxGamesFolderEntries && it.hasNext())
        entries.append(it.next());
    return entries;
}

GameCopyPlaces defaultGameCopyPlaces() {
    const QString home = QDir::homePath();
    // XDG_DATA_HOME counts only as an absolute path; QStandardPaths knows the fallback.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return {gameLogPaths(home),
            wellKnownGameFolders(home, dataHome),
            {dataHome + QStringLiteral("/applications/OldUnreal-UT2004.desktop")},
            steamRoots(home),
            home + QStringLiteral("/Games"),
            qEnvironmentVariable("PATH").split(u':', Qt::SkipEmptyParts)};
}

QStringList findGameCopies(const GameCopyPlaces& places, CpuArchitecture architecture,
                           const GamesFolderLister& listGamesFolder) {
    Collector found(architecture);
    for (const QString& log : places.gameLogs)
        if (const std::optional<QString> text = stringWithContentsOfFile(log, maxGameLogBytes))
            found.offer(gamePathFromGameLog(*text));
    for (const QString& folder : places.wellKnownFolders)
        found.offer(folder);
    for (const QString& entry : places.desktopEntries)
        if (const std::optional<QString> text =
                stringWithContentsOfFile(entry, maxDesktopEntryBytes))
            if (const std::optional<QString> program = desktopEntryProgram(*text))
                found.offer(gameFolderOfExecutable(*program));
    for (const QString& root : places.steamRoots) {
        QStringList libraries{root};
        const QString list = root + QStringLiteral("/steamapps/libraryfolders.vdf");
        if (const std::optional<QString> text =
                stringWithContentsOfFile(list, maxSteamLibraryFileBytes))
            libraries += steamLibraryPaths(*text);
        for (const QString& library : libraries)
            for (const QString& folder : steamGameFolders(library))
                found.offer(folder);
    }
    if (!places.gamesFolder.isEmpty()) {
        for (const QString& entry : listGamesFolder(places.gamesFolder)) {
            found.offer(entry);
            found.offer(entry + u'/' + gameName);
        }
    }
    for (const QString& folder : places.pathFolders)
        found.offer(gameFolderOfCommand(folder));
    return found.copies;
}

bool isSameFolder(const QString& one, const QString& other) {
    return canonicalOrSelf(one) == canonicalOrSelf(other);
}

QString homeRelativePath(const QString& path, const QString& homePath) {
    QString shown = QDir::cleanPath(path);
    const QString home = QDir::cleanPath(homePath);
    if (shown == home)
        return QStringLiteral("~");
    if (home != u"/" && shown.startsWith(home + u'/'))
        shown.replace(0, home.size(), u'~');
    return shown;
}

std::optional<QString> recognisedGameCopy(const QString& folder) {
    if (recognizeGameLayout(folder))
        return folder;
    return gameFolderForChosenFolder(folder);
}
