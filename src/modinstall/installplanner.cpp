// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/installplanner.h"

#include "modinstall/installnames.h"

#include <QHash>
#include <QSet>

namespace {

QString joinedPath(const QString& folder, const QString& name) {
    return folder.isEmpty() ? name : folder + u'/' + name;
}

QString kindOnDisk(DiskEntry::Kind kind) {
    switch (kind) {
    case DiskEntry::Kind::File:
        return QStringLiteral("a file");
    case DiskEntry::Kind::Folder:
        return QStringLiteral("a folder");
    case DiskEntry::Kind::Symlink:
        return QStringLiteral("a symbolic link");
    case DiskEntry::Kind::Other:
        break;
    }
    return QStringLiteral("neither a file nor a folder");
}

class Planner {
public:
    Planner(const InstallPlacement& placement, const QList<SourceEntry>& entries,
            const QString& sourceFile, const GameFolderSnapshot& disk)
        : placement_(placement), entries_(entries), sourceFile_(sourceFile), disk_(disk) {}

    std::variant<InstallPlan, InstallRefusal> plan() {
        if (!disk_.hasFolder(QString()))
            return InstallRefusal{QStringLiteral("The game folder could not be read")};
        plan_.name = placement_.name;
        plan_.sourceFile = sourceFile_;
        plan_.iniEditsNotApplied = placement_.iniEditsNotApplied;
        plan_.files.reserve(placement_.files.size());
        for (const auto& [entry, destination] : placement_.files)
            if (std::optional<QString> refused = place(entry, destination))
                return InstallRefusal{*refused};
        for (LeftOutEntry left : placement_.leftOut) {
            // Only what can be read is kept with the record.
            if (left.keepWithRecord && (left.entry < 0 || left.entry >= entries_.size() ||
                                        entries_[left.entry].type != SourceEntryType::File ||
                                        entries_[left.entry].encrypted))
                left.keepWithRecord = false;
            plan_.leftOut.append(left);
        }
        plan_.modFolder = preferredModFolder_ ? preferredModFolder_ : firstModFolder_;
        return std::move(plan_);
    }

private:
    InstallRefusal refuse(int entry, const QString& why) const {
        return {QStringLiteral("%1: entry \"%2\" %3")
                    .arg(sourceFile_, displayedName(entries_[entry].name), why)};
    }

    QString bothFileAndFolder(int entry) const {
        return refuse(entry, QStringLiteral("would be both a file and a folder in the game folder"))
            .reason;
    }

    // A folder on the way to a destination, as it will be on disk.
    struct Folder {
        QString path;          // spelled as on disk or as it will be created; "" for the root
        QString key;           // its case key
        bool onDisk = true;    // whether it exists
        QString deepestOnDisk; // the last folder of the path that exists
    };

    // One name below a folder: the disk's spelling where the disk has it ignoring case, else
    // one spelling for every entry that uses it. Gives the refusal when the disk is in the way.
    std::variant<std::optional<DiskEntry>, QString> resolve(const Folder& folder,
                                                            const QString& component,
                                                            const QString& key, bool last,
                                                            int entry, QString& spelling) {
        std::optional<DiskEntry> match;
        if (folder.onDisk) {
            const QList<DiskEntry> twins = disk_.lookUpCaseKey(folder.path, key);
            for (const DiskEntry& twin : twins)
                if (twin.name == component)
                    match = twin;
            if (!match && twins.size() == 1)
                match = twins.first();
            else if (!match && twins.size() > 1)
                return refuse(entry,
                              QStringLiteral("cannot go to \"%1\": the game folder holds "
                                             "both \"%2\" and \"%3\", which differ only "
                                             "in letter case")
                                  .arg(displayedName(joinedPath(folder.path, component)),
                                       displayedName(joinedPath(folder.path, twins[0].name)),
                                       displayedName(joinedPath(folder.path, twins[1].name))))
                    .reason;
        }
        if (match) {
            const DiskEntry::Kind wanted = last ? DiskEntry::Kind::File : DiskEntry::Kind::Folder;
            if (match->kind != wanted)
                return refuse(entry,
                              QStringLiteral("needs %1 at \"%2\", and the game folder has "
                                             "%3 there")
                                  .arg(last ? QStringLiteral("a file") : QStringLiteral("a folder"),
                                       displayedName(joinedPath(folder.path, match->name)),
                                       kindOnDisk(match->kind)))
                    .reason;
            spelling = match->name;
            return match;
        }
        // Files spelled two ways are refused as the same file; folders are shared.
        if (last) {
            spelling = component;
            return std::optional<DiskEntry>();
        }
        const QString spellingKey = folder.path + QChar(0) + key;
        auto known = newSpellings_.constFind(spellingKey);
        if (known == newSpellings_.cend())
            known = newSpellings_.insert(spellingKey,
                                         folder.path.isEmpty()
                                             ? standardGameFolder(component).value_or(component)
                                             : component);
        spelling = *known;
        return std::optional<DiskEntry>();
    }

    // The folder that the first `count` components name, worked out once for every entry in
    // it.
    std::variant<Folder, QString> folderOf(const QStringList& components, qsizetype count,
                                           int entry) {
        if (count == 0)
            return Folder{};
        const QString raw = QStringList(components.first(count)).join(u'/');
        if (const auto known = folders_.constFind(raw); known != folders_.cend())
            return *known;
        std::variant<Folder, QString> parentOrRefusal = folderOf(components, count - 1, entry);
        if (QString* refused = std::get_if<QString>(&parentOrRefusal))
            return *refused;
        const Folder& parent = std::get<Folder>(parentOrRefusal);
        const QString& component = components[count - 1];
        const QString key = caseKey(component);
        QString spelling;
        std::variant<std::optional<DiskEntry>, QString> resolved =
            resolve(parent, component, key, false, entry, spelling);
        if (QString* refused = std::get_if<QString>(&resolved))
            return *refused;
        Folder folder;
        folder.path = joinedPath(parent.path, spelling);
        folder.key = parent.key.isEmpty() ? key : parent.key + u'/' + key;
        folder.onDisk = std::get<std::optional<DiskEntry>>(resolved).has_value();
        folder.deepestOnDisk = folder.onDisk ? folder.path : parent.deepestOnDisk;
        if (folder.onDisk && !disk_.hasFolder(folder.path))
            return refuse(entry, QStringLiteral("goes into \"%1\", which could not be read")
                                     .arg(displayedName(folder.path)))
                .reason;
        if (const auto file = fileKeys_.constFind(folder.key); file != fileKeys_.cend())
            return bothFileAndFolder(*file);
        if (!folder.onDisk && !folderKeys_.contains(folder.key))
            plan_.newFolders.append(folder.path);
        folderKeys_.insert(folder.key);
        folders_.insert(raw, folder);
        return folder;
    }

    std::optional<QString> place(int entry, const QString& destination) {
        if (entry < 0 || entry >= entries_.size())
            return QStringLiteral("%1: the plan names an entry it does not hold").arg(sourceFile_);
        const SourceEntry& source = entries_[entry];
        if (source.type != SourceEntryType::File)
            return refuse(entry, QStringLiteral("is not a regular file")).reason;
        if (source.encrypted)
            return refuse(entry, QStringLiteral("is encrypted")).reason;
        const InstallName name = vetInstallName(destination);
        if (!name.isValid())
            return refuse(entry, destination == source.name
                                     ? name.fault
                                     : QStringLiteral("goes to \"%1\", which %2")
                                           .arg(displayedName(destination), name.fault))
                .reason;

        const QStringList& components = name.components;
        std::variant<Folder, QString> folderOrRefusal =
            folderOf(components, components.size() - 1, entry);
        if (QString* refused = std::get_if<QString>(&folderOrRefusal))
            return *refused;
        const Folder& folder = std::get<Folder>(folderOrRefusal);
        if (!disk_.isInsideGameFolder(folder.deepestOnDisk))
            return refuse(entry, QStringLiteral("would be written through \"%1\", which leads "
                                                "out of the game folder")
                                     .arg(displayedName(folder.deepestOnDisk)))
                .reason;

        const QString& file = components.last();
        const QString key = caseKey(file);
        QString spelling;
        std::variant<std::optional<DiskEntry>, QString> resolved =
            resolve(folder, file, key, true, entry, spelling);
        if (QString* refused = std::get_if<QString>(&resolved))
            return *refused;
        PlannedFile planned{entry, joinedPath(folder.path, spelling), source.declaredSize,
                            PlannedFile::Action::New};
        if (const std::optional<DiskEntry>& existing = std::get<std::optional<DiskEntry>>(resolved))
            planned.action = source.declaredSize >= 0 && source.declaredSize != existing->size
                                 ? PlannedFile::Action::Replace
                                 : PlannedFile::Action::Compare;

        const QString fileKey = folder.key.isEmpty() ? key : folder.key + u'/' + key;
        if (folderKeys_.contains(fileKey))
            return bothFileAndFolder(entry);
        const auto twin = fileKeys_.constFind(fileKey);
        if (twin != fileKeys_.cend())
            return QStringLiteral("%1: entries \"%2\" and \"%3\" would be the same file \"%4\"")
                .arg(sourceFile_, displayedName(entries_[*twin].name), displayedName(source.name),
                     displayedName(planned.destination));
        fileKeys_.insert(fileKey, entry);

        if (components.size() == 2 && key == u"ut2k4mod.ini" && !standardGameFolder(folder.path)) {
            if (!firstModFolder_)
                firstModFolder_ = folder.path;
            if (!preferredModFolder_ && folder.key == caseKey(placement_.name))
                preferredModFolder_ = folder.path;
        }

        plan_.totalBytes += qMax<qint64>(0, source.declaredSize);
        plan_.files.append(planned);
        return std::nullopt;
    }

    const InstallPlacement& placement_;
    const QList<SourceEntry>& entries_;
    const QString& sourceFile_;
    const GameFolderSnapshot& disk_;
    InstallPlan plan_;
    // The spelling chosen for each new name, by its folder and its case key.
    QHash<QString, QString> newSpellings_;
    // Every folder a destination names, by its path as the download spells it.
    QHash<QString, Folder> folders_;
    // Every file's path by case key, with its entry; every folder's.
    QHash<QString, int> fileKeys_;
    QSet<QString> folderKeys_;
    std::optional<QString> firstModFolder_;
    std::optional<QString> preferredModFolder_;
};

} // namespace

std::variant<InstallPlan, InstallRefusal> planInstall(const InstallPlacement& placement,
                                                      const QList<SourceEntry>& entries,
                                                      const QString& sourceFile,
                                                      const GameFolderSnapshot& disk) {
    return Planner(placement, entries, sourceFile, disk).plan();
}
