// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/umodsource.h"
#include "support/regularfile.h"

#include <QFileInfo>
#include <algorithm>
#include <openssl/evp.h>

namespace {

constexpr qint64 chunkSize = 1024 * 1024;

// OpenSSL's SHA-256 uses the processor's SHA instructions where there are some: several times
// faster than QCryptographicHash's, which would take longer than the checksum and the read.
class Sha256 {
public:
    Sha256() : context(EVP_MD_CTX_new(), EVP_MD_CTX_free) {
        if (context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
            context.reset();
    }
    void add(QByteArrayView bytes) {
        if (context && EVP_DigestUpdate(context.get(), bytes.data(), size_t(bytes.size())) != 1)
            context.reset();
    }
    // Empty when OpenSSL failed.
    QByteArray result() {
        QByteArray digest(EVP_MAX_MD_SIZE, Qt::Uninitialized);
        unsigned int length = 0;
        if (!context || EVP_DigestFinal_ex(context.get(), reinterpret_cast<uchar*>(digest.data()),
                                           &length) != 1)
            return {};
        digest.truncate(int(length));
        return digest;
    }

private:
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context;
};

} // namespace

std::variant<std::unique_ptr<UmodSource>, InstallRefusal> UmodSource::open(const QString& path) {
    std::unique_ptr<UmodSource> source(new UmodSource);
    source->name = QFileInfo(path).fileName();
    if (const std::optional<QString> why = openRegularFile(source->file, path))
        return InstallRefusal{QStringLiteral("it could not be opened (%1)").arg(*why)};
    Sha256 sha;
    std::variant<UmodArchive, QString> archive =
        readUmodArchive(source->file, [&](QByteArrayView block) { sha.add(block); });
    if (const QString* why = std::get_if<QString>(&archive))
        return InstallRefusal{*why};
    source->digest = sha.result();
    if (source->digest.isEmpty())
        return InstallRefusal{QStringLiteral("its checksum could not be worked out")};
    source->umod = std::get<UmodArchive>(std::move(archive));
    source->list.reserve(source->umod.entries.size());
    for (const UmodEntry& entry : std::as_const(source->umod.entries))
        source->list.append(SourceEntry{entry.name, SourceEntryType::File, entry.size, false});
    return source;
}

std::optional<QString> UmodSource::read(const QSet<int>& wanted, const EntryDataSink& sink) {
    QList<int> order;
    order.reserve(wanted.size());
    for (const int entry : wanted) {
        if (entry < 0 || entry >= umod.entries.size())
            return QStringLiteral("it holds no entry %1").arg(entry);
        order.append(entry);
    }
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        return umod.entries[a].offset < umod.entries[b].offset ||
               (umod.entries[a].offset == umod.entries[b].offset && a < b);
    });
    const QString stopped = QStringLiteral("reading was stopped");
    // The file checked at open() must still be the size it was: a shorter one has lost data.
    if (file.size() != umod.fileSize)
        return QStringLiteral("the file changed after it was checked");
    for (const int entry : std::as_const(order)) {
        if (sink.begin && !sink.begin(entry))
            return stopped;
        const UmodReadEnd end =
            readUmodEntry(file, umod.entries[entry], chunkSize, [&](QByteArrayView chunk) {
                return !sink.data || sink.data(entry, chunk);
            });
        if (end == UmodReadEnd::Stopped)
            return stopped;
        if (end == UmodReadEnd::Failed)
            return QStringLiteral("the file could not be read");
        if (sink.end && !sink.end(entry))
            return stopped;
    }
    return std::nullopt;
}
