// SPDX-License-Identifier: GPL-3.0-or-later
#include "packages/texturepixels.h"

#include <QtEndian>

namespace {

QRgb fromRgb565(quint16 colour) {
    const int r = (colour >> 11) & 31, g = (colour >> 5) & 63, b = colour & 31;
    return qRgb((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
}

QRgb mixed(QRgb a, QRgb b, int weightA, int weightB) {
    const int sum = weightA + weightB;
    return qRgb((qRed(a) * weightA + qRed(b) * weightB) / sum,
                (qGreen(a) * weightA + qGreen(b) * weightB) / sum,
                (qBlue(a) * weightA + qBlue(b) * weightB) / sum);
}

// The 8-byte colour half of a block. Only DXT1 knows the three-colour mode with a transparent
// fourth entry; DXT3 and DXT5 always interpolate four colours.
void decodeColours(const uchar* block, bool oneBitAlpha, QRgb out[16]) {
    const quint16 c0 = qFromLittleEndian<quint16>(block),
                  c1 = qFromLittleEndian<quint16>(block + 2);
    QRgb colours[4] = {fromRgb565(c0), fromRgb565(c1), 0, 0};
    if (c0 > c1 || !oneBitAlpha) {
        colours[2] = mixed(colours[0], colours[1], 2, 1);
        colours[3] = mixed(colours[0], colours[1], 1, 2);
    } else {
        colours[2] = mixed(colours[0], colours[1], 1, 1);
        colours[3] = qRgba(0, 0, 0, 0);
    }
    const quint32 indices = qFromLittleEndian<quint32>(block + 4);
    for (int i = 0; i < 16; ++i)
        out[i] = colours[(indices >> (2 * i)) & 3];
}

void setAlpha(QRgb& pixel, int alpha) {
    pixel = qRgba(qRed(pixel), qGreen(pixel), qBlue(pixel), alpha);
}

void decodeExplicitAlpha(const uchar* block, QRgb pixels[16]) {
    for (int i = 0; i < 16; ++i)
        setAlpha(pixels[i], ((block[i / 2] >> (4 * (i % 2))) & 15) * 17);
}

void decodeInterpolatedAlpha(const uchar* block, QRgb pixels[16]) {
    const int a0 = block[0], a1 = block[1];
    int alphas[8] = {a0, a1, 0, 0, 0, 0, 0, 255};
    if (a0 > a1) {
        for (int i = 1; i <= 6; ++i)
            alphas[i + 1] = ((7 - i) * a0 + i * a1) / 7;
    } else {
        for (int i = 1; i <= 4; ++i)
            alphas[i + 1] = ((5 - i) * a0 + i * a1) / 5;
    }
    quint64 indices = 0;
    for (int i = 0; i < 6; ++i)
        indices |= quint64(block[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i)
        setAlpha(pixels[i], alphas[(indices >> (3 * i)) & 7]);
}

void decodeBlockRow(const MipLayout& layout, const uchar* data, int blockRow, QImage& image) {
    const int blockBytes = layout.format == TextureFormat::DXT1 ? 8 : 16;
    const int columns = int(layout.unitRowBytes / blockBytes);
    for (int column = 0; column < columns; ++column, data += blockBytes) {
        QRgb pixels[16];
        switch (layout.format) {
        case TextureFormat::DXT1:
            decodeColours(data, true, pixels);
            break;
        case TextureFormat::DXT3:
            decodeColours(data + 8, false, pixels);
            decodeExplicitAlpha(data, pixels);
            break;
        default:
            decodeColours(data + 8, false, pixels);
            decodeInterpolatedAlpha(data, pixels);
            break;
        }
        // Blocks at the right and bottom edges may reach past the picture.
        for (int y = 0; y < 4 && blockRow * 4 + y < layout.height; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(blockRow * 4 + y));
            for (int x = 0; x < 4 && column * 4 + x < layout.width; ++x)
                line[column * 4 + x] = pixels[y * 4 + x];
        }
    }
}

// One switch per row, so each format's loop stays tight.
void decodePixelRow(const MipLayout& layout, const uchar* data, QRgb* line,
                    const TexturePalette& palette) {
    const int width = layout.width;
    switch (layout.format) {
    case TextureFormat::P8:
        for (int x = 0; x < width; ++x)
            line[x] = palette[data[x]];
        break;
    case TextureFormat::L8:
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(data[x], data[x], data[x]);
        break;
    case TextureFormat::G16:
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(data[2 * x + 1], data[2 * x + 1], data[2 * x + 1]);
        break;
    case TextureFormat::RGB8:
        for (int x = 0; x < width; ++x, data += 3)
            line[x] = qRgb(data[2], data[1], data[0]);
        break;
    default:
        // B, G, R, A bytes are a little-endian ARGB32 word each.
        for (int x = 0; x < width; ++x)
            line[x] = qFromLittleEndian<quint32>(data + 4 * x);
        break;
    }
}

} // namespace

std::optional<MipLayout> mipLayout(quint8 format, int width, int height) {
    if (width <= 0 || height <= 0)
        return std::nullopt;
    const int blockColumns = (width + 3) / 4, blockRows = (height + 3) / 4;
    const auto pixels = [&](TextureFormat f, int bytes) {
        return MipLayout{f, width, height, qint64(width) * bytes, 1, height};
    };
    const auto blocks = [&](TextureFormat f, int bytes) {
        return MipLayout{f, width, height, qint64(blockColumns) * bytes, 4, blockRows};
    };
    switch (TextureFormat(format)) {
    case TextureFormat::P8:
    case TextureFormat::L8:
        return pixels(TextureFormat(format), 1);
    case TextureFormat::G16:
        return pixels(TextureFormat::G16, 2);
    case TextureFormat::RGB8:
        return pixels(TextureFormat::RGB8, 3);
    case TextureFormat::RGBA8:
        return pixels(TextureFormat::RGBA8, 4);
    case TextureFormat::DXT1:
        return blocks(TextureFormat::DXT1, 8);
    case TextureFormat::DXT3:
    case TextureFormat::DXT5:
        return blocks(TextureFormat(format), 16);
    }
    return std::nullopt;
}

void decodeUnitRows(const MipLayout& layout, const uchar* data, int first, int count, QImage& image,
                    const TexturePalette& palette) {
    for (int row = first; row < first + count; ++row, data += layout.unitRowBytes) {
        if (layout.pixelRowsPerUnit == 4)
            decodeBlockRow(layout, data, row, image);
        else
            decodePixelRow(layout, data, reinterpret_cast<QRgb*>(image.scanLine(row)), palette);
    }
}
