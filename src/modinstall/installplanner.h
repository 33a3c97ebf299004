// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modinstall/gamefoldersnapshot.h"
#include "modinstall/installplacement.h"
#include "modinstall/installplan.h"
#include "modinstall/installsource.h"

#include <QList>
#include <QString>
#include <variant>

// Turns where a download's entries go into what the install will do to the game folder:
// - every destination passes the name rules again, and only regular, unencrypted entries go;
// - two destinations that differ only in letter case (or not at all), or a name that would be
//   both a file and a folder, refuse the download;
// - each folder and file name is spelled as on disk when the disk has it ignoring case
//   ("textures/x.utx" goes into the existing "Textures/"); new top folders of the game get
//   their canonical spelling, other new names the first spelling the download uses; where the
//   disk holds case twins the exact match is taken, else the download is refused;
// - a name on disk that is a file where a folder is needed (or the other way round), a link or
//   anything but a regular file or folder, or a folder whose real path leaves the game folder,
//   refuses the download;
// - an existing file of another size is replaced, one of the same size compared; everything
//   else is new, with the folders it needs listed in newFolders.
// The mod folder is the top folder of a destination "<Folder>/UT2K4Mod.ini" (preferring the
// one named as the install), unless that folder is one of the game's own.
std::variant<InstallPlan, InstallRefusal> planInstall(const InstallPlacement& placement,
                                                      const QList<SourceEntry>& entries,
                                                      const QString& sourceFile,
                                                      const GameFolderSnapshot& disk);
