// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/game/gamecopyfinder.h"

#include "installation/gamelayout.h"
#include "support/mainthreadqueue.h"
#include "support/threadhandover.h"

namespace {

QStringList unshared(const QStringList& texts) {
    QStringList copies;
    for (const QString& text : texts)
        copies.append(unshared(text));
    return copies;
}

// What the worker gets shares no data with what this thread keeps (see threadhandover.h).
GameCopyPlaces unshared(const GameCopyPlaces& places) {
    return {unshared(places.gameLogs),       unshared(places.wellKnownFolders),
            unshared(places.desktopEntries), unshared(places.steamRoots),
            unshared(places.gamesFolder),    unshared(places.pathFolders)};
}

std::optional<QString> programOf(const std::optional<QString>& gamePath) {
    const std::optional<GameLayout> layout =
        gamePath ? recognizeGameLayout(*gamePath) : std::nullopt;
    return layout ? std::optional<QString>(layout->executable) : std::nullopt;
}

} // namespace

GameCopyFinder::GameCopyFinder(QObject* parent)
    : QObject(parent), mainThread(std::make_shared<MainThreadQueue>(this)) {}

GameCopyFinder::~GameCopyFinder() {
    // A worker still looking answers nobody.
    mainThread->close();
}

void GameCopyFinder::find(const GameCopyPlaces& places, const std::optional<QString>& inUse,
                          InUseChecked inUseChecked, Found found) {
    const quint64 look = ++latest;
    finding = true;
    // Runs an answer on the main thread, unless a newer look has started since.
    const auto answer = [this, look, queue = mainThread](std::function<void()> call, bool last) {
        queue->perform([this, look, last, call = std::move(call)] {
            if (look != latest)
                return;
            finding = !last;
            call();
        });
    };
    detachNewThread([answer, places = unshared(places), inUse = unshared(inUse),
                     lister = listGamesFolder, inUseChecked = std::move(inUseChecked),
                     found = std::move(found)] {
        answer([inUseChecked, program = unshared(programOf(inUse))] { inUseChecked(program); },
               false);
        QStringList copies = unshared(findGameCopies(places, hostArchitecture(), lister));
        answer([found, copies = std::move(copies)] { found(copies); }, true);
    });
}
