// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/modentry.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// Whether a link in the game folder leading to target (both resolved) is walked: only where
// target lies neither inside the game folder nor above it.
bool isLinkedModFolder(const QByteArray& target, const QByteArray& gameFolder);

// Walks everything below path + "/" and reports one entry per manifest, in walk order, the moment
// it is built. A link directly in the game folder to a mod folder elsewhere (as distribution
// packages install them) is walked as that mod's folder, under the link's name.
void searchForModsInBasePath(const std::optional<QString>& path,
                             const std::function<void(ModEntry)>& modFound);

// Whether the copy of the game whose mods lie below searchBase has the entry's mod folder (a
// folder, or a link to one, named as its launchName); the plain game, without one, is in every
// copy.
bool copyHoldsMod(const QString& searchBase, const ModEntry& entry);
