// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <atomic>
#include <optional>
#include <thread>

// The SHA-256 of a download for its install's record, worked out on a thread of its own from the
// moment the download is chosen: while it is checked and planned, while the player reads the
// plan, and while its files are copied. Dropping it stops the work at its next megabyte.
class SourceDigest {
public:
    explicit SourceDigest(const QString& path);
    ~SourceDigest();
    SourceDigest(const SourceDigest&) = delete;
    SourceDigest& operator=(const SourceDigest&) = delete;

    // Waits for the digest: 64 hexadecimal digits, or empty when the file could not be read.
    // Called once, from one thread.
    QString wait();

private:
    std::atomic<bool> stop{false};
    std::optional<QString> digest;
    std::thread thread;
};
