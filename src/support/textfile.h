// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Decodes a whole text file's bytes: a byte-order mark picks UTF-8, UTF-16 LE or BE and is
// dropped; otherwise UTF-8 when the bytes are valid UTF-8, else Windows-1252.
QString decodeText(const QByteArray& bytes);

// The whole file as text; absent when it cannot be read (missing, unreadable, a folder) or holds
// more than maxBytes bytes. No more than maxBytes + 1 bytes are ever read into memory.
std::optional<QString> stringWithContentsOfFile(const QString& path, qsizetype maxBytes);
// The first bytes of a regular file, at most maxBytes of them; absent for anything else (a FIFO
// or a device is never waited on).
std::optional<QByteArray> headOfRegularFile(const QString& path, qsizetype maxBytes);
// The same, for a path given as the file system's own bytes.
std::optional<QString> stringWithContentsOfNativePath(const QByteArray& nativePath,
                                                      qsizetype maxBytes);
