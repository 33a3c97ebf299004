// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller.h"
#include "app/game/gamebundledialog.h"
#include "fixtures.h"
#include "installation/desktopentry.h"
#include "installation/gamecopies.h"
#include "installation/gamelayout.h"
#include "installation/gamelocation.h"
#include "installation/gamestop.h"
#include "installation/programcheck.h"
#include "installation/steamlibraries.h"
#include "support/userdefaults.h"
#include "testmain.h"

#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <csignal>

Q_DECLARE_METATYPE(CpuArchitecture)

namespace {

using fixtures::columns;
using fixtures::row;

// In the rows "-" stands for no path at all, "$" for the folder holding the test's games.
const QString none = QStringLiteral("-");
const QString bundle = QStringLiteral("Unreal Tournament 2004.app");
const QString inBundle = QStringLiteral("Contents/MacOS/Unreal Tournament 2004");
const QString pathKey = QStringLiteral("unrealPath");

// A little-endian ELF header of the given class and machine, with an interpreter segment naming
// loader unless it is empty.
QByteArray elf(bool wide, quint16 machine, const QByteArray& loader) {
    const int word = wide ? 8 : 4, entrySize = wide ? 56 : 32;
    QByteArray bytes(wide ? 64 : 52, '\0');
    const auto put = [&](qsizetype at, quint64 value, int size) {
        for (int i = 0; i < size; ++i)
            bytes[at + i] = char(value >> (8 * i));
    };
    bytes.replace(0, 6, "\177ELF" + QByteArray(1, char(wide ? 2 : 1)) + char(1));
    put(18, machine, 2);
    put(wide ? 32 : 28, quint64(bytes.size()), word);
    put(wide ? 54 : 42, quint64(entrySize), 2);
    put(wide ? 56 : 44, loader.isEmpty() ? 0 : 1, 2);
    if (loader.isEmpty())
        return bytes;
    const qsizetype entry = bytes.size();
    bytes.resize(entry + entrySize, '\0');
    put(entry, 3, 4);
    put(entry + word, quint64(bytes.size()), word);
    put(entry + (wide ? 32 : 16), quint64(loader.size() + 1), word);
    return bytes + loader + '\0';
}

} // namespace

class InstallationTest : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> games;

    QString fill(QString text) const { return text.replace(u'$', games->path()); }

private slots:
    void init() {
        games.emplace();
        // The bundle, an OldUnreal copy and an original Linux client's.
        const QString others = ";f:Linux/System/UT2004;f:Classic/System/ut2004-bin;f:Steam/Unreal "
                               "Tournament 2004/linuxdata/System/ut2004-bin-linux-amd64";
        QVERIFY(fixtures::makeTree(games->path(), "f:" + bundle + '/' + inBundle + others));
    }
    void cleanup() {
        // After a cancel Qt runs no loop, a dialog's included, until the application's own ran.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }

    void gamePathFromGameLog_data() {
        columns("log", "expected");
        const QString prefix = "Init: Base directory: ", line = prefix + "/G/UT.app/System";
        row("CR LF", "Log: open\r\n" + line + "\r\nInit: Computer: host\r\n", "/G/UT.app");
        row("CR", "Log: open\r" + line + "\rInit: Computer: host\r", "/G/UT.app");
        row("last line wins", line + '\n' + prefix + "/Two/System\nLog: after", "/Two");
        row("last line too short, no earlier one instead", line + '\n' + prefix + "System", none);
        row("7 characters: no empty path", prefix + "ABCDEFG", none);
        row("prefix in another letter case", "init: base directory: /G/UT.app/System", none);
        row("prefix after a space", ' ' + line, none);
        row("System/", prefix + "/home/jo/UT2004/System/", "/home/jo/UT2004/");
        row("SystemARM64/", prefix + "/home/jo/UT2004/SystemARM64/", "/home/jo/UT2004/");
        row("Windows path, SystemARM64\\", prefix + "C:\\UT2004\\SystemARM64\\", "C:\\UT2004\\");
    }
    void gamePathFromGameLog() {
        QFETCH(QString, log);
        QFETCH(QString, expected);
        QCOMPARE(::gamePathFromGameLog(log).value_or(none), expected);
    }

    void recognizeGameLayout_data() {
        columns("tree", "executable"); // the executable below the game folder
        QTest::addColumn<CpuArchitecture>("cpu");
        const auto x86 = CpuArchitecture::X86_64;
        const QString ut = "System/UT2004", amd64 = "System/ut2004-bin-linux-amd64",
                      bin = "System/ut2004-bin", arm = "SystemARM64/UT2004";
        row("bundle's executable a folder", "d:" + inBundle, inBundle, x86);
        row("bundle beside System/UT2004", "f:" + inBundle + ";f:" + ut, inBundle, x86);
        row("three x86 clients: OldUnreal's", "f:" + bin + ";f:" + amd64 + ";f:" + ut, ut, x86);
        row("3369: 64-bit over 32-bit", "f:" + bin + ";f:" + amd64, amd64, x86);
        row("Linux executable a folder", "d:" + ut + ";f:" + bin, bin, x86);
        row("ARM64 only, on x86_64", "f:" + arm, arm, x86);
        row("ARM64's own first", "f:" + ut + ";f:" + arm, arm, CpuArchitecture::Arm64);
        row("System a link elsewhere", "f:../Elsewhere/UT2004;l:System>../Elsewhere", ut, x86);
    }
    void recognizeGameLayout() {
        QFETCH(QString, tree);
        QFETCH(QString, executable);
        QFETCH(CpuArchitecture, cpu);
        const QString game = games->filePath("game"), path = game + '/' + executable;
        QVERIFY(fixtures::makeTree(game, tree));
        const GameLayout layout = ::recognizeGameLayout(game, cpu).value_or(GameLayout());
        QCOMPARE((QStringList{layout.executable, layout.workingDirectory, layout.searchBase}),
                 (QStringList{path, path.endsWith(inBundle) ? game : QFileInfo(path).path(),
                              game + '/'}));
    }

    // Library lists as Steam writes them, its older form, and text that is not one.
    void steamLibraryPaths_data() {
        columns("vdf", "expected"); // the paths, joined with ";"
        const QString now =
            "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"/home/jo/.local/"
            "share/Steam\"\n\t\t\"label\"\t\t\"\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"13230\""
            "\t\t\"5765431723\"\n\t\t}\n\t}\n\t\"1\"\n\t{\n\t\t\"path\"\t\t\"/mnt/Second "
            "Drive/SteamLibrary\"\n\t}\n}\n";
        row("Steam's own", now, "/home/jo/.local/share/Steam;/mnt/Second Drive/SteamLibrary");
        row("older form",
            "\"LibraryFolders\" { \"TimeNextStatsReport\" \"1\" \"1\" \"/mnt/games\" }",
            "/mnt/games");
        row("comments, bare words, PATH in capitals, escapes",
            "// made by hand\nlibraryfolders { 0 { PATH \"/a\\\\b \\\"q\\\"\" } }", "/a\\b \"q\"");
        row("a block left open", now.chopped(2), "");
        row("one brace too many", now + "}", "");
        row("a string left open", "\"libraryfolders\" { \"0\" { \"path\" \"/a }}", "");
        row("a key without a value", "\"libraryfolders\" { \"0\" { \"path\" } }", "");
        row("binary", QChar(1) + QString("libraryfolders") + QChar(0) + "path" + QChar(0) + "/a",
            "");
        row("empty", "", "");
    }
    void steamLibraryPaths() {
        QFETCH(QString, vdf);
        QFETCH(QString, expected);
        QCOMPARE(::steamLibraryPaths(vdf).join(u';'), expected);
    }

    // The program an installer's menu entry starts.
    void desktopEntryProgram_data() {
        columns("entry", "expected");
        const QString head = "[Desktop Entry]\nType=Application\nName=UT2004\n";
        row("OldUnreal's", head + "Exec=\"/games/UT2004/System/UT2004\" %u\nIcon=x\n",
            "/games/UT2004/System/UT2004");
        row("unquoted, spaces around =", head + "Exec = /g/SystemARM64/UT2004 %u",
            "/g/SystemARM64/UT2004");
        row("quoted with a space and an escaped quote",
            head + "Exec=\"/my games/U\\\\\"T/System/UT2004\"", "/my games/U\"T/System/UT2004");
        row("only in the main group", "[Desktop Action x]\nExec=/a/System/UT2004\n" + head, none);
        row("empty Exec=", head + "Exec=\n", none);
        row("quote left open", head + "Exec=\"/games/UT2004/System/UT2004 %u", none);
        row("relative", head + "Exec=UT2004 %u", none);
        row("ExecPath= is another key", head + "ExecPath=/a/System/UT2004", none);
    }
    void desktopEntryProgram() {
        QFETCH(QString, entry);
        QFETCH(QString, expected);
        QCOMPARE(::desktopEntryProgram(entry).value_or(none), expected);
    }

    // The places in their order over a sandbox ("$"): a log, a known folder, an installer's menu
    // entry, two Steam roots (the first with a library list), the games folder and two PATH
    // folders. Each folder found once, where it was first found; a place that fails gives nothing.
    void findGameCopies_data() {
        columns("tree", "log", "entry", "vdf", "expected"); // expected joined with ";"
        const QString ut = "/System/UT2004", steam = "steamapps/common/Unreal Tournament 2004/";
        const QString library = "\"libraryfolders\" { \"1\" { \"path\" \"$/Drive2\" } }";
        const QString entry = "[Desktop Entry]\nExec=\"$/Custom/System/UT2004\" %u\n";
        const QString everywhere =
            "f:Known" + ut + ";f:Custom" + ut + ";f:Drive2/" + steam + "linuxdata" + ut +
            ";f:Drive2/" + steam + "linuxdata-oldunreal-v2" + ut + ";f:Steam2/" + steam +
            "linuxdata-oldunreal" + ut + ";f:Games/Lutris" + ut +
            ";f:Games/GOG/Unreal Tournament 2004" + ut + ";d:Games/Empty;f:Pkg" + ut +
            ";l:Bin2/ut2004>../Pkg/System/UT2004";
        row("every place, in order", everywhere, "", entry, library,
            "$/Known;$/Custom;$/Drive2/" + steam + "linuxdata-oldunreal-v2;$/Drive2/" + steam +
                "linuxdata;$/Steam2/" + steam +
                "linuxdata-oldunreal;$/Games/GOG/Unreal Tournament "
                "2004;$/Games/Lutris;$/Pkg");
        row("each folder once, by its first place",
            "f:Custom" + ut + ";l:Known>Custom;l:Games/Again>../Custom;l:Bin1/ut2004>../Custom" +
                ut,
            "$/Custom/System/", entry, "", "$/Custom/");
        row("a log naming no copy, an entry naming a folder", "f:Known" + ut + ";d:Custom" + ut,
            "$/Gone/System/", entry, "", "$/Known");
        row("a malformed library list: the root's own copy still",
            "f:Drive2/" + steam + "linuxdata" + ut + ";f:Steam1/" + steam + "linuxdata" + ut, "",
            "", library.chopped(1), "$/Steam1/" + steam + "linuxdata");
        row("a library list over 64 KiB", "f:Drive2/" + steam + "linuxdata" + ut, "", "",
            library + QString(64 << 10, u' '), "");
        row("a PATH command that loops, one outside a System folder",
            "l:Bin1/ut2004>ut2004;f:Pkg" + ut + ";f:Pkg/bin/ut2004;l:Bin2/ut2004>../Pkg/bin/ut2004",
            "", "", "", "");
    }
    void findGameCopies() {
        QFETCH(QString, tree);
        QFETCH(QString, log);
        QFETCH(QString, entry);
        QFETCH(QString, vdf);
        QFETCH(QString, expected);
        const QString root = games->filePath("sandbox");
        const auto in = [&](QString text) { return text.replace(u'$', root); };
        QVERIFY(fixtures::makeTree(root, tree));
        QVERIFY(log.isEmpty() || fixtures::writeGameLog(root + "/log", in(log)));
        QVERIFY(fixtures::writeFile(root + "/app.desktop", in(entry).toUtf8()));
        QVERIFY(
            fixtures::writeFile(root + "/Steam1/steamapps/libraryfolders.vdf", in(vdf).toUtf8()));
        const GameCopyPlaces places{{root + "/log"},         {root + "/Known"},
                                    {root + "/app.desktop"}, {root + "/Steam1", root + "/Steam2"},
                                    root + "/Games",         {root + "/Bin1", root + "/Bin2"}};
        QStringList found = ::findGameCopies(places, CpuArchitecture::X86_64);
        // The games folder's order is the file system's.
        if (found.size() > 6 && found.at(5) > found.at(6))
            found.swapItemsAt(5, 6);
        QCOMPARE(found.join(u';'), in(expected));
    }

    // The stored path, the logs (naming System folders), the known folders, each taken only where
    // a game is recognised; then the real dialog, where a name below the games is typed in and
    // confirmed, and a cancel follows while it stays open. "-" expected: the application ended.
    void setUnrealLocation_data() {
        columns("stored", "bundleLog", "linuxLog", "known", "typed", "expected");
        const QString game = "$/" + bundle, gone = "$/Gone/System/", linux = "$/Linux/System/";
        row("stored wins, there or not", "/S", game + "/System", linux, "$/Linux", "", "/S");
        row("stored empty still wins", "", game + "/System", "", "", "", "");
        row("bundle log first", none, game + "/System", linux, "", "", game);
        row("stale bundle log, Linux log", none, gone, linux, "", "", "$/Linux/");
        row("logs before known folders", none, "", linux, "$/Classic", "", "$/Linux/");
        row("first known game", none, "", gone, "$ $/Classic $/Linux", "", "$/Classic");
        row("stale log: the dialog", none, gone, "", "$/Gone", "Classic", "$/Classic");
        const auto typed = [](const char* name, const QString& chosen, const QString& expected) {
            row(name, none, "", "", "", chosen, expected);
        };
        typed("the bundle's name, whatever it holds", "Names/" + bundle, "$/Names/" + bundle);
        typed("the name in another case", "Names/unreal tournament 2004.APP", none);
        typed("another bundle's name", "Names/UT2004.app", none);
        typed("the name and more", "Names/" + bundle + ".old", none);
        typed("more and the name", "Names/My " + bundle, none);
        typed("a System folder stands for its game", "Linux/System", "$/Linux");
        typed("so does a SystemARM64 folder", "Linux/SystemARM64", "$/Linux");
        typed("a System folder of no game", "NoGame/System", none);
        typed("another folder of a game", "Classic/Help", none);
        typed("Steam's copy stands for its native tree", "Steam/Unreal Tournament 2004",
              "$/Steam/Unreal Tournament 2004/linuxdata");
    }
    void setUnrealLocation() {
        QFETCH(QString, stored);
        QFETCH(QString, bundleLog);
        QFETCH(QString, linuxLog);
        QFETCH(QString, known);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        UserDefaults::standard().setObjectForKey(
            stored == none ? std::nullopt : std::optional<QVariant>(stored), pathKey);
        for (const auto& [log, path] : {std::pair(bundleLog, fixtures::bundleLogPath()),
                                        std::pair(linuxLog, fixtures::linuxLogPath())})
            QVERIFY(log.isEmpty() ? QFile::remove(path) || !QFile::exists(path)
                                  : fixtures::writeGameLog(path, fill(log)));
        QVERIFY(typed.isEmpty() || QDir().mkpath(games->filePath(typed)));
        Controller controller;
        controller.setWellKnownGameFolders(fill(known).split(u' ', Qt::SkipEmptyParts));
        bool cancelled = false;
        QString refused, lastTyped;
        bool opensAtHome = false;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<GameBundleDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            const QString name = std::exchange(typed, QString());
            cancelled = name.isEmpty();
            if (cancelled) {
                refused = dialog->findChild<QLabel*>("refusal")->text();
                return dialog->reject();
            }
            lastTyped = games->filePath(name);
            // It opens at home, nothing typed in, hidden folders shown.
            opensAtHome = dialog->directory() == QDir::home() &&
                          dialog->findChild<QLineEdit*>("fileNameEdit")->text().isEmpty() &&
                          dialog->filter().testFlag(QDir::Hidden);
            dialog->setDirectory(QFileInfo(games->filePath(name)).path());
            // selectFile() leaves a name field that has the focus alone; typed in, the name counts.
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QFileInfo(name).fileName());
            dialog->accept();
        });
        timer.start(20);
        controller.setUnrealLocation();
        QCOMPARE(cancelled && controller.hasTerminated(), expected == none);
        QCOMPARE(opensAtHome, !lastTyped.isEmpty());
        // A refused folder is refused with its reason.
        QCOMPARE(refused, lastTyped.isEmpty() || expected != none
                              ? QString()
                              : "No copy of the game in " + lastTyped +
                                    ": Modgate looks for System/UT2004, System/ut2004-bin-linux-"
                                    "amd64 or Unreal Tournament 2004.app");
        QCOMPARE(UserDefaults::standard().stringForKey(pathKey).value_or(none), fill(expected));
    }

    // A log of up to 64 MiB is read; a larger one counts as none.
    void gameLogSizeCap() {
        QVERIFY(!QFile::exists(fixtures::linuxLogPath()));
        for (const qint64 extra : {0, 1}) {
            QVERIFY(fixtures::writeGameLog(fixtures::bundleLogPath(),
                                           fill("$/" + bundle + "/System")) &&
                    QFile::resize(fixtures::bundleLogPath(), (qint64(64) << 20) + extra));
            UserDefaults::standard().setObjectForKey(std::nullopt, pathKey);
            Controller controller;
            controller.setWellKnownGameFolders({});
            controller.setLocationDialog([](Controller&) { return std::optional<QString>("/C"); });
            controller.setUnrealLocation();
            QCOMPARE(UserDefaults::standard().stringForKey(pathKey),
                     extra ? "/C" : fill("$/" + bundle));
        }
    }

    // What a stopped game leaves behind, and the reason read from it. Logs are "old:" (written
    // before the launch), "mid:" (during the run) or else just written.
    void whyGameStopped_data() {
        columns("output", "log", "modLog", "userModLog", "exit", "reason", "shown");
        const QString entry = "Critical: Failed to enter Entry: Can't find file 'Entry'";
        row("output only", "Log: a\n" + entry + "\nExit: Exiting.", "", "", "", "1",
            "Failed to enter Entry: Can't find file 'Entry'", "output");
        row("mod's log only, first of several", "Log: a", "",
            "Init: x\r\n" + entry + "\r\nCritical: UGameEngine::Init\r\nCritical: InitEngine", "",
            "1", "Failed to enter Entry: Can't find file 'Entry'", "modLog");
        row("mod's log in the per-user folder", "", "", "", "Critical: ReadFile beyond EOF 0+4/0",
            "1", "ReadFile beyond EOF 0+4/0", "userModLog");
        row("old log ignored", "Log: a", "old:Critical: Stale", "", "", "3", "exit code 3",
            "output");
        row("newest log first", "", "mid:Critical: Older", "Critical: Newer", "", "1", "Newer",
            "modLog");
        row("not at a line start", "Log: said Critical: no", "", "", "", "3", "exit code 3",
            "output");
        row("crash by signal", "", "", "", "", "SIGSEGV", "it crashed: Segmentation fault", "");
        row("no output: the newest log shown", "", "old:Log: x", "mid:Log: y", "", "3",
            "exit code 3", "modLog");
        row("exit 0, Critical line in an old log", "", "old:" + entry, "", "", "0", "", "");
        row("exit 0, Critical line in the output", entry, "", "", "", "0", "", "");
    }

    void whyGameStopped() {
        QFETCH(QString, output);
        QFETCH(QString, log);
        QFETCH(QString, modLog);
        QFETCH(QString, userModLog);
        QFETCH(QString, exit);
        QFETCH(QString, reason);
        QFETCH(QString, shown);
        const QDateTime started = QDateTime::currentDateTimeUtc().addSecs(-60);
        const QString game = games->filePath("Linux");
        const QStringList candidates = gameLogCandidates(QDir::homePath(), game, "M");
        QCOMPARE(candidates.mid(1), QStringList({fixtures::linuxLogPath(), game + "/M/System/M.log",
                                                 QDir::homePath() + "/.ut2004/M/System/M.log"}));
        const QString texts[] = {log, modLog, userModLog},
                      names[] = {"log", "modLog", "userModLog"};
        std::optional<QString> shownPath;
        for (int i = 0; i < 3; ++i) {
            const QString& path = candidates[i + 1];
            QFile::remove(path);
            if (shown == names[i])
                shownPath = path;
            if (texts[i].isEmpty())
                continue;
            const bool old = texts[i].startsWith("old:"), mid = texts[i].startsWith("mid:");
            QVERIFY(fixtures::writeFile(path, texts[i].mid(old || mid ? 4 : 0).toUtf8()));
            QFile file(path);
            QVERIFY(!(old || mid) || (file.open(QFile::ReadWrite) &&
                                      file.setFileTime(started.addSecs(old ? -3600 : 10),
                                                       QFile::FileModificationTime)));
        }
        const GameExit end{exit == "SIGSEGV", exit == "SIGSEGV" ? SIGSEGV : exit.toInt()};
        const std::optional<GameStop> stop = ::whyGameStopped(end, output, started, candidates);
        QDir(QDir::homePath() + "/.ut2004").removeRecursively();
        QCOMPARE(stop.has_value(), !reason.isEmpty());
        if (stop) {
            QCOMPARE(stop->reason, reason);
            QCOMPARE(stop->logPath, shownPath);
        }
    }

    // The player is shown the last 200 lines, whatever ends them.
    void lastLines() {
        QString text;
        for (int i = 1; i <= 250; ++i)
            text += QString::number(i) + (i % 2 ? "\r\n" : "\r");
        QCOMPARE(::lastLines(text, shownLogLines).section('\r', 0, 0), "51");
        QCOMPARE(::lastLines(text, shownLogLines).count('\r'), 199);
        QCOMPARE(::lastLines(u"a\nb", shownLogLines), "a\nb");
    }

    // A program that exists yet cannot start: its first bytes, and what the player is told.
    void programCannotRunReason_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("reason");
        const QByteArray gone = "/nonexistent/lib/ld-linux.so.2";
        const QByteArray there = QFile::encodeName(QCoreApplication::applicationFilePath());
        row("32-bit, loader missing", elf(false, 3, gone),
            "the game is a 32-bit program and this system's 32-bit libraries are not installed "
            "(/nonexistent/lib/ld-linux.so.2 is missing)");
        row("32-bit, loader there", elf(false, 3, there), "");
        row("64-bit, loader missing", elf(true, 62, gone),
            "the program loader /nonexistent/lib/ld-linux.so.2 that the game needs is not "
            "installed");
        row("64-bit, static", elf(true, 62, ""), "");
        row("ARM64", elf(true, 183, there),
            "the game is made for ARM64 processors, not for this computer's x86-64");
        row("headers cut off", elf(true, 62, gone).first(70), "");
        row("script, interpreter missing", QByteArray("#!  /nonexistent/python2 -u\nprint()"),
            "the game is a script and its interpreter /nonexistent/python2 is not installed");
        row("script, interpreter there", "#!" + there + "\n", "");
        row("neither", QByteArray("MZ\x90"), "");
    }

    void programCannotRunReason() {
        QFETCH(QByteArray, head);
        QFETCH(QString, reason);
        const QString program = games->filePath("program");
        QVERIFY(fixtures::writeFile(program, head));
        QFile file(program);
        QVERIFY(file.open(QFile::ReadOnly));
        const auto exists = [](const QString& path) { return QFileInfo::exists(path); };
        QCOMPARE(
            ::programCannotRunReason(file.read(programHeadBytes), CpuArchitecture::X86_64, exists)
                .value_or(""),
            reason);
    }
};

MODGATE_TEST_MAIN(InstallationTest)
#include "tst_installation.moc"
