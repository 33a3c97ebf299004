// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/sourcedigest.h"

#include "support/sha256.h"
#include "support/threadhandover.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

struct SourceDigest::State {
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    QString digest;
};

SourceDigest::SourceDigest(const QString& path) : state(std::make_shared<State>()) {
    // Detached, with the state shared: a digest no longer wanted ends at its next megabyte
    // without anyone waiting on it, even on a slow disk.
    std::thread([state = state, path = unshared(path)] {
        const std::optional<QString> digest = sha256OfFile(path, &state->stop);
        std::lock_guard lock(state->mutex);
        state->digest = digest.value_or(QString());
        state->done = true;
        state->finished.notify_all();
    }).detach();
}

SourceDigest::~SourceDigest() {
    state->stop = true;
}

QString SourceDigest::wait() {
    std::unique_lock lock(state->mutex);
    state->finished.wait(lock, [this] { return state->done; });
    return state->digest;
}
