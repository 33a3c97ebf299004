// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/weblink.h"

namespace {

bool isAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Whether the text after a colon is a port: digits, then the end or the start of a path, query
// or fragment.
bool startsWithPort(QStringView rest) {
    qsizetype digits = 0;
    while (digits < rest.size() && isAsciiDigit(rest[digits]))
        ++digits;
    return digits > 0 && (digits == rest.size() || QStringView(u"/?#").contains(rest[digits]));
}

} // namespace

std::optional<QStringView> addressScheme(QStringView address) {
    if (address.isEmpty() || !isAsciiLetter(address[0]))
        return std::nullopt;
    for (qsizetype i = 1; i < address.size(); ++i) {
        const QChar c = address[i];
        if (c == u':')
            return startsWithPort(address.mid(i + 1)) ? std::nullopt
                                                      : std::optional(address.left(i));
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != u'+' && c != u'-' && c != u'.')
            return std::nullopt;
    }
    return std::nullopt;
}

bool showsLinkButton(const std::optional<QString>& url) {
    return webAddressToOpen(url).has_value();
}

std::optional<QString> webAddressToOpen(const std::optional<QString>& url) {
    if (!url || url->size() <= 6)
        return std::nullopt;
    // A manifest must never make us open a local scheme such as file: or javascript:.
    const std::optional<QStringView> scheme = addressScheme(*url);
    if (scheme && scheme->compare(u"http", Qt::CaseInsensitive) != 0 &&
        scheme->compare(u"https", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    // Web addresses are opened as they stand; anything else is read as a host name.
    if (url->startsWith(QLatin1StringView("http://"), Qt::CaseInsensitive) ||
        url->startsWith(QLatin1StringView("https://"), Qt::CaseInsensitive))
        return *url;
    return QLatin1StringView("http://") + *url;
}
