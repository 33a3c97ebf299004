// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>
#include <variant>

class IniText;

// A File= (or Copy=) line of a UMOD's manifest that is to be installed.
struct UmodFileLine {
    QString source;      // Src=: the installer's entry, as written ('\' separators)
    QString destination; // Dest= when given, else Src=; relative to the game folder, as written
    QString group;       // the group section that lists it
};

// A File= or Copy= line that is not installed, and why.
struct UmodSkippedLine {
    QString source;
    QString reason;
};

// What a UMOD installer's System\Manifest.ini (with Manifest.int for its shown name) installs.
struct UmodManifest {
    QString product;      // [Setup] Product=, the installer's own name for itself
    QString localProduct; // [Setup] LocalProduct= of Manifest.int: the name to show
    QString version;
    QList<UmodFileLine> files;      // the selected groups' lines, in the order Setup copies them
    QList<UmodSkippedLine> skipped; // the manifests, other languages' files
    QStringList iniEdits;           // Ini=, AddIni= (and Remove*) lines as written; never applied
    std::optional<QString> program; // [Setup] Exe=, which Setup offers to start; never run
    QStringList requiredProducts;   // the Product of each requirement section, in order
};

// Resolves what the manifest installs: the groups named by [Setup]'s Group= lines in order, each
// group's own lines, then its sub-groups' (a group reached again, as in a loop, counts once);
// a group with Selected=False is left out with its sub-groups. Of File= and Copy= lines,
// installs all but the manifests themselves (System\Manifest.*) and other languages' files
// (Lang= other than empty or int); Dest= wins over Src=. Refuses, with the reason in plain
// words: Patch=true in [Setup], requirements naming only other games ("made for
// UnrealTournament, not UT2004"; UT2004 and UT2003 are met), a delta patch line (Ref=), a line
// without Src=.
std::variant<UmodManifest, QString> resolveUmodManifest(const IniText& ini,
                                                        const IniText& localised);
// The same from the two files' bytes, decoded as text files are (a byte-order mark, else UTF-8
// when valid, else Windows-1252).
std::variant<UmodManifest, QString> resolveUmodManifest(const QByteArray& ini,
                                                        const QByteArray& localised = {});

// Whether an installer's entry or line names one of its own manifests, System\Manifest.<any>
// in any letter case, with '\' or '/'. Those never overwrite the game's own.
bool isUmodManifestName(QStringView name);
