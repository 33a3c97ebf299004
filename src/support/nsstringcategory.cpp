// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/nsstringcategory.h"

#include <QChar>
#include <QList>

namespace NSStringCategory {

namespace {

// Letters are compared one UTF-16 unit at a time after simple case folding, so an occurrence is a
// property of the units alone and never of what stands around them. That keeps the removal below
// exact, and callers only ever search for quotes and line breaks.
char16_t folded(char16_t unit) {
    return QChar::toCaseFolded(unit);
}

QList<char16_t> foldedUnits(QStringView text) {
    QList<char16_t> units;
    units.reserve(text.size());
    for (const QChar c : text)
        units.append(folded(c.unicode()));
    return units;
}

// failure[i]: length of the longest proper border of pattern[0..i].
QList<qsizetype> failureFunction(const QList<char16_t>& pattern) {
    QList<qsizetype> failure(pattern.size(), 0);
    qsizetype k = 0;
    for (qsizetype i = 1; i < pattern.size(); ++i) {
        while (k > 0 && pattern[i] != pattern[k])
            k = failure[k - 1];
        if (pattern[i] == pattern[k])
            ++k;
        failure[i] = k;
    }
    return failure;
}

// Matcher state after reading unit c in state `state` (0 <= state < pattern length).
qsizetype advance(const QList<char16_t>& pattern, const QList<qsizetype>& failure, qsizetype state,
                  char16_t c) {
    while (state > 0 && pattern[state] != c)
        state = failure[state - 1];
    if (pattern[state] == c)
        ++state;
    return state;
}

// Removing the leftmost occurrence again and again until none is left equals one pass that keeps
// the output as a stack and drops its top occurrence whenever one completes: the leftmost
// occurrence of a text is also the first one to end, and whatever stays on the stack holds none.
// Each output unit keeps its matcher state, so a removal resumes where the remaining text left
// off; a removal never raises the state, which keeps the whole pass linear.
QString removeRepeatedly(QStringView target, QStringView text) {
    // One buffer of the text's size holds the output: it is never longer than the text read so far.
    QString out(text.size(), Qt::Uninitialized);
    char16_t* kept = reinterpret_cast<char16_t*>(out.data());
    qsizetype top = 0;

    if (target.size() == 1) {
        // Nothing can join into a one-unit occurrence: dropping each one is the whole job.
        const char16_t unit = folded(target.front().unicode());
        for (const QChar c : text)
            if (folded(c.unicode()) != unit)
                kept[top++] = c.unicode();
        out.truncate(top);
        return out;
    }

    const QList<char16_t> pattern = foldedUnits(target);
    const QList<qsizetype> failure = failureFunction(pattern);
    const qsizetype length = pattern.size();
    QList<qsizetype> states(text.size(), 0); // matcher state after each kept unit
    for (const QChar c : text) {
        const qsizetype state =
            advance(pattern, failure, top == 0 ? 0 : states[top - 1], folded(c.unicode()));
        if (state == length) {
            top -= length - 1; // the occurrence is the last length - 1 units kept plus this one
        } else {
            kept[top] = c.unicode();
            states[top] = state;
            ++top;
        }
    }
    out.truncate(top);
    return out;
}

// One left-to-right pass: each occurrence found in the original text is replaced and the search
// goes on after it, never inside what was inserted.
QString replaceOnce(QStringView target, QStringView replacement, QStringView text) {
    const QList<char16_t> pattern = foldedUnits(target);
    const QList<qsizetype> failure = failureFunction(pattern);
    const qsizetype length = pattern.size();

    QString out;
    out.reserve(text.size());
    qsizetype state = 0;
    qsizetype copied = 0; // text before this index is already in out
    for (qsizetype i = 0; i < text.size(); ++i) {
        state = advance(pattern, failure, state, folded(text[i].unicode()));
        if (state == length) {
            const qsizetype start = i + 1 - length;
            out.append(text.sliced(copied, start - copied));
            out.append(replacement);
            copied = i + 1;
            state = 0;
        }
    }
    out.append(text.sliced(copied));
    return out;
}

bool mayStandInUrl(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
        return true;
    return QStringView(u"-_.!~*'();/?:@&=+$,#").contains(QChar(c));
}

} // namespace

QString stringByReplacing(QStringView target, QStringView replacement,
                          const std::optional<QString>& text) {
    const QString source = text.value_or(QString());
    if (target.isEmpty() || source.isEmpty())
        return source;
    if (replacement.isEmpty())
        return removeRepeatedly(target, source);
    return replaceOnce(target, replacement, source);
}

QString stringByDeletingLeadSpaceInString(const std::optional<QString>& text) {
    const QString source = text.value_or(QString());
    qsizetype start = 0;
    while (start < source.size() && source[start] == u' ')
        ++start;
    return source.sliced(start);
}

std::optional<QString> stringByAddingPercentEscapes(const QString& value) {
    static constexpr char hex[] = "0123456789ABCDEF";
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t c = value[i].unicode();
        if (mayStandInUrl(c)) {
            out.append(QChar(c));
            continue;
        }
        QStringView character = QStringView(value).sliced(i, 1);
        if (QChar::isHighSurrogate(c) && i + 1 < value.size() &&
            QChar::isLowSurrogate(value[i + 1].unicode())) {
            character = QStringView(value).sliced(i, 2);
            ++i;
        } else if (QChar::isSurrogate(c)) {
            return std::nullopt; // a lone surrogate has no UTF-8 form
        }
        for (const char byte : character.toUtf8()) {
            const auto b = static_cast<unsigned char>(byte);
            out.append(QLatin1Char('%'));
            out.append(QLatin1Char(hex[b >> 4]));
            out.append(QLatin1Char(hex[b & 0x0F]));
        }
    }
    return out;
}

} // namespace NSStringCategory
