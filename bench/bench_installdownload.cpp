// SPDX-License-Identifier: GPL-3.0-or-later
// A real download installed by the real program, against the tools a player would otherwise use
// on the same file system: a zip of 2,000 files (deflate) against `bsdtar -xf`, and a UMOD
// against `cp` of the same file. `modgate --install` is timed whole (start, reading, checksums,
// staging, moving into place, the record); the goals are at most 1.3 times the tool, and at most
// 64 MiB of memory above an idle `modgate --installed`. The size in MiB is the first argument
// (1024 by default); everything is written below the current folder, and left there when the
// second argument is "keep".
#include "packagewriter/umodwriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <cstdio>

namespace {

// Text-like bytes: deflate gets them to about three quarters, as it does packages.
QByteArray payload(qint64 size, quint64 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    quint64 state = seed * 0x9E3779B97F4A7C15ull + 1;
    for (char& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        byte = char('A' + (state & 0x3F));
    }
    return bytes;
}

const QByteArray manifest = "[MOD]\r\nModTitle=Bench Mod\r\n";

bool writeZip(const QString& path, qint64 total, int count) {
    archive* zip = archive_write_new();
    archive_write_set_format_zip(zip);
    bool written = archive_write_open_filename(zip, QFile::encodeName(path).constData()) == 0;
    const auto add = [&](const QString& name, const QByteArray& bytes) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname_utf8(entry, name.toUtf8().constData());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, bytes.size());
        written = written && archive_write_header(zip, entry) == 0 &&
                  archive_write_data(zip, bytes.constData(), size_t(bytes.size())) == bytes.size();
        archive_entry_free(entry);
    };
    add(QStringLiteral("BenchMod/UT2K4Mod.ini"), manifest);
    for (int i = 0; i < count && written; ++i)
        add(QStringLiteral("BenchMod/Folder%1/File%2.u").arg(i % 20).arg(i),
            payload(total / count, quint64(i)));
    written = archive_write_close(zip) == 0 && written;
    archive_write_free(zip);
    return written;
}

bool writeUmod(const QString& path, qint64 total, int count) {
    QList<packagewriter::UmodFile> files{{QStringLiteral("BenchMod\\UT2K4Mod.ini"), manifest}};
    for (int i = 0; i < count; ++i)
        files.append({QStringLiteral("BenchMod\\System\\File%1.u").arg(i),
                      payload(total / count, quint64(i))});
    QFile file(path);
    const QByteArray bytes = packagewriter::umodBytes(packagewriter::withManifests(files));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

struct Run {
    qint64 milliseconds = -1;
    bool ok = false;
    qint64 peakKiB = 0;
};

// The child's peak resident size so far (VmHWM), while it runs.
qint64 peakKiBOf(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

Run timed(const QString& program, QStringList arguments, const QProcessEnvironment& env,
          const QStringList& more = {}) {
    arguments += more;
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    qint64 peak = 0;
    // Polled while it runs: the peak is read before the process is gone.
    while (!process.waitForFinished(5))
        peak = std::max(peak, peakKiBOf(process.processId()));
    const bool ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return {timer.elapsed(), ok, peak};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const qint64 mebibytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1024;
    const QString modgate = QCoreApplication::applicationDirPath() + QStringLiteral("/../modgate");
    QTemporaryDir work(QDir::currentPath() + QStringLiteral("/bench-download-XXXXXX"));
    // "keep" as the second argument leaves the downloads behind for a profiler.
    work.setAutoRemove(argc <= 2 || QByteArray(argv[2]) != "keep");
    const QString home = work.filePath(QStringLiteral("home"));
    QDir().mkpath(home);
    QFile::setPermissions(home, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
    env.remove(QStringLiteral("DISPLAY"));

    const QString zip = work.filePath(QStringLiteral("BenchMod.zip"));
    const QString umod = work.filePath(QStringLiteral("BenchMod.ut4mod"));
    if (!writeZip(zip, mebibytes << 20, 2000) || !writeUmod(umod, mebibytes << 20, 64)) {
        std::fputs("cannot write the downloads\n", stderr);
        return 1;
    }
    // A dedicated server's folder is a copy the command line takes.
    const QString game = work.filePath(QStringLiteral("game"));
    const QString elsewhere = work.filePath(QStringLiteral("tool"));
    const auto fresh = [&] {
        QDir(game).removeRecursively();
        QDir(elsewhere).removeRecursively();
        QDir(home + QStringLiteral("/.local/share/Modgate")).removeRecursively();
        QDir().mkpath(game + QStringLiteral("/System"));
        QDir().mkpath(elsewhere);
        QFile server(game + QStringLiteral("/System/ucc-bin"));
        server.open(QIODevice::WriteOnly);
    };
    fresh();
    const qint64 idle =
        timed(modgate, {QStringLiteral("--installed"), QStringLiteral("--game"), game}, env)
            .peakKiB;
    qint64 peak = 0;

    std::printf("%lld MiB, best of 3, whole processes on one file system\n",
                static_cast<long long>(mebibytes));
    struct Case {
        const char* what;
        QString download;
        QString tool;
        QStringList toolArguments;
    };
    const QList<Case> cases{{"zip, 2,000 files",
                             zip,
                             QStringLiteral("bsdtar"),
                             {QStringLiteral("-xf"), zip, QStringLiteral("-C"), elsewhere}},
                            {"UMOD, 64 files", umod, QStringLiteral("cp"), {umod, elsewhere}}};
    // Every run starts on a clean file system: a flush must not pay for the run before it. The
    // tool is also timed with a `sync -f` after it, which is what the install's one flush is.
    const auto settled = [] { QProcess::execute(QStringLiteral("sync"), {}); };
    for (const Case& one : cases) {
        qint64 tool = -1, durable = -1, install = -1;
        bool ok = true;
        const auto keepBest = [](qint64& best, const Run& run) {
            best = best < 0 ? run.milliseconds : std::min(best, run.milliseconds);
        };
        for (int round = 0; round < 3; ++round) {
            fresh();
            settled();
            const Run byTool = timed(one.tool, one.toolArguments, env);
            fresh();
            settled();
            const Run bySyncedTool =
                timed(QStringLiteral("sh"),
                      {QStringLiteral("-c"),
                       QStringLiteral("\"$0\" \"$@\" && sync -f \"%1\"").arg(elsewhere), one.tool},
                      env, one.toolArguments);
            fresh();
            settled();
            const Run byModgate = timed(
                modgate,
                {QStringLiteral("--install"), one.download, QStringLiteral("--game"), game}, env);
            ok = ok && byTool.ok && bySyncedTool.ok && byModgate.ok;
            peak = std::max(peak, byModgate.peakKiB);
            keepBest(tool, byTool);
            keepBest(durable, bySyncedTool);
            keepBest(install, byModgate);
        }
        std::printf("%-18s %s %lld ms (then sync: %lld ms), modgate --install %lld ms: %.2fx "
                    "(goal 1.3x), %.2fx of the synced tool%s\n",
                    one.what, qPrintable(one.tool), static_cast<long long>(tool),
                    static_cast<long long>(durable), static_cast<long long>(install),
                    double(install) / double(tool), double(install) / double(durable),
                    ok ? "" : "  FAILED");
    }
    // What no install that records the download's SHA-256 can go below.
    qint64 digest = -1;
    for (int round = 0; round < 3; ++round) {
        const Run run = timed(QStringLiteral("openssl"),
                              {QStringLiteral("dgst"), QStringLiteral("-sha256"), umod}, env);
        digest = digest < 0 ? run.milliseconds : std::min(digest, run.milliseconds);
    }
    std::printf("the UMOD's SHA-256 alone (openssl dgst -sha256): %lld ms\n",
                static_cast<long long>(digest));
    std::printf("peak memory of an install %.1f MiB above an idle modgate (goal 64 MiB)\n",
                double(peak - idle) / 1024.0);
    return 0;
}
