// SPDX-License-Identifier: GPL-3.0-or-later
// How fast a chatty game runs under Modgate, and what its output costs Modgate in memory:
// bench_gameoutput <sample game> [MiB, default 1024]
// The sample game writes that many MiB of log lines to its standard output: straight into
// /dev/null, through a pipe to cat (the least any reader costs), and through the launch's game run
// (read, passed on to /dev/null and its tail kept) on a worker thread. Prints the wall times
// and Modgate's peak resident memory (getrusage ru_maxrss) before and after. Goal: the pipe's
// speed, and peak memory flat, whatever the size.

#include "app/game/gamerun.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTextStream>
#include <sys/resource.h>
#include <thread>

using namespace std::chrono_literals;

namespace {

double peakResidentMiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    QTextStream out(stdout);
    if (arguments.size() < 2) {
        out << "usage: bench_gameoutput <sample game> [MiB]\n";
        return 2;
    }
    const QString game = arguments.at(1);
    const qint64 mebibytes = arguments.size() > 2 ? arguments.at(2).toLongLong() : 1024;
    qputenv("MODGATE_SAMPLE_GAME_END", "output:" + QByteArray::number(mebibytes));
    qputenv("MODGATE_SAMPLE_GAME_QUIT_AFTER_MS", "0");
    qputenv("QT_QPA_PLATFORM", "offscreen");

    QElapsedTimer clock;
    clock.start();
    QProcess alone;
    alone.setStandardOutputFile(QProcess::nullDevice());
    alone.setStandardErrorFile(QProcess::nullDevice());
    alone.start(game, {});
    alone.waitForFinished(-1);
    const qint64 aloneMs = clock.elapsed();

    // The least a pipe costs: the game's output read by cat into /dev/null.
    clock.restart();
    QProcess piped, cat;
    piped.setStandardOutputProcess(&cat);
    piped.setStandardErrorFile(QProcess::nullDevice());
    cat.setStandardOutputFile(QProcess::nullDevice());
    cat.start(QStringLiteral("cat"), {});
    piped.start(game, {});
    piped.waitForFinished(-1);
    cat.waitForFinished(-1);
    const qint64 pipedMs = clock.elapsed();

    const double before = peakResidentMiB();
    QFile sink(QStringLiteral("/dev/null"));
    if (!sink.open(QIODevice::WriteOnly))
        return 1;
    GameRun run;
    clock.restart();
    std::thread worker([&] {
        run = runGame({game, QStringLiteral("/tmp"), {}}, {}, 0ms, [] {},
                      {sink.handle(), sink.handle()});
    });
    worker.join();
    const qint64 underModgateMs = clock.elapsed();

    out << "game writing " << mebibytes << " MiB: into /dev/null " << aloneMs
        << " ms, through a pipe to cat " << pipedMs << " ms, under Modgate " << underModgateMs
        << " ms (" << double(underModgateMs) / double(std::max<qint64>(pipedMs, 1))
        << "x the pipe's)\n"
        << "peak resident memory: " << before << " MiB before, " << peakResidentMiB()
        << " MiB after; tail kept: " << run.output.size() << " characters\n";
    return run.exit.code == 0 && !run.exit.bySignal ? 0 : 1;
}
