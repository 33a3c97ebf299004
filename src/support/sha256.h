// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>
#include <atomic>
#include <memory>
#include <optional>

struct evp_md_ctx_st;

// SHA-256 over bytes given in pieces, through OpenSSL, which uses the processor's SHA
// instructions where there are some.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void add(QByteArrayView bytes);
    // The digest of everything added, as 64 lowercase hexadecimal digits; starts over.
    QString finishHex();

private:
    struct Free {
        void operator()(evp_md_ctx_st* context) const;
    };
    std::unique_ptr<evp_md_ctx_st, Free> context;
};

// The SHA-256 of what is left to read from an open file, in hex; absent on a read error or a
// cancel.
std::optional<QString> sha256OfDescriptor(int descriptor,
                                          const std::atomic<bool>* cancel = nullptr);
// The SHA-256 of a file's bytes; absent when it cannot be read.
std::optional<QString> sha256OfFile(const QString& path, const std::atomic<bool>* cancel = nullptr);

// Whether text is a digest as finishHex() writes it.
bool isSha256Hex(const QString& text);
