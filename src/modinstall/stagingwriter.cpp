// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/stagingwriter.h"

#include "support/filedescriptor.h"
#include "support/xxh3.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

struct StagingWriter::WriterState {
    FileDescriptor file;
    qint64 size = 0;
    // Where the disk was last asked to start writing from.
    qint64 startedTo = 0;
    // Asks the disk to start on what was written since, once it is worth a large write.
    void startWriting(qint64 atLeast) {
        if (size - startedTo >= atLeast) {
            ::sync_file_range(file.get(), startedTo, size - startedTo, SYNC_FILE_RANGE_WRITE);
            startedTo = size;
        }
    }
};

struct StagingWriter::HasherState {
    Xxh3 hash;
};

StagingWriter::StagingWriter(int folder)
    : folder(folder), writerState(std::make_unique<WriterState>()),
      hasherState(std::make_unique<HasherState>()),
      writer([this] { serve(writing, &StagingWriter::write); }),
      hasher([this] { serve(hashing, &StagingWriter::hash); }) {}

StagingWriter::~StagingWriter() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    writer.join();
    hasher.join();
}

void StagingWriter::post(Task task) {
    {
        // Many small files make many tasks: their number is bounded too.
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return writing.tasks.size() < maxTasks; });
        writing.tasks.push_back(task);
        hashing.tasks.push_back(std::move(task));
        ++writing.pending;
        ++hashing.pending;
    }
    changed.notify_all();
}

bool StagingWriter::open(int slot, const QByteArray& name) {
    currentSlot = slot;
    post({Task::Kind::Open, slot, name, {}});
    return !failed;
}

void StagingWriter::submitBuffer() {
    if (current && !current->empty())
        post({Task::Kind::Data, currentSlot, {}, std::move(current)});
    current.reset();
}

bool StagingWriter::add(QByteArrayView bytes) {
    while (!bytes.isEmpty()) {
        if (failed)
            return false;
        if (!current) {
            std::unique_lock lock(mutex);
            changed.wait(lock,
                         [this] { return !spare.empty() || buffersMade < maxBuffers || failed; });
            if (!spare.empty()) {
                current = std::move(spare.back());
                spare.pop_back();
            } else {
                ++buffersMade;
                current = std::make_shared<Buffer>();
                current->reserve(std::size_t(bufferBytes));
            }
        }
        const qsizetype taken = std::min(bufferBytes - qsizetype(current->size()), bytes.size());
        current->insert(current->end(), bytes.data(), bytes.data() + taken);
        bytes = bytes.sliced(taken);
        if (qsizetype(current->size()) == bufferBytes)
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
    changed.wait(lock, [this] { return writing.pending == 0 && hashing.pending == 0; });
    return !failed;
}

std::optional<StagingWriter::Failure> StagingWriter::failure() const {
    std::lock_guard lock(mutex);
    return firstFailure;
}

QHash<int, StagedFile> StagingWriter::files() const {
    QHash<int, StagedFile> files;
    for (auto it = sizes.cbegin(); it != sizes.cend(); ++it)
        if (digests.contains(it.key()))
            files.insert(it.key(), {it.value(), digests.value(it.key())});
    return files;
}

void StagingWriter::fail(int slot, int error) {
    std::lock_guard lock(mutex);
    if (!firstFailure) {
        firstFailure = Failure{slot, error};
        failed = true;
    }
}

// A buffer both threads are done with goes back to be filled again.
void StagingWriter::release(std::shared_ptr<Buffer>& bytes) {
    if (bytes && bytes.use_count() == 1) {
        bytes->clear();
        spare.push_back(std::move(bytes));
    }
    bytes.reset();
}

void StagingWriter::serve(Queue& queue, void (StagingWriter::*perform)(const Task&)) {
    for (;;) {
        Task task;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return !queue.tasks.empty() || stopping; });
            if (queue.tasks.empty())
                return;
            task = std::move(queue.tasks.front());
            queue.tasks.pop_front();
        }
        if (!failed)
            (this->*perform)(task);
        {
            std::lock_guard lock(mutex);
            release(task.bytes);
            --queue.pending;
        }
        changed.notify_all();
    }
}

void StagingWriter::write(const Task& task) {
    WriterState& state = *writerState;
    switch (task.kind) {
    case Task::Kind::Open:
        state.file =
            FileDescriptor(::openat(folder, task.name.constData(),
                                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        // The mode is exact whatever the umask: readable by the game, never executable.
        if (!state.file.isOpen() || ::fchmod(state.file.get(), 0644) != 0)
            fail(task.slot, errno);
        state.size = state.startedTo = 0;
        break;
    case Task::Kind::Data:
        if (!writeAll(state.file.get(), task.bytes->data(), qsizetype(task.bytes->size())))
            return fail(task.slot, errno);
        state.size += qint64(task.bytes->size());
        // The disk starts on these bytes now, so little is left for the one flush before commit.
        state.startWriting(qint64(16) << 20);
        break;
    case Task::Kind::Close:
        state.startWriting(1);
        if (state.file.close() != 0)
            return fail(task.slot, errno);
        sizes.insert(task.slot, state.size);
        break;
    }
}

void StagingWriter::hash(const Task& task) {
    switch (task.kind) {
    case Task::Kind::Open:
        break;
    case Task::Kind::Data:
        hasherState->hash.add(QByteArrayView(task.bytes->data(), qsizetype(task.bytes->size())));
        break;
    case Task::Kind::Close:
        digests.insert(task.slot, hasherState->hash.finishHex());
        break;
    }
}
