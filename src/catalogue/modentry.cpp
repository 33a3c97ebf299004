// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/modentry.h"

std::optional<QString> ModEntry::value(QStringView key) const {
    if (key == u"name")
        return name;
    if (key == u"command")
        return command;
    if (key == u"url")
        return url;
    if (key == u"launchName")
        return launchName;
    if (key == u"description")
        return description;
    if (key == u"logo")
        return logo;
    return std::nullopt;
}

bool ModEntry::isUntitled() const {
    return (!name || name->isEmpty()) && launchName && !launchName->isEmpty();
}

QString ModEntry::displayName() const {
    return isUntitled() ? *launchName : name.value_or(QString());
}
