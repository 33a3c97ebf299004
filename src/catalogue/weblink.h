// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

// Whether a row with this url shows a link button: only where a click opens a page, so more
// than 6 characters.
bool showsLinkButton(const std::optional<QString>& url);
// The address a click on the link opens, or absent for 6 characters or fewer.
std::optional<QString> webAddressToOpen(const std::optional<QString>& url);
