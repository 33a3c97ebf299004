// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/moddescription.h"
#include "catalogue/modlogo.h"
#include "catalogue/modmanifest.h"
#include "catalogue/modorder.h"
#include "catalogue/modsearch.h"
#include "fixtures.h"
#include "installation/gamelayout.h"
#include "installation/gamelocation.h"
#include "packagewriter/texturepackagewriter.h"
#include "support/textfile.h"
#include "testmain.h"

#include <QProcess>
#include <QTextDocument>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using fixtures::columns;
using fixtures::row;

// In the rows "-" stands for an absent value or path.
const QString absent = QStringLiteral("-");

// Every value bracketed, so that a failure shows absent and empty values apart.
QString shown(const ModEntry& entry) {
    QStringList parts;
    for (const auto& value :
         {entry.name, entry.command, entry.url, entry.launchName, entry.description, entry.logo})
        parts << (value ? '[' + *value + ']' : absent);
    return parts.join(u' ');
}

// The mods found below path, each as its launchName and its title where it has one; sorted, as
// siblings come in the file system's order.
QString modsFound(const std::optional<QString>& path) {
    QStringList mods;
    searchForModsInBasePath(path, [&](const ModEntry& entry) {
        mods << entry.launchName.value_or(absent) + (entry.name ? '=' + *entry.name : QString());
    });
    mods.sort();
    return mods.join(u' ');
}

} // namespace

class CatalogueTest : public QObject {
    Q_OBJECT
private slots:
    void modEntryFromManifest_data() {
        columns("text", "expected"); // name, command, url, launchName of a manifest M/UT2k4mod.ini
        // Quotes go anywhere, then the spaces in front; the last of a key's lines wins, even empty.
        const QString example = "[Mod]\nModTitle=\"Example\"\nModCmdLine=   -example \"x\"\n"
                                "modurl=x\nModTitle = Other\nMODTITLE=  Last \"Title\"  \nModURL=";
        const QString exampleEntry = "[Last Title  ] [-example x] [] [M] - -";
        row("LF", example, exampleEntry);
        row("CR LF", QString(example).replace("\n", "\r\n"), exampleEntry);
        row("CR", QString(example).replace('\n', '\r'), exampleEntry);
        row("mixed line ends", "ModTitle=A\r\nModUrl=u\rModCmdLine=-c\n", "[A] [-c] [u] [M] - -");
        row("keys not at a line's start", "modtitle =x\n ModTitle=x\n\tModUrl=x", "- - - [M] - -");
        row("quotes and spaces only", "ModTitle= \" \"\"  \"", "[] - - [M] - -");
        row("tab kept", "ModTitle= \" \tx", "[\tx] - - [M] - -");
        row("= and a key in values", "ModURL=?a=b\nModCmdLine=ModTitle=x",
            "- [ModTitle=x] [?a=b] [M] - -");
        row("description and logo",
            "ModDesc=\"One|| \"two\"\nmoddesc= Last|line\r\nMODLOGO= \"Pkg.Logo\"",
            "- - - [M] [Last|line] [Pkg.Logo]");
        row("empty description and logo", "ModDesc=\nModLogo=", "- - - [M] [] []");
    }
    void modEntryFromManifest() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(shown(::modEntryFromManifest(text, "M/UT2k4mod.ini")), expected);
    }
    // The first path component, even where it is the manifest; also for an absent text.
    void launchName() {
        QCOMPARE(shown(::modEntryFromManifest("", "UT2k4mod.ini")), "- - - [UT2k4mod.ini] - -");
        QCOMPARE(shown(::modEntryFromManifest(std::nullopt, "A/B/ut2k4mod.ini")), "- - - [A] - -");
    }

    // What the details pane shows of a description: its lines and its links.
    // Texts compared as read: case aside, digit runs by value, a prefix first.
    void naturalCompare_data() {
        columns("a", "b");
        QTest::addColumn<int>("order");
        QTest::newRow("a number by value") << "Mod 9"
                                           << "Mod 10" << -1;
        QTest::newRow("longer, yet smaller") << "Mod 99x"
                                             << "Mod 100" << -1;
        QTest::newRow("leading zeros") << "v007"
                                       << "V7" << 0;
        QTest::newRow("case aside") << "ALPHA"
                                    << "alpha" << 0;
        QTest::newRow("a prefix first") << "Frag.Ops"
                                        << "Frag.Ops Training" << -1;
        QTest::newRow("a number before a letter") << "x1"
                                                  << "xa" << -1;
        QTest::newRow("digits beyond 64 bits") << "99999999999999999999"
                                               << "100000000000000000000" << -1;
    }
    void naturalCompare() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        QCOMPARE(::naturalCompare(a, b), order);
        QCOMPARE(::naturalCompare(b, a), -order);
    }

    void modDescription_data() {
        columns("description", "lines", "links"); // lines joined by "/", links by " "
        row("none", "", "", "");
        row("| ends a line, || leaves an empty one", "a|b||c|", "a/b//c/", "");
        row("links, punctuation after them left out",
            "See http://a.example/x. Or HTTPS://b.example)|https://c.example/?q=1&r=<2>",
            "See http://a.example/x. Or HTTPS://b.example)/https://c.example/?q=1&r=<2>",
            "http://a.example/x HTTPS://b.example https://c.example/?q=1&r=<2>");
        row("a scheme alone is no link", "http:// https://.", "http:// https://.", "");
        row("markup shown as text", "<b>&amp;</b>", "<b>&amp;</b>", "");
        row("colour codes hidden", "\x1b\xff\x01\x01red|\x1b\x01", "red/", "");
        // Laid out up to the limit: never half a surrogate pair, and a cut word links nowhere.
        const QString a(descriptionLimit - 1, u'a');
        row("cut before a surrogate pair", a + QStringLiteral("\U0001F600b"), a + QChar(0x2026),
            QString());
        const QString before =
            QStringLiteral("http://a.example ") + QString(descriptionLimit - 32, u'x') + u' ';
        row("cut within a link", before + QStringLiteral("http://b.example/page"),
            before + QStringLiteral("http://b.examp\u2026"), QStringLiteral("http://a.example"));
    }
    void modDescription() {
        QFETCH(QString, description);
        QFETCH(QString, lines);
        QFETCH(QString, links);
        const ModDescriptionLayout layout = layOutModDescription(description);
        QTextDocument document;
        document.setHtml(layout.html);
        QCOMPARE(document.toPlainText().replace(u'\n', u'/').replace(QChar::LineSeparator, u'/'),
                 lines);
        QCOMPARE(layout.links.join(u' '), links);
        // Each link's anchor leads back to its word.
        for (qsizetype i = 0; i < layout.links.size(); ++i)
            QCOMPARE(descriptionLinkIndex(descriptionLinkHref(i)), i);
        QCOMPARE(descriptionLinkIndex(QStringLiteral("http://x.org")), -1);
    }

    // Where a mod's logo comes from: its package, found in any letter case, else its splash.
    void loadModLogo_data() {
        QTest::addColumn<QString>("logo");
        QTest::addColumn<bool>("splash");
        QTest::addColumn<QColor>("found"); // invalid: no logo
        const QColor package(Qt::red), splash(Qt::blue);
        QTest::newRow("package before the first dot, group path")
            << "Pkg.Menu.Logo" << true << package;
        QTest::newRow("bare name") << "pKG.logo" << false << package;
        QTest::newRow("missing package") << "Menu.Logo" << true << splash;
        QTest::newRow("no dot") << "PkgLogo" << true << splash;
        QTest::newRow("empty") << "" << true << splash;
        QTest::newRow("missing object, no splash") << "Pkg.Nothing" << false << QColor();
        QTest::newRow("a FIFO for a package is never opened") << "Fifo.Logo" << true << splash;
    }
    void loadModLogo() {
        QFETCH(QString, logo);
        QFETCH(bool, splash);
        QFETCH(QColor, found);
        QTemporaryDir game;
        QImage picture(16, 8, QImage::Format_ARGB32);
        picture.fill(Qt::red);
        QVERIFY(fixtures::writeFile(
            game.filePath("Mod/textures/pkg.UTX"),
            packagewriter::packageWithTexture(picture, packagewriter::Format::RGBA8, "Menu.Logo")));
        QCOMPARE(::mkfifo(QFile::encodeName(game.filePath("Mod/textures/Fifo.utx")), 0600), 0);
        picture.fill(Qt::blue);
        QVERIFY(!splash || (QDir().mkpath(game.filePath("Mod/HELP")) &&
                            picture.save(game.filePath("Mod/HELP/modlogo.BMP"), "BMP")));
        const std::optional<QImage> image = ::loadModLogo(game.filePath("Mod"), logo);
        QCOMPARE(image ? image->pixelColor(0, 0) : QColor(), found);
    }

    // Trees of empty manifests, links to nothing and folders: what is found has no title.
    void searchForModsInBasePath_data() {
        columns("below", "found", "tree"); // below the tree's folder, the path searched
        row("two in one folder, one in the base", "", "A A UT2k4mod.ini",
            "f:A/ut2k4mod.ini;f:A/Sub/UT2K4MOD.INI;f:UT2k4mod.ini");
        row("trailing /", "/", "A", "f:A/ut2k4mod.ini");
        row("absent path", absent, "", "f:A/ut2k4mod.ini");
        // The Kelvin sign (U+212A) lowercases to "k"; U+00FC is no "u".
        row("only the exact name, in any case", "", "C K",
            "f:B/ut2k4mod.ini.bak;f:B/myut2k4mod.ini;f:B/ut2k4mod.in;f:C/UT2k4Mod.INI;"
            "f:K/ut2\u212A4mod.ini;f:U/\u00FCt2k4mod.ini");
        row("folder named like a manifest", "", "E E", "f:E/ut2k4mod.ini/Deeper/ut2k4mod.ini");
        row("deep manifest, top folder", "", "Deep", "f:Deep/a/b/c/d/e/ut2k4mod.ini");
        row("links below the top not followed", "", "Alias Broken Loop",
            "f:Loop/ut2k4mod.ini;l:Loop/Contents/MacOS/GameData>../..;l:Loop/Self>.;"
            "l:Loop/Dangling>nowhere;l:Broken/ut2k4mod.ini>gone;"
            "l:Alias/ut2k4mod.ini>../Loop/ut2k4mod.ini");
        // As distribution packages install mods; never twice, never the game folder again.
        row("top-level links to folders outside only", "/Game", "Linked Own",
            "f:Shared/Real/ut2k4mod.ini;l:Game/Linked>../Shared/Real;f:Game/Own/ut2k4mod.ini;"
            "l:Game/Twice>Own;l:Game/Own/Deep>../../Shared/Real;l:Game/Up>..");
        row("linked game folder", "/Linked", "A", "f:Real/A/ut2k4mod.ini;l:Linked>Real");
        row("hidden folders", "", ".Hidden V", "f:.Hidden/ut2k4mod.ini;f:V/.cache/ut2k4mod.ini");
    }
    void searchForModsInBasePath() {
        QFETCH(QString, below);
        QFETCH(QString, found);
        QFETCH(QString, tree);
        QTemporaryDir base;
        QVERIFY(fixtures::makeTree(base.path(), tree));
        const std::optional<QString> path = base.path() + below;
        QCOMPARE(modsFound(below == absent ? std::nullopt : path), found);
        // A link to the root folder is above every game folder: never walked.
        QVERIFY(!isLinkedModFolder("/", "/opt/ut2004"));
    }

    // A manifest of up to 1 MiB is read; a larger one gives its folder's name alone.
    void manifestSizeCap() {
        QTemporaryDir base;
        const QString path = base.filePath("Big/ut2k4mod.ini");
        for (const qint64 extra : {0, 1}) {
            QVERIFY(fixtures::writeFile(path, "ModTitle=Big\n") &&
                    QFile::resize(path, (qint64(1) << 20) + extra));
            QCOMPARE(modsFound(base.path()), extra ? "Big" : "Big=Big");
        }
    }

    // A folder name that is not UTF-8 still yields its mod, read through the name's bytes; an
    // unreadable folder is passed over, an unreadable manifest still counts.
    void oddAndUnreadableFolders() {
        QTemporaryDir base;
        const QByteArray at = QFile::encodeName(base.path()), odd = at + "/Mod\xff\xfe",
                         named = at + "/Odd", locked = at + "/Locked",
                         manifest = at + "/ModF/ut2k4mod.ini";
        QVERIFY(fixtures::writeFile(base.filePath("Odd/UT2k4mod.ini"), "ModTitle=Odd Folder\n"));
        QVERIFY(fixtures::makeTree(base.path(), "f:Locked/In/ut2k4mod.ini;f:ModF/ut2k4mod.ini/x"));
        QCOMPARE(std::rename(named, odd) + ::chmod(locked, 0) + ::chmod(manifest, 0), 0);
        const QString found = modsFound(base.path());
        // Put back, so that QTemporaryDir can remove them.
        QCOMPARE(std::rename(odd, named) + ::chmod(locked, 0755) + ::chmod(manifest, 0755), 0);
        const QString unreadable = ::geteuid() == 0 ? "Locked " : ""; // root reads every folder
        QCOMPARE(found, unreadable + "ModF " + QFile::decodeName("Mod\xff\xfe") + "=Odd Folder");
    }

    // What the generator makes is found by the launcher's own rules: the game from its log, and
    // every sample mod below it.
    void sampleInstallation_data() {
        columns("layout", "executable"); // the executable below home
        row("OldUnreal", "oldunreal", ".local/share/OldUnreal/UT2004/System/UT2004");
        row("3369", "linux3369", "Games/ut2004/System/ut2004-bin-linux-amd64");
        row("bundle", "bundle",
            "Applications/Unreal Tournament 2004.app/Contents/MacOS/Unreal Tournament 2004");
    }
    void sampleInstallation() {
        QFETCH(QString, layout);
        QFETCH(QString, executable);
        QTemporaryDir out;
        QCOMPARE(QProcess::execute(
                     fixtures::sampleInstallationTool(),
                     {"--game", fixtures::sampleGame(), "--out", out.path(), "--layout=" + layout}),
                 0);
        std::optional<QString> gamePath;
        for (const QString& logPath : gameLogPaths(out.filePath("home")))
            if (const auto text = stringWithContentsOfFile(logPath, maxGameLogBytes))
                gamePath = gamePathFromGameLog(*text);
        const std::optional<GameLayout> found = recognizeGameLayout(gamePath.value_or(out.path()));
        QCOMPARE(found ? found->executable : QString(), out.filePath("home/" + executable));
        QCOMPARE(
            modsFound(gamePath),
            "AlienInvasion=Alien Invasion ExampleMod=Example Mod FragOps=Frag.Ops FragOps=Frag.Ops "
            "Training FrontLine=Front Line: Ostfront Leftovers NoLinkMod=No Link Mod "
            "ShortLink=Short Link Troopers=Troopers \u2013 Dawn of Destiny");
    }
};

MODGATE_TEST_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
