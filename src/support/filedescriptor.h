// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>
#include <atomic>
#include <functional>
#include <unistd.h>
#include <utility>

// One open file descriptor, closed when it goes.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int descriptor) : descriptor(descriptor) {}
    FileDescriptor(FileDescriptor&& other) noexcept
        : descriptor(std::exchange(other.descriptor, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            close();
            descriptor = std::exchange(other.descriptor, -1);
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { close(); }

    int get() const { return descriptor; }
    bool isOpen() const { return descriptor >= 0; }
    // Closes now; the system's result, so a late write error (a full disk on NFS) is seen.
    int close() { return descriptor >= 0 ? ::close(std::exchange(descriptor, -1)) : 0; }

private:
    int descriptor = -1;
};

// The system's words for an errno value ("Permission denied").
QString systemErrorText(int error);

// Writes all the bytes, retrying after interruptions; false with errno set on failure.
bool writeAll(int descriptor, const char* bytes, qsizetype size);

// Reads what is left of a file, a megabyte at a time, handing each piece on; false on a read
// error or once cancel is set.
bool readToEnd(int descriptor, const std::atomic<bool>* cancel,
               const std::function<void(QByteArrayView)>& piece);
