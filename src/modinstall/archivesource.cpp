// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/archivesource.h"

#include "modinstall/archivekind.h"
#include "modinstall/installnames.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>

#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// libarchive converts names to the character set of the calling thread's locale; this thread
// uses UTF-8 while it reads, whatever the program's locale is.
class Utf8LocaleScope {
public:
    Utf8LocaleScope() {
        static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
        if (utf8 != locale_t(nullptr))
            previous_ = uselocale(utf8);
    }
    ~Utf8LocaleScope() {
        if (previous_ != locale_t(nullptr))
            uselocale(previous_);
    }
    Utf8LocaleScope(const Utf8LocaleScope&) = delete;
    Utf8LocaleScope& operator=(const Utf8LocaleScope&) = delete;

private:
    locale_t previous_ = locale_t(nullptr);
};

struct ArchiveFree {
    void operator()(archive* reader) const { archive_read_free(reader); }
};
using ArchiveReader = std::unique_ptr<archive, ArchiveFree>;

QString errorOf(archive* reader) {
    const char* text = archive_error_string(reader);
    return text ? QString::fromUtf8(text) : QStringLiteral("unknown error");
}

// Opens a reader at the start of the file, for the formats and filters downloads use. Raw
// and empty "archives", mtree (whose entries name files on this machine) and filters that run
// outside programs are never enabled.
std::variant<ArchiveReader, QString> openReader(int descriptor, const QString& fileName) {
    if (::lseek(descriptor, 0, SEEK_SET) != 0)
        return QStringLiteral("%1: %2").arg(fileName, QString::fromLocal8Bit(std::strerror(errno)));
    ArchiveReader reader(archive_read_new());
    if (!reader)
        return QStringLiteral("%1: out of memory").arg(fileName);
    archive* a = reader.get();
    archive_read_support_format_zip(a);
    archive_read_support_format_7zip(a);
    archive_read_support_format_rar(a);
    archive_read_support_format_rar5(a);
    archive_read_support_format_tar(a);
    archive_read_support_filter_gzip(a);
    archive_read_support_filter_bzip2(a);
    archive_read_support_filter_xz(a);
    archive_read_support_filter_lzma(a);
    archive_read_support_filter_zstd(a);
    // Zip names without the UTF-8 flag are in the DOS code page, as the zip format says;
    // RAR 4 names without Unicode too.
    if (archive_read_set_options(a, "zip:hdrcharset=CP437,rar:hdrcharset=CP437") != ARCHIVE_OK)
        return QStringLiteral("%1: names cannot be decoded: %2").arg(fileName, errorOf(a));
    if (archive_read_open_fd(a, descriptor, 64 * 1024) != ARCHIVE_OK)
        return QStringLiteral("%1 is not an archive Modgate can read (zip, 7z, rar, tar): %2")
            .arg(fileName, errorOf(a));
    return reader;
}

std::optional<QString> decodedName(const char* raw) {
    if (!raw)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString name = decoder(QByteArrayView(raw));
    if (decoder.hasError())
        return std::nullopt;
    return name;
}

SourceEntryType typeOf(archive_entry* entry, const QString& name) {
    if (archive_entry_hardlink(entry))
        return SourceEntryType::HardLink;
    switch (archive_entry_filetype(entry)) {
    case AE_IFREG:
        // Windows tools store folders as "Name\"; a name that ends in a separator is a folder.
        if (name.endsWith(u'/') || name.endsWith(u'\\'))
            return SourceEntryType::Directory;
        return SourceEntryType::File;
    case AE_IFDIR:
        return SourceEntryType::Directory;
    case AE_IFLNK:
        return SourceEntryType::Symlink;
    default:
        return SourceEntryType::Other;
    }
}

bool isReadableFormat(archive* reader) {
    switch (archive_format(reader) & ARCHIVE_FORMAT_BASE_MASK) {
    case ARCHIVE_FORMAT_ZIP:
    case ARCHIVE_FORMAT_7ZIP:
    case ARCHIVE_FORMAT_RAR:
    case ARCHIVE_FORMAT_RAR_V5:
    case ARCHIVE_FORMAT_TAR:
        return true;
    default:
        return false;
    }
}

QByteArray readAt(int descriptor, qint64 offset, qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    qsizetype got = 0;
    while (got < size) {
        const ssize_t n = ::pread(descriptor, bytes.data() + got, size_t(size - got), offset + got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    bytes.truncate(got);
    return bytes;
}

} // namespace

ArchiveSource::ArchiveSource(int descriptor, QString fileName)
    : descriptor_(descriptor), fileName_(std::move(fileName)) {}

ArchiveSource::~ArchiveSource() {
    ::close(descriptor_);
}

QString ArchiveSource::fileName() const {
    return fileName_;
}

const QList<SourceEntry>& ArchiveSource::entries() const {
    return entries_;
}

std::variant<std::unique_ptr<ArchiveSource>, InstallRefusal>
ArchiveSource::open(const QString& path) {
    const QString fileName = QFileInfo(path).fileName();
    // Non-blocking, so that a pipe given as a download cannot hang the open.
    const int descriptor =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0)
        return InstallRefusal{QStringLiteral("Cannot open %1: %2")
                                  .arg(path, QString::fromLocal8Bit(std::strerror(errno)))};
    std::unique_ptr<ArchiveSource> source(new ArchiveSource(descriptor, fileName));
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))
        return InstallRefusal{QStringLiteral("%1 is not a file").arg(fileName)};
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);

    const qint64 size = qint64(status.st_size);
    const QByteArray head = readAt(descriptor, 0, qsizetype(qMin<qint64>(size, archiveHeadBytes)));
    const qsizetype tailSize = qsizetype(qMin<qint64>(size, archiveTailBytes));
    const QByteArray tail = readAt(descriptor, size - tailSize, tailSize);
    if (std::optional<QString> unsupported = unsupportedArchiveReason(fileName, head, tail))
        return InstallRefusal{*unsupported};

    Utf8LocaleScope locale;
    std::variant<ArchiveReader, QString> opened = openReader(descriptor, fileName);
    if (QString* failed = std::get_if<QString>(&opened))
        return InstallRefusal{*failed};
    archive* reader = std::get<ArchiveReader>(opened).get();

    for (;;) {
        archive_entry* header = nullptr;
        const int result = archive_read_next_header(reader, &header);
        if (result == ARCHIVE_EOF)
            break;
        const std::optional<QString> name =
            result >= ARCHIVE_WARN ? decodedName(archive_entry_pathname(header)) : std::nullopt;
        if (result >= ARCHIVE_WARN && !name)
            return InstallRefusal{QStringLiteral("%1: the name of entry %2 does not decode cleanly")
                                      .arg(fileName)
                                      .arg(source->entries_.size() + 1)};
        if (result == ARCHIVE_WARN)
            return InstallRefusal{QStringLiteral("%1: entry \"%2\" is damaged: %3")
                                      .arg(fileName, displayedName(*name), errorOf(reader))};
        if (result != ARCHIVE_OK)
            return InstallRefusal{
                source->entries_.isEmpty()
                    ? QStringLiteral(
                          "%1 is not an archive Modgate can read (zip, 7z, rar, tar): %2")
                          .arg(fileName, errorOf(reader))
                    : QStringLiteral("%1 is damaged: %2").arg(fileName, errorOf(reader))};
        if (!isReadableFormat(reader))
            return InstallRefusal{
                QStringLiteral("%1 is not an archive Modgate can read (zip, 7z, rar, tar)")
                    .arg(fileName)};
        if (source->entries_.size() == maximumEntries)
            return InstallRefusal{
                QStringLiteral("%1 holds more than %2 entries")
                    .arg(fileName, QLocale(QLocale::English).toString(maximumEntries))};

        SourceEntry entry;
        entry.name = *name;
        entry.type = typeOf(header, entry.name);
        entry.declaredSize =
            archive_entry_size_is_set(header) ? qint64(archive_entry_size(header)) : -1;
        entry.encrypted = archive_entry_is_encrypted(header) != 0;
        if (entry.encrypted && entry.type != SourceEntryType::Directory)
            return InstallRefusal{QStringLiteral("%1: entry \"%2\" is encrypted")
                                      .arg(fileName, displayedName(entry.name))};
        source->entries_.append(entry);
        source->rawNames_.append(QByteArray(archive_entry_pathname(header)));
    }
    if (archive_read_has_encrypted_entries(reader) > 0)
        return InstallRefusal{QStringLiteral("%1 is encrypted").arg(fileName)};
    return source;
}

std::optional<QString> ArchiveSource::read(const QSet<int>& wanted, const EntryDataSink& sink) {
    for (const int index : wanted) {
        if (index < 0 || index >= entries_.size())
            return QStringLiteral("%1 holds no entry %2").arg(fileName_).arg(index);
        const SourceEntry& entry = entries_[index];
        if (entry.type != SourceEntryType::File)
            return QStringLiteral("%1: entry \"%2\" is not a regular file")
                .arg(fileName_, displayedName(entry.name));
        if (entry.encrypted)
            return QStringLiteral("%1: entry \"%2\" is encrypted")
                .arg(fileName_, displayedName(entry.name));
    }

    Utf8LocaleScope locale;
    std::variant<ArchiveReader, QString> opened = openReader(descriptor_, fileName_);
    if (QString* failed = std::get_if<QString>(&opened))
        return *failed;
    archive* reader = std::get<ArchiveReader>(opened).get();
    const QString changed = QStringLiteral("%1 changed since it was opened").arg(fileName_);
    const QString stopped = QStringLiteral("Reading %1 was stopped").arg(fileName_);

    QByteArray buffer(chunkBytes, Qt::Uninitialized);
    for (int index = 0;; ++index) {
        archive_entry* header = nullptr;
        const int result = archive_read_next_header(reader, &header);
        if (result == ARCHIVE_EOF)
            return index == entries_.size() ? std::nullopt : std::optional<QString>(changed);
        if (result != ARCHIVE_OK)
            return QStringLiteral("%1 is damaged: %2").arg(fileName_, errorOf(reader));
        const char* rawName = archive_entry_pathname(header);
        if (index >= entries_.size() || !rawName || rawNames_[index] != rawName)
            return changed;
        if (!wanted.contains(index))
            continue;

        const SourceEntry& entry = entries_[index];
        const QString name = displayedName(entry.name);
        if (sink.begin && !sink.begin(index))
            return stopped;
        qint64 total = 0;
        for (;;) {
            const la_ssize_t got = archive_read_data(reader, buffer.data(), size_t(buffer.size()));
            // Every status below zero, warnings too, ends the read: a CRC error is a warning.
            if (got < 0)
                return QStringLiteral("%1: entry \"%2\" could not be read: %3")
                    .arg(fileName_, name, errorOf(reader));
            if (got == 0)
                break;
            total += got;
            if (entry.declaredSize >= 0 && total > entry.declaredSize)
                return QStringLiteral("%1: entry \"%2\" holds more data than its header says")
                    .arg(fileName_, name);
            if (sink.data && !sink.data(index, QByteArrayView(buffer.constData(), got)))
                return stopped;
        }
        if (entry.declaredSize >= 0 && total < entry.declaredSize)
            return QStringLiteral("%1: entry \"%2\" is shorter than its header says")
                .arg(fileName_, name);
        if (sink.end && !sink.end(index))
            return stopped;
    }
}
