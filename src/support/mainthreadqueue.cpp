// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/mainthreadqueue.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <thread>

namespace {

const QEvent::Type runNextEvent = QEvent::Type(QEvent::registerEventType());

// Runs the queue's next call for each event posted to it.
class QueueRunner : public QObject {
public:
    QueueRunner(MainThreadQueue& queue, QObject* parent) : QObject(parent), queue(queue) {}

    bool event(QEvent* event) override {
        if (event->type() != runNextEvent)
            return QObject::event(event);
        queue.runNext();
        return true;
    }

private:
    MainThreadQueue& queue;
};

} // namespace

MainThreadQueue::MainThreadQueue(QObject* receiver)
    : receiver(receiver), runner(new QueueRunner(*this, receiver)) {}

void MainThreadQueue::perform(std::function<void()> call) {
    std::lock_guard lock(mutex);
    if (!receiver)
        return;
    calls.push_back(std::move(call));
    // One event per call, so user events can run between them. Posted events die with their
    // receiver's child, so none of them runs on a destroyed queue owner.
    QCoreApplication::postEvent(runner, new QEvent(runNextEvent));
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
