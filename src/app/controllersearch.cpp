// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller.h"

#include "catalogue/modsearch.h"
#include "support/mainthreadqueue.h"
#include "support/userdefaults.h"

void Controller::findAllUnrealMods(Controller* controller,
                                   const std::shared_ptr<MainThreadQueue>& queue) {
    queue->perform([controller] { controller->modSearchBegan(); });
    const std::optional<QString> path =
        UserDefaults::standard().stringForKey(QStringLiteral("unrealPath"));
    searchForModsInBasePath(path, [controller, &queue](ModEntry entry) {
        queue->perform([controller, entry = std::move(entry)]() mutable {
            controller->newUnrealModWasFound(std::move(entry));
        });
    });
    queue->perform([controller] { controller->modSearchEnded(); });
}
