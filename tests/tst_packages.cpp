// SPDX-License-Identifier: GPL-3.0-or-later
#include "fixtures.h"
#include "packages/texturepackage.h"
#include "packagewriter/texturepackagewriter.h"
#include "testmain.h"

#include <QBuffer>
#include <QtEndian>

using namespace packagewriter;
Q_DECLARE_METATYPE(packagewriter::Format)

namespace {

std::optional<QImage> read(QByteArray bytes, const QString& path = QStringLiteral("Logo")) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return readPackageTexture(buffer, path);
}

// 14 x 6, so the right and bottom blocks are cut. Every block has two colours (the first a
// gradient of four on their line); alpha: checkered 0 / 255 in the first block, a ramp
// 240, 180, 120, 30 that DXT5 can hold exactly in the third, 255 elsewhere.
QImage picture() {
    const QRgb ends[8][2] = {{0xFFC83C5A, 0xFF1E90FF}, {0xFF000000, 0xFFFFFFFF},
                             {0xFF40C040, 0xFFF0E010}, {0xFF804020, 0xFF2060A0},
                             {0xFFFF0000, 0xFF00FF00}, {0xFF0000FF, 0xFF808080},
                             {0xFF102030, 0xFFF0D0B0}, {0xFF7F7F00, 0xFF007F7F}};
    QImage image(14, 6, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int block = x / 4 + 4 * (y / 4), step = x % 4;
            const QRgb a = ends[block][0], b = ends[block][1];
            QRgb c = (x + y) % 2 ? a : b;
            if (block == 1)
                c = qRgb((qRed(a) * (3 - step) + qRed(b) * step) / 3,
                         (qGreen(a) * (3 - step) + qGreen(b) * step) / 3,
                         (qBlue(a) * (3 - step) + qBlue(b) * step) / 3);
            const int alpha = block == 0   ? ((x + y) % 2 ? 255 : 0)
                              : block == 2 ? (step == 3 ? 30 : 240 - 60 * step)
                                           : 255;
            image.setPixel(x, y, qRgba(qRed(c), qGreen(c), qBlue(c), alpha));
        }
    return image;
}

TextureOptions options(bool masked, bool palette = true, bool sizeProperties = true,
                       QSize declared = {}) {
    TextureOptions options;
    options.masked = masked;
    options.palette = palette;
    options.sizeProperties = sizeProperties;
    options.mipCount = 3;
    options.declaredSize = declared;
    return options;
}

// What a format keeps of a pixel.
QRgb expected(QRgb c, Format format, bool masked) {
    const int grey = qGray(c);
    switch (format) {
    case Format::P8:
        return masked && qAlpha(c) < 128 ? 0 : c;
    case Format::DXT1:
        return qAlpha(c) < 128 ? 0 : (c | 0xFF000000);
    case Format::RGB8:
        return c | 0xFF000000;
    case Format::L8:
    case Format::G16:
        return qRgb(grey, grey, grey);
    default:
        return c;
    }
}

} // namespace

class PackagesTest : public QObject {
    Q_OBJECT

private slots:
    void formats_data() {
        QTest::addColumn<Format>("format");
        QTest::addColumn<bool>("masked");
        QTest::addColumn<bool>("sizeProperties");
        QTest::addColumn<int>("tolerance");
        QTest::newRow("P8 masked") << Format::P8 << true << true << 0;
        QTest::newRow("P8 unmasked, index 0 a colour") << Format::P8 << false << true << 0;
        QTest::newRow("P8, size from the mip only") << Format::P8 << true << false << 0;
        QTest::newRow("DXT1, transparent blocks") << Format::DXT1 << false << true << 8;
        QTest::newRow("DXT3") << Format::DXT3 << false << true << 8;
        QTest::newRow("DXT5") << Format::DXT5 << false << true << 8;
        QTest::newRow("RGBA8") << Format::RGBA8 << false << true << 0;
        QTest::newRow("RGB8") << Format::RGB8 << false << false << 0;
        QTest::newRow("L8") << Format::L8 << false << true << 0;
        QTest::newRow("G16") << Format::G16 << false << true << 0;
    }
    void formats() {
        QFETCH(Format, format);
        QFETCH(bool, masked);
        QFETCH(bool, sizeProperties);
        QFETCH(int, tolerance);
        PackageBuilder builder;
        const QImage source = picture();
        builder.addTexture(QStringLiteral("Logo"), source, format,
                           options(masked, true, sizeProperties));
        const std::optional<QImage> image = read(builder.bytes());
        QVERIFY(image);
        QCOMPARE(image->size(), source.size());
        QCOMPARE(image->format(), QImage::Format_ARGB32);
        for (int y = 0; y < source.height(); ++y)
            for (int x = 0; x < source.width(); ++x) {
                const QRgb want = expected(source.pixel(x, y), format, masked),
                           got = image->pixel(x, y);
                const int off = std::max(
                    {std::abs(qRed(want) - qRed(got)), std::abs(qGreen(want) - qGreen(got)),
                     std::abs(qBlue(want) - qBlue(got)), std::abs(qAlpha(want) - qAlpha(got))});
                QVERIFY2(off <= (want ? tolerance : 0),
                         qPrintable(QString::asprintf("(%d, %d): %08x for %08x", x, y, got, want)));
            }
    }

    // A grey ramp by index instead; the quantiser numbers the colours as they first appear.
    void missingPalette() {
        QImage source(2, 1, QImage::Format_ARGB32);
        source.setPixel(0, 0, 0xFFFF0000);
        source.setPixel(1, 0, 0xFF0000FF);
        for (const bool masked : {false, true}) {
            PackageBuilder builder;
            builder.addTexture(QStringLiteral("Logo"), source, Format::P8, options(masked, false));
            const std::optional<QImage> image = read(builder.bytes());
            QVERIFY(image);
            const int first = masked ? 1 : 0;
            QCOMPARE(image->pixel(0, 0), qRgb(first, first, first));
            QCOMPARE(image->pixel(1, 0), qRgb(first + 1, first + 1, first + 1));
        }
    }

    void lookup_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("colour");
        const auto row = [](const char* name, int version, const char* path, const char* colour) {
            QTest::newRow(name) << version << QString::fromUtf8(path) << QString::fromUtf8(colour);
        };
        row("bare name", 128, "Logo", "red");
        row("other letter case", 128, "lOGO", "red");
        row("group path", 128, "Icons.Star", "lime");
        row("nested groups, lower case, version 127", 127, "icons.small.star", "blue");
        row("bare name of a grouped texture: the first in the table", 121, "star", "lime");
        row("part of a path", 128, "Small.Star", "");
        row("group of another path", 128, "Small.Logo", "");
        row("missing object", 128, "Missing", "");
        row("a Shader", 128, "Banner", "");
        row("a Shader before a texture of the same name", 128, "Twice", "");
        row("a Palette is no material: the texture after it", 128, "Shared", "yellow");
        row("a group", 128, "Icons", "");
        row("unsupported format", 128, "Old", "");
        row("empty path", 128, "", "");
        row("empty piece", 128, "Icons..Star", "");
    }
    void lookup() {
        QFETCH(int, version);
        QFETCH(QString, path);
        QFETCH(QString, colour);
        PackageBuilder builder(version);
        builder.setLowerCaseEngineNames(version == 127);
        const auto solid = [](const char* name) {
            QImage image(4, 4, QImage::Format_ARGB32);
            image.fill(QColor::fromString(QLatin1StringView(name)));
            return image;
        };
        builder.addObject(QStringLiteral("Banner"), QStringLiteral("Shader"));
        builder.addTexture(QStringLiteral("Logo"), solid("red"), Format::RGBA8);
        builder.addTexture(QStringLiteral("Icons.Star"), solid("lime"), Format::DXT1);
        builder.addTexture(QStringLiteral("Icons.Small.Star"), solid("blue"), Format::P8);
        builder.addObject(QStringLiteral("Twice"), QStringLiteral("Shader"));
        builder.addTexture(QStringLiteral("Twice"), solid("red"), Format::RGBA8);
        builder.addPalette(QStringLiteral("Shared"), {0xFFFF0000});
        builder.addTexture(QStringLiteral("Shared"), solid("yellow"), Format::DXT5);
        builder.addTexture(QStringLiteral("Old"), solid("red"), Format::RGBA7);
        // Through a real file, as the logo lookup reads it.
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("Logos.utx"));
        QVERIFY(fixtures::writeFile(file, builder.bytes()));
        const std::optional<QImage> image = readPackageTexture(file, path);
        QCOMPARE(image ? QColor(image->pixel(1, 1)).name() : QString(),
                 colour.isEmpty() ? QString() : QColor::fromString(colour).name());
        QVERIFY(!readPackageTexture(file + QStringLiteral(".missing"), path));
    }

    void cutAtEveryOffset() {
        const QByteArray whole =
            packageWithTexture(picture(), Format::P8, QStringLiteral("Group.Logo"), true);
        QVERIFY(read(whole, QStringLiteral("Group.Logo")));
        for (qsizetype size = 0; size < whole.size(); ++size)
            if (read(whole.first(size), QStringLiteral("Group.Logo")))
                QFAIL(qPrintable(QStringLiteral("an image from the first %1 bytes").arg(size)));
    }

    void corrupt_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("bytes");
        const auto int32 = [](qint32 value) {
            QByteArray bytes(4, '\0');
            qToLittleEndian(value, bytes.data());
            return bytes;
        };
        // field: the header field whose value is the base (-1: the file's start).
        QTest::newRow("not a package") << -1 << 0 << QByteArray("\xC1\x83\x2A\x9F", 4);
        QTest::newRow("version too old") << -1 << 4 << int32(61);
        for (const auto& [name, field] :
             {std::pair("names", int(NameCount)), std::pair("exports", int(ExportCount)),
              std::pair("imports", int(ImportCount))}) {
            const QByteArray tag(name);
            QTest::newRow(tag + " count negative") << -1 << field << int32(-1);
            QTest::newRow(tag + " count beyond the file") << -1 << field << int32(100000);
            QTest::newRow(tag + " count at the limit") << -1 << field << int32(0x7FFFFFFF);
            QTest::newRow(tag + " offset beyond the file") << -1 << field + 4 << int32(1 << 30);
            QTest::newRow(tag + " offset negative") << -1 << field + 4 << int32(-64);
        }
        QTest::newRow("over-long compact index")
            << int(ExportOffset) << 0 << QByteArray("\x7F\xFF\xFF\xFF\xFF\xFF\xFF\x7F");
        QTest::newRow("export class out of range") << int(ExportOffset) << 0 << QByteArray("\x3F");
        QTest::newRow("name reference out of range")
            << int(ExportOffset) << 6 << QByteArray("\x3F");
        // The group inside its own texture: the walk up the path must end.
        QTest::newRow("outer cycle") << int(ExportOffset) << 2 << int32(2);
    }
    void corrupt() {
        QFETCH(int, field);
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);
        const QString path = QStringLiteral("Group.Logo");
        QByteArray package = packageWithTexture(picture(), Format::DXT1, path);
        QVERIFY(read(package, path));
        const int base = field < 0 ? 0 : qFromLittleEndian<qint32>(package.constData() + field);
        package.replace(base + offset, bytes.size(), bytes);
        QVERIFY(!read(package, path));
    }

    void dimensions_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("declared");
        QTest::addColumn<bool>("decoded");
        QTest::newRow("widest") << QSize(4096, 1) << QSize() << true;
        QTest::newRow("too wide") << QSize(4097, 1) << QSize() << false;
        QTest::newRow("too high") << QSize(1, 4097) << QSize() << false;
        QTest::newRow("huge, claimed") << QSize(8, 8) << QSize(1 << 30, 1 << 30) << false;
        QTest::newRow("more than the data holds") << QSize(8, 8) << QSize(64, 64) << false;
        QTest::newRow("empty") << QSize(8, 8) << QSize(0, 8) << false;
    }
    void dimensions() {
        QFETCH(QSize, size);
        QFETCH(QSize, declared);
        QFETCH(bool, decoded);
        QImage source(size, QImage::Format_ARGB32);
        source.fill(Qt::gray);
        PackageBuilder builder;
        builder.addTexture(QStringLiteral("Logo"), source, Format::L8,
                           options(false, true, true, declared));
        const std::optional<QImage> image = read(builder.bytes());
        QCOMPARE(bool(image), decoded);
        if (image)
            QCOMPARE(image->size(), size);
    }
};

MODGATE_TEST_MAIN(PackagesTest)
#include "tst_packages.moc"
