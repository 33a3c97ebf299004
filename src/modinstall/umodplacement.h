// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modinstall/installplan.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <variant>

class InstallSource;
struct SourceEntry;
struct UmodManifest;

// Where a UMOD installer's manifest puts its files, before any check of the names themselves
// or of what is on disk.
struct UmodPlacement {
    QString name; // the installer's LocalProduct, else its Product; empty when it gives neither
    // Entry index and destination as the manifest writes it: relative to the game folder,
    // '\' separators, not yet vetted.
    QList<std::pair<int, QString>> files;
    QList<LeftOutEntry> leftOut; // every other entry, with why
    QStringList iniEditsNotApplied;
    std::optional<QString> programNotRun; // [Setup] Exe=, offered by Setup after installing
};

// Matches the manifest's lines with the installer's entries (names compared in any letter case,
// '\' as '/'). Refused when a line names an entry the installer does not hold (Setup would take
// the file from the disk instead), or when two lines put different entries at one destination.
std::variant<UmodPlacement, InstallRefusal> placeUmod(const UmodManifest& manifest,
                                                      const QList<SourceEntry>& entries);

// Reads System\Manifest.ini and System\Manifest.int from the installer (at most 1 MiB each),
// resolves them (resolveUmodManifest) and places the files as above. Refused as "holds no
// Manifest.ini" without one, and for whatever the manifest is refused for.
std::variant<UmodPlacement, InstallRefusal> placeUmod(InstallSource& source);
