// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modinstall/installplan.h"
#include "modinstall/installrecord.h"

#include <QString>
#include <QStringList>
#include <variant>

// Taking a mod out of a game folder again. Whatever goes, goes to the desktop's trash. The caller
// holds the write lock (installlock.h).

struct RemovalResult {
    QStringList trashed;        // installed files still as installed: now in the trash
    QStringList changed;        // files changed since they were installed: left in place
    QStringList missing;        // files already gone
    QStringList removedFolders; // folders the install created, found empty
    QStringList restored;       // files the install replaced, back from the trash
    QStringList problems;       // what could not be done; the record then stays
};

// Removes the install of that name from the game folder by its record, which then goes.
std::variant<RemovalResult, InstallRefusal>
removeInstall(const QString& gameFolder, const QString& name,
              const QString& recordsFolder = defaultRecordsFolder());

// Moves a mod folder of the game folder, one Modgate did not install, whole to the trash (after
// the player has confirmed). Only a folder next to System holding a mod manifest; never the game.
// Its path in the trash, or why not.
std::variant<QString, InstallRefusal> removeModFolder(const QString& gameFolder,
                                                      const QString& folder);
