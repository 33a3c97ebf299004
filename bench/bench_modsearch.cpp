// SPDX-License-Identifier: GPL-3.0-or-later
// Times the mod search over a folder: modgate bench_modsearch <folder> [runs]
// Prints the manifests found and the best search time of the runs; with --count-entries also the
// number of entries and the time of the bare walk.
// Compare with: time find <folder> -iname ut2k4mod.ini

#include "catalogue/filewalk.h"
#include "catalogue/modsearch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <limits>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    QTextStream out(stdout);
    if (arguments.size() < 2) {
        QTextStream(stderr) << "usage: bench_modsearch <folder> [runs] [--count-entries]\n";
        return EXIT_FAILURE;
    }
    const QString folder = arguments.at(1);
    const int runs = arguments.size() > 2 ? qMax(1, arguments.at(2).toInt()) : 5;

    qint64 best = std::numeric_limits<qint64>::max();
    qsizetype manifests = 0;
    for (int run = 0; run < runs; ++run) {
        manifests = 0;
        QElapsedTimer timer;
        timer.start();
        searchForModsInBasePath(folder, [&](ModEntry) { ++manifests; });
        best = qMin(best, timer.nsecsElapsed());
    }
    out << "manifests: " << manifests << "\n";
    out << "walk: " << QString::number(double(best) / 1e6, 'f', 1) << " ms (best of " << runs
        << ")\n";

    if (arguments.contains(QStringLiteral("--count-entries"))) {
        // The bare walk, without name tests or manifest reading, for comparison.
        qint64 entries = 0;
        qint64 bestWalk = std::numeric_limits<qint64>::max();
        for (int run = 0; run < runs; ++run) {
            entries = 0;
            QElapsedTimer timer;
            timer.start();
            walkFileTree(QFile::encodeName(folder + u'/'),
                         [&](const FileWalkEntry&) { ++entries; });
            bestWalk = qMin(bestWalk, timer.nsecsElapsed());
        }
        out << "entries: " << entries << "\n";
        out << "bare walk: " << QString::number(double(bestWalk) / 1e6, 'f', 1) << " ms\n";
        if (entries > 0)
            out << "search per entry: " << QString::number(double(best) / double(entries), 'f', 1)
                << " ns\n";
    }
    return EXIT_SUCCESS;
}
