// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/umodsourcefactory.h"

#include "modinstall/umodsource.h"

std::variant<std::unique_ptr<InstallSource>, InstallRefusal> openUmodSource(const QString& path) {
    auto opened = UmodSource::open(path);
    if (auto* refusal = std::get_if<InstallRefusal>(&opened))
        return *refusal;
    return std::unique_ptr<InstallSource>(std::move(std::get<std::unique_ptr<UmodSource>>(opened)));
}
