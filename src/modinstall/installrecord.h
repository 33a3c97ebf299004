// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// What Modgate remembers of each install, so the mod can be taken out again: kept as JSON in
// Modgate's data folder, never in the game folder.

// A file the install put in place, as it was then.
struct RecordedFile {
    QString path; // relative to the game folder
    qint64 size = 0;
    QString xxh3;   // its bytes' XXH3-128, in hex
    QString sha256; // instead, in records of installs made before XXH3 was used

    friend bool operator==(const RecordedFile&, const RecordedFile&) = default;
};

// A file that was there before and was replaced: it went to the desktop's trash.
struct ReplacedFile {
    QString path;
    QString pathInTrash;

    friend bool operator==(const ReplacedFile&, const ReplacedFile&) = default;
};

// A readme of the download, kept beside the record rather than installed.
struct KeptReadme {
    QString entry;    // its name in the download
    QString fileName; // in the record's readmes folder

    friend bool operator==(const KeptReadme&, const KeptReadme&) = default;
};

struct InstallRecord {
    QString name;
    QString sourceFile;
    QString sourceSha256; // empty when the download was not hashed
    QString gameFolder;   // as gameFolderIdentity() gives it
    QDateTime installedAt;
    QList<RecordedFile> files;
    QStringList createdFolders; // relative to the game folder, parents first
    QList<ReplacedFile> replaced;
    QList<KeptReadme> readmes;

    friend bool operator==(const InstallRecord&, const InstallRecord&) = default;
};

// Where records are kept: <data home>/Modgate/installed, the same for the window and the command
// line whatever the application's name.
QString defaultRecordsFolder();

// The folder a record names its game by: the canonical path, so a link to it is the same game.
QString gameFolderIdentity(const QString& gameFolder);

// The file that holds the record of this name for this game: a readable part of the name and a
// digest of name and game, so any name is a safe file name and two games never share one.
QString recordPath(const QString& recordsFolder, const QString& name, const QString& gameFolder);
// The folder beside a record that holds its readmes.
QString readmesFolderOf(const QString& recordPath);

QByteArray recordJson(const InstallRecord& record);
// A record read back. The file is untrusted: a record with any path that could leave the game
// folder, or any malformed field, is no record.
std::optional<InstallRecord> parseRecord(const QByteArray& json);

std::optional<InstallRecord> readRecord(const QString& recordsFolder, const QString& name,
                                        const QString& gameFolder);
// Every readable record for this game, oldest first.
QList<InstallRecord> readRecords(const QString& recordsFolder, const QString& gameFolder);
// Writes the record atomically; absent on success, else why not.
std::optional<QString> writeRecord(const QString& recordsFolder, const InstallRecord& record);

// The record of a new install of a name already installed in the same game. The new files are
// recorded as now installed; files only the earlier version had stay on disk and stay recorded
// (with what they were), so removing the mod still takes them; so do the folders it created and
// the files it replaced before (their originals come back at removal). A file of the earlier
// version the new one replaced is no original: it is not restored.
InstallRecord mergeReinstall(const InstallRecord& previous, const InstallRecord& fresh);
