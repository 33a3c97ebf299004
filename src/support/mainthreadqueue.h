#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <mutex>

// Calls queued from any thread onto the main thread, run there one at a time in the order queued.
// Queuing never waits. Workers hold the queue by shared_ptr; once its receiver is gone (the
// application is shutting down) further calls are dropped instead of reaching a dead object.
class MainThreadQueue {
public:
    explicit MainThreadQueue(QObject* receiver);

    void perform(std::function<void()> call);
    void close();

private:
    std::mutex mutex;
    QObject* receiver;
};

// A call on the main thread's event loop after a delay; nothing cancels it.
void performAfterDelay(QObject* context, int milliseconds, std::function<void()> call);

// Starts a thread that nobody joins or waits for.
void detachNewThread(std::function<void()> body);
