#include "support/textfile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Strict UTF-8: no overlong forms, no encoded surrogates, nothing above U+10FFFF, no sequence cut
// off at the end.
bool isValidUtf8(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        qsizetype length = 0;
        unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            if (b == 0xE0)
                low = 0xA0;
            else if (b == 0xED)
                high = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            if (b == 0xF0)
                low = 0x90;
            else if (b == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (n - i < length)
            return false;
        if (p[i + 1] < low || p[i + 1] > high)
            return false;
        for (qsizetype k = 2; k < length; ++k)
            if (p[i + k] < 0x80 || p[i + k] > 0xBF)
                return false;
        i += length;
    }
    return true;
}

QString fromUtf16(QByteArrayView bytes, bool bigEndian) {
    QString text;
    text.reserve(bytes.size() / 2 + 1);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    qsizetype i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const char16_t unit =
            bigEndian ? char16_t(p[i] << 8 | p[i + 1]) : char16_t(p[i + 1] << 8 | p[i]);
        text.append(QChar(unit));
    }
    if (i < bytes.size())
        text.append(QChar::ReplacementCharacter); // a byte left over
    return text;
}

// Windows-1252 differs from Latin-1 only in 0x80-0x9F; its five unassigned bytes there keep their
// C1 control meaning, so every byte decodes to something.
QString fromWindows1252(QByteArrayView bytes) {
    static constexpr char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        text.append(QChar(b >= 0x80 && b <= 0x9F ? high[b - 0x80] : char16_t(b)));
    }
    return text;
}

} // namespace

QString decodeText(const QByteArray& bytes) {
    const QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(view.sliced(3));
    if (view.startsWith("\xFF\xFE"))
        return fromUtf16(view.sliced(2), false);
    if (view.startsWith("\xFE\xFF"))
        return fromUtf16(view.sliced(2), true);
    if (isValidUtf8(view))
        return QString::fromUtf8(view);
    return fromWindows1252(view);
}

namespace {

// Reads to the end, or absent once more than maxBytes came or reading failed. The stat size only
// sizes the first buffer: a file may grow while it is read, so the limit is kept by what arrives,
// and the buffer never outgrows maxBytes + 1 (the one byte that tells a file too large).
std::optional<QByteArray> readAtMost(int fd, qsizetype sizeHint, qsizetype maxBytes) {
    const qsizetype limit = maxBytes + 1;
    qsizetype capacity = qBound(qsizetype(0), sizeHint, maxBytes) + 1;
    QByteArray bytes;
    // reserve() allocates exactly; resize() alone would round up to a power of two.
    bytes.reserve(capacity);
    bytes.resize(capacity);
    qsizetype used = 0;
    for (;;) {
        if (used == capacity) {
            if (capacity == limit)
                return std::nullopt;
            capacity = qMin(qMax(2 * capacity, qsizetype(65536)), limit);
            bytes.reserve(capacity);
            bytes.resize(capacity);
        }
        const ssize_t got = ::read(fd, bytes.data() + used, size_t(capacity - used));
        if (got > 0)
            used += got;
        else if (got == 0)
            break;
        else if (errno != EINTR)
            return std::nullopt;
    }
    bytes.truncate(used);
    return bytes;
}

} // namespace

std::optional<QString> stringWithContentsOfNativePath(const QByteArray& nativePath,
                                                      qsizetype maxBytes) {
    if (nativePath.isEmpty() || nativePath.contains('\0') || maxBytes < 0)
        return std::nullopt;
    // O_NONBLOCK so that a stray FIFO cannot hold the caller at open().
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    std::optional<QByteArray> bytes;
    struct stat info {};
    // Only regular files: a folder has no text, and a FIFO or a device may never end.
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        bytes = readAtMost(fd, qsizetype(info.st_size), maxBytes);
    ::close(fd);
    if (!bytes)
        return std::nullopt;
    return decodeText(*bytes);
}

std::optional<QString> stringWithContentsOfFile(const QString& path, qsizetype maxBytes) {
    return stringWithContentsOfNativePath(QFile::encodeName(path), maxBytes);
}
