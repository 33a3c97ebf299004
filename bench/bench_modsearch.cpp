// Times the mod search over a folder: modgate bench_modsearch <folder> [runs]
// Prints the manifests found, the entries below the folder and the best walk time of the runs.
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
        qint64 entries = 0;
        walkFileTree(QFile::encodeName(folder + u'/'), [&](const FileWalkEntry&) { ++entries; });
        out << "entries: " << entries << "\n";
        if (entries > 0)
            out << "per entry: " << QString::number(double(best) / double(entries), 'f', 1)
                << " ns\n";
    }
    return EXIT_SUCCESS;
}
