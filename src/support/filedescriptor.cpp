// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/filedescriptor.h"

#include <cerrno>
#include <cstring>
#include <vector>

QString systemErrorText(int error) {
    // strerror_r's GNU form: the text may live in the buffer or elsewhere.
    char buffer[256] = {};
    return QString::fromLocal8Bit(strerror_r(error, buffer, sizeof buffer));
}

bool writeAll(int descriptor, const char* bytes, qsizetype size) {
    while (size > 0) {
        const ssize_t written = ::write(descriptor, bytes, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes += written;
        size -= written;
    }
    return true;
}

bool readToEnd(int descriptor, const std::atomic<bool>* cancel,
               const std::function<void(QByteArrayView)>& piece) {
    std::vector<char> buffer(std::size_t(1) << 20);
    for (;;) {
        if (cancel && cancel->load())
            return false;
        const ssize_t got = ::read(descriptor, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;
        piece(QByteArrayView(buffer.data(), got));
    }
}
