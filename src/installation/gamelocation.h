#pragma once

#include <QString>
#include <optional>

// A larger game log counts as unreadable: the base-directory line is near its top, and reading
// must not grow without bound.
inline constexpr qsizetype maxGameLogBytes = qsizetype(64) << 20;

// The bundle path named by the last base-directory line of a game log's text, or absent.
std::optional<QString> bundlePathFromGameLog(const QString& logText);

// Whether a chosen path names the game's bundle: its last component equals the bundle file name
// exactly, letter case included.
bool isGameBundlePath(const QString& path);
