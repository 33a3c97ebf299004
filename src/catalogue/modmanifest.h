// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/modentry.h"

#include <QString>
#include <optional>

// The mod entry described by a manifest's text (absent when unreadable); relativePath is the
// manifest's path below the search base, and its first component becomes launchName.
ModEntry modEntryFromManifest(const std::optional<QString>& text, const QString& relativePath);
