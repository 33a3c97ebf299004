// SPDX-License-Identifier: GPL-3.0-or-later
// Peak memory of a mod search over a tree that holds a huge file named like a manifest:
// bench_bigmanifest [size in MiB, default 2048]
// The tree is made in a temporary folder, the huge file sparse (it takes no disk space). Prints
// each mod found and the process's peak resident memory (getrusage ru_maxrss) before and after
// the search. Goal: under 100 MiB for a 2 GiB file.

#include "catalogue/modsearch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <sys/resource.h>

namespace {

double peakResidentMiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

bool writeManifest(const QString& base, const QString& mod, const QByteArray& text, qint64 size) {
    QFile file(base + u'/' + mod + QStringLiteral("/System/ut2k4mod.ini"));
    return QDir(base).mkpath(mod + QStringLiteral("/System")) && file.open(QIODevice::WriteOnly) &&
           file.write(text) == text.size() && file.resize(qMax(size, qint64(text.size())));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const qint64 mebibytes = arguments.size() > 1 ? arguments.at(1).toLongLong() : 2048;
    QTextStream out(stdout);
    QTemporaryDir base;
    if (mebibytes <= 0 || !base.isValid() ||
        !writeManifest(base.path(), QStringLiteral("Huge"), "ModTitle=Huge\n", mebibytes << 20) ||
        !writeManifest(base.path(), QStringLiteral("Plain"), "ModTitle=Plain\n", 0)) {
        QTextStream(stderr) << "usage: bench_bigmanifest [size in MiB]; the tree must be "
                               "writable in the temporary folder\n";
        return EXIT_FAILURE;
    }

    const double before = peakResidentMiB();
    searchForModsInBasePath(base.path(), [&](const ModEntry& entry) {
        out << "found " << entry.launchName.value_or(QString()) << ", title "
            << entry.name.value_or(QStringLiteral("<absent>")) << "\n";
    });
    const double after = peakResidentMiB();
    out << "manifest of " << mebibytes << " MiB: peak RSS " << QString::number(after, 'f', 1)
        << " MiB (" << QString::number(before, 'f', 1) << " MiB before the search)\n";
    return after < 100 ? EXIT_SUCCESS : EXIT_FAILURE;
}
