// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/sha256.h"

#include "support/filedescriptor.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <vector>

void Sha256::Free::operator()(evp_md_ctx_st* context) const {
    EVP_MD_CTX_free(context);
}

Sha256::Sha256() : context(EVP_MD_CTX_new()) {
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        qFatal("OpenSSL has no SHA-256");
}

Sha256::~Sha256() = default;

void Sha256::add(QByteArrayView bytes) {
    EVP_DigestUpdate(context.get(), bytes.data(), size_t(bytes.size()));
}

QString Sha256::finishHex() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context.get(), digest, &length);
    EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr);
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(digest), qsizetype(length)).toHex());
}

std::optional<QString> sha256OfDescriptor(int descriptor, const std::atomic<bool>* cancel) {
    Sha256 sha;
    if (!readToEnd(descriptor, cancel, [&sha](QByteArrayView piece) { sha.add(piece); }))
        return std::nullopt;
    return sha.finishHex();
}

std::optional<QString> sha256OfFile(const QString& path, const std::atomic<bool>* cancel) {
    // Not blocking on a FIFO put in the file's place: only a regular file is read.
    const FileDescriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat status {};
    if (!file.isOpen() || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return sha256OfDescriptor(file.get(), cancel);
}

bool isSha256Hex(const QString& text) {
    if (text.size() != 64)
        return false;
    for (const QChar c : text)
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            return false;
    return true;
}
