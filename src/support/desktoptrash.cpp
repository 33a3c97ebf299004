// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/desktoptrash.h"

#include "support/filedescriptor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// The topmost folder above path on the same file system: where that file system's trash is.
QString mountTop(const QString& path) {
    struct stat here {};
    QString folder = QFileInfo(path).absoluteFilePath();
    if (::lstat(native(folder).constData(), &here) != 0)
        return {};
    for (;;) {
        const QString parent = QFileInfo(folder).path();
        struct stat above {};
        if (parent == folder || ::stat(native(parent).constData(), &above) != 0 ||
            above.st_dev != here.st_dev)
            return folder;
        folder = parent;
    }
}

// Whether path names something directly in a trash's files folder: the user's own, or one at the
// top of a file system. Paths read from records are checked, so that none can fetch a file from
// elsewhere.
bool isInTrash(const QString& path) {
    if (!QDir::isAbsolutePath(path) || QDir::cleanPath(path) != path)
        return false;
    const QString files = QFileInfo(path).path();
    if (QFileInfo(files).fileName() != QStringLiteral("files"))
        return false;
    const QString trash = QFileInfo(files).path();
    const QString uid = QString::number(::getuid());
    const QString name = QFileInfo(trash).fileName();
    return trash == QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                        QStringLiteral("/Trash") ||
           name == QStringLiteral(".Trash-") + uid ||
           (name == uid &&
            QFileInfo(QFileInfo(trash).path()).fileName() == QStringLiteral(".Trash"));
}

} // namespace

std::optional<QString> moveToTrash(const QString& path, QString& why) {
    QFile file(path);
    if (!file.moveToTrash()) {
        why = file.errorString();
        return std::nullopt;
    }
    return file.fileName();
}

std::optional<QString> restoreFromTrash(const QString& pathInTrash, const QString& originalPath) {
    if (!isInTrash(pathInTrash))
        return QStringLiteral("%1 is not in a trash").arg(pathInTrash);
    if (::renameat2(AT_FDCWD, native(pathInTrash).constData(), AT_FDCWD,
                    native(originalPath).constData(), RENAME_NOREPLACE) != 0)
        return systemErrorText(errno);
    // The trash keeps a note beside its files folder for each file: <trash>/info/<name>.trashinfo.
    const QFileInfo inTrash(pathInTrash);
    if (QFileInfo(inTrash.path()).fileName() == u"files")
        QFile::remove(inTrash.path() + QStringLiteral("/../info/") + inTrash.fileName() +
                      QStringLiteral(".trashinfo"));
    return std::nullopt;
}

std::optional<QString> findInTrash(dev_t device, ino_t inode, const QString& near) {
    QStringList folders{QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                        QStringLiteral("/Trash/files")};
    if (const QString top = mountTop(near); !top.isEmpty()) {
        const QString uid = QString::number(::getuid());
        folders << top + QStringLiteral("/.Trash/") + uid + QStringLiteral("/files")
                << top + QStringLiteral("/.Trash-") + uid + QStringLiteral("/files");
    }
    for (const QString& folder : folders) {
        DIR* listing = ::opendir(native(folder).constData());
        if (!listing)
            continue;
        std::optional<QString> found;
        while (const dirent* entry = ::readdir(listing)) {
            struct stat status {};
            if (entry->d_ino == inode &&
                ::fstatat(dirfd(listing), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                status.st_dev == device && status.st_ino == inode) {
                found = folder + u'/' + QFile::decodeName(entry->d_name);
                break;
            }
        }
        ::closedir(listing);
        if (found)
            return found;
    }
    return std::nullopt;
}
