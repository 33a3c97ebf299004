#include "support/nsstringcategory.h"
#include "testmain.h"

#include <QObject>
#include <QTest>
#include <optional>

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

// What repeated removal of the leftmost occurrence gives, done the slow obvious way; good enough
// for short ASCII texts.
QString removedOneByOne(const QString& target, QString text) {
    for (;;) {
        const qsizetype at = text.indexOf(target, 0, Qt::CaseInsensitive);
        if (at < 0)
            return text;
        text.remove(at, target.size());
    }
}

} // namespace

class TestNSStringCategory : public QObject {
    Q_OBJECT

private slots:
    void replacing_data();
    void replacing();
    void removalMatchesRepeatedLeftmostRemoval_data();
    void removalMatchesRepeatedLeftmostRemoval();
    void removalOfLongCraftedTextsEnds();
    void deletingLeadSpace_data();
    void deletingLeadSpace();
    void percentEscapes_data();
    void percentEscapes();
};

void TestNSStringCategory::replacing_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<std::optional<QString>>("text");
    QTest::addColumn<QString>("expected");

    const QString quote = QStringLiteral("\"");
    auto row = [](const char* name, const QString& target, const QString& replacement,
                  const std::optional<QString>& text, const QString& expected) {
        QTest::newRow(name) << target << replacement << text << expected;
    };
    // Removal, the only use in the program.
    row("quotes at start, inside and end", quote, {}, QStringLiteral("\"a\"b c\"d\""),
        QStringLiteral("ab cd"));
    row("quotes only", quote, {}, QStringLiteral("\"\"\"\""), QString());
    row("no quotes", quote, {}, QStringLiteral("plain text "), QStringLiteral("plain text "));
    row("letters in any case", QStringLiteral("ab"), {}, QStringLiteral("xAbY"),
        QStringLiteral("xY"));
    row("target in upper case", QStringLiteral("AB"), {}, QStringLiteral("xabYaB"),
        QStringLiteral("xY"));
    row("joined pieces are removed too", QStringLiteral("ab"), {}, QStringLiteral("aabb"),
        QString());
    row("deeply nested", QStringLiteral("ab"), {}, QStringLiteral("aaabbbab"), QString());
    row("leftmost first decides", QStringLiteral("aba"), {}, QStringLiteral("ababa"),
        QStringLiteral("ba"));
    row("longer target joined", QStringLiteral("abc"), {}, QStringLiteral("aabcbcx"),
        QStringLiteral("x"));
    row("empty target", QString(), {}, QStringLiteral("abc"), QStringLiteral("abc"));
    row("target longer than text", QStringLiteral("abcd"), {}, QStringLiteral("abc"),
        QStringLiteral("abc"));
    row("absent text", quote, {}, std::nullopt, QString());
    row("empty text", quote, {}, QString(), QString());
    row("line feed", QStringLiteral("\n"), {}, QStringLiteral("-a\nb\n"), QStringLiteral("-ab"));
    row("carriage return", QStringLiteral("\r"), {}, QStringLiteral("\r-a\r\nb"),
        QStringLiteral("-a\nb"));
    row("letters beyond ASCII fold", QStringLiteral("ä"), {}, QStringLiteral("ÄxäÖ"),
        QStringLiteral("xÖ"));
    // Any other replacement is a single pass that never looks into what it inserted.
    row("replacement, one pass", QStringLiteral("ab"), QStringLiteral("-"), QStringLiteral("aabb"),
        QStringLiteral("a-b"));
    row("replacement, any case", QStringLiteral("ab"), QStringLiteral("-"), QStringLiteral("AbaBx"),
        QStringLiteral("--x"));
    row("replacement holds the target", quote, QStringLiteral("\"\""), QStringLiteral("x\"y\""),
        QStringLiteral("x\"\"y\"\""));
    row("replacement, overlapping occurrences", QStringLiteral("aa"), QStringLiteral("b"),
        QStringLiteral("aaa"), QStringLiteral("ba"));
    row("replacement, none found", QStringLiteral("q"), QStringLiteral("z"), QStringLiteral("abc"),
        QStringLiteral("abc"));
    row("replacement, absent text", quote, QStringLiteral("x"), std::nullopt, QString());
}

void TestNSStringCategory::replacing() {
    QFETCH(QString, target);
    QFETCH(QString, replacement);
    QFETCH(std::optional<QString>, text);
    QFETCH(QString, expected);
    const std::optional<QString> before = text;
    QCOMPARE(NSStringCategory::stringByReplacing(target, replacement, text), expected);
    QVERIFY(text == before);
}

void TestNSStringCategory::removalMatchesRepeatedLeftmostRemoval_data() {
    QTest::addColumn<QString>("target");
    for (const char* target : {"a", "ab", "aB", "aa", "aba", "abb", "bab", "aab", "abab"})
        QTest::newRow(target) << QString::fromLatin1(target);
}

// Every text of up to eight letters from {a, A, b}: the fast removal must agree exactly with
// removing the leftmost occurrence again and again.
void TestNSStringCategory::removalMatchesRepeatedLeftmostRemoval() {
    QFETCH(QString, target);
    const QString letters = QStringLiteral("aAb");
    for (int length = 0; length <= 8; ++length) {
        qsizetype count = 1;
        for (int i = 0; i < length; ++i)
            count *= letters.size();
        for (qsizetype n = 0; n < count; ++n) {
            QString text;
            for (qsizetype rest = n, i = 0; i < length; ++i, rest /= letters.size())
                text.append(letters[rest % letters.size()]);
            const QString fast = NSStringCategory::stringByReplacing(target, u"", text);
            const QString slow = removedOneByOne(target, text);
            if (fast != slow)
                QFAIL(qPrintable(QStringLiteral("removing %1 from %2 gave %3, expected %4")
                                     .arg(target, text, fast, slow)));
        }
    }
}

// Texts that make a naive search start over again and again; they must finish, right.
void TestNSStringCategory::removalOfLongCraftedTextsEnds() {
    const qsizetype n = 200000;
    QCOMPARE(NSStringCategory::stringByReplacing(u"\"", u"", QString(n, u'"')), QString());
    QCOMPARE(NSStringCategory::stringByReplacing(u"ab", u"", QString(n, u'a') + QString(n, u'b')),
             QString());
    QCOMPARE(NSStringCategory::stringByReplacing(
                 u"ab", u"", QString(n, u'a') + QString(n, u'B') + QStringLiteral("!")),
             QStringLiteral("!"));
    const QString kept = QString(n, u'a') + QStringLiteral("c");
    QCOMPARE(
        NSStringCategory::stringByReplacing(QString(n / 2, u'a') + QStringLiteral("b"), u"", kept),
        kept);
    QCOMPARE(NSStringCategory::stringByReplacing(u"\"", u"\"\"", QString(n, u'"')),
             QString(2 * n, u'"'));
}

void TestNSStringCategory::deletingLeadSpace_data() {
    QTest::addColumn<std::optional<QString>>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("spaces both ends")
        << std::optional<QString>(QStringLiteral("   x  ")) << QStringLiteral("x  ");
    QTest::newRow("spaces only") << std::optional<QString>(QStringLiteral("    ")) << QString();
    QTest::newRow("empty") << std::optional<QString>(QString()) << QString();
    QTest::newRow("absent") << std::optional<QString>() << QString();
    QTest::newRow("tab first") << std::optional<QString>(QStringLiteral("\tx"))
                               << QStringLiteral("\tx");
    QTest::newRow("space then tab")
        << std::optional<QString>(QStringLiteral(" \tx")) << QStringLiteral("\tx");
    QTest::newRow("no-break space")
        << std::optional<QString>(QStringLiteral("\u00A0x")) << QStringLiteral("\u00A0x");
    QTest::newRow("line break first")
        << std::optional<QString>(QStringLiteral("\n x")) << QStringLiteral("\n x");
    QTest::newRow("inner spaces kept")
        << std::optional<QString>(QStringLiteral(" a b")) << QStringLiteral("a b");
}

void TestNSStringCategory::deletingLeadSpace() {
    QFETCH(std::optional<QString>, text);
    QFETCH(QString, expected);
    QCOMPARE(NSStringCategory::stringByDeletingLeadSpaceInString(text), expected);
}

void TestNSStringCategory::percentEscapes_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<std::optional<QString>>("expected");
    auto same = [](const char* name, const QString& value) {
        QTest::newRow(name) << value << std::optional<QString>(value);
    };
    auto row = [](const char* name, const QString& value, const QString& expected) {
        QTest::newRow(name) << value << std::optional<QString>(expected);
    };
    same("letters and digits", QStringLiteral("abcXYZ0189"));
    same("URL punctuation", QStringLiteral("-_.!~*'();/?:@&=+$,#"));
    same("empty", QString());
    row("address with a space", QStringLiteral("http://example.org/a b?q=1#top"),
        QStringLiteral("http://example.org/a%20b?q=1#top"));
    row("percent sign", QStringLiteral("100%"), QStringLiteral("100%25"));
    row("characters outside URLs", QStringLiteral("\"<>[]{}|\\^`"),
        QStringLiteral("%22%3C%3E%5B%5D%7B%7D%7C%5C%5E%60"));
    row("control characters", QStringLiteral("a\r\n\tb"), QStringLiteral("a%0D%0A%09b"));
    row("two-byte UTF-8", QStringLiteral("é"), QStringLiteral("%C3%A9"));
    row("three-byte UTF-8", QStringLiteral("€"), QStringLiteral("%E2%82%AC"));
    row("surrogate pair", QString::fromUtf8("\xF0\x9F\x98\x80"), QStringLiteral("%F0%9F%98%80"));
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << std::optional<QString>();
}

void TestNSStringCategory::percentEscapes() {
    QFETCH(QString, value);
    QFETCH(std::optional<QString>, expected);
    const std::optional<QString> escaped = NSStringCategory::stringByAddingPercentEscapes(value);
    QCOMPARE(escaped.has_value(), expected.has_value());
    if (expected)
        QCOMPARE(*escaped, *expected);
}

MODGATE_TEST_MAIN(TestNSStringCategory)
#include "tst_nsstringcategory.moc"
