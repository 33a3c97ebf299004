// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <functional>

// One file or folder met by the walk, as the file system's own bytes (no decoding on the way:
// a name that is not valid text must still be reachable).
struct FileWalkEntry {
    QByteArrayView path;         // full path, usable to open the entry
    QByteArrayView relativePath; // below the walked folder, no leading "/"
    QByteArrayView name;         // last component
};

using FileWalkVisitor = std::function<void(const FileWalkEntry&)>;
// Asked for each symbolic link directly below the root, with the link's path: whether to walk
// the folder it leads to as if it stood there.
using TopLevelLinkFilter = std::function<bool(const QByteArray& linkPath)>;

// Visits every file and folder below root (not root itself), parents before their contents, in
// the order the file system lists them. Symbolic links are reported but not followed, so a link
// loop cannot make the walk endless; only a link directly below the root that followTopLevelLink
// accepts is walked into, right after it is reported, and no link below it is. Hidden entries
// are included; a folder that cannot be read is reported and passed over. A root that is missing
// or unreadable gives no entries.
void walkFileTree(const QByteArray& root, const FileWalkVisitor& visit,
                  const TopLevelLinkFilter& followTopLevelLink = {});
