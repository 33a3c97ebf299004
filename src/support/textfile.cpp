// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/textfile.h"

#include <QFile>
#include <QStringDecoder>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Flag = QStringConverter::Flag;

// A byte left over after the last whole unit becomes U+FFFD (the decoder would drop it); a mark
// after the one that chose the encoding is text.
QString fromUtf16(QByteArrayView bytes, QStringConverter::Encoding encoding) {
    QString text = QStringDecoder(encoding, Flag::Stateless | Flag::ConvertInitialBom)
                       .decode(bytes.first(bytes.size() & ~qsizetype(1)));
    if (bytes.size() % 2 != 0)
        text.append(QChar::ReplacementCharacter);
    return text;
}

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

// Opens a regular file for reading, or gives -1: O_NONBLOCK so that a stray FIFO cannot hold the
// caller at open(), and only regular files, as a folder has no bytes and a FIFO or a device may
// never end. The file's size goes to size.
int openRegularFile(const QByteArray& nativePath, qsizetype& size) {
    if (nativePath.isEmpty() || nativePath.contains('\0'))
        return -1;
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info {};
    if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        size = qsizetype(info.st_size);
        return fd;
    }
    if (fd >= 0)
        ::close(fd);
    return -1;
}

} // namespace

QString decodeText(const QByteArray& bytes) {
    const QByteArrayView view(bytes);
    // Stateless everywhere: a sequence cut off at the end becomes U+FFFD. After a UTF-8 mark the
    // decoder drops one more mark, as it always has here.
    if (view.startsWith("\xEF\xBB\xBF"))
        return QStringDecoder(QStringConverter::Utf8, Flag::Stateless).decode(view.sliced(3));
    if (view.startsWith("\xFF\xFE"))
        return fromUtf16(view.sliced(2), QStringConverter::Utf16LE);
    if (view.startsWith("\xFE\xFF"))
        return fromUtf16(view.sliced(2), QStringConverter::Utf16BE);
    // Qt's UTF-8 is strict: an overlong form, an encoded surrogate, a value above U+10FFFF or a
    // cut-off sequence is an error. Windows-1252 (ICU's) decodes every byte, its five unassigned
    // ones to their C1 controls.
    QStringDecoder utf8(QStringConverter::Utf8, Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError())
        return text;
    return QStringDecoder("windows-1252", Flag::Stateless).decode(view);
}

std::optional<QString> stringWithContentsOfNativePath(const QByteArray& nativePath,
                                                      qsizetype maxBytes) {
    qsizetype size = 0;
    const int fd = maxBytes < 0 ? -1 : openRegularFile(nativePath, size);
    if (fd < 0)
        return std::nullopt;
    const std::optional<QByteArray> bytes = readAtMost(fd, size, maxBytes);
    ::close(fd);
    if (!bytes)
        return std::nullopt;
    return decodeText(*bytes);
}

std::optional<QByteArray> headOfRegularFile(const QString& path, qsizetype maxBytes) {
    qsizetype size = 0;
    const int fd = maxBytes < 0 ? -1 : openRegularFile(QFile::encodeName(path), size);
    if (fd < 0)
        return std::nullopt;
    QByteArray bytes(maxBytes, Qt::Uninitialized);
    qsizetype used = 0;
    while (used < maxBytes) {
        const ssize_t got = ::read(fd, bytes.data() + used, size_t(maxBytes - used));
        if (got > 0)
            used += got;
        else if (got == 0 || errno != EINTR)
            break;
    }
    ::close(fd);
    bytes.truncate(used);
    return bytes;
}

std::optional<QString> stringWithContentsOfFile(const QString& path, qsizetype maxBytes) {
    return stringWithContentsOfNativePath(QFile::encodeName(path), maxBytes);
}
