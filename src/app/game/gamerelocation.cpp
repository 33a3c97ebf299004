// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/game/gamerelocation.h"

#include "app/game/gamecopyfinder.h"

void relocateGame(GameCopyFinder& finder, const GameCopyPlaces& places, ChooseGameFolder choose,
                  GameRelocated relocated) {
    // No copy is in use: the stored one is gone.
    finder.find(
        places, std::nullopt, [](const std::optional<QString>&) {},
        [choose = std::move(choose), relocated = std::move(relocated)](const QStringList& copies) {
            // A log line naming a game that has since been moved or deleted must not win over the
            // player: only recognised copies are found.
            relocated(copies.isEmpty() ? choose() : std::optional(copies.constFirst()), copies);
        });
}
