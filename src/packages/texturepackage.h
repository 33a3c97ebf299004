// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>
#include <optional>

// The first mipmap of a texture in an Unreal Engine 2 package (.utx), decoded to a picture.
// objectPath is "Name" or "Group.Name", matched without regard to letter case against each
// export's path and bare name; the first Texture export that matches wins. Absent for a missing
// or unreadable file, a missing object, an object that is not a texture, a format we cannot
// decode, or anything malformed. The file is untrusted: only its tables and the one object are
// read, within fixed caps.
std::optional<QImage> readPackageTexture(const QString& packagePath, const QString& objectPath);
