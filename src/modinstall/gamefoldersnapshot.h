// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modinstall/installplan.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <variant>

// One name in a folder of the game, as lstat() saw it: links are not followed.
struct DiskEntry {
    enum class Kind { File, Folder, Symlink, Other };
    QString name; // as spelled on disk
    Kind kind = Kind::File;
    qint64 size = -1; // for regular files
};

// What the planner needs to know of the game folder on disk, as a plain value: the folders an
// install touches, each with the names in it that an install's names match ignoring case.
// Folders are given relative to the game folder, spelled as on disk, '/'-separated; "" is the
// game folder itself.
class GameFolderSnapshot {
public:
    // Records that the folder exists, whether its real path lies inside the game folder, and
    // (some of) what it holds.
    void addFolder(const QString& folder, const QList<DiskEntry>& entries,
                   bool insideGameFolder = true);

    bool hasFolder(const QString& folder) const;
    bool isInsideGameFolder(const QString& folder) const;
    // The folder's entries whose names equal `name` ignoring case (case twins give several).
    QList<DiskEntry> lookUp(const QString& folder, const QString& name) const;
    // The same, for a name whose caseKey() is already worked out.
    QList<DiskEntry> lookUpCaseKey(const QString& folder, const QString& key) const;

private:
    struct Folder {
        bool inside = true;
        QHash<QString, QList<DiskEntry>> byCaseKey;
    };
    QHash<QString, Folder> folders_;
};

// Reads from disk what the given destinations (raw, '\' or '/') touch below the game folder:
// each folder on their way, matched ignoring case, with the names in it that match theirs.
// Names the name rules refuse are skipped (the planner refuses them).
std::variant<GameFolderSnapshot, InstallRefusal>
readGameFolderSnapshot(const QString& gameFolder, const QStringList& destinations);
