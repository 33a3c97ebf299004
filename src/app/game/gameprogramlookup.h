// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class MainThreadQueue;

// The program each copy of the game starts, worked out on a worker (a few looks into its folder,
// which may sit on a slow drive) and kept, so that the main thread never waits on the folder.
class GameProgramLookup : public QObject {
public:
    // Called on the main thread whenever an answer is kept.
    explicit GameProgramLookup(std::function<void()> learned, QObject* parent = nullptr);
    ~GameProgramLookup() override;

    // The program known for the copy at gamePath (absent inside: none recognised there), or
    // nullptr while it is not known yet: it is then worked out, and learned() follows.
    const std::optional<QString>* program(const QString& gamePath);
    // What a worker of someone else's found out, kept as if looked up here.
    void remember(const QString& gamePath, const std::optional<QString>& program);
    // Forgets everything known: a copy may have changed since.
    void forget();

private:
    std::function<void()> learned;
    std::shared_ptr<MainThreadQueue> mainThread;
    QHash<QString, std::optional<QString>> known;
    QSet<QString> asked;
    quint64 generation = 0;
};
