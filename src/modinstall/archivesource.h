// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modinstall/installplan.h"
#include "modinstall/installsource.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <variant>

// A zip, 7z, rar (4 and 5) or tar (plain, gz, bz2, xz, lzma, zstd) download, read with
// libarchive. Opening lists every entry once; read() reopens the same open file and streams the
// wanted entries' data in chunks, checking each against what the listing saw.
//
// Names are decoded to Unicode: zip names without the UTF-8 flag (and RAR 4 names without
// Unicode) as CP437, everything else as UTF-8; a name that does not decode cleanly refuses the
// archive, as do more than maximumEntries entries, an encrypted entry, an ACE or multi-volume
// archive and anything that is not one of the formats above.
class ArchiveSource final : public InstallSource {
public:
    static constexpr int maximumEntries = 65536;
    // The most read() hands the sink at once.
    static constexpr qsizetype chunkBytes = 64 * 1024;

    static std::variant<std::unique_ptr<ArchiveSource>, InstallRefusal> open(const QString& path);
    ~ArchiveSource() override;
    ArchiveSource(const ArchiveSource&) = delete;
    ArchiveSource& operator=(const ArchiveSource&) = delete;

    QString fileName() const override;
    const QList<SourceEntry>& entries() const override;
    // Fails on any warning libarchive gives while reading an entry's data (a CRC error among
    // them), on an entry that ends before or goes on past the size its header declares, on
    // an archive that no longer lists what it listed when opened, and when the sink stops it.
    // Reads on to the archive's end, so that its last checksums are checked too.
    std::optional<QString> read(const QSet<int>& wanted, const EntryDataSink& sink) override;

private:
    ArchiveSource(int descriptor, QString fileName);

    int descriptor_;
    QString fileName_;
    QList<SourceEntry> entries_;
    // The names as libarchive gave them, to recognise each entry again when reading.
    QList<QByteArray> rawNames_;
};
