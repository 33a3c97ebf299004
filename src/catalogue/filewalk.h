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

// Visits every file and folder below root (not root itself), parents before their contents, in
// the order the file system lists them. Symbolic links are reported but never followed, so a
// link loop cannot make the walk endless; hidden entries are included; a folder that cannot be
// read is reported and passed over. A root that is missing or unreadable gives no entries.
void walkFileTree(const QByteArray& root, const std::function<void(const FileWalkEntry&)>& visit);
