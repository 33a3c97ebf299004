// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>
#include <optional>

// The largest logo picture we decode, in either direction.
constexpr int maxLogoSide = 4096;

// A mod's logo as the game's mods page finds it: modLogo names "Package.Texture" or
// "Package.Group.Texture", the package being the text before the first dot and the file
// <modFolder>/Textures/<Package>.utx. Failing that, the mod's splash picture
// <modFolder>/Help/<ModFolder>Logo.bmp. Folder and file names are matched without regard to
// letter case, as on Windows where mods come from. Absent when neither gives a picture. Reads
// files: never call it on the main thread.
std::optional<QImage> loadModLogo(const QString& modFolder, const QString& modLogo);
