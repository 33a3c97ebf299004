// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/game/gameprogramlookup.h"

#include "installation/gamelayout.h"
#include "support/mainthreadqueue.h"
#include "support/threadhandover.h"

GameProgramLookup::GameProgramLookup(std::function<void()> learned, QObject* parent)
    : QObject(parent), learned(std::move(learned)),
      mainThread(std::make_shared<MainThreadQueue>(this)) {}

GameProgramLookup::~GameProgramLookup() {
    // A worker still looking answers nobody.
    mainThread->close();
}

const std::optional<QString>* GameProgramLookup::program(const QString& gamePath) {
    if (const auto it = known.constFind(gamePath); it != known.cend())
        return &it.value();
    if (!asked.contains(gamePath)) {
        asked.insert(gamePath);
        detachNewThread([this, queue = mainThread, path = unshared(gamePath),
                         current = generation] {
            const std::optional<GameLayout> layout = recognizeGameLayout(path);
            queue->perform([this, current, path = unshared(path),
                            program = unshared(layout ? std::optional<QString>(layout->executable)
                                                      : std::nullopt)] {
                // What was looked up before forget() may be out of date.
                if (current == generation)
                    remember(path, program);
            });
        });
    }
    return nullptr;
}

void GameProgramLookup::remember(const QString& gamePath, const std::optional<QString>& program) {
    known.insert(gamePath, program);
    asked.remove(gamePath);
    learned();
}

void GameProgramLookup::forget() {
    ++generation;
    known.clear();
    asked.clear();
}
