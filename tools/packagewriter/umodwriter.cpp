// SPDX-License-Identifier: GPL-3.0-or-later
#include "packagewriter/umodwriter.h"

#include <QtEndian>
#include <array>

namespace packagewriter {

namespace {

// The engine's appMemCrc, one byte at a time: kept apart from the reader's fast one so that each
// checks the other.
quint32 checksum(QByteArrayView bytes) {
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> table{};
        for (quint32 byte = 0; byte < 256; ++byte) {
            quint32 c = byte << 24;
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
            table[byte] = c;
        }
        return table;
    }();
    quint32 crc = 0xFFFFFFFF;
    for (const char byte : bytes)
        crc = (crc << 8) ^ table[(crc >> 24) ^ uchar(byte)];
    return ~crc;
}

void putUint32(QByteArray& out, quint32 value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

QByteArray storedName(const QString& name, bool wide, bool negated) {
    QByteArray out;
    if (wide) {
        const QString text = name + QChar(0);
        out = compactIndex(-text.size());
        for (const QChar c : text) {
            char unit[2];
            qToLittleEndian(c.unicode(), unit);
            out.append(unit, 2);
        }
        return out;
    }
    const QByteArray text = name.toLatin1() + '\0';
    return compactIndex(negated ? -text.size() : text.size()) + text;
}

QString crlf(const QStringList& lines) {
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

} // namespace

QByteArray compactIndex(qint64 value) {
    QByteArray out;
    quint64 magnitude = quint64(value < 0 ? -value : value);
    uchar first = uchar(magnitude & 0x3F) | (value < 0 ? 0x80 : 0);
    magnitude >>= 6;
    if (magnitude)
        first |= 0x40;
    out.append(char(first));
    for (int i = 1; magnitude && i < 5; ++i) {
        if (i == 4) {
            out.append(char(magnitude & 0xFF));
            break;
        }
        uchar next = uchar(magnitude & 0x7F);
        magnitude >>= 7;
        if (magnitude)
            next |= 0x80;
        out.append(char(next));
    }
    return out;
}

QByteArray umodBytes(const QList<UmodFile>& files, const UmodOptions& options) {
    QByteArray out = options.stub;
    QList<qint64> offsets;
    for (const UmodFile& file : files) {
        if (options.alignment > 0)
            while (out.size() % options.alignment)
                out.append('\0');
        offsets.append(out.size());
        out.append(file.bytes);
    }
    if (options.overlap && offsets.size() > 1)
        offsets[1] = offsets[0];
    const qint64 directory = out.size();
    out.append(options.hugeCount ? compactIndex((qint64(1) << 34) - 1)
                                 : compactIndex(files.size()));
    for (qsizetype i = 0; i < files.size(); ++i) {
        out.append(
            storedName(files[i].name, options.utf16Names, options.negativeNameLength && i == 0));
        putUint32(out, quint32(offsets[i]));
        putUint32(out, quint32(files[i].bytes.size()));
        putUint32(out, files[i].flags);
    }
    out.append(options.afterDirectory);
    const quint32 crc = checksum(out) + (options.badCrc ? 1 : 0);
    putUint32(out, 0x9FE3C5A3);
    putUint32(out, quint32(directory));
    putUint32(out, quint32(out.size() + 12 + options.sizeDelta));
    putUint32(out, options.version);
    putUint32(out, crc);
    return out;
}

QByteArray manifestIni(const QList<UmodFile>& files, const ManifestContents& contents) {
    QList<ManifestGroup> groups = contents.groups;
    if (groups.isEmpty()) {
        ManifestGroup all{QStringLiteral("%1Group").arg(contents.product), {}, true};
        for (const UmodFile& file : files)
            all.lines.append(
                QStringLiteral("File=(Src=%1,Size=%2)").arg(file.name).arg(file.bytes.size()));
        groups.append(all);
    }
    QStringList lines = {QStringLiteral("[Setup]"), QStringLiteral("Product=") + contents.product,
                         QStringLiteral("Version=") + contents.version,
                         QStringLiteral("Archive=") +
                             (contents.archive.isEmpty()
                                  ? contents.product + QStringLiteral(".ut4mod")
                                  : contents.archive)};
    for (const QString& product : contents.requiredProducts)
        lines.append(QStringLiteral("Requires=%1Requirement").arg(product));
    lines += contents.setupLines;
    lines.append(QStringLiteral("Group=SetupGroup"));
    for (const ManifestGroup& group : groups)
        if (group.root)
            lines.append(QStringLiteral("Group=") + group.name);
    for (const QString& product : contents.requiredProducts)
        lines << QString() << QStringLiteral("[%1Requirement]").arg(product)
              << QStringLiteral("Product=") + product
              << QStringLiteral("Version=") + contents.requiredVersion;
    lines << QString() << QStringLiteral("[SetupGroup]")
          << QStringLiteral("Copy=(Src=System\\Manifest.ini,Master=System\\Manifest.ini,Flags=3)")
          << QStringLiteral("Copy=(Src=System\\Manifest.int,Master=System\\Manifest.int,Flags=3)");
    for (const ManifestGroup& group : groups)
        lines << QString() << QStringLiteral("[%1]").arg(group.name) << group.lines;
    return crlf(lines).toLatin1();
}

QByteArray manifestInt(const ManifestContents& contents) {
    return crlf({QStringLiteral("[Setup]"), QStringLiteral("LocalProduct=") + contents.localProduct,
                 QStringLiteral("ReadMe=") +
                     (contents.readMe.isEmpty()
                          ? QStringLiteral("Help\\%1.txt").arg(contents.product)
                          : contents.readMe)})
        .toLatin1();
}

QList<UmodFile> withManifests(const QList<UmodFile>& files, const ManifestContents& contents) {
    return QList<UmodFile>{
               {QStringLiteral("System\\Manifest.ini"), manifestIni(files, contents), 3},
               {QStringLiteral("System\\Manifest.int"), manifestInt(contents), 3}} +
           files;
}

} // namespace packagewriter
