// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modinstall/installplan.h"
#include "modinstall/installrecord.h"
#include "modinstall/installsource.h"
#include "modinstall/sourcedigest.h"

#include <QLatin1StringView>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <variant>

// Installing a planned download into a game folder, all or nothing.
//
// Every file is first written into a staging folder inside the game folder (so on the same file
// system), counting the bytes really written. Only when all are there, each replaced file goes to
// the desktop's trash and each new file is renamed into place, after a journal in the staging
// folder has listed those steps. Any failure undoes the steps taken; a Modgate killed halfway
// leaves the journal, and recoverInterruptedInstalls() undoes it later. The caller holds the
// write lock (installlock.h) throughout.

// Bounds on what one install may write, whatever the download's headers claim.
struct InstallLimits {
    int maxEntries = 65536;
    qint64 maxBytes = qint64(16) << 30;
    // Left free on the game's file system.
    qint64 freeSpaceMargin = qint64(256) << 20;
};

struct InstallOptions {
    // Whether files already there that differ may be replaced.
    bool consentToReplace = false;
    // Bytes read from the download so far, of the bytes its headers announce; on the installing
    // thread, about once per megabyte.
    std::function<void(qint64 done, qint64 total)> progress;
    // Set from any thread to stop; the install then undoes what it did.
    const std::atomic<bool>* cancel = nullptr;
    // The download's SHA-256 for the record, being worked out meanwhile; none: not hashed.
    std::shared_ptr<SourceDigest> sourceDigest;
    QString recordsFolder = defaultRecordsFolder();
    InstallLimits limits;
    // Called after each file is moved into place with how many are: lets tests stop an install
    // at a chosen point.
    std::function<void(int moved)> afterMove;
};

// The start of a staging folder's name, directly inside the game folder.
inline constexpr QLatin1StringView stagingFolderPrefix{".modgate-staging-"};

// The plan with each Compare decided, by comparing the entry's bytes with the file on disk:
// Identical when they are the same, else Replace (New when the file has gone since). Reads only
// those entries. A refusal when the download cannot be read or the reading is cancelled.
std::variant<InstallPlan, InstallRefusal>
resolveComparisons(const QString& gameFolder, InstallSource& source, const InstallPlan& plan,
                   const std::atomic<bool>* cancel = nullptr);

// Installs the plan's files from the source into the game folder and writes the install's record
// (merged with an earlier install of the same name, see mergeReinstall()). Comparisons left in the
// plan are resolved first; replacing needs consent. The record, or why nothing was changed.
std::variant<InstallRecord, InstallRefusal> installMod(const QString& gameFolder,
                                                       InstallSource& source,
                                                       const InstallPlan& plan,
                                                       const InstallOptions& options = {});

struct RecoveryReport {
    int undone = 0;   // installs cut short and undone
    int finished = 0; // installs that had committed: their records written
    QStringList problems;
};

// Finds the staging folders a killed Modgate left in the game folder: an install that had not
// committed is undone from its journal, one that had is kept and its record written; then the
// staging folder goes. The caller holds the write lock.
RecoveryReport recoverInterruptedInstalls(const QString& gameFolder);
