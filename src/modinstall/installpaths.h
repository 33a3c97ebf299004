// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/filedescriptor.h"

#include <QByteArray>
#include <QString>

// Whether a path from a plan, a journal or a record may name something below the game folder:
// relative, '/' between components, no empty, "." or ".." component, no control character.
bool isSafeRelativePath(const QString& path);

// The path below the game folder, for messages and for the few calls that take whole paths.
QString belowFolder(const QString& folder, const QString& relative);

// The last component of a relative path, as the file system spells it.
QByteArray lastComponent(const QString& relative);

// Opens the folder that holds the last component of a safe relative path, below the folder open
// at root. Every folder on the way must be a real folder: a link is refused (errno ELOOP or
// ENOTDIR), so nothing is ever reached outside the game folder. Not open on failure, errno set.
FileDescriptor openParentFolder(int root, const QString& relative);

// A folder opened to work below it (closed on exec); not open where it cannot be, errno says why.
FileDescriptor openFolder(const QString& path);
