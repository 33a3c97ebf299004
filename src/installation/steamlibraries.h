// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// A larger library list is not Steam's: it is not read.
inline constexpr qsizetype maxSteamLibraryFileBytes = qsizetype(64) << 10;

// The library folders a Steam library list (steamapps/libraryfolders.vdf, Valve's KeyValues text)
// names: every "path" value of a block inside the top block, and, in the older form, every value
// of the top block under a number. Nothing at all where the text is not well formed: a string
// left open, unbalanced braces, a key without a value, a control character outside a string.
QStringList steamLibraryPaths(QStringView text);

// The Steam folders below a home folder: the native client's two names and the Flatpak's.
QStringList steamRoots(const QString& homePath);

// The native trees the community builds inside Steam's (Windows) copy of the game, newest first.
QStringList steamNativeTrees(const QString& steamGame);

// The game folders to try in a Steam library: the native trees, then Steam's copy itself.
QStringList steamGameFolders(const QString& library);
