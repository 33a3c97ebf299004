// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// A mod's description as a text browser shows it: "|" ends a line (so "||" leaves an empty one),
// words that begin with http:// or https:// are links, and a colour code (ESC and three bytes R,
// G, B) switches the text colour from there on. Everything else is plain text. Only the first
// descriptionLimit UTF-16 units are laid out, so a huge description never stalls the window;
// a longer one ends with "…" there, never within a surrogate pair, and its cut word is no link.
constexpr qsizetype descriptionLimit = 16 * 1024;

struct ModDescriptionLayout {
    QString html;
    // The links' words, as written; each anchor's href is descriptionLinkHref(index).
    QStringList links;
};

ModDescriptionLayout layOutModDescription(const QString& description);

QString descriptionLinkHref(qsizetype index);
// The index named by an href, or -1 when it names none of ours.
qsizetype descriptionLinkIndex(const QString& href);
