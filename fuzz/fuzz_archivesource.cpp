// SPDX-License-Identifier: GPL-3.0-or-later
// A download's bytes: the checks on its first and last bytes, then the archive opened, listed
// and every file in it read, as an install does.
#include "modinstall/archivekind.h"
#include "modinstall/archivesource.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

// What a fuzzed archive may unpack to before the sink stops it, so that bombs stay quick.
constexpr qint64 readLimit = 16 * 1024 * 1024;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(data, qsizetype(size));
    const QByteArrayView head = bytes.first(qMin(bytes.size(), archiveHeadBytes));
    const QByteArrayView tail = bytes.last(qMin(bytes.size(), archiveTailBytes));
    for (const char* name : {"x.zip", "x.rar", "x.part1.rar"})
        if (const std::optional<QString> reason = unsupportedArchiveReason(name, head, tail))
            require(!reason->isEmpty());
    endsWithUmodTrailer(tail);

    static const QString path =
        QDir::tempPath() + QStringLiteral("/modgate-fuzz-archive-%1").arg(::getpid());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes.data(), bytes.size()) != bytes.size())
        return 0;
    file.close();

    std::variant<std::unique_ptr<ArchiveSource>, InstallRefusal> opened = ArchiveSource::open(path);
    if (const InstallRefusal* refused = std::get_if<InstallRefusal>(&opened)) {
        require(!refused->reason.isEmpty());
        return 0;
    }
    ArchiveSource& source = *std::get<std::unique_ptr<ArchiveSource>>(opened);
    require(source.entries().size() <= ArchiveSource::maximumEntries);
    QSet<int> files;
    for (int i = 0; i < source.entries().size(); ++i) {
        require(!source.entries()[i].encrypted ||
                source.entries()[i].type == SourceEntryType::Directory);
        if (source.entries()[i].type == SourceEntryType::File)
            files.insert(i);
    }

    qint64 total = 0, entryBytes = 0;
    int current = -1;
    EntryDataSink sink;
    sink.begin = [&](int entry) {
        require(files.contains(entry) && entry > current);
        current = entry;
        entryBytes = 0;
        return true;
    };
    sink.data = [&](int entry, QByteArrayView chunk) {
        require(entry == current && chunk.size() <= ArchiveSource::chunkBytes);
        entryBytes += chunk.size();
        const qint64 declared = source.entries()[entry].declaredSize;
        require(declared < 0 || entryBytes <= declared);
        total += chunk.size();
        return total <= readLimit;
    };
    sink.end = [&](int entry) {
        const qint64 declared = source.entries()[entry].declaredSize;
        require(declared < 0 || entryBytes == declared);
        return true;
    };
    source.read(files, sink);
    return 0;
}
