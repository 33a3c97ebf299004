// SPDX-License-Identifier: GPL-3.0-or-later
// How long installing a large download takes against copying the same bytes with cp, and how much
// memory it needs. The download is one file whose entries lie end to end, read as a UMOD is (in
// 1 MiB pieces); a few large entries as in a UMOD, then 2,000 as in a zip of a big mod. The goal:
// at most 1.3 times cp (the install also flushes its files to disk once, as cp does not, so cp
// followed by sync is shown too), and at most 64 MiB above idle whatever the size.
// On a machine shared with other work the times wander; the processor time (user and system, all
// threads, or cp's) wanders less. MODGATE_BENCH_INSTALL_MIB sets the size (1024 by default).
#include "modinstall/installtransaction.h"
#include "peakmemory.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

// Entries of one file, end to end.
class SpanSource : public InstallSource {
public:
    SpanSource(const QString& path, int count, qint64 total) : path(path) {
        for (int i = 0; i < count; ++i)
            list.append({QStringLiteral("Mod/Folder%1/File%2.u").arg(i % 20).arg(i),
                         SourceEntryType::File, total / count});
    }
    QString fileName() const override { return QFileInfo(path).fileName(); }
    const QList<SourceEntry>& entries() const override { return list; }
    std::optional<QString> read(const QSet<int>& wanted, const EntryDataSink& sink) override {
        const int file = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        std::vector<char> buffer(std::size_t(1) << 20);
        qint64 offset = 0;
        for (int entry = 0; entry < list.size(); ++entry) {
            const qint64 size = list[entry].declaredSize;
            if (wanted.contains(entry)) {
                if (!sink.begin(entry))
                    return QStringLiteral("stopped");
                for (qint64 done = 0; done < size;) {
                    const ssize_t got =
                        ::pread(file, buffer.data(),
                                std::size_t(std::min<qint64>(qint64(buffer.size()), size - done)),
                                offset + done);
                    if (got <= 0 || !sink.data(entry, QByteArrayView(buffer.data(), got)))
                        return QStringLiteral("stopped");
                    done += got;
                }
                if (!sink.end(entry))
                    return QStringLiteral("stopped");
            }
            offset += size;
        }
        ::close(file);
        return std::nullopt;
    }

private:
    QString path;
    QList<SourceEntry> list;
};

double milliseconds(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

// Processor time used so far, in ms: by this process's threads, or by its finished children.
double processorTime(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// The best of the runs: wall clock and processor time.
struct Cost {
    double wall = 1e300;
    double processor = 1e300;
    void keep(const QElapsedTimer& timer, double processorBefore, int who) {
        wall = std::min(wall, milliseconds(timer));
        processor = std::min(processor, processorTime(who) - processorBefore);
    }
    QString text() const {
        return QStringLiteral("%1 (%2)").arg(wall, 0, 'f', 0).arg(processor, 0, 'f', 0);
    }
};

// Bytes that do not compress and are not sparse.
bool writeDownload(const QString& path, qint64 size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    std::vector<quint64> block((std::size_t(1) << 20) / sizeof(quint64));
    quint64 state = 0x2004;
    for (qint64 written = 0; written < size; written += qint64(block.size() * sizeof(quint64))) {
        for (quint64& word : block) {
            state ^= state << 13, state ^= state >> 7, state ^= state << 17;
            word = state;
        }
        file.write(reinterpret_cast<const char*>(block.data()),
                   qint64(block.size() * sizeof(quint64)));
    }
    return true;
}

// The same entries as loose files, for cp to copy.
void writeLooseFiles(const QString& download, const SpanSource& source, const QString& folder) {
    QFile in(download);
    in.open(QIODevice::ReadOnly);
    for (const SourceEntry& entry : source.entries()) {
        QDir().mkpath(QFileInfo(folder + u'/' + entry.name).path());
        QFile out(folder + u'/' + entry.name);
        out.open(QIODevice::WriteOnly);
        out.write(in.read(entry.declaredSize));
    }
}

} // namespace

int main() {
    const qint64 mebibytes = qEnvironmentVariableIsSet("MODGATE_BENCH_INSTALL_MIB")
                                 ? qEnvironmentVariableIntValue("MODGATE_BENCH_INSTALL_MIB")
                                 : 1024;
    const qint64 total = mebibytes << 20;
    const QTemporaryDir work(QDir::currentPath() + QStringLiteral("/bench-install-XXXXXX"));
    const QString download = work.path() + QStringLiteral("/download.umod");
    if (!work.isValid() || !writeDownload(download, total)) {
        std::fputs("cannot write the download\n", stderr);
        return 1;
    }
    std::printf("%lld MiB; in ms, best of 3: wall clock (processor)\n",
                static_cast<long long>(mebibytes));
    std::printf("%-8s %12s %12s %12s %16s %6s %12s\n", "entries", "cp", "cp + sync", "install",
                "+ its checksum", "ratio", "memory (MiB)");
    for (const int count : {16, 2000}) {
        SpanSource source(download, count, total);
        const QString loose = work.path() + QStringLiteral("/loose");
        const bool single = count == 16;
        if (!single)
            writeLooseFiles(download, source, loose);
        const QString copied = work.path() + QStringLiteral("/copied");
        const QStringList copy = single ? QStringList{download, copied}
                                        : QStringList{QStringLiteral("-r"), loose, copied};
        InstallPlan plan;
        plan.name = QStringLiteral("Bench%1").arg(count);
        for (int entry = 0; entry < count; ++entry)
            plan.files.append({entry, source.entries()[entry].name,
                               source.entries()[entry].declaredSize, PlannedFile::Action::New});
        Cost cp, cpSync, install, hashed;
        qint64 memory = 0;
        QElapsedTimer timer;
        for (int round = 0; round < 3; ++round) {
            for (Cost* cost : {&cp, &cpSync}) {
                const double before = processorTime(RUSAGE_CHILDREN);
                timer.start();
                QProcess::execute(QStringLiteral("cp"), copy);
                if (cost == &cpSync)
                    QProcess::execute(QStringLiteral("sync"), {QStringLiteral("-f"), copied});
                cost->keep(timer, before, RUSAGE_CHILDREN);
                QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), copied});
            }
            for (Cost* cost : {&install, &hashed}) {
                const QString game = work.path() + QStringLiteral("/game");
                QDir().mkpath(game);
                InstallOptions options;
                options.recordsFolder = work.path() + QStringLiteral("/records");
                if (cost == &hashed)
                    options.sourceDigest = std::make_shared<SourceDigest>(download);
                const qint64 idle = peakResidentKiB();
                const double before = processorTime(RUSAGE_SELF);
                timer.start();
                const auto result = installMod(game, source, plan, options);
                cost->keep(timer, before, RUSAGE_SELF);
                memory = std::max(memory, peakResidentKiB() - idle);
                if (std::holds_alternative<InstallRefusal>(result)) {
                    std::fprintf(stderr, "install failed: %s\n",
                                 qPrintable(std::get<InstallRefusal>(result).reason));
                    return 1;
                }
                QDir(game).removeRecursively();
            }
        }
        QDir(loose).removeRecursively();
        std::printf("%-8d %12s %12s %12s %16s %6.2f %12.1f\n", count, qPrintable(cp.text()),
                    qPrintable(cpSync.text()), qPrintable(install.text()),
                    qPrintable(hashed.text()), hashed.wall / cpSync.wall, double(memory) / 1024);
    }
    return 0;
}
