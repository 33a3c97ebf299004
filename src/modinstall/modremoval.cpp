// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/modremoval.h"

#include "installation/gameinstallation.h"
#include "modinstall/installpaths.h"
#include "support/desktoptrash.h"
#include "support/sha256.h"
#include "support/xxh3.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// Whether the file is still what the install put there: same size, same bytes.
bool isAsInstalled(int parent, const QString& path, const RecordedFile& file, bool& missing) {
    const FileDescriptor opened(::openat(parent, lastComponent(path).constData(),
                                         O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    missing = !opened.isOpen() && errno == ENOENT;
    struct stat status {};
    return opened.isOpen() && ::fstat(opened.get(), &status) == 0 && S_ISREG(status.st_mode) &&
           status.st_size == file.size &&
           (file.xxh3.isEmpty() ? sha256OfDescriptor(opened.get()) == file.sha256
                                : xxh3OfDescriptor(opened.get()) == file.xxh3);
}

} // namespace

std::variant<RemovalResult, InstallRefusal>
removeInstall(const QString& gameFolder, const QString& name, const QString& recordsFolder) {
    const auto record = readRecord(recordsFolder, name, gameFolder);
    if (!record)
        return InstallRefusal{
            QStringLiteral("there is no install called %1 in %2").arg(name, gameFolder)};
    const FileDescriptor game = openFolder(gameFolder);
    if (!game.isOpen())
        return InstallRefusal{
            QStringLiteral("Modgate cannot open %1: %2").arg(gameFolder, systemErrorText(errno))};

    RemovalResult result;
    // A file that could not be taken out keeps the record, so removing can be tried again.
    bool keepRecord = false;
    for (const RecordedFile& file : record->files) {
        const FileDescriptor parent = openParentFolder(game.get(), file.path);
        bool missing = !parent.isOpen();
        if (parent.isOpen() && isAsInstalled(parent.get(), file.path, file, missing)) {
            QString why;
            if (moveToTrash(belowFolder(gameFolder, file.path), why)) {
                result.trashed << file.path;
            } else {
                result.problems
                    << QStringLiteral("could not move %1 to the trash: %2").arg(file.path, why);
                keepRecord = true;
            }
        } else {
            (missing ? result.missing : result.changed) << file.path;
        }
    }
    // Deepest first, so a folder whose only content was a created folder goes too.
    QStringList folders = record->createdFolders;
    std::stable_sort(folders.begin(), folders.end(), [](const QString& one, const QString& other) {
        return one.count(u'/') > other.count(u'/');
    });
    for (const QString& folder : folders) {
        const FileDescriptor parent = openParentFolder(game.get(), folder);
        if (parent.isOpen() &&
            ::unlinkat(parent.get(), lastComponent(folder).constData(), AT_REMOVEDIR) == 0)
            result.removedFolders << folder;
    }
    for (const ReplacedFile& file : record->replaced) {
        const FileDescriptor parent = openParentFolder(game.get(), file.path);
        struct stat status {};
        if (!parent.isOpen() || ::fstatat(parent.get(), lastComponent(file.path).constData(),
                                          &status, AT_SYMLINK_NOFOLLOW) == 0)
            continue; // something is there again: it stays, and the original stays in the trash
        if (!QFileInfo::exists(file.pathInTrash))
            result.problems
                << QStringLiteral("the file %1 replaced is no longer in the trash").arg(file.path);
        else if (const auto why =
                     restoreFromTrash(file.pathInTrash, belowFolder(gameFolder, file.path)))
            result.problems
                << QStringLiteral("could not put %1 back from the trash: %2").arg(file.path, *why);
        else
            result.restored << file.path;
    }
    if (!keepRecord) {
        const QString path = recordPath(recordsFolder, record->name, record->gameFolder);
        QDir(readmesFolderOf(path)).removeRecursively();
        QFile::remove(path);
    }
    return result;
}

std::variant<QString, InstallRefusal> removeModFolder(const QString& gameFolder,
                                                      const QString& folder) {
    if (folder.isEmpty() || folder == u"." || folder == u"/")
        return InstallRefusal{QStringLiteral("the game itself cannot be removed")};
    const QString path = belowFolder(gameFolder, folder);
    const bool isModFolder = isSafeRelativePath(folder) && !folder.contains(u'/') &&
                             QFileInfo(path).isDir() &&
                             QDir(path)
                                 .entryList(QDir::Files | QDir::Hidden)
                                 .contains(GameInstallation::manifestFileName, Qt::CaseInsensitive);
    if (!isModFolder)
        return InstallRefusal{
            QStringLiteral("there is no mod folder called %1 in %2").arg(folder, gameFolder)};
    QString why;
    if (const auto inTrash = moveToTrash(path, why))
        return *inTrash;
    return InstallRefusal{QStringLiteral("could not move %1 to the trash: %2").arg(folder, why)};
}
