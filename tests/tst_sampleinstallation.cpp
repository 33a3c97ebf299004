#include "catalogue/modsearch.h"
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

    void installationHoldsGameLogAndMods() {
        const QString game = work.filePath(QStringLiteral("game"));
        QFile gameFile(game);
        QVERIFY(gameFile.open(QIODevice::WriteOnly));
        gameFile.write("#!/bin/sh\n");
        gameFile.close();
        QVERIFY(gameFile.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner));

        const QString out = work.filePath(QStringLiteral("sample"));
        // The second run replaces the first.
        QVERIFY(run({"--game", game, "--out", out}));
        QVERIFY(run({"--game", game, "--out", out}));

        const QString bundle =
            out + QStringLiteral("/home/Applications/Unreal Tournament 2004.app");
        QVERIFY(QFileInfo(bundle + QStringLiteral("/Contents/MacOS/Unreal Tournament 2004"))
                    .isExecutable());
        QVERIFY(QFileInfo(bundle + QStringLiteral("/System")).isDir());

        QFile log(
            out +
            QStringLiteral(
                "/home/Library/Application Support/Unreal Tournament 2004/System/UT2004.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString prefix = QStringLiteral("Init: Base directory: ");
        QStringList baseLines;
        for (const QString& line : QString::fromUtf8(log.readAll()).split(u'\n'))
            if (line.startsWith(prefix))
                baseLines.append(line.mid(prefix.size()).chopped(7));
        QCOMPARE(baseLines.size(), 2);
        QCOMPARE(baseLines.last(), QFileInfo(bundle).absoluteFilePath());

        QStringList launchNames;
        searchForModsInBasePath(bundle, [&](ModEntry entry) {
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
