// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/installtransaction.h"

#include "modinstall/installjournal.h"
#include "modinstall/installpaths.h"
#include "modinstall/stagingwriter.h"
#include "support/desktoptrash.h"
#include "support/sha256.h"
#include "support/threadhandover.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QLocale>
#include <QRandomGenerator>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const QByteArray journalName = QByteArrayLiteral("journal");
const QByteArray stagedRecordName = QByteArrayLiteral("record.json");
// Readmes are staged under slots of their own, after every file's.
constexpr int readmeSlots = 1 << 20;
constexpr qint64 progressStep = qint64(1) << 20;
constexpr qint64 maxJournalBytes = qint64(64) << 20;

QString number(qint64 value) {
    return QLocale(QLocale::English).toString(value);
}

QString cannotWrite(const QString& folder, int error) {
    return QStringLiteral("Modgate cannot write to %1: %2").arg(folder, systemErrorText(error));
}

QString cancelled() {
    return QStringLiteral("the install was cancelled");
}

QByteArray stagedName(int slot) {
    return slot >= readmeSlots ? 'r' + QByteArray::number(slot - readmeSlots)
                               : 'f' + QByteArray::number(slot);
}

bool wantsWriting(const PlannedFile& file) {
    return file.action == PlannedFile::Action::New || file.action == PlannedFile::Action::Replace;
}

QList<const LeftOutEntry*> keptReadmes(const InstallPlan& plan) {
    QList<const LeftOutEntry*> readmes;
    for (const LeftOutEntry& entry : plan.leftOut)
        if (entry.keepWithRecord)
            readmes.append(&entry);
    return readmes;
}

// A readme's name beside the record: its own name in the download, made a safe file name, and
// told apart from the others'.
QString readmeFileName(const QString& entryName, const QStringList& taken) {
    QString name = QString(entryName).replace(u'\\', u'/').section(u'/', -1);
    for (QChar& c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u'_';
    if (name.isEmpty() || name.startsWith(u'.'))
        name.prepend(u'_');
    QString unique = name;
    for (int n = 2; taken.contains(unique, Qt::CaseInsensitive); ++n)
        unique = QStringLiteral("%1 (%2)").arg(name).arg(n);
    return unique;
}

QByteArray readAtMost(int folder, const QByteArray& name, qint64 maxBytes) {
    const FileDescriptor file(
        ::openat(folder, name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    QByteArray bytes;
    if (!file.isOpen())
        return bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || bytes.size() + got > maxBytes)
            return bytes;
        bytes.append(buffer, got);
    }
}

// Copies a file out of the staging folder, a piece at a time.
bool copyOut(int folder, const QByteArray& name, const QString& path) {
    const FileDescriptor in(::openat(folder, name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    QFile out(path);
    if (!in.isOpen() || !out.open(QIODevice::WriteOnly))
        return false;
    std::vector<char> buffer(std::size_t(1) << 20);
    for (;;) {
        const ssize_t got = ::read(in.get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;
        if (out.write(buffer.data(), got) != got)
            return false;
    }
}

bool writeNewFile(int folder, const QByteArray& name, const QByteArray& bytes) {
    FileDescriptor file(::openat(folder, name.constData(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    return file.isOpen() && writeAll(file.get(), bytes.constData(), bytes.size()) &&
           ::fdatasync(file.get()) == 0 && file.close() == 0;
}

// Writes a committed install's record, staged with it, where records are kept, and its readmes
// beside it.
std::optional<QString> publishRecord(int staging, const QString& recordFile) {
    const auto record = parseRecord(readAtMost(staging, stagedRecordName, qint64(64) << 20));
    if (!record)
        return QStringLiteral("the record of the install was lost");
    const QString folder = QFileInfo(recordFile).path();
    if (recordPath(folder, record->name, record->gameFolder) != recordFile)
        return QStringLiteral("the record of the install was lost");
    const QString readmes = readmesFolderOf(recordFile);
    QDir(readmes).removeRecursively();
    for (qsizetype i = 0; i < record->readmes.size(); ++i)
        if (!QDir().mkpath(readmes) || !copyOut(staging, stagedName(readmeSlots + int(i)),
                                                readmes + u'/' + record->readmes[i].fileName))
            return QStringLiteral("cannot keep the readme %1 in %2")
                .arg(record->readmes[i].entry, readmes);
    return writeRecord(folder, *record);
}

class Transaction {
public:
    Transaction(const QString& gamePath, InstallSource& source, const InstallOptions& options)
        : gamePath(gamePath), source(source), options(options) {}
    ~Transaction() { rollBack(); }

    std::variant<InstallRecord, InstallRefusal> run(const InstallPlan& given);
    QStringList rollBack();

private:
    bool isCancelled() const { return options.cancel && options.cancel->load(); }
    std::optional<QString> checkPlan(const InstallPlan& plan) const;
    std::optional<QString> checkFolders(const InstallPlan& plan);
    std::optional<QString> createStaging();
    std::optional<QString> checkDestinations(const InstallPlan& plan);
    std::optional<QString> stage(const InstallPlan& plan);
    std::optional<QString> writeFailure(const InstallPlan& plan, const StagingWriter& writer) const;
    std::optional<QString> commit();
    std::optional<QString> takeStep(JournalStep& step);
    InstallRecord recordOf(const InstallPlan& plan, const QString& sourceSha256) const;

    const QString gamePath;
    InstallSource& source;
    const InstallOptions& options;
    FileDescriptor game;
    FileDescriptor staging;
    QString stagingPath;
    FileDescriptor journal;
    QStringList newFolders;
    QList<JournalStep> steps;
    qsizetype stepsTaken = 0;
    bool committed = false;
    QHash<int, StagedFile> staged;
};

std::variant<InstallRecord, InstallRefusal> Transaction::run(const InstallPlan& given) {
    InstallPlan plan = given;
    if (auto why = checkPlan(plan))
        return InstallRefusal{*why};
    game = openFolder(gamePath);
    if (!game.isOpen())
        return InstallRefusal{
            QStringLiteral("Modgate cannot open %1: %2").arg(gamePath, systemErrorText(errno))};
    // Before anything is read: a folder Modgate cannot write to is refused at once.
    if (::faccessat(game.get(), ".", W_OK | X_OK, AT_EACCESS) != 0)
        return InstallRefusal{cannotWrite(gamePath, errno)};
    if (auto why = checkFolders(plan))
        return InstallRefusal{*why};
    // The record must be written once the files are in: where it goes is checked first too.
    QDir().mkpath(options.recordsFolder);
    if (::access(QFile::encodeName(options.recordsFolder).constData(), W_OK | X_OK) != 0)
        return InstallRefusal{cannotWrite(options.recordsFolder, errno)};
    if (auto why = createStaging())
        return InstallRefusal{*why};

    const bool compares = std::any_of(plan.files.cbegin(), plan.files.cend(), [](const auto& file) {
        return file.action == PlannedFile::Action::Compare;
    });
    if (compares) {
        auto resolved = resolveComparisons(gamePath, source, plan, options.cancel);
        if (auto* refusal = std::get_if<InstallRefusal>(&resolved))
            return *refusal;
        plan = std::get<InstallPlan>(std::move(resolved));
    }
    if (auto why = checkDestinations(plan))
        return InstallRefusal{*why};
    if (auto why = stage(plan))
        return InstallRefusal{*why};
    if (isCancelled())
        return InstallRefusal{cancelled()};
    if (auto why = commit())
        return InstallRefusal{*why};

    InstallRecord record =
        recordOf(plan, options.sourceDigest ? options.sourceDigest->wait() : QString());
    if (auto previous = readRecord(options.recordsFolder, record.name, gamePath))
        record = mergeReinstall(*previous, record);
    const QString recordFile = recordPath(options.recordsFolder, record.name, record.gameFolder);
    const QByteArray line = committedLine(recordFile);
    if (!writeNewFile(staging.get(), stagedRecordName, recordJson(record)) ||
        !writeAll(journal.get(), line.constData(), line.size()) || ::fdatasync(journal.get()) != 0)
        return InstallRefusal{cannotWrite(stagingPath, errno)};
    committed = true;
    // Installed: a record that cannot be written now is written by the next recovery.
    if (const auto why = publishRecord(staging.get(), recordFile)) {
        qWarning("The record of %s is not written yet: %s", qPrintable(record.name),
                 qPrintable(*why));
        return record;
    }
    journal.close();
    staging.close();
    QDir(stagingPath).removeRecursively();
    return record;
}

std::optional<QString> Transaction::checkPlan(const InstallPlan& plan) const {
    const QList<SourceEntry>& entries = source.entries();
    const qsizetype count = plan.files.size() + keptReadmes(plan).size();
    if (count > options.limits.maxEntries)
        return QStringLiteral("it holds more than %1 files").arg(number(options.limits.maxEntries));
    if (plan.name.isEmpty())
        return QStringLiteral("the install has no name");
    QSet<QString> destinations;
    QSet<int> used;
    const auto usable = [&](int entry) -> std::optional<QString> {
        if (entry < 0 || entry >= entries.size() || entries[entry].type != SourceEntryType::File ||
            used.contains(entry))
            return QStringLiteral("the plan does not match the download");
        used.insert(entry);
        if (entries[entry].encrypted)
            return QStringLiteral("%1 is encrypted").arg(entries[entry].name);
        return std::nullopt;
    };
    for (const PlannedFile& file : plan.files) {
        const QString folded = file.destination.toCaseFolded();
        if (!isSafeRelativePath(file.destination) ||
            file.destination.startsWith(stagingFolderPrefix) || destinations.contains(folded))
            return QStringLiteral("the plan names %1 badly or twice").arg(file.destination);
        destinations.insert(folded);
        if (file.action != PlannedFile::Action::Identical)
            if (auto why = usable(file.entry))
                return why;
    }
    for (const LeftOutEntry* readme : keptReadmes(plan))
        if (auto why = usable(readme->entry))
            return why;
    return std::nullopt;
}

// The folders on the way to each file: real folders Modgate may write in, or missing ones it
// creates (parents first).
std::optional<QString> Transaction::checkFolders(const InstallPlan& plan) {
    QHash<QString, bool> exists{{QString(), true}};
    QSet<QString> parents;
    for (const PlannedFile& file : plan.files) {
        if (file.action == PlannedFile::Action::Identical)
            continue;
        const QStringList components = file.destination.split(u'/');
        QString folder;
        for (qsizetype i = 0; i + 1 < components.size(); ++i) {
            const QString parent = folder;
            folder += (folder.isEmpty() ? QString() : QStringLiteral("/")) + components[i];
            if (exists.contains(folder))
                continue;
            struct stat status {};
            if (::fstatat(game.get(), QFile::encodeName(folder).constData(), &status,
                          AT_SYMLINK_NOFOLLOW) == 0) {
                if (S_ISLNK(status.st_mode))
                    return QStringLiteral(
                               "%1 is a link, and Modgate installs into real folders only")
                        .arg(folder);
                if (!S_ISDIR(status.st_mode))
                    return QStringLiteral("%1 is in the way: it is not a folder").arg(folder);
                exists.insert(folder, true);
            } else if (errno == ENOENT || errno == ENOTDIR) {
                exists.insert(folder, false);
                newFolders.append(folder);
                parents.insert(parent);
            } else {
                return QStringLiteral("Modgate cannot read %1: %2")
                    .arg(belowFolder(gamePath, folder), systemErrorText(errno));
            }
        }
        parents.insert(folder);
    }
    for (const QString& parent : parents)
        if (exists.value(parent) && !parent.isEmpty() &&
            ::faccessat(game.get(), QFile::encodeName(parent).constData(), W_OK | X_OK,
                        AT_EACCESS) != 0)
            return cannotWrite(belowFolder(gamePath, parent), errno);
    return std::nullopt;
}

std::optional<QString> Transaction::createStaging() {
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name =
            stagingFolderPrefix + QString::number(QRandomGenerator::system()->generate64(), 16);
        const QByteArray native = QFile::encodeName(name);
        if (::mkdirat(game.get(), native.constData(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            return cannotWrite(gamePath, errno);
        }
        stagingPath = belowFolder(gamePath, name);
        staging = FileDescriptor(::openat(game.get(), native.constData(),
                                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat status {};
        if (!staging.isOpen() || ::fstat(staging.get(), &status) != 0 || !S_ISDIR(status.st_mode) ||
            status.st_uid != ::geteuid())
            return QStringLiteral("Modgate's staging folder in %1 was tampered with").arg(gamePath);
        return std::nullopt;
    }
    return cannotWrite(gamePath, EEXIST);
}

// What is at each destination now, as the plan expects; and the steps that will change it.
std::optional<QString> Transaction::checkDestinations(const InstallPlan& plan) {
    for (const QString& folder : newFolders)
        steps.append(JournalStep::createFolder(folder));
    QStringList replacing;
    for (qsizetype i = 0; i < plan.files.size(); ++i) {
        const PlannedFile& file = plan.files[i];
        if (!wantsWriting(file))
            continue;
        struct stat status {};
        if (::fstatat(game.get(), QFile::encodeName(file.destination).constData(), &status,
                      AT_SYMLINK_NOFOLLOW) == 0) {
            if (file.action == PlannedFile::Action::New)
                return QStringLiteral("%1 is already there").arg(file.destination);
            if (!S_ISREG(status.st_mode))
                return QStringLiteral("%1 is not a plain file, and Modgate does not replace it")
                    .arg(file.destination);
            replacing.append(file.destination);
            steps.append(JournalStep::trash(file.destination, status.st_dev, status.st_ino));
        } else if (errno != ENOENT && errno != ENOTDIR) {
            return QStringLiteral("Modgate cannot read %1: %2")
                .arg(belowFolder(gamePath, file.destination), systemErrorText(errno));
        }
        steps.append(JournalStep::move(QString::fromLatin1(stagedName(int(i))), file.destination));
    }
    if (!replacing.isEmpty() && !options.consentToReplace) {
        const qsizetype shown = std::min<qsizetype>(replacing.size(), 3);
        QString named = replacing.mid(0, shown).join(QStringLiteral(", "));
        if (replacing.size() > shown)
            named += QStringLiteral(" and %1 other files").arg(number(replacing.size() - shown));
        return QStringLiteral("it would replace %1").arg(named);
    }
    return std::nullopt;
}

std::optional<QString> Transaction::stage(const InstallPlan& plan) {
    const QList<SourceEntry>& entries = source.entries();
    QHash<int, int> slotOfEntry;
    qint64 expected = 0;
    const auto want = [&](int entry, int slot) {
        slotOfEntry.insert(entry, slot);
        expected += std::max<qint64>(entries[entry].declaredSize, 0);
    };
    for (qsizetype i = 0; i < plan.files.size(); ++i)
        if (wantsWriting(plan.files[i]))
            want(plan.files[i].entry, int(i));
    const QList<const LeftOutEntry*> readmes = keptReadmes(plan);
    for (qsizetype i = 0; i < readmes.size(); ++i)
        want(readmes[i]->entry, readmeSlots + int(i));

    struct statvfs space {};
    if (::fstatvfs(game.get(), &space) != 0)
        return QStringLiteral("Modgate cannot read the free space of %1: %2")
            .arg(gamePath, systemErrorText(errno));
    const qint64 free =
        qint64(space.f_bavail) * qint64(space.f_frsize) - options.limits.freeSpaceMargin;
    const qint64 cap = std::min(options.limits.maxBytes, std::max<qint64>(free, 0));
    const QString capReason =
        cap == options.limits.maxBytes
            ? QStringLiteral("it unpacks to more than %1")
                  .arg(QLocale(QLocale::English).formattedDataSize(cap, 0))
            : QStringLiteral("there is not enough free space in %1").arg(gamePath);
    if (expected > cap)
        return capReason;

    StagingWriter writer(staging.get());
    std::optional<QString> reason;
    QSet<int> begun;
    int current = -1;
    int seen = 0;
    qint64 entryBytes = 0;
    qint64 total = 0;
    qint64 reported = 0;
    const auto stop = [&reason](const QString& why) {
        if (!reason)
            reason = why;
        return false;
    };
    const auto writerStopped = [&] { return stop(*writeFailure(plan, writer)); };
    const EntryDataSink sink{
        [&](int entry) {
            if (isCancelled())
                return stop(cancelled());
            if (++seen > options.limits.maxEntries)
                return stop(QStringLiteral("it holds more than %1 files")
                                .arg(number(options.limits.maxEntries)));
            const int slot = slotOfEntry.value(entry, -1);
            if (slot < 0 || current >= 0 || begun.contains(slot))
                return stop(QStringLiteral("the download gave an entry it was not asked for"));
            begun.insert(slot);
            current = entry;
            entryBytes = 0;
            return writer.open(slot, stagedName(slot)) || writerStopped();
        },
        [&](int entry, QByteArrayView chunk) {
            if (isCancelled())
                return stop(cancelled());
            if (entry != current)
                return stop(QStringLiteral("the download gave an entry it was not asked for"));
            entryBytes += chunk.size();
            total += chunk.size();
            const qint64 declared = entries[entry].declaredSize;
            if (declared >= 0 && entryBytes > declared)
                return stop(
                    QStringLiteral("%1 holds more than its header says").arg(entries[entry].name));
            if (total > cap)
                return stop(capReason);
            if (!writer.add(chunk))
                return writerStopped();
            if (options.progress && total - reported >= progressStep) {
                reported = total;
                options.progress(total, std::max(expected, total));
            }
            return true;
        },
        [&](int entry) {
            if (entry != current)
                return stop(QStringLiteral("the download gave an entry it was not asked for"));
            const qint64 declared = entries[entry].declaredSize;
            if (declared >= 0 && entryBytes != declared)
                return stop(
                    QStringLiteral("%1 is shorter than its header says").arg(entries[entry].name));
            current = -1;
            return writer.close() || writerStopped();
        }};
    const std::optional<QString> readFailure =
        source.read(QSet<int>(slotOfEntry.keyBegin(), slotOfEntry.keyEnd()), sink);
    writer.finish();
    if (reason)
        return reason;
    if (!writer.finish())
        return writeFailure(plan, writer);
    if (readFailure)
        return readFailure;
    staged = writer.files();
    for (auto it = slotOfEntry.cbegin(); it != slotOfEntry.cend(); ++it)
        if (!staged.contains(it.value()))
            return QStringLiteral("%1 is missing from the download").arg(entries[it.key()].name);
    if (options.progress)
        options.progress(total, std::max(expected, total));
    return std::nullopt;
}

std::optional<QString> Transaction::writeFailure(const InstallPlan& plan,
                                                 const StagingWriter& writer) const {
    const auto failure = writer.failure();
    if (!failure)
        return std::nullopt;
    const QString file = failure->slot >= 0 && failure->slot < plan.files.size()
                             ? plan.files[failure->slot].destination
                             : QStringLiteral("a readme");
    return QStringLiteral("could not write %1: %2").arg(file, systemErrorText(failure->error));
}

std::optional<QString> Transaction::commit() {
    // The journal first, then everything staged, reaches the disk before the game folder changes.
    const QByteArray text = journalText(steps);
    journal = FileDescriptor(
        ::openat(staging.get(), journalName.constData(),
                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_APPEND | O_CLOEXEC, 0600));
    if (!journal.isOpen() || !writeAll(journal.get(), text.constData(), text.size()) ||
        ::syncfs(staging.get()) != 0)
        return cannotWrite(stagingPath, errno);
    int moved = 0;
    for (JournalStep& step : steps) {
        if (auto why = takeStep(step))
            return why;
        ++stepsTaken;
        if (step.kind == JournalStep::Kind::Move && options.afterMove)
            options.afterMove(++moved);
    }
    return std::nullopt;
}

std::optional<QString> Transaction::takeStep(JournalStep& step) {
    const FileDescriptor parent = openParentFolder(game.get(), step.path);
    const QByteArray name = lastComponent(step.path);
    const auto failed = [&step](const char* what) {
        const int error = errno;
        return QString::fromLatin1(what).arg(step.path, systemErrorText(error));
    };
    if (!parent.isOpen())
        return failed("could not open the folder of %1: %2");
    switch (step.kind) {
    case JournalStep::Kind::CreateFolder: {
        if (::mkdirat(parent.get(), name.constData(), 0755) != 0)
            return failed("could not create the folder %1: %2");
        const FileDescriptor folder(::openat(parent.get(), name.constData(),
                                             O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!folder.isOpen() || ::fchmod(folder.get(), 0755) != 0)
            return failed("could not create the folder %1: %2");
        return std::nullopt;
    }
    case JournalStep::Kind::Trash: {
        struct stat status {};
        if (::fstatat(parent.get(), name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            return errno == ENOENT ? std::nullopt : std::optional(failed("could not read %1: %2"));
        if (status.st_dev != step.device || status.st_ino != step.inode)
            return QStringLiteral("%1 changed while installing").arg(step.path);
        QString why;
        const auto inTrash = moveToTrash(belowFolder(gamePath, step.path), why);
        if (!inTrash)
            return QStringLiteral("could not move %1 to the trash: %2").arg(step.path, why);
        step.pathInTrash = *inTrash;
        return std::nullopt;
    }
    case JournalStep::Kind::Move: {
        const QByteArray from = QFile::encodeName(step.staged);
        int result = ::renameat2(staging.get(), from.constData(), parent.get(), name.constData(),
                                 RENAME_NOREPLACE);
        // File systems without the flag: look first.
        struct stat status {};
        if (result != 0 && errno == EINVAL) {
            if (::fstatat(parent.get(), name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0)
                errno = EEXIST;
            else
                result =
                    ::renameat(staging.get(), from.constData(), parent.get(), name.constData());
        }
        if (result != 0)
            return failed("could not move %1 into place: %2");
        return std::nullopt;
    }
    }
    return std::nullopt;
}

QStringList Transaction::rollBack() {
    QStringList problems;
    if (!staging.isOpen() || committed)
        return problems;
    problems = undoSteps(game.get(), gamePath, staging.get(), steps.mid(0, stepsTaken));
    steps.clear();
    stepsTaken = 0;
    journal.close();
    staging.close();
    QDir(stagingPath).removeRecursively();
    return problems;
}

InstallRecord Transaction::recordOf(const InstallPlan& plan, const QString& sourceSha256) const {
    InstallRecord record;
    record.name = plan.name;
    record.sourceFile = source.fileName();
    record.sourceSha256 = sourceSha256;
    record.gameFolder = gameFolderIdentity(gamePath);
    // Whole seconds, as the record keeps it.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    record.installedAt = now.addMSecs(-now.time().msec());
    for (qsizetype i = 0; i < plan.files.size(); ++i)
        if (wantsWriting(plan.files[i])) {
            const StagedFile file = staged.value(int(i));
            record.files.append({plan.files[i].destination, file.size, file.xxh3, {}});
        }
    record.createdFolders = newFolders;
    for (const JournalStep& step : steps)
        if (step.kind == JournalStep::Kind::Trash && !step.pathInTrash.isEmpty())
            record.replaced.append({step.path, step.pathInTrash});
    QStringList taken;
    for (const LeftOutEntry* readme : keptReadmes(plan)) {
        taken.append(readmeFileName(readme->name, taken));
        record.readmes.append({readme->name, taken.last()});
    }
    return record;
}

} // namespace

std::variant<InstallPlan, InstallRefusal> resolveComparisons(const QString& gameFolder,
                                                             InstallSource& source,
                                                             const InstallPlan& plan,
                                                             const std::atomic<bool>* cancel) {
    InstallPlan resolved = plan;
    const QList<SourceEntry>& entries = source.entries();
    QHash<int, qsizetype> fileOfEntry;
    for (qsizetype i = 0; i < plan.files.size(); ++i) {
        const PlannedFile& file = plan.files[i];
        if (file.action != PlannedFile::Action::Compare)
            continue;
        if (file.entry < 0 || file.entry >= entries.size() || !isSafeRelativePath(file.destination))
            return InstallRefusal{QStringLiteral("the plan does not match the download")};
        fileOfEntry.insert(file.entry, i);
    }
    if (fileOfEntry.isEmpty())
        return resolved;
    const FileDescriptor game = openFolder(gameFolder);
    if (!game.isOpen())
        return InstallRefusal{
            QStringLiteral("Modgate cannot open %1: %2").arg(gameFolder, systemErrorText(errno))};

    // The bytes on disk are read alongside the entry's and compared as they come.
    FileDescriptor existing;
    bool same = false;
    bool gone = false;
    qint64 bytes = 0;
    std::vector<char> buffer;
    std::optional<QString> reason;
    QSet<int> decided;
    int current = -1;
    const auto stop = [&reason](const QString& why) {
        if (!reason)
            reason = why;
        return false;
    };
    const auto readExisting = [&](qsizetype size) {
        buffer.resize(std::size_t(size));
        qsizetype got = 0;
        while (got < size) {
            const ssize_t n = ::read(existing.get(), buffer.data() + got, std::size_t(size - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
        }
        return got;
    };
    const EntryDataSink sink{
        [&](int entry) {
            if (cancel && cancel->load())
                return stop(cancelled());
            if (!fileOfEntry.contains(entry) || decided.contains(entry))
                return stop(QStringLiteral("the download gave an entry it was not asked for"));
            current = entry;
            const QString& destination = plan.files[fileOfEntry[entry]].destination;
            const FileDescriptor parent = openParentFolder(game.get(), destination);
            existing = FileDescriptor(
                parent.isOpen() ? ::openat(parent.get(), lastComponent(destination).constData(),
                                           O_RDONLY | O_NOFOLLOW | O_CLOEXEC)
                                : -1);
            gone = !existing.isOpen() && errno == ENOENT;
            struct stat status {};
            same = existing.isOpen() && ::fstat(existing.get(), &status) == 0 &&
                   S_ISREG(status.st_mode);
            bytes = 0;
            return true;
        },
        [&](int entry, QByteArrayView chunk) {
            if (cancel && cancel->load())
                return stop(cancelled());
            if (entry != current)
                return stop(QStringLiteral("the download gave an entry it was not asked for"));
            bytes += chunk.size();
            const qint64 declared = entries[entry].declaredSize;
            if (declared >= 0 && bytes > declared)
                return stop(
                    QStringLiteral("%1 holds more than its header says").arg(entries[entry].name));
            if (same)
                same = readExisting(chunk.size()) == chunk.size() &&
                       std::memcmp(buffer.data(), chunk.data(), std::size_t(chunk.size())) == 0;
            return true;
        },
        [&](int entry) {
            if (entry != current)
                return stop(QStringLiteral("the download gave an entry it was not asked for"));
            current = -1;
            const qint64 declared = entries[entry].declaredSize;
            if (declared >= 0 && bytes != declared)
                return stop(
                    QStringLiteral("%1 is shorter than its header says").arg(entries[entry].name));
            same = same && readExisting(1) == 0;
            resolved.files[fileOfEntry[entry]].action = same   ? PlannedFile::Action::Identical
                                                        : gone ? PlannedFile::Action::New
                                                               : PlannedFile::Action::Replace;
            decided.insert(entry);
            existing.close();
            return true;
        }};
    const auto readFailure =
        source.read(QSet<int>(fileOfEntry.keyBegin(), fileOfEntry.keyEnd()), sink);
    if (reason || readFailure)
        return InstallRefusal{reason.value_or(readFailure.value_or(QString()))};
    for (auto it = fileOfEntry.cbegin(); it != fileOfEntry.cend(); ++it)
        if (!decided.contains(it.key()))
            return InstallRefusal{
                QStringLiteral("%1 is missing from the download").arg(entries[it.key()].name)};
    return resolved;
}

std::variant<InstallRecord, InstallRefusal> installMod(const QString& gameFolder,
                                                       InstallSource& source,
                                                       const InstallPlan& plan,
                                                       const InstallOptions& options) {
    Transaction transaction(gameFolder, source, options);
    auto result = transaction.run(plan);
    if (auto* refusal = std::get_if<InstallRefusal>(&result))
        if (const QStringList problems = transaction.rollBack(); !problems.isEmpty())
            refusal->reason +=
                QStringLiteral("; undoing it failed: ") + problems.join(QStringLiteral("; "));
    return result;
}

RecoveryReport recoverInterruptedInstalls(const QString& gameFolder) {
    RecoveryReport report;
    const FileDescriptor game = openFolder(gameFolder);
    if (!game.isOpen())
        return report;
    const QStringList names =
        QDir(gameFolder)
            .entryList({stagingFolderPrefix + u'*'}, QDir::Dirs | QDir::Hidden | QDir::NoSymLinks);
    for (const QString& name : names) {
        const FileDescriptor staging(::openat(game.get(), QFile::encodeName(name).constData(),
                                              O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat status {};
        if (!staging.isOpen() || ::fstat(staging.get(), &status) != 0 ||
            status.st_uid != ::geteuid())
            continue;
        const auto journal = parseJournal(readAtMost(staging.get(), journalName, maxJournalBytes));
        QStringList problems;
        if (journal && journal->committedRecord) {
            if (const auto why = publishRecord(staging.get(), *journal->committedRecord))
                problems << *why;
            ++report.finished;
        } else {
            if (journal)
                problems = undoSteps(game.get(), gameFolder, staging.get(), journal->steps);
            ++report.undone;
        }
        for (const QString& problem : problems)
            report.problems << QStringLiteral("%1: %2").arg(gameFolder, problem);
        QDir(belowFolder(gameFolder, name)).removeRecursively();
    }
    return report;
}
