// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/modlisting.h"

#include "catalogue/modorder.h"
#include "catalogue/modsearch.h"
#include "installation/gamecopies.h"
#include "installation/gamelayout.h"
#include "support/preferencekeys.h"
#include "support/userdefaults.h"

#include <QFile>
#include <algorithm>
#include <cstdio>

namespace {

QByteArray listedValue(const QByteArray& bytes) {
    QByteArray written;
    written.reserve(bytes.size());
    for (const char byte : bytes) {
        switch (byte) {
        case '\\':
            written += "\\\\";
            break;
        case '\t':
            written += "\\t";
            break;
        case '\n':
            written += "\\n";
            break;
        case '\r':
            written += "\\r";
            break;
        default:
            written += byte;
        }
    }
    return written;
}

// The copy --list looks at, or why there is none.
std::pair<std::optional<QString>, QString> copyToList(const std::optional<QString>& named) {
    if (named) {
        if (const auto copy = recognisedGameCopy(*named))
            return {copy, {}};
        return {std::nullopt, QStringLiteral("No copy of the game in %1.").arg(*named)};
    }
    // Only read: a stored copy that is gone stays stored, for the window to deal with.
    const auto stored = UserDefaults::standard().stringForKey(preferenceKeys::unrealPath);
    if (stored && recognizeGameLayout(*stored))
        return {stored, {}};
    const QStringList copies = findGameCopies(defaultGameCopyPlaces());
    if (!copies.isEmpty())
        return {copies.constFirst(), {}};
    return {std::nullopt, QStringLiteral("No copy of the game found. Name its folder with --game, "
                                         "or start Modgate to choose it.")};
}

} // namespace

QByteArray modListing(QList<ModEntry> mods) {
    mods.removeIf([](const ModEntry& entry) { return !entry.launchName; });
    std::stable_sort(mods.begin(), mods.end(), listsBefore);
    QByteArray listing;
    for (const ModEntry& entry : std::as_const(mods)) {
        // The folder as the file system names it, byte for byte.
        listing += listedValue(QFile::encodeName(*entry.launchName)) + '\t';
        if (!entry.isUntitled())
            listing += listedValue(entry.name.value_or(QString()).toUtf8());
        listing += '\n';
    }
    return listing;
}

int listMods(const std::optional<QString>& gameFolder) {
    const auto [copy, reason] = copyToList(gameFolder);
    if (!copy) {
        std::fprintf(stderr, "modgate: %s\n", reason.toLocal8Bit().constData());
        return 1;
    }
    QList<ModEntry> mods;
    searchForModsInBasePath(copy, [&mods](ModEntry entry) { mods.append(std::move(entry)); });
    const QByteArray listing = modListing(std::move(mods));
    std::fwrite(listing.constData(), 1, size_t(listing.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
