// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/modentry.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The mods as --list prints them, in the table's order, the plain game left out: one line each,
// the folder, a tab, the title (empty for an untitled mod). A tab, line break or backslash inside
// a value is written \t, \n, \r or \\, so that each mod stays one line of two fields.
QByteArray modListing(QList<ModEntry> mods);

// --list: finds the copy of the game (the one named, else the stored one, else the first found;
// never a dialog), searches it as the window does and prints the listing. The exit code: 0, or 1
// with the reason on standard error where there is no copy of the game. Needs a QCoreApplication.
int listMods(const std::optional<QString>& gameFolder);
