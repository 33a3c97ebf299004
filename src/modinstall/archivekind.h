// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

// How many of a file's first and last bytes the checks below want to see.
inline constexpr qsizetype archiveHeadBytes = 128 * 1024;
// A zip's end record (22 bytes and a comment of up to 65535) with the zip64 locator before it.
inline constexpr qsizetype archiveTailBytes = 22 + 65535 + 20;

// Why a download cannot be installed as an archive, from its name and its first and last
// bytes: ACE archives, and every part of a multi-volume archive (".part1.rar", ".z01",
// ".7z.001", a RAR whose main header has the volume flag, a zip split over several disks).
// Nothing when it may be an archive that can be read.
std::optional<QString> unsupportedArchiveReason(const QString& fileName, QByteArrayView head,
                                                QByteArrayView tail);

// Whether a file's last bytes end in a UMOD trailer (its magic 20 bytes from the end): such a
// file, whatever its name (.exe too), is opened as a UMOD.
bool endsWithUmodTrailer(QByteArrayView tail);
