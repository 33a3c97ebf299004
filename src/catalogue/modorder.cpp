// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/modorder.h"

#include <QCollator>
#include <QLocale>

namespace {

// A collator per thread: one sets itself up on first use, which must not race. English rather
// than the player's locale, so the order is the same everywhere (--list is read by scripts), and
// rather than C, whose collator knows no number order.
const QCollator& nameCollator() {
    thread_local const QCollator collator = [] {
        QCollator made{QLocale(QLocale::English)};
        made.setCaseSensitivity(Qt::CaseInsensitive);
        made.setNumericMode(true);
        return made;
    }();
    return collator;
}

} // namespace

bool modDisplayOrder(const ModEntry& first, const ModEntry& second) {
    const bool firstIsGame = !first.launchName, secondIsGame = !second.launchName;
    if (firstIsGame != secondIsGame)
        return firstIsGame;
    if (const int byName = nameCollator().compare(first.displayName(), second.displayName()))
        return byName < 0;
    // Names that read alike, in a fixed order all the same.
    const QString firstFolder = first.launchName.value_or(QString());
    const QString secondFolder = second.launchName.value_or(QString());
    if (const int byFolder = nameCollator().compare(firstFolder, secondFolder))
        return byFolder < 0;
    return firstFolder < secondFolder;
}
