// SPDX-License-Identifier: GPL-3.0-or-later
#include "fixtures.h"
#include "support/contrast.h"
#include "support/nsstringcategory.h"
#include "support/outputtail.h"
#include "support/textfile.h"
#include "support/textlines.h"
#include "support/userdefaults.h"
#include "testmain.h"

#include <QSettings>
#include <sys/stat.h>
#include <thread>

using namespace Qt::StringLiterals;
using namespace NSStringCategory;
using Text = std::optional<QString>;

class TestSupport : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    // Each row holds what the function gave and what it should give.
    template <typename T> void table() { QTest::addColumn<T>("got"), QTest::addColumn<T>("want"); }
    template <typename T> void compare() {
        QFETCH(T, got);
        QFETCH(T, want);
        QCOMPARE(got, want);
    }
    static QSettings store() { return QSettings(u"Modgate"_s, u"Modgate"_s); }

private slots:
    void decoding_data() {
        table<QString>();
        QTest::newRow("UTF-8") << decodeText("M=\xC3\xA9\xE2\x82\xAC"_ba) << u"M=é€"_s;
        QTest::newRow("UTF-8 mark") << decodeText("\xEF\xBB\xBFM"_ba) << u"M"_s;
        QTest::newRow("UTF-16 LE mark") << decodeText("\xFF\xFEM\0\xE9\0"_ba) << u"Mé"_s;
        // A second mark is text; a byte short of a unit must not vanish.
        QTest::newRow("UTF-16 BE") << decodeText("\xFE\xFF\xFE\xFF\0Mx"_ba) << u"\uFEFFM\uFFFD"_s;
        QTest::newRow("Windows-1252") << decodeText("Caf\xE9 \x96"_ba) << u"Café \u2013"_s;
        QTest::newRow("UTF-8 cut off at the end") << decodeText("a\xE2\x82"_ba) << u"aâ‚"_s;
    }
    void decoding() { compare<QString>(); }

    void splitting_data() {
        table<QStringList>();
        QTest::newRow("CR LF") << splitLines(u"a\r\nb") << QStringList{"a", "b"};
        QTest::newRow("lone CR") << splitLines(u"a\rb") << QStringList{"a", "b"};
        QTest::newRow("mixed") << splitLines(u"a\n\rb\r\r\n") << QStringList{"a", "", "b", "", ""};
        QTest::newRow("no other") << splitLines(u"\u2028\u0085") << QStringList{u"\u2028\u0085"_s};
    }
    void splitting() { compare<QStringList>(); }

    void reading_data() {
        table<Text>();
        const QString file = dir.filePath(u"Ünï.ini"_s), fifo = dir.filePath(u"fifo"_s);
        QVERIFY(fixtures::writeFile(file, "M=\xFF\r\n"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0644) == 0);
        auto row = [](const char* name, const QString& path, qsizetype maxBytes, const Text& text) {
            QTest::newRow(name) << stringWithContentsOfFile(path, maxBytes) << text;
        };
        row("at the cap", file, 5, u"M=ÿ\r\n"_s);
        row("a byte over", file, 4, {});
        row("missing", dir.filePath(u"none"_s), 9, {});
        row("folder", dir.path(), 9, {});
        row("FIFO, never waited on", fifo, 9, {});
        // Its stated size is 0: the reader must read past that and still keep the cap.
        QFile version(u"/proc/version"_s);
        QVERIFY(version.open(QIODevice::ReadOnly));
        const QByteArray bytes = version.readAll();
        row("/proc at the cap", version.fileName(), bytes.size(), QString::fromLatin1(bytes));
        row("/proc a byte over", version.fileName(), bytes.size() - 1, {});
    }
    void reading() { compare<Text>(); }

    // A program's first bytes, as a failed start reads them: never from a FIFO or a folder.
    void readingHead_data() {
        using Bytes = std::optional<QByteArray>;
        table<Bytes>();
        const QString file = dir.filePath(u"program"_s), fifo = dir.filePath(u"programfifo"_s);
        QVERIFY(fixtures::writeFile(file, "\177ELF\002"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0755) == 0);
        QTest::newRow("first bytes") << headOfRegularFile(file, 4) << Bytes("\177ELF"_ba);
        QTest::newRow("shorter file") << headOfRegularFile(file, 9) << Bytes("\177ELF\002"_ba);
        QTest::newRow("FIFO, never waited on") << headOfRegularFile(fifo, 9) << Bytes();
        QTest::newRow("folder") << headOfRegularFile(dir.path(), 9) << Bytes();
    }
    void readingHead() { compare<std::optional<QByteArray>>(); }

    void replacing_data() {
        table<QString>();
        QTest::newRow("quotes anywhere") << stringByReplacing(u"\"", u"", u"\"a\"b\""_s) << u"ab"_s;
        QTest::newRow("any case") << stringByReplacing(u"ab", u"", u"xAbY"_s) << u"xY"_s;
        QTest::newRow("joined pieces") << stringByReplacing(u"ab", u"", u"aaBb"_s) << u""_s;
        QTest::newRow("empty target") << stringByReplacing(u"", u"", u"ab"_s) << u"ab"_s;
        QTest::newRow("absent text") << stringByReplacing(u"a", u"", {}) << u""_s;
        // Outside callers' use: one pass, never searching what it inserted.
        QTest::newRow("replacement") << stringByReplacing(u"ab", u"ab-", u"aAbb"_s) << u"aab-b"_s;
    }
    void replacing() { compare<QString>(); }

    // Every text of up to eight letters from {a, A, b}, against the obvious repeated removal.
    void removalIsRepeatedLeftmostRemoval() {
        for (const QString& target :
             {u"aB"_s, u"aa"_s, u"aba"_s, u"abb"_s, u"bab"_s, u"abab"_s, u"aabaa"_s}) {
            for (int n = 0; n < (19683 - 1) / 2; ++n) { // shortlex numbering up to length 8
                QString text, slow;
                for (int rest = n; rest > 0; rest = (rest - 1) / 3)
                    text.append(u"aAb"_s[(rest - 1) % 3]);
                for (slow = text; slow.contains(target, Qt::CaseInsensitive);)
                    slow.remove(slow.indexOf(target, 0, Qt::CaseInsensitive), target.size());
                QCOMPARE(stringByReplacing(target, u"", text), slow);
            }
        }
    }

    void deletingLeadSpace_data() {
        table<QString>();
        QTest::newRow("both ends") << stringByDeletingLeadSpaceInString(u"   x  "_s) << u"x  "_s;
        QTest::newRow("spaces only") << stringByDeletingLeadSpaceInString(u"  "_s) << u""_s;
        QTest::newRow("absent") << stringByDeletingLeadSpaceInString({}) << u""_s;
        QTest::newRow("space, tab") << stringByDeletingLeadSpaceInString(u" \tx"_s) << u"\tx"_s;
        QTest::newRow("NBSP") << stringByDeletingLeadSpaceInString(u"\u00A0x"_s) << u"\u00A0x"_s;
    }
    void deletingLeadSpace() { compare<QString>(); }

    void percentEscapes_data() {
        table<Text>();
        const QString kept = u"azAZ09-_.!~*'();/?:@&=+$,#"_s;
        QTest::newRow("kept") << stringByAddingPercentEscapes(kept) << Text(kept);
        QTest::newRow("escaped") << stringByAddingPercentEscapes(u"% \"<>[]{}|\\^`\n"_s)
                                 << Text(u"%25%20%22%3C%3E%5B%5D%7B%7D%7C%5C%5E%60%0A"_s);
        QTest::newRow("UTF-8, upper-case")
            << stringByAddingPercentEscapes(u"é😀"_s) << Text(u"%C3%A9%F0%9F%98%80"_s);
        QTest::newRow("lone surrogate") << stringByAddingPercentEscapes(QChar(0xD800)) << Text();
    }
    void percentEscapes() { compare<Text>(); }

    // Untitled rows' text: set apart from the text colour, yet at least 4.5:1 on both row colours.
    void mutedText_data() {
        QTest::addColumn<QColor>("text");
        QTest::addColumn<QColor>("base");
        QTest::addColumn<QColor>("alternate");
        QTest::newRow("light") << QColor(Qt::black) << QColor(Qt::white) << QColor(0xf7f7f7);
        QTest::newRow("dark") << QColor(0xfcfcfc) << QColor(0x2a2a2a) << QColor(0x353535);
        QTest::newRow("low contrast to begin with")
            << QColor(0x767676) << QColor(Qt::white) << QColor(0xf0f0f0);
    }
    void mutedText() {
        QFETCH(QColor, text);
        QFETCH(QColor, base);
        QFETCH(QColor, alternate);
        QCOMPARE(contrastRatio(Qt::black, Qt::white), 21.0);
        const QColor muted = mutedTextColor(text, {base, alternate});
        const double own = contrastRatio(text, base);
        QVERIFY(contrastRatio(muted, base) >= qMin(4.5, own));
        QVERIFY(contrastRatio(muted, alternate) >= qMin(4.5, contrastRatio(text, alternate)));
        QCOMPARE(muted != text, own > 5.0);
    }

    void defaultsStayInMemoryAndStoredValuesWin() {
        UserDefaults& defaults = UserDefaults::standard();
        defaults.registerDefaults({{u"flag"_s, true}});
        QVERIFY(defaults.boolForKey(u"flag"_s) && !store().contains(u"flag"_s));
        defaults.setObjectForKey(false, u"flag"_s);
        QVERIFY(!defaults.boolForKey(u"flag"_s));
        defaults.setObjectForKey(std::nullopt, u"flag"_s);
        QVERIFY(!store().contains(u"flag"_s) && defaults.boolForKey(u"flag"_s));
    }

    // Read at each use: what another writer or another thread stored is seen.
    void valuesAreReadFresh() {
        UserDefaults& defaults = UserDefaults::standard();
        QVERIFY(!defaults.stringForKey(u"path"_s) && !defaults.boolForKey(u"path"_s));
        store().setValue(u"path"_s, u""_s);
        QVERIFY(!defaults.stringForKey(u"path"_s).value_or(QString()).isNull()); // "" is a value
        std::thread([&] { defaults.setObjectForKey(u"/p"_s, u"path"_s); }).join();
        QCOMPARE(defaults.stringForKey(u"path"_s), u"/p"_s);
    }

    // The tail holds the last bytes in order, across the buffer's end and with chunks of any size.
    void outputTail() {
        OutputTail tail(10);
        QByteArray all;
        for (const QByteArray& chunk : {"abc"_ba, "defgh"_ba, ""_ba, "ij"_ba, "k"_ba,
                                        "0123456789AB"_ba, "xyz"_ba, "1234567"_ba}) {
            tail.append(chunk);
            all += chunk;
            QCOMPARE(tail.bytes(), all.right(10));
            QCOMPARE(tail.wrapped(), all.size() > 10);
            QCOMPARE(tail.capacity(), 10);
        }
    }
};

MODGATE_TEST_MAIN(TestSupport)
#include "tst_support.moc"
