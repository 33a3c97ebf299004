// SPDX-License-Identifier: GPL-3.0-or-later
// The rules that decide where a download's entries go: names, entry types, wrappers and mod
// folders, extensions, and the plan against a real game folder on disk.
#include "modinstall/archiveplacement.h"
#include "modinstall/gamefoldersnapshot.h"
#include "modinstall/installnames.h"
#include "modinstall/installplanner.h"

#include "fixtures.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

using fixtures::columns;
using fixtures::row;

// A list given in one string, its items split at ";".
QStringList list(const QString& items) {
    return items.split(u';', Qt::SkipEmptyParts);
}

// Split at ";": "f:Maps/x.ut2" (a file), "f:Maps/x.ut2|5" (declaring 5 bytes), "d:", "l:"
// (symbolic link), "h:" (hard link), "o:" (a device or pipe).
QList<SourceEntry> entriesFrom(const QString& listing) {
    QList<SourceEntry> entries;
    for (const QString& item : list(listing)) {
        SourceEntry entry;
        const QChar type = item[0];
        entry.type = type == u'd'   ? SourceEntryType::Directory
                     : type == u'l' ? SourceEntryType::Symlink
                     : type == u'h' ? SourceEntryType::HardLink
                     : type == u'o' ? SourceEntryType::Other
                                    : SourceEntryType::File;
        const QString rest = item.sliced(2);
        const qsizetype bar = rest.indexOf(u'|');
        entry.name = bar < 0 ? rest : rest.first(bar);
        entry.declaredSize = bar < 0 ? 10 : rest.sliced(bar + 1).toLongLong();
        entries.append(entry);
    }
    return entries;
}

QStringList destinations(const InstallPlacement& placement) {
    QStringList out;
    for (const auto& file : placement.files)
        out.append(file.second);
    out.sort();
    return out;
}

QStringList leftOut(const QList<LeftOutEntry>& entries) {
    QStringList out;
    for (const LeftOutEntry& entry : entries)
        out.append(entry.name + QStringLiteral(": ") + entry.reason +
                   (entry.keepWithRecord ? QStringLiteral(" (kept)") : QString()));
    out.sort();
    return out;
}

// Lays out a game folder from ";"-split items: "Maps/" a folder, "System/Foo.u|5" a file of 5
// bytes, "Maps->x" a symbolic link to x (relative to the folder holding the game folder).
void layOut(const QString& root, const QString& listing) {
    QVERIFY(QDir().mkpath(root));
    for (const QString& item : list(listing)) {
        if (item.endsWith(u'/')) {
            QVERIFY(QDir().mkpath(root + u'/' + item));
        } else if (const qsizetype arrow = item.indexOf(QStringLiteral("->")); arrow >= 0) {
            QVERIFY(QFile::link(root + QStringLiteral("/../") + item.sliced(arrow + 2),
                                root + u'/' + item.first(arrow)));
        } else {
            const qsizetype bar = item.indexOf(u'|');
            const QString path = root + u'/' + (bar < 0 ? item : item.first(bar));
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(bar < 0 ? 10 : item.sliced(bar + 1).toInt(), 'x'));
        }
    }
}

// Plans the destinations (as a UMOD's manifest would give them) against a game folder.
std::variant<InstallPlan, InstallRefusal> planAgainst(const QString& gameFolder,
                                                      const QString& listing) {
    const QList<SourceEntry> entries = entriesFrom(listing);
    InstallPlacement placement;
    placement.name = QStringLiteral("MyMod");
    QStringList raw;
    for (int i = 0; i < entries.size(); ++i) {
        placement.files.append({i, entries[i].name});
        raw.append(entries[i].name);
    }
    std::variant<GameFolderSnapshot, InstallRefusal> disk = readGameFolderSnapshot(gameFolder, raw);
    if (InstallRefusal* refused = std::get_if<InstallRefusal>(&disk))
        return *refused;
    return planInstall(placement, entries, QStringLiteral("MyMod.ut4mod"),
                       std::get<GameFolderSnapshot>(disk));
}

} // namespace

class InstallPlanTest : public QObject {
    Q_OBJECT

private slots:
    void names_data() {
        columns("name", "path", "fault"); // path as vetted, empty when refused; part of the reason
        const QString long255(255, u'a'), long256(256, u'a'), part(200, u'b');
        row("backslashes", "maps\\DM-X.ut2", "maps/DM-X.ut2", "");
        row("a Windows name kept whole in its folder", "Animations/animations\\Raptor.ukx",
            "Animations/Raptor.ukx", "");
        row("kept whole, two folders", "x/Maps/Sub/Maps\\Sub\\a.ut2", "x/Maps/Sub/a.ut2", "");
        row("kept whole elsewhere", "Maps/Textures\\a.utx", "Maps/Textures/a.utx", "");
        row("dot and empty parts", "./a//b/./c", "a/b/c", "");
        row("255-byte part", long255, long255, "");
        row("COM0 and CONSOLE", "COM0.txt/CONSOLE.u", "COM0.txt/CONSOLE.u", "");
        row("empty", "", "", "empty");
        row("only dots", "./.", "", "empty");
        row("control", "Maps/a\u0001.ut2", "", "control");
        row("NUL", QStringLiteral("a") + QChar(0) + QStringLiteral("b"), "", "control");
        row("C1 control", "a\u0085b", "", "control");
        row("256-byte part", long256, "", "255");
        row("256 bytes in 128 letters", QString(128, QChar(0xe9)), "", "255");
        const QString parts = QStringList(5, part).join(u'/') + u'/';
        row("1024 bytes", parts + QString(19, u'c'), parts + QString(19, u'c'), "");
        row("1025 bytes", parts + QString(20, u'c'), "", "1024");
        row("leading slash", "/etc/passwd", "", "absolute");
        row("leading backslash", "\\Windows\\x", "", "absolute");
        row("server", "//server/share/x", "", "absolute");
        row("drive", "C:\\UT2004\\System\\x.u", "", "drive");
        row("drive with slash", "c:/x", "", "drive");
        row("colon in a part", "Maps/a:b.ut2", "", "drive");
        row("dot-dot first", "../x", "", "..");
        row("dot-dot later", "Maps/../../x", "", "..");
        row("dot-dot with backslash", "Maps\\..\\x", "", "..");
        row("CON", "CON", "", "device");
        row("con.txt", "Help/con.txt", "", "device");
        row("Lpt1", "Maps/Lpt1.ut2", "", "device");
        row("aux space", "aux .tar.gz", "", "device");
        row("COM9", "COM9", "", "device");
        row("trailing dot", "Maps/x.", "", "dot");
        row("trailing space", "Maps /x.ut2", "", "space");
        row("three dots", "...", "", "dot");
    }
    void names() {
        QFETCH(QString, name);
        QFETCH(QString, path);
        QFETCH(QString, fault);
        const InstallName vetted = vetInstallName(name);
        QCOMPARE(vetted.path(), path);
        QCOMPARE(vetted.isValid(), fault.isEmpty());
        QVERIFY2(vetted.fault.contains(fault), qPrintable(vetted.fault));
    }

    // Entry types, wrappers and mod folders: lists joined with ";", left-out entries as
    // "name: reason".
    void placement_data() {
        columns("entries", "files", "leftOut", "name");
        row("links and devices", "l:Maps/Link.ut2;h:Maps/Hard.ut2;o:Maps/fifo;f:Maps/x.ut2",
            "Maps/x.ut2",
            "Maps/Hard.ut2: a hard link;Maps/Link.ut2: a symbolic link;Maps/fifo: a device, pipe "
            "or "
            "socket",
            "Download");
        row("folders only imply folders", "d:Maps/;d:Maps/Empty/;f:Maps/x.ut2", "Maps/x.ut2", "",
            "Download");
        // The link is never made; the file through it goes into a real folder.
        row("a file through a link", "l:Maps;f:Maps/x.ut2", "Maps/x.ut2", "Maps: a symbolic link",
            "Download");
        row("junk of every type",
            "f:__MACOSX/Maps/x.ut2;f:Maps/._x.ut2;l:.DS_Store;d:META-INF/;f:META-INF/MANIFEST.MF;"
            "f:Maps/Thumbs.db;f:Desktop.ini;f:Maps/x.ut2",
            "Maps/x.ut2", "", "Download");
        row("mod folder at the top",
            "f:MyMod/UT2K4Mod.ini;f:MyMod/System/MyMod.u;f:MyMod/System/Vehicles.dll;"
            "f:MyMod/MyMod/Classes/A.uc;f:MyMod/Help/ReadMe.txt",
            "MyMod/Help/ReadMe.txt;MyMod/MyMod/Classes/A.uc;MyMod/System/MyMod.u;MyMod/"
            "UT2K4Mod.ini",
            "MyMod/System/Vehicles.dll: native code", "MyMod");
        row("mod folder below wrappers",
            "f:Download/v1/MyMod/ut2k4mod.ini;f:Download/v1/MyMod/Maps/a.ut2;f:Download/readme.txt",
            "MyMod/Maps/a.ut2;MyMod/ut2k4mod.ini", "Download/readme.txt: a readme (kept)", "MyMod");
        row("a mod folder inside a mod folder belongs to it",
            "f:B/A/UT2K4Mod.ini;f:B/A/Inner/UT2K4Mod.ini;f:B/A/Inner/x.u;f:B/A/System/UT2K4Mod.ini",
            "A/Inner/UT2K4Mod.ini;A/Inner/x.u;A/System/UT2K4Mod.ini;A/UT2K4Mod.ini", "", "A");
        row("two mod folders: the first names the install",
            "f:Zeta/UT2K4Mod.ini;f:Alpha/UT2K4Mod.ini", "Alpha/UT2K4Mod.ini;Zeta/UT2K4Mod.ini", "",
            "Zeta");
        row("mod folder and game folders", "f:MyMod/UT2K4Mod.ini;f:System/MyModLauncher.u",
            "MyMod/UT2K4Mod.ini;System/MyModLauncher.u", "", "MyMod");
        row("game folders, any case, folders listed after files",
            "f:textures/Cell.utx;f:MAPS/CellMap.ut2;d:textures/;d:MAPS/;f:Music/Sub/Stage.ogg;"
            "f:System/Default.ini;f:System/Vehicles.dll;f:Help/MyMod.txt",
            "Help/MyMod.txt;Maps/CellMap.ut2;Music/Sub/Stage.ogg;System/Default.ini;Textures/"
            "Cell.utx",
            "System/Vehicles.dll: native code", "Download");
        row("wrapper above packages and sources",
            "f:NewIntro/UDN-Intro2k3.ut2;f:NewIntro/UDN-logo.utx;f:NewIntro/UDNMatinee/Classes/"
            "A.uc",
            "Maps/UDN-Intro2k3.ut2;Textures/UDN-logo.utx",
            "NewIntro/UDNMatinee/Classes/A.uc: UnrealScript source", "Download");
        row("three wrappers", "f:a/b/c/Maps/x.ut2;f:A/B/C/Textures/x.utx",
            "Maps/x.ut2;Textures/x.utx", "", "Download");
        row("a wrapper above sources and a game folder",
            "f:Pack/Classes/A.uc;f:Pack/Textures/x.utx", "Textures/x.utx",
            "Pack/Classes/A.uc: UnrealScript source", "Download");
        row("game folders beside sources and readmes",
            "f:ExampleVehicles/Classes/A.uc;f:Animations/x.ukx;f:readme.txt;f:Shot.JPG",
            "Animations/x.ukx",
            "ExampleVehicles/Classes/A.uc: UnrealScript source;Shot.JPG: a picture (kept);"
            "readme.txt: a readme (kept)",
            "Download");
        row("other folders and nested things",
            "f:Maps/x.ut2;f:Extras/y.utx;f:Extras/Classes/notes.txt;f:Other.zip;f:Maps/More.rar;"
            "f:Setup.exe;f:DE.umod;f:run.sh",
            "Maps/x.ut2",
            "DE.umod: an installer inside the archive;Extras/Classes/notes.txt: in a folder the "
            "game does not use;Extras/y.utx: in a folder the game does not use;Maps/More.rar: a "
            "nested archive;Other.zip: a nested archive;Setup.exe: native code;run.sh: native code",
            "Download");
    }
    void placement() {
        QFETCH(QString, entries);
        QFETCH(QString, files);
        QFETCH(QString, leftOut);
        QFETCH(QString, name);
        const auto placement = placeArchiveEntries(entriesFrom(entries), "Download.zip");
        if (const InstallRefusal* refused = std::get_if<InstallRefusal>(&placement))
            QFAIL(qPrintable(refused->reason));
        const InstallPlacement& got = std::get<InstallPlacement>(placement);
        QCOMPARE(destinations(got), list(files));
        QCOMPARE(::leftOut(got.leftOut), list(leftOut));
        QCOMPARE(got.name, name);
    }

    void routing_data() {
        columns("file", "outcome"); // a destination, or why it is left out
        for (const char* extension :
             {"u", "ucl", "int", "upl", "det", "est", "frt", "itt", "kot", "smt", "tmt"})
            row(extension, QString("Pack.") + extension, QString("System/Pack.") + extension);
        row("ut2", "DM-X.UT2", "Maps/DM-X.UT2");
        row("utx", "x.utx", "Textures/x.utx");
        row("uax", "x.uax", "Sounds/x.uax");
        row("ogg", "x.ogg", "Music/x.ogg");
        row("usx", "x.usx", "StaticMeshes/x.usx");
        row("ukx", "x.ukx", "Animations/x.ukx");
        row("ka", "x.ka", "KarmaData/x.ka");
        row("readme", "Read Me.htm", "a readme (kept)");
        row("picture", "shot.png", "a picture (kept)");
        row("ini", "User.ini", "a loose .ini file");
        row("dll", "x.dll", "native code");
        row("so", "libx.so", "native code");
        row("7z", "x.7z", "a nested archive");
        row("unr", "DM-Deck16.unr", "an unknown kind of file");
        row("no extension", "LICENSE", "an unknown kind of file");
    }
    void routing() {
        QFETCH(QString, file);
        QFETCH(QString, outcome);
        // A second entry in a game folder keeps the archive from being nothing to install.
        const std::variant<InstallPlacement, InstallRefusal> placement =
            placeArchiveEntries(entriesFrom("f:" + file + ";f:Maps/Anchor.ut2"), "x.zip");
        QVERIFY(std::holds_alternative<InstallPlacement>(placement));
        const InstallPlacement& placed = std::get<InstallPlacement>(placement);
        QStringList got = leftOut(placed.leftOut);
        got.replaceInStrings(file + ": ", QString());
        got += destinations(placed);
        got.removeOne("Maps/Anchor.ut2");
        QCOMPARE(got, QStringList{outcome});
    }

    void refusedArchives_data() {
        columns("entries", "reason");
        const QString nothing = "Nothing to install in Pack.zip: no mod folder (with "
                                "UT2K4Mod.ini), no game folders, no game packages.";
        row("empty", "", nothing);
        row("only readmes and UT99 maps",
            "f:EM2226_LightBearm/EM_LightBeam.unr;f:EM2226_LightBearm/x.txt", nothing);
        row("only sources", "f:ExampleVehicles/Classes/A.uc;f:ExampleVehicles/Classes/B.uc",
            nothing);
        row("four wrappers", "f:a/b/c/d/Maps/x.ut2", nothing);
        row("only links", "l:Maps/x.ut2;h:System/y.u", nothing);
        row("a hostile name among good ones", "f:Maps/x.ut2;l:../../etc/cron.d/x",
            "Pack.zip: entry \"../../etc/cron.d/x\" climbs out of its folder with \"..\"");
        row("UT2K4Mod.ini outside any folder", "f:UT2K4Mod.ini;f:System/x.u",
            "Pack.zip holds UT2K4Mod.ini outside any folder");
        row("mod folder named as a game folder", "f:Stuff/system/UT2K4Mod.ini",
            "Pack.zip: the mod folder \"system\" has the name of one of the game's own folders");
    }
    void refusedArchives() {
        QFETCH(QString, entries);
        QFETCH(QString, reason);
        const std::variant<InstallPlacement, InstallRefusal> placement =
            placeArchiveEntries(entriesFrom(entries), "Pack.zip");
        QVERIFY(std::holds_alternative<InstallRefusal>(placement));
        QVERIFY2(std::get<InstallRefusal>(placement).reason.startsWith(reason),
                 qPrintable(std::get<InstallRefusal>(placement).reason));
    }

    void installName() {
        QCOMPARE(installNameFromFileName("/tmp/DM-Foo-1.2.zip"), "DM-Foo-1.2");
        QCOMPARE(installNameFromFileName("MyMod.tar.gz"), "MyMod");
        QCOMPARE(installNameFromFileName("MyMod"), "MyMod");
    }

    // Destinations as a UMOD gives them, against a real game folder; lists joined with ";".
    void letterCase_data() {
        columns("disk", "entries", "planned", "newFolders", "modFolder"); // planned: or the refusal
        row("into the existing folder", "Textures/", "f:textures\\x.utx", "Textures/x.utx", "", "");
        row("a lower-case folder on disk", "maps/", "f:Maps\\DM-X.ut2", "maps/DM-X.ut2", "", "");
        row("a new game folder spelled canonically", "System/", "f:karmadata/x.ka;f:KARMADATA/y.ka",
            "KarmaData/x.ka;KarmaData/y.ka", "KarmaData", "");
        row("a new folder spelled as first given", "", "f:MyMod/NewDir/a.u;f:mymod/newdir/b.u",
            "MyMod/NewDir/a.u;MyMod/NewDir/b.u", "MyMod;MyMod/NewDir", "");
        row("a file replaced under its own name", "System/Foo.u", "f:System\\foo.u", "System/Foo.u",
            "", "");
        row("twins on disk: the exact one", "System/xVoting.u;System/XVoting.u",
            "f:System/XVoting.u", "System/XVoting.u", "", "");
        row("twins on disk, neither exact", "System/xVoting.u;System/XVoting.u",
            "f:System/xvoting.u", "the game folder holds both", "", "");
        row("twins in the download", "", "f:Maps/a.ut2;f:maps/A.UT2", "would be the same file", "",
            "");
        row("one name twice", "", "f:Maps/a.ut2;f:Maps\\a.ut2", "would be the same file", "", "");
        row("a file and a folder in the download", "", "f:Maps/x;f:MAPS/X/y.ut2",
            "both a file and a folder", "", "");
        row("a file on disk where a folder goes", "Maps", "f:Maps/x.ut2",
            "needs a folder at \"Maps\", and the game folder has a file there", "", "");
        row("a folder on disk where a file goes", "System/Foo.u/", "f:System/Foo.u",
            "needs a file at \"System/Foo.u\"", "", "");
        row("a link on disk", "Maps->elsewhere", "f:Maps/x.ut2",
            "the game folder has a symbolic link there", "", "");
        row("a link on disk in another case", "maps->elsewhere", "f:Maps/x.ut2",
            "the game folder has a symbolic link there", "", "");
        row("a hostile destination", "", "f:..\\System\\x.u", "climbs out of its folder", "", "");
        row("a new mod folder", "System/", "f:MyMod\\UT2K4Mod.ini;f:MyMod\\System\\a.u",
            "MyMod/System/a.u;MyMod/UT2K4Mod.ini", "MyMod;MyMod/System", "MyMod");
        row("an existing mod folder", "mymod/System/",
            "f:Help/MyMod.txt;f:MyMod/UT2K4Mod.ini;f:MyMod/System/a.u",
            "Help/MyMod.txt;mymod/System/a.u;mymod/UT2K4Mod.ini", "Help", "mymod");
        row("no mod folder in a game folder", "", "f:System/UT2K4Mod.ini", "System/UT2K4Mod.ini",
            "System", "");
    }
    void letterCase() {
        QFETCH(QString, disk);
        QFETCH(QString, entries);
        QFETCH(QString, planned);
        QFETCH(QString, newFolders);
        QFETCH(QString, modFolder);
        QTemporaryDir temporary;
        QVERIFY(QDir().mkpath(temporary.path() + "/elsewhere"));
        const QString game = temporary.path() + "/game";
        layOut(game, disk);
        const std::variant<InstallPlan, InstallRefusal> plan = planAgainst(game, entries);
        if (const InstallRefusal* refused = std::get_if<InstallRefusal>(&plan)) {
            QVERIFY2(refused->reason.startsWith("MyMod.ut4mod: ") &&
                         refused->reason.contains(planned),
                     qPrintable(refused->reason));
            return;
        }
        const InstallPlan& got = std::get<InstallPlan>(plan);
        QStringList destinations;
        for (const PlannedFile& file : got.files)
            destinations.append(file.destination);
        destinations.sort();
        QCOMPARE(destinations, list(planned));
        QCOMPARE(got.newFolders, list(newFolders));
        QCOMPARE(got.modFolder.value_or(QString()), modFolder);
        QVERIFY(QDir(temporary.path() + "/elsewhere").isEmpty());
    }

    // A game folder reached through a link is still the game folder.
    void gameFolderThroughALink() {
        QTemporaryDir temporary;
        layOut(temporary.path() + "/real", "Maps/");
        QVERIFY(QFile::link(temporary.path() + "/real", temporary.path() + "/game"));
        const std::variant<InstallPlan, InstallRefusal> plan =
            planAgainst(temporary.path() + "/game", "f:Maps/x.ut2");
        QVERIFY(std::holds_alternative<InstallPlan>(plan));
        QCOMPARE(std::get<InstallPlan>(plan).files[0].destination, "Maps/x.ut2");
    }

    void existingFiles_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("action");
        QTest::newRow("absent") << "f:Maps/New.ut2|7" << int(PlannedFile::Action::New);
        QTest::newRow("same size") << "f:Maps/Old.ut2|5" << int(PlannedFile::Action::Compare);
        QTest::newRow("other size") << "f:Maps/Old.ut2|6" << int(PlannedFile::Action::Replace);
        QTest::newRow("size unknown") << "f:maps/old.ut2|-1" << int(PlannedFile::Action::Compare);
    }
    void existingFiles() {
        QFETCH(QString, entry);
        QFETCH(int, action);
        QTemporaryDir temporary;
        layOut(temporary.path(), "Maps/Old.ut2|5");
        const std::variant<InstallPlan, InstallRefusal> plan =
            planAgainst(temporary.path(), entry + ";f:System/a.u|100");
        QVERIFY(std::holds_alternative<InstallPlan>(plan));
        const InstallPlan& got = std::get<InstallPlan>(plan);
        QCOMPARE(int(got.files[0].action), action);
        QCOMPARE(got.replacements(), action == int(PlannedFile::Action::Replace) ? 1 : 0);
        QCOMPARE(got.totalBytes, 100 + qMax<qint64>(0, got.files[0].size));
    }

    void plannerRefusesWhatPlacementCannotSend_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("encrypted");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a link") << "l:Maps/x.ut2" << false << "is not a regular file";
        QTest::newRow("encrypted") << "f:Maps/x.ut2" << true << "is encrypted";
    }
    void plannerRefusesWhatPlacementCannotSend() {
        QFETCH(QString, entry);
        QFETCH(bool, encrypted);
        QFETCH(QString, reason);
        QList<SourceEntry> entries = entriesFrom(entry);
        entries[0].encrypted = encrypted;
        GameFolderSnapshot disk;
        disk.addFolder(QString(), {});
        const std::variant<InstallPlan, InstallRefusal> plan =
            planInstall({"x", {{0, "Maps/x.ut2"}}, {}, {}}, entries, "x.zip", disk);
        QVERIFY(std::holds_alternative<InstallRefusal>(plan));
        QCOMPARE(std::get<InstallRefusal>(plan).reason, "x.zip: entry \"Maps/x.ut2\" " + reason);
    }
};

MODGATE_TEST_MAIN(InstallPlanTest)
#include "tst_installplan.moc"
