// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/umodsource.h"
#include "support/regularfile.h"

#include <QFileInfo>
#include <algorithm>

namespace {

constexpr qint64 chunkSize = 1024 * 1024;

} // namespace

std::variant<std::unique_ptr<UmodSource>, InstallRefusal> UmodSource::open(const QString& path) {
    std::unique_ptr<UmodSource> source(new UmodSource);
    source->name = QFileInfo(path).fileName();
    if (const std::optional<QString> why = openRegularFile(source->file, path))
        return InstallRefusal{QStringLiteral("it could not be opened (%1)").arg(*why)};
    std::variant<UmodArchive, QString> archive = readUmodArchive(source->file);
    if (const QString* why = std::get_if<QString>(&archive))
        return InstallRefusal{*why};
    source->umod = std::get<UmodArchive>(std::move(archive));
    source->list.reserve(source->umod.entries.size());
    for (const UmodEntry& entry : std::as_const(source->umod.entries))
        source->list.append(SourceEntry{entry.name, SourceEntryType::File, entry.size, false});
    return source;
}

std::optional<QString> UmodSource::read(const QSet<int>& wanted, const EntryDataSink& sink) {
    QList<int> order;
    order.reserve(wanted.size());
    for (const int entry : wanted) {
        if (entry < 0 || entry >= umod.entries.size())
            return QStringLiteral("it holds no entry %1").arg(entry);
        order.append(entry);
    }
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        return umod.entries[a].offset < umod.entries[b].offset ||
               (umod.entries[a].offset == umod.entries[b].offset && a < b);
    });
    const QString stopped = QStringLiteral("reading was stopped");
    // The file checked at open() must still be the size it was: a shorter one has lost data.
    if (file.size() != umod.fileSize)
        return QStringLiteral("the file changed after it was checked");
    for (const int entry : std::as_const(order)) {
        if (sink.begin && !sink.begin(entry))
            return stopped;
        const UmodReadEnd end =
            readUmodEntry(file, umod.entries[entry], chunkSize, [&](QByteArrayView chunk) {
                return !sink.data || sink.data(entry, chunk);
            });
        if (end == UmodReadEnd::Stopped)
            return stopped;
        if (end == UmodReadEnd::Failed)
            return QStringLiteral("the file could not be read");
        if (sink.end && !sink.end(entry))
            return stopped;
    }
    return std::nullopt;
}
