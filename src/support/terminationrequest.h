// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/filedescriptor.h"

#include <QObject>
#include <csignal>

// SIGTERM (a session's logout, a service manager, kill) heard as a request on the main thread
// rather than ending the process at once, so that the application can end as its Quit does.
// While one lives, the signal's handler only writes a byte to a pipe watched here; the earlier
// handling comes back when it goes. They nest: the latest one made hears the signal.
class TerminationRequest : public QObject {
    Q_OBJECT
public:
    explicit TerminationRequest(QObject* parent = nullptr);
    ~TerminationRequest() override;

signals:
    void received();

private:
    FileDescriptor readEnd;
    FileDescriptor writeEnd;
    int earlierWriteEnd = -1;
    struct sigaction earlier {};
};
