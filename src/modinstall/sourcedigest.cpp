// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/sourcedigest.h"

#include "support/sha256.h"
#include "support/threadhandover.h"

SourceDigest::SourceDigest(const QString& path)
    : thread([this, path = unshared(path)] { digest = sha256OfFile(path, &stop); }) {}

SourceDigest::~SourceDigest() {
    stop = true;
    if (thread.joinable())
        thread.join();
}

QString SourceDigest::wait() {
    if (thread.joinable())
        thread.join();
    return digest.value_or(QString());
}
