#include "app/controller.h"

#include "catalogue/modsearch.h"
#include "support/mainthreadqueue.h"
#include "support/userdefaults.h"

void Controller::findAllUnrealMods(const std::shared_ptr<MainThreadQueue>& queue) {
    queue->perform([this] { modSearchBegan(); });
    const std::optional<QString> path =
        UserDefaults::standard().stringForKey(QStringLiteral("unrealPath"));
    searchForModsInBasePath(path, [this, &queue](ModEntry entry) {
        queue->perform(
            [this, entry = std::move(entry)]() mutable { newUnrealModWasFound(std::move(entry)); });
    });
    queue->perform([this] { modSearchEnded(); });
}
