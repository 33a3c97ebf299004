// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "installation/gamelayout.h"
#include "installation/gamestop.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <optional>

// One run of the game as the launch worker sees it.
struct GameRun {
    // Why the game could not be started; absent when it ran.
    std::optional<QString> startError;
    GameExit exit;
    // The end of what the game wrote to its standard output and error, as text.
    QString output;
    // When the launch started the game.
    QDateTime started;
};

// Where the game's output is passed on to: file descriptors, by default Modgate's own.
struct OutputSinks {
    int standardOutput = 1;
    int standardError = 2;
};

// Starts the game and returns once it has exited and the pause after its start is over, calling
// afterPause then (not when the start failed). Meanwhile it reads everything the game writes, so
// the game never waits on a full pipe: passes it on to the sinks and keeps the last
// gameOutputTailBytes of it. Runs an event loop of its own on the calling thread.
GameRun runGame(const GameLayout& game, const QStringList& arguments,
                std::chrono::milliseconds pause, const std::function<void()>& afterPause,
                OutputSinks sinks = {});
