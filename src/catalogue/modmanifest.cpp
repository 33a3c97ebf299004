// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/modmanifest.h"

#include "support/nsstringcategory.h"
#include "support/textlines.h"

#include <QStringList>
#include <array>

namespace {

struct ManifestKey {
    QLatin1StringView key;
    std::optional<QString> ModEntry::*field;
};

const std::array<ManifestKey, 5> manifestKeys = {{
    {QLatin1StringView("modtitle="), &ModEntry::name},
    {QLatin1StringView("modcmdline="), &ModEntry::command},
    {QLatin1StringView("modurl="), &ModEntry::url},
    {QLatin1StringView("moddesc="), &ModEntry::description},
    {QLatin1StringView("modlogo="), &ModEntry::logo},
}};

// Quotes anywhere, then the spaces they may have left at the front.
QString cleaned(const QString& value) {
    return NSStringCategory::stringByDeletingLeadSpaceInString(
        NSStringCategory::stringByReplacing(u"\"", u"", value));
}

} // namespace

ModEntry modEntryFromManifest(const std::optional<QString>& text, const QString& relativePath) {
    ModEntry entry;
    const QStringList lines = text ? splitLines(*text) : QStringList();
    for (const QString& line : lines) {
        // Only the front of the line can hold a key; lowercasing just that much keeps long
        // values cheap.
        const QString lowered =
            QStringView(line).first(qMin<qsizetype>(line.size(), 16)).toString().toLower();
        for (const ManifestKey& key : manifestKeys) {
            if (lowered.startsWith(key.key)) {
                // The value comes from the line as read, so it keeps its letter case.
                entry.*key.field = cleaned(line.sliced(key.key.size()));
                break;
            }
        }
    }
    entry.launchName = relativePath.section(u'/', 0, 0);
    return entry;
}
