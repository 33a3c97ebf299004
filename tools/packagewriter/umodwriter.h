// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Writes UMOD installers as `ucc master` lays them out (payloads, directory, 20-byte trailer),
// with the manifests it stores, and with the faults a reader must refuse.
namespace packagewriter {

struct UmodFile {
    QString name; // as stored: relative to the game folder, '\' separators
    QByteArray bytes;
    quint32 flags = 0;
};

struct UmodOptions {
    QByteArray stub;         // bytes before the first payload, as a self-extractor's program
    int alignment = 0;       // 16: each payload starts at a multiple of 16, zeros between
    bool utf16Names = false; // names stored as UTF-16 (negative lengths)
    bool badCrc = false;     // the stored checksum one off
    qint64 sizeDelta = 0;    // added to the total size the trailer gives
    quint32 version = 1;
    QByteArray afterDirectory;       // stray bytes between the directory and the trailer
    bool negativeNameLength = false; // the first name's length negated, its bytes kept
    bool hugeCount = false;          // the count claims 2^34 - 1 files (a five-byte index)
    bool overlap = false;            // the second entry's bytes said to start where the first's do
};

QByteArray umodBytes(const QList<UmodFile>& files, const UmodOptions& options = {});

// The signed variable-length index of Unreal packages and UMODs, 1 to 5 bytes.
QByteArray compactIndex(qint64 value);

struct ManifestGroup {
    QString name;
    QStringList lines; // as written: "File=(Src=System\\My.u)", "Group=Sub", "Selected=False"
    bool root = true;  // named by a Group= line of [Setup]
};

struct ManifestContents {
    QString product = QStringLiteral("TestMod");
    QString localProduct = QStringLiteral("Test Mod");
    QString version = QStringLiteral("100");
    QStringList requiredProducts = {QStringLiteral("UT2004")}; // a requirement section each
    QString requiredVersion; // the lowest version each requirement asks for; empty: any
    QString archive;         // the Archive= line; empty: <Product>.ut4mod
    QString readMe;          // the int's ReadMe= line; empty: Help\<Product>.txt
    QStringList setupLines;  // more [Setup] lines: "Patch=true", "Exe=System\\UT2004.exe"
    // Empty: one group listing every file with File=, as `ucc master` writes them.
    QList<ManifestGroup> groups;
};

// System\Manifest.ini and System\Manifest.int as `ucc master` stores them (CRLF, [Setup] first,
// a SetupGroup with the manifests' own Copy= lines), followed by the files.
QList<UmodFile> withManifests(const QList<UmodFile>& files, const ManifestContents& contents = {});
QByteArray manifestIni(const QList<UmodFile>& files, const ManifestContents& contents);
QByteArray manifestInt(const ManifestContents& contents);

} // namespace packagewriter
