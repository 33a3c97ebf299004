#include "catalogue/modmanifest.h"
#include "support/textfile.h"
#include "testmain.h"

#include <QObject>
#include <QStringEncoder>
#include <QStringList>
#include <QTest>
#include <optional>

Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(ModEntry)

namespace {

using Text = std::optional<QString>;
const Text absent;
const QString mod = QStringLiteral("ExampleMod");

ModEntry entry(Text name, Text command = absent, Text url = absent, const QString& launch = mod) {
    return ModEntry{std::move(name), std::move(command), std::move(url), launch};
}

// One string per entry, so a failure shows absent and empty values apart.
QString shown(const ModEntry& e) {
    QStringList parts;
    for (const Text& value : {e.name, e.command, e.url, e.launchName})
        parts << (value ? QLatin1Char('[') + *value + QLatin1Char(']') : QStringLiteral("-"));
    return parts.join(u' ');
}

} // namespace

class TestModManifest : public QObject {
    Q_OBJECT

private slots:
    void parsing_data();
    void parsing();
};

void TestModManifest::parsing_data() {
    QTest::addColumn<Text>("text");
    QTest::addColumn<QString>("relativePath");
    QTest::addColumn<ModEntry>("expected");
    auto row = [](const char* name, const Text& text, const ModEntry& expected,
                  const QString& path = QStringLiteral("ExampleMod/UT2k4mod.ini")) {
        QTest::newRow(name) << text << path << expected;
    };

    // Lines as in the file; the CR LF and CR copies only swap the line ends.
    const QString example = QStringLiteral("[Section]\n"
                                           "ModTitle=\"Example Mod\"\n"
                                           "ModCmdLine=   -example \"x\"\n"
                                           "modurl= \"pages/example\"\n"
                                           "ModTitle = Other\n"
                                           "MODTITLE=  Second \"Title\"  \n");
    const ModEntry exampleEntry =
        entry(QStringLiteral("Second Title  "), QStringLiteral("-example x"),
              QStringLiteral("pages/example"));
    row("example, LF", example, exampleEntry);
    row("example, CR LF", QString(example).replace(u'\n', QStringLiteral("\r\n")), exampleEntry);
    row("example, CR", QString(example).replace(u'\n', u'\r'), exampleEntry);

    const ModEntry acu = entry(QStringLiteral("A"), QStringLiteral("-c"), QStringLiteral("u"));
    row("mixed line ends", QStringLiteral("ModTitle=A\r\nModUrl=u\rModCmdLine=-c\n"), acu);
    row("CR with one stray LF", QStringLiteral("ModTitle=A\rModUrl=u\nModCmdLine=-c\rx"), acu);
    row("keys in any case", QStringLiteral("mOdTiTlE=A\nMODCMDLINE=-c\nModURL=u"), acu);
    row("empty text, no path component", QString(),
        entry(absent, absent, absent, QStringLiteral("UT2k4mod.ini")),
        QStringLiteral("UT2k4mod.ini"));
    row("absent text, several components", absent,
        entry(absent, absent, absent, QStringLiteral("A")), QStringLiteral("A/B/ut2k4mod.ini"));
    row("no recognised line",
        QStringLiteral("modtitle =x\n ModTitle=x\n\tModCmdLine=x\nx ModUrl=x\nModTitle\nmod"),
        entry(absent));
    row("quotes and spaces only", QStringLiteral("ModTitle= \" \"\"  \""), entry(QString()));
    row("tabs and trailing spaces kept", QStringLiteral("ModTitle= \" \tx  \r\nModUrl=\tu"),
        entry(QStringLiteral("\tx  "), absent, QStringLiteral("\tu")));
    row("later line wins, even empty",
        QStringLiteral("ModTitle=a\nModTitle=b\nModUrl=u\nModUrl=\n"),
        entry(QStringLiteral("b"), absent, QString()));
    row("value holding = and a key", QStringLiteral("ModURL=?a=b\nModCmdLine=ModTitle=x"),
        entry(absent, QStringLiteral("ModTitle=x"), QStringLiteral("?a=b")));

    const QString marked = QStringLiteral("ModTitle=T\r\nModURL=u\r\n");
    auto utf16WithMark = [&](QStringConverter::Encoding encoding) {
        return decodeText(QStringEncoder(encoding, QStringConverter::Flag::WriteBom)(marked));
    };
    const ModEntry markedEntry = entry(QStringLiteral("T"), absent, QStringLiteral("u"));
    row("after UTF-8 mark", decodeText("\xEF\xBB\xBF" + marked.toUtf8()), markedEntry);
    row("after UTF-16 LE mark", utf16WithMark(QStringConverter::Utf16LE), markedEntry);
    row("after UTF-16 BE mark", utf16WithMark(QStringConverter::Utf16BE), markedEntry);

    // A crafted value must not stall the search.
    const QString quotes(200000, u'"');
    row("200,000 quotes finish",
        QStringLiteral("ModTitle=") + quotes + QStringLiteral("  Mod\"") + quotes +
            QStringLiteral("\r\nModURL=") + quotes,
        entry(QStringLiteral("Mod"), absent, QString()));
}

void TestModManifest::parsing() {
    QFETCH(Text, text);
    QFETCH(QString, relativePath);
    QFETCH(ModEntry, expected);
    const ModEntry parsed = modEntryFromManifest(text, relativePath);
    // Exact values, so a stray CR or LF in any of them fails too.
    QCOMPARE(shown(parsed), shown(expected));
}

MODGATE_TEST_MAIN(TestModManifest)
#include "tst_modmanifest.moc"
