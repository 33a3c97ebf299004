// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>

// How much of the game's output is kept for finding why it stopped.
inline constexpr qsizetype gameOutputTailBytes = qsizetype(256) << 10;

// The last bytes of a stream, kept in one buffer of a fixed size however much flows through.
class OutputTail {
public:
    explicit OutputTail(qsizetype capacity = gameOutputTailBytes);

    void append(QByteArrayView bytes);
    // The kept bytes, oldest first.
    QByteArray bytes() const;
    // True once bytes were dropped at the front, so the first kept line may be cut.
    bool wrapped() const { return total > ring.size(); }
    qsizetype capacity() const { return ring.size(); }

private:
    QByteArray ring;
    qsizetype next = 0;
    bool full = false;
    qint64 total = 0;
};
