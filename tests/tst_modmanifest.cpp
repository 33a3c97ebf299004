#include "catalogue/modmanifest.h"
#include "support/textfile.h"
#include "testmain.h"

#include <QObject>
#include <QStringList>
#include <QTest>
#include <optional>

Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(ModEntry)

namespace {

using Text = std::optional<QString>;
const Text absent;

ModEntry entry(Text name, Text command, Text url, const QString& launchName) {
    return ModEntry{std::move(name), std::move(command), std::move(url), launchName};
}

QString shown(const Text& value) {
    return value ? QLatin1Char('[') + *value + QLatin1Char(']') : QStringLiteral("(absent)");
}

const QStringList workedExample = {
    QStringLiteral("[Section]"),
    QStringLiteral("ModTitle=\"Example Mod\""),
    QStringLiteral("ModCmdLine=   -example \"x\""),
    QStringLiteral("modurl= \"pages/example\""),
    QStringLiteral("ModTitle = Other"),
    QStringLiteral("MODTITLE=  Second \"Title\"  "),
};

// The text in UTF-16 after its byte-order mark.
QByteArray withMark(const QString& text, bool bigEndian) {
    QByteArray bytes = bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
    for (const QChar c : text) {
        const char high = char(c.unicode() >> 8), low = char(c.unicode() & 0xFF);
        bytes.append(bigEndian ? high : low);
        bytes.append(bigEndian ? low : high);
    }
    return bytes;
}

const ModEntry workedExampleEntry =
    entry(QStringLiteral("Second Title  "), QStringLiteral("-example x"),
          QStringLiteral("pages/example"), QStringLiteral("ExampleMod"));

} // namespace

class TestModManifest : public QObject {
    Q_OBJECT

private slots:
    void parsing_data();
    void parsing();
    void launchName_data();
    void launchName();
    void keyAfterByteOrderMarkIsFound_data();
    void keyAfterByteOrderMarkIsFound();
    void valueOfManyQuotesFinishes();
};

void TestModManifest::parsing_data() {
    QTest::addColumn<Text>("text");
    QTest::addColumn<ModEntry>("expected");

    const QString mod = QStringLiteral("ExampleMod");
    auto row = [&](const char* name, const Text& text, const ModEntry& expected) {
        QTest::newRow(name) << text << expected;
    };
    auto only = [&](const char* name, const Text& text) {
        row(name, text, entry(absent, absent, absent, mod));
    };
    auto title = [&](const char* name, const QString& text, const Text& value) {
        row(name, text, entry(value, absent, absent, mod));
    };

    row("worked example, LF", workedExample.join(u'\n') + u'\n', workedExampleEntry);
    row("worked example, CR LF",
        workedExample.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"), workedExampleEntry);
    row("worked example, CR", workedExample.join(u'\r') + u'\r', workedExampleEntry);
    row("worked example, no final line end", workedExample.join(QStringLiteral("\r\n")),
        workedExampleEntry);
    row("CR with one stray LF", QStringLiteral("ModTitle=A\rModUrl=u\nModCmdLine=-c\rx"),
        entry(QStringLiteral("A"), QStringLiteral("-c"), QStringLiteral("u"), mod));
    row("mixed line ends", QStringLiteral("ModTitle=A\r\nModUrl=u\rModCmdLine=-c\n"),
        entry(QStringLiteral("A"), QStringLiteral("-c"), QStringLiteral("u"), mod));
    only("empty text", QString());
    only("absent text", absent);
    only("no recognised line", QStringLiteral("[Mod]\nName=x\n; ModTitle=y\n"));
    only("only line ends", QStringLiteral("\r\n\r\n\n\r"));

    title("key in mixed case", QStringLiteral("mOdTiTlE=x"), QStringLiteral("x"));
    title("key in upper case", QStringLiteral("MODTITLE=x"), QStringLiteral("x"));
    row("every key in upper case", QStringLiteral("MODCMDLINE=-c\nMODURL=u"),
        entry(absent, QStringLiteral("-c"), QStringLiteral("u"), mod));
    only("space before =", QStringLiteral("modtitle =x"));
    only("space before the key", QStringLiteral(" ModTitle=x"));
    only("tab before the key", QStringLiteral("\tModTitle=x"));
    only("key not at the start", QStringLiteral("x ModTitle=y"));
    only("key without =", QStringLiteral("ModTitle"));
    only("line shorter than a key", QStringLiteral("mod"));

    title("nothing after =", QStringLiteral("ModTitle="), QString());
    title("quotes and spaces only", QStringLiteral("ModTitle= \" \"\"  \""), QString());
    title("tab and text keep the tab", QStringLiteral("ModTitle=\tx"), QStringLiteral("\tx"));
    title("spaces, quote, tab and text", QStringLiteral("ModTitle= \" \tx"), QStringLiteral("\tx"));
    title("trailing spaces kept", QStringLiteral("ModTitle=x  \n"), QStringLiteral("x  "));
    title("letter case of the value kept", QStringLiteral("modtitle=ÄÖÜ Straße MOD"),
          QStringLiteral("ÄÖÜ Straße MOD"));
    title("inner quotes removed", QStringLiteral("ModTitle=The \"Best\" Mod"),
          QStringLiteral("The Best Mod"));
    title("later line wins", QStringLiteral("ModTitle=first\nModTitle=second\n"),
          QStringLiteral("second"));
    title("later empty line wins", QStringLiteral("ModTitle=first\nModTitle=\n"), QString());
    row("value holding = and another key",
        QStringLiteral("ModURL=http://example.org/?a=b\nModCmdLine=ModTitle=x"),
        entry(absent, QStringLiteral("ModTitle=x"), QStringLiteral("http://example.org/?a=b"),
              mod));
    row("command with quoted arguments",
        QStringLiteral("ModCmdLine=-log \"My File.log\" -windowed"),
        entry(absent, QStringLiteral("-log My File.log -windowed"), absent, mod));
}

void TestModManifest::parsing() {
    QFETCH(Text, text);
    QFETCH(ModEntry, expected);
    const ModEntry parsed = modEntryFromManifest(text, QStringLiteral("ExampleMod/UT2k4mod.ini"));
    QCOMPARE(shown(parsed.name), shown(expected.name));
    QCOMPARE(shown(parsed.command), shown(expected.command));
    QCOMPARE(shown(parsed.url), shown(expected.url));
    QCOMPARE(shown(parsed.launchName), shown(expected.launchName));
    for (const Text& value : {parsed.name, parsed.command, parsed.url}) {
        QVERIFY(!value.value_or(QString()).contains(u'\r'));
        QVERIFY(!value.value_or(QString()).contains(u'\n'));
    }
}

void TestModManifest::launchName_data() {
    QTest::addColumn<QString>("relativePath");
    QTest::addColumn<QString>("expected");
    QTest::newRow("several components") << "A/B/ut2k4mod.ini"
                                        << "A";
    QTest::newRow("two components") << "ExampleMod/UT2k4mod.ini"
                                    << "ExampleMod";
    QTest::newRow("none: the file name") << "UT2k4mod.ini"
                                         << "UT2k4mod.ini";
    QTest::newRow("spaces and dots kept") << "My Mod 1.2/System/ut2k4mod.ini"
                                          << "My Mod 1.2";
}

void TestModManifest::launchName() {
    QFETCH(QString, relativePath);
    QFETCH(QString, expected);
    for (const Text& text : {absent, Text(QString()), Text(QStringLiteral("ModTitle=x"))})
        QCOMPARE(modEntryFromManifest(text, relativePath).launchName, Text(expected));
}

void TestModManifest::keyAfterByteOrderMarkIsFound_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QString utf16 = QStringLiteral("ModTitle=T\r\nModURL=u\r\n");
    QTest::newRow("UTF-8") << QByteArray("\xEF\xBB\xBFModTitle=T\r\nModURL=u\r\n");
    QTest::newRow("UTF-16 LE") << withMark(utf16, false);
    QTest::newRow("UTF-16 BE") << withMark(utf16, true);
}

void TestModManifest::keyAfterByteOrderMarkIsFound() {
    QFETCH(QByteArray, bytes);
    const ModEntry parsed =
        modEntryFromManifest(decodeText(bytes), QStringLiteral("M/ut2k4mod.ini"));
    QCOMPARE(parsed, entry(QStringLiteral("T"), absent, QStringLiteral("u"), QStringLiteral("M")));
}

// A crafted value must not stall the search: it finishes with the right value.
void TestModManifest::valueOfManyQuotesFinishes() {
    const QString quotes(200000, u'"');
    const ModEntry parsed =
        modEntryFromManifest(QStringLiteral("ModTitle=") + quotes + QStringLiteral("  Mod\"") +
                                 quotes + QStringLiteral("\r\nModURL=") + quotes,
                             QStringLiteral("M/ut2k4mod.ini"));
    QCOMPARE(parsed, entry(QStringLiteral("Mod"), absent, QString(), QStringLiteral("M")));
}

MODGATE_TEST_MAIN(TestModManifest)
#include "tst_modmanifest.moc"
