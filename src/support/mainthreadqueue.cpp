#include "support/mainthreadqueue.h"

#include <QMetaObject>
#include <QTimer>
#include <thread>

namespace {
// Calls run per visit of the event loop, so a burst of reports leaves room for painting and input.
constexpr int callsPerDrain = 200;
} // namespace

MainThreadQueue::MainThreadQueue(QObject* receiver) : receiver(receiver) {}

void MainThreadQueue::perform(std::function<void()> call) {
    std::lock_guard lock(mutex);
    if (!receiver)
        return;
    calls.push_back(std::move(call));
    if (!drainPosted) {
        drainPosted = true;
        // Posted events die with their receiver, so this never runs on a destroyed queue owner.
        QMetaObject::invokeMethod(
            receiver, [this] { drain(); }, Qt::QueuedConnection);
    }
}

void MainThreadQueue::drain() {
    for (int done = 0;; ++done) {
        std::function<void()> call;
        {
            std::lock_guard lock(mutex);
            if (calls.empty() || !receiver) {
                drainPosted = false;
                return;
            }
            if (done == callsPerDrain) {
                QMetaObject::invokeMethod(
                    receiver, [this] { drain(); }, Qt::QueuedConnection);
                return;
            }
            call = std::move(calls.front());
            calls.pop_front();
        }
        call();
    }
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
