// SPDX-License-Identifier: GPL-3.0-or-later
#include "installation/gamestop.h"

#include "installation/gamelocation.h"
#include "support/textfile.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace {

const QString criticalPrefix = QStringLiteral("Critical: ");

bool isLineEnd(QChar c) {
    return c == u'\n' || c == u'\r';
}

} // namespace

QStringList gameLogCandidates(const QString& homePath, const QString& gameFolder,
                              const std::optional<QString>& modFolder) {
    QStringList logs = gameLogPaths(homePath);
    if (modFolder && !modFolder->isEmpty()) {
        const QString modLog =
            u'/' + *modFolder + QStringLiteral("/System/") + *modFolder + QStringLiteral(".log");
        logs.append(gameFolder + modLog);
        logs.append(homePath + QStringLiteral("/.ut2004") + modLog);
    }
    return logs;
}

QStringList logsWrittenSince(QList<GameLogFile> logs, const QDateTime& launchStart) {
    // File times lag the clock by up to a timer tick, so a log opened right after the start may
    // look a little older than it.
    const QDateTime since = launchStart.addSecs(-1);
    logs.removeIf([&](const GameLogFile& log) { return log.modified < since; });
    std::stable_sort(logs.begin(), logs.end(), [](const GameLogFile& a, const GameLogFile& b) {
        return a.modified > b.modified;
    });
    QStringList paths;
    for (const GameLogFile& log : logs)
        paths.append(log.path);
    return paths;
}

std::optional<QString> firstCriticalReason(QStringView text) {
    for (qsizetype at = text.indexOf(criticalPrefix); at >= 0;
         at = text.indexOf(criticalPrefix, at + 1)) {
        if (at > 0 && !isLineEnd(text[at - 1]))
            continue;
        const qsizetype start = at + criticalPrefix.size();
        qsizetype end = start;
        while (end < text.size() && !isLineEnd(text[end]))
            ++end;
        return text.sliced(start, end - start).trimmed().toString();
    }
    return std::nullopt;
}

QString lastLines(QStringView text, int count) {
    qsizetype end = text.size();
    // A final line end closes the last line rather than opening an empty one.
    while (end > 0 && isLineEnd(text[end - 1]))
        --end;
    qsizetype start = end;
    for (int lines = 0; start > 0; --start) {
        if (text[start - 1] == u'\n' || (text[start - 1] == u'\r' && text[start] != u'\n')) {
            if (++lines == count)
                break;
        }
    }
    return text.sliced(start, end - start).toString();
}

std::optional<GameStop> gameStop(const GameExit& exit, const QString& output,
                                 const QStringList& logs, const ReadLog& readLog) {
    if (!exit.bySignal && exit.code == 0)
        return std::nullopt;
    if (std::optional<QString> reason = firstCriticalReason(output))
        return GameStop{*reason, std::nullopt, lastLines(output, shownLogLines)};
    std::optional<GameStop> newestLog;
    for (const QString& path : logs) {
        const std::optional<QString> text = readLog(path);
        if (!text)
            continue;
        if (std::optional<QString> reason = firstCriticalReason(*text))
            return GameStop{*reason, path, lastLines(*text, shownLogLines)};
        if (!newestLog)
            newestLog = GameStop{{}, path, lastLines(*text, shownLogLines)};
    }
    // Without a reason in writing, the output is shown, or the newest log when there was none.
    GameStop stop = output.isEmpty() && newestLog
                        ? *newestLog
                        : GameStop{{}, std::nullopt, lastLines(output, shownLogLines)};
    stop.reason = exit.bySignal ? QStringLiteral("it crashed: ") + signalDescription(exit.code)
                                : QStringLiteral("exit code %1").arg(exit.code);
    return stop;
}

std::optional<GameStop> whyGameStopped(const GameExit& exit, const QString& output,
                                       const QDateTime& launchStart,
                                       const QStringList& candidateLogs) {
    if (!exit.bySignal && exit.code == 0)
        return std::nullopt;
    QList<GameLogFile> logs;
    for (const QString& path : candidateLogs) {
        const QFileInfo file(path);
        if (file.isFile())
            logs.append({path, file.lastModified()});
    }
    return gameStop(exit, output, logsWrittenSince(logs, launchStart), [](const QString& path) {
        return stringWithContentsOfFile(path, maxGameLogBytes);
    });
}

QString signalDescription(int signal) {
    // strsignal() gives the C library's own words, which are what players search for.
    const char* description = ::strsignal(signal);
    return description ? QString::fromLocal8Bit(description)
                       : QStringLiteral("signal %1").arg(signal);
}
