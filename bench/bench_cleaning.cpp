// SPDX-License-Identifier: GPL-3.0-or-later
// How long removing double quotes from a manifest value takes as the value grows. The time per
// character should stay flat: the removal is linear in the text, whatever the text holds.
#include "support/nsstringcategory.h"

#include <QElapsedTimer>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>

namespace {

QString allQuotes(qsizetype size) {
    return QString(size, u'"');
}

// Words, spaces and quotes in a fixed pseudo-random mix, about one character in five a quote.
QString mixed(qsizetype size) {
    std::mt19937 random(2004);
    const QString alphabet = QStringLiteral("\"\"\"abcdefgh -ABC");
    QString text;
    text.reserve(size);
    while (text.size() < size)
        text.append(alphabet[qsizetype(random() % std::uint32_t(alphabet.size()))]);
    return text;
}

// The worst case for starting every search over: each removal joins the next pair.
QString nested(qsizetype size) {
    return QString(size / 2, u'a') + QString(size - size / 2, u'b');
}

double bestMilliseconds(const std::function<void()>& work) {
    double best = 1e300;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

} // namespace

int main() {
    struct Shape {
        const char* name;
        QString (*make)(qsizetype);
        const char16_t* target;
    };
    const Shape shapes[] = {
        {"all quotes, remove \"", allQuotes, u"\""},
        {"mixed text, remove \"", mixed, u"\""},
        {"a..ab..b, remove \"ab\"", nested, u"ab"},
    };
    std::printf("%-24s %10s %12s %14s\n", "text", "characters", "time (ms)", "ns/character");
    for (const Shape& shape : shapes) {
        for (const qsizetype size : {qsizetype(10000), qsizetype(100000), qsizetype(1000000)}) {
            const QString text = shape.make(size);
            qsizetype left = -1;
            const double ms = bestMilliseconds([&] {
                left = NSStringCategory::stringByReplacing(shape.target, u"", text).size();
            });
            std::printf("%-24s %10lld %12.3f %14.2f   (%lld left)\n", shape.name,
                        static_cast<long long>(size), ms, ms * 1e6 / double(size),
                        static_cast<long long>(left));
        }
    }
    return 0;
}
