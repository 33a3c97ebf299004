// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/openinstallsource.h"

#include "modinstall/archivekind.h"
#include "modinstall/archivesource.h"
#include "modinstall/installnames.h"
#include "modinstall/umodsourcefactory.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A UMOD's offsets are 32-bit: nothing larger is one.
constexpr qint64 largestInstaller = qint64(5) << 30;

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The file's last bytes, when it is a regular file.
QByteArray tailOf(const QString& path, qsizetype size) {
    const int descriptor =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0)
        return {};
    QByteArray tail;
    struct stat status {};
    if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) && status.st_size >= size) {
        tail.resize(size);
        if (::pread(descriptor, tail.data(), size_t(size), status.st_size - size) != size)
            tail.clear();
    }
    ::close(descriptor);
    return tail;
}

class Descriptor {
public:
    explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
    ~Descriptor() {
        if (descriptor_ >= 0)
            ::close(descriptor_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return descriptor_; }
    int release() { return std::exchange(descriptor_, -1); }

private:
    int descriptor_;
};

bool writeAll(int descriptor, QByteArrayView bytes) {
    while (!bytes.isEmpty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), size_t(bytes.size()));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes = bytes.sliced(written);
    }
    return true;
}

} // namespace

QList<int> nestedInstallers(const QList<SourceEntry>& entries) {
    QList<int> installers;
    for (int i = 0; i < entries.size(); ++i) {
        const SourceEntry& entry = entries[i];
        if (entry.type != SourceEntryType::File)
            continue;
        const InstallName name = vetInstallName(entry.name);
        if (!name.isValid() || isJunkEntry(name.components))
            continue;
        const QString& file = name.components.last();
        // .urm is the UE2 Runtime's name for the same container: opened, it says which game
        // it is for, where left out the archive would seem to hold nothing at all.
        if (file.endsWith(u".umod", Qt::CaseInsensitive) ||
            file.endsWith(u".urm", Qt::CaseInsensitive) ||
            file.endsWith(u".ut2mod", Qt::CaseInsensitive) ||
            file.endsWith(u".ut4mod", Qt::CaseInsensitive))
            installers.append(i);
    }
    return installers;
}

QList<LeftOutEntry> leftOutBesideInstaller(const QList<SourceEntry>& entries, int installer) {
    QList<LeftOutEntry> leftOut;
    for (int i = 0; i < entries.size(); ++i) {
        const InstallName name = vetInstallName(entries[i].name);
        if (i == installer || entries[i].type == SourceEntryType::Directory ||
            (name.isValid() && isJunkEntry(name.components)))
            continue;
        leftOut.append({entries[i].name,
                        QStringLiteral("the archive's installer is installed instead"), -1, false});
    }
    return leftOut;
}

std::variant<QString, InstallRefusal>
copyEntryToFolder(InstallSource& source, int entry, const QString& folder, qint64 maximumBytes) {
    const SourceEntry& copied = source.entries().at(entry);
    const InstallName name = vetInstallName(copied.name);
    const QString baseName = name.isValid() ? name.components.last() : QStringLiteral("installer");

    QString path;
    int descriptor = -1;
    for (int attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
        path = folder + u'/' +
               (attempt == 0 ? baseName : QStringLiteral("%1-%2").arg(attempt).arg(baseName));
        descriptor = ::open(QFile::encodeName(path).constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (descriptor < 0 && errno != EEXIST)
            break;
    }
    if (descriptor < 0)
        return InstallRefusal{QStringLiteral("Cannot unpack %1 into %2: %3")
                                  .arg(displayedName(copied.name), folder, systemError(errno))};
    Descriptor file(descriptor);

    qint64 written = 0;
    std::optional<QString> writeFailure;
    EntryDataSink sink;
    sink.data = [&](int, QByteArrayView chunk) {
        written += chunk.size();
        if (written > maximumBytes) {
            writeFailure = QStringLiteral("%1 is larger than an installer can be")
                               .arg(displayedName(copied.name));
            return false;
        }
        if (!writeAll(file.get(), chunk)) {
            writeFailure = QStringLiteral("Cannot unpack %1 into %2: %3")
                               .arg(displayedName(copied.name), folder, systemError(errno));
            return false;
        }
        return true;
    };
    std::optional<QString> failure = source.read({entry}, sink);
    if (writeFailure)
        failure = writeFailure;
    if (!failure && ::close(file.release()) != 0)
        failure = QStringLiteral("Cannot unpack %1 into %2: %3")
                      .arg(displayedName(copied.name), folder, systemError(errno));
    if (failure) {
        ::unlink(QFile::encodeName(path).constData());
        return InstallRefusal{*failure};
    }
    return path;
}

std::variant<OpenedInstallSource, InstallRefusal> openInstallSource(const QString& path,
                                                                    const QString& scratchFolder) {
    auto umod = [](const QString& umodPath) -> std::variant<OpenedInstallSource, InstallRefusal> {
        std::variant<std::unique_ptr<InstallSource>, InstallRefusal> opened =
            openUmodSource(umodPath);
        if (InstallRefusal* refused = std::get_if<InstallRefusal>(&opened))
            return *refused;
        OpenedInstallSource result;
        result.source = std::move(std::get<std::unique_ptr<InstallSource>>(opened));
        result.kind = OpenedInstallSource::Kind::Umod;
        return result;
    };
    if (endsWithUmodTrailer(tailOf(path, 20)))
        return umod(path);

    std::variant<std::unique_ptr<ArchiveSource>, InstallRefusal> opened = ArchiveSource::open(path);
    if (InstallRefusal* refused = std::get_if<InstallRefusal>(&opened))
        return *refused;
    std::unique_ptr<ArchiveSource> archive =
        std::move(std::get<std::unique_ptr<ArchiveSource>>(opened));
    const QList<int> installers = nestedInstallers(archive->entries());
    if (installers.isEmpty()) {
        OpenedInstallSource result;
        result.source = std::move(archive);
        return result;
    }
    if (installers.size() > 1)
        return InstallRefusal{QStringLiteral("%1 holds %2 installers: install each on its own")
                                  .arg(archive->fileName())
                                  .arg(installers.size())};

    const int installer = installers.first();
    std::variant<QString, InstallRefusal> copied =
        copyEntryToFolder(*archive, installer, scratchFolder, largestInstaller);
    if (InstallRefusal* refused = std::get_if<InstallRefusal>(&copied))
        return *refused;
    const QString copy = std::get<QString>(copied);
    if (!endsWithUmodTrailer(tailOf(copy, 20))) {
        QFile::remove(copy);
        return InstallRefusal{
            QStringLiteral("%1: entry \"%2\" is not a UMOD installer")
                .arg(archive->fileName(), displayedName(archive->entries()[installer].name))};
    }
    std::variant<OpenedInstallSource, InstallRefusal> result = umod(copy);
    if (std::holds_alternative<InstallRefusal>(result))
        QFile::remove(copy);
    else if (OpenedInstallSource* opened = std::get_if<OpenedInstallSource>(&result)) {
        opened->extractedInstaller = copy;
        opened->leftOutOfArchive = leftOutBesideInstaller(archive->entries(), installer);
    }
    return result;
}
