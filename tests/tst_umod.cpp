// SPDX-License-Identifier: GPL-3.0-or-later
#include "fixtures.h"
#include "modinstall/umodplacement.h"
#include "modinstall/umodsource.h"
#include "packages/umodarchive.h"
#include "packages/umodcrc.h"
#include "packages/umodmanifest.h"
#include "packagewriter/umodwriter.h"
#include "testmain.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <functional>
#include <sys/stat.h>

using namespace packagewriter;
using Bytes = std::function<QByteArray()>;
Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(QList<packagewriter::UmodFile>)

using namespace Qt::StringLiterals;

namespace {

using fixtures::row;

std::variant<UmodArchive, QString> read(QByteArray bytes) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return readUmodArchive(buffer);
}

QString refusal(const std::variant<UmodArchive, QString>& result) {
    return result.index() == 1 ? std::get<1>(result) : QString();
}

const QList<UmodFile> files = {
    {u"System\\Demo.u"_s, "package bytes", 0},
    {u"Help\\Empty.txt"_s, "", 0},
    {u"Maps\\DM-Demo.ut2"_s, "map", 0},
};

// The bytes with their checksum made right again, for faults past the checksum.
QByteArray resealed(QByteArray bytes) {
    qToLittleEndian(umodCrc(QByteArrayView(bytes).chopped(umodTrailerSize)),
                    bytes.data() + bytes.size() - 4);
    return bytes;
}

qsizetype directoryOf(const QByteArray& umod) {
    return qFromLittleEndian<quint32>(umod.constData() + umod.size() - 16);
}

// Where a field of entry `index` lies (0 offset, 1 size, 2 flags), for 8-bit names under 64.
qsizetype fieldAt(const QByteArray& umod, int index, int field) {
    qsizetype at = directoryOf(umod) + 1;
    for (int i = 0; i < index; ++i)
        at += 1 + umod[at] + 12;
    return at + 1 + umod[at] + 4 * field;
}

QByteArray patched(QByteArray bytes, qsizetype at, QByteArrayView with) {
    return resealed(bytes.replace(at, with.size(), with.toByteArray()));
}

QByteArray uint32(quint32 value) {
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// A resolution in one line: installed files (source>destination when renamed), then -skipped,
// !ini edits and @program.
QString summary(const std::variant<UmodManifest, QString>& result) {
    if (const QString* why = std::get_if<QString>(&result))
        return *why;
    const UmodManifest& manifest = std::get<UmodManifest>(result);
    QStringList parts;
    for (const UmodFileLine& line : manifest.files)
        parts.append(line.source == line.destination ? line.source
                                                     : line.source + u'>' + line.destination);
    for (const UmodSkippedLine& line : manifest.skipped)
        parts.append(u'-' + line.source);
    for (const QString& edit : manifest.iniEdits)
        parts.append(u'!' + edit);
    if (manifest.program)
        parts.append(u'@' + *manifest.program);
    return parts.join(u' ');
}

} // namespace

class UmodTest : public QObject {
    Q_OBJECT

private slots:
    void checksum() {
        QCOMPARE(umodCrc("123456789"), 0xFC891918u);
        QCOMPARE(umodCrc(""), 0u);
        // Against the bit-at-a-time definition, at every length and alignment the fast paths
        // take, chained at an uneven split.
        QByteArray data(4096 + 64, Qt::Uninitialized);
        QRandomGenerator random(7);
        for (char& c : data)
            c = char(random.generate());
        for (qsizetype length : {1, 15, 16, 63, 64, 127, 128, 129, 200, 511, 1000, 4096}) {
            for (qsizetype start : {0, 1, 7}) {
                const QByteArrayView bytes = QByteArrayView(data).sliced(start, length);
                quint32 reference = 0xFFFFFFFF;
                for (const char byte : bytes) {
                    reference ^= quint32(uchar(byte)) << 24;
                    for (int bit = 0; bit < 8; ++bit)
                        reference = reference & 0x80000000u ? (reference << 1) ^ 0x04C11DB7u
                                                            : reference << 1;
                }
                QCOMPARE(umodCrc(bytes), ~reference);
                const qsizetype split = length / 3;
                QCOMPARE(umodCrc(bytes.sliced(split), umodCrc(bytes.first(split))), ~reference);
            }
        }
    }

    void roundTrip_data() {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<bool>("wide");
        QTest::newRow("back to back") << 0 << false;
        QTest::newRow("payloads at multiples of 16") << 16 << false;
        QTest::newRow("UTF-16 names") << 0 << true;
    }
    void roundTrip() {
        QFETCH(int, alignment);
        QFETCH(bool, wide);
        UmodOptions options;
        options.alignment = alignment;
        options.utf16Names = wide;
        QList<UmodFile> written = withManifests(files);
        written[2].name = u"System\\D\u00e9mo.u"_s; // Windows-1252 when 8-bit
        QByteArray bytes = umodBytes(written, options);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        const auto result = readUmodArchive(buffer);
        QVERIFY2(result.index() == 0, qPrintable(refusal(result)));
        const UmodArchive& archive = std::get<0>(result);
        QCOMPARE(archive.fileSize, bytes.size());
        QCOMPARE(archive.entries.size(), written.size());
        // As in the installers measured: the directory right after the last payload, unaligned.
        QCOMPARE(archive.directoryOffset % 16 == 0, false);
        for (qsizetype i = 0; i < written.size(); ++i) {
            const UmodEntry& entry = archive.entries[i];
            QCOMPARE(entry.name, written[i].name);
            QCOMPARE(entry.flags, written[i].flags);
            QCOMPARE(entry.size, written[i].bytes.size());
            if (alignment)
                QCOMPARE(entry.offset % alignment, 0);
            QByteArray streamed;
            QCOMPARE(readUmodEntry(buffer, entry, 5,
                                   [&](QByteArrayView chunk) {
                                       streamed += chunk;
                                       return chunk.size() <= 5;
                                   }),
                     UmodReadEnd::Done);
            QCOMPARE(streamed, written[i].bytes);
        }
        QVERIFY(hasUmodTrailer(buffer));
    }

    void refused_data() {
        QTest::addColumn<Bytes>("bytes");
        QTest::addColumn<QString>("reason"); // a part of it; empty: accepted
        const QList<UmodFile> all = withManifests(files);
        const auto with = [&](auto change, QList<UmodFile> list = {}) {
            return Bytes([=]() {
                UmodOptions options;
                change(options);
                return umodBytes(list.isEmpty() ? all : list, options);
            });
        };
        const auto named = [&](const QString& name, bool wide = false) {
            return Bytes([=]() {
                UmodOptions options;
                options.utf16Names = wide;
                return umodBytes({{name, "x", 0}}, options);
            });
        };
        const Bytes plain = with([](UmodOptions&) {});
        const qsizetype tail = umodTrailerSize;
        // The plain installer with bytes put at the place `at` finds, its checksum made right.
        const auto patch = [=](qsizetype (*at)(const QByteArray&), const QByteArray& with) {
            return Bytes([=] {
                const QByteArray bytes = plain();
                return patched(bytes, at(bytes), with);
            });
        };

        row("whole", plain, "");
        row("UTF-16 name", named(u"Help\\\u263A.txt"_s, true), "");
        row("1,024-byte name", named(QString(1024, u'a')), "");
        row("self-extracting program before it",
            with([](UmodOptions& o) { o.stub = QByteArray(300, 'M'); }), "");
        row("20 bytes", Bytes([=] { return plain().right(tail); }), "too small");
        row("bad magic", Bytes([=] { return plain().replace(plain().size() - tail, 1, "\0", 1); }),
            "not a UMOD");
        row("bytes after the trailer", Bytes([=] { return plain() + "junk"; }), "not a UMOD");
        row("version 2", with([](UmodOptions& o) { o.version = 2; }), "version (2)");
        row("larger than the file", with([](UmodOptions& o) { o.sizeDelta = 1; }), "incomplete");
        row("smaller than the file", with([](UmodOptions& o) { o.sizeDelta = -1; }),
            "longer than the installer says");
        row("bad checksum", with([](UmodOptions& o) { o.badCrc = true; }), "the file is damaged");
        row("a payload byte changed", Bytes([=] { return plain().replace(5, 1, "?"); }),
            "the file is damaged");
        row("directory beyond the file", Bytes([=] {
                QByteArray bytes = plain();
                return bytes.replace(bytes.size() - 16, 4, uint32(quint32(bytes.size())));
            }),
            "starts outside");
        row("count larger than the bytes left", patch(directoryOf, "\x3F"),
            "more files than it has room for");
        row("huge count", with([](UmodOptions& o) { o.hugeCount = true; }),
            "more files than it has room for");
        row("negative count", patch(directoryOf, "\x81"), "negative number");
        row("more than 65,536 files", Bytes([] {
                return umodBytes(QList<UmodFile>(umodMostEntries + 1, {u"a"_s, {}, 0}));
            }),
            "more than 65,536 files");
        row("negative name length", with([](UmodOptions& o) { o.negativeNameLength = true; }),
            "list of files is faulty");
        row("name length 0",
            patch([](const QByteArray& b) { return directoryOf(b) + 1; }, QByteArray(1, '\0')),
            "a file name is empty");
        row("only a NUL", named(QString()), "a file name is empty");
        row("no NUL at the end",
            patch([](const QByteArray& b) { return fieldAt(b, 0, 0) - 1; }, "x"),
            "does not end where it should");
        row("tab", named(u"System\\A\tB.u"_s), "control character");
        row("unassigned Windows-1252 byte", named(u"System\\A\u0081.u"_s), "control character");
        row("1,025-byte name", named(QString(1025, u'a')), "too long");
        row("entry beyond the payloads",
            patch([](const QByteArray& b) { return fieldAt(b, 4, 1); }, uint32(0xFFFFFFFF)),
            "Maps\\DM-Demo.ut2 lies outside");
        row("overlapping entries", with([](UmodOptions& o) { o.overlap = true; }), "share bytes");
        row("bytes between directory and trailer",
            with([](UmodOptions& o) { o.afterDirectory = "x"; }), "stray bytes");
        row("one name in two cases", Bytes([] {
                return umodBytes({{u"System\\A.u"_s, "1", 0}, {u"system/a.U"_s, "2", 0}});
            }),
            "both System\\A.u and system/a.U");
    }
    void refused() {
        QFETCH(Bytes, bytes);
        QFETCH(QString, reason);
        const auto result = read(bytes());
        if (reason.isEmpty())
            QVERIFY2(result.index() == 0, qPrintable(refusal(result)));
        else
            QVERIFY2(refusal(result).contains(reason), qPrintable(refusal(result)));
    }

    // Cut anywhere, as a failed download is, and with the trailer kept after the cut.
    void cutAtEveryOffset() {
        const QByteArray whole = umodBytes(withManifests(files));
        const QByteArray trailer = whole.right(umodTrailerSize);
        for (qsizetype size = 0; size < whole.size(); ++size) {
            QVERIFY(!refusal(read(whole.first(size))).isEmpty());
            QByteArray kept = whole.first(std::min(size, whole.size() - umodTrailerSize)) + trailer;
            qToLittleEndian(quint32(kept.size()), kept.data() + kept.size() - 12);
            if (kept != whole)
                QVERIFY2(!refusal(read(resealed(kept))).isEmpty(),
                         qPrintable(QString::number(size)));
        }
    }

    void resolution_data() {
        fixtures::columns("ini", "expected");
        const QString setup = u"[Setup]\nProduct=Demo\nRequires=Game\n"
                              "[Game]\nProduct=UT2004\n"_s;
        QTest::newRow("groups in [Setup] order")
            << setup + "[Setup]\nGroup=B\nGroup=A\n[A]\nFile=(Src=a)\n[B]\nFile=(Src=b)"
            << "b a";
        QTest::newRow("sub-groups after the group's own lines")
            << setup + "[Setup]\nGroup=A\n[A]\nFile=(Src=a1)\nGroup=S\nFile=(Src=a2)\n"
                       "[S]\nFile=(Src=s)\nGroup=T\n[T]\nFile=(Src=t)"
            << "a1 a2 s t";
        QTest::newRow("a loop of groups")
            << setup + "[Setup]\nGroup=A\n[A]\nGroup=B\nFile=(Src=a)\n[B]\nGroup=A\nFile=(Src=b)"
            << "a b";
        QTest::newRow("Selected=False, with its sub-groups")
            << setup + "[Setup]\nGroup=A\nGroup=C\n[A]\nselected=false\nFile=(Src=a)\nGroup=B\n"
                       "[B]\nFile=(Src=b)\n[C]\nSelected=True\nFile=(Src=c)"
            << "c";
        QTest::newRow("Dest over Src")
            << setup + "[Setup]\nGroup=A\n[A]\nFile=(Dest=System\\New.u,Src=System\\Old.u)"
            << "System\\Old.u>System\\New.u";
        QTest::newRow("Lang")
            << setup +
                   "[Setup]\nGroup=A\n[A]\nFile=(Src=a.int,Lang=INT)\nFile=(Src=a.det,Lang=det)\n"
                   "File=(Src=a,Lang=)"
            << "a.int a -a.det";
        QTest::newRow("Copy: the manifests left out, other files installed")
            << setup + "[Setup]\nGroup=A\n[A]\nCopy=(Src=System\\Manifest.ini,Flags=3)\n"
                       "Copy=(Src=SYSTEM/manifest.INT)\nCopy=(Src=Help\\x.txt)\n"
                       "File=(Src=a,Dest=System\\.\\Manifest.ini)"
            << "Help\\x.txt -System\\Manifest.ini -SYSTEM/manifest.INT -a";
        QTest::newRow("quoted Src with a comma, whole field names")
            << setup +
                   "[Setup]\nGroup=A\n[A]\nFile=(MasterSrc=x, Src = \"Maps\\DM-A,B.ut2\" ,Size=3)"
            << "Maps\\DM-A,B.ut2";
        QTest::newRow("keys and fields in any case, comments, CR LF")
            << (setup + "[setup]\r\n; Group=Z\r\nGROUP=A\r\n[a]\r\nfile=(SRC=a,dEsT=b)\r\n")
            << "a>b";
        QTest::newRow("ini edits listed, the program noted")
            << setup + "[Setup]\nGroup=A\nExe=System\\Demo.exe\n[A]\n"
                       "Ini=System\\UT2004.ini,Engine.GameEngine.ServerPackages=Demo\n"
                       "ADDINI=System\\UT2004.ini,Engine.GameEngine.EditPackages=Demo"
            << "!Ini=System\\UT2004.ini,Engine.GameEngine.ServerPackages=Demo "
               "!ADDINI=System\\UT2004.ini,Engine.GameEngine.EditPackages=Demo "
               "@System\\Demo.exe";
        QTest::newRow("Ref refused")
            << setup + "[Setup]\nGroup=A\n[A]\nFile=(Src=a)\nFile=(Src=p,Ref=System\\Engine.u)"
            << "it holds a patch for System\\Engine.u, not the whole file";
        QTest::newRow("a line without Src refused")
            << setup + "[Setup]\nGroup=A\n[A]\nFile=(Dest=a)"
            << "its manifest lists a file without saying which";
        QTest::newRow("Patch refused") << setup + "[Setup]\nPatch=True"
                                       << "it is a patch for the game itself, not a mod";
        QTest::newRow("UnrealTournament only refused")
            << "[Setup]\nRequires=R\nRequires=S\n[R]\nProduct=UnrealTournament\n[S]\nProduct=X"
            << "made for UnrealTournament, not UT2004";
        QTest::newRow("UE2Runtime refused") << "[Setup]\nRequires=R\n[R]\nProduct=UE2Runtime"
                                            << "made for UE2Runtime, not UT2004";
        QTest::newRow("UT2003 is met")
            << "[Setup]\nRequires=R\nRequires=S\nGroup=A\n[R]\nProduct=Unreal Tournament\n"
               "[S]\nProduct=ut2003\n[A]\nFile=(Src=a)"
            << "a";
    }
    void resolution() {
        QFETCH(QString, ini);
        QFETCH(QString, expected);
        QCOMPARE(summary(resolveUmodManifest(ini.toUtf8())), expected);
    }

    void source_data() {
        QTest::addColumn<QList<UmodFile>>("written");
        QTest::addColumn<QString>("expected"); // the refusal, or what is placed and left out
        const QList<UmodFile> large = {{u"Maps\\Big.ut2"_s, QByteArray(2621447, 'b'), 0},
                                       {u"System\\Demo.int"_s, "[Public]", 0},
                                       {u"Help\\Demo.txt"_s, "readme", 0}};
        ManifestContents contents;
        contents.groups = {{u"Main"_s,
                            {u"File=(Src=Maps\\big.UT2,Dest=Maps\\DM-Big.ut2)"_s,
                             u"File=(Src=System\\Demo.int,Lang=int)"_s},
                            true}};
        QTest::newRow("placed and left out")
            << withManifests(large, contents)
            << "Test Mod: 2 Maps\\DM-Big.ut2, 3 System\\Demo.int; left out: 0 System\\Manifest.ini "
               "(the installer's own manifest), 1 System\\Manifest.int (the installer's own "
               "manifest), 4 Help\\Demo.txt (not chosen by the manifest)";
        contents.localProduct.clear();
        contents.groups[0].lines.append(u"File=(Src=Maps\\Gone.ut2)"_s);
        QTest::newRow("a Src it does not hold")
            << withManifests(large, contents)
            << "its manifest names Maps\\Gone.ut2, which it does not hold";
        contents.groups[0].lines.last() = u"File=(Src=Help\\Demo.txt,Dest=maps\\dm-big.ut2)"_s;
        QTest::newRow("two files at one place")
            << withManifests(large, contents) << "its manifest puts two files at maps\\dm-big.ut2";
        QTest::newRow("no manifest") << large << "holds no Manifest.ini";
    }
    // Through the file, as an install reads it: the check, the manifests, the placement, then
    // the placed entries' bytes.
    void source() {
        QFETCH(QList<UmodFile>, written);
        QFETCH(QString, expected);
        const QTemporaryDir folder;
        const QString path = folder.filePath(u"Demo.ut4mod"_s);
        UmodOptions padded;
        padded.alignment = 16;
        const QByteArray bytes = umodBytes(written, padded);
        QVERIFY(fixtures::writeFile(path, bytes));
        auto opened = UmodSource::open(path);
        QVERIFY(opened.index() == 0);
        UmodSource& source = *std::get<0>(opened);
        QCOMPARE(source.fileName(), u"Demo.ut4mod"_s);

        const auto placed = placeUmod(source);
        if (const InstallRefusal* refused = std::get_if<InstallRefusal>(&placed)) {
            QCOMPARE(refused->reason, expected);
            return;
        }
        const UmodPlacement& placement = std::get<UmodPlacement>(placed);
        QStringList got, left;
        QSet<int> wanted;
        for (const auto& [entry, destination] : placement.files) {
            got.append(u"%1 %2"_s.arg(entry).arg(destination));
            wanted.insert(entry);
        }
        for (const LeftOutEntry& entry : placement.leftOut)
            left.append(u"%1 %2 (%3)"_s.arg(entry.entry).arg(entry.name, entry.reason));
        QCOMPARE(placement.name + ": " + got.join(", ") + "; left out: " + left.join(", "),
                 expected);

        // In file order, each whole, in chunks of at most 1 MiB; a sink may stop it.
        QStringList calls;
        QHash<int, QByteArray> data;
        EntryDataSink sink;
        sink.begin = [&](int entry) {
            calls.append(u"begin %1"_s.arg(entry));
            return true;
        };
        sink.data = [&](int entry, QByteArrayView chunk) {
            data[entry] += chunk;
            return chunk.size() <= 1024 * 1024;
        };
        sink.end = [&](int entry) {
            calls.append(u"end %1"_s.arg(entry));
            return true;
        };
        const std::optional<QString> failed = source.read(wanted, sink);
        QVERIFY2(!failed, qPrintable(failed.value_or(QString())));
        QCOMPARE(calls, QStringList({"begin 2", "end 2", "begin 3", "end 3"}));
        QCOMPARE(data.value(2), written[2].bytes);
        QCOMPARE(data.value(3), written[3].bytes);
        sink.data = [](int, QByteArrayView) { return false; };
        QVERIFY(source.read(wanted, sink));
    }

    // Refused whole, and a FIFO in the file's place never holds the reader at open().
    void refusedSource() {
        const QTemporaryDir folder;
        const QString path = folder.filePath(u"Demo.umod"_s);
        UmodOptions damaged;
        damaged.badCrc = true;
        QVERIFY(fixtures::writeFile(path, umodBytes(withManifests(files), damaged)));
        const auto opened = UmodSource::open(path);
        QCOMPARE(std::get<InstallRefusal>(opened).reason, u"the file is damaged"_s);
        QVERIFY(hasUmodTrailer(path));
        QVERIFY(!hasUmodTrailer(folder.filePath(u"missing"_s)));
        const QString fifo = folder.filePath(u"Fifo.umod"_s);
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QVERIFY(!hasUmodTrailer(fifo));
        QCOMPARE(std::get<InstallRefusal>(UmodSource::open(fifo)).reason,
                 u"it could not be opened (not a regular file)"_s);
    }
};

MODGATE_TEST_MAIN(UmodTest)
#include "tst_umod.moc"
