// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>
#include <atomic>
#include <memory>
#include <optional>

struct XXH3_state_s;

// XXH3's 128-bit hash over bytes given in pieces: what an install remembers of each file it put
// in place, to tell later whether the file is still as installed. Many times faster than SHA-256,
// which matters when every byte of a download is hashed twice (the download and each file); no
// one gains by forging a file that would then go to the trash.
class Xxh3 {
public:
    Xxh3();
    ~Xxh3();
    Xxh3(const Xxh3&) = delete;
    Xxh3& operator=(const Xxh3&) = delete;

    void add(QByteArrayView bytes);
    // The hash of everything added, as 32 lowercase hexadecimal digits; starts over.
    QString finishHex();

private:
    struct Free {
        void operator()(XXH3_state_s* state) const;
    };
    std::unique_ptr<XXH3_state_s, Free> state;
};

// The hash of what is left to read from an open file, in hex; absent on a read error or a cancel.
std::optional<QString> xxh3OfDescriptor(int descriptor, const std::atomic<bool>* cancel = nullptr);

// Whether text is a hash as finishHex() writes it.
bool isXxh3Hex(const QString& text);
