// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "installation/gamecopies.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class GameCopyFinder;

// The folder the player points at; absent where they would rather not choose one now.
using ChooseGameFolder = std::function<std::optional<QString>()>;
// The copy to use from now on (absent where none was found and the player chose none), and
// every copy found.
using GameRelocated =
    std::function<void(const std::optional<QString>& copy, const QStringList& copies)>;

// Finds the game again where the stored copy is gone. The places are looked through on the
// finder's worker, since one may be slow; on the main thread the first copy found is answered,
// else the one the player chooses.
void relocateGame(GameCopyFinder& finder, const GameCopyPlaces& places, ChooseGameFolder choose,
                  GameRelocated relocated);
