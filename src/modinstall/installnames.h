// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

// A name from a download (an archive entry, a UMOD file name) split into the folders and file
// it names below the game folder, or why it may not be written at all.
struct InstallName {
    // The name's parts, without "." and empty parts; empty when the name is refused.
    QStringList components;
    // What is wrong with the name, worded to follow it: entry "x" <fault>. Empty when it is fine.
    QString fault;

    bool isValid() const { return fault.isEmpty(); }
    // The parts joined with '/'.
    QString path() const { return components.join(u'/'); }
};

// The name rules: '\' separates like '/'; a name is refused when it is empty, holds a control
// character, is longer than 1024 bytes (UTF-8) or has a part longer than 255, is absolute,
// names a drive or holds ':', climbs out with "..", uses a Windows device name (CON, NUL, AUX,
// PRN, COM1-9, LPT1-9, with or without extension) or has a part ending in a dot or a space.
// A Windows name a Linux extractor kept whole in its folder ("Maps/Maps\x.ut2") names that
// folder once.
InstallName vetInstallName(QStringView name);

// Whether an entry is packing debris that is dropped without a word: __MACOSX/ and META-INF/
// folders, "._" resource forks, .DS_Store, Thumbs.db, desktop.ini.
bool isJunkEntry(const QStringList& components);

// The canonical spelling of a top-level folder of the game ("textures" gives "Textures"), or
// nothing when the name is not one of them.
std::optional<QString> standardGameFolder(QStringView name);

// A name as messages show it: control characters replaced, very long names shortened.
QString displayedName(QStringView name);

// Names compared as the game's own file lookups on Windows do, ignoring letter case.
QString caseKey(QStringView name);
