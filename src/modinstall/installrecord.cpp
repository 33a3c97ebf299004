// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/installrecord.h"

#include "modinstall/installpaths.h"
#include "support/sha256.h"
#include "support/xxh3.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <algorithm>

namespace {

// Format 2 records files by XXH3; the SHA-256 of format 1's files is still read, and kept
// when a re-install merges such a record.
constexpr int recordFormat = 2;
// A record of 65,536 files is a few megabytes; anything far larger was not written by Modgate.
constexpr qint64 maxRecordBytes = qint64(64) << 20;

// A readme's own name, as written beside the record: one component, no leading dot.
bool isSafeFileName(const QString& name) {
    return isSafeRelativePath(name) && !name.contains(u'/') && !name.startsWith(u'.');
}

QString text(const QJsonObject& object, const char* key) {
    return object.value(QLatin1StringView(key)).toString();
}

} // namespace

QString defaultRecordsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Modgate/installed");
}

QString gameFolderIdentity(const QString& gameFolder) {
    const QString canonical = QFileInfo(gameFolder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(gameFolder).absoluteFilePath())
                               : canonical;
}

QString recordPath(const QString& recordsFolder, const QString& name, const QString& gameFolder) {
    QString readable;
    for (const QChar c : name.left(48))
        readable += c.isLetterOrNumber() && c.unicode() < 0x80 ? c : QChar(u'_');
    const QByteArray key = (gameFolderIdentity(gameFolder) + u'\n' + name).toUtf8();
    const QByteArray digest = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex();
    return recordsFolder + u'/' + readable + u'-' + QString::fromLatin1(digest.left(12)) +
           QStringLiteral(".json");
}

QString readmesFolderOf(const QString& recordPath) {
    return recordPath.chopped(5) + QStringLiteral(".readmes");
}

QByteArray recordJson(const InstallRecord& record) {
    QJsonArray files;
    for (const RecordedFile& file : record.files) {
        QJsonObject entry{{QStringLiteral("path"), file.path}, {QStringLiteral("size"), file.size}};
        if (file.xxh3.isEmpty())
            entry.insert(QStringLiteral("sha256"), file.sha256);
        else
            entry.insert(QStringLiteral("xxh3"), file.xxh3);
        files.append(entry);
    }
    QJsonArray replaced;
    for (const ReplacedFile& file : record.replaced)
        replaced.append(QJsonObject{{QStringLiteral("path"), file.path},
                                    {QStringLiteral("trash"), file.pathInTrash}});
    QJsonArray readmes;
    for (const KeptReadme& readme : record.readmes)
        readmes.append(QJsonObject{{QStringLiteral("entry"), readme.entry},
                                   {QStringLiteral("file"), readme.fileName}});
    const QJsonObject root{
        {QStringLiteral("format"), recordFormat},
        {QStringLiteral("name"), record.name},
        {QStringLiteral("sourceFile"), record.sourceFile},
        {QStringLiteral("sourceSha256"), record.sourceSha256},
        {QStringLiteral("gameFolder"), record.gameFolder},
        {QStringLiteral("installed"), record.installedAt.toUTC().toString(Qt::ISODate)},
        {QStringLiteral("files"), files},
        {QStringLiteral("createdFolders"), QJsonArray::fromStringList(record.createdFolders)},
        {QStringLiteral("replaced"), replaced},
        {QStringLiteral("readmes"), readmes}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<InstallRecord> parseRecord(const QByteArray& json) {
    const QJsonObject root = QJsonDocument::fromJson(json).object();
    const int format = root.value(QStringLiteral("format")).toInt();
    if (format != 1 && format != recordFormat)
        return std::nullopt;
    InstallRecord record;
    record.name = text(root, "name");
    record.sourceFile = text(root, "sourceFile");
    record.sourceSha256 = text(root, "sourceSha256");
    record.gameFolder = text(root, "gameFolder");
    record.installedAt = QDateTime::fromString(text(root, "installed"), Qt::ISODate);
    if (record.name.isEmpty() || !QDir::isAbsolutePath(record.gameFolder) ||
        !record.installedAt.isValid() ||
        (!record.sourceSha256.isEmpty() && !isSha256Hex(record.sourceSha256)))
        return std::nullopt;
    for (const QJsonValue& value : root.value(QStringLiteral("files")).toArray()) {
        const QJsonObject file = value.toObject();
        const RecordedFile entry{
            text(file, "path"), file.value(QStringLiteral("size")).toInteger(-1),
            format == 1 ? QString() : text(file, "xxh3"), text(file, "sha256")};
        const bool hashed =
            entry.xxh3.isEmpty() ? isSha256Hex(entry.sha256) : isXxh3Hex(entry.xxh3);
        if (!isSafeRelativePath(entry.path) || entry.size < 0 || !hashed)
            return std::nullopt;
        record.files.append(entry);
    }
    for (const QJsonValue& value : root.value(QStringLiteral("createdFolders")).toArray()) {
        if (!isSafeRelativePath(value.toString()))
            return std::nullopt;
        record.createdFolders.append(value.toString());
    }
    for (const QJsonValue& value : root.value(QStringLiteral("replaced")).toArray()) {
        const QJsonObject file = value.toObject();
        const ReplacedFile entry{text(file, "path"), text(file, "trash")};
        if (!isSafeRelativePath(entry.path) || !QDir::isAbsolutePath(entry.pathInTrash) ||
            entry.pathInTrash.contains(QStringLiteral("/../")))
            return std::nullopt;
        record.replaced.append(entry);
    }
    for (const QJsonValue& value : root.value(QStringLiteral("readmes")).toArray()) {
        const QJsonObject readme = value.toObject();
        const KeptReadme entry{text(readme, "entry"), text(readme, "file")};
        if (!isSafeFileName(entry.fileName))
            return std::nullopt;
        record.readmes.append(entry);
    }
    return record;
}

namespace {

std::optional<InstallRecord> readRecordFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxRecordBytes)
        return std::nullopt;
    return parseRecord(file.read(maxRecordBytes));
}

} // namespace

std::optional<InstallRecord> readRecord(const QString& recordsFolder, const QString& name,
                                        const QString& gameFolder) {
    auto record = readRecordFile(recordPath(recordsFolder, name, gameFolder));
    if (!record || record->name != name || record->gameFolder != gameFolderIdentity(gameFolder))
        return std::nullopt;
    return record;
}

QList<InstallRecord> readRecords(const QString& recordsFolder, const QString& gameFolder) {
    const QString game = gameFolderIdentity(gameFolder);
    QList<InstallRecord> records;
    const QStringList names =
        QDir(recordsFolder).entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (const QString& name : names)
        if (auto record = readRecordFile(recordsFolder + u'/' + name);
            record && record->gameFolder == game &&
            recordPath(recordsFolder, record->name, game) == recordsFolder + u'/' + name)
            records.append(*record);
    std::stable_sort(records.begin(), records.end(), [](const auto& one, const auto& other) {
        return one.installedAt < other.installedAt;
    });
    return records;
}

std::optional<QString> writeRecord(const QString& recordsFolder, const InstallRecord& record) {
    if (!QDir().mkpath(recordsFolder))
        return QStringLiteral("cannot create %1").arg(recordsFolder);
    QSaveFile file(recordPath(recordsFolder, record.name, record.gameFolder));
    const QByteArray json = recordJson(record);
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit())
        return file.errorString();
    return std::nullopt;
}

InstallRecord mergeReinstall(const InstallRecord& previous, const InstallRecord& fresh) {
    InstallRecord merged = fresh;
    QSet<QString> installed;
    for (const RecordedFile& file : fresh.files)
        installed.insert(file.path);
    QSet<QString> previousFiles;
    for (const RecordedFile& file : previous.files) {
        previousFiles.insert(file.path);
        if (!installed.contains(file.path))
            merged.files.append(file);
    }
    for (const QString& folder : previous.createdFolders)
        if (!merged.createdFolders.contains(folder))
            merged.createdFolders.append(folder);
    // Parents first, as removal takes them deepest first.
    std::stable_sort(merged.createdFolders.begin(), merged.createdFolders.end(),
                     [](const QString& one, const QString& other) {
                         return one.count(u'/') < other.count(u'/');
                     });
    merged.replaced.clear();
    QSet<QString> replacedPaths;
    for (const ReplacedFile& file : previous.replaced)
        if (!replacedPaths.contains(file.path)) {
            replacedPaths.insert(file.path);
            merged.replaced.append(file);
        }
    for (const ReplacedFile& file : fresh.replaced)
        if (!previousFiles.contains(file.path) && !replacedPaths.contains(file.path))
            merged.replaced.append(file);
    return merged;
}
