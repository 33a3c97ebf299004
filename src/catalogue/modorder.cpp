// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/modorder.h"

namespace {

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The digit run starting at from, without its leading zeros.
QStringView number(QStringView text, qsizetype from, qsizetype& end) {
    end = from;
    while (end < text.size() && isDigit(text[end]))
        ++end;
    while (from + 1 < end && text[from] == u'0')
        ++from;
    return text.sliced(from, end - from);
}

int sign(qsizetype value) {
    return value < 0 ? -1 : value > 0 ? 1 : 0;
}

} // namespace

int naturalCompare(QStringView a, QStringView b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            qsizetype endA = 0, endB = 0;
            const QStringView x = number(a, i, endA), y = number(b, j, endB);
            // Without leading zeros, a longer number is the larger one.
            if (x.size() != y.size())
                return sign(x.size() - y.size());
            if (const int digits = x.compare(y); digits != 0)
                return sign(digits);
            i = endA;
            j = endB;
            continue;
        }
        const char32_t x = QChar::toCaseFolded(a[i].unicode()),
                       y = QChar::toCaseFolded(b[j].unicode());
        if (x != y)
            return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    return sign((a.size() - i) - (b.size() - j));
}

bool listsBefore(const ModEntry& a, const ModEntry& b) {
    if (a.launchName.has_value() != b.launchName.has_value())
        return !a.launchName;
    if (const int byName = naturalCompare(a.displayName(), b.displayName()); byName != 0)
        return byName < 0;
    return naturalCompare(a.launchName.value_or(QString()), b.launchName.value_or(QString())) < 0;
}
