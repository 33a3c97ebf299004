// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/install/closeafterinstall.h"

#include "app/install/modinstallflow.h"
#include "window/vxfadewindow.h"

#include <QEvent>
#include <utility>

CloseAfterInstall::CloseAfterInstall(VXFadeWindow& window, ModInstallFlow& flow)
    : QObject(&flow), window(window), flow(flow) {
    window.installEventFilter(this);
    connect(&flow, &ModInstallFlow::finished, this, [this] {
        if (auto action = std::exchange(waiting, nullptr))
            action();
    });
}

void CloseAfterInstall::whenIdle(std::function<void()> action) {
    if (!flow.isRunning()) {
        action();
        return;
    }
    // The first request is the one carried out; later ones neither force nor replace it.
    if (waiting)
        return;
    waiting = std::move(action);
    flow.stop();
}

bool CloseAfterInstall::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window || event->type() != QEvent::Close || !flow.isRunning())
        return QObject::eventFilter(watched, event);
    event->ignore();
    // Closed again later as it was asked now: the user's close ends the application.
    if (event->spontaneous())
        whenIdle([this] { window.performClose(); });
    else
        whenIdle([this] { window.close(); });
    return true;
}
