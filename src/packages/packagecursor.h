// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <optional>

// Little-endian reads from an untrusted package, confined to a window of the file. Reading past
// the window, or a failed device read, fails the cursor for good: later reads give zeros and ok()
// stays false, so callers check once after a group of reads. Small reads go through one buffer
// of fixed size; the device is never read whole.
class PackageCursor {
public:
    explicit PackageCursor(QIODevice& device);

    qint64 fileSize() const { return size; }
    // Moves to `at` and allows up to `length` bytes from there, never past the end of the file.
    bool setWindow(qint64 at, qint64 length);
    qint64 position() const { return pos; }
    qint64 remaining() const { return end - pos; }
    bool ok() const { return !failed; }
    bool fail() {
        failed = true;
        return false;
    }

    quint8 byte();
    quint16 uint16();
    qint32 int32();
    quint32 uint32() { return quint32(int32()); }
    // The signed variable-length index: 1 to 5 bytes, so at most 35 bits of magnitude.
    qint64 compact();
    bool skip(qint64 count);
    bool read(char* out, qint64 count);
    // A length-prefixed string (8-bit Latin-1 or UTF-16), up to its first NUL. One longer than
    // maxLength is skipped and gives no value; the cursor stays ok.
    std::optional<QString> string(qsizetype maxLength);

private:
    bool fill();

    QIODevice& device;
    qint64 size;
    qint64 pos = 0;
    qint64 end = 0;
    QByteArray buffer;
    qint64 bufferStart = 0;
    bool failed = false;
};
