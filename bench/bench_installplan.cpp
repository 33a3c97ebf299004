// SPDX-License-Identifier: GPL-3.0-or-later
// Times working out an install of 65,536 entries: listing them from a zip, placing them, reading
// what they touch of a game folder on disk and planning against it. Goal: planning well under
// 1 s.
//   bench_installplan [runs]

#include "modinstall/archiveplacement.h"
#include "modinstall/archivesource.h"
#include "modinstall/gamefoldersnapshot.h"
#include "modinstall/installplanner.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <archive.h>
#include <archive_entry.h>
#include <ctime>
#include <functional>
#include <limits>

namespace {

constexpr int entryCount = 65536;

// Half a mod folder spread over 512 folders, half loose packages for the game's own folders,
// a few of them already on disk under another letter case.
QStringList entryNames() {
    QStringList names = {QStringLiteral("BigMod/UT2K4Mod.ini")};
    const char* const folders[] = {"Maps", "textures", "Sounds", "System"};
    const char* const extensions[] = {"ut2", "utx", "uax", "u"};
    for (int i = 1; i < entryCount; ++i) {
        if (i % 2 == 0)
            names.append(QStringLiteral("BigMod/Part%1/File%2.utx").arg(i % 512).arg(i));
        else
            names.append(
                QStringLiteral("%1/Pack%2.%3").arg(folders[i % 4]).arg(i).arg(extensions[i % 4]));
    }
    return names;
}

void layOutGame(const QString& root) {
    for (const char* folder : {"System", "Textures", "Maps", "Sounds", "BigMod/Part7"})
        QDir().mkpath(root + u'/' + QLatin1String(folder));
    // A game's System folder holds about two thousand files.
    for (int i = 0; i < 2000; ++i) {
        QFile file(root + QStringLiteral("/System/stock%1.u").arg(i));
        file.open(QIODevice::WriteOnly);
    }
    for (int i = 3; i < 4000; i += 4) {
        QFile file(root + QStringLiteral("/System/PACK%1.U").arg(i));
        file.open(QIODevice::WriteOnly);
        file.write("x");
    }
}

struct WriterFree {
    void operator()(archive* writer) const { archive_write_free(writer); }
};

bool writeZip(const QString& path, const QStringList& names) {
    std::unique_ptr<archive, WriterFree> writer(archive_write_new());
    archive_write_set_format_zip(writer.get());
    archive_write_set_options(writer.get(), "zip:compression=store");
    if (archive_write_open_filename(writer.get(), QFile::encodeName(path).constData()) !=
        ARCHIVE_OK)
        return false;
    archive_entry* entry = archive_entry_new();
    for (const QString& name : names) {
        archive_entry_clear(entry);
        archive_entry_set_pathname(entry, name.toUtf8().constData());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, 4);
        archive_write_header(writer.get(), entry);
        archive_write_data(writer.get(), "data", 4);
    }
    archive_entry_free(entry);
    return archive_write_close(writer.get()) == ARCHIVE_OK;
}

qint64 cpuNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The best of the runs' times, in milliseconds: on the clock, and on the processor (what the
// work itself took, whatever else the machine was doing).
struct Timing {
    double wall = std::numeric_limits<double>::max();
    double cpu = std::numeric_limits<double>::max();
};

Timing bestOf(int runs, const std::function<void()>& work) {
    Timing best;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const qint64 cpuStart = cpuNanoseconds();
        work();
        best.cpu = qMin(best.cpu, double(cpuNanoseconds() - cpuStart) / 1e6);
        best.wall = qMin(best.wall, double(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? qMax(1, QString::fromLocal8Bit(argv[1]).toInt()) : 5;
    QTextStream out(stdout);
    QTemporaryDir folder;
    const QString game = folder.filePath(QStringLiteral("game"));
    layOutGame(game);
    const QStringList names = entryNames();
    const QString zip = folder.filePath(QStringLiteral("Big.zip"));
    if (!writeZip(zip, names)) {
        QTextStream(stderr) << "could not write " << zip << "\n";
        return EXIT_FAILURE;
    }

    QList<SourceEntry> entries;
    const Timing listing = bestOf(runs, [&] {
        auto opened = ArchiveSource::open(zip);
        if (auto* source = std::get_if<std::unique_ptr<ArchiveSource>>(&opened))
            entries = (*source)->entries();
    });
    if (entries.size() != entryCount) {
        QTextStream(stderr) << "the zip lists " << entries.size() << " entries\n";
        return EXIT_FAILURE;
    }

    InstallPlacement placement;
    const Timing placing = bestOf(runs, [&] {
        placement =
            std::get<InstallPlacement>(placeArchiveEntries(entries, QStringLiteral("Big.zip")));
    });
    QStringList destinations;
    for (const auto& file : placement.files)
        destinations.append(file.second);

    GameFolderSnapshot disk;
    const Timing reading = bestOf(runs, [&] {
        disk = std::get<GameFolderSnapshot>(readGameFolderSnapshot(game, destinations));
    });

    InstallPlan plan;
    const Timing planning = bestOf(runs, [&] {
        plan =
            std::get<InstallPlan>(planInstall(placement, entries, QStringLiteral("Big.zip"), disk));
    });

    auto figure = [](const Timing& timing) {
        return QStringLiteral("%1 ms (processor: %2 ms)")
            .arg(QString::number(timing.wall, 'f', 1), QString::number(timing.cpu, 'f', 1));
    };
    out << "entries: " << entryCount << " (" << plan.files.size() << " planned, "
        << plan.replacements() << " replacing, " << plan.newFolders.size() << " new folders)\n";
    out << "listing the zip: " << figure(listing) << "\n";
    out << "placing: " << figure(placing) << "\n";
    out << "reading the game folder: " << figure(reading) << "\n";
    out << "planning: " << figure(planning) << "\n";
    const Timing total{placing.wall + reading.wall + planning.wall,
                       placing.cpu + reading.cpu + planning.cpu};
    out << "placing, reading and planning: " << figure(total) << ", best of " << runs
        << "; goal: well under 1000 ms\n";
    return total.wall < 1000 ? EXIT_SUCCESS : EXIT_FAILURE;
}
