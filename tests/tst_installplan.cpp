// SPDX-License-Identifier: GPL-3.0-or-later
// The rules that decide where a download's entries go: names, entry types, wrappers and mod
// folders, extensions, and the plan against a real game folder on disk.
#include "modinstall/archiveplacement.h"
#include "modinstall/gamefoldersnapshot.h"
#include "modinstall/installnames.h"
#include "modinstall/installplanner.h"

#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// "f:Maps/x.ut2" (a file), "f:Maps/x.ut2|5" (declaring 5 bytes), "d:", "l:" (symbolic
// link), "h:" (hard link), "o:" (a device or pipe).
QList<SourceEntry> entriesFrom(const QStringList& specs) {
    QList<SourceEntry> entries;
    for (const QString& spec : specs) {
        SourceEntry entry;
        const QChar type = spec[0];
        entry.type = type == u'd'   ? SourceEntryType::Directory
                     : type == u'l' ? SourceEntryType::Symlink
                     : type == u'h' ? SourceEntryType::HardLink
                     : type == u'o' ? SourceEntryType::Other
                                    : SourceEntryType::File;
        const QString rest = spec.sliced(2);
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

// Lays out a game folder: "Maps/" a folder, "System/Foo.u|5" a file of 5 bytes, "Maps->x" a
// symbolic link to x (relative to the folder holding the game folder).
void layOut(const QString& root, const QStringList& specs) {
    QVERIFY(QDir().mkpath(root));
    for (const QString& spec : specs) {
        if (spec.endsWith(u'/')) {
            QVERIFY(QDir().mkpath(root + u'/' + spec));
        } else if (const qsizetype arrow = spec.indexOf(QStringLiteral("->")); arrow >= 0) {
            QVERIFY(QFile::link(root + QStringLiteral("/../") + spec.sliced(arrow + 2),
                                root + u'/' + spec.first(arrow)));
        } else {
            const qsizetype bar = spec.indexOf(u'|');
            const QString path = root + u'/' + (bar < 0 ? spec : spec.first(bar));
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(bar < 0 ? 10 : spec.sliced(bar + 1).toInt(), 'x'));
        }
    }
}

// Plans the destinations (as a UMOD's manifest would give them) against a game folder.
std::variant<InstallPlan, InstallRefusal> planAgainst(const QString& gameFolder,
                                                      const QStringList& specs) {
    const QList<SourceEntry> entries = entriesFrom(specs);
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
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("path");  // as vetted; empty when refused
        QTest::addColumn<QString>("fault"); // part of the reason
        const QString long255(255, u'a'), long256(256, u'a');
        const QString part(200, u'b');
        QTest::newRow("backslashes") << "maps\\DM-X.ut2"
                                     << "maps/DM-X.ut2"
                                     << "";
        QTest::newRow("dot and empty parts") << "./a//b/./c"
                                             << "a/b/c"
                                             << "";
        QTest::newRow("255-byte part") << long255 << long255 << "";
        QTest::newRow("COM0 and CONSOLE") << "COM0.txt/CONSOLE.u"
                                          << "COM0.txt/CONSOLE.u"
                                          << "";
        QTest::newRow("empty") << ""
                               << ""
                               << "empty";
        QTest::newRow("only dots") << "./."
                                   << ""
                                   << "empty";
        QTest::newRow("control") << "Maps/a\u0001.ut2"
                                 << ""
                                 << "control";
        QTest::newRow("NUL") << QStringLiteral("a") + QChar(0) + QStringLiteral("b") << ""
                             << "control";
        QTest::newRow("C1 control") << "a\u0085b"
                                    << ""
                                    << "control";
        QTest::newRow("256-byte part") << long256 << ""
                                       << "255";
        QTest::newRow("256 bytes in 128 letters") << QString(128, QChar(0xe9)) << ""
                                                  << "255";
        const QString parts = QStringList(5, part).join(u'/') + u'/';
        QTest::newRow("1024 bytes") << parts + QString(19, u'c') << parts + QString(19, u'c') << "";
        QTest::newRow("1025 bytes") << parts + QString(20, u'c') << ""
                                    << "1024";
        QTest::newRow("leading slash") << "/etc/passwd"
                                       << ""
                                       << "absolute";
        QTest::newRow("leading backslash") << "\\Windows\\x"
                                           << ""
                                           << "absolute";
        QTest::newRow("server") << "//server/share/x"
                                << ""
                                << "absolute";
        QTest::newRow("drive") << "C:\\UT2004\\System\\x.u"
                               << ""
                               << "drive";
        QTest::newRow("drive with slash") << "c:/x"
                                          << ""
                                          << "drive";
        QTest::newRow("colon in a part") << "Maps/a:b.ut2"
                                         << ""
                                         << "drive";
        QTest::newRow("dot-dot first") << "../x"
                                       << ""
                                       << "..";
        QTest::newRow("dot-dot later") << "Maps/../../x"
                                       << ""
                                       << "..";
        QTest::newRow("dot-dot with backslash") << "Maps\\..\\x"
                                                << ""
                                                << "..";
        QTest::newRow("CON") << "CON"
                             << ""
                             << "device";
        QTest::newRow("con.txt") << "Help/con.txt"
                                 << ""
                                 << "device";
        QTest::newRow("Lpt1") << "Maps/Lpt1.ut2"
                              << ""
                              << "device";
        QTest::newRow("aux space") << "aux .tar.gz"
                                   << ""
                                   << "device";
        QTest::newRow("COM9") << "COM9"
                              << ""
                              << "device";
        QTest::newRow("trailing dot") << "Maps/x."
                                      << ""
                                      << "dot";
        QTest::newRow("trailing space") << "Maps /x.ut2"
                                        << ""
                                        << "space";
        QTest::newRow("three dots") << "..."
                                    << ""
                                    << "dot";
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

    void entryTypes_data() {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("leftOut");
        QTest::newRow("links and devices")
            << QStringList{"l:Maps/Link.ut2", "h:Maps/Hard.ut2", "o:Maps/fifo", "f:Maps/x.ut2"}
            << QStringList{"Maps/x.ut2"}
            << QStringList{"Maps/Hard.ut2: a hard link", "Maps/Link.ut2: a symbolic link",
                           "Maps/fifo: a device, pipe or socket"};
        QTest::newRow("folders only imply folders")
            << QStringList{"d:Maps/", "d:Maps/Empty/", "f:Maps/x.ut2"} << QStringList{"Maps/x.ut2"}
            << QStringList{};
        // The link is never made; the file through it goes into a real folder.
        QTest::newRow("a file through a link")
            << QStringList{"l:Maps", "f:Maps/x.ut2"} << QStringList{"Maps/x.ut2"}
            << QStringList{"Maps: a symbolic link"};
        QTest::newRow("junk of every type") << QStringList{"f:__MACOSX/Maps/x.ut2",
                                                           "f:Maps/._x.ut2",
                                                           "l:.DS_Store",
                                                           "d:META-INF/",
                                                           "f:META-INF/MANIFEST.MF",
                                                           "f:Maps/Thumbs.db",
                                                           "f:Desktop.ini",
                                                           "f:Maps/x.ut2"}
                                            << QStringList{"Maps/x.ut2"} << QStringList{};
    }
    void entryTypes() { checkPlacement(); }

    void layouts_data() {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("leftOut");
        QTest::addColumn<QString>("name");
        QTest::newRow("mod folder at the top")
            << QStringList{"f:MyMod/UT2K4Mod.ini", "f:MyMod/System/MyMod.u",
                           "f:MyMod/System/Vehicles.dll", "f:MyMod/MyMod/Classes/A.uc",
                           "f:MyMod/Help/ReadMe.txt"}
            << QStringList{"MyMod/Help/ReadMe.txt", "MyMod/MyMod/Classes/A.uc",
                           "MyMod/System/MyMod.u", "MyMod/UT2K4Mod.ini"}
            << QStringList{"MyMod/System/Vehicles.dll: native code"} << "MyMod";
        QTest::newRow("mod folder below wrappers")
            << QStringList{"f:Download/v1/MyMod/ut2k4mod.ini", "f:Download/v1/MyMod/Maps/a.ut2",
                           "f:Download/readme.txt"}
            << QStringList{"MyMod/Maps/a.ut2", "MyMod/ut2k4mod.ini"}
            << QStringList{"Download/readme.txt: a readme (kept)"} << "MyMod";
        QTest::newRow("a mod folder inside a mod folder belongs to it")
            << QStringList{"f:B/A/UT2K4Mod.ini", "f:B/A/Inner/UT2K4Mod.ini", "f:B/A/Inner/x.u",
                           "f:B/A/System/UT2K4Mod.ini"}
            << QStringList{"A/Inner/UT2K4Mod.ini", "A/Inner/x.u", "A/System/UT2K4Mod.ini",
                           "A/UT2K4Mod.ini"}
            << QStringList{} << "A";
        QTest::newRow("two mod folders: the first names the install")
            << QStringList{"f:Zeta/UT2K4Mod.ini", "f:Alpha/UT2K4Mod.ini"}
            << QStringList{"Alpha/UT2K4Mod.ini", "Zeta/UT2K4Mod.ini"} << QStringList{} << "Zeta";
        QTest::newRow("mod folder and game folders")
            << QStringList{"f:MyMod/UT2K4Mod.ini", "f:System/MyModLauncher.u"}
            << QStringList{"MyMod/UT2K4Mod.ini", "System/MyModLauncher.u"} << QStringList{}
            << "MyMod";
        QTest::newRow("game folders, any case, folders listed after files")
            << QStringList{"f:textures/Cell.utx",   "f:MAPS/CellMap.ut2",
                           "d:textures/",           "d:MAPS/",
                           "f:Music/Sub/Stage.ogg", "f:System/Default.ini",
                           "f:System/Vehicles.dll", "f:Help/MyMod.txt"}
            << QStringList{"Help/MyMod.txt", "Maps/CellMap.ut2", "Music/Sub/Stage.ogg",
                           "System/Default.ini", "Textures/Cell.utx"}
            << QStringList{"System/Vehicles.dll: native code"} << "Download";
        QTest::newRow("wrapper above packages and sources")
            << QStringList{"f:NewIntro/UDN-Intro2k3.ut2", "f:NewIntro/UDN-logo.utx",
                           "f:NewIntro/UDNMatinee/Classes/A.uc"}
            << QStringList{"Maps/UDN-Intro2k3.ut2", "Textures/UDN-logo.utx"}
            << QStringList{"NewIntro/UDNMatinee/Classes/A.uc: UnrealScript source"} << "Download";
        QTest::newRow("three wrappers")
            << QStringList{"f:a/b/c/Maps/x.ut2", "f:A/B/C/Textures/x.utx"}
            << QStringList{"Maps/x.ut2", "Textures/x.utx"} << QStringList{} << "Download";
        QTest::newRow("a wrapper above sources and a game folder")
            << QStringList{"f:Pack/Classes/A.uc", "f:Pack/Textures/x.utx"}
            << QStringList{"Textures/x.utx"}
            << QStringList{"Pack/Classes/A.uc: UnrealScript source"} << "Download";
        QTest::newRow("game folders beside sources and readmes")
            << QStringList{"f:ExampleVehicles/Classes/A.uc", "f:Animations/x.ukx", "f:readme.txt",
                           "f:Shot.JPG"}
            << QStringList{"Animations/x.ukx"}
            << QStringList{"ExampleVehicles/Classes/A.uc: UnrealScript source",
                           "Shot.JPG: a picture (kept)", "readme.txt: a readme (kept)"}
            << "Download";
        QTest::newRow("other folders and nested things")
            << QStringList{"f:Maps/x.ut2", "f:Extras/y.utx",  "f:Extras/Classes/notes.txt",
                           "f:Other.zip",  "f:Maps/More.rar", "f:Setup.exe",
                           "f:DE.umod",    "f:run.sh"}
            << QStringList{"Maps/x.ut2"}
            << QStringList{"DE.umod: an installer inside the archive",
                           "Extras/Classes/notes.txt: in a folder the game does not use",
                           "Extras/y.utx: in a folder the game does not use",
                           "Maps/More.rar: a nested archive",
                           "Other.zip: a nested archive",
                           "Setup.exe: native code",
                           "run.sh: native code"}
            << "Download";
    }
    void layouts() {
        checkPlacement();
        if (QTest::currentTestFailed())
            return;
        QFETCH(QString, name);
        QCOMPARE(std::get<InstallPlacement>(placed()).name, name);
    }

    void routing_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("outcome"); // a destination, or why it is left out
        const QStringList system = {"u",   "ucl", "int", "upl", "det", "est",
                                    "frt", "itt", "kot", "smt", "tmt"};
        for (const QString& extension : system)
            QTest::addRow("%s", qPrintable(extension))
                << "Pack." + extension << "System/Pack." + extension;
        QTest::newRow("ut2") << "DM-X.UT2"
                             << "Maps/DM-X.UT2";
        QTest::newRow("utx") << "x.utx"
                             << "Textures/x.utx";
        QTest::newRow("uax") << "x.uax"
                             << "Sounds/x.uax";
        QTest::newRow("ogg") << "x.ogg"
                             << "Music/x.ogg";
        QTest::newRow("usx") << "x.usx"
                             << "StaticMeshes/x.usx";
        QTest::newRow("ukx") << "x.ukx"
                             << "Animations/x.ukx";
        QTest::newRow("ka") << "x.ka"
                            << "KarmaData/x.ka";
        QTest::newRow("readme") << "Read Me.htm"
                                << "a readme (kept)";
        QTest::newRow("picture") << "shot.png"
                                 << "a picture (kept)";
        QTest::newRow("ini") << "User.ini"
                             << "a loose .ini file";
        QTest::newRow("dll") << "x.dll"
                             << "native code";
        QTest::newRow("so") << "libx.so"
                            << "native code";
        QTest::newRow("7z") << "x.7z"
                            << "a nested archive";
        QTest::newRow("unr") << "DM-Deck16.unr"
                             << "an unknown kind of file";
        QTest::newRow("no extension") << "LICENSE"
                                      << "an unknown kind of file";
    }
    void routing() {
        QFETCH(QString, file);
        QFETCH(QString, outcome);
        // A second entry in a game folder keeps the archive from being nothing to install.
        const std::variant<InstallPlacement, InstallRefusal> placement =
            placeArchiveEntries(entriesFrom({"f:" + file, "f:Maps/Anchor.ut2"}), "x.zip");
        QVERIFY(std::holds_alternative<InstallPlacement>(placement));
        const InstallPlacement& placed = std::get<InstallPlacement>(placement);
        QStringList got = leftOut(placed.leftOut);
        got.replaceInStrings(file + ": ", QString());
        got += destinations(placed);
        got.removeOne("Maps/Anchor.ut2");
        QCOMPARE(got, QStringList{outcome});
    }

    void refusedArchives_data() {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("reason");
        const QString nothing = "Nothing to install in Pack.zip: no mod folder (with "
                                "UT2K4Mod.ini), no game folders, no game packages.";
        QTest::newRow("empty") << QStringList{} << nothing;
        QTest::newRow("only readmes and UT99 maps")
            << QStringList{"f:EM2226_LightBearm/EM_LightBeam.unr", "f:EM2226_LightBearm/x.txt"}
            << nothing;
        QTest::newRow("only sources")
            << QStringList{"f:ExampleVehicles/Classes/A.uc", "f:ExampleVehicles/Classes/B.uc"}
            << nothing;
        QTest::newRow("four wrappers") << QStringList{"f:a/b/c/d/Maps/x.ut2"} << nothing;
        QTest::newRow("only links") << QStringList{"l:Maps/x.ut2", "h:System/y.u"} << nothing;
        QTest::newRow("a hostile name among good ones")
            << QStringList{"f:Maps/x.ut2", "l:../../etc/cron.d/x"}
            << "Pack.zip: entry \"../../etc/cron.d/x\" climbs out of its folder with \"..\"";
        QTest::newRow("UT2K4Mod.ini outside any folder")
            << QStringList{"f:UT2K4Mod.ini", "f:System/x.u"}
            << "Pack.zip holds UT2K4Mod.ini outside any folder";
        QTest::newRow("mod folder named as a game folder")
            << QStringList{"f:Stuff/system/UT2K4Mod.ini"}
            << "Pack.zip: the mod folder \"system\" has the name of one of the game's own folders";
    }
    void refusedArchives() {
        QFETCH(QStringList, entries);
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

    // Destinations as a UMOD gives them, against a real game folder.
    void letterCase_data() {
        QTest::addColumn<QStringList>("disk");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("planned"); // destinations, or the refusal's reason
        QTest::addColumn<QStringList>("newFolders");
        QTest::addColumn<QString>("modFolder");
        QTest::newRow("into the existing folder")
            << QStringList{"Textures/"} << QStringList{"f:textures\\x.utx"}
            << QStringList{"Textures/x.utx"} << QStringList{} << "";
        QTest::newRow("a lower-case folder on disk")
            << QStringList{"maps/"} << QStringList{"f:Maps\\DM-X.ut2"}
            << QStringList{"maps/DM-X.ut2"} << QStringList{} << "";
        QTest::newRow("a new game folder spelled canonically")
            << QStringList{"System/"} << QStringList{"f:karmadata/x.ka", "f:KARMADATA/y.ka"}
            << QStringList{"KarmaData/x.ka", "KarmaData/y.ka"} << QStringList{"KarmaData"} << "";
        QTest::newRow("a new folder spelled as first given")
            << QStringList{} << QStringList{"f:MyMod/NewDir/a.u", "f:mymod/newdir/b.u"}
            << QStringList{"MyMod/NewDir/a.u", "MyMod/NewDir/b.u"}
            << QStringList{"MyMod", "MyMod/NewDir"} << "";
        QTest::newRow("a file replaced under its own name")
            << QStringList{"System/Foo.u"} << QStringList{"f:System\\foo.u"}
            << QStringList{"System/Foo.u"} << QStringList{} << "";
        QTest::newRow("twins on disk: the exact one")
            << QStringList{"System/xVoting.u", "System/XVoting.u"}
            << QStringList{"f:System/XVoting.u"} << QStringList{"System/XVoting.u"} << QStringList{}
            << "";
        QTest::newRow("twins on disk, neither exact")
            << QStringList{"System/xVoting.u", "System/XVoting.u"}
            << QStringList{"f:System/xvoting.u"} << QStringList{"the game folder holds both"}
            << QStringList{} << "";
        QTest::newRow("twins in the download")
            << QStringList{} << QStringList{"f:Maps/a.ut2", "f:maps/A.UT2"}
            << QStringList{"would be the same file"} << QStringList{} << "";
        QTest::newRow("one name twice")
            << QStringList{} << QStringList{"f:Maps/a.ut2", "f:Maps\\a.ut2"}
            << QStringList{"would be the same file"} << QStringList{} << "";
        QTest::newRow("a file and a folder in the download")
            << QStringList{} << QStringList{"f:Maps/x", "f:MAPS/X/y.ut2"}
            << QStringList{"both a file and a folder"} << QStringList{} << "";
        QTest::newRow("a file on disk where a folder goes")
            << QStringList{"Maps"} << QStringList{"f:Maps/x.ut2"}
            << QStringList{"needs a folder at \"Maps\", and the game folder has a file there"}
            << QStringList{} << "";
        QTest::newRow("a folder on disk where a file goes")
            << QStringList{"System/Foo.u/"} << QStringList{"f:System/Foo.u"}
            << QStringList{"needs a file at \"System/Foo.u\""} << QStringList{} << "";
        QTest::newRow("a link on disk")
            << QStringList{"Maps->elsewhere"} << QStringList{"f:Maps/x.ut2"}
            << QStringList{"the game folder has a symbolic link there"} << QStringList{} << "";
        QTest::newRow("a hostile destination")
            << QStringList{} << QStringList{"f:..\\System\\x.u"}
            << QStringList{"climbs out of its folder"} << QStringList{} << "";
        QTest::newRow("a new mod folder")
            << QStringList{"System/"}
            << QStringList{"f:MyMod\\UT2K4Mod.ini", "f:MyMod\\System\\a.u"}
            << QStringList{"MyMod/System/a.u", "MyMod/UT2K4Mod.ini"}
            << QStringList{"MyMod", "MyMod/System"} << "MyMod";
        QTest::newRow("an existing mod folder")
            << QStringList{"mymod/System/"}
            << QStringList{"f:Help/MyMod.txt", "f:MyMod/UT2K4Mod.ini", "f:MyMod/System/a.u"}
            << QStringList{"Help/MyMod.txt", "mymod/System/a.u", "mymod/UT2K4Mod.ini"}
            << QStringList{"Help"} << "mymod";
        QTest::newRow("no mod folder in a game folder")
            << QStringList{} << QStringList{"f:System/UT2K4Mod.ini"}
            << QStringList{"System/UT2K4Mod.ini"} << QStringList{"System"} << "";
    }
    void letterCase() {
        QFETCH(QStringList, disk);
        QFETCH(QStringList, entries);
        QFETCH(QStringList, planned);
        QFETCH(QStringList, newFolders);
        QFETCH(QString, modFolder);
        QTemporaryDir temporary;
        QVERIFY(QDir().mkpath(temporary.path() + "/elsewhere"));
        const QString game = temporary.path() + "/game";
        layOut(game, disk);
        const std::variant<InstallPlan, InstallRefusal> plan = planAgainst(game, entries);
        if (const InstallRefusal* refused = std::get_if<InstallRefusal>(&plan)) {
            QVERIFY2(planned.size() == 1 && refused->reason.contains(planned[0]),
                     qPrintable(refused->reason));
            QVERIFY(refused->reason.startsWith("MyMod.ut4mod: "));
            return;
        }
        const InstallPlan& got = std::get<InstallPlan>(plan);
        QStringList destinations;
        for (const PlannedFile& file : got.files)
            destinations.append(file.destination);
        destinations.sort();
        QCOMPARE(destinations, planned);
        QCOMPARE(got.newFolders, newFolders);
        QCOMPARE(got.modFolder.value_or(QString()), modFolder);
        QVERIFY(QDir(temporary.path() + "/elsewhere").isEmpty());
    }

    // A game folder reached through a link is still the game folder.
    void gameFolderThroughALink() {
        QTemporaryDir temporary;
        layOut(temporary.path() + "/real", {"Maps/"});
        QVERIFY(QFile::link(temporary.path() + "/real", temporary.path() + "/game"));
        const std::variant<InstallPlan, InstallRefusal> plan =
            planAgainst(temporary.path() + "/game", {"f:Maps/x.ut2"});
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
        layOut(temporary.path(), {"Maps/Old.ut2|5"});
        const std::variant<InstallPlan, InstallRefusal> plan =
            planAgainst(temporary.path(), {entry, "f:System/a.u|100"});
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
        QList<SourceEntry> entries = entriesFrom({entry});
        entries[0].encrypted = encrypted;
        GameFolderSnapshot disk;
        disk.addFolder(QString(), {});
        const std::variant<InstallPlan, InstallRefusal> plan =
            planInstall({"x", {{0, "Maps/x.ut2"}}, {}, {}}, entries, "x.zip", disk);
        QVERIFY(std::holds_alternative<InstallRefusal>(plan));
        QCOMPARE(std::get<InstallRefusal>(plan).reason, "x.zip: entry \"Maps/x.ut2\" " + reason);
    }

private:
    std::variant<InstallPlacement, InstallRefusal> placed() {
        QFETCH(QStringList, entries);
        return placeArchiveEntries(entriesFrom(entries), "Download.zip");
    }

    void checkPlacement() {
        QFETCH(QStringList, files);
        QFETCH(QStringList, leftOut);
        const std::variant<InstallPlacement, InstallRefusal> placement = placed();
        if (const InstallRefusal* refused = std::get_if<InstallRefusal>(&placement))
            QFAIL(qPrintable(refused->reason));
        const InstallPlacement& got = std::get<InstallPlacement>(placement);
        QCOMPARE(destinations(got), files);
        QCOMPARE(::leftOut(got.leftOut), leftOut);
    }
};

MODGATE_TEST_MAIN(InstallPlanTest)
#include "tst_installplan.moc"
