// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <array>
#include <optional>

// Pixel formats by the value of a texture's Format property; the others cannot be decoded.
enum class TextureFormat : quint8 {
    P8 = 0,
    DXT1 = 3,
    RGB8 = 4,
    RGBA8 = 5,
    DXT3 = 7,
    DXT5 = 8,
    L8 = 9,
    G16 = 10,
};

using TexturePalette = std::array<QRgb, 256>;

// How one mip's data is laid out: unit rows of unitRowBytes each, every one covering
// pixelRowsPerUnit pixel rows (1 for pixel formats, 4 for rows of 4x4 blocks).
struct MipLayout {
    TextureFormat format;
    int width;
    int height;
    qint64 unitRowBytes;
    int pixelRowsPerUnit;
    int unitRows;

    qint64 totalBytes() const { return unitRowBytes * unitRows; }
};

// The layout of a width x height mip in the given Format value, or none for a format we do not
// decode or a size that is not positive.
std::optional<MipLayout> mipLayout(quint8 format, int width, int height);

// Decodes `count` unit rows, starting at unit row `first`, from `data` into `image`
// (Format_ARGB32, the mip's size). The palette is used for P8 only.
void decodeUnitRows(const MipLayout& layout, const uchar* data, int first, int count, QImage& image,
                    const TexturePalette& palette);
