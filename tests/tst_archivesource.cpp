// SPDX-License-Identifier: GPL-3.0-or-later
// Archives made here with libarchive's writer, well-formed and hostile, read as downloads.
#include "modinstall/archivekind.h"
#include "modinstall/archiveplacement.h"
#include "modinstall/archivesource.h"
#include "modinstall/installplanner.h"
#include "modinstall/openinstallsource.h"
#include "modinstall/umodsourcefactory.h"
#include "packagewriter/umodwriter.h"

#include "fixtures.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>

namespace {

struct Member {
    Member(QByteArray name, QByteArray data = {}, unsigned type = AE_IFREG, QByteArray link = {})
        : name(std::move(name)), data(std::move(data)), type(type), link(std::move(link)) {}
    QByteArray name;
    QByteArray data;
    unsigned type = AE_IFREG; // AE_IFDIR, AE_IFLNK, AE_IFCHR, AE_IFIFO
    QByteArray link;          // a symbolic link's target, or the entry a hard link repeats
};

struct WriterFree {
    void operator()(archive* writer) const { archive_write_free(writer); }
};

la_ssize_t appendTo(archive*, void* client, const void* buffer, size_t length) {
    static_cast<QByteArray*>(client)->append(static_cast<const char*>(buffer), qsizetype(length));
    return la_ssize_t(length);
}

// The archive's bytes, or nothing when libarchive refused to write it.
QByteArray archiveBytes(const QList<Member>& members, const char* format,
                        const QByteArray& filter = {}, const QByteArray& options = {},
                        const char* passphrase = nullptr) {
    std::unique_ptr<archive, WriterFree> writer(archive_write_new());
    archive* w = writer.get();
    QByteArray out;
    if (archive_write_set_format_by_name(w, format) != ARCHIVE_OK ||
        (!filter.isEmpty() && archive_write_add_filter_by_name(w, filter) != ARCHIVE_OK) ||
        (!options.isEmpty() && archive_write_set_options(w, options) != ARCHIVE_OK) ||
        (passphrase && archive_write_set_passphrase(w, passphrase) != ARCHIVE_OK) ||
        archive_write_set_bytes_in_last_block(w, 1) != ARCHIVE_OK ||
        archive_write_open(w, &out, nullptr, appendTo, nullptr) != ARCHIVE_OK) {
        qWarning("%s", archive_error_string(w));
        return {};
    }
    for (const Member& member : members) {
        std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(),
                                                                            &archive_entry_free);
        archive_entry* e = entry.get();
        archive_entry_set_pathname(e, member.name.constData());
        archive_entry_set_filetype(e, member.type);
        archive_entry_set_perm(e, 0644);
        if (member.type == AE_IFLNK)
            archive_entry_set_symlink(e, member.link.constData());
        else if (member.type == AE_IFREG && !member.link.isEmpty())
            archive_entry_set_hardlink(e, member.link.constData());
        archive_entry_set_size(e, member.type == AE_IFREG ? member.data.size() : 0);
        if (archive_write_header(w, e) < ARCHIVE_WARN ||
            (!member.data.isEmpty() &&
             archive_write_data(w, member.data.constData(), size_t(member.data.size())) < 0)) {
            qWarning("%s", archive_error_string(w));
            return {};
        }
    }
    if (archive_write_close(w) != ARCHIVE_OK)
        return {};
    return out;
}

QByteArray randomBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(size);
    for (char& byte : bytes)
        byte = char(generator.bounded(32)); // compressible, as packages are
    return bytes;
}

const QList<Member> somePackages = {{"Maps/", {}, AE_IFDIR},
                                    {"Maps/DM-Test.ut2", randomBytes(300 * 1024)},
                                    {"System/Test.u", "package"},
                                    {"Help/Empty.txt", {}}};

QString writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

struct ReadBack {
    std::optional<QString> failure;
    QMap<int, QByteArray> data;
    QList<int> order;
    qsizetype largestChunk = 0;
};

ReadBack readBack(InstallSource& source, const QSet<int>& wanted) {
    ReadBack back;
    EntryDataSink sink;
    sink.begin = [&](int entry) {
        back.order.append(entry);
        return true;
    };
    sink.data = [&](int entry, QByteArrayView chunk) {
        back.data[entry].append(chunk);
        back.largestChunk = qMax(back.largestChunk, chunk.size());
        return true;
    };
    back.failure = source.read(wanted, sink);
    return back;
}

QSet<int> filesOf(const InstallSource& source) {
    QSet<int> files;
    for (int i = 0; i < source.entries().size(); ++i)
        if (source.entries()[i].type == SourceEntryType::File)
            files.insert(i);
    return files;
}

// Patches a little-endian 32-bit size at `offset` after every occurrence of a zip signature.
void patchSizes(QByteArray& zip, QByteArrayView signature, int offset, quint32 size) {
    for (qsizetype at = zip.indexOf(signature); at >= 0; at = zip.indexOf(signature, at + 4))
        for (int i = 0; i < 4; ++i)
            zip[at + offset + i] = char((size >> (8 * i)) & 0xff);
}

using B = QByteArray;
using fixtures::row;

} // namespace

class ArchiveSourceTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;

    // Writes the archive and opens it, or gives the refusal.
    std::variant<std::unique_ptr<ArchiveSource>, InstallRefusal> open(const QString& name,
                                                                      const QByteArray& bytes) {
        return ArchiveSource::open(writeFile(folder_.filePath(name), bytes));
    }

    // The opened archive, or null (its refusal logged).
    std::unique_ptr<ArchiveSource> source(const QString& name, const QByteArray& bytes) {
        auto opened = open(name, bytes);
        if (const InstallRefusal* refused = std::get_if<InstallRefusal>(&opened))
            qWarning("%s", qPrintable(refused->reason));
        return opened.index() == 0 ? std::move(std::get<0>(opened)) : nullptr;
    }

    QString refusalOf(const QString& name, const QByteArray& bytes) {
        auto opened = open(name, bytes);
        const InstallRefusal* refused = std::get_if<InstallRefusal>(&opened);
        return refused ? refused->reason : QString();
    }

private slots:
    void formats_data() {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QByteArray>("filter");
        QTest::addColumn<QByteArray>("options");
        row("zip, deflate", B("zip"), B(), B("zip:compression=deflate"));
        row("zip, stored", B("zip"), B(), B("zip:compression=store"));
        row("7z", B("7zip"), B(), B());
        row("tar.gz", B("pax"), B("gzip"), B());
        row("tar.zst", B("pax"), B("zstd"), B());
        row("tar.xz", B("pax"), B("xz"), B());
        row("tar.bz2", B("ustar"), B("bzip2"), B());
    }
    void formats() {
        QFETCH(QByteArray, format);
        QFETCH(QByteArray, filter);
        QFETCH(QByteArray, options);
        const QString name = QString("Pack ") + QTest::currentDataTag();
        const auto opened =
            this->source(name, archiveBytes(somePackages, format.constData(), filter, options));
        QVERIFY(opened);
        ArchiveSource& source = *opened;
        QCOMPARE(source.fileName(), name);
        // Listed as the file has them (7z keeps folders last), with their types and sizes.
        QMap<QString, int> byName;
        QCOMPARE(source.entries().size(), somePackages.size());
        for (int i = 0; i < source.entries().size(); ++i)
            byName.insert(source.entries()[i].name, i);
        for (const Member& member : somePackages) {
            const QString name = QString::fromUtf8(member.name);
            QVERIFY2(byName.contains(name), qPrintable(name));
            const SourceEntry& entry = source.entries()[byName[name]];
            QVERIFY(!entry.encrypted);
            QCOMPARE(entry.type,
                     member.type == AE_IFDIR ? SourceEntryType::Directory : SourceEntryType::File);
            if (member.type == AE_IFREG)
                QCOMPARE(entry.declaredSize, member.data.size());
        }

        // Read in the file's order, in bounded chunks.
        const ReadBack all = readBack(source, filesOf(source));
        QVERIFY2(!all.failure, qPrintable(all.failure.value_or(QString())));
        QCOMPARE(all.order.size(), 3);
        QVERIFY(std::is_sorted(all.order.cbegin(), all.order.cend()));
        for (const Member& member : somePackages)
            if (member.type == AE_IFREG)
                QCOMPARE(all.data.value(byName[QString::fromUtf8(member.name)]), member.data);
        QVERIFY(all.largestChunk <= ArchiveSource::chunkBytes);

        // Read again, one entry only: the source can be read more than once.
        const int test = byName["System/Test.u"];
        const ReadBack one = readBack(source, {test});
        QVERIFY(!one.failure);
        QCOMPARE(one.order, QList<int>{test});
        QCOMPARE(one.data.value(test), "package");

        // Opened for an install, it is a plain archive: nothing is extracted from it.
        QTemporaryDir scratch;
        const auto plain = openInstallSource(folder_.filePath(name), scratch.path());
        QVERIFY(std::holds_alternative<OpenedInstallSource>(plain));
        const OpenedInstallSource& got = std::get<OpenedInstallSource>(plain);
        QVERIFY(got.kind == OpenedInstallSource::Kind::Archive && !got.extractedInstaller);
        QCOMPARE(got.source->entries().size(), somePackages.size());
    }

    void names_data() {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QByteArray>("options");
        QTest::addColumn<QByteArray>("stored"); // the name's bytes in the archive
        QTest::addColumn<QString>("listed");    // empty when the archive is refused
        const QString cafe = "Textures/Café.utx";
        row("zip, CP437 without the UTF-8 flag", B("zip"), B("zip:hdrcharset=CP437"),
            B("Textures/Caf\x82 \x9c.utx"), QString("Textures/Café £.utx"));
        row("zip, UTF-8 flag", B("zip"), B(), cafe.toUtf8(), cafe);
        row("tar, UTF-8", B("ustar"), B(), cafe.toUtf8(), cafe);
        row("tar, not UTF-8", B("ustar"), B(), B("Textures/Caf\xe9.utx"), QString());
    }
    void names() {
        QFETCH(QByteArray, format);
        QFETCH(QByteArray, options);
        QFETCH(QByteArray, stored);
        QFETCH(QString, listed);
        // Names are handed to the writer in UTF-8 (the tests' locale) or as raw bytes.
        const QByteArray given = listed.isEmpty() ? stored : listed.toUtf8();
        const QByteArray bytes = archiveBytes({{given, "x"}}, format.constData(), {}, options);
        QVERIFY(bytes.contains(stored));
        if (format == "zip") // general purpose flag bit 11: the name is UTF-8
            QCOMPARE((quint8(bytes[7]) & 0x08) != 0, stored == given);
        const auto opened = source("Names", bytes);
        if (listed.isEmpty())
            QVERIFY(!opened && refusalOf("Names", bytes).contains("does not decode cleanly"));
        else
            QCOMPARE(opened ? opened->entries()[0].name : QString(), listed);
    }

    // Names the rules refuse, in the archive or once placed.
    void hostileNames_data() {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QByteArrayList>("names");
        QTest::addColumn<QString>("reason");
        for (const char* format : {"zip", "pax"}) {
            QTest::addRow("%s, dot-dot", format)
                << QByteArray(format) << QByteArrayList{"Maps/x.ut2", "../../evil.u"}
                << "entry \"../../evil.u\" climbs out of its folder";
            QTest::addRow("%s, absolute", format)
                << QByteArray(format) << QByteArrayList{"/etc/cron.d/evil"}
                << "is an absolute path";
            QTest::addRow("%s, drive", format)
                << QByteArray(format) << QByteArrayList{"C:\\evil.u"} << "names a drive";
            QTest::addRow("%s, case twins", format)
                << QByteArray(format) << QByteArrayList{"Maps/a.ut2", "MAPS/A.UT2"}
                << "would be the same file";
        }
    }
    void hostileNames() {
        QFETCH(QByteArray, format);
        QFETCH(QByteArrayList, names);
        QFETCH(QString, reason);
        QList<Member> members;
        for (const QByteArray& name : names)
            members.append({name, "data"});
        const auto opened = source("Evil", archiveBytes(members, format.constData()));
        QVERIFY(opened);
        const QList<SourceEntry> entries = opened->entries();
        std::variant<InstallPlacement, InstallRefusal> placement =
            placeArchiveEntries(entries, "Evil");
        GameFolderSnapshot disk;
        disk.addFolder({}, {});
        const std::variant<InstallPlan, InstallRefusal> plan =
            std::holds_alternative<InstallPlacement>(placement)
                ? planInstall(std::get<InstallPlacement>(placement), entries, "Evil", disk)
                : std::get<InstallRefusal>(placement);
        QVERIFY(std::holds_alternative<InstallRefusal>(plan));
        const QString refusal = std::get<InstallRefusal>(plan).reason;
        QVERIFY2(refusal.startsWith("Evil: ") && refusal.contains(reason), qPrintable(refusal));
    }

    // Listed as they are, a file "through" a link too; placing them is the rules' business.
    void linksAndDevices() {
        const auto opened =
            this->source("Special.tar", archiveBytes({{"Maps/a.ut2", "a"},
                                                      {"Maps/b.ut2", {}, AE_IFREG, "Maps/a.ut2"},
                                                      {"Maps/tty", {}, AE_IFCHR},
                                                      {"Maps/pipe", {}, AE_IFIFO},
                                                      {"Maps/link", {}, AE_IFLNK, "/tmp"},
                                                      {"Maps/link/evil.ut2", "evil"}},
                                                     "pax"));
        QVERIFY(opened);
        ArchiveSource& source = *opened;
        QList<SourceEntryType> types;
        for (const SourceEntry& entry : source.entries())
            types.append(entry.type);
        QCOMPARE(types, (QList<SourceEntryType>{SourceEntryType::File, SourceEntryType::HardLink,
                                                SourceEntryType::Other, SourceEntryType::Other,
                                                SourceEntryType::Symlink, SourceEntryType::File}));
        // Only regular files are ever read.
        QCOMPARE(readBack(source, {1}).failure.value_or(QString()),
                 "Special.tar: entry \"Maps/b.ut2\" is not a regular file");
    }

    void tooManyEntries() {
        QList<Member> members;
        for (int i = 0; i < 100000; ++i)
            members.append({"Maps/" + QByteArray::number(i) + ".ut2", {}});
        const QByteArray bytes = archiveBytes(members, "zip", nullptr, "zip:compression=store");
        QCOMPARE(refusalOf("Many.zip", bytes), "Many.zip holds more than 65,536 entries");
    }

    void encrypted() {
        const QByteArray bytes = archiveBytes({{"Maps/x.ut2", "secret"}}, "zip", nullptr,
                                              "zip:encryption=zipcrypt", "password");
        QVERIFY(!bytes.isEmpty());
        QCOMPARE(refusalOf("Secret.zip", bytes), "Secret.zip: entry \"Maps/x.ut2\" is encrypted");
    }

    void truncated() {
        const QByteArray bytes = archiveBytes(somePackages, "pax", "gzip");
        // Refused at once, or failing when read.
        if (const auto opened = source("Cut.tar.gz", bytes.first(bytes.size() / 2)))
            QVERIFY(readBack(*opened, filesOf(*opened)).failure);
        else
            QVERIFY(refusalOf("Cut.tar.gz", bytes.first(bytes.size() / 2))
                        .startsWith("Cut.tar.gz is damaged: "));
    }

    void damagedData_data() {
        QTest::addColumn<QByteArray>("options");
        QTest::addColumn<int>("change"); // 0: a flipped byte; else added to the declared size
        row("CRC, stored", B("zip:compression=store"), 0);
        row("CRC, deflate", B("zip:compression=deflate"), 0);
        row("size too small", B("zip:compression=deflate"), -1000);
        row("size too large", B("zip:compression=deflate"), 1000);
    }
    void damagedData() {
        QFETCH(QByteArray, options);
        QFETCH(int, change);
        const QByteArray data = randomBytes(100 * 1024);
        QByteArray bytes = archiveBytes({{"Maps/x.ut2", data}}, "zip", {}, options);
        if (change == 0) {
            bytes[bytes.indexOf("Maps/x.ut2") + 10 + 500] ^= 0x01; // into the data
        } else {
            const quint32 size = quint32(data.size() + change);
            patchSizes(bytes, QByteArrayView("PK\x03\x04", 4), 22, size); // local header
            patchSizes(bytes, QByteArrayView("PK\x01\x02", 4), 24, size); // central directory
            patchSizes(bytes, QByteArrayView("PK\x07\x08", 4), 12, size); // data descriptor
        }
        const auto opened = source("Damaged.zip", bytes);
        QVERIFY(opened);
        const ReadBack back = readBack(*opened, {0});
        QVERIFY2(back.failure && back.failure->contains("could not be read"),
                 qPrintable(back.failure.value_or("read whole")));
    }

    void notArchives_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QString cannot = " is not an archive Modgate can read";
        row("text", QString("Text.zip"), B("just some text\n"), "Text.zip" + cannot);
        row("empty", QString("Empty.zip"), B(), "Empty.zip" + cannot);
        row("gzip of text", QString("Map.ut2.gz"), archiveBytes({{"x", "text"}}, "raw", "gzip"),
            "Map.ut2.gz" + cannot);
        row("ace", QString("Old.ace"), B("x"), QString("Old.ace: ACE archives are not supported"));
        row("volume", QString("Big.part1.rar"), B("Rar!\x1a\x07\x00", 7),
            QString("Big.part1.rar is one part of a multi-volume archive: multi-volume archives "
                    "are not supported"));
    }
    void notArchives() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QVERIFY2(refusalOf(name, bytes).startsWith(reason), qPrintable(refusalOf(name, bytes)));
    }

    void notAFile() {
        const auto opened = ArchiveSource::open(folder_.path());
        QVERIFY(opened.index() == 1 && std::get<1>(opened).reason.endsWith("is not a file"));
    }

    void archiveKinds_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<bool>("refused");
        const B rar4("Rar!\x1a\x07\x00", 7), rar5("Rar!\x1a\x07\x01\x00", 8), end("PK\x05\x06", 4);
        const B zip("PK\x03\x04", 4);
        const QString rar = "a.rar", zipName = "a.zip";
        // RAR 4 main header: CRC16, type 0x73, flags.
        row("rar4", rar, rar4 + B("\0\0\x73\0\0", 5), B(), false);
        row("rar4 volume", rar, rar4 + B("\0\0\x73\x01\0", 5), B(), true);
        // RAR 5: CRC32, size, type 1, flags 1 (an extra area), its size, archive flags.
        row("rar5", rar, rar5 + B("\0\0\0\0\x05\x01\x01\x00\x00", 9), B(), false);
        row("rar5 volume", rar, rar5 + B("\0\0\0\0\x05\x01\x01\x00\x01", 9), B(), true);
        row("rar5 volume in a self-extractor", QString("a.exe"),
            "MZ" + B(100, 'x') + rar5 + B("\0\0\0\0\x05\x01\x00\x01", 8), B(), true);
        row("zip", zipName, zip, end + B(18, 0), false);
        row("zip, last disk of several", zipName, zip, end + B("\x02\0\x02\0", 4) + B(14, 0), true);
        row("zip, first part", zipName, B("PK\x07\x08PK\x03\x04", 8), B(), true);
        row("zip64 over several disks", zipName, zip,
            B("PK\x06\x07", 4) + B(12, 0) + B("\x03\0\0\0", 4) + end + B("\xff\xff\xff\xff", 4) +
                B(14, 0),
            true);
        row("7z volume", QString("a.7z.001"), B("7z"), B(), true);
        row("z01", QString("a.Z01"), B("PK"), B(), true);
        row("r00", QString("a.r00"), B(), B(), true);
        row("ace by its bytes", zipName, B("1234567**ACE**"), B(), true);
    }
    void archiveKinds() {
        QFETCH(QString, name);
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, tail);
        QFETCH(bool, refused);
        QCOMPARE(unsupportedArchiveReason(name, head, tail).has_value(), refused);
    }

    void sinkStops_data() {
        QTest::addColumn<int>("stopAt"); // 0: begin, 1: data, 2: end
        QTest::newRow("begin") << 0;
        QTest::newRow("data") << 1;
        QTest::newRow("end") << 2;
    }
    void sinkStops() {
        QFETCH(int, stopAt);
        const auto opened = this->source("Stop.zip", archiveBytes(somePackages, "zip"));
        QVERIFY(opened);
        ArchiveSource& source = *opened;
        bool stopped = false, calledAfterStop = false;
        auto call = [&](int which) {
            calledAfterStop = calledAfterStop || stopped;
            stopped = stopped || which == stopAt;
            return !stopped;
        };
        EntryDataSink sink;
        sink.begin = [&](int) { return call(0); };
        sink.data = [&](int, QByteArrayView) { return call(1); };
        sink.end = [&](int) { return call(2); };
        QCOMPARE(source.read(filesOf(source), sink).value_or(QString()),
                 "Reading Stop.zip was stopped");
        QVERIFY(stopped);
        QVERIFY(!calledAfterStop);
    }

    // A whole installer, and a damaged one (its trailer after bytes that are none).
    void nestedInstaller_data() {
        QTest::addColumn<QByteArray>("umod");
        row("whole", packagewriter::umodBytes(packagewriter::withManifests(
                         {{QStringLiteral("Maps\\x.ut2"), randomBytes(1000), 0}})));
        row("damaged", randomBytes(1000) + B("\xa3\xc5\xe3\x9f", 4) + B(16, 0));
    }
    void nestedInstaller() {
        QFETCH(QByteArray, umod);
        const QByteArray bytes = archiveBytes({{"readme.txt", "read me"},
                                               {"Maps/", {}, AE_IFDIR},
                                               {"__MACOSX/._Foo.ut4mod", "junk"},
                                               {"Bundle/Foo.ut4mod", umod},
                                               {"Maps/x.ut2", "x"}},
                                              "zip");
        auto opened = open("Bundle.zip", bytes);
        ArchiveSource& source = *std::get<std::unique_ptr<ArchiveSource>>(opened);
        QCOMPARE(nestedInstallers(source.entries()), QList<int>{3});

        QStringList leftOut;
        for (const LeftOutEntry& entry : leftOutBesideInstaller(source.entries(), 3)) {
            QCOMPARE(entry.reason, "the archive's installer is installed instead");
            QCOMPARE(entry.entry, -1);
            leftOut.append(entry.name);
        }
        QCOMPARE(leftOut, (QStringList{"readme.txt", "Maps/x.ut2"}));

        // Copied exclusively, readable by its owner only, never through a planted link.
        QTemporaryDir scratch;
        const QString target = folder_.filePath("untouched");
        QVERIFY(!writeFile(target, "before").isEmpty());
        QVERIFY(QFile::link(target, scratch.filePath("Foo.ut4mod")));
        const auto copied = copyEntryToFolder(source, 3, scratch.path(), 1 << 20);
        QCOMPARE(std::get<QString>(copied), scratch.filePath("1-Foo.ut4mod"));
        QFile copy(std::get<QString>(copied));
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), umod);
        struct stat status {};
        QCOMPARE(::stat(QFile::encodeName(copy.fileName()).constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, mode_t(0600));
        QFile untouched(target);
        QVERIFY(untouched.open(QIODevice::ReadOnly));
        QCOMPARE(untouched.readAll(), "before");
        // Too large: no file is left behind.
        QVERIFY(std::holds_alternative<InstallRefusal>(
            copyEntryToFolder(source, 3, scratch.path(), 999)));
        QCOMPARE(QDir(scratch.path()).entryList(QDir::Files | QDir::System).size(), 2);

        // Opening the archive is opening the UMOD inside it.
        QTemporaryDir elsewhere, scratch2;
        const QString alone = writeFile(elsewhere.filePath("Foo.ut4mod"), umod);
        const auto direct = openUmodSource(alone);
        const auto viaArchive = openInstallSource(folder_.filePath("Bundle.zip"), scratch2.path());
        if (const InstallRefusal* refused = std::get_if<InstallRefusal>(&direct)) {
            QVERIFY(std::holds_alternative<InstallRefusal>(viaArchive));
            QCOMPARE(std::get<InstallRefusal>(viaArchive).reason, refused->reason);
        } else {
            const OpenedInstallSource& got = std::get<OpenedInstallSource>(viaArchive);
            QCOMPARE(got.kind, OpenedInstallSource::Kind::Umod);
            QCOMPARE(got.extractedInstaller.value_or(QString()), scratch2.filePath("Foo.ut4mod"));
            QCOMPARE(got.leftOutOfArchive.size(), 2);
        }
        // A file ending in the trailer is a UMOD, whatever its name.
        const auto sfx =
            openInstallSource(writeFile(elsewhere.filePath("Foo.exe"), umod), scratch2.path());
        QCOMPARE(std::holds_alternative<InstallRefusal>(sfx),
                 std::holds_alternative<InstallRefusal>(direct));
    }

    void nestedInstallerRefusals_data() {
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<QString>("reason");
        QTest::newRow("two installers")
            << QByteArray("Other.umod") << "Pack.zip holds 2 installers: install each on its own";
        QTest::newRow("a UE2 Runtime installer is one too")
            << QByteArray("Other.urm") << "Pack.zip holds 2 installers: install each on its own";
        QTest::newRow("no trailer")
            << QByteArray() << "Pack.zip: entry \"Foo.ut2mod\" is not a UMOD installer";
    }
    void nestedInstallerRefusals() {
        QFETCH(QByteArray, second);
        QFETCH(QString, reason);
        QList<Member> members = {{"Foo.ut2mod", "no trailer here"}, {"Maps/x.ut2", "x"}};
        if (!second.isEmpty())
            members.append({second, "x"});
        QVERIFY(!writeFile(folder_.filePath("Pack.zip"), archiveBytes(members, "zip")).isEmpty());
        QTemporaryDir scratch;
        const auto opened = openInstallSource(folder_.filePath("Pack.zip"), scratch.path());
        QVERIFY(std::holds_alternative<InstallRefusal>(opened));
        QCOMPARE(std::get<InstallRefusal>(opened).reason, reason);
        QVERIFY(QDir(scratch.path()).isEmpty());
    }
};

MODGATE_TEST_MAIN(ArchiveSourceTest)
#include "tst_archivesource.moc"
