#include "catalogue/modsearch.h"
#include "installation/gamelayout.h"
#include "installation/gamelocation.h"
#include "support/textfile.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

QString generator() {
    return qEnvironmentVariable("MODGATE_BUILD_DIR") +
           QStringLiteral("/tools/sampleinstallation/modgate-sample-installation");
}

} // namespace

class TestSampleInstallation : public QObject {
    Q_OBJECT

    QTemporaryDir work;

    bool run(const QStringList& arguments) {
        QProcess process;
        process.start(generator(), arguments);
        return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }

private slots:
    void initTestCase() {
        if (!QFileInfo(generator()).isExecutable())
            QSKIP("the sample installation generator is not built");
    }

    void installationHoldsGameLogAndMods_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("executable"); // below home
        QTest::newRow("OldUnreal, the default") << ""
                                                << ".local/share/OldUnreal/UT2004/System/UT2004";
        QTest::newRow("3369") << "linux3369"
                              << "Games/ut2004/System/ut2004-bin-linux-amd64";
        QTest::newRow("bundle") << "bundle"
                                << "Applications/Unreal Tournament 2004.app/Contents/MacOS/"
                                   "Unreal Tournament 2004";
    }
    // The game the launcher finds from the sample's log is the sample's, with all its mods.
    void installationHoldsGameLogAndMods() {
        QFETCH(QString, layout);
        QFETCH(QString, executable);
        const QString game = work.filePath(QStringLiteral("game"));
        QFile gameFile(game);
        QVERIFY(gameFile.open(QIODevice::WriteOnly));
        QVERIFY(gameFile.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));

        const QString out = work.filePath(QStringLiteral("sample"));
        QStringList arguments{"--game", game, "--out", out};
        if (!layout.isEmpty())
            arguments << "--layout" << layout;
        // The second run replaces the first.
        QVERIFY(run(arguments) && run(arguments));

        std::optional<QString> gamePath;
        for (const QString& logPath : gameLogPaths(out + QStringLiteral("/home")))
            if (const auto text = stringWithContentsOfFile(logPath, maxGameLogBytes);
                text && !gamePath)
                gamePath = gamePathFromGameLog(*text);
        QVERIFY(gamePath);
        const std::optional<GameLayout> found = recognizeGameLayout(*gamePath);
        QVERIFY(found && QFileInfo(found->executable).isExecutable());
        QCOMPARE(QDir::cleanPath(found->executable), out + QStringLiteral("/home/") + executable);

        QStringList launchNames;
        searchForModsInBasePath(gamePath, [&](ModEntry entry) {
            launchNames.append(entry.launchName.value_or(QString()));
        });
        launchNames.sort();
        QCOMPARE(launchNames,
                 (QStringList{"AlienInvasion", "ExampleMod", "FragOps", "FragOps", "FrontLine",
                              "Leftovers", "NoLinkMod", "ShortLink", "Troopers"}));
    }

    void syntheticTreeHasTheEntriesAsked() {
        const QString tree = work.filePath(QStringLiteral("tree"));
        QVERIFY(run({"--tree", tree, "--entries", "2000", "--mods", "50"}));
        QVERIFY(run({"--tree", tree, "--entries", "2000", "--mods", "50"}));
        int manifests = 0;
        searchForModsInBasePath(tree, [&](ModEntry) { ++manifests; });
        // The mods, a hidden one, one with an odd folder name and a folder named like a manifest.
        QCOMPARE(manifests, 53);
        // Odd names cannot be removed through QDir; the generator clears its own tree.
        QVERIFY(run({"--tree", tree, "--entries", "1", "--mods", "0"}));
    }

    void refusesFoldersItDidNotMake() {
        const QString foreign = work.filePath(QStringLiteral("foreign"));
        QVERIFY(QDir().mkpath(foreign + QStringLiteral("/keep")));
        QVERIFY(!run({"--tree", foreign, "--entries", "10"}));
        QVERIFY(QFileInfo(foreign + QStringLiteral("/keep")).isDir());
    }
};

MODGATE_TEST_MAIN(TestSampleInstallation)
#include "tst_sampleinstallation.moc"
