#include "catalogue/modsearch.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using OptionalString = std::optional<QString>;

namespace {

bool buildTree(const QString& base, const QStringList& layout) {
    for (const QString& line : layout) {
        const QString entry = line.mid(2);
        const QString path = base + u'/' + entry.section(u'>', 0, 0);
        if (!QDir().mkpath(QFileInfo(path).path()))
            return false;
        if (line.startsWith(u"f:") && !QFile(path).open(QIODevice::WriteOnly))
            return false;
        if (line.startsWith(u"l:") &&
            ::symlink(QFile::encodeName(entry.section(u'>', 1)).constData(),
                      QFile::encodeName(path).constData()) != 0)
            return false;
    }
    return true;
}

QList<ModEntry> search(const std::optional<QString>& path) {
    QList<ModEntry> found;
    searchForModsInBasePath(path, [&](ModEntry entry) { found.append(std::move(entry)); });
    return found;
}

// Siblings come in the file system's order, so launchNames are compared as a sorted list.
QStringList sortedLaunchNames(const QList<ModEntry>& entries) {
    QStringList names;
    for (const ModEntry& entry : entries)
        names.append(entry.launchName.value_or(QStringLiteral("<absent>")));
    names.sort();
    return names;
}

} // namespace

class TestModSearch : public QObject {
    Q_OBJECT

private slots:
    // Layouts list "f:path" and "l:path>target"; launchNames are sorted; both split at spaces.
    void findsManifests_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("below"); // appended to the base path searched
        QTest::addColumn<QString>("launchNames");
        const auto row = [](const char* name, const QString& layout, const QString& below,
                            const QString& launchNames) {
            QTest::newRow(name) << layout << below << launchNames;
        };
        const QString twoInOne("f:ModA/ut2k4mod.ini f:ModA/Sub/UT2K4MOD.INI");

        row("missing folder", "f:ut2k4mod.ini", "/missing", "");
        row("two manifests in one mod folder", twoInOne, "", "ModA ModA");
        row("trailing /", twoInOne, "/", "ModA ModA");
        row("manifest directly in the base", "f:UT2k4mod.ini", "", "UT2k4mod.ini");
        // The Kelvin sign (U+212A) lowercases to "k"; U+00FC is no "u".
        row("only the exact name counts, any case",
            QStringLiteral("f:ModB/ut2k4mod.ini.bak f:ModB/myut2k4mod.ini f:ModB/ut2k4mod.in "
                           "f:ModC/UT2k4Mod.INI f:ModK/ut2\u212A4mod.ini f:ModU/\u00FCt2k4mod.ini"),
            "", "ModC ModK");
        row("folder named like a manifest, walked into", "f:ModE/ut2k4mod.ini/Deeper/ut2k4mod.ini",
            "", "ModE ModE");
        row("deep manifest belongs to the top folder", "f:Deep/a/b/c/d/e/ut2k4mod.ini", "", "Deep");
        row("link loop and dangling links",
            "f:Loop/ut2k4mod.ini l:Loop/Contents/MacOS/GameData>../.. l:Loop/Self>. "
            "l:Loop/Dangling>nowhere l:Broken/ut2k4mod.ini>gone "
            "l:Alias/ut2k4mod.ini>../Loop/ut2k4mod.ini l:Mirror>Loop",
            "", "Alias Broken Loop");
        row("hidden folders are walked", "f:.Hidden/ut2k4mod.ini f:Visible/.cache/ut2k4mod.ini", "",
            ".Hidden Visible");
        row("non-ASCII mod folder", QStringLiteral("f:M\u00F6d\u2603/ut2k4mod.ini"), "",
            QStringLiteral("M\u00F6d\u2603"));
        // As distribution packages install mods; never twice, never the game folder again.
        row("top-level links to folders outside the game folder only",
            "f:Shared/Real/ut2k4mod.ini l:Game/Linked>../Shared/Real f:Game/Own/ut2k4mod.ini "
            "l:Game/Twice>Own l:Game/Own/Deep>../../Shared/Real l:Game/Up>.. l:Game/Root>/",
            "/Game", "Linked Own");
        row("linked bundle walks as its target",
            "f:Real.app/ModA/ut2k4mod.ini l:Linked.app>Real.app", "/Linked.app", "ModA");
    }

    void findsManifests() {
        QFETCH(QString, layout);
        QFETCH(QString, below);
        QFETCH(QString, launchNames);
        QTemporaryDir base;
        QVERIFY(buildTree(base.path(), layout.split(u' ')));

        const QList<ModEntry> found = search(base.path() + below);
        QCOMPARE(sortedLaunchNames(found), launchNames.split(u' ', Qt::SkipEmptyParts));
        // Every manifest here is empty, a link to nothing or a folder: launchName alone.
        for (const ModEntry& entry : found)
            QVERIFY(!entry.name && !entry.command && !entry.url);
    }

    void manifestSizeLimit_data() {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<OptionalString>("name");
        QTest::newRow("1 MiB, read") << qint64(1 << 20) << OptionalString("Big");
        QTest::newRow("1 MiB and a byte, unreadable") << qint64(1 << 20) + 1 << OptionalString();
    }
    void manifestSizeLimit() {
        QFETCH(qint64, size);
        QFETCH(OptionalString, name);
        QTemporaryDir base;
        QFile manifest(base.filePath("Big/ut2k4mod.ini"));
        // The rest is a hole of NUL bytes: cheap to make, valid text.
        QVERIFY(QDir(base.path()).mkdir("Big") && manifest.open(QIODevice::WriteOnly) &&
                manifest.write("ModTitle=Big\n") == 13 && manifest.resize(size));
        const QList<ModEntry> found = search(base.path());
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().launchName, QStringLiteral("Big"));
        QCOMPARE(found.first().name, name);
    }

    void absentPathReportsNothing() { QVERIFY(search(std::nullopt).isEmpty()); }

    void folderNameThatIsNotUtf8StillYieldsItsMod() {
        QTemporaryDir base;
        const QByteArray folder = QFile::encodeName(base.path()) + "/Mod\xff\xfe";
        const QByteArray manifest = folder + "/UT2k4mod.ini";
        QCOMPARE(::mkdir(folder.constData(), 0755), 0);
        // QTemporaryDir cannot name this folder to remove it.
        const auto removeFolder = qScopeGuard([&] {
            ::unlink(manifest.constData());
            ::rmdir(folder.constData());
        });
        const int fd = ::open(manifest.constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "ModTitle=Odd Folder\n", 20), 20);
        QCOMPARE(::close(fd), 0);

        const QList<ModEntry> found = search(base.path());
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().launchName, QFile::decodeName("Mod\xff\xfe"));
        // Read through the folder's own bytes, not its decoded name.
        QCOMPARE(found.first().name, QStringLiteral("Odd Folder"));
    }

    void unreadableFoldersArePassedOver() {
        QTemporaryDir base;
        QVERIFY(buildTree(base.path(), {"f:Locked/Inner/ut2k4mod.ini", "f:Open/ut2k4mod.ini",
                                        "f:ModF/ut2k4mod.ini/Inner/x"}));
        const QByteArray locked = QFile::encodeName(base.path() + "/Locked");
        const QByteArray lockedManifest = QFile::encodeName(base.path() + "/ModF/ut2k4mod.ini");
        QCOMPARE(::chmod(locked.constData(), 0), 0);
        QCOMPARE(::chmod(lockedManifest.constData(), 0), 0);
        const QList<ModEntry> found = search(base.path());
        ::chmod(locked.constData(), 0755);
        ::chmod(lockedManifest.constData(), 0755);
        // Root reads every folder; an unreadable manifest folder still counts once.
        const QStringList expected =
            ::geteuid() == 0 ? QStringList{"Locked", "ModF", "Open"} : QStringList{"ModF", "Open"};
        QCOMPARE(sortedLaunchNames(found), expected);
    }
};

MODGATE_TEST_MAIN(TestModSearch)
#include "tst_modsearch.moc"
