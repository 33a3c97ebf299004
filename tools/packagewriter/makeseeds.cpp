// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the seeds of the texture package and UMOD fuzzers into the corpus folder given:
// texturepackage/ holds small packages, one per format and layout the reader knows, all naming
// their texture "Logo" or "Group.Logo"; umod/ small installers in the layouts seen in real ones,
// with manifests that reach every rule of their resolution, and one bare manifest.
#include "packagewriter/texturepackagewriter.h"
#include "packagewriter/umodwriter.h"

#include <QDir>
#include <QFile>
#include <cstdio>

using namespace packagewriter;

namespace {

QImage picture(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if ((x + y) % 3)
                image.setPixel(x, y, qRgba(x * 255 / width, y * 255 / height, 128, 255 - x * 9));
    return image;
}

QByteArray texture(Format format, const QString& path, TextureOptions options = {},
                   int version = 128) {
    PackageBuilder builder(version);
    builder.addTexture(path, picture(8, 8), format, options);
    return builder.bytes();
}

using Seeds = QList<std::pair<const char*, QByteArray>>;

Seeds textureSeeds() {
    TextureOptions masked, bare;
    masked.masked = true;
    bare.palette = false;
    bare.sizeProperties = false;
    bare.mipCount = 3;
    PackageBuilder mixed(127);
    mixed.setLowerCaseEngineNames(true);
    mixed.addObject(QStringLiteral("Group.Logo"), QStringLiteral("Shader"), "\x01\x02");
    mixed.addTexture(QStringLiteral("Group.Sub.Logo"), picture(4, 4), Format::DXT1);
    return {
        {"p8-masked.utx", texture(Format::P8, QStringLiteral("Group.Logo"), masked)},
        {"p8-bare.utx", texture(Format::P8, QStringLiteral("Logo"), bare, 121)},
        {"dxt1.utx", texture(Format::DXT1, QStringLiteral("Logo"))},
        {"dxt3.utx", texture(Format::DXT3, QStringLiteral("Group.Logo"))},
        {"dxt5.utx", texture(Format::DXT5, QStringLiteral("Logo"))},
        {"rgba8.utx", texture(Format::RGBA8, QStringLiteral("Logo"))},
        {"rgb8.utx", texture(Format::RGB8, QStringLiteral("Logo"))},
        {"l8.utx", texture(Format::L8, QStringLiteral("Logo"))},
        {"g16.utx", texture(Format::G16, QStringLiteral("Logo"))},
        {"rgba7.utx", texture(Format::RGBA7, QStringLiteral("Logo"))},
        {"mixed.utx", mixed.bytes()},
    };
}

Seeds umodSeeds() {
    const QList<UmodFile> files = {
        {QStringLiteral("System\\Demo.u"), "package", 0},
        {QStringLiteral("System\\Demo.int"), "[Public]\r\n", 0},
        {QStringLiteral("Maps\\DM-Demo.ut2"), "map", 0},
        {QStringLiteral("Help\\Demo.txt"), "readme", 0},
    };
    UmodOptions padded, wide;
    padded.alignment = 16;
    wide.utf16Names = true;
    // Every rule of the resolution: sub-groups, a loop, an unselected group, a language, a
    // rename, a quoted name with a comma, ini edits, a Copy= line, the program Setup offers.
    ManifestContents groups;
    groups.setupLines = {QStringLiteral("Exe=System\\UT2004.exe")};
    groups.groups = {
        {QStringLiteral("Main"),
         {QStringLiteral("File=(Src=System\\Demo.u,Size=7)"), QStringLiteral("Group=Sub"),
          QStringLiteral("Group=Optional"),
          QStringLiteral("AddIni=System\\UT2004.ini,Engine.GameEngine.ServerPackages=Demo")},
         true},
        {QStringLiteral("Sub"),
         {QStringLiteral("Copy=(Src=\"Maps\\DM-Demo.ut2\",Dest=\"Maps\\DM-Demo,1.ut2\")"),
          QStringLiteral("File=(src=System\\Demo.int,lang=det)"), QStringLiteral("Group=Main")},
         false},
        {QStringLiteral("Optional"),
         {QStringLiteral("Selected=False"), QStringLiteral("File=(Src=Help\\Demo.txt)")},
         false},
    };
    ManifestContents otherGame;
    otherGame.requiredProducts = {QStringLiteral("UnrealTournament")};
    QList<UmodFile> latin = files;
    latin[3].name = QStringLiteral("Help\\D\u00e9mo.txt");
    return {
        {"padded.ut4mod", umodBytes(withManifests(files), padded)},
        {"packed.umod", umodBytes(withManifests(files, otherGame))},
        {"utf16.ut4mod", umodBytes(withManifests(files), wide)},
        {"groups.ut4mod", umodBytes(withManifests(files, groups))},
        {"cp1252.ut2mod", umodBytes(withManifests(latin))},
        {"manifest.ini", manifestIni(files, groups)},
    };
}

bool write(const QDir& folder, const Seeds& seeds) {
    if (!folder.mkpath(QStringLiteral(".")))
        return false;
    for (const auto& [name, bytes] : seeds) {
        QFile file(folder.filePath(QString::fromLatin1(name)));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS-FOLDER\n", argv[0]);
        return 2;
    }
    const QDir corpus(QString::fromLocal8Bit(argv[1]));
    return write(QDir(corpus.filePath(QStringLiteral("texturepackage"))), textureSeeds()) &&
                   write(QDir(corpus.filePath(QStringLiteral("umod"))), umodSeeds())
               ? 0
               : 1;
}
