// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/gamefoldersnapshot.h"

#include "modinstall/installnames.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

void GameFolderSnapshot::addFolder(const QString& folder, const QList<DiskEntry>& entries,
                                   bool insideGameFolder) {
    Folder& recorded = folders_[folder];
    recorded.inside = insideGameFolder;
    for (const DiskEntry& entry : entries)
        recorded.byCaseKey[caseKey(entry.name)].append(entry);
}

bool GameFolderSnapshot::hasFolder(const QString& folder) const {
    return folders_.contains(folder);
}

bool GameFolderSnapshot::isInsideGameFolder(const QString& folder) const {
    const auto found = folders_.constFind(folder);
    return found != folders_.cend() && found->inside;
}

QList<DiskEntry> GameFolderSnapshot::lookUp(const QString& folder, const QString& name) const {
    return lookUpCaseKey(folder, caseKey(name));
}

QList<DiskEntry> GameFolderSnapshot::lookUpCaseKey(const QString& folder,
                                                   const QString& key) const {
    const auto found = folders_.constFind(folder);
    if (found == folders_.cend())
        return {};
    return found->byCaseKey.value(key);
}

namespace {

QString joinedPath(const QString& folder, const QString& name) {
    return folder.isEmpty() ? name : folder + u'/' + name;
}

std::optional<QByteArray> realPath(const QByteArray& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.constData(), nullptr),
                                                         &std::free);
    if (!resolved)
        return std::nullopt;
    return QByteArray(resolved.get());
}

struct DirectoryCloser {
    void operator()(DIR* directory) const { closedir(directory); }
};

class SnapshotReader {
public:
    explicit SnapshotReader(const QString& gameFolder) : gameFolder_(gameFolder) {}

    std::optional<QString> start() {
        const std::optional<QByteArray> root = realPath(QFile::encodeName(gameFolder_));
        if (!root)
            return failure(gameFolder_, errno);
        root_ = *root;
        return list(QString());
    }

    // Follows one destination down the folders on disk, every case twin included.
    std::optional<QString> follow(const QStringList& components) {
        std::variant<QStringList, QString> folders = foldersOf(components, components.size() - 1);
        if (QString* failed = std::get_if<QString>(&folders))
            return *failed;
        return match(std::get<QStringList>(folders), components.last(), nullptr);
    }

    GameFolderSnapshot snapshot() const {
        GameFolderSnapshot snapshot;
        for (auto folder = inside_.cbegin(); folder != inside_.cend(); ++folder)
            snapshot.addFolder(folder.key(), found_.value(folder.key()).values(), folder.value());
        return snapshot;
    }

private:
    QByteArray absolute(const QString& relative) const {
        return QFile::encodeName(relative.isEmpty() ? gameFolder_ : gameFolder_ + u'/' + relative);
    }

    static QString failure(const QString& path, int error) {
        return QStringLiteral("Cannot read %1: %2")
            .arg(path, QString::fromLocal8Bit(std::strerror(error)));
    }

    std::optional<QString> list(const QString& folder) {
        if (listings_.contains(folder))
            return std::nullopt;
        const QByteArray path = absolute(folder);
        std::unique_ptr<DIR, DirectoryCloser> dir(opendir(path.constData()));
        if (!dir)
            return failure(QFile::decodeName(path), errno);
        QHash<QString, QStringList>& names = listings_[folder];
        errno = 0;
        while (const dirent* entry = readdir(dir.get())) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                const QString name = QFile::decodeName(entry->d_name);
                names[caseKey(name)].append(name);
            }
            errno = 0;
        }
        if (errno != 0)
            return failure(QFile::decodeName(path), errno);
        const std::optional<QByteArray> real = realPath(path);
        inside_.insert(folder,
                       real && (*real == root_ || real->startsWith(root_ + '/') || root_ == "/"));
        return std::nullopt;
    }

    DiskEntry stat(const QString& folder, const QString& name) const {
        DiskEntry entry{name, DiskEntry::Kind::Other, -1};
        struct stat status {};
        if (::lstat(absolute(joinedPath(folder, name)).constData(), &status) != 0)
            return entry;
        if (S_ISREG(status.st_mode)) {
            entry.kind = DiskEntry::Kind::File;
            entry.size = qint64(status.st_size);
        } else if (S_ISDIR(status.st_mode))
            entry.kind = DiskEntry::Kind::Folder;
        else if (S_ISLNK(status.st_mode))
            entry.kind = DiskEntry::Kind::Symlink;
        return entry;
    }

    // The folders on disk that the first `count` components name, ignoring case: several where
    // the disk holds case twins, none where the path leaves what exists.
    std::variant<QStringList, QString> foldersOf(const QStringList& components, qsizetype count) {
        if (count == 0)
            return QStringList{QString()};
        const QString raw = QStringList(components.first(count)).join(u'/');
        if (const auto known = folders_.constFind(raw); known != folders_.cend())
            return *known;
        std::variant<QStringList, QString> parents = foldersOf(components, count - 1);
        if (QString* failed = std::get_if<QString>(&parents))
            return *failed;
        QStringList folders;
        if (std::optional<QString> failed =
                match(std::get<QStringList>(parents), components[count - 1], &folders))
            return *failed;
        folders_.insert(raw, folders);
        return folders;
    }

    // Looks the name up in each of the folders, recording what matches; with `folders`, also
    // gives the matches that are folders.
    std::optional<QString> match(const QStringList& parents, const QString& component,
                                 QStringList* folders) {
        const QString key = caseKey(component);
        for (const QString& folder : parents) {
            if (std::optional<QString> failed = list(folder))
                return failed;
            for (const QString& name : listings_[folder].value(key)) {
                QHash<QString, DiskEntry>& found = found_[folder];
                auto known = found.constFind(name);
                if (known == found.cend())
                    known = found.insert(name, stat(folder, name));
                if (folders && known->kind == DiskEntry::Kind::Folder)
                    folders->append(joinedPath(folder, name));
            }
        }
        return std::nullopt;
    }

    QString gameFolder_;
    QByteArray root_;
    // The folders each folder path of the destinations leads to, by that path as they spell it.
    QHash<QString, QStringList> folders_;
    // Every folder read: its names by case key; whether its real path is inside the game folder.
    QHash<QString, QHash<QString, QStringList>> listings_;
    QHash<QString, bool> inside_;
    // The names an install matched, per folder.
    QHash<QString, QHash<QString, DiskEntry>> found_;
};

} // namespace

std::variant<GameFolderSnapshot, InstallRefusal>
readGameFolderSnapshot(const QString& gameFolder, const QStringList& destinations) {
    SnapshotReader reader(gameFolder);
    if (std::optional<QString> failed = reader.start())
        return InstallRefusal{*failed};
    for (const QString& destination : destinations) {
        const InstallName name = vetInstallName(destination);
        if (!name.isValid())
            continue;
        if (std::optional<QString> failed = reader.follow(name.components))
            return InstallRefusal{*failed};
    }
    return reader.snapshot();
}
