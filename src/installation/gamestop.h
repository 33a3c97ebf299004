// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// How the game process ended: its exit code, or the signal that ended it.
struct GameExit {
    bool bySignal = false;
    int code = 0;
};

// A candidate log and when it was last written.
struct GameLogFile {
    QString path;
    QDateTime modified;
};

// Why the game stopped, and the text to show for it: the log that held the reason, or else what
// the game wrote while it ran (then without a path).
struct GameStop {
    QString reason;
    std::optional<QString> logPath;
    QString logText;
};

// How many lines of a log the player is shown.
inline constexpr int shownLogLines = 200;

// The logs a run of the game may write: the plain game's (classic macOS and Linux), and for a
// mod its own log in its System folder below the game folder and below the per-user folder.
QStringList gameLogCandidates(const QString& homePath, const QString& gameFolder,
                              const std::optional<QString>& modFolder);

// The logs written since the launch started, newest first.
QStringList logsWrittenSince(QList<GameLogFile> logs, const QDateTime& launchStart);

// The text after the first line's "Critical: ", or absent where no line begins with it.
std::optional<QString> firstCriticalReason(QStringView text);

// The last count lines of the text.
QString lastLines(QStringView text, int count);

// Why the game stopped, absent for a clean exit (code 0). The first "Critical: " line wins,
// searched in the output, then in the logs in order, each read through readLog (absent when it
// cannot be read); else the signal ("it crashed: Segmentation fault"); else the exit code.
using ReadLog = std::function<std::optional<QString>(const QString& path)>;
std::optional<GameStop> gameStop(const GameExit& exit, const QString& output,
                                 const QStringList& logs, const ReadLog& readLog);

// The same over the files: the candidate logs written since the launch started, newest first,
// each read up to the game log's size cap.
std::optional<GameStop> whyGameStopped(const GameExit& exit, const QString& output,
                                       const QDateTime& launchStart,
                                       const QStringList& candidateLogs);

// The player's words for a signal: "Segmentation fault".
QString signalDescription(int signal);
