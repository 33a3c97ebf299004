// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/umodplacement.h"
#include "modinstall/installsource.h"
#include "packages/umodmanifest.h"

#include <QHash>

namespace {

constexpr qint64 largestManifest = 1024 * 1024;

// How the engine compares archive names: '\' as '/', letters in one case.
QString key(const QString& name) {
    return QString(name).replace(u'\\', u'/').toCaseFolded();
}

std::optional<int> entryNamed(const QList<SourceEntry>& entries, const QString& name) {
    const QString wanted = key(name);
    for (int i = 0; i < entries.size(); ++i)
        if (key(entries[i].name) == wanted)
            return i;
    return std::nullopt;
}

} // namespace

std::variant<UmodPlacement, InstallRefusal> placeUmod(const UmodManifest& manifest,
                                                      const QList<SourceEntry>& entries) {
    QHash<QString, int> byName;
    byName.reserve(entries.size());
    for (int i = 0; i < entries.size(); ++i)
        byName.insert(key(entries[i].name), i);

    UmodPlacement placement;
    placement.name = manifest.localProduct.isEmpty() ? manifest.product : manifest.localProduct;
    placement.iniEditsNotApplied = manifest.iniEdits;
    placement.programNotRun = manifest.program;

    QList<bool> placed(entries.size(), false);
    QHash<QString, int> destinations;
    for (const UmodFileLine& line : manifest.files) {
        const auto entry = byName.constFind(key(line.source));
        if (entry == byName.cend())
            return InstallRefusal{
                QStringLiteral("its manifest names %1, which it does not hold").arg(line.source)};
        const auto taken = destinations.constFind(key(line.destination));
        if (taken != destinations.cend()) {
            if (*taken == *entry)
                continue; // the same file listed twice
            return InstallRefusal{
                QStringLiteral("its manifest puts two files at %1").arg(line.destination)};
        }
        destinations.insert(key(line.destination), *entry);
        placement.files.append({*entry, line.destination});
        placed[*entry] = true;
    }

    QHash<int, QString> skipped;
    for (const UmodSkippedLine& line : manifest.skipped)
        if (const auto entry = byName.constFind(key(line.source)); entry != byName.cend())
            skipped.insert(*entry, line.reason);
    for (int i = 0; i < entries.size(); ++i) {
        if (placed[i])
            continue;
        const QString reason = isUmodManifestName(entries[i].name)
                                   ? QStringLiteral("the installer's own manifest")
                                   : skipped.value(i, QStringLiteral("not chosen by the manifest"));
        placement.leftOut.append(LeftOutEntry{entries[i].name, reason, i, false});
    }
    return placement;
}

std::variant<UmodPlacement, InstallRefusal> placeUmod(InstallSource& source) {
    const QList<SourceEntry>& entries = source.entries();
    const std::optional<int> ini = entryNamed(entries, QStringLiteral("System/Manifest.ini"));
    if (!ini)
        return InstallRefusal{QStringLiteral("holds no Manifest.ini")};
    const std::optional<int> localised = entryNamed(entries, QStringLiteral("System/Manifest.int"));

    QHash<int, QByteArray> texts;
    bool tooLarge = false;
    EntryDataSink sink;
    sink.data = [&](int entry, QByteArrayView chunk) {
        QByteArray& text = texts[entry];
        tooLarge = text.size() + chunk.size() > largestManifest;
        if (!tooLarge)
            text.append(chunk);
        return !tooLarge;
    };
    QSet<int> wanted{*ini};
    if (localised)
        wanted.insert(*localised);
    if (const std::optional<QString> failed = source.read(wanted, sink))
        return InstallRefusal{tooLarge ? QStringLiteral("its manifest is too large") : *failed};

    std::variant<UmodManifest, QString> manifest =
        resolveUmodManifest(texts.value(*ini), localised ? texts.value(*localised) : QByteArray());
    if (const QString* why = std::get_if<QString>(&manifest))
        return InstallRefusal{*why};
    return placeUmod(std::get<UmodManifest>(manifest), entries);
}
