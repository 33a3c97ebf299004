// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/installlock.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString InstallLock::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/org.modgate.Modgate.write.lock");
}

InstallLock::InstallLock(const QString& path) : file(path) {
    // Only a dead holder's lock is stale, however long an install takes.
    file.setStaleLockTime(0);
    QDir().mkpath(QFileInfo(path).path());
    file.tryLock(0);
}

QString InstallLock::refusal() const {
    switch (file.error()) {
    case QLockFile::NoError:
        return {};
    case QLockFile::LockFailedError:
        return QStringLiteral("another Modgate is installing or removing a mod");
    case QLockFile::PermissionError:
        return QStringLiteral("Modgate cannot lock %1: Permission denied").arg(file.fileName());
    case QLockFile::UnknownError:
        break;
    }
    return QStringLiteral("Modgate cannot lock %1").arg(file.fileName());
}
