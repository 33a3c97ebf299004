// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/weblink.h"

bool showsLinkButton(const std::optional<QString>& url) {
    return webAddressToOpen(url).has_value();
}

std::optional<QString> webAddressToOpen(const std::optional<QString>& url) {
    if (!url || url->size() <= 6)
        return std::nullopt;
    // Web addresses are opened as they stand; anything else is read as a host name, so a manifest
    // can never make us open a local scheme such as file: or javascript:.
    if (url->startsWith(QLatin1StringView("http://"), Qt::CaseInsensitive) ||
        url->startsWith(QLatin1StringView("https://"), Qt::CaseInsensitive))
        return *url;
    return QLatin1StringView("http://") + *url;
}
