// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/terminationrequest.h"

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <fcntl.h>

namespace {

// The one thing the handler may touch: lock-free, so safe to read in a signal handler.
std::atomic<int> signalWriteEnd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

void onTerminate(int) {
    const int saved = errno;
    const char byte = 1;
    if (const int fd = signalWriteEnd.load(); fd >= 0) {
        // A full pipe already holds a request.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = saved;
}

} // namespace

TerminationRequest::TerminationRequest(QObject* parent) : QObject(parent) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning("Modgate: SIGTERM ends Modgate at once: %s", qPrintable(systemErrorText(errno)));
        return;
    }
    readEnd = FileDescriptor(ends[0]);
    writeEnd = FileDescriptor(ends[1]);
    auto* notifier = new QSocketNotifier(readEnd.get(), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        // Signals that came together are one request.
        char bytes[64];
        while (::read(readEnd.get(), bytes, sizeof bytes) > 0) {
        }
        emit received();
    });
    earlierWriteEnd = signalWriteEnd.exchange(writeEnd.get());
    struct sigaction action {};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, &earlier);
}

TerminationRequest::~TerminationRequest() {
    if (!writeEnd.isOpen())
        return;
    ::sigaction(SIGTERM, &earlier, nullptr);
    signalWriteEnd.store(earlierWriteEnd);
}
