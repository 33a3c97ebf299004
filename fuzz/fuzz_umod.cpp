// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes as a downloaded UMOD installer: read as they are, then again with the trailer's size and
// checksum made right so that the directory behind them is reached; an installer that reads is
// streamed whole, and its manifest resolved and placed. The bytes are also read as a manifest.
#include "modinstall/installsource.h"
#include "modinstall/umodplacement.h"
#include "packages/umodarchive.h"
#include "packages/umodcrc.h"
#include "packages/umodmanifest.h"

#include <QBuffer>
#include <QByteArray>
#include <QSet>
#include <QtEndian>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

void checkManifest(const std::variant<UmodManifest, QString>& result) {
    if (const QString* why = std::get_if<QString>(&result)) {
        require(!why->isEmpty());
        return;
    }
    for (const UmodFileLine& line : std::get<UmodManifest>(result).files)
        require(!line.source.isEmpty() && !line.destination.isEmpty() &&
                !isUmodManifestName(line.source) && !isUmodManifestName(line.destination));
}

QByteArray entryBytes(QIODevice& device, const UmodEntry& entry) {
    QByteArray bytes;
    require(readUmodEntry(device, entry, 4096, [&](QByteArrayView chunk) {
                bytes += chunk;
                return true;
            }) == UmodReadEnd::Done);
    require(bytes.size() == entry.size);
    return bytes;
}

void checkUmod(QByteArray bytes) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    qint64 observed = 0;
    const auto result =
        readUmodArchive(buffer, [&](QByteArrayView block) { observed += block.size(); });
    if (const QString* why = std::get_if<QString>(&result)) {
        require(!why->isEmpty());
        return;
    }
    require(observed == bytes.size());
    const UmodArchive& archive = std::get<UmodArchive>(result);
    QList<SourceEntry> entries;
    QByteArray ini, localised;
    for (const UmodEntry& entry : archive.entries) {
        require(!entry.name.isEmpty() && entry.offset >= 0 && entry.size >= 0 &&
                entry.offset + entry.size <= archive.directoryOffset);
        const QByteArray data = entryBytes(buffer, entry);
        const QString name = QString(entry.name).replace(u'\\', u'/');
        if (name.compare(u"System/Manifest.ini", Qt::CaseInsensitive) == 0)
            ini = data;
        else if (name.compare(u"System/Manifest.int", Qt::CaseInsensitive) == 0)
            localised = data;
        entries.append(SourceEntry{entry.name, SourceEntryType::File, entry.size, false});
    }
    const auto manifest = resolveUmodManifest(ini, localised);
    checkManifest(manifest);
    if (const UmodManifest* resolved = std::get_if<UmodManifest>(&manifest)) {
        const auto placed = placeUmod(*resolved, entries);
        if (const UmodPlacement* placement = std::get_if<UmodPlacement>(&placed)) {
            QSet<int> seen;
            for (const auto& [entry, destination] : placement->files) {
                require(entry >= 0 && entry < entries.size() && !destination.isEmpty());
                seen.insert(entry);
            }
            for (const LeftOutEntry& entry : placement->leftOut)
                require(!seen.contains(entry.entry) && !entry.reason.isEmpty());
            require(seen.size() + placement->leftOut.size() == entries.size());
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkUmod(bytes);
    if (bytes.size() > umodTrailerSize) {
        QByteArray sealed = bytes;
        char* trailer = sealed.data() + sealed.size() - umodTrailerSize;
        qToLittleEndian(quint32(sealed.size()), trailer + 8);
        qToLittleEndian(umodCrc(QByteArrayView(sealed).chopped(umodTrailerSize)), trailer + 16);
        checkUmod(sealed);
    }
    checkManifest(resolveUmodManifest(bytes, bytes));
    return 0;
}
