// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/modentry.h"

// The order mods are shown and listed in: the plain game (the entry without a folder) first, then
// by name as a player reads it (an untitled mod by its folder's name), letter case ignored and
// numbers in number order ("Mod 9" before "Mod 10"); equal names by folder. A strict weak order,
// for std::sort and sorting proxies alike; safe to call from any thread.
bool modDisplayOrder(const ModEntry& first, const ModEntry& second);
