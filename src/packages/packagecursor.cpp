// SPDX-License-Identifier: GPL-3.0-or-later
#include "packages/packagecursor.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace {
constexpr qint64 bufferSize = 64 * 1024;
}

PackageCursor::PackageCursor(QIODevice& device)
    : device(device), size(device.isSequential() ? -1 : device.size()) {
    buffer.reserve(bufferSize);
    failed = size < 0;
}

bool PackageCursor::setWindow(qint64 at, qint64 length) {
    if (failed || at < 0 || length < 0 || at > size)
        return fail();
    pos = at;
    end = at + std::min(length, size - at);
    return true;
}

bool PackageCursor::fill() {
    const qint64 count = std::min(bufferSize, end - pos);
    buffer.resize(count);
    bufferStart = pos;
    if (count <= 0 || !device.seek(pos) || device.read(buffer.data(), count) != count) {
        buffer.clear();
        return fail();
    }
    return true;
}

quint8 PackageCursor::byte() {
    if (failed || pos >= end)
        return fail(), 0;
    if (pos < bufferStart || pos >= bufferStart + buffer.size())
        if (!fill())
            return 0;
    return quint8(buffer[pos++ - bufferStart]);
}

quint16 PackageCursor::uint16() {
    uchar bytes[2] = {};
    read(reinterpret_cast<char*>(bytes), 2);
    return qFromLittleEndian<quint16>(bytes);
}

qint32 PackageCursor::int32() {
    uchar bytes[4] = {};
    read(reinterpret_cast<char*>(bytes), 4);
    return qFromLittleEndian<qint32>(bytes);
}

qint64 PackageCursor::compact() {
    const quint8 first = byte();
    qint64 value = first & 0x3F;
    if (first & 0x40) {
        int shift = 6;
        for (int i = 1; i < 5; ++i) {
            const quint8 next = byte();
            if (i == 4) {
                value |= qint64(next) << shift;
                break;
            }
            value |= qint64(next & 0x7F) << shift;
            shift += 7;
            if (!(next & 0x80))
                break;
        }
    }
    return (first & 0x80) ? -value : value;
}

bool PackageCursor::skip(qint64 count) {
    if (failed || count < 0 || count > end - pos)
        return fail();
    pos += count;
    return true;
}

bool PackageCursor::read(char* out, qint64 count) {
    if (failed || count < 0 || count > end - pos)
        return fail();
    while (count > 0) {
        if (pos >= bufferStart && pos < bufferStart + buffer.size()) {
            const qint64 part = std::min(count, bufferStart + buffer.size() - pos);
            std::memcpy(out, buffer.constData() + (pos - bufferStart), size_t(part));
            out += part;
            pos += part;
            count -= part;
        } else if (count >= bufferSize / 2) {
            // Large reads go straight to the caller's memory, past the buffer.
            if (!device.seek(pos) || device.read(out, count) != count)
                return fail();
            pos += count;
            return true;
        } else if (!fill()) {
            return false;
        }
    }
    return true;
}

std::optional<QString> PackageCursor::string(qsizetype maxLength) {
    const qint64 length = compact();
    if (length == 0 || failed)
        return failed ? std::nullopt : std::optional<QString>(QString());
    const qint64 units = length < 0 ? -length : length;
    const qint64 bytes = length < 0 ? units * 2 : units;
    char raw[512];
    if (units > qint64(maxLength) + 1 || bytes > qint64(sizeof raw)) {
        skip(bytes);
        return std::nullopt;
    }
    if (!read(raw, bytes))
        return std::nullopt;
    if (length > 0)
        return QString::fromLatin1(raw, qsizetype(qstrnlen(raw, size_t(units))));
    QString text;
    for (qint64 i = 0; i < units; ++i) {
        const char16_t unit = qFromLittleEndian<quint16>(raw + 2 * i);
        if (unit == 0)
            break;
        text.append(QChar(unit));
    }
    return text;
}
