// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/modentry.h"

#include <QStringView>

// Compares texts as a player reads them: letter case ignored, and each run of the digits 0-9
// taken as one number ("Mod 2" before "Mod 10", "v007" with "v7"). Negative, zero or positive.
// Hand-written rather than QCollator's numeric mode, which Qt ignores in the C locale that a
// session without LANG runs in: the list is ordered alike everywhere.
int naturalCompare(QStringView a, QStringView b);

// The order of the mod list: the plain game (no launchName) first, then by the name the table
// shows (the title, or an untitled mod's folder name) in natural order, then by folder name.
// Equal entries are neither before the other.
bool listsBefore(const ModEntry& a, const ModEntry& b);
