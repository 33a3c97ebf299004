// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>

class ModInstallFlow;
class VXFadeWindow;

// Closing the window or quitting while a mod is installed or removed: the install is cancelled
// and waited for while it undoes its writes (one already moving its files into place is waited
// for until it is done), a removal is waited for, and only then does the window close or the
// application end; the game folder is never left half changed. The event loop runs meanwhile, and
// a second request changes nothing. The wait ends when the worker reports, however slow the disk.
class CloseAfterInstall : public QObject {
public:
    // Watches the window's closes; a child of the flow, which the window outlives.
    CloseAfterInstall(VXFadeWindow& window, ModInstallFlow& flow);

    // Runs the action at once when nothing is installed or removed, else once that has ended.
    void whenIdle(std::function<void()> action);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    VXFadeWindow& window;
    ModInstallFlow& flow;
    std::function<void()> waiting;
};
