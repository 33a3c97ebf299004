// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/modentry.h"

#include <QString>
#include <QStringList>
#include <optional>

// Leading spaces deleted, then every LF and CR removed.
QString cleanedCommand(const std::optional<QString>& command);
// The cleaned command if not empty, then the mod argument ("-mod=" + launchName, or "").
QStringList gameArgumentList(const ModEntry& entry);
// The arguments a launch passes that say something, in order and joined by spaces; empty for the
// plain game without a command.
QString launchArgumentLine(const ModEntry& entry);
