// SPDX-License-Identifier: GPL-3.0-or-later
#include "packages/texturepackage.h"
#include "packages/packagecursor.h"
#include "packages/texturepixels.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr quint32 packageTag = 0x9E2A83C1;
constexpr int oldestVersion = 68;
constexpr qint64 tableBudget = 16 * 1024 * 1024;
constexpr int largestSide = 4096;
constexpr int longestPath = 255;
constexpr int deepestPath = 64;
constexpr int mostProperties = 4096;
constexpr qint64 decodeChunk = 64 * 1024;
constexpr quint32 hasStack = 0x02000000;

// The only names we ever compare with: a few fixed words, then the pieces of the wanted path.
// Every name in the file is reduced to its number in this list, so the tables cost a few bytes
// per entry whatever the names hold.
enum Word : quint8 {
    None,
    Texture,
    Palette,
    Package,
    Class,
    Format,
    USize,
    VSize,
    Masked,
    FirstPathWord,
    OtherWord = 0xFF,
};
const char* const fixedWords[] = {"None",   "Texture", "Palette", "Package", "Class",
                                  "Format", "USize",   "VSize",   "bMasked"};

enum class Kind : quint8 { Texture, Palette, Group, Class, Other };

struct Export {
    qint32 outer;
    quint32 entry; // where its table entry starts, to read the rest when needed
    quint8 name;
    Kind kind;
};

struct ExportEntry {
    quint32 flags = 0;
    qint64 serialSize = 0;
    qint64 serialOffset = 0;
};

struct TextureProperties {
    quint8 format = 0; // absent means P8
    qint32 width = 0;
    qint32 height = 0;
    bool masked = false;
    qint64 palette = 0; // object reference
};

class PackageReader {
public:
    explicit PackageReader(QIODevice& device) : cursor(device) {}

    std::optional<QImage> texture(const QString& objectPath);

private:
    bool readWords(const QString& objectPath);
    bool readHeader();
    bool readNames(qint64 count, qint64 offset);
    bool readImports(qint64 count, qint64 offset);
    bool readExports(qint64 count, qint64 offset);
    bool tableWindow(qint64 count, qint64 offset, int smallestEntry);
    quint8 nameWord();
    std::optional<int> find() const;
    bool pathMatches(int index) const;
    std::optional<ExportEntry> entry(int index);
    bool enterObject(int index);
    std::optional<TextureProperties> properties();
    TexturePalette palette(const TextureProperties& properties);
    std::optional<QImage> decode(const TextureProperties& properties);

    PackageCursor cursor;
    QHash<QString, quint8> words;
    std::vector<quint8> pathWords; // outermost first
    quint8 wholePathWord = OtherWord;
    qsizetype longestWord = 0;
    qint64 budget = tableBudget;
    int version = 0;
    std::vector<quint8> names;
    std::vector<Kind> imports;
    std::vector<Export> exports;
};

bool PackageReader::readWords(const QString& objectPath) {
    const QStringList pieces = objectPath.split(u'.');
    if (objectPath.size() > longestPath || pieces.size() > deepestPath)
        return false;
    const auto add = [this](const QString& word) {
        const QString key = word.toCaseFolded();
        longestWord = std::max(longestWord, key.size());
        if (const auto known = words.constFind(key); known != words.cend())
            return *known;
        const auto next = quint8(words.size());
        words.insert(key, next);
        return next;
    };
    for (const char* word : fixedWords)
        add(QString::fromLatin1(word));
    for (const QString& piece : pieces) {
        if (piece.isEmpty())
            return false;
        pathWords.push_back(add(piece));
    }
    wholePathWord = add(objectPath);
    return true;
}

bool PackageReader::readHeader() {
    cursor.setWindow(0, 64);
    const quint32 tag = cursor.uint32();
    version = int(cursor.uint32() & 0xFFFF);
    cursor.uint32(); // package flags
    const qint64 nameCount = cursor.int32(), nameOffset = cursor.int32();
    const qint64 exportCount = cursor.int32(), exportOffset = cursor.int32();
    const qint64 importCount = cursor.int32(), importOffset = cursor.int32();
    if (!cursor.ok() || tag != packageTag || version < oldestVersion)
        return false;
    // Imports before exports: an export's class is an import.
    return readNames(nameCount, nameOffset) && readImports(importCount, importOffset) &&
           readExports(exportCount, exportOffset);
}

// Each table is read within what is left of the budget; counts are checked against the bytes
// their smallest entries would take, before anything is reserved for them.
bool PackageReader::tableWindow(qint64 count, qint64 offset, int smallestEntry) {
    if (count < 0 || offset < 0 || !cursor.setWindow(offset, budget))
        return false;
    return count <= cursor.remaining() / smallestEntry;
}

quint8 PackageReader::nameWord() {
    const qint64 index = cursor.compact();
    if (index < 0 || index >= qint64(names.size()))
        return cursor.fail(), OtherWord;
    return names[size_t(index)];
}

bool PackageReader::readNames(qint64 count, qint64 offset) {
    if (!tableWindow(count, offset, 5))
        return false;
    const qint64 start = cursor.position();
    names.reserve(size_t(count));
    for (qint64 i = 0; i < count && cursor.ok(); ++i) {
        const std::optional<QString> name = cursor.string(longestWord);
        cursor.uint32(); // flags
        names.push_back(name ? words.value(name->toCaseFolded(), OtherWord) : quint8(OtherWord));
    }
    budget -= cursor.position() - start;
    return cursor.ok();
}

bool PackageReader::readImports(qint64 count, qint64 offset) {
    if (!tableWindow(count, offset, 7))
        return false;
    const qint64 start = cursor.position();
    imports.reserve(size_t(count));
    for (qint64 i = 0; i < count && cursor.ok(); ++i) {
        nameWord(); // class package
        const quint8 className = nameWord();
        cursor.int32(); // outer
        const quint8 name = nameWord();
        Kind kind = Kind::Other;
        if (className == Class && name == Texture)
            kind = Kind::Texture;
        else if (className == Class && name == Palette)
            kind = Kind::Palette;
        else if (className == Class && name == Package)
            kind = Kind::Group;
        imports.push_back(kind);
    }
    budget -= cursor.position() - start;
    return cursor.ok();
}

bool PackageReader::readExports(qint64 count, qint64 offset) {
    if (!tableWindow(count, offset, 12))
        return false;
    const qint64 start = cursor.position();
    exports.reserve(size_t(count));
    for (qint64 i = 0; i < count && cursor.ok(); ++i) {
        const auto at = quint32(cursor.position());
        const qint64 classReference = cursor.compact();
        cursor.compact(); // super
        const qint32 outer = cursor.int32();
        const quint8 name = nameWord();
        cursor.uint32(); // flags
        if (cursor.compact() > 0)
            cursor.compact(); // offset, only there for a non-empty object
        Kind kind = Kind::Other;
        if (classReference == 0)
            kind = Kind::Class;
        else if (classReference < 0 && -classReference - 1 < qint64(imports.size()))
            kind = imports[size_t(-classReference - 1)];
        else if (classReference < 0 || classReference > count)
            return cursor.fail();
        exports.push_back({outer, at, name, kind});
    }
    budget -= cursor.position() - start;
    return cursor.ok();
}

// The path of an export, outermost group first, compared piece by piece from its own name
// outwards; the walk is bounded by the wanted path's depth, so cycles of outers end too.
bool PackageReader::pathMatches(int index) const {
    for (size_t piece = pathWords.size(); piece-- > 0;) {
        const Export& object = exports[size_t(index)];
        if (object.name != pathWords[piece])
            return false;
        if (piece == 0)
            return object.outer == 0;
        if (object.outer <= 0 || object.outer > qint32(exports.size()))
            return false;
        index = object.outer - 1;
    }
    return false;
}

std::optional<int> PackageReader::find() const {
    for (size_t i = 0; i < exports.size(); ++i) {
        const Kind kind = exports[i].kind;
        if (kind != Kind::Texture && kind != Kind::Other)
            continue; // not a material
        if (exports[i].name == wholePathWord || pathMatches(int(i)))
            return int(i);
    }
    return std::nullopt;
}

std::optional<ExportEntry> PackageReader::entry(int index) {
    ExportEntry result;
    if (!cursor.setWindow(exports[size_t(index)].entry, 64))
        return std::nullopt;
    cursor.compact(); // class
    cursor.compact(); // super
    cursor.int32();   // outer
    cursor.compact(); // name
    result.flags = cursor.uint32();
    result.serialSize = cursor.compact();
    if (result.serialSize > 0)
        result.serialOffset = cursor.compact();
    if (!cursor.ok() || result.serialSize < 0 || result.serialOffset < 0 ||
        result.serialOffset > cursor.fileSize() - result.serialSize)
        return std::nullopt;
    return result;
}

// Moves the cursor to the object's tagged properties, confined to the object's own bytes.
bool PackageReader::enterObject(int index) {
    const std::optional<ExportEntry> object = entry(index);
    if (!object || !cursor.setWindow(object->serialOffset, object->serialSize))
        return false;
    if (object->flags & hasStack) {
        const qint64 node = cursor.compact();
        cursor.compact();   // state node
        cursor.skip(8 + 4); // probe mask, latent action
        if (node != 0)
            cursor.compact();
    }
    return cursor.ok();
}

std::optional<TextureProperties> PackageReader::properties() {
    TextureProperties result;
    for (int count = 0; count < mostProperties && cursor.ok(); ++count) {
        const quint8 name = nameWord();
        if (name == None)
            return cursor.ok() ? std::optional(result) : std::nullopt;
        const quint8 info = cursor.byte();
        const int type = info & 0x0F;
        if (type == 10)
            nameWord(); // struct name
        static constexpr int sizes[] = {1, 2, 4, 12, 16};
        const int sizeCode = (info >> 4) & 7;
        qint64 size = sizeCode < 5    ? sizes[sizeCode]
                      : sizeCode == 5 ? cursor.byte()
                      : sizeCode == 6 ? cursor.uint16()
                                      : cursor.int32();
        int arrayIndex = 0;
        if (type == 3) {
            size = 0; // a bool's value is the array bit
        } else if (info & 0x80) {
            const quint8 first = cursor.byte();
            if ((first & 0x80) == 0)
                arrayIndex = first;
            else if ((first & 0xC0) == 0x80)
                arrayIndex = ((first & 0x7F) << 8) | cursor.byte();
            else
                arrayIndex = ((first & 0x3F) << 24) | (cursor.byte() << 16) | (cursor.byte() << 8) |
                             cursor.byte();
        }
        if (!cursor.ok() || size < 0 || size > cursor.remaining())
            return std::nullopt;
        const qint64 valueEnd = cursor.position() + size;
        if (arrayIndex == 0) {
            if (name == Format && type == 1)
                result.format = cursor.byte();
            else if ((name == USize || name == VSize) && type == 2 && size == 4)
                (name == USize ? result.width : result.height) = cursor.int32();
            else if (name == Masked && type == 3)
                result.masked = info & 0x80;
            else if (name == Palette && type == 5)
                result.palette = cursor.compact();
        }
        // Skip by the stated size, whatever was parsed.
        if (cursor.position() > valueEnd)
            return std::nullopt;
        cursor.skip(valueEnd - cursor.position());
    }
    return std::nullopt;
}

// A palette that cannot be read from this file gives an opaque grey ramp.
TexturePalette PackageReader::palette(const TextureProperties& texture) {
    TexturePalette ramp, colours;
    for (int i = 0; i < 256; ++i)
        ramp[size_t(i)] = qRgb(i, i, i);
    colours = ramp;
    const qint64 index = texture.palette - 1;
    const bool readable = index >= 0 && index < qint64(exports.size()) &&
                          exports[size_t(index)].kind == Kind::Palette && enterObject(int(index)) &&
                          properties();
    const qint64 count = readable ? cursor.compact() : 0;
    bool complete = readable && cursor.ok() && count > 0 && count <= cursor.remaining() / 4;
    for (qint64 i = 0; complete && i < std::min<qint64>(count, 256); ++i) {
        uchar rgba[4];
        complete = cursor.read(reinterpret_cast<char*>(rgba), 4);
        colours[size_t(i)] = qRgba(rgba[0], rgba[1], rgba[2], rgba[3]);
    }
    TexturePalette& result = complete ? colours : ramp;
    if (texture.masked)
        result[0] = qRgba(0, 0, 0, 0);
    return result;
}

std::optional<QImage> PackageReader::decode(const TextureProperties& texture) {
    const qint64 mipCount = cursor.compact();
    cursor.int32(); // where the next mip starts
    const qint64 dataSize = cursor.compact();
    const qint64 dataStart = cursor.position();
    if (!cursor.ok() || mipCount < 1 || !cursor.skip(dataSize))
        return std::nullopt;
    const qint32 mipWidth = cursor.int32(), mipHeight = cursor.int32();
    const int width = texture.width > 0 ? texture.width : mipWidth;
    const int height = texture.height > 0 ? texture.height : mipHeight;
    if (!cursor.ok() || width > largestSide || height > largestSide)
        return std::nullopt;
    const std::optional<MipLayout> layout = mipLayout(texture.format, width, height);
    if (!layout || layout->totalBytes() > dataSize)
        return std::nullopt;
    const TexturePalette colours =
        layout->format == TextureFormat::P8 ? palette(texture) : TexturePalette{};

    QImage image(width, height, QImage::Format_ARGB32);
    if (image.isNull() || !cursor.setWindow(dataStart, layout->totalBytes()))
        return std::nullopt;
    // The mip is read a few rows at a time straight into the picture.
    const int rowsPerChunk = int(std::max<qint64>(1, decodeChunk / layout->unitRowBytes));
    const auto chunk = std::make_unique<uchar[]>(size_t(rowsPerChunk * layout->unitRowBytes));
    for (int row = 0; row < layout->unitRows; row += rowsPerChunk) {
        const int rows = std::min(rowsPerChunk, layout->unitRows - row);
        if (!cursor.read(reinterpret_cast<char*>(chunk.get()), rows * layout->unitRowBytes))
            return std::nullopt;
        decodeUnitRows(*layout, chunk.get(), row, rows, image, colours);
    }
    return image;
}

std::optional<QImage> PackageReader::texture(const QString& objectPath) {
    if (!readWords(objectPath) || !readHeader())
        return std::nullopt;
    const std::optional<int> found = find();
    if (!found || exports[size_t(*found)].kind != Kind::Texture || !enterObject(*found))
        return std::nullopt;
    const std::optional<TextureProperties> texture = properties();
    return texture ? decode(*texture) : std::nullopt;
}

} // namespace

std::optional<QImage> readPackageTexture(QIODevice& device, const QString& objectPath) {
    if (!device.isOpen() || !device.isReadable() || device.isSequential())
        return std::nullopt;
    return PackageReader(device).texture(objectPath);
}

std::optional<QImage> readPackageTexture(const QString& packagePath, const QString& objectPath) {
    // Only regular files: opening a pipe would wait for a writer.
    QFile file(packagePath);
    if (!QFileInfo(packagePath).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return readPackageTexture(file, objectPath);
}
