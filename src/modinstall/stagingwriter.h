// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// A file written whole into the staging folder.
struct StagedFile {
    qint64 size = 0;
    QString xxh3;
};

// Writes files into a folder while the calling thread reads (and inflates) the download: one
// thread writes, starting the disk's work at once, another hashes, so the two cores share the
// work however it falls. The bytes given are copied into a few large buffers that both use, so
// memory stays bounded whatever the files' sizes. Files are created new (never through a link,
// never over a file), mode 0644.
class StagingWriter {
public:
    static constexpr qsizetype bufferBytes = qsizetype(1) << 20;
    static constexpr int maxBuffers = 8;
    static constexpr std::size_t maxTasks = 4096;

    explicit StagingWriter(int folder);
    ~StagingWriter();
    StagingWriter(const StagingWriter&) = delete;
    StagingWriter& operator=(const StagingWriter&) = delete;

    // Each returns false once writing has failed; failure() then says how.
    bool open(int slot, const QByteArray& name);
    bool add(QByteArrayView bytes);
    bool close();
    // Waits until everything given so far is written and hashed.
    bool finish();

    struct Failure {
        int slot = -1;
        int error = 0;
    };
    std::optional<Failure> failure() const;
    // The files closed so far by slot; read after finish().
    QHash<int, StagedFile> files() const;

private:
    using Buffer = std::vector<char>;
    struct Task {
        enum class Kind { Open, Data, Close } kind = Kind::Open;
        int slot = -1;
        QByteArray name;
        std::shared_ptr<Buffer> bytes;
    };
    struct Queue {
        std::deque<Task> tasks;
        int pending = 0;
    };
    void post(Task task);
    void submitBuffer();
    void release(std::shared_ptr<Buffer>& bytes);
    void serve(Queue& queue, void (StagingWriter::*perform)(const Task&));
    void write(const Task& task);
    void hash(const Task& task);
    void fail(int slot, int error);

    const int folder;
    mutable std::mutex mutex;
    std::condition_variable changed;
    Queue writing;
    Queue hashing;
    std::vector<std::shared_ptr<Buffer>> spare;
    int buffersMade = 0;
    bool stopping = false;
    std::atomic<bool> failed{false};
    std::optional<Failure> firstFailure;
    std::shared_ptr<Buffer> current;
    int currentSlot = -1;
    // Each thread's own, read by the caller after finish().
    QHash<int, qint64> sizes;
    QHash<int, QString> digests;
    struct WriterState;
    struct HasherState;
    std::unique_ptr<WriterState> writerState;
    std::unique_ptr<HasherState> hasherState;
    std::thread writer;
    std::thread hasher;
};
