// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>
#include <sys/types.h>

// The desktop's trash, where Modgate puts what it takes out of a game folder, so the player can
// still get it back.

// Moves a file or folder (a link as such) to the trash: its path there, or absent with why.
std::optional<QString> moveToTrash(const QString& path, QString& why);

// Puts a file taken to the trash back at its old place, never over something there, and drops
// the trash's note about it; only from a trash's own files folder. Absent on success, else why
// not.
std::optional<QString> restoreFromTrash(const QString& pathInTrash, const QString& originalPath);

// Where the file with this identity went in a trash the desktop keeps for the folder near:
// the user's own and the one at the top of near's file system. Absent when it is in neither.
std::optional<QString> findInTrash(dev_t device, ino_t inode, const QString& near);
