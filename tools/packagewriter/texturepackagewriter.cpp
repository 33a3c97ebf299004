// SPDX-License-Identifier: GPL-3.0-or-later
#include "packagewriter/texturepackagewriter.h"

#include <QHash>
#include <QtEndian>
#include <bit>
#include <functional>

namespace packagewriter {
namespace {

constexpr quint32 objectFlags = 0x000F0004;
constexpr int headerSize = 64;

void putInt32(QByteArray& out, qint32 value) {
    uchar bytes[4];
    qToLittleEndian(value, bytes);
    out.append(reinterpret_cast<const char*>(bytes), 4);
}

void putCompact(QByteArray& out, qint64 value) {
    quint64 rest = quint64(value < 0 ? -value : value);
    uchar first = uchar((value < 0 ? 0x80 : 0) | (rest & 0x3F));
    rest >>= 6;
    out.append(char(first | (rest ? 0x40 : 0)));
    for (int i = 1; rest && i < 5; ++i) {
        const int bits = i == 4 ? 8 : 7;
        uchar next = uchar(rest & ((1u << bits) - 1));
        rest >>= bits;
        if (rest && i < 4)
            next |= 0x80;
        out.append(char(next));
    }
}

QByteArray compact(qint64 value) {
    QByteArray out;
    putCompact(out, value);
    return out;
}

// Names as the file holds them: one entry per distinct spelling.
class NameTable {
public:
    int operator()(const QString& name) {
        if (const auto found = indices.constFind(name); found != indices.cend())
            return *found;
        indices.insert(name, int(names.size()));
        names.append(name);
        return int(names.size() - 1);
    }
    QByteArray bytes() const {
        QByteArray out;
        for (const QString& name : names) {
            const QByteArray latin1 = name.toLatin1();
            putCompact(out, latin1.size() + 1);
            out.append(latin1).append('\0');
            putInt32(out, 0x00070010);
        }
        return out;
    }
    int size() const { return int(names.size()); }

private:
    QStringList names;
    QHash<QString, int> indices;
};

QByteArray paletteData(const QList<QRgb>& colours) {
    QByteArray data = compact(colours.size());
    for (const QRgb c : colours)
        data.append(char(qRed(c)))
            .append(char(qGreen(c)))
            .append(char(qBlue(c)))
            .append(char(qAlpha(c)));
    return data;
}

int log2(int value) {
    return value > 0 ? int(std::bit_width(unsigned(value))) - 1 : 0;
}

} // namespace

PackageBuilder::PackageBuilder(int version, int licensee) : version(version), licensee(licensee) {}

QString PackageBuilder::engine(const char* name) const {
    const QString text = QString::fromLatin1(name);
    return lowerCase ? text.toLower() : text;
}

PackageBuilder::Object PackageBuilder::plain(const QString& name, const QString& className,
                                             int outer) {
    Object object;
    object.name = name;
    object.className = className;
    object.outer = outer;
    return object;
}

int PackageBuilder::add(Object object) {
    objects.push_back(std::move(object));
    return int(objects.size());
}

// The export that holds objectPath's last piece, making the groups on the way.
int PackageBuilder::outerFor(const QString& objectPath, QString* name) {
    QStringList pieces = objectPath.split(u'.');
    *name = pieces.takeLast();
    int outer = 0;
    for (const QString& group : pieces) {
        int found = 0;
        for (size_t i = 0; i < objects.size() && !found; ++i)
            if (objects[i].outer == outer && objects[i].name == group &&
                objects[i].className == QStringLiteral("Package"))
                found = int(i + 1);
        outer = found ? found : add(plain(group, QStringLiteral("Package"), outer));
    }
    return outer;
}

int PackageBuilder::addTexture(const QString& objectPath, const QImage& image, Format format,
                               const TextureOptions& options) {
    Object texture;
    texture.outer = outerFor(objectPath, &texture.name);
    texture.className = QStringLiteral("Texture");
    texture.texture = true;
    texture.format = format;
    texture.options = options;
    QImage mipImage = image.convertToFormat(QImage::Format_ARGB32);
    PalettedImage paletted;
    if (format == Format::P8) {
        paletted = quantise(mipImage, options.masked);
        if (options.palette) {
            Object palette = plain(QStringLiteral("Palette%1").arg(objects.size() + 1),
                                   QStringLiteral("Palette"), texture.outer);
            palette.native = paletteData(paletted.palette);
            texture.palette = add(palette);
        }
    }
    for (int level = 0; level < std::max(1, options.mipCount); ++level) {
        const QSize size(std::max(1, image.width() >> level), std::max(1, image.height() >> level));
        if (format == Format::P8) {
            // Smaller mips take every 2^level-th index, so they share the palette.
            QByteArray indices;
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x)
                    indices.append(
                        paletted.indices[qsizetype(y << level) * image.width() + (x << level)]);
            texture.mips.append({indices, size});
        } else {
            texture.mips.append(
                {encodePixels(level ? mipImage.scaled(size) : mipImage, format), size});
        }
    }
    return add(texture);
}

int PackageBuilder::addPalette(const QString& objectPath, const QList<QRgb>& colours) {
    Object palette;
    palette.outer = outerFor(objectPath, &palette.name);
    palette.className = QStringLiteral("Palette");
    palette.native = paletteData(colours);
    return add(palette);
}

int PackageBuilder::addObject(const QString& objectPath, const QString& className,
                              const QByteArray& data) {
    Object object;
    object.outer = outerFor(objectPath, &object.name);
    object.className = className;
    object.native = data;
    return add(object);
}

QString PackageBuilder::className(const Object& object) const {
    const QString& text = object.className;
    const bool engineClass = text == QStringLiteral("Package") ||
                             text == QStringLiteral("Texture") || text == QStringLiteral("Palette");
    return engineClass ? engine(text.toLatin1().constData()) : text;
}

void PackageBuilder::putTexture(QByteArray& out, const Object& texture,
                                const std::function<QByteArray(const char*)>& name) const {
    const TextureOptions& options = texture.options;
    const QSize size =
        options.declaredSize.isValid() ? options.declaredSize : texture.mips.first().size;
    const auto byteProperty = [&](const char* property, int value) {
        out.append(name(property)).append(char(0x01)).append(char(value));
    };
    const auto intProperty = [&](const char* property, qint32 value) {
        out.append(name(property)).append(char(0x22));
        putInt32(out, value);
    };
    if (texture.format != Format::P8 || options.formatProperty)
        byteProperty("Format", int(texture.format));
    if (options.masked)
        out.append(name("bMasked")).append(char(0x83));
    if (texture.palette) {
        const QByteArray reference = compact(texture.palette);
        out.append(name("Palette")).append(char(0x55)).append(char(reference.size()));
        out.append(reference);
    }
    if (options.sizeProperties) {
        byteProperty("UBits", log2(size.width()));
        byteProperty("VBits", log2(size.height()));
        intProperty("USize", size.width());
        intProperty("VSize", size.height());
    }
    // Struct and array-indexed properties, as real textures carry them.
    out.append(name("MipZero")).append(char(0x2A)).append(name("Color"));
    out.append("\x40\x40\x40\xFF", 4);
    intProperty("InternalTime", 0);
    out.append(name("InternalTime")).append(char(0xA2)).append(char(1));
    putInt32(out, 0);
    out.append(name("None"));

    putCompact(out, texture.mips.size());
    for (qsizetype level = 0; level < texture.mips.size(); ++level) {
        const Mip& mip = texture.mips[level];
        const QSize mipSize = level == 0 ? size : mip.size;
        const QByteArray dataSize = compact(mip.data.size());
        // The absolute offset just past this mip's data.
        putInt32(out, qint32(out.size() + 4 + dataSize.size() + mip.data.size()));
        out.append(dataSize).append(mip.data);
        putInt32(out, mipSize.width());
        putInt32(out, mipSize.height());
        out.append(char(log2(mipSize.width()))).append(char(log2(mipSize.height())));
    }
}

QByteArray PackageBuilder::bytes() const {
    // Every name first, so the table's size is known before the data's offsets are.
    NameTable names;
    const char* const engineNames[] = {
        "None",    "Core",  "Engine", "Class", "Package", "Texture",      "Palette", "Format",
        "bMasked", "UBits", "VBits",  "USize", "VSize",   "InternalTime", "MipZero", "Color"};
    for (const char* name : engineNames)
        names(engine(name));
    for (const Object& object : objects) {
        names(object.name);
        names(className(object));
    }
    const auto name = [&](const char* text) { return compact(names(engine(text))); };

    QByteArray out(headerSize, '\0');
    const qint32 nameOffset = qint32(out.size());
    out.append(names.bytes());

    // Object data, back to back.
    QList<QPair<qint64, qint64>> serial; // offset, size
    for (const Object& object : objects) {
        const qint64 start = out.size();
        if (object.texture) {
            putTexture(out, object, name);
        } else {
            out.append(name("None"));
            out.append(object.native);
        }
        serial.append({start, out.size() - start});
    }

    // Imports: the two packages, then one class each.
    QStringList classes;
    for (const Object& object : objects)
        if (!classes.contains(className(object)))
            classes.append(className(object));
    const qint32 importOffset = qint32(out.size());
    const auto putImport = [&](const QString& package, const QString& kind, qint32 outer,
                               const QString& object) {
        out.append(compact(names(package))).append(compact(names(kind)));
        putInt32(out, outer);
        out.append(compact(names(object)));
    };
    putImport(engine("Core"), engine("Package"), 0, engine("Engine"));
    putImport(engine("Core"), engine("Package"), 0, engine("Core"));
    for (const QString& kind : classes)
        putImport(engine("Core"), engine("Class"),
                  kind.compare(QStringLiteral("Package"), Qt::CaseInsensitive) == 0 ? -2 : -1,
                  kind);

    const qint32 exportOffset = qint32(out.size());
    for (size_t i = 0; i < objects.size(); ++i) {
        const Object& object = objects[i];
        putCompact(out, -(3 + classes.indexOf(className(object))));
        putCompact(out, 0);
        putInt32(out, object.outer);
        putCompact(out, names(object.name));
        putInt32(out, qint32(objectFlags));
        putCompact(out, serial[qsizetype(i)].second);
        if (serial[qsizetype(i)].second > 0)
            putCompact(out, serial[qsizetype(i)].first);
    }

    QByteArray header;
    putInt32(header, qint32(0x9E2A83C1));
    putInt32(header, qint32(version | (licensee << 16)));
    putInt32(header, 0x00000001);
    putInt32(header, names.size());
    putInt32(header, nameOffset);
    putInt32(header, qint32(objects.size()));
    putInt32(header, exportOffset);
    putInt32(header, 2 + qint32(classes.size()));
    putInt32(header, importOffset);
    header.append(QByteArray::fromHex("4d6f64676174655061636b6167653031")); // guid
    putInt32(header, 1);
    putInt32(header, qint32(objects.size()));
    putInt32(header, names.size());
    out.replace(0, headerSize, header);
    return out;
}

QByteArray packageWithTexture(const QImage& image, Format format, const QString& objectPath,
                              bool masked) {
    PackageBuilder builder;
    TextureOptions options;
    options.masked = masked;
    builder.addTexture(objectPath, image, format, options);
    return builder.bytes();
}

} // namespace packagewriter
