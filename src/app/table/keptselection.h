// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/modentry.h"

#include <QString>
#include <optional>

// The mod a new list selects again when it reappears: the same folder (launchName), or the plain
// game for the plain game. Waits from keep() until the mod is taken or the list is complete.
class KeptSelection {
public:
    void keep(const ModEntry& entry) {
        wanted = entry.launchName;
        waiting = true;
    }
    void forget() { waiting = false; }
    bool isWaiting() const { return waiting; }
    // Whether this row of the new list is the kept mod; once it is, nothing more is waited for.
    bool takes(const ModEntry& entry) {
        if (!waiting || entry.launchName != wanted)
            return false;
        waiting = false;
        return true;
    }

private:
    std::optional<QString> wanted;
    bool waiting = false;
};
