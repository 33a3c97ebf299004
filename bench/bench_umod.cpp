// SPDX-License-Identifier: GPL-3.0-or-later
// Time of checking a large UMOD installer: bench_umod [MiB]
// Writes, in a temporary folder, an installer of 1 GiB (or the size given): its manifests and one
// entry of pseudo-random bytes. Prints, best of three warm runs (the file in the page cache), in
// wall-clock and processor time (the second tells less about other programs on the machine):
// the checksum alone over memory, readUmodArchive (read + checksum + directory), and
// UmodSource::open (the same through the file an install keeps open). Goal: the check well under
// a second.

#include "modinstall/umodsource.h"
#include "packages/umodarchive.h"
#include "packages/umodcrc.h"
#include "packagewriter/umodwriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <ctime>
#include <functional>
#include <limits>

namespace {

struct Seconds {
    double wall = std::numeric_limits<double>::max();
    double processor = std::numeric_limits<double>::max();
};

Seconds best(const std::function<bool()>& run) {
    Seconds best;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer timer;
        timer.start();
        const std::clock_t start = std::clock();
        if (!run())
            return {-1, -1};
        best.processor = std::min(best.processor, double(std::clock() - start) / CLOCKS_PER_SEC);
        best.wall = std::min(best.wall, double(timer.nsecsElapsed()) / 1e9);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const qint64 mebibytes = arguments.size() > 1 ? qMax(1, arguments.at(1).toInt()) : 1024;
    QTextStream out(stdout);

    QByteArray payload(qsizetype(mebibytes) << 20, Qt::Uninitialized);
    QRandomGenerator random(1);
    random.fillRange(reinterpret_cast<quint32*>(payload.data()), payload.size() / 4);
    const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Large.ut4mod"));
    {
        const QByteArray umod = packagewriter::umodBytes(
            packagewriter::withManifests({{QStringLiteral("Maps\\Large.ut2"), payload, 0}}));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(umod) != umod.size()) {
            QTextStream(stderr) << "bench_umod: cannot write the installer\n";
            return EXIT_FAILURE;
        }
    }
    const double gib = double(QFile(path).size()) / double(1 << 30);

    quint32 crc = 0;
    const Seconds memory = best([&] { return (crc = umodCrc(payload)), true; });
    const Seconds check = best([&] { return readUmodArchive(path).index() == 0; });
    const Seconds open = best([&] { return UmodSource::open(path).index() == 0; });
    const auto line = [&](const char* what, Seconds seconds) {
        out << what << ": " << QString::number(seconds.wall * 1000, 'f', 0) << " ms ("
            << QString::number(gib / seconds.wall, 'f', 2) << " GiB/s), processor "
            << QString::number(seconds.processor * 1000, 'f', 0) << " ms\n";
    };
    out << "installer: " << QString::number(gib, 'f', 3) << " GiB\n";
    line("checksum in memory", memory);
    line("readUmodArchive", check);
    line("UmodSource::open", open);
    return check.wall > 0 && open.wall > 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
