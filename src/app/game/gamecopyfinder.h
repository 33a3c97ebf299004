// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "installation/gamecopies.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class MainThreadQueue;

// Looks for the copies of the game on a worker: a place may be slow (a network drive, a games
// folder of thousands, a library list that is a FIFO), and the window must not wait on it. The
// copy in use is checked first and answered at once, so that its mods can be listed while the
// other places are still looked through. Only the latest look is answered: one started while
// another still looks drops the other's answers.
class GameCopyFinder : public QObject {
    Q_OBJECT
public:
    // The program the copy in use starts; absent where none is recognised there.
    using InUseChecked = std::function<void(const std::optional<QString>& program)>;
    // Every copy found, in the places' order (see findGameCopies).
    using Found = std::function<void(const QStringList& copies)>;

    explicit GameCopyFinder(QObject* parent = nullptr);
    ~GameCopyFinder() override;

    // Answers through inUseChecked, then found, on the main thread; an absent copy in use is
    // answered as one with no program.
    void find(const GameCopyPlaces& places, const std::optional<QString>& inUse,
              InUseChecked inUseChecked, Found found);
    bool isFinding() const { return finding; }

    // How the games folder is listed; only tests replace it, to make it slow.
    void setGamesFolderLister(GamesFolderLister lister) { listGamesFolder = std::move(lister); }

private:
    std::shared_ptr<MainThreadQueue> mainThread;
    GamesFolderLister listGamesFolder = gamesFolderEntries;
    InUseChecked answerInUse;
    Found answerFound;
    quint64 latest = 0;
    bool finding = false;
};
