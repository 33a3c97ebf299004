// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/modsearch.h"

#include "catalogue/filewalk.h"
#include "catalogue/modmanifest.h"
#include "support/textfile.h"

#include <QFile>
#include <QFileInfo>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>

namespace {

const QLatin1StringView manifestName("ut2k4mod.ini");
// Real manifests hold a few lines; a file this large is no manifest and counts as unreadable, so
// a huge file under that name cannot exhaust memory.
constexpr qsizetype maxManifestBytes = qsizetype(1) << 20;

// The last path component, lowercased, equals the manifest name. Nearly every name is ASCII and
// can only match with exactly twelve bytes; other names are decoded first, since a non-ASCII
// letter may lowercase to an ASCII one (the Kelvin sign to "k").
bool isManifestName(QByteArrayView name) {
    bool ascii = true;
    for (const char byte : name)
        if (static_cast<unsigned char>(byte) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return name.size() == manifestName.size() &&
               QLatin1StringView(name.data(), name.size())
                       .compare(manifestName, Qt::CaseInsensitive) == 0;
    return QFile::decodeName(name.toByteArray()).toLower() == manifestName;
}

std::optional<QByteArray> resolvedFolder(const QByteArray& path) {
    char resolved[PATH_MAX];
    struct stat status {};
    if (!::realpath(path.constData(), resolved) || ::stat(resolved, &status) != 0 ||
        !S_ISDIR(status.st_mode))
        return std::nullopt;
    return QByteArray(resolved);
}

bool isSameOrBelow(const QByteArray& path, const QByteArray& folder) {
    return path == folder || folder == "/" || path.startsWith(folder + '/');
}

} // namespace

bool isLinkedModFolder(const QByteArray& target, const QByteArray& gameFolder) {
    // Inside the game folder it would list its mods twice; above it, walk the game folder again
    // and perhaps the whole disk.
    return !isSameOrBelow(target, gameFolder) && !isSameOrBelow(gameFolder, target);
}

void searchForModsInBasePath(const std::optional<QString>& path,
                             const std::function<void(ModEntry)>& modFound) {
    if (!path)
        return;
    // One "/" is added even after a trailing one; it also makes a linked bundle walk as its target.
    const QByteArray searchBase = QFile::encodeName(*path + u'/');
    const std::optional<QByteArray> gameFolder = resolvedFolder(searchBase);
    // An empty stored path would name the root folder: the whole disk is nobody's game.
    if (gameFolder == QByteArray("/"))
        return;
    const auto followLink = [&gameFolder](const QByteArray& linkPath) {
        const std::optional<QByteArray> target = resolvedFolder(linkPath);
        return gameFolder && target && isLinkedModFolder(*target, *gameFolder);
    };
    walkFileTree(
        searchBase,
        [&](const FileWalkEntry& entry) {
            if (!isManifestName(entry.name))
                return;
            // Read through the walk's own bytes, so a folder with an odd name still yields its mod.
            const std::optional<QString> text =
                stringWithContentsOfNativePath(entry.path.toByteArray(), maxManifestBytes);
            modFound(
                modEntryFromManifest(text, QFile::decodeName(entry.relativePath.toByteArray())));
        },
        followLink);
}

bool copyHoldsMod(const QString& searchBase, const ModEntry& entry) {
    return !entry.launchName || QFileInfo(searchBase + u'/' + *entry.launchName).isDir();
}
