// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// A file written whole into the staging folder.
struct StagedFile {
    qint64 size = 0;
    QString sha256;
};

// Writes files into a folder on a thread of its own, hashing each as it goes, while the calling
// thread reads (and inflates) the download: the two cores each do half the work. The bytes given
// are copied into a few large buffers, so memory stays bounded whatever the files' sizes.
// Files are created new (never through a link, never over a file), mode 0644.
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
    // Waits until everything given so far is written.
    bool finish();

    struct Failure {
        int slot = -1;
        int error = 0;
    };
    std::optional<Failure> failure() const;
    // The files closed so far by slot; read after finish().
    const QHash<int, StagedFile>& files() const { return written; }

private:
    struct Task {
        enum class Kind { Open, Data, Close } kind = Kind::Open;
        int slot = -1;
        QByteArray name;
        std::vector<char> bytes;
    };
    void post(Task task);
    void submitBuffer();
    void work();

    const int folder;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::deque<Task> tasks;
    std::vector<std::vector<char>> spare;
    int buffersMade = 0;
    int pending = 0;
    bool stopping = false;
    std::atomic<bool> failed{false};
    std::optional<Failure> firstFailure;
    std::vector<char> current;
    int currentSlot = -1;
    QHash<int, StagedFile> written;
    std::thread worker;
};
