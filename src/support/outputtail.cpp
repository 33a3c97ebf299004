// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/outputtail.h"

#include <algorithm>
#include <cstring>

OutputTail::OutputTail(qsizetype capacity) : ring(std::max<qsizetype>(capacity, 1), '\0') {}

void OutputTail::append(QByteArrayView bytes) {
    if (bytes.isEmpty())
        return;
    const qsizetype size = ring.size();
    total += bytes.size();
    if (bytes.size() >= size) {
        // Only the end of a chunk at least as large as the buffer survives.
        std::memcpy(ring.data(), bytes.data() + bytes.size() - size, size_t(size));
        next = 0;
        full = true;
        return;
    }
    const qsizetype first = std::min(bytes.size(), size - next);
    std::memcpy(ring.data() + next, bytes.data(), size_t(first));
    std::memcpy(ring.data(), bytes.data() + first, size_t(bytes.size() - first));
    full = full || next + bytes.size() >= size;
    next = (next + bytes.size()) % size;
}

QByteArray OutputTail::bytes() const {
    if (!full)
        return ring.first(next);
    return ring.sliced(next) + ring.first(next);
}
