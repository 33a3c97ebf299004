// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modinstall/installplan.h"
#include "modinstall/installsource.h"
#include "modinstall/sourcedigest.h"

#include <QString>
#include <QTemporaryDir>
#include <atomic>
#include <memory>
#include <variant>

// A download made ready to go into one game folder: opened, its entries placed, planned against
// what is on disk, and every file of the same size compared, so the plan says exactly what is
// new, what is already there and what would be replaced.
struct PreparedInstall {
    QString downloadPath;
    QString gameFolder;
    // Where a UMOD that came inside an archive was copied out to; inside the game folder, named
    // like a staging folder, so that a Modgate killed meanwhile clears it at the next start.
    std::unique_ptr<QTemporaryDir> scratch;
    std::unique_ptr<InstallSource> source;
    InstallPlan plan;
    // Started as soon as the download is chosen, for the install to wait on.
    std::shared_ptr<SourceDigest> digest;
};

// Everything up to the point of asking the player; writes nothing to the game folder but a
// scratch folder that goes with the result. Refused before anything is read when the game
// folder cannot be written to. The caller holds the write lock.
std::variant<std::unique_ptr<PreparedInstall>, InstallRefusal>
prepareInstall(const QString& downloadPath, const QString& gameFolder,
               const std::atomic<bool>* cancel = nullptr);
