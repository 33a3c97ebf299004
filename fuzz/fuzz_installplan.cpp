// SPDX-License-Identifier: GPL-3.0-or-later
// A download's entry list as hostile bytes: one entry a line, its first character the type
// (f file, d folder, l symbolic link, h hard link, o anything else), the rest its name. The
// list goes through the archive rules and the planner, and each name also straight to the
// planner as a UMOD's manifest would send it, against an empty game folder and a small one
// with case twins, a file where a folder could go and a link. Every planned destination must
// pass the name rules again and stay below the game folder.
#include "modinstall/archiveplacement.h"
#include "modinstall/installnames.h"
#include "modinstall/installplanner.h"

#include <QByteArray>
#include <QSet>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

QList<SourceEntry> entriesFrom(const QString& text) {
    QList<SourceEntry> entries;
    for (const QString& line : text.split(u'\n')) {
        if (line.isEmpty())
            continue;
        SourceEntry entry;
        switch (line[0].unicode()) {
        case u'd':
            entry.type = SourceEntryType::Directory;
            break;
        case u'l':
            entry.type = SourceEntryType::Symlink;
            break;
        case u'h':
            entry.type = SourceEntryType::HardLink;
            break;
        case u'o':
            entry.type = SourceEntryType::Other;
            break;
        default:
            entry.type = SourceEntryType::File;
        }
        entry.name = line.sliced(1);
        entry.declaredSize = line.size() % 7 == 0 ? -1 : line.size();
        entries.append(entry);
    }
    return entries;
}

GameFolderSnapshot emptyGame() {
    GameFolderSnapshot disk;
    disk.addFolder(QString(), {});
    return disk;
}

GameFolderSnapshot smallGame() {
    using Kind = DiskEntry::Kind;
    GameFolderSnapshot disk;
    disk.addFolder(QString(), {{"System", Kind::Folder, -1},
                               {"maps", Kind::Folder, -1},
                               {"Textures", Kind::Symlink, -1},
                               {"Help", Kind::File, 3},
                               {"MyMod", Kind::Folder, -1},
                               {"mymod", Kind::Folder, -1}});
    disk.addFolder("System", {{"Foo.u", Kind::File, 5},
                              {"a.u", Kind::File, 1},
                              {"A.u", Kind::File, 2},
                              {"Sub", Kind::Other, -1}});
    disk.addFolder("maps", {});
    disk.addFolder("MyMod", {}, false);
    disk.addFolder("mymod", {});
    return disk;
}

void checkPlan(const std::variant<InstallPlan, InstallRefusal>& outcome,
               const QList<SourceEntry>& entries, const GameFolderSnapshot& disk) {
    const InstallPlan* plan = std::get_if<InstallPlan>(&outcome);
    if (!plan) {
        require(!std::get<InstallRefusal>(outcome).reason.isEmpty());
        return;
    }
    const QSet<QString> newFolders(plan->newFolders.cbegin(), plan->newFolders.cend());
    QSet<QString> keys;
    for (const PlannedFile& file : plan->files) {
        require(file.entry >= 0 && file.entry < entries.size());
        require(entries[file.entry].type == SourceEntryType::File);
        // The destination passes the rules as it is, and is relative.
        const InstallName again = vetInstallName(file.destination);
        require(again.isValid());
        require(again.path() == file.destination);
        require(!again.components.contains(QStringLiteral("..")));
        // No two files the same but for letter case.
        const QString key = caseKey(file.destination);
        require(!keys.contains(key));
        keys.insert(key);
        // Each folder above it exists or is created.
        for (qsizetype slash = file.destination.indexOf(u'/'); slash >= 0;
             slash = file.destination.indexOf(u'/', slash + 1)) {
            const QString folder = file.destination.first(slash);
            require(disk.hasFolder(folder) || newFolders.contains(folder));
            require(!disk.hasFolder(folder) || disk.isInsideGameFolder(folder));
        }
        require(file.action == PlannedFile::Action::New ||
                disk.hasFolder(file.destination.first(
                    qMax<qsizetype>(0, file.destination.lastIndexOf(u'/')))));
    }
    for (const QString& folder : plan->newFolders) {
        require(vetInstallName(folder).isValid());
        require(!disk.hasFolder(folder));
    }
    for (const LeftOutEntry& left : plan->leftOut)
        require(left.entry >= -1 && left.entry < entries.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<SourceEntry> entries = entriesFrom(text);
    const GameFolderSnapshot empty = emptyGame(), small = smallGame();

    const std::variant<InstallPlacement, InstallRefusal> placed =
        placeArchiveEntries(entries, QStringLiteral("fuzz.zip"));
    if (const InstallPlacement* placement = std::get_if<InstallPlacement>(&placed)) {
        require(!placement->files.isEmpty());
        for (const auto& [entry, destination] : placement->files)
            require(vetInstallName(destination).isValid());
        checkPlan(planInstall(*placement, entries, QStringLiteral("fuzz.zip"), empty), entries,
                  empty);
        checkPlan(planInstall(*placement, entries, QStringLiteral("fuzz.zip"), small), entries,
                  small);
    }

    // Every name as a destination, as a UMOD's manifest gives them.
    InstallPlacement direct;
    direct.name = QStringLiteral("MyMod");
    for (int i = 0; i < entries.size(); ++i)
        direct.files.append({i, entries[i].name});
    checkPlan(planInstall(direct, entries, QStringLiteral("fuzz.umod"), empty), entries, empty);
    checkPlan(planInstall(direct, entries, QStringLiteral("fuzz.umod"), small), entries, small);
    return 0;
}
