// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller.h"

#include "catalogue/modsearch.h"
#include "support/mainthreadqueue.h"
#include "support/preferencekeys.h"
#include "support/userdefaults.h"

void Controller::findAllUnrealMods(Controller* controller,
                                   const std::shared_ptr<MainThreadQueue>& queue, int generation) {
    // Runs a report on the main thread, unless a newer search has started since.
    const auto report = [controller, generation, &queue](auto call) {
        queue->perform([controller, generation, call = std::move(call)]() mutable {
            if (controller->searchGeneration == generation)
                call();
        });
    };
    report([controller] { controller->modSearchBegan(); });
    const std::optional<QString> path =
        UserDefaults::standard().stringForKey(preferenceKeys::unrealPath);
    searchForModsInBasePath(path, [controller, &report](ModEntry entry) {
        report([controller, entry = std::move(entry)]() mutable {
            controller->newUnrealModWasFound(std::move(entry));
        });
    });
    report([controller] { controller->modSearchEnded(); });
}
