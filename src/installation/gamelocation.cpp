// SPDX-License-Identifier: GPL-3.0-or-later
#include "installation/gamelocation.h"

#include "installation/gameinstallation.h"
#include "support/textlines.h"

using namespace GameInstallation;

namespace {

bool isSeparator(QChar c) {
    return c == u'/' || c == u'\\';
}

// "…/SystemARM64/" less its last component, the separator before it kept; absent where the text
// does not end in such a component.
std::optional<QString> withoutSystemFolder(const QString& text) {
    if (text.isEmpty() || !isSeparator(text.back()))
        return std::nullopt;
    qsizetype start = text.size() - 1;
    while (start > 0 && !isSeparator(text.at(start - 1)))
        --start;
    if (!QStringView(text).sliced(start).startsWith(u"System"))
        return std::nullopt;
    return text.first(start);
}

} // namespace

std::optional<QString> gamePathFromGameLog(const QString& logText) {
    std::optional<QString> chosenLine;
    for (const QString& line : splitLines(logText)) {
        if (line.startsWith(baseDirectoryPrefix, Qt::CaseSensitive))
            chosenLine = line;
    }
    if (!chosenLine)
        return std::nullopt;

    // The last line decides even when it is too short: an earlier line is never used instead,
    // and an empty path would send the mod search over the whole disk.
    const QString tail = chosenLine->sliced(baseDirectoryPrefix.size());
    const QString path = withoutSystemFolder(tail).value_or(
        tail.chopped(std::min<qsizetype>(tail.size(), baseDirectoryTailLength)));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

bool isGameBundlePath(const QString& path) {
    // Like a last path component: trailing separators do not count.
    qsizetype end = path.size();
    while (end > 1 && path.at(end - 1) == u'/')
        --end;
    const QStringView trimmed = QStringView(path).first(end);
    const qsizetype slash = trimmed.lastIndexOf(u'/');
    const QStringView lastComponent = slash < 0 ? trimmed : trimmed.sliced(slash + 1);
    return lastComponent == bundleFileName;
}

QStringList gameLogPaths(const QString& homePath) {
    return {gameLogPath(homePath), homePath + QStringLiteral("/.ut2004/System/UT2004.log")};
}

QStringList wellKnownGameFolders(const QString& homePath, const QString& dataHome) {
    const QString steamGame = QStringLiteral("/steamapps/common/Unreal Tournament 2004/linuxdata");
    return {dataHome + QStringLiteral("/OldUnreal/UT2004"),
            homePath + QStringLiteral("/.local/share/Steam") + steamGame,
            homePath + QStringLiteral("/.steam/steam") + steamGame,
            QStringLiteral("/usr/local/games/ut2004"), QStringLiteral("/opt/ut2004")};
}
