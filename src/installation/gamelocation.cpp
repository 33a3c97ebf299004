#include "installation/gamelocation.h"

#include "installation/gameinstallation.h"
#include "support/textlines.h"

using namespace GameInstallation;

std::optional<QString> bundlePathFromGameLog(const QString& logText) {
    std::optional<QString> chosenLine;
    for (const QString& line : splitLines(logText)) {
        if (line.startsWith(baseDirectoryPrefix, Qt::CaseSensitive))
            chosenLine = line;
    }
    if (!chosenLine)
        return std::nullopt;

    // The last line decides even when it is too short: an earlier line is never used instead,
    // and an empty path would send the mod search over the whole disk.
    const qsizetype tailStart = baseDirectoryPrefix.size();
    const qsizetype pathLength = chosenLine->size() - tailStart - baseDirectoryTailLength;
    if (pathLength <= 0)
        return std::nullopt;
    return chosenLine->mid(tailStart, pathLength);
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
