// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <functional>
#include <variant>

class QIODevice;

// One file stored in a UMOD installer (.umod, .ut2mod, .ut4mod, or a self-extracting .exe).
struct UmodEntry {
    QString name;      // as stored, relative to the game folder, with '\' separators
    qint64 offset = 0; // where its bytes start, from the start of the file
    qint64 size = 0;
    quint32 flags = 0; // informational only; 3 on the installer's own manifests
};

// A UMOD installer whose trailer, checksum and list of files have all been checked.
struct UmodArchive {
    qint64 fileSize = 0;
    qint64 directoryOffset = 0;
    quint32 crc = 0;
    QList<UmodEntry> entries; // in the order the directory lists them
};

inline constexpr qint64 umodTrailerSize = 20;
// More files than any mod ships; a directory claiming more is refused before anything is kept.
inline constexpr qint64 umodMostEntries = 65536;
inline constexpr qint64 umodLongestName = 1024; // bytes of UTF-8

// Whether the last 20 bytes start with a UMOD trailer's magic: cheap, for telling a UMOD from
// other downloads whatever its name (a self-extracting .exe is one, and is never run). Moves the
// device's position.
bool hasUmodTrailer(QIODevice& device);
bool hasUmodTrailer(const QString& path);

// Sees every byte of the file once, in order and in blocks, trailer included, while the
// checksum is worked out: a second digest of the file costs no second read.
using UmodBlockObserver = std::function<void(QByteArrayView block)>;

// Reads and checks a UMOD installer from an open, random-access device: the trailer (magic,
// version 1, the size it gives against the real size), the checksum over everything before the
// trailer (read in blocks, never whole), then the list of files, strictly inside its bounds.
// Gives the refusal's reason in plain words for "Could not install <file>: <reason>"; a damaged
// checksum is "the file is damaged". Nothing is reserved for a count or size before it is
// bounded by the real file.
std::variant<UmodArchive, QString> readUmodArchive(QIODevice& device,
                                                   const UmodBlockObserver& observer = {});
std::variant<UmodArchive, QString> readUmodArchive(const QString& path,
                                                   const UmodBlockObserver& observer = {});

enum class UmodReadEnd { Done, Stopped, Failed };

// Streams one entry's bytes to take() in chunks of at most chunkSize bytes. Stopped when take()
// returns false; Failed when the device gives fewer bytes than the entry holds.
UmodReadEnd readUmodEntry(QIODevice& device, const UmodEntry& entry, qint64 chunkSize,
                          const std::function<bool(QByteArrayView chunk)>& take);
