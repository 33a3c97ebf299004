// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/stagingwriter.h"

#include "support/filedescriptor.h"
#include "support/sha256.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// What the worker thread holds for the file being written.
struct OpenFile {
    FileDescriptor file;
    Sha256 sha;
    qint64 size = 0;
};

} // namespace

StagingWriter::StagingWriter(int folder) : folder(folder), worker([this] { work(); }) {}

StagingWriter::~StagingWriter() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    worker.join();
}

void StagingWriter::post(Task task) {
    {
        // Many small files make many tasks: their number is bounded too.
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return tasks.size() < maxTasks; });
        tasks.push_back(std::move(task));
        ++pending;
    }
    changed.notify_all();
}

bool StagingWriter::open(int slot, const QByteArray& name) {
    currentSlot = slot;
    post({Task::Kind::Open, slot, name, {}});
    return !failed;
}

void StagingWriter::submitBuffer() {
    if (!current.empty())
        post({Task::Kind::Data, currentSlot, {}, std::move(current)});
    current = {};
}

bool StagingWriter::add(QByteArrayView bytes) {
    while (!bytes.isEmpty()) {
        if (failed)
            return false;
        if (current.capacity() == 0) {
            std::unique_lock lock(mutex);
            changed.wait(lock,
                         [this] { return !spare.empty() || buffersMade < maxBuffers || failed; });
            if (!spare.empty()) {
                current = std::move(spare.back());
                spare.pop_back();
            } else {
                ++buffersMade;
                current.reserve(std::size_t(bufferBytes));
            }
        }
        const qsizetype room = bufferBytes - qsizetype(current.size());
        const qsizetype taken = std::min(room, bytes.size());
        current.insert(current.end(), bytes.data(), bytes.data() + taken);
        bytes = bytes.sliced(taken);
        if (qsizetype(current.size()) == bufferBytes)
            submitBuffer();
    }
    return !failed;
}

bool StagingWriter::close() {
    submitBuffer();
    post({Task::Kind::Close, currentSlot, {}, {}});
    return !failed;
}

bool StagingWriter::finish() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return pending == 0; });
    return !failed;
}

std::optional<StagingWriter::Failure> StagingWriter::failure() const {
    std::lock_guard lock(mutex);
    return firstFailure;
}

void StagingWriter::work() {
    OpenFile file;
    for (;;) {
        Task task;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [this] { return !tasks.empty() || stopping; });
            if (tasks.empty())
                return;
            task = std::move(tasks.front());
            tasks.pop_front();
        }
        int error = 0;
        if (!failed) {
            switch (task.kind) {
            case Task::Kind::Open:
                file.file = FileDescriptor(
                    ::openat(folder, task.name.constData(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
                // The mode is exact whatever the umask: readable by the game, never executable.
                if (!file.file.isOpen() || ::fchmod(file.file.get(), 0644) != 0)
                    error = errno;
                file.size = 0;
                break;
            case Task::Kind::Data:
                if (!writeAll(file.file.get(), task.bytes.data(), qsizetype(task.bytes.size())))
                    error = errno;
                file.sha.add(QByteArrayView(task.bytes.data(), qsizetype(task.bytes.size())));
                file.size += qint64(task.bytes.size());
                break;
            case Task::Kind::Close:
                if (file.file.close() != 0)
                    error = errno;
                else
                    written.insert(task.slot, {file.size, file.sha.finishHex()});
                break;
            }
        }
        {
            std::lock_guard lock(mutex);
            if (error != 0 && !firstFailure) {
                firstFailure = Failure{task.slot, error};
                failed = true;
            }
            if (!task.bytes.empty() || task.bytes.capacity() != 0) {
                task.bytes.clear();
                spare.push_back(std::move(task.bytes));
            }
            --pending;
        }
        changed.notify_all();
    }
}
