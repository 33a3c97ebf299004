// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/umodsourcefactory.h"

// Stand-in until the UMOD reader is part of the build: this one call is where it plugs in.
std::variant<std::unique_ptr<InstallSource>, InstallRefusal> openUmodSource(const QString& path) {
    Q_UNUSED(path);
    return InstallRefusal{QStringLiteral("UMOD files are not supported yet")};
}
