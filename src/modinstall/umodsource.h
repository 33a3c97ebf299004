// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modinstall/installplan.h"
#include "modinstall/installsource.h"
#include "packages/umodarchive.h"

#include <QByteArray>
#include <QFile>
#include <memory>
#include <variant>

// A UMOD installer opened for installing: its directory is the list of entries (all plain
// files), and reading streams their stored bytes. The file stays open from the check to the
// last read, so a file put in its place meanwhile is not what gets installed.
class UmodSource : public InstallSource {
public:
    // Opens and checks the installer whole (trailer, checksum, directory: see readUmodArchive).
    // Refused with the reason in words. The record's SHA-256 of the file is the install's to
    // work out, beside the copying.
    static std::variant<std::unique_ptr<UmodSource>, InstallRefusal> open(const QString& path);

    QString fileName() const override { return name; }
    const QList<SourceEntry>& entries() const override { return list; }
    // The wanted entries in the order their bytes lie in the file, in chunks of 1 MiB.
    std::optional<QString> read(const QSet<int>& wanted, const EntryDataSink& sink) override;

    const UmodArchive& archive() const { return umod; }

private:
    UmodSource() = default;

    QString name;
    QFile file;
    UmodArchive umod;
    QList<SourceEntry> list;
};
