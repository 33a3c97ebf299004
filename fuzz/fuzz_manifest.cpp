// SPDX-License-Identifier: GPL-3.0-or-later
// Manifest bytes as the search reads them: decoded, parsed, and the cleaning helpers run on them.
#include "catalogue/modmanifest.h"
#include "support/nsstringcategory.h"
#include "support/textfile.h"

#include <QByteArray>
#include <QChar>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

// Letters compared one UTF-16 unit at a time after simple case folding, as the helpers promise.
QString folded(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text)
        out.append(QChar(QChar::toCaseFolded(c.unicode())));
    return out;
}

// The slow references, kept to short texts.
QString removedOneByOne(QStringView target, QString text) {
    const QString needle = folded(target);
    for (;;) {
        const qsizetype at = folded(text).indexOf(needle);
        if (at < 0)
            return text;
        text.remove(at, target.size());
    }
}

QString replacedInOnePass(QStringView target, QStringView replacement, QStringView text) {
    const QString needle = folded(target), haystack = folded(text);
    QString out;
    qsizetype from = 0;
    for (qsizetype at; (at = haystack.indexOf(needle, from)) >= 0; from = at + target.size())
        out += text.sliced(from, at - from).toString() + replacement.toString();
    return out + text.sliced(from).toString();
}

void checkValue(const std::optional<QString>& value) {
    if (!value)
        return;
    require(!value->contains(u'\r') && !value->contains(u'\n'));
    require(!value->contains(u'"'));
    require(!value->startsWith(u' '));
}

void checkHelpers(const QString& text, unsigned selector) {
    // The first few units of the input are the target, the rest the text it is removed from.
    const QStringView target = QStringView(text).first(qMin<qsizetype>(selector % 4, text.size()));
    const QString subject = text.sliced(target.size());
    const bool small = subject.size() <= 512;

    const QString removed = NSStringCategory::stringByReplacing(target, u"", subject);
    if (target.isEmpty())
        require(removed == subject);
    else
        require(!folded(removed).contains(folded(target)));
    if (small && !target.isEmpty())
        require(removed == removedOneByOne(target, subject));

    // A replacement that holds the target must still end.
    const QString replacement = target.toString() + QStringLiteral("+") + target.toString();
    const QString replaced = NSStringCategory::stringByReplacing(target, replacement, subject);
    if (small && !target.isEmpty())
        require(replaced == replacedInOnePass(target, replacement, subject));

    const QString trimmed = NSStringCategory::stringByDeletingLeadSpaceInString(subject);
    require(!trimmed.startsWith(u' '));
    require(subject.endsWith(trimmed));
    for (qsizetype i = 0; i < subject.size() - trimmed.size(); ++i)
        require(subject[i] == u' ');

    if (const std::optional<QString> escaped = NSStringCategory::stringByAddingPercentEscapes(text))
        for (const QChar c : *escaped)
            require(c.unicode() < 0x80 && c != u' ' && c != u'"' && c.isPrint());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = decodeText(bytes);

    const ModEntry entry =
        modEntryFromManifest(text, QStringLiteral("FuzzMod/System/ut2k4mod.ini"));
    checkValue(entry.name);
    checkValue(entry.command);
    checkValue(entry.url);
    require(entry.launchName == QStringLiteral("FuzzMod"));
    require(modEntryFromManifest(std::nullopt, QStringLiteral("x")).launchName ==
            QStringLiteral("x"));

    checkHelpers(text, size > 0 ? data[size - 1] : 0u);
    return 0;
}
