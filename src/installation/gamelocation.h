// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// A larger game log counts as unreadable: the base-directory line is near its top, and reading
// must not grow without bound.
inline constexpr qsizetype maxGameLogBytes = qsizetype(64) << 20;

// The game folder named by the last base-directory line of a game log's text, or absent. The
// line names the game's System folder: a last component that begins with "System" and ends in a
// separator is removed, the separator before it kept; any other text loses its last 7 characters.
std::optional<QString> gamePathFromGameLog(const QString& logText);

// Whether a chosen path names the game's bundle: its last component equals the bundle file name
// exactly, letter case included.
bool isGameBundlePath(const QString& path);

// The game logs to read, in order: the bundle's, then the Linux clients' per-user one.
QStringList gameLogPaths(const QString& homePath);

// Folders where installers and packages put the game, in the order they are tried.
QStringList wellKnownGameFolders(const QString& homePath, const QString& dataHome);
