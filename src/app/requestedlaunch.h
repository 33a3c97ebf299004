// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/cli/commandline.h"

#include <QObject>
#include <QString>
#include <optional>

class Controller;

// Does what the command line asks of the window, at start-up or when a later start hands its
// request over: uses the copy of the game it names for this run, and once that copy's mods are
// all listed, selects the mod (or the plain game) and launches it as the Launch button does.
class RequestedLaunch : public QObject {
    Q_OBJECT
public:
    // The controller's child.
    explicit RequestedLaunch(Controller& controller);

    // At start-up, before the controller starts up.
    void startWith(const StartRequest& request);
    // From a later start, with the window running.
    void follow(const StartRequest& request);

private:
    void searchEnded();
    void launchPending();
    void installPending();

    Controller& controller;
    std::optional<StartRequest> pending;
    // What the status line says once the search that runs has ended.
    std::optional<QString> pendingMessage;
    // Downloads to install, once the mods are listed.
    QStringList pendingDownloads;
};
