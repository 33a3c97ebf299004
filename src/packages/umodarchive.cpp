// SPDX-License-Identifier: GPL-3.0-or-later
#include "packages/umodarchive.h"
#include "packages/packagecursor.h"
#include "packages/umodcrc.h"
#include "support/regularfile.h"

#include <QFile>
#include <QHash>
#include <QLocale>
#include <QStringDecoder>
#include <QtEndian>
#include <algorithm>
#include <numeric>
#include <optional>

namespace {

constexpr quint32 umodMagic = 0x9FE3C5A3;
constexpr quint32 umodVersion = 1;
constexpr qint64 checksumBlock = 1024 * 1024;
// The smallest entry that parses: a length byte, the NUL, offset, size and flags.
constexpr qint64 smallestEntry = 1 + 1 + 3 * 4;

struct Trailer {
    quint32 magic, directoryOffset, totalSize, version, crc;
};

std::optional<Trailer> readTrailer(QIODevice& device, qint64 size) {
    uchar bytes[umodTrailerSize];
    if (size < umodTrailerSize || !device.seek(size - umodTrailerSize) ||
        device.read(reinterpret_cast<char*>(bytes), umodTrailerSize) != umodTrailerSize)
        return std::nullopt;
    return Trailer{qFromLittleEndian<quint32>(bytes), qFromLittleEndian<quint32>(bytes + 4),
                   qFromLittleEndian<quint32>(bytes + 8), qFromLittleEndian<quint32>(bytes + 12),
                   qFromLittleEndian<quint32>(bytes + 16)};
}

QString number(qint64 value) {
    return QLocale(QLocale::English).toString(value);
}

const QString cannotRead = QStringLiteral("the file could not be read");

// Reads the whole file once in large blocks: the checksum of all but the trailer, and every
// block for the observer.
std::optional<QString> checkChecksum(QIODevice& device, qint64 size, quint32 stored,
                                     const UmodBlockObserver& observer) {
    if (!device.seek(0))
        return cannotRead;
    QByteArray block(qsizetype(std::min(size, checksumBlock)), Qt::Uninitialized);
    const qint64 covered = size - umodTrailerSize;
    quint32 crc = 0;
    for (qint64 at = 0; at < size;) {
        const qint64 want = std::min<qint64>(block.size(), size - at);
        if (device.read(block.data(), want) != want)
            return cannotRead;
        const QByteArrayView view(block.constData(), qsizetype(want));
        if (at < covered)
            crc = umodCrc(view.first(qsizetype(std::min(want, covered - at))), crc);
        if (observer)
            observer(view);
        at += want;
    }
    if (crc != stored)
        return QStringLiteral("the file is damaged");
    return std::nullopt;
}

class DirectoryReader {
public:
    DirectoryReader(QIODevice& device, qint64 size, qint64 directoryOffset)
        : cursor(device), size(size), directoryOffset(directoryOffset) {}

    std::optional<QList<UmodEntry>> read();
    // Why read() gave nothing.
    QString refusal;

private:
    template <typename T> std::optional<T> refuse(const QString& why) {
        refusal = QStringLiteral("its list of files is faulty: %1").arg(why);
        return std::nullopt;
    }
    std::optional<QString> name();
    QString decode(QByteArrayView bytes);

    PackageCursor cursor;
    qint64 size;
    qint64 directoryOffset;
    std::optional<QStringDecoder> windows1252;
};

QString DirectoryReader::decode(QByteArrayView bytes) {
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; }))
        return QString::fromLatin1(bytes);
    // Windows code-page text; its five unassigned bytes become C1 controls, refused below.
    if (!windows1252)
        windows1252.emplace("windows-1252", QStringConverter::Flag::Stateless);
    return windows1252->decode(bytes);
}

std::optional<QString> DirectoryReader::name() {
    const qint64 length = cursor.compact();
    if (!cursor.ok())
        return refuse<QString>(QStringLiteral("it ends too soon"));
    if (length == 0)
        return refuse<QString>(QStringLiteral("a file name is empty"));
    const bool wide = length < 0;
    const qint64 units = wide ? -length : length;
    // Every stored unit but the NUL gives at least one byte of UTF-8, so this bounds the read.
    if (units - 1 > umodLongestName)
        return refuse<QString>(QStringLiteral("a file name is too long"));
    const qint64 bytes = wide ? 2 * units : units;
    if (bytes > cursor.remaining())
        return refuse<QString>(QStringLiteral("it ends too soon"));
    QByteArray raw(qsizetype(bytes), Qt::Uninitialized);
    if (!cursor.read(raw.data(), bytes))
        return refuse<QString>(QStringLiteral("it ends too soon"));
    QString text;
    if (wide) {
        if (qFromLittleEndian<quint16>(raw.constData() + bytes - 2) != 0)
            return refuse<QString>(QStringLiteral("a file name does not end where it should"));
        text.resize(qsizetype(units - 1));
        qFromLittleEndian<char16_t>(raw.constData(), units - 1, text.data());
        // A lone surrogate is no character at all.
        if (!QStringView(text).isValidUtf16())
            return refuse<QString>(QStringLiteral("a file name is not valid text"));
    } else {
        if (raw.back() != '\0')
            return refuse<QString>(QStringLiteral("a file name does not end where it should"));
        text = decode(QByteArrayView(raw).chopped(1));
    }
    if (text.isEmpty())
        return refuse<QString>(QStringLiteral("a file name is empty"));
    if (std::any_of(text.begin(), text.end(),
                    [](QChar c) { return c.category() == QChar::Other_Control; }))
        return refuse<QString>(QStringLiteral("a file name holds a control character"));
    if (text.toUtf8().size() > umodLongestName)
        return refuse<QString>(QStringLiteral("a file name is too long"));
    return text;
}

std::optional<QList<UmodEntry>> DirectoryReader::read() {
    using Entries = QList<UmodEntry>;
    const qint64 end = size - umodTrailerSize;
    if (directoryOffset >= end || !cursor.setWindow(directoryOffset, end - directoryOffset))
        return refuse<Entries>(QStringLiteral("it starts outside the file"));
    const qint64 count = cursor.compact();
    if (!cursor.ok())
        return refuse<Entries>(QStringLiteral("it ends too soon"));
    if (count < 0)
        return refuse<Entries>(QStringLiteral("it claims a negative number of files"));
    if (count > cursor.remaining() / smallestEntry)
        return refuse<Entries>(QStringLiteral("it claims more files than it has room for"));
    if (count > umodMostEntries) {
        refusal = QStringLiteral("it holds more than %1 files").arg(number(umodMostEntries));
        return std::nullopt;
    }

    Entries entries;
    entries.reserve(qsizetype(count));
    for (qint64 i = 0; i < count; ++i) {
        std::optional<QString> name = this->name();
        if (!name)
            return std::nullopt;
        UmodEntry entry;
        entry.name = std::move(*name);
        entry.offset = cursor.uint32();
        entry.size = cursor.uint32();
        entry.flags = cursor.uint32();
        if (!cursor.ok())
            return refuse<Entries>(QStringLiteral("it ends too soon"));
        if (entry.offset + entry.size > directoryOffset)
            return refuse<Entries>(
                QStringLiteral("%1 lies outside the file's data").arg(entry.name));
        entries.append(std::move(entry));
    }
    if (cursor.remaining() != 0)
        return refuse<Entries>(QStringLiteral("stray bytes follow it"));

    // Overlaps, in offset order; an empty file shares no byte with any other.
    QList<qsizetype> order(entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](qsizetype a, qsizetype b) { return entries[a].offset < entries[b].offset; });
    qsizetype previous = -1;
    for (const qsizetype i : order) {
        if (entries[i].size == 0)
            continue;
        if (previous >= 0 && entries[i].offset < entries[previous].offset + entries[previous].size)
            return refuse<Entries>(QStringLiteral("%1 and %2 share bytes")
                                       .arg(entries[previous].name, entries[i].name));
        previous = i;
    }
    return entries;
}

// The engine looks names up with '\' as '/' and letters in one case: two names equal that way
// are one file to it, and it would silently take the first.
std::optional<QString> duplicate(const QList<UmodEntry>& entries) {
    QHash<QString, qsizetype> seen;
    seen.reserve(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString key = QString(entries[i].name).replace(u'\\', u'/').toCaseFolded();
        const auto at = seen.constFind(key);
        if (at == seen.cend()) {
            seen.insert(key, i);
            continue;
        }
        const QString& first = entries[*at].name;
        return first == entries[i].name
                   ? QStringLiteral("it holds %1 twice").arg(first)
                   : QStringLiteral("it holds both %1 and %2, which the game takes for one file")
                         .arg(first, entries[i].name);
    }
    return std::nullopt;
}

} // namespace

bool hasUmodTrailer(QIODevice& device) {
    if (device.isSequential())
        return false;
    const std::optional<Trailer> trailer = readTrailer(device, device.size());
    return trailer && trailer->magic == umodMagic;
}

bool hasUmodTrailer(const QString& path) {
    QFile file;
    return !openRegularFile(file, path) && hasUmodTrailer(file);
}

std::variant<UmodArchive, QString> readUmodArchive(QIODevice& device,
                                                   const UmodBlockObserver& observer) {
    if (device.isSequential())
        return cannotRead;
    const qint64 size = device.size();
    if (size <= umodTrailerSize)
        return QStringLiteral("it is too small to be a UMOD installer");
    const std::optional<Trailer> trailer = readTrailer(device, size);
    if (!trailer)
        return cannotRead;
    if (trailer->magic != umodMagic)
        return QStringLiteral("it is not a UMOD installer");
    if (trailer->version != umodVersion)
        return QStringLiteral("it is a UMOD installer of an unknown version (%1)")
            .arg(trailer->version);
    if (trailer->totalSize > size)
        return QStringLiteral("the file is incomplete (%1 of %2 bytes); the download may have "
                              "failed")
            .arg(number(size), number(trailer->totalSize));
    if (trailer->totalSize < size)
        return QStringLiteral("the file is longer than the installer says (%1 bytes, not %2)")
            .arg(number(size), number(trailer->totalSize));
    if (std::optional<QString> why = checkChecksum(device, size, trailer->crc, observer))
        return *why;

    DirectoryReader directory(device, size, trailer->directoryOffset);
    std::optional<QList<UmodEntry>> entries = directory.read();
    if (!entries)
        return directory.refusal;
    UmodArchive archive;
    archive.fileSize = size;
    archive.directoryOffset = trailer->directoryOffset;
    archive.crc = trailer->crc;
    archive.entries = std::move(*entries);
    if (std::optional<QString> twice = duplicate(archive.entries))
        return *twice;
    return archive;
}

std::variant<UmodArchive, QString> readUmodArchive(const QString& path,
                                                   const UmodBlockObserver& observer) {
    QFile file;
    if (const std::optional<QString> why = openRegularFile(file, path))
        return QStringLiteral("it could not be opened (%1)").arg(*why);
    return readUmodArchive(file, observer);
}

UmodReadEnd readUmodEntry(QIODevice& device, const UmodEntry& entry, qint64 chunkSize,
                          const std::function<bool(QByteArrayView chunk)>& take) {
    if (entry.offset < 0 || entry.size < 0 || chunkSize <= 0 || !device.seek(entry.offset))
        return UmodReadEnd::Failed;
    QByteArray chunk(qsizetype(std::min(entry.size, chunkSize)), Qt::Uninitialized);
    for (qint64 left = entry.size; left > 0;) {
        const qint64 want = std::min<qint64>(chunk.size(), left);
        if (device.read(chunk.data(), want) != want)
            return UmodReadEnd::Failed;
        if (!take(QByteArrayView(chunk.constData(), qsizetype(want))))
            return UmodReadEnd::Stopped;
        left -= want;
    }
    return UmodReadEnd::Done;
}
