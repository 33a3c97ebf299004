// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/moddescription.h"

#include <QColor>

namespace {

const QLatin1StringView linkScheme("modgate-link:");
constexpr char16_t colourCode = 0x1B;

bool isWordBreak(QChar c) {
    return c.isSpace() || c == u'|' || c == colourCode;
}

// How much of a word is a link: none unless it begins with a web scheme and names something
// after it; punctuation that ends a sentence stays out ("see http://x.org." links x.org).
qsizetype linkLength(QStringView word) {
    qsizetype scheme = 0;
    if (word.startsWith(u"http://", Qt::CaseInsensitive))
        scheme = 7;
    else if (word.startsWith(u"https://", Qt::CaseInsensitive))
        scheme = 8;
    else
        return 0;
    qsizetype length = word.size();
    while (length > scheme && QStringView(u".,;:!?)]}'\"").contains(word.at(length - 1)))
        --length;
    return length > scheme ? length : 0;
}

} // namespace

ModDescriptionLayout layOutModDescription(const QString& whole) {
    qsizetype kept = qMin(whole.size(), descriptionLimit);
    if (kept < whole.size() && whole.at(kept).isLowSurrogate())
        --kept;
    const bool cut = kept < whole.size();
    const QStringView description = QStringView(whole).first(kept);
    ModDescriptionLayout layout;
    QString& html = layout.html;
    html = QStringLiteral("<p style=\"white-space: pre-wrap\">");
    bool coloured = false;
    for (qsizetype at = 0; at < description.size();) {
        const QChar c = description.at(at);
        if (c == u'|') {
            html += QLatin1StringView("<br>");
            ++at;
        } else if (c == colourCode) {
            // The code's three bytes, as the manifest's decoding left them.
            const QStringView rgb = description.mid(at + 1, 3);
            at += 1 + rgb.size();
            if (rgb.size() < 3)
                continue;
            html += QLatin1StringView(coloured ? "</span>" : "") +
                    QStringLiteral("<span style=\"color:%1\">")
                        .arg(QColor(rgb[0].unicode() & 0xFF, rgb[1].unicode() & 0xFF,
                                    rgb[2].unicode() & 0xFF)
                                 .name());
            coloured = true;
        } else if (c.isSpace()) {
            html += c;
            ++at;
        } else {
            qsizetype end = at;
            while (end < description.size() && !isWordBreak(description.at(end)))
                ++end;
            const QStringView word = description.sliced(at, end - at);
            // A word the cut ends would link to an address the mod never gave.
            const qsizetype link = cut && end == description.size() ? 0 : linkLength(word);
            if (link > 0) {
                html += QStringLiteral("<a href=\"%1\">%2</a>")
                            .arg(descriptionLinkHref(layout.links.size()),
                                 word.first(link).toString().toHtmlEscaped());
                layout.links.append(word.first(link).toString());
            }
            html += word.sliced(link).toString().toHtmlEscaped();
            at = end;
        }
    }
    if (cut)
        html += QChar(0x2026);
    html += QLatin1StringView(coloured ? "</span></p>" : "</p>");
    return layout;
}

QString descriptionLinkHref(qsizetype index) {
    return linkScheme + QString::number(index);
}

qsizetype descriptionLinkIndex(const QString& href) {
    if (!href.startsWith(linkScheme))
        return -1;
    bool ok = false;
    const qsizetype index = href.sliced(linkScheme.size()).toLongLong(&ok);
    return ok && index >= 0 ? index : -1;
}
