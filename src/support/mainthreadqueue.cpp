// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/mainthreadqueue.h"

#include <QMetaObject>
#include <QTimer>
#include <thread>

MainThreadQueue::MainThreadQueue(QObject* receiver) : receiver(receiver) {}

void MainThreadQueue::perform(std::function<void()> call) {
    std::lock_guard lock(mutex);
    if (!receiver)
        return;
    calls.push_back(std::move(call));
    // One event per call, so user events can run between them. Posted events die with their
    // receiver, so none of them runs on a destroyed queue owner.
    QMetaObject::invokeMethod(
        receiver, [this] { runNext(); }, Qt::QueuedConnection);
}

void MainThreadQueue::runNext() {
    std::function<void()> call;
    {
        std::lock_guard lock(mutex);
        if (calls.empty() || !receiver)
            return;
        call = std::move(calls.front());
        calls.pop_front();
    }
    call();
}

void MainThreadQueue::close() {
    std::lock_guard lock(mutex);
    receiver = nullptr;
    calls.clear();
}

void performAfterDelay(QObject* context, int milliseconds, std::function<void()> call) {
    QTimer::singleShot(milliseconds, context, std::move(call));
}

void detachNewThread(std::function<void()> body) {
    std::thread(std::move(body)).detach();
}
