// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLatin1StringView>
#include <QString>

// What the launcher relies on in an installed copy of the game.
namespace GameInstallation {

inline constexpr QLatin1StringView bundleFileName{"Unreal Tournament 2004.app"};
inline constexpr QLatin1StringView firstFolderShown{"/Applications"};
inline constexpr QLatin1StringView executableSuffix{"/Contents/MacOS/Unreal Tournament 2004"};
// Below the user's home folder.
inline constexpr QLatin1StringView gameLogRelativePath =
    QLatin1StringView{"Library/Application Support/Unreal Tournament 2004/System/UT2004.log"};
inline constexpr QLatin1StringView baseDirectoryPrefix{"Init: Base directory: "};
inline constexpr int baseDirectoryTailLength = 7;
inline constexpr QLatin1StringView manifestFileName{"ut2k4mod.ini"};

// Plain concatenation: no separator is added or removed.
QString executablePath(const QString& bundlePath);
// The folder the mod search walks: the bundle path and one "/".
QString searchBase(const QString& bundlePath);
// The game log of the user whose home folder is given.
QString gameLogPath(const QString& homePath);

} // namespace GameInstallation
