#include "support/nsstringcategory.h"
#include "testmain.h"

#include <QObject>
#include <QTest>
#include <optional>

using namespace Qt::StringLiterals;
using Text = std::optional<QString>;
Q_DECLARE_METATYPE(Text)

class TestNSStringCategory : public QObject {
    Q_OBJECT

private slots:
    void replacing_data();
    void replacing();
    void removalMatchesRepeatedLeftmostRemoval();
    void deletingLeadSpace_data();
    void deletingLeadSpace();
    void percentEscapes_data();
    void percentEscapes();
};

void TestNSStringCategory::replacing_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<Text>("text");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* name, const QString& target, const QString& replacement,
                  const Text& text, const QString& expected) {
        QTest::newRow(name) << target << replacement << text << expected;
    };
    row("quotes at start, inside, end", u"\""_s, {}, u"\"a\"b c\"d\""_s, u"ab cd"_s);
    row("quotes only", u"\""_s, {}, u"\"\"\"\""_s, {});
    row("no quotes", u"\""_s, {}, u"plain text "_s, u"plain text "_s);
    row("letters in any case", u"ab"_s, {}, u"xAbY"_s, u"xY"_s);
    row("letters beyond ASCII", u"ä"_s, {}, u"ÄxäÖ"_s, u"xÖ"_s);
    row("joined pieces removed too", u"ab"_s, {}, u"aabb"_s, {});
    row("empty target", {}, {}, u"abc"_s, u"abc"_s);
    row("absent text", u"\""_s, {}, std::nullopt, {});
    // Crafted so that a search starting over from the front each time would take hours.
    const qsizetype n = 200000;
    row("long nested", u"ab"_s, {}, QString(n, u'a') + QString(n, u'B') + u"!"_s, u"!"_s);
    const QString kept = QString(n, u'a') + u"c"_s;
    row("long near-misses", QString(n / 2, u'a') + u"b"_s, {}, kept, kept);
    // A non-empty replacement is one pass that never looks into what it inserted.
    row("replacement, one pass", u"ab"_s, u"-"_s, u"aABb"_s, u"a-b"_s);
    row("replacement, overlapping", u"aa"_s, u"b"_s, u"aaa"_s, u"ba"_s);
    row("replacement holds target", u"\""_s, u"\"\""_s, QString(n, u'"'), QString(2 * n, u'"'));
}

void TestNSStringCategory::replacing() {
    QFETCH(QString, target);
    QFETCH(QString, replacement);
    QFETCH(Text, text);
    QFETCH(QString, expected);
    QCOMPARE(NSStringCategory::stringByReplacing(target, replacement, text), expected);
}

// Every text of up to eight letters from {a, A, b}, against the slow obvious way.
void TestNSStringCategory::removalMatchesRepeatedLeftmostRemoval() {
    auto slow = [](const QString& target, QString text) {
        for (qsizetype at; (at = text.indexOf(target, 0, Qt::CaseInsensitive)) >= 0;)
            text.remove(at, target.size());
        return text;
    };
    for (const QString& target :
         {u"aB"_s, u"aa"_s, u"aba"_s, u"abb"_s, u"bab"_s, u"abab"_s, u"aabaa"_s}) {
        for (int n = 0; n < (19683 - 1) / 2; ++n) { // shortlex numbering up to length 8
            QString text;
            for (int rest = n; rest > 0; rest = (rest - 1) / 3)
                text.append(u"aAb"_s[(rest - 1) % 3]);
            QCOMPARE(NSStringCategory::stringByReplacing(target, u"", text), slow(target, text));
        }
    }
}

void TestNSStringCategory::deletingLeadSpace_data() {
    QTest::addColumn<Text>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("spaces both ends") << Text(u"   x  "_s) << u"x  "_s;
    QTest::newRow("spaces only") << Text(u"    "_s) << QString();
    QTest::newRow("empty") << Text(u""_s) << QString();
    QTest::newRow("absent") << Text() << QString();
    QTest::newRow("tab first") << Text(u"\tx"_s) << u"\tx"_s;
    QTest::newRow("space, tab") << Text(u" \tx"_s) << u"\tx"_s;
    QTest::newRow("no-break space") << Text(u"\u00A0 x"_s) << u"\u00A0 x"_s;
}

void TestNSStringCategory::deletingLeadSpace() {
    QFETCH(Text, text);
    QFETCH(QString, expected);
    QCOMPARE(NSStringCategory::stringByDeletingLeadSpaceInString(text), expected);
}

void TestNSStringCategory::percentEscapes_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<Text>("expected");
    const QString allowed = u"azAZ09-_.!~*'();/?:@&=+$,#"_s;
    QTest::newRow("allowed") << allowed << Text(allowed);
    QTest::newRow("address") << u"http://x.org/a b?q=1#t"_s << Text(u"http://x.org/a%20b?q=1#t"_s);
    QTest::newRow("not allowed") << u"%\"<>[]{}|\\^`\r\n\t"_s
                                 << Text(u"%25%22%3C%3E%5B%5D%7B%7D%7C%5C%5E%60%0D%0A%09"_s);
    QTest::newRow("UTF-8") << u"é€😀"_s << Text(u"%C3%A9%E2%82%AC%F0%9F%98%80"_s);
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << Text();
}

void TestNSStringCategory::percentEscapes() {
    QFETCH(QString, value);
    QFETCH(Text, expected);
    QCOMPARE(NSStringCategory::stringByAddingPercentEscapes(value), expected);
}

MODGATE_TEST_MAIN(TestNSStringCategory)
#include "tst_nsstringcategory.moc"
