// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "packagewriter/textureencoding.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// Writes Unreal Engine 2 texture packages (.utx) the way the game's editor lays them out: header,
// name table, the objects' data back to back, import table, export table.
namespace packagewriter {

struct TextureOptions {
    bool masked = false;         // bMasked: P8 index 0 is transparent
    bool palette = true;         // P8: write a Palette export beside the texture and refer to it
    bool formatProperty = false; // write Format for P8 too (the editor leaves the default out)
    bool sizeProperties = true;  // USize, VSize, UBits, VBits; else only the mip header has them
    int mipCount = 1;            // further mips are halved copies
    QSize declaredSize;          // when valid, claimed in the properties and mip header instead
};

class PackageBuilder {
public:
    explicit PackageBuilder(int version = 128, int licensee = 29);

    // Each add returns the new export's number (1-based, as object references count). Paths are
    // "Name" or "Group.Name" with groups nested to any depth; groups are made as needed.
    int addTexture(const QString& objectPath, const QImage& image, Format format,
                   const TextureOptions& options = {});
    int addPalette(const QString& objectPath, const QList<QRgb>& colours);
    // An object of any class, with no properties and `data` as its native part: a Shader, or
    // filler of any size.
    int addObject(const QString& objectPath, const QString& className, const QByteArray& data = {});
    // Engine names (classes, properties, None) written in lower case, as a package may hold them.
    void setLowerCaseEngineNames(bool lower) { lowerCase = lower; }

    QByteArray bytes() const;

private:
    struct Mip {
        QByteArray data;
        QSize size;
    };
    struct Object {
        QString name;
        QString className;
        int outer = 0;
        bool texture = false;
        Format format = Format::P8;
        TextureOptions options;
        int palette = 0;
        QList<Mip> mips;
        QByteArray native;
    };

    static Object plain(const QString& name, const QString& className, int outer);
    int outerFor(const QString& objectPath, QString* name);
    int add(Object object);
    QString engine(const char* name) const;
    QString className(const Object& object) const;
    void putTexture(QByteArray& out, const Object& texture,
                    const std::function<QByteArray(const char*)>& name) const;

    int version;
    int licensee;
    bool lowerCase = false;
    std::vector<Object> objects;
};

// A package holding one texture at objectPath ("Name" or "Group.Name"); P8 gets its palette.
QByteArray packageWithTexture(const QImage& image, Format format, const QString& objectPath,
                              bool masked = false);

// Where the header keeps its counts and offsets (int32 each), for tests that corrupt them.
enum HeaderField {
    NameCount = 12,
    NameOffset = 16,
    ExportCount = 20,
    ExportOffset = 24,
    ImportCount = 28,
    ImportOffset = 32
};

} // namespace packagewriter
