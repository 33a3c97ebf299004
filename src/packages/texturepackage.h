// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>
#include <optional>

class QIODevice;

// The first mipmap of a texture in an Unreal Engine 2 package (.utx), decoded to a picture in
// QImage::Format_ARGB32. objectPath is "Name" or "Group.Name", matched without regard to letter
// case against each export's path and bare name; the first material export that matches wins,
// and only a Texture gives a picture. Absent for a missing or unreadable file, a missing object,
// an object that is not a texture, a format we cannot decode, or anything malformed. The file is
// untrusted: only its header, tables and the one object are read, within fixed caps.
std::optional<QImage> readPackageTexture(const QString& packagePath, const QString& objectPath);

// The same from an open, random-access device (a file or a buffer).
std::optional<QImage> readPackageTexture(QIODevice& device, const QString& objectPath);
