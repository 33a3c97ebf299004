// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/archivekind.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {

quint32 littleEndian(QByteArrayView bytes, qsizetype at, int size) {
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes[at + i]);
    return value;
}

// RAR5's variable-length number: seven bits a byte, low bits first.
std::optional<quint64> readVint(QByteArrayView bytes, qsizetype& at) {
    quint64 value = 0;
    for (int shift = 0; shift < 64 && at < bytes.size(); shift += 7) {
        const quint8 byte = quint8(bytes[at++]);
        value |= quint64(byte & 0x7f) << shift;
        if ((byte & 0x80) == 0)
            return value;
    }
    return std::nullopt;
}

bool isRarVolume(QByteArrayView head) {
    static constexpr QByteArrayView marker("Rar!\x1a\x07", 6);
    // A self-extracting RAR has its marker after the program.
    const qsizetype at = head.startsWith("MZ")     ? head.indexOf(marker)
                         : head.startsWith(marker) ? 0
                                                   : -1;
    if (at < 0 || at + 7 >= head.size())
        return false;
    if (head[at + 6] == '\x00') {
        // RAR 4: the main header follows the 7-byte marker: CRC16, type 0x73, flags (0x0001:
        // a volume).
        const qsizetype main = at + 7;
        return main + 5 <= head.size() && quint8(head[main + 2]) == 0x73 &&
               (littleEndian(head, main + 3, 2) & 0x0001) != 0;
    }
    if (head[at + 6] != '\x01' || head[at + 7] != '\x00')
        return false;
    // RAR 5: CRC32, header size, type 1 (main), header flags, the extra and data sizes when
    // flagged, then the archive flags (0x0001: a volume).
    qsizetype cursor = at + 8 + 4;
    const std::optional<quint64> size = readVint(head, cursor);
    const std::optional<quint64> type = readVint(head, cursor);
    const std::optional<quint64> flags = readVint(head, cursor);
    if (!size || !type || !flags || *type != 1)
        return false;
    if ((*flags & 0x0001) != 0 && !readVint(head, cursor))
        return false;
    if ((*flags & 0x0002) != 0 && !readVint(head, cursor))
        return false;
    const std::optional<quint64> archiveFlags = readVint(head, cursor);
    return archiveFlags && (*archiveFlags & 0x0001) != 0;
}

bool isSplitZip(QByteArrayView head, QByteArrayView tail) {
    if (!head.startsWith("PK"))
        return false;
    // The marker that starts the first part of a split or spanned zip.
    if (head.startsWith(QByteArrayView("PK\x07\x08", 4)))
        return true;
    const qsizetype end = tail.lastIndexOf(QByteArrayView("PK\x05\x06", 4));
    if (end < 0 || end + 22 > tail.size())
        return false;
    const quint32 disk = littleEndian(tail, end + 4, 2);
    const quint32 directoryDisk = littleEndian(tail, end + 6, 2);
    if ((disk != 0 && disk != 0xffff) || (directoryDisk != 0 && directoryDisk != 0xffff))
        return true;
    if (disk != 0xffff && directoryDisk != 0xffff)
        return false;
    // Zip64 keeps the disk numbers in its locator, 20 bytes before the end record.
    const qsizetype locator = end - 20;
    return locator >= 0 && tail.sliced(locator).startsWith(QByteArrayView("PK\x06\x07", 4)) &&
           littleEndian(tail, locator + 16, 4) > 1;
}

} // namespace

std::optional<QString> unsupportedArchiveReason(const QString& fileName, QByteArrayView head,
                                                QByteArrayView tail) {
    const QString name = QFileInfo(fileName).fileName();
    if (name.endsWith(u".ace", Qt::CaseInsensitive) ||
        (head.size() >= 14 && head.sliced(7, 7) == QByteArrayView("**ACE**")))
        return QStringLiteral("%1: ACE archives are not supported").arg(name);
    static const QRegularExpression volumeName(
        QStringLiteral("\\.(part\\d+\\.rar|z\\d\\d+|r\\d\\d+|(7z|zip|rar)\\.\\d+)$"),
        QRegularExpression::CaseInsensitiveOption);
    if (volumeName.match(name).hasMatch() || isRarVolume(head) || isSplitZip(head, tail))
        return QStringLiteral("%1 is one part of a multi-volume archive: multi-volume archives "
                              "are not supported")
            .arg(name);
    return std::nullopt;
}

bool endsWithUmodTrailer(QByteArrayView tail) {
    return tail.size() >= 20 &&
           tail.sliced(tail.size() - 20, 4) == QByteArrayView("\xa3\xc5\xe3\x9f", 4);
}
