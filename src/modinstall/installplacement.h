// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modinstall/installplan.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

// Where a download's entries go by its own layout, before the game folder on disk is looked at:
// what the archive rules or a UMOD's manifest say. The planner turns it into an InstallPlan.
struct InstallPlacement {
    // The mod folder's name, the UMOD's Product, or the file's base name.
    QString name;
    // Entry index and destination, relative to the game folder as the download spells it ('\'
    // may still separate).
    QList<std::pair<int, QString>> files;
    QList<LeftOutEntry> leftOut;
    QStringList iniEditsNotApplied;
};
