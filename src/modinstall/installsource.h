// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QList>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

// What one entry of a download is. Only regular files are ever installed.
enum class SourceEntryType { File, Directory, Symlink, HardLink, Other };

// One entry of a download, as the file lists it.
struct SourceEntry {
    // The entry's name as stored, decoded to Unicode; '\' is still in it.
    QString name;
    SourceEntryType type = SourceEntryType::File;
    // The size the file's own header claims: a hint for the plan and the progress bar, never
    // trusted while writing. -1 when the header gives none.
    qint64 declaredSize = -1;
    bool encrypted = false;
};

// Receives the data of the entries being read, one entry after another.
struct EntryDataSink {
    // Each returns false to stop reading (a cancel, a limit); read() then reports stopReason.
    std::function<bool(int entry)> begin;
    std::function<bool(int entry, QByteArrayView chunk)> data;
    std::function<bool(int entry)> end;
};

// A download opened for installing: an archive or a UMOD. It lists its entries once, then
// streams the data of the entries asked for, in the file's own order, in chunks.
class InstallSource {
public:
    virtual ~InstallSource() = default;

    // The download's file name, without its folder ("MyMod.zip").
    virtual QString fileName() const = 0;
    virtual const QList<SourceEntry>& entries() const = 0;
    // Streams the wanted entries' data to the sink. Returns why it failed (a damaged file, a
    // CRC error, a size that differs from the header, encryption, a sink that stopped), or
    // nothing when every wanted entry was read whole.
    virtual std::optional<QString> read(const QSet<int>& wanted, const EntryDataSink& sink) = 0;
};
