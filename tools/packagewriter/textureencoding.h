// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

namespace packagewriter {

// A texture's Format property, by value.
enum class Format : quint8 {
    P8 = 0,
    RGBA7 = 1,
    RGB16 = 2,
    DXT1 = 3,
    RGB8 = 4,
    RGBA8 = 5,
    NoData = 6,
    DXT3 = 7,
    DXT5 = 8,
    L8 = 9,
    G16 = 10,
    RRRGGGBBB = 11,
};

// The mip data of an image in a pixel or block format (not P8). DXT blocks take the two colours
// farthest apart as endpoints; in DXT1, pixels with alpha below 128 turn their block to the
// three-colour mode and become its transparent entry. Formats without a known layout get four
// zero bytes per pixel.
QByteArray encodePixels(const QImage& image, Format format);

// An image as palette indices. With up to 256 colours (255 when masked) the palette holds them
// exactly, else a fixed colour cube. Masked: index 0 is reserved for pixels with alpha below 128.
struct PalettedImage {
    QByteArray indices;
    QList<QRgb> palette; // 256 entries
};
PalettedImage quantise(const QImage& image, bool masked);

} // namespace packagewriter
