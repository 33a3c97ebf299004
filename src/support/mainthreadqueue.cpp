#include "support/mainthreadqueue.h"

#include <QMetaObject>
#include <QTimer>
#include <thread>

MainThreadQueue::MainThreadQueue(QObject* receiver) : receiver(receiver) {}

void MainThreadQueue::perform(std::function<void()> call) {
    std::lock_guard lock(mutex);
    if (receiver)
        QMetaObject::invokeMethod(receiver, std::move(call), Qt::QueuedConnection);
}

void MainThreadQueue::close() {
    std::lock_guard lock(mutex);
    receiver = nullptr;
}

void performAfterDelay(QObject* context, int milliseconds, std::function<void()> call) {
    QTimer::singleShot(milliseconds, context, std::move(call));
}

void detachNewThread(std::function<void()> body) {
    std::thread(std::move(body)).detach();
}
