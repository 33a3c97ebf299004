// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller.h"
#include "app/gamebundledialog.h"
#include "fixtures.h"
#include "installation/gamelayout.h"
#include "installation/gamelocation.h"
#include "support/userdefaults.h"
#include "testmain.h"

#include <QLineEdit>
#include <QTimer>

Q_DECLARE_METATYPE(CpuArchitecture)

namespace {

using fixtures::columns;
using fixtures::row;

// In the rows "-" stands for no path at all, "$" for the folder holding the test's games.
const QString none = QStringLiteral("-");
const QString bundle = QStringLiteral("Unreal Tournament 2004.app");
const QString inBundle = QStringLiteral("Contents/MacOS/Unreal Tournament 2004");
const QString pathKey = QStringLiteral("unrealPath");

} // namespace

class InstallationTest : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> games;

    QString fill(QString text) const { return text.replace(u'$', games->path()); }

private slots:
    void init() {
        games.emplace();
        // The bundle, an OldUnreal copy and an original Linux client's.
        QVERIFY(fixtures::makeTree(games->path(), "f:" + bundle + '/' + inBundle +
                                                      ";f:Linux/System/UT2004;"
                                                      "f:Classic/System/ut2004-bin"));
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
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<GameBundleDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            const QString name = std::exchange(typed, QString());
            cancelled = name.isEmpty();
            if (cancelled)
                return dialog->reject();
            dialog->setDirectory(QFileInfo(games->filePath(name)).path());
            // selectFile() leaves a name field that has the focus alone; typed in, the name counts.
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QFileInfo(name).fileName());
            dialog->accept();
        });
        timer.start(20);
        controller.setUnrealLocation();
        QCOMPARE(cancelled && controller.hasTerminated(), expected == none);
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
};

MODGATE_TEST_MAIN(InstallationTest)
#include "tst_installation.moc"
