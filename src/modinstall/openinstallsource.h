// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modinstall/installplan.h"
#include "modinstall/installsource.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>
#include <variant>

// A download opened for installing.
struct OpenedInstallSource {
    enum class Kind { Archive, Umod };
    std::unique_ptr<InstallSource> source;
    Kind kind = Kind::Archive;
    // For a UMOD that came inside an archive: its copy in the scratch folder (removed by the
    // caller once the install is over), and the archive's other entries, which are not
    // installed. Their entry is -1: they are not the source's entries.
    std::optional<QString> extractedInstaller;
    QList<LeftOutEntry> leftOutOfArchive;
};

// Opens a download: a file whose last 20 bytes are a UMOD trailer as a UMOD, anything else as
// an archive. An archive that holds exactly one UMOD (.umod, .ut2mod, .ut4mod) stands for that
// UMOD: it is copied into scratchFolder and opened instead, and the archive's other entries are
// left out; an archive with more than one is refused. No other nesting is followed.
std::variant<OpenedInstallSource, InstallRefusal> openInstallSource(const QString& path,
                                                                    const QString& scratchFolder);

// The regular, non-junk entries of an archive that are UMOD installers, by their extension.
QList<int> nestedInstallers(const QList<SourceEntry>& entries);

// The archive's entries beside the installer that is installed instead, as left out (entry -1;
// folders and junk are not listed).
QList<LeftOutEntry> leftOutBesideInstaller(const QList<SourceEntry>& entries, int installer);

// Copies one entry of a source into a new file in the folder, created exclusively with mode
// 0600 and named after the entry where its name allows, and gives the file's path. More than
// maximumBytes refuses the copy; a failed copy leaves no file behind.
std::variant<QString, InstallRefusal> copyEntryToFolder(InstallSource& source, int entry,
                                                        const QString& folder, qint64 maximumBytes);
