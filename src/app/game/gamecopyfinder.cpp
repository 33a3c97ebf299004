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
    // The answers stay here: the worker only hands over what it found.
    answerInUse = std::move(inUseChecked);
    answerFound = std::move(found);
    detachNewThread([this, look, queue = mainThread, places = unshared(places),
                     inUse = unshared(inUse), lister = listGamesFolder] {
        queue->perform([this, look, program = unshared(programOf(inUse))] {
            if (look != latest)
                return;
            // A copy: the answer may start another look, which replaces the member.
            const InUseChecked answer = answerInUse;
            answer(program);
        });
        queue->perform(
            [this, look, copies = unshared(findGameCopies(places, hostArchitecture(), lister))] {
                if (look != latest)
                    return;
                finding = false;
                const Found answer = answerFound;
                answer(copies);
            });
    });
}
