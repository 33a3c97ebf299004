#include "app/weblink.h"

bool showsLinkButton(const std::optional<QString>& url) {
    return url && url->size() > 4;
}

std::optional<QString> webAddressToOpen(const std::optional<QString>&) {
    return std::nullopt;
}
