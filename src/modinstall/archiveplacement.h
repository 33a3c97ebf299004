// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modinstall/installplacement.h"
#include "modinstall/installplan.h"
#include "modinstall/installsource.h"

#include <QList>
#include <QString>
#include <variant>

// Where an archive's entries go, from their names and types alone:
// - a folder that directly holds UT2K4Mod.ini is a mod folder and goes, with everything below
//   it, to <its name>/ at the game root, whatever wrappers lie above it;
// - otherwise a folder that holds everything else is a wrapper and is dropped (three at most);
// - top folders named as the game's own (System, Maps, ...) go there;
// - loose files go by their extension (.u to System, .ut2 to Maps, ...);
// - everything else is left out and listed with the reason: readmes and pictures at the top
//   (kept with the install's record), UnrealScript sources, native code, loose .ini files,
//   nested archives, unknown kinds of file, links and other special entries.
// Junk (__MACOSX/, .DS_Store, ...) is dropped silently, directory entries only imply folders.
// Any name the name rules refuse refuses the whole archive; so does an archive with nothing to
// install.
std::variant<InstallPlacement, InstallRefusal>
placeArchiveEntries(const QList<SourceEntry>& entries, const QString& fileName);

// A download's name without its folder and extension ("MyMod.tar.gz" gives "MyMod").
QString installNameFromFileName(const QString& fileName);
