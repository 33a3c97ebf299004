// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// One mod, one table row. Any value may be absent; an absent value reads as "".
struct ModEntry {
    std::optional<QString> name, command, url, launchName;
    // What the game's own mods page shows besides: the text (with "|" for line breaks) and the
    // logo's object name, "Package.Texture" or "Package.Group.Texture".
    std::optional<QString> description = {}, logo = {};

    // "name", "command", "url", "launchName", "description" or "logo"; absent for any other key.
    std::optional<QString> value(QStringView key) const;

    // A mod without a title (or with an empty one) goes by its folder's name.
    bool isUntitled() const;
    // The title, or an untitled mod's folder name; "" when there is neither.
    QString displayName() const;

    bool operator==(const ModEntry&) const = default;
};
