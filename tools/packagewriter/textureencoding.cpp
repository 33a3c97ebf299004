// SPDX-License-Identifier: GPL-3.0-or-later
#include "packagewriter/textureencoding.h"

#include <QHash>
#include <QtEndian>
#include <algorithm>
#include <array>

namespace packagewriter {
namespace {

using Block = std::array<QRgb, 16>;

quint16 toRgb565(QRgb c) {
    return quint16(((qRed(c) * 31 + 127) / 255) << 11 | ((qGreen(c) * 63 + 127) / 255) << 5 |
                   (qBlue(c) * 31 + 127) / 255);
}

QRgb fromRgb565(quint16 c) {
    const int r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    return qRgb((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
}

int distance(QRgb a, QRgb b) {
    const int r = qRed(a) - qRed(b), g = qGreen(a) - qGreen(b), bl = qBlue(a) - qBlue(b);
    return r * r + g * g + bl * bl;
}

QRgb mix(QRgb a, QRgb b, int wa, int wb) {
    const int s = wa + wb;
    return qRgb((qRed(a) * wa + qRed(b) * wb) / s, (qGreen(a) * wa + qGreen(b) * wb) / s,
                (qBlue(a) * wa + qBlue(b) * wb) / s);
}

// The 4x4 block at (bx, by); pixels past the edge repeat the last row or column.
Block blockAt(const QImage& image, int bx, int by) {
    Block block;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            block[size_t(y * 4 + x)] = image.pixel(std::min(bx * 4 + x, image.width() - 1),
                                                   std::min(by * 4 + y, image.height() - 1));
    return block;
}

void putColours(const Block& block, bool dxt1, QByteArray& out) {
    const auto transparent = [&](QRgb c) { return dxt1 && qAlpha(c) < 128; };
    QList<QRgb> candidates;
    for (QRgb c : block)
        if (!transparent(c))
            candidates.append(c);
    const bool anyTransparent = candidates.size() < 16;
    QRgb a = candidates.value(0), b = a;
    for (qsizetype i = 0; i < candidates.size(); ++i)
        for (qsizetype j = i + 1; j < candidates.size(); ++j)
            if (distance(candidates[i], candidates[j]) > distance(a, b))
                a = candidates[i], b = candidates[j];
    quint16 c0 = toRgb565(a), c1 = toRgb565(b);
    const bool threeColour = dxt1 && (anyTransparent || c0 == c1);
    if (threeColour ? c0 > c1 : c0 < c1)
        std::swap(c0, c1);
    const QRgb p0 = fromRgb565(c0), p1 = fromRgb565(c1);
    const QRgb colours[4] = {p0, p1, threeColour ? mix(p0, p1, 1, 1) : mix(p0, p1, 2, 1),
                             threeColour ? 0 : mix(p0, p1, 1, 2)};
    quint32 indices = 0;
    for (int i = 0; i < 16; ++i) {
        int best = 3;
        if (!transparent(block[size_t(i)])) {
            best = 0;
            for (int k = 1; k < (threeColour ? 3 : 4); ++k)
                if (distance(block[size_t(i)], colours[k]) <
                    distance(block[size_t(i)], colours[best]))
                    best = k;
        }
        indices |= quint32(best) << (2 * i);
    }
    uchar bytes[8];
    qToLittleEndian(c0, bytes);
    qToLittleEndian(c1, bytes + 2);
    qToLittleEndian(indices, bytes + 4);
    out.append(reinterpret_cast<const char*>(bytes), 8);
}

void putExplicitAlpha(const Block& block, QByteArray& out) {
    uchar bytes[8] = {};
    for (int i = 0; i < 16; ++i)
        bytes[i / 2] |= uchar(((qAlpha(block[size_t(i)]) * 15 + 127) / 255) << (4 * (i % 2)));
    out.append(reinterpret_cast<const char*>(bytes), 8);
}

void putInterpolatedAlpha(const Block& block, QByteArray& out) {
    int high = 0, low = 255;
    for (QRgb c : block)
        high = std::max(high, qAlpha(c)), low = std::min(low, qAlpha(c));
    // alpha0 > alpha1 gives eight steps; equal ends use the other table, whose first entry fits.
    int table[8] = {high, low, 0, 0, 0, 0, 0, 255};
    for (int i = 1; i <= (high > low ? 6 : 4); ++i)
        table[i + 1] = high > low ? ((7 - i) * high + i * low) / 7 : ((5 - i) * high + i * low) / 5;
    quint64 indices = 0;
    for (int i = 0; i < 16; ++i) {
        int best = 0;
        for (int k = 1; k < 8; ++k)
            if (std::abs(table[k] - qAlpha(block[size_t(i)])) <
                std::abs(table[best] - qAlpha(block[size_t(i)])))
                best = k;
        indices |= quint64(best) << (3 * i);
    }
    out.append(char(high));
    out.append(char(low));
    for (int i = 0; i < 6; ++i)
        out.append(char((indices >> (8 * i)) & 0xFF));
}

} // namespace

QByteArray encodePixels(const QImage& source, Format format) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int width = image.width(), height = image.height();
    QByteArray out;
    if (format == Format::DXT1 || format == Format::DXT3 || format == Format::DXT5) {
        out.reserve(qsizetype((width + 3) / 4) * ((height + 3) / 4) * 16);
        for (int by = 0; by < (height + 3) / 4; ++by)
            for (int bx = 0; bx < (width + 3) / 4; ++bx) {
                const Block block = blockAt(image, bx, by);
                if (format == Format::DXT3)
                    putExplicitAlpha(block, out);
                else if (format == Format::DXT5)
                    putInterpolatedAlpha(block, out);
                putColours(block, format == Format::DXT1, out);
            }
        return out;
    }
    const int bytesPerPixel = format == Format::L8     ? 1
                              : format == Format::G16  ? 2
                              : format == Format::RGB8 ? 3
                                                       : 4;
    out.resize(qsizetype(width) * height * bytesPerPixel, '\0');
    auto* at = reinterpret_cast<uchar*>(out.data());
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x, at += bytesPerPixel) {
            const QRgb c = line[x];
            switch (format) {
            case Format::L8:
                at[0] = uchar(qGray(c));
                break;
            case Format::G16:
                qToLittleEndian(quint16(qGray(c) * 257), at);
                break;
            case Format::RGB8:
            case Format::RGBA8:
                at[0] = uchar(qBlue(c)), at[1] = uchar(qGreen(c)), at[2] = uchar(qRed(c));
                if (format == Format::RGBA8)
                    at[3] = uchar(qAlpha(c));
                break;
            default:
                break; // no known layout: zeros
            }
        }
    }
    return out;
}

PalettedImage quantise(const QImage& source, bool masked) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const auto hidden = [&](QRgb c) { return masked && qAlpha(c) < 128; };
    PalettedImage result;
    if (masked)
        result.palette.append(qRgb(0, 0, 0));
    QHash<QRgb, int> exact;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const QRgb c = image.pixel(x, y); !hidden(c) && !exact.contains(c)) {
                exact.insert(c, int(result.palette.size()));
                result.palette.append(c);
            }
    const bool cube = result.palette.size() > 256;
    if (cube) {
        result.palette.resize(masked ? 1 : 0);
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 7; ++g)
                for (int b = 0; b < 6; ++b)
                    result.palette.append(qRgb(r * 255 / 5, g * 255 / 6, b * 255 / 5));
    }
    result.palette.resize(256, qRgb(0, 0, 0));
    result.indices.reserve(qsizetype(image.width()) * image.height());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            const int cubeIndex =
                ((qRed(c) * 5 + 127) / 255 * 7 + (qGreen(c) * 6 + 127) / 255) * 6 +
                (qBlue(c) * 5 + 127) / 255;
            const int index = hidden(c) ? 0 : cube ? cubeIndex + (masked ? 1 : 0) : exact.value(c);
            result.indices.append(char(index));
        }
    return result;
}

} // namespace packagewriter
