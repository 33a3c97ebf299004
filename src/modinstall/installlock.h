// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLockFile>
#include <QString>

// The lock every writer to a game folder holds: the window's install, removal and recovery, and
// the command line's, so a window and a script never write at once. One per user, in the runtime
// folder; a lock left by a Modgate that has died is taken over.
class InstallLock {
public:
    static QString defaultPath();

    // Takes the lock at once or not at all.
    explicit InstallLock(const QString& path = defaultPath());
    InstallLock(const InstallLock&) = delete;
    InstallLock& operator=(const InstallLock&) = delete;

    bool isHeld() const { return file.isLocked(); }
    // Why the lock is not held, in words for the player.
    QString refusal() const;

private:
    QLockFile file;
};
