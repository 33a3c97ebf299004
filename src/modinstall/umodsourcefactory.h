// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modinstall/installplan.h"
#include "modinstall/installsource.h"

#include <QString>
#include <memory>
#include <variant>

// Opens a UMOD installer (.umod, .ut2mod, .ut4mod, or a self-extracting .exe) for installing,
// or says why it cannot be installed.
std::variant<std::unique_ptr<InstallSource>, InstallRefusal> openUmodSource(const QString& path);
