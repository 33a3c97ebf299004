// SPDX-License-Identifier: GPL-3.0-or-later
#include "fixtures.h"
#include "memorysource.h"
#include "modinstall/installjournal.h"
#include "modinstall/installlock.h"
#include "modinstall/installtransaction.h"
#include "modinstall/modremoval.h"
#include "support/xxh3.h"
#include "testmain.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QString sha256(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString xxh3(const QByteArray& bytes) {
    Xxh3 hash;
    hash.add(bytes);
    return hash.finishHex();
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

int modeOf(const QString& path) {
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777)
                                                                      : -1;
}

// A folder tree as it stands: every path below the root with its type and mode, and a file's
// bytes (by their digest) or a link's target.
QMap<QString, QString> snapshot(const QString& root) {
    QMap<QString, QString> tree;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat status {};
        ::lstat(QFile::encodeName(path).constData(), &status);
        QString what = QString::number(status.st_mode, 8);
        if (S_ISREG(status.st_mode))
            what += u' ' + sha256(contents(path));
        if (S_ISLNK(status.st_mode))
            what += u' ' + QFile::symLinkTarget(path);
        tree.insert(path.mid(root.size() + 1), what);
    }
    return tree;
}

// Files from "path=bytes;...": "*N" stands for N bytes, "@D" after the bytes for a header that
// claims D bytes.
QList<MemoryEntry> filesOf(const QString& listing) {
    QList<MemoryEntry> files;
    for (const QString& part : listing.split(u';', Qt::SkipEmptyParts)) {
        const QString value = part.section(u'=', 1).section(u'@', 0, 0);
        MemoryEntry file{part.section(u'=', 0, 0), value.toUtf8()};
        if (value.startsWith(u'*'))
            file.bytes = QByteArray(value.mid(1).toLongLong(), 'x');
        if (part.contains(u'@'))
            file.declaredSize = part.section(u'@', 1).toLongLong();
        files.append(file);
    }
    return files;
}

bool makeFiles(const QString& folder, const QString& listing) {
    for (const MemoryEntry& file : filesOf(listing))
        if (!fixtures::writeFile(folder + u'/' + file.name, file.bytes))
            return false;
    return true;
}

QStringList pathsOf(const QList<RecordedFile>& files) {
    QStringList paths;
    for (const RecordedFile& file : files)
        paths << file.path;
    return paths;
}

QStringList stagingFolders(const QString& game) {
    return QDir(game).entryList({stagingFolderPrefix + u'*'}, QDir::AllEntries | QDir::Hidden);
}

QString trash() {
    return QDir::homePath() + u"/.local/share/Trash"_s;
}

// A record of that name and game folder, made at a fixed time, with nothing in it yet.
InstallRecord emptyRecord(const QString& name, const QString& game) {
    const QDateTime at(QDate(2026, 12, 7), QTime(19, 47), Qt::UTC);
    return {name, name + u".zip"_s, {}, game, at, {}, {}, {}, {}};
}

enum class Fault { Damaged, Cancel, ByteCap, NoSpace, Appears, Link, EntryCap, ReadOnly, None };

} // namespace

class TestInstallTransaction : public QObject {
    Q_OBJECT
    QTemporaryDir runtime;
    std::unique_ptr<QTemporaryDir> gameDir;
    QString game;

    std::variant<InstallRecord, InstallRefusal> install(const QString& listing,
                                                        bool consent = true) {
        MemorySource source(u"Mod.zip"_s, filesOf(listing));
        InstallPlan plan = plainPlan(source, game, u"Mod"_s);
        // Readmes are left out, and kept beside the record.
        for (qsizetype i = plan.files.size() - 1; i >= 0; --i)
            if (plan.files[i].destination.contains(u"ReadMe"))
                plan.leftOut.append(
                    {plan.files[i].destination, u"a readme"_s, plan.files.takeAt(i).entry, true});
        InstallOptions options;
        options.consentToReplace = consent;
        return installMod(game, source, plan, options);
    }

    // Starts a helper (the install child, or modgate itself) without a display.
    static void start(QProcess& process, const QString& program, const QStringList& arguments,
                      const QStringList& environment = {}) {
        QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
        for (const QString& name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
            variables.remove(name);
        for (const QString& variable : environment)
            variables.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
        process.setProcessEnvironment(variables);
        process.start(program, arguments);
    }
    static QString child() {
        return fixtures::buildDir() + u"/tools/installchild/modgate-install-child"_s;
    }
    static bool waitForLine(QProcess& process, const QByteArray& line) {
        while (!process.canReadLine() && process.waitForReadyRead(30000)) {
        }
        return process.readLine().trimmed() == line;
    }

private slots:
    void initTestCase() {
        // The write lock lives in the runtime folder: this test's own.
        QVERIFY(runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QVERIFY(QDir().mkpath(trash() + u"/files"_s) && QDir().mkpath(trash() + u"/info"_s));
    }
    void init() {
        gameDir = std::make_unique<QTemporaryDir>();
        game = gameDir->path();
    }

    void installs_data() {
        fixtures::columns("existing", "download");
        QTest::addColumn<bool>("consent");
        fixtures::columns("refusal", "recorded", "replaced"); // part of it, empty when it installs
        fixtures::row(
            "new files and folders", u"System/Core.u=core"_s,
            u"Mod/System/Mod.u=abc;Mod/ut2k4mod.ini=[Mod];Top=t;Mod/Help/ReadMe.txt=read me"_s,
            false, "", "Mod/System/Mod.u;Mod/ut2k4mod.ini;Top", "");
        fixtures::row("identical file skipped", u"System/A.u=same"_s,
                      u"System/A.u=same;System/B.u=new"_s, false, "", "System/B.u", "");
        fixtures::row("different file, no consent", u"System/A.u=old1"_s,
                      u"System/A.u=new1;System/B.u=new"_s, false, "it would replace System/A.u", "",
                      "");
        fixtures::row("different file, consent", u"System/A.u=old1;System/C.u=old"_s,
                      u"System/A.u=new1;System/C.u=longer"_s, true, "", "System/A.u;System/C.u",
                      "System/A.u;System/C.u");
    }
    void installs() {
        QFETCH(QString, existing);
        QFETCH(QString, download);
        QFETCH(bool, consent);
        QFETCH(QString, refusal);
        QFETCH(QString, recorded);
        QFETCH(QString, replaced);
        QVERIFY(makeFiles(game, existing));
        const auto before = snapshot(game);
        const auto trashBefore = snapshot(trash());

        const auto result = install(download, consent);
        QVERIFY(stagingFolders(game).isEmpty());
        if (!refusal.isEmpty()) {
            QVERIFY(std::get<InstallRefusal>(result).reason.contains(refusal));
            QCOMPARE(snapshot(game), before);
            QCOMPARE(snapshot(trash()), trashBefore);
            QVERIFY(!readRecord(defaultRecordsFolder(), u"Mod"_s, game));
            return;
        }
        const InstallRecord& record = std::get<InstallRecord>(result);
        QCOMPARE(readRecord(defaultRecordsFolder(), u"Mod"_s, game), record);
        QCOMPARE(record.gameFolder, QFileInfo(game).canonicalFilePath());
        const QString readmes = readmesFolderOf(recordPath(defaultRecordsFolder(), u"Mod"_s, game));
        for (const MemoryEntry& file : filesOf(download)) {
            const bool readme = file.name.contains(u"ReadMe");
            QCOMPARE(QFileInfo::exists(game + u'/' + file.name), !readme);
            QCOMPARE(contents((readme ? readmes + u'/' + QFileInfo(file.name).fileName()
                                      : game + u'/' + file.name)),
                     file.bytes);
            QCOMPARE(modeOf(game + u'/' + file.name), readme ? -1 : 0644);
            if (readme)
                QCOMPARE(record.readmes, (QList<KeptReadme>{{file.name, u"ReadMe.txt"_s}}));
        }
        QCOMPARE(pathsOf(record.files).join(u';'), recorded);
        for (const RecordedFile& file : record.files)
            QCOMPARE(file.xxh3, xxh3(contents(game + u'/' + file.path)));
        for (const QString& folder : record.createdFolders)
            QCOMPARE(modeOf(game + u'/' + folder), 0755);
        QStringList replacedPaths;
        for (const ReplacedFile& file : record.replaced) {
            replacedPaths << file.path;
            QCOMPARE(contents(file.pathInTrash), filesOf(existing)[replacedPaths.size() - 1].bytes);
        }
        QCOMPARE(replacedPaths.join(u';'), replaced);
    }

    // Whatever stops an install, the game folder and the trash end as they were.
    void faults_data() {
        QTest::addColumn<QString>("download");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<bool>("beforeReading");
        const QString replacing = u"System/A.u=replacement;"_s;
        fixtures::row("damaged", replacing + u"Mod/B.u=*300000"_s, Fault::Damaged,
                      "Mod/B.u is damaged: a CRC error", false);
        fixtures::row("more than declared", replacing + u"Mod/B.u=*1000000@1000"_s, Fault::None,
                      "Mod/B.u holds more than its header says", false);
        fixtures::row("less than declared", replacing + u"Mod/B.u=abc@10"_s, Fault::None,
                      "Mod/B.u is shorter than its header says", false);
        fixtures::row("byte cap", replacing + u"Mod/B.u=*5000@-1"_s, Fault::ByteCap,
                      "it unpacks to more than 4 KiB", false);
        fixtures::row("no free space", replacing, Fault::NoSpace,
                      "there is not enough free space in GAME", true);
        fixtures::row("cancelled", replacing + u"Mod/B.u=*3000000"_s, Fault::Cancel,
                      "the install was cancelled", false);
        fixtures::row("a file appears while moving", replacing + u"System/B.u=b;System/C.u=c"_s,
                      Fault::Appears, "could not move System/B.u into place: File exists", false);
        fixtures::row("a link on the way", replacing + u"Mod/B.u=b"_s, Fault::Link,
                      "Mod is a link, and Modgate installs into real folders only", true);
        fixtures::row("65,537 entries", replacing, Fault::EntryCap,
                      "it holds more than 65,536 files", true);
        fixtures::row("read-only game folder", replacing, Fault::ReadOnly,
                      "Modgate cannot write to GAME: Permission denied", true);
    }
    void faults() {
        QFETCH(QString, download);
        QFETCH(Fault, fault);
        QFETCH(QString, refusal);
        QFETCH(bool, beforeReading);
        if (fault == Fault::ReadOnly && ::geteuid() == 0)
            QSKIP("Permission bits do not stop root.");
        QVERIFY(makeFiles(game, u"System/A.u=original;System/Core.u=core"_s));
        const QTemporaryDir elsewhere;
        if (fault == Fault::Link)
            QVERIFY(QFile::link(elsewhere.path(), game + u"/Mod"_s));
        if (fault == Fault::ReadOnly)
            QVERIFY(QFile::setPermissions(game, QFile::ReadOwner | QFile::ExeOwner));
        const auto before = snapshot(game);
        const auto trashBefore = snapshot(trash());

        QList<MemoryEntry> files = filesOf(download);
        for (int i = 0; fault == Fault::EntryCap && files.size() <= 65536; ++i)
            files.append({u"Many/%1"_s.arg(i), {}});
        MemorySource source(u"Mod.zip"_s, files);
        source.failAfterBytes = fault == Fault::Damaged ? 100000 : -1;
        std::atomic<bool> cancel{false};
        InstallOptions options;
        options.consentToReplace = true;
        options.cancel = &cancel;
        options.progress = [&cancel](qint64, qint64) { cancel = true; };
        if (fault != Fault::Cancel)
            options.progress = nullptr;
        if (fault == Fault::ByteCap)
            options.limits.maxBytes = 4096;
        if (fault == Fault::NoSpace) // every byte free is in the margin
            options.limits.freeSpaceMargin = std::numeric_limits<qint64>::max() / 2;
        if (fault == Fault::Appears)
            options.afterMove = [this](int) { fixtures::writeFile(game + u"/System/B.u"_s, "x"); };

        const auto result = installMod(game, source, plainPlan(source, game, u"Mod"_s), options);
        QVERIFY(std::holds_alternative<InstallRefusal>(result));
        QCOMPARE(std::get<InstallRefusal>(result).reason, refusal.replace(u"GAME"_s, game));
        QCOMPARE(source.reads == 0, beforeReading);
        if (fault == Fault::Appears) // not Modgate's: it stays
            QVERIFY(QFile::remove(game + u"/System/B.u"_s));
        QFile::setPermissions(game, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(snapshot(game), before);
        QCOMPARE(snapshot(trash()), trashBefore);
        QVERIFY(QDir(elsewhere.path()).isEmpty());
        QVERIFY(!readRecord(defaultRecordsFolder(), u"Mod"_s, game));
    }

    // In a child process, for real: writes stopped at a limit (a full disk), or a SIGKILL after
    // some files were moved in, undone from the journal at the next start.
    void childFaults_data() {
        fixtures::columns("download", "environment");
        const QString small = u"Mod/System/B.u=b;Mod/ut2k4mod.ini=[Mod];System/A.u=replacement"_s;
        QTest::newRow("write limit") << u"Mod/Big.u=*300000;Mod/Small.u=s;System/A.u=replacement"_s
                                     << u"MODGATE_INSTALL_CHILD_FILE_LIMIT=65536"_s;
        QTest::newRow("killed after the first move")
            << small << u"MODGATE_INSTALL_CHILD_PAUSE_AFTER=1"_s;
        QTest::newRow("killed after the last move")
            << small << u"MODGATE_INSTALL_CHILD_PAUSE_AFTER=3"_s;
    }
    void childFaults() {
        QFETCH(QString, download);
        QFETCH(QString, environment);
        const bool killed = environment.contains(u"PAUSE");
        QVERIFY(makeFiles(game, u"System/A.u=original"_s));
        const QTemporaryDir folder;
        QVERIFY(makeFiles(folder.path(), download));
        const auto before = snapshot(game);
        const auto trashBefore = snapshot(trash());
        QProcess process;
        start(process, child(), {u"install"_s, game, folder.path()}, {environment});
        if (killed) {
            QVERIFY(waitForLine(process, "paused"));
            QVERIFY(QFileInfo::exists(game + u"/Mod/System/B.u"_s));
            QCOMPARE(contents(game + u"/System/A.u"_s) == "replacement",
                     environment.endsWith(u'3'));
            process.kill();
        }
        QVERIFY(process.waitForFinished(60000));
        if (killed) {
            const RecoveryReport report = recoverInterruptedInstalls(game);
            QCOMPARE(report.undone, 1);
            QCOMPARE(report.problems, QStringList());
        } else {
            QCOMPARE(process.exitCode(), 1);
            QCOMPARE(process.readAllStandardError(), "could not write Mod/Big.u: File too large\n");
        }
        QCOMPARE(snapshot(game), before);
        QCOMPARE(snapshot(trash()), trashBefore);
    }

    // What a killed install can leave besides a journal of moves: its record, when it had
    // committed (kept, and the record written); staged files only, or a journal cut short (gone).
    void recovery_data() {
        QTest::addColumn<bool>("committed");
        QTest::addColumn<QByteArray>("journal");
        QTest::newRow("committed") << true << journalText({});
        QTest::newRow("staged files only") << false << QByteArray();
        QTest::newRow("journal cut short") << false << journalText({}) + "{\"move\":\"f0\",\"to";
    }
    void recovery() {
        QFETCH(bool, committed);
        QFETCH(QByteArray, journal);
        QVERIFY(makeFiles(game, u"f0=staged"_s));
        const auto before = snapshot(game);
        const QString staging = game + u'/' + stagingFolderPrefix + u"1"_s;
        const InstallRecord record = emptyRecord(u"Done"_s, QFileInfo(game).canonicalFilePath());
        const QString path = recordPath(defaultRecordsFolder(), u"Done"_s, game);
        QVERIFY(fixtures::writeFile(staging + u"/f0"_s, "staged") &&
                (journal.isEmpty() ||
                 fixtures::writeFile(staging + u"/journal"_s,
                                     journal + (committed ? committedLine(path) : QByteArray()))) &&
                fixtures::writeFile(staging + u"/record.json"_s, recordJson(record)));
        const RecoveryReport report = recoverInterruptedInstalls(game);
        QCOMPARE(report.finished, int(committed));
        QCOMPARE(report.undone, int(!committed));
        QCOMPARE(readRecord(defaultRecordsFolder(), u"Done"_s, game),
                 committed ? std::optional(record) : std::nullopt);
        QCOMPARE(snapshot(game), before);
    }

    // A record is read back as untrusted: anything that could reach outside the game folder, or
    // is not as Modgate writes it, makes it no record.
    void tamperedRecords_data() {
        fixtures::columns("from", "to");
        QTest::newRow("as written") << QString() << QString();
        QTest::newRow("parent folder") << u"Mod/A.u"_s << u"Mod/../../A.u"_s;
        QTest::newRow("absolute path") << u"Mod/A.u"_s << u"/etc/A.u"_s;
        QTest::newRow("empty component") << u"Mod/A.u"_s << u"Mod//A.u"_s;
        QTest::newRow("created folder outside") << u"\"Mod\""_s << u"\"..\""_s;
        QTest::newRow("short digest") << xxh3("a") << xxh3("a").left(31);
        QTest::newRow("negative size") << u"\"size\": 1"_s << u"\"size\": -1"_s;
        QTest::newRow("readme outside")
            << u"\"file\": \"ReadMe\""_s << u"\"file\": \"../ReadMe\""_s;
        QTest::newRow("trash relative") << u"\"trash\": \"/"_s << u"\"trash\": \""_s;
        QTest::newRow("game relative") << u"\"gameFolder\": \"/"_s << u"\"gameFolder\": \""_s;
        QTest::newRow("other format") << u"\"format\": 2"_s << u"\"format\": 3"_s;
    }
    void tamperedRecords() {
        QFETCH(QString, from);
        QFETCH(QString, to);
        InstallRecord record = emptyRecord(u"Mod"_s, u"/opt/ut2004"_s);
        record.files = {{u"Mod/A.u"_s, 1, xxh3("a"), {}}};
        record.createdFolders = {u"Mod"_s};
        record.replaced = {{u"System/B.u"_s, u"/home/p/.local/share/Trash/files/B.u"_s}};
        record.readmes = {{u"ReadMe.txt"_s, u"ReadMe"_s}};
        QString json = QString::fromUtf8(recordJson(record));
        QVERIFY(from.isEmpty() || json.contains(from));
        const auto read = parseRecord(json.replace(from, to).toUtf8());
        QCOMPARE(read, from.isEmpty() ? std::optional(record) : std::nullopt);
    }

    void removal() {
        QVERIFY(makeFiles(game, u"System/Shared.u=original;Other/ut2k4mod.ini=[Mod]"_s));
        const auto before = snapshot(game);
        QVERIFY(std::holds_alternative<InstallRecord>(install(
            u"Mod/System/M.u=m;Mod/ut2k4mod.ini=[Mod];Mod/Empty/x.txt=x;System/Shared.u=new;ReadMe=r"_s)));
        const QString readmes = readmesFolderOf(recordPath(defaultRecordsFolder(), u"Mod"_s, game));
        QVERIFY(QFileInfo::exists(readmes + u"/ReadMe"_s));
        QVERIFY(fixtures::writeFile(game + u"/Mod/ut2k4mod.ini"_s, "[Mod] changed"));

        const auto removal = removeInstall(game, u"Mod"_s);
        const RemovalResult& result = std::get<RemovalResult>(removal);
        QCOMPARE(result.trashed,
                 QStringList({u"Mod/System/M.u"_s, u"Mod/Empty/x.txt"_s, u"System/Shared.u"_s}));
        QCOMPARE(result.changed, QStringList{u"Mod/ut2k4mod.ini"_s});
        QCOMPARE(result.removedFolders, QStringList({u"Mod/System"_s, u"Mod/Empty"_s}));
        QCOMPARE(result.restored, QStringList{u"System/Shared.u"_s});
        QCOMPARE(result.problems, QStringList());
        QVERIFY(!readRecord(defaultRecordsFolder(), u"Mod"_s, game));
        QVERIFY(!QFileInfo::exists(readmes));
        QVERIFY(QFile::remove(game + u"/Mod/ut2k4mod.ini"_s) && QDir(game).rmdir(u"Mod"_s));
        QCOMPARE(snapshot(game), before);

        // A mod folder Modgate did not install goes whole; nothing else does.
        const auto inTrash = removeModFolder(game, u"Other"_s);
        QCOMPARE(contents(std::get<QString>(inTrash) + u"/ut2k4mod.ini"_s), "[Mod]");
        QVERIFY(!QFileInfo::exists(game + u"/Other"_s));
        QCOMPARE(std::get<InstallRefusal>(removeModFolder(game, {})).reason,
                 u"the game itself cannot be removed"_s);
        QVERIFY(std::holds_alternative<InstallRefusal>(removeModFolder(game, u"System"_s)));
        QVERIFY(std::holds_alternative<InstallRefusal>(removeInstall(game, u"Mod"_s)));
    }

    // A second version keeps the first's files recorded, so removal takes every one of them and
    // brings back the original the first replaced.
    void reinstall() {
        QVERIFY(makeFiles(game, u"System/Shared.u=original"_s));
        const auto before = snapshot(game);
        const QString original =
            std::get<InstallRecord>(install(u"Mod/A.u=a1;Mod/B.u=b1;System/Shared.u=s1"_s))
                .replaced.value(0)
                .pathInTrash;
        // The first one's record as Modgate wrote it before files were hashed with XXH3.
        InstallRecord older = *readRecord(defaultRecordsFolder(), u"Mod"_s, game);
        for (RecordedFile& file : older.files)
            file = {file.path, file.size, {}, sha256(contents(game + u'/' + file.path))};
        QVERIFY(fixtures::writeFile(recordPath(defaultRecordsFolder(), u"Mod"_s, game),
                                    recordJson(older).replace("\"format\": 2", "\"format\": 1")));
        const auto second = install(u"Mod/A.u=a2;Mod/C.u=c2;System/Shared.u=s2"_s);
        const InstallRecord& record = std::get<InstallRecord>(second);
        QCOMPARE(pathsOf(record.files),
                 QStringList({u"Mod/A.u"_s, u"Mod/C.u"_s, u"System/Shared.u"_s, u"Mod/B.u"_s}));
        QCOMPARE(record.replaced, (QList<ReplacedFile>{{u"System/Shared.u"_s, original}}));

        const auto removal = removeInstall(game, u"Mod"_s);
        QCOMPARE(std::get<RemovalResult>(removal).trashed.size(), 4);
        QCOMPARE(snapshot(game), before);
    }

    void writeLock() {
        QVERIFY(fixtures::makeTree(game, u"f:System/UT2004"_s));
        {
            const InstallLock first;
            QVERIFY(first.isHeld());
            const InstallLock second;
            QVERIFY(!second.isHeld());
            QCOMPARE(second.refusal(), u"another Modgate is installing or removing a mod"_s);
            QProcess modgate;
            start(modgate, fixtures::buildDir() + u"/modgate"_s,
                  {u"--remove"_s, u"Mod"_s, u"--game"_s, game});
            QVERIFY(modgate.waitForFinished(60000));
            QCOMPARE(modgate.exitCode(), 1);
            QCOMPARE(modgate.readAllStandardError(),
                     "modgate: another Modgate is installing or removing a mod\n");
        }
        // A holder that died does not stand in the way.
        QProcess holder;
        start(holder, child(), {u"lock"_s});
        QVERIFY(waitForLine(holder, "locked"));
        QVERIFY(!InstallLock().isHeld());
        holder.kill();
        QVERIFY(holder.waitForFinished(60000));
        QVERIFY(InstallLock().isHeld());
    }

    void commandLine_data() {
        QTest::addColumn<QString>("line");   // split at spaces; GAME stands for the game folder
        QTest::addColumn<bool>("installed"); // whether Mod is installed first
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("printed"); // a pattern: standard output, "|", standard error
        const QString usage = u"\n\nUsage: "_s;
        const auto row = [](const char* name, const QString& line, bool installed, int exitCode,
                            const QString& printed) {
            QTest::newRow(name) << line << installed << exitCode << printed;
        };
        row("two commands", u"--installed --remove X"_s, false, 2,
            u"^\\|modgate: Give only one of --install, --remove and --installed."_s + usage);
        row("replace alone", u"--replace"_s, false, 2,
            u"^\\|modgate: --replace and --dry-run go with"_s);
        row("dry run with remove", u"--remove X --dry-run"_s, false, 2,
            u"^\\|modgate: --replace and --dry-run go with"_s);
        row("no file", u"--install"_s, false, 2,
            u"^\\|modgate: Missing value after '--install'."_s + usage);
        row("not a game", u"--installed --game GAME/None"_s, false, 1,
            u"^\\|modgate: GAME/None holds no copy"_s);
        row("a dedicated server, nothing installed", u"--installed --game GAME/Server"_s, false, 0,
            u"^\\|$"_s);
        row("installed", u"--installed --game GAME"_s, true, 0,
            u"^Mod\\t\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ\\t2\\n\\|$"_s);
        row("unknown name", u"--remove Nothing --game GAME"_s, true, 1,
            u"^\\|modgate: Could not remove Nothing: there is no install or mod folder called "
            "Nothing in GAME\\n$"_s);
        row("remove", u"--remove Mod --game GAME"_s, true, 0,
            u"^Removed Mod: 2 file\\(s\\) moved to the trash\\n\\|$"_s);
        // DL is a download: a tar of the mod folder Mod with its manifest and a new A.u. Installed
        // over the earlier Mod, its record keeps B.u as well.
        row("install, dry run", u"--install DL --dry-run --game GAME"_s, false, 0,
            u"^Would install Mod into GAME/?\\nMod/UT2K4Mod.ini\\nMod/A.u\\n\\|$"_s);
        row("install", u"--install DL --game GAME"_s, false, 0,
            u"\\nInstalled Mod: 2 file\\(s\\)\\n\\|$"_s);
        row("a different file, not replaced", u"--install DL --game GAME"_s, true, 1,
            u"\\|modgate: Could not install Mod.tar: it would replace 1 file"_s);
        row("a different file, replaced", u"--install DL --replace --game GAME"_s, true, 0,
            u"\\nInstalled Mod: 3 file\\(s\\)\\n\\|$"_s);
    }
    void commandLine() {
        QFETCH(QString, line);
        QFETCH(bool, installed);
        QFETCH(int, exitCode);
        QFETCH(QString, printed);
        QVERIFY(fixtures::makeTree(game, u"f:System/UT2004;f:Server/System/ucc-bin"_s));
        if (installed)
            QVERIFY(std::holds_alternative<InstallRecord>(install(u"Mod/A.u=a;Mod/B.u=b"_s)));
        QStringList arguments = line.split(u' ');
        arguments.replaceInStrings(u"GAME"_s, game);
        QTemporaryDir download;
        if (arguments.contains(u"DL"_s)) {
            QVERIFY(QDir().mkpath(download.filePath(u"Mod"_s)));
            QVERIFY(fixtures::writeFile(download.filePath(u"Mod/UT2K4Mod.ini"_s), "[MOD]\n"));
            QVERIFY(fixtures::writeFile(download.filePath(u"Mod/A.u"_s), "new"));
            QCOMPARE(
                QProcess::execute(u"tar"_s, {u"-cf"_s, download.filePath(u"Mod.tar"_s), u"-C"_s,
                                             download.path(), u"Mod/UT2K4Mod.ini"_s, u"Mod/A.u"_s}),
                0);
            arguments.replaceInStrings(u"DL"_s, download.filePath(u"Mod.tar"_s));
        }
        const auto before = snapshot(game);
        QProcess modgate;
        start(modgate, fixtures::buildDir() + u"/modgate"_s, arguments);
        QVERIFY(modgate.waitForFinished(60000) && modgate.exitStatus() == QProcess::NormalExit);
        const QString output = QString::fromLocal8Bit(modgate.readAllStandardOutput() + '|' +
                                                      modgate.readAllStandardError());
        QCOMPARE(modgate.exitCode(), exitCode);
        // A refusal changes nothing.
        if (exitCode != 0)
            QCOMPARE(snapshot(game), before);
        QVERIFY2(QRegularExpression(printed.replace(u"GAME"_s, QRegularExpression::escape(game)))
                     .match(output)
                     .hasMatch(),
                 qPrintable(output));
        // The record names the download by its SHA-256.
        if (exitCode == 0 && arguments.contains(u"--install"_s) &&
            !arguments.contains(u"--dry-run"_s))
            QCOMPARE(readRecord(defaultRecordsFolder(), u"Mod"_s, game)->sourceSha256,
                     sha256(contents(download.filePath(u"Mod.tar"_s))));
    }
};

MODGATE_TEST_MAIN(TestInstallTransaction)
#include "tst_installtransaction.moc"
