// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

class QFile;

// Opens the file at path for reading, unbuffered, only when it is a regular file: a FIFO never
// holds the caller at open(), and a folder or a device is refused. Gives why it could not
// ("No such file or directory", "not a regular file"), or nothing once the file is open.
std::optional<QString> openRegularFile(QFile& file, const QString& path);
