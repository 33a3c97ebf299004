// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <memory>

// The SHA-256 of a download for its install's record, worked out on a thread of its own from the
// moment the download is chosen: while it is checked and planned, while the player reads the
// plan, and while its files are copied. Dropping it stops the work without waiting for it.
class SourceDigest {
public:
    explicit SourceDigest(const QString& path);
    ~SourceDigest();
    SourceDigest(const SourceDigest&) = delete;
    SourceDigest& operator=(const SourceDigest&) = delete;

    // Waits for the digest: 64 hexadecimal digits, or empty when the file could not be read.
    QString wait();

private:
    struct State;
    std::shared_ptr<State> state;
};
