// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the texture package fuzzer's seeds into the folder given: small packages, one per
// format and layout the reader knows, all naming their texture "Logo" or "Group.Logo".
#include "packagewriter/texturepackagewriter.h"

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

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    TextureOptions masked, bare;
    masked.masked = true;
    bare.palette = false;
    bare.sizeProperties = false;
    bare.mipCount = 3;
    PackageBuilder mixed(127);
    mixed.setLowerCaseEngineNames(true);
    mixed.addObject(QStringLiteral("Group.Logo"), QStringLiteral("Shader"), "\x01\x02");
    mixed.addTexture(QStringLiteral("Group.Sub.Logo"), picture(4, 4), Format::DXT1);
    const QList<std::pair<const char*, QByteArray>> seeds = {
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
    for (const auto& [name, bytes] : seeds) {
        QFile file(folder.filePath(QString::fromLatin1(name)));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return 1;
    }
    return 0;
}
