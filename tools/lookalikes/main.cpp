// SPDX-License-Identifier: GPL-3.0-or-later
// Writes look-alikes of real public mod downloads: `modgate-lookalikes OUTDIR`.
// Each file is named like the real one and laid out as umod-and-mod-archives.md describes it
// (entry names, folders, manifest facts; the section numbers below are that document's); every
// byte of content is made up here. run.sh feeds them to `modgate --install`.
#include "packagewriter/umodwriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <archive.h>
#include <archive_entry.h>
#include <cstdio>

namespace {

using packagewriter::ManifestContents;
using packagewriter::ManifestGroup;
using packagewriter::UmodFile;

// Text that stands in for a file: it names the file, and is as long as asked.
QByteArray madeUp(const QString& name, qsizetype size = 0) {
    QByteArray bytes = "Made-up stand-in for " + name.toUtf8() + "\r\n";
    while (bytes.size() < size)
        bytes += bytes;
    return size > 0 ? bytes.first(size) : bytes;
}

// One File= line per file, with its real size, as `ucc master` writes them.
QStringList fileLines(const QList<UmodFile>& files) {
    QStringList lines;
    for (const UmodFile& file : files)
        lines.append(QStringLiteral("File=(Src=%1,Size=%2)").arg(file.name).arg(file.bytes.size()));
    return lines;
}

QList<UmodFile> umodFiles(const QStringList& names, const QList<qsizetype>& sizes = {}) {
    QList<UmodFile> files;
    for (qsizetype i = 0; i < names.size(); ++i)
        files.append({names[i], madeUp(names[i], sizes.value(i))});
    return files;
}

// DE.umod (UT99, 2000): six entries back to back, the groups and requirement its manifest has.
QByteArray deUmod() {
    const QList<UmodFile> mutators =
        umodFiles({QStringLiteral("System\\de.int"), QStringLiteral("System\\de.u")}, {393, 72405});
    const QList<UmodFile> extras = umodFiles(
        {QStringLiteral("Help\\demutators-readme.txt"), QStringLiteral("System\\de-logo.bmp")},
        {1627, 7966});
    ManifestContents contents;
    contents.product = QStringLiteral("DEMutators");
    contents.localProduct = QStringLiteral("DE Mutators");
    contents.version = QStringLiteral("101");
    contents.archive = QStringLiteral("DE.umod");
    contents.readMe = QStringLiteral("Help\\demutators-readme.txt");
    contents.requiredProducts = {QStringLiteral("UnrealTournament")};
    contents.groups = {
        {QStringLiteral("umodINIGroup"),
         {QStringLiteral("Ini=System\\UnrealTournament.ini,Engine.GameEngine.ServerPackages=De")}},
        {QStringLiteral("DeGroup"), fileLines(mutators)},
        {QStringLiteral("umodIncludeFilesGroup"), fileLines(extras)}};
    return packagewriter::umodBytes(packagewriter::withManifests(mutators + extras, contents));
}

// ExampleSVehicleUMod.urm (UE2 Runtime, 2003): 13 File= lines in [Script], payloads on 16 bytes.
QByteArray exampleVehiclesUrm() {
    QStringList names = {QStringLiteral("Animations\\ExampleVehicles.ukx")};
    for (const char* script :
         {"APC", "APCWheel", "Buggy", "BuggyWheel", "Hovercraft", "Tank", "TankTurret"})
        names.append(
            QStringLiteral("ExampleVehicles\\Classes\\%1.uc").arg(QLatin1StringView(script)));
    names << QStringLiteral("Maps\\EM_RunTimeVehicles.urt")
          << QStringLiteral("System\\ExampleVehicles.u") << QStringLiteral("System\\Vehicles.u")
          << QStringLiteral("System\\Vehicles.dll")
          << QStringLiteral("Textures\\ExampleVehicles.utx");
    const QList<UmodFile> files = umodFiles(names);
    ManifestContents contents;
    contents.product = QStringLiteral("UE2ExampleVehicles");
    contents.localProduct = QStringLiteral("UE2 Example Vehicles");
    contents.version = QStringLiteral("22261903");
    contents.archive = QStringLiteral("ExampleSVehicleUMod.urm");
    contents.requiredProducts = {QStringLiteral("UE2Runtime")};
    contents.groups = {{QStringLiteral("Script"), fileLines(files)}};
    packagewriter::UmodOptions options;
    options.alignment = 16;
    return packagewriter::umodBytes(packagewriter::withManifests(files, contents), options);
}

// ServerExt's UT2004 installer: its build project asks for UT2004 3100; the files are made up.
QByteArray serverExtUt4mod() {
    const QList<UmodFile> files =
        umodFiles({QStringLiteral("System\\ServerExt.u"), QStringLiteral("System\\ServerExt.int"),
                   QStringLiteral("Help\\ServerExt.txt")});
    ManifestContents contents;
    contents.product = QStringLiteral("ServerExt");
    contents.localProduct = QStringLiteral("Server Extensions");
    contents.version = QStringLiteral("107");
    contents.requiredProducts = {QStringLiteral("UT2004")};
    contents.requiredVersion = QStringLiteral("3100");
    return packagewriter::umodBytes(packagewriter::withManifests(files, contents));
}

struct Entry {
    QString name; // ending in '/': a folder
    QByteArray bytes;
};

// Made-up files for names, folders for names ending in '/'.
QList<Entry> madeUpEntries(const QStringList& names) {
    QList<Entry> entries;
    for (const QString& name : names)
        entries.append({name, name.endsWith(u'/') ? QByteArray() : madeUp(name)});
    return entries;
}

struct Download {
    QString name;
    QByteArray umod; // a UMOD written as it is; else an archive of the entries
    QList<Entry> entries;
};

QList<Download> downloads() {
    const auto packed = [](const QString& name, const QStringList& names) {
        return Download{name, {}, madeUpEntries(names)};
    };
    QList<Download> all{
        // 2.4 and 3.9: the UT Bonus Pack 2 mutators' UMOD, made for UT99.
        {QStringLiteral("DE.umod"), deUmod(), {}},
        // 2.7 and 3.9: the UE2 Runtime example UMOD, padded payloads.
        {QStringLiteral("ExampleSVehicleUMod.urm"), exampleVehiclesUrm(), {}},
        // 4.1 "UMOD inside a zip": the .urm is the zip's only member.
        {QStringLiteral("ExampleSVehicleUMod.zip"),
         {},
         {{QStringLiteral("ExampleSVehicleUMod.urm"), exampleVehiclesUrm()}}},
        // 4.1 "mod folder": MyMod/ with UT2K4Mod.ini, System/default.ini, sources, no .u.
        packed(QStringLiteral("DrSins-TestMod.zip"),
               {QStringLiteral("MyMod/"), QStringLiteral("MyMod/UT2K4Mod.ini"),
                QStringLiteral("MyMod/System/default.ini"), QStringLiteral("MyMod/Maps/"),
                QStringLiteral("MyMod/Maps/TestMod-Map.ut2"), QStringLiteral("MyMod/Textures/"),
                QStringLiteral("MyMod/Textures/TestModTex.utx"),
                QStringLiteral("MyMod/TestMod/Classes/TestGame.uc"),
                QStringLiteral("MyMod/TestMod/Classes/TestPawn.uc")}),
        // 4.1 "game-folder layout", folder entries listed after their files.
        packed(QStringLiteral("UT2004CelShadingExample.zip"),
               {QStringLiteral("Textures/CellExample.utx"), QStringLiteral("Maps/CellMap.ut2"),
                QStringLiteral("Textures/"), QStringLiteral("Maps/")}),
        // 4.1 game-folder layout with a source folder and a readme at the root.
        packed(QStringLiteral("ExampleVehicles3323.zip"),
               {QStringLiteral("Animations/ExampleVehicles.ukx"),
                QStringLiteral("Textures/ExampleVehicles.utx"),
                QStringLiteral("ExampleVehicles/Classes/APC.uc"),
                QStringLiteral("ExampleVehicles/Classes/APCWheel.uc"),
                QStringLiteral("readme.txt")}),
        // 4.1 "wrapper folder" above one map in the UT99/Unreal map format.
        packed(QStringLiteral("EM2226_LightBearm.zip"),
               {QStringLiteral("EM2226_LightBearm/EM_LightBeam.unr")}),
        // 4.1 "flat": one map, no folders.
        packed(QStringLiteral("KarmaExample.zip"), {QStringLiteral("KarmaExample.ut2")}),
        // 4.1 "flat" and "UMOD inside a zip": two UT99 maps beside DE.umod.
        {QStringLiteral("utbonuspack2.zip"),
         {},
         madeUpEntries({QStringLiteral("DM-BonusOne.unr"), QStringLiteral("CTF-BonusTwo.unr")}) +
             QList<Entry>{{QStringLiteral("DE.umod"), deUmod()}}},
        // 4.1 "wrapper folder" holding loose packages and sources together.
        packed(QStringLiteral("NewIntro.zip"),
               {QStringLiteral("NewIntro/UDN-Intro2k3.ut2"),
                QStringLiteral("NewIntro/UDN-logo.utx"),
                QStringLiteral("NewIntro/UDNMatinee/Classes/UDNIntroMatinee.uc"),
                QStringLiteral("NewIntro/UDNMatinee/Classes/UDNIntroCamera.uc")}),
        // 4.1 "tool-made extras": a jar tool's META-INF beside UnrealScript sources.
        packed(QStringLiteral("TestHUD.zip"), {QStringLiteral("META-INF/MANIFEST.MF"),
                                               QStringLiteral("TestHUD/Classes/TestHUD.uc"),
                                               QStringLiteral("TestHUD/Classes/TestHUDGame.uc")}),
        // 4.1 "game-folder layout": Textures/, Maps/ and Music/StageMusic.ogg.
        packed(QStringLiteral("EM_Triggers1.zip"),
               {QStringLiteral("Textures/EM_Triggers.utx"), QStringLiteral("Maps/EM_Triggers1.ut2"),
                QStringLiteral("Music/StageMusic.ogg")}),
        // 4.1 "flat": the Unreal Archive's test skin, a texture package and its .upl.
        packed(QStringLiteral("ut2004skin.zip"),
               {QStringLiteral("dummy.utx"), QStringLiteral("xSkaPirates.upl")}),
        // 4.1 "UMOD inside a zip": a UT2004 .ut4mod and a readme beside it.
        {QStringLiteral("ServerExt-v107-ut4mod.zip"),
         {},
         QList<Entry>{{QStringLiteral("ServerExt.ut4mod"), serverExtUt4mod()}} +
             madeUpEntries({QStringLiteral("ServerExt-readme.txt")})},
        // 4.1 "broken by a Windows-naive extractor": a '\' kept inside a Linux file name, as a
        // tarball of such a folder holds it.
        packed(QStringLiteral("UT2k4-Mods-Raptor.tar.gz"),
               {QStringLiteral("Animations/Animations\\Raptor.ukx"),
                QStringLiteral("KarmaData/KarmaData\\raptor.ka")}),
        // Section 6 "backslash separators": the same two files zipped on Windows with '\'.
        packed(QStringLiteral("Raptor-windows.zip"),
               {QStringLiteral("Animations\\Raptor.ukx"), QStringLiteral("KarmaData\\raptor.ka")}),
    };
    return all;
}

bool writeArchive(const QString& path, const QList<Entry>& entries) {
    archive* out = archive_write_new();
    if (path.endsWith(u".tar.gz")) {
        archive_write_set_format_pax_restricted(out);
        archive_write_add_filter_gzip(out);
    } else {
        archive_write_set_format_zip(out);
    }
    bool written = archive_write_open_filename(out, QFile::encodeName(path).constData()) == 0;
    for (const Entry& file : entries) {
        const bool folder = file.name.endsWith(u'/');
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname_utf8(entry, file.name.toUtf8().constData());
        archive_entry_set_filetype(entry, folder ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(entry, folder ? 0755 : 0644);
        archive_entry_set_size(entry, file.bytes.size());
        written = written && archive_write_header(out, entry) == 0 &&
                  (folder || archive_write_data(out, file.bytes.constData(),
                                                size_t(file.bytes.size())) == file.bytes.size());
        archive_entry_free(entry);
    }
    written = archive_write_close(out) == 0 && written;
    archive_write_free(out);
    return written;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fputs("usage: modgate-lookalikes OUTDIR\n", stderr);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "modgate-lookalikes: cannot make %s\n", argv[1]);
        return 1;
    }
    for (const Download& download : downloads()) {
        const QString path = folder.filePath(download.name);
        bool written = false;
        if (download.umod.isEmpty()) {
            written = writeArchive(path, download.entries);
        } else {
            QFile file(path);
            written = file.open(QIODevice::WriteOnly) &&
                      file.write(download.umod) == download.umod.size();
        }
        if (!written) {
            std::fprintf(stderr, "modgate-lookalikes: cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return 0;
}
