// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "installation/gamelayout.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// Most entries looked at in the games folder: a folder of thousands must not stall start-up.
inline constexpr int maxGamesFolderEntries = 1000;

// Where copies of the game are looked for, in the order they are tried.
struct GameCopyPlaces {
    QStringList gameLogs;         // each names the copy that wrote it
    QStringList wellKnownFolders; // where installers and packages put the game
    QStringList desktopEntries;   // installers' menu entries, naming the game's executable
    QStringList steamRoots;       // each a library, and the root of a list of libraries
    QString gamesFolder;          // game managers' folder: <name>/ or <name>/<game's name>/
    QStringList pathFolders;      // where a `ut2004` command may link into the game
};

// The places for the current user: below the home folder, the data home and the PATH.
GameCopyPlaces defaultGameCopyPlaces();

// The games folder's entries one level down, at most maxGamesFolderEntries of them, links to
// folders included.
QStringList gamesFolderEntries(const QString& gamesFolder);
using GamesFolderLister = std::function<QStringList(const QString& gamesFolder)>;

// Every recognised copy of the game in the places, in their order, each folder once (compared by
// canonical path), as the place names it. A place that cannot be read gives none. Files are read
// only where they are regular files, so a FIFO in a file's place holds nothing up.
QStringList findGameCopies(const GameCopyPlaces& places,
                           CpuArchitecture architecture = hostArchitecture(),
                           const GamesFolderLister& listGamesFolder = gamesFolderEntries);

// Whether two paths name the same folder; an absent folder only equals its own path.
bool isSameFolder(const QString& one, const QString& other);

// A path as a player reads it: the home folder as "~", no trailing separator.
QString homeRelativePath(const QString& path, const QString& homePath);

// The copy of the game a folder named by the player stands for: the folder itself where it holds
// one, or the game above a System folder; absent where there is none.
std::optional<QString> recognisedGameCopy(const QString& folder);
