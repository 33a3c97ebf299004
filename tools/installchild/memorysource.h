// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A download held in memory, and the plainest plan for it, for the tests and the install child:
// a seam for the download only; everything it is installed into is real.

#include "modinstall/installplan.h"
#include "modinstall/installsource.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

struct MemoryEntry {
    QString name;
    QByteArray bytes;
    qint64 declaredSize = -2; // -2: the bytes' own size
};

class MemorySource : public InstallSource {
public:
    MemorySource(const QString& fileName, const QList<MemoryEntry>& files)
        : name(fileName), files(files) {
        for (const MemoryEntry& file : files)
            list.append({file.name, SourceEntryType::File,
                         file.declaredSize == -2 ? file.bytes.size() : file.declaredSize});
    }

    QString fileName() const override { return name; }
    const QList<SourceEntry>& entries() const override { return list; }
    std::optional<QString> read(const QSet<int>& wanted, const EntryDataSink& sink) override {
        ++reads;
        qint64 given = 0;
        for (int entry = 0; entry < files.size(); ++entry) {
            if (!wanted.contains(entry))
                continue;
            if (!sink.begin(entry))
                return QStringLiteral("stopped");
            const QByteArray& bytes = files[entry].bytes;
            for (qsizetype at = 0; at < bytes.size(); at += chunkBytes) {
                const QByteArrayView chunk =
                    QByteArrayView(bytes).sliced(at).first(std::min(chunkBytes, bytes.size() - at));
                if (failAfterBytes >= 0 && given + chunk.size() > failAfterBytes)
                    return QStringLiteral("%1 is damaged: a CRC error").arg(files[entry].name);
                given += chunk.size();
                if (!sink.data(entry, chunk))
                    return QStringLiteral("stopped");
            }
            if (!sink.end(entry))
                return QStringLiteral("stopped");
        }
        return std::nullopt;
    }

    // Reading fails, as in a damaged download, once this many bytes were given.
    qint64 failAfterBytes = -1;
    qsizetype chunkBytes = qsizetype(64) << 10;
    int reads = 0;

private:
    QString name;
    QList<MemoryEntry> files;
    QList<SourceEntry> list;
};

// Every entry to its own name below the game folder: new where nothing is there, compared where a
// file of its size is, else replacing.
inline InstallPlan plainPlan(const InstallSource& source, const QString& gameFolder,
                             const QString& name) {
    InstallPlan plan;
    plan.name = name;
    plan.sourceFile = source.fileName();
    for (int entry = 0; entry < source.entries().size(); ++entry) {
        const SourceEntry& file = source.entries()[entry];
        const QFileInfo there(gameFolder + u'/' + file.name);
        const auto action = !there.exists()                     ? PlannedFile::Action::New
                            : there.size() == file.declaredSize ? PlannedFile::Action::Compare
                                                                : PlannedFile::Action::Replace;
        plan.files.append({entry, file.name, file.declaredSize, action});
        plan.totalBytes += std::max<qint64>(file.declaredSize, 0);
    }
    return plan;
}

// The files below a folder as entries, by their paths relative to it.
inline QList<MemoryEntry> filesBelow(const QString& folder) {
    QList<MemoryEntry> files;
    const QDir root(folder);
    QStringList paths;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();)
        paths.append(root.relativeFilePath(it.next()));
    paths.sort();
    for (const QString& path : paths) {
        QFile file(root.filePath(path));
        file.open(QIODevice::ReadOnly);
        files.append({path, file.readAll()});
    }
    return files;
}
