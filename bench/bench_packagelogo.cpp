// SPDX-License-Identifier: GPL-3.0-or-later
// Time and memory of reading a mod logo from a large texture package: bench_packagelogo
// Writes, in a temporary folder, a package of 64 MiB (256 textures of 256 KiB) whose logo, a
// 512x128 masked P8 texture with its palette, is the last export, and a second one whose last
// export is a 4096x4096 RGBA8 logo. Prints the warm time of readPackageTexture (median and
// slowest of 50 reads after one untimed read) and the peak memory of one read in a fresh child
// process: VmHWM of /proc/self/status after resetting it through /proc/self/clear_refs (where
// the kernel cannot reset it, the child's starting VmHWM is the baseline). Goals: at most 20 ms,
// and at most 8 MiB above the decoded image.

#include "packages/texturepackage.h"
#include "packagewriter/texturepackagewriter.h"
#include "peakmemory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <vector>

using namespace packagewriter;

namespace {

const QString logoPath = QStringLiteral("Menu.Logo");

// In the child: one read, then the growth of the peak, in KiB, and the image's own size.
int measureRead(const QString& package) {
    QFile reset(QStringLiteral("/proc/self/clear_refs"));
    if (reset.open(QIODevice::WriteOnly))
        reset.write("5");
    reset.close();
    const qint64 before = peakResidentKiB();
    const std::optional<QImage> image = readPackageTexture(package, logoPath);
    const qint64 after = peakResidentKiB();
    QTextStream(stdout) << (after - before) << ' ' << (image ? image->sizeInBytes() / 1024 : -1);
    return image ? EXIT_SUCCESS : EXIT_FAILURE;
}

QImage pattern(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgba((x * 7 + seed) & 0xFF, (y * 3) & 0xFF, (x ^ y) & 0xFF,
                            (x / 16 + y / 16) % 3 ? 255 : 0);
    }
    return image;
}

bool writePackage(const QString& file, const QImage& logo, Format format, int fillers) {
    PackageBuilder builder;
    const QImage filler = pattern(256, 256, 1);
    for (int i = 0; i < fillers; ++i)
        builder.addTexture(QStringLiteral("Filler.Texture%1").arg(i), filler, Format::RGBA8);
    TextureOptions options;
    options.masked = format == Format::P8;
    builder.addTexture(logoPath, logo, format, options);
    const QByteArray bytes = builder.bytes();
    QFile out(file);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

void report(QTextStream& out, const QString& what, const QString& file) {
    std::vector<double> times;
    if (!readPackageTexture(file, logoPath)) {
        out << what << ": no image\n";
        return;
    }
    for (int i = 0; i < 50; ++i) {
        QElapsedTimer timer;
        timer.start();
        readPackageTexture(file, logoPath);
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--read"), file});
    child.waitForFinished(-1);
    const QList<QByteArray> memory = child.readAllStandardOutput().split(' ');
    const qint64 growth = memory.value(0).toLongLong(), image = memory.value(1).toLongLong();
    out << what << " (" << QFile(file).size() / (1024 * 1024) << " MiB package): median "
        << QString::number(times[times.size() / 2], 'f', 2) << " ms, slowest "
        << QString::number(times.back(), 'f', 2) << " ms; peak memory of a read "
        << QString::number(growth / 1024.0, 'f', 2) << " MiB, of which the image "
        << QString::number(image / 1024.0, 'f', 2)
        << " MiB: " << QString::number((growth - image) / 1024.0, 'f', 2) << " MiB above it\n";
    out.flush();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 3 && arguments[1] == QStringLiteral("--read"))
        return measureRead(arguments[2]);
    QTextStream out(stdout);
    QTemporaryDir folder;
    const QString small = folder.filePath(QStringLiteral("Logo512.utx"));
    const QString large = folder.filePath(QStringLiteral("Logo4096.utx"));
    if (!folder.isValid() || !writePackage(small, pattern(512, 128, 2), Format::P8, 256) ||
        !writePackage(large, pattern(4096, 4096, 3), Format::RGBA8, 16)) {
        QTextStream(stderr) << "bench_packagelogo: cannot write the packages\n";
        return EXIT_FAILURE;
    }
    report(out, QStringLiteral("512x128 P8 logo, last of 257 exports"), small);
    report(out, QStringLiteral("4096x4096 RGBA8 logo, last of 17 exports"), large);
    return EXIT_SUCCESS;
}
