// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// Whether a row with this url shows a link button: only where a click opens a page, so more
// than 6 characters and no scheme but a web one.
bool showsLinkButton(const std::optional<QString>& url);
// The address a click on the link opens, or absent for 6 characters or fewer and for an address
// that names another scheme than http or https.
std::optional<QString> webAddressToOpen(const std::optional<QString>& url);
// The scheme an address names at its start, as written: a letter, then letters, digits, "+", "-"
// or ".", then ":". A colon followed by a port (digits up to the end, "/", "?" or "#") ends a host
// name instead, so "www.example.com:8080/x" names none.
std::optional<QStringView> addressScheme(QStringView address);
