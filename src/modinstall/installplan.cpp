// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/installplan.h"

#include <algorithm>

int InstallPlan::replacements() const {
    return int(std::count_if(files.cbegin(), files.cend(), [](const PlannedFile& file) {
        return file.action == PlannedFile::Action::Replace;
    }));
}
