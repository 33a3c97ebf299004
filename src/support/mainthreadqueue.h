// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

// Calls queued from any thread onto the main thread, run there one at a time in the order queued.
// Queuing never waits. Workers hold the queue by shared_ptr; once it is closed (its receiver is
// going away) further calls are dropped instead of reaching a dead object.
//
// The calls wait in our own mutex-guarded list rather than only in Qt's event queue, so the
// hand-over from worker to main thread is visible to ThreadSanitizer as well. What a worker posts
// is a bare event, which the main thread reads nothing of but its type: a posted functor would
// carry fields written on the worker and read on the main thread with only Qt's own locking,
// which the sanitizer does not see, between them.
class MainThreadQueue {
public:
    explicit MainThreadQueue(QObject* receiver);

    void perform(std::function<void()> call);
    void close();
    // Runs the next call queued, if any; on the main thread, one per event posted.
    void runNext();

private:
    std::mutex mutex;
    QObject* receiver;
    // Made on the main thread, a child of the receiver: posted events die with it.
    QObject* runner;
    std::deque<std::function<void()>> calls;
};

// A call on the main thread's event loop after a delay; nothing cancels it.
void performAfterDelay(QObject* context, int milliseconds, std::function<void()> call);

// Starts a thread that nobody joins or waits for.
void detachNewThread(std::function<void()> body);
