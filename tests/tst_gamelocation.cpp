#include "installation/gamelayout.h"
#include "installation/gamelocation.h"
#include "testmain.h"

#include <QObject>
#include <QTest>
#include <optional>

using OptionalString = std::optional<QString>;
Q_DECLARE_METATYPE(OptionalString)

namespace {

const QString prefix = QStringLiteral("Init: Base directory: ");

} // namespace

class GameLocationTest : public QObject {
    Q_OBJECT
private slots:
    void gamePathFromGameLog_data();
    void gamePathFromGameLog();
    void recognizeGameLayout_data();
    void recognizeGameLayout();
    void gameFolderForChosenFolder();
};

void GameLocationTest::gamePathFromGameLog_data() {
    QTest::addColumn<QString>("log");
    QTest::addColumn<OptionalString>("expected");

    const OptionalString none;
    const OptionalString game = QStringLiteral("/Games/Unreal Tournament 2004.app");
    const QString gameLine = prefix + QStringLiteral("/Games/Unreal Tournament 2004.app/System");

    QTest::newRow("empty text") << QString() << none;
    QTest::newRow("no base-directory line")
        << QStringLiteral("Log: Log file open\nInit: Version 3369\n") << none;
    QTest::newRow("one line") << QStringLiteral("Log: Log file open\n") + gameLine +
                                     QStringLiteral("\nInit: Computer: host\n")
                              << game;
    QTest::newRow("only the line, no line end") << gameLine << game;
    QTest::newRow("several, the last wins")
        << prefix + QStringLiteral("/One.app/System\n") + QStringLiteral("Log: between\n") +
               prefix + QStringLiteral("/Two.app/System\n") + prefix +
               QStringLiteral("/Three.app/System\nLog: after\n")
        << OptionalString(QStringLiteral("/Three.app"));
    QTest::newRow("the last one too short, no earlier one instead")
        << gameLine + QStringLiteral("\n") + prefix + QStringLiteral("System\n") << none;
    QTest::newRow("prefix differing in case")
        << QStringLiteral("init: base directory: /Games/Other.app/System\n") << none;
    QTest::newRow("a later line differing in case does not count")
        << gameLine + QStringLiteral("\nInit: Base Directory: /Games/Other.app/System\n") << game;
    QTest::newRow("prefix after a leading space") << QStringLiteral(" ") + gameLine << none;
    QTest::newRow("prefix inside a line")
        << QStringLiteral("Log: ") + gameLine + QStringLiteral("\n") << none;
    QTest::newRow("CR LF") << QStringLiteral("Log: Log file open\r\n") + gameLine +
                                  QStringLiteral("\r\nInit: Computer: host\r\n")
                           << game;
    QTest::newRow("CR LF, line last without an end")
        << QStringLiteral("Log: Log file open\r\n") + gameLine << game;
    QTest::newRow("CR only") << QStringLiteral("Log: Log file open\r") + gameLine +
                                    QStringLiteral("\rInit: Computer: host\r")
                             << game;
    QTest::newRow("mixed line ends") << prefix + QStringLiteral("/One.app/System\r\n") + prefix +
                                            QStringLiteral("/Two.app/System\rLog: after\n")
                                     << OptionalString(QStringLiteral("/Two.app"));
    QTest::newRow("text beyond ASCII")
        << prefix + QStringLiteral(u"/Spiele/Ünreal Türnament.app/System\n")
        << OptionalString(QStringLiteral(u"/Spiele/Ünreal Türnament.app"));

    // The line names a System folder: removed whole, however long its name.
    const OptionalString linuxGame = QStringLiteral("/home/jo/UT2004/");
    QTest::newRow("System/") << prefix + QStringLiteral("/home/jo/UT2004/System/") << linuxGame;
    QTest::newRow("SystemARM64/") << prefix + QStringLiteral("/home/jo/UT2004/SystemARM64/")
                                  << linuxGame;
    QTest::newRow("Windows path") << prefix + QStringLiteral("C:\\UT2004\\System\\")
                                  << OptionalString(QStringLiteral("C:\\UT2004\\"));
    QTest::newRow("bundle's System/")
        << gameLine + QStringLiteral("/") << OptionalString(*game + u'/');
    QTest::newRow("no folder above System/") << prefix + QStringLiteral("System/") << none;

    // 22 to 29 characters leave 0 to 7 behind the prefix: nothing, never an empty path.
    const QString tail = QStringLiteral("ABCDEFGH");
    for (int length = 22; length <= 30; ++length) {
        const QString line = prefix + tail.left(length - 22);
        const QByteArray name = QByteArray::number(length) + " characters";
        QTest::newRow(name.constData())
            << line + QStringLiteral("\n")
            << (length == 30 ? OptionalString(QStringLiteral("A")) : none);
    }
}

void GameLocationTest::gamePathFromGameLog() {
    QFETCH(QString, log);
    QFETCH(OptionalString, expected);
    QCOMPARE(::gamePathFromGameLog(log), expected);
}

namespace {

// "f:path" a file, "d:path" a folder, "l:path>target" a link, split at ";".
bool makeEntries(const QString& base, const QString& entries) {
    for (const QString& entry : entries.split(u';', Qt::SkipEmptyParts)) {
        const QString path = base + u'/' + entry.mid(2).section(u'>', 0, 0);
        const bool made = QDir().mkpath(entry.startsWith(u"d:") ? path : QFileInfo(path).path()) &&
                          (!entry.startsWith(u"f:") || QFile(path).open(QIODevice::WriteOnly)) &&
                          (!entry.startsWith(u"l:") || QFile::link(entry.section(u'>', 1), path));
        if (!made)
            return false;
    }
    return true;
}

const QString bundleExecutable = QStringLiteral("Contents/MacOS/Unreal Tournament 2004");

} // namespace

Q_DECLARE_METATYPE(CpuArchitecture)

void GameLocationTest::recognizeGameLayout_data() {
    QTest::addColumn<QString>("entries");
    QTest::addColumn<CpuArchitecture>("cpu");
    QTest::addColumn<QString>("executable"); // below the game folder; empty: nothing recognised
    const auto x86 = CpuArchitecture::X86_64;
    const QString bundleFile = QStringLiteral("f:") + bundleExecutable;
    QTest::newRow("nothing") << "f:System/Core.u;d:SystemARM64" << x86 << "";
    QTest::newRow("bundle") << bundleFile << x86 << bundleExecutable;
    QTest::newRow("bundle's executable a folder")
        << "d:" + bundleExecutable << x86 << bundleExecutable;
    QTest::newRow("bundle beside System/UT2004")
        << bundleFile + ";f:System/UT2004" << x86 << bundleExecutable;
    QTest::newRow("all three x86 clients: OldUnreal's")
        << "f:System/ut2004-bin;f:System/ut2004-bin-linux-amd64;f:System/UT2004" << x86
        << "System/UT2004";
    QTest::newRow("3369: 64-bit over 32-bit")
        << "f:System/ut2004-bin;f:System/ut2004-bin-linux-amd64" << x86
        << "System/ut2004-bin-linux-amd64";
    QTest::newRow("executable a folder")
        << "d:System/UT2004;f:System/ut2004-bin" << x86 << "System/ut2004-bin";
    QTest::newRow("ARM64 only, on x86_64") << "f:SystemARM64/UT2004" << x86 << "SystemARM64/UT2004";
    QTest::newRow("ARM64 first on ARM64")
        << "f:System/UT2004;f:SystemARM64/UT2004" << CpuArchitecture::Arm64 << "SystemARM64/UT2004";
    QTest::newRow("ppc64le") << "f:SystemPPC64LE/UT2004-powerpc64le;f:System/UT2004"
                             << CpuArchitecture::Ppc64le << "SystemPPC64LE/UT2004-powerpc64le";
    QTest::newRow("System a link elsewhere")
        << "f:../Elsewhere/UT2004;l:System>../Elsewhere" << x86 << "System/UT2004";
}

void GameLocationTest::recognizeGameLayout() {
    QFETCH(QString, entries);
    QFETCH(CpuArchitecture, cpu);
    QFETCH(QString, executable);
    QTemporaryDir temp;
    const QString game = temp.filePath(QStringLiteral("game"));
    QVERIFY(QDir().mkpath(game) && makeEntries(game, entries));

    const std::optional<GameLayout> layout = ::recognizeGameLayout(game, cpu);
    QCOMPARE(layout.has_value(), !executable.isEmpty());
    if (!layout)
        return;
    const bool bundle = executable == bundleExecutable;
    QCOMPARE(layout->executable, game + u'/' + executable);
    QCOMPARE(layout->workingDirectory, bundle ? game : QFileInfo(layout->executable).path());
    QCOMPARE(layout->searchBase, game + u'/');
}

void GameLocationTest::gameFolderForChosenFolder() {
    QTemporaryDir temp;
    const QString game = temp.path();
    QVERIFY(makeEntries(game, QStringLiteral("f:SystemARM64/UT2004;f:Other/System/x")));
    const auto chosen = [](const QString& path) {
        return ::gameFolderForChosenFolder(path, CpuArchitecture::X86_64);
    };
    QCOMPARE(chosen(game), game);
    QCOMPARE(chosen(game + QStringLiteral("/SystemARM64/")), game);
    QCOMPARE(chosen(game + QStringLiteral("/Other/System")), std::nullopt);
    QCOMPARE(chosen(game + QStringLiteral("/Other")), std::nullopt);
}

MODGATE_TEST_MAIN(GameLocationTest)
#include "tst_gamelocation.moc"
