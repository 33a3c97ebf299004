// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// Where one entry of a download goes.
struct PlannedFile {
    enum class Action {
        New,       // nothing of that name on disk
        Identical, // the same bytes are there already: skipped
        Replace,   // a different file is there: replaced only with the player's consent
        Compare,   // a file of the same size is there: its bytes decide Identical or Replace
    };
    int entry = -1;      // index into InstallSource::entries()
    QString destination; // relative to the game folder, '/' separators, spelled as on disk
    qint64 size = -1;    // the declared size, a hint
    Action action = Action::New;
};

// An entry that is not installed, and why ("native code", "a symbolic link", "a readme").
struct LeftOutEntry {
    QString name;
    QString reason;
    int entry = -1;
    // Readmes are kept beside the install's record so the player can still read them.
    bool keepWithRecord = false;
};

// Everything an install will do, worked out before anything is written.
struct InstallPlan {
    QString name;       // the mod folder's name, the UMOD's Product, or the file's base name
    QString sourceFile; // the download's file name
    QList<PlannedFile> files;
    QList<LeftOutEntry> leftOut;
    QStringList iniEditsNotApplied;   // UMOD Ini=/AddIni= lines, shown, never applied
    QStringList newFolders;           // folders the install creates, relative to the game folder
    std::optional<QString> modFolder; // the mod folder it installs or updates, if any
    qint64 totalBytes = 0;            // the sum of the files' declared sizes

    int replacements() const;
};

// A download that cannot be installed, and why, in words for the status line.
struct InstallRefusal {
    QString reason;
};
