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
        for (const PlannedFile& file : std::as_const(plan_.files))
            if (folderKeys_.contains(caseKey(file.destination)))
                return refuse(file.entry, QStringLiteral("would be both a file and a folder in "
                                                         "the game folder"));
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

        QString resolved;      // the destination so far, spelled as it will be on disk
        QString deepestOnDisk; // the last folder of it that exists
        bool onDisk = true;    // whether `resolved` exists on disk
        PlannedFile planned{entry, QString(), source.declaredSize, PlannedFile::Action::New};
        const QStringList& components = name.components;
        for (qsizetype i = 0; i < components.size(); ++i) {
            const QString& component = components[i];
            const bool last = i + 1 == components.size();
            std::optional<DiskEntry> match;
            if (onDisk) {
                const QList<DiskEntry> twins = disk_.lookUp(resolved, component);
                for (const DiskEntry& twin : twins)
                    if (twin.name == component)
                        match = twin;
                if (!match && twins.size() == 1)
                    match = twins.first();
                else if (!match && twins.size() > 1)
                    return refuse(entry,
                                  QStringLiteral("cannot go to \"%1\": the game folder "
                                                 "holds both \"%2\" and \"%3\", which "
                                                 "differ only in letter case")
                                      .arg(displayedName(joinedPath(resolved, component)),
                                           displayedName(joinedPath(resolved, twins[0].name)),
                                           displayedName(joinedPath(resolved, twins[1].name))))
                        .reason;
            }
            if (match) {
                const QString path = joinedPath(resolved, match->name);
                const DiskEntry::Kind wanted =
                    last ? DiskEntry::Kind::File : DiskEntry::Kind::Folder;
                if (match->kind != wanted)
                    return refuse(entry, QStringLiteral("needs %1 at \"%2\", and the game folder "
                                                        "has %3 there")
                                             .arg(last ? QStringLiteral("a file")
                                                       : QStringLiteral("a folder"),
                                                  displayedName(path), kindOnDisk(match->kind)))
                        .reason;
                if (last) {
                    planned.action = source.declaredSize >= 0 && source.declaredSize != match->size
                                         ? PlannedFile::Action::Replace
                                         : PlannedFile::Action::Compare;
                } else if (!disk_.hasFolder(path))
                    return refuse(entry, QStringLiteral("goes into \"%1\", which could not be read")
                                             .arg(displayedName(path)))
                        .reason;
                else
                    deepestOnDisk = path;
                resolved = path;
                continue;
            }
            // A new name: one spelling per folder for every entry that uses it.
            onDisk = false;
            const QString key = resolved + QChar(0) + caseKey(component);
            auto spelling = newSpellings_.find(key);
            if (spelling == newSpellings_.end())
                spelling = newSpellings_.insert(
                    key, i == 0 ? standardGameFolder(component).value_or(component) : component);
            resolved = joinedPath(resolved, *spelling);
            if (!last && !newFolderKeys_.contains(resolved)) {
                newFolderKeys_.insert(resolved);
                plan_.newFolders.append(resolved);
            }
        }
        if (!disk_.isInsideGameFolder(deepestOnDisk))
            return refuse(entry, QStringLiteral("would be written through \"%1\", which leads "
                                                "out of the game folder")
                                     .arg(displayedName(deepestOnDisk)))
                .reason;

        const QString fileKey = caseKey(resolved);
        const auto twin = fileKeys_.constFind(fileKey);
        if (twin != fileKeys_.cend())
            return QStringLiteral("%1: entries \"%2\" and \"%3\" would be the same file \"%4\"")
                .arg(sourceFile_, displayedName(entries_[*twin].name), displayedName(source.name),
                     displayedName(resolved));
        fileKeys_.insert(fileKey, entry);
        for (qsizetype slash = resolved.indexOf(u'/'); slash >= 0;
             slash = resolved.indexOf(u'/', slash + 1))
            folderKeys_.insert(caseKey(QStringView(resolved).first(slash)));

        if (components.size() == 2 &&
            components[1].compare(u"UT2K4Mod.ini", Qt::CaseInsensitive) == 0 &&
            !standardGameFolder(components[0])) {
            const QString folder = resolved.first(resolved.indexOf(u'/'));
            if (!firstModFolder_)
                firstModFolder_ = folder;
            if (!preferredModFolder_ && caseKey(folder) == caseKey(placement_.name))
                preferredModFolder_ = folder;
        }

        planned.destination = resolved;
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
    QSet<QString> newFolderKeys_;
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
