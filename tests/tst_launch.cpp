// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller.h"
#include "app/game/gamecopyfinder.h"
#include "app/game/gamerun.h"
#include "app/game/gameselector.h"
#include "app/launcher.h"
#include "catalogue/gamelaunch.h"
#include "fixtures.h"
#include "support/busyindicator.h"
#include "support/outputtail.h"
#include "support/userdefaults.h"
#include "testmain.h"
#include "window/vxfadewindow.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QJsonDocument>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QTextBlock>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <csignal>
#include <thread>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using fixtures::Executable;
using fixtures::Layout;

namespace {

constexpr int slow = 60000; // a loaded machine, a sanitizer build, a Qt program to start

// The plain game, a mod with a command and one without; what the game gets for each.
const QList<ModEntry> mods{{u"UT2004"_s, u""_s, {}, {}},
                           {u"A"_s, u"-log -windowed"_s, {}, u"ModA"_s},
                           {u"B"_s, {}, {}, u"ModB"_s}};
const QStringList passed[] = {{u""_s}, {u"-log -windowed"_s, u"-mod=ModA"_s}, {u"-mod=ModB"_s}};

// A command and a launchName, and the arguments the game gets for them.
using Row = std::tuple<std::optional<QString>, std::optional<QString>, QStringList>;
// How the game ends, or why none starts.
enum class End {
    Quits,
    Killed,
    AtOnce,
    AfterHang, // as AtOnce, found again while the games folder is listed till the test lets go
    Relaunch,
    Closed,
    FailsNext,
    Errs,
    Crashes,
    Fails,
    NotThere,
    Cancelled,
    Nothing
};
// The game's layout and executable, the stored path ("<tmp>": the temporary, current folder),
// the selected row (-1: none), the end.
using Case = std::tuple<Layout, Executable, QString, int, End>;

} // namespace

class LaunchTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> temp;
    std::unique_ptr<Launcher> launcher;
    Controller* controller = nullptr;
    QList<QUrl> opened;

    // What the user sees: window W, indicator I, Launch B, selection lock L, then the status line.
    QString now() const {
        const Controller& c = *controller;
        return u"%1%2%3%4 "_s.arg(c.window->isVisible() ? 'W' : '-')
                   .arg(c.busyIndicator->isAnimating() ? 'I' : '-')
                   .arg(c.launchButton->isEnabled() ? 'B' : '-')
                   .arg(c.locked ? 'L' : '-') +
               c.statusField->text();
    }

    // Where "Show Log" leads: the log window, what it says, and the folder its button opens.
    void checkLog(const QString& path, const QString& critical) {
        auto* button = controller->window->findChild<QPushButton*>(u"showLogButton"_s);
        QVERIFY(button && button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
        auto* log = controller->window->findChild<QWidget*>(u"gameLogWindow"_s);
        QTRY_VERIFY(log && log->isVisible());
        QCOMPARE(log->findChild<QLabel*>(u"gameLogPath"_s)->text(), path);
        const QTextDocument* text = log->findChild<QPlainTextEdit*>(u"gameLogView"_s)->document();
        const QTextBlock line = text->find(critical).block();
        QVERIFY(line.isValid() && line.text() == critical);
        QCOMPARE(line.begin().fragment().charFormat().fontWeight(), QFont::Bold);
        QCOMPARE(text->firstBlock().begin().fragment().charFormat().fontWeight(), QFont::Normal);
        QDesktopServices::setUrlHandler(u"file"_s, this, "open");
        QTest::mouseClick(log->findChild<QPushButton*>(u"openLogFolderButton"_s), Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(u"file"_s);
        QCOMPARE(opened, QList{QUrl::fromLocalFile(QFileInfo(path).path())});
    }

public slots:
    void open(const QUrl& url) { opened.append(url); }

private slots:
    void cleanup() {
        if (launcher) {
            fixtures::writeFile(temp->filePath(u"quit"_s)); // a game still running quits
            (void)QTest::qWaitFor([this] { return !controller->locked; }, slow);
        }
        launcher.reset();
    }

    void argumentList_data() {
        QTest::addColumn<Row>("r");
        QTest::newRow("no launchName") << Row{u"-x"_s, {}, {u"-x"_s, u""_s}};
        QTest::newRow("only spaces, empty launchName") << Row{u"   "_s, u""_s, {u"-mod="_s}};
        QTest::newRow("leading spaces up to a tab; one argument")
            << Row{u"  \t-x -y  "_s, u"M"_s, {u"\t-x -y  "_s, u"-mod=M"_s}};
        QTest::newRow("CR LF, LF and CR removed")
            << Row{u"-x\r\n-y\n-z\r"_s, u"M"_s, {u"-x-y-z"_s, u"-mod=M"_s}};
        QTest::newRow("spaces go before line breaks")
            << Row{u"\n  -x"_s, u"M"_s, {u"  -x"_s, u"-mod=M"_s}};
    }

    void argumentList() {
        QFETCH(Row, r);
        const auto& [command, launchName, expected] = r;
        QCOMPARE(gameArgumentList({u"Mod"_s, command, {}, launchName}), expected);
    }

    // The name cell's tooltip: what Launch passes, on one line; nothing for the plain game.
    void argumentLine() {
        QCOMPARE(launchArgumentLine({u"M"_s, u" -x -y\n"_s, {}, u"M"_s}), u"-x -y -mod=M"_s);
        QCOMPARE(launchArgumentLine(mods[0]), QString());
    }

    void launch_data() {
        using enum Layout;
        using enum Executable;
        using enum End;
        QTest::addColumn<Case>("c");
        const QString game = u"<tmp>/game"_s;
        QTest::newRow("bundle, again within 3 s") << Case{Bundle, SampleGame, game, 1, Relaunch};
        QTest::newRow("OldUnreal Linux") << Case{OldUnreal, SampleGame, game, 2, Quits};
        QTest::newRow("closed by the user while starting")
            << Case{Bundle, SampleGame, game, 0, Closed};
        QTest::newRow("next launch fails within 3 s")
            << Case{OldUnreal, SampleGame, game, 2, FailsNext};
        QTest::newRow("relative path, killed") << Case{Bundle, SampleGame, u"game"_s, 0, Killed};
        QTest::newRow("a mod's game stops with an error within 3 s")
            << Case{OldUnreal, SampleGame, game, 2, Errs};
        QTest::newRow("crashes") << Case{Bundle, SampleGame, game, 1, Crashes};
        // Found again from the log; the game quits within the pause; its mods are listed after.
        QTest::newRow("game gone") << Case{OldUnreal, SampleGame, u"<tmp>/gone"_s, 1, AtOnce};
        QTest::newRow("game gone, the games folder hangs")
            << Case{OldUnreal, SampleGame, u"<tmp>/gone"_s, 1, AfterHang};
        QTest::newRow("game gone, the copy found lacks the mod")
            << Case{OldUnreal, SampleGame, u"<tmp>/gone"_s, 2, NotThere};
        QTest::newRow("no execute bit") << Case{Bundle, NotExecutable, game, 1, Fails};
        QTest::newRow("executable a folder") << Case{Bundle, Folder, game, 1, Fails};
        QTest::newRow("script without its interpreter") << Case{OldUnreal, Script, game, 1, Fails};
        QTest::newRow("still missing after locating") << Case{Bundle, Missing, game, 1, Fails};
        QTest::newRow("location cancelled") << Case{Bundle, Missing, game, 1, Cancelled};
        QTest::newRow("no row selected") << Case{Bundle, Missing, game, -1, Nothing};
    }

    void launch() {
        opened.clear();
        QFETCH(Case, c);
        auto [layout, kind, stored, row, end] = c;
        temp = std::make_unique<QTemporaryDir>();
        const QString game = temp->filePath(u"game"_s);
        QVERIFY(fixtures::makeGame(game, layout, kind));
        QVERIFY(fixtures::makeTree(game, u"f:NewMod/ut2k4mod.ini;d:ModA"_s));
        QVERIFY(fixtures::writeGameLog(fixtures::linuxLogPath(), game + u"/System/"_s));
        QVERIFY(QDir::setCurrent(temp->path()));
        UserDefaults::standard().setObjectForKey(stored.replace(u"<tmp>"_s, temp->path()),
                                                 u"unrealPath"_s);
        // What the game records of its start, the file that makes it quit, else a safety net.
        QFile record(temp->filePath(u"record.json"_s));
        const QString quitPath = temp->filePath(u"quit"_s);
        qputenv("MODGATE_SAMPLE_GAME_RECORD", QFile::encodeName(record.fileName()));
        qputenv("MODGATE_SAMPLE_GAME_QUIT_FILE", QFile::encodeName(quitPath));
        const bool atOnce = end == End::AtOnce || end == End::AfterHang;
        qputenv("MODGATE_SAMPLE_GAME_QUIT_AFTER_MS", atOnce ? "0" : "120000");
        qputenv("MODGATE_SAMPLE_GAME_END", end == End::Crashes ? "crash" : "");
        launcher = std::make_unique<Launcher>();
        controller = &launcher->controller();
        controller->setWellKnownGameFolders({});
        const bool hangs = end == End::AfterHang || end == End::Cancelled;
        const auto released = std::make_shared<std::atomic<bool>>(!hangs);
        const auto release = qScopeGuard([&] { *released = true; });
        const auto listing = std::make_shared<std::atomic<bool>>(false);
        controller->findChild<GameCopyFinder*>()->setGamesFolderLister([=](const QString& folder) {
            *listing = true;
            // Gives up in the end: a Launch that waited for it would have returned only then.
            const QDeadlineTimer giveUp(20000);
            while (!*released && !giveUp.hasExpired())
                std::this_thread::sleep_for(10ms);
            return gamesFolderEntries(folder);
        });
        int asked = 0; // the lambda is called from launch() only, while these live
        const auto answer = end == End::Cancelled ? std::nullopt : std::optional(game);
        controller->setLocationDialog([&](Controller&) { return ++asked, answer; });
        // A start failure comes at once, not after the pause.
        controller->setLaunchPause(end >= End::Fails ? 1h : 1s);
        for (const ModEntry& mod : mods)
            controller->newUnrealModWasFound(mod);
        if (row >= 0)
            controller->tableView->selectRow(row);
        controller->window->makeKeyAndOrderFront(nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!controller->window->fadeTimer, slow); // faded in

        const QDeadlineTimer pause(1000);
        controller->launch();
        const QString searching = u"Searching for the game..."_s;
        if (hangs) {
            // Launch has returned, and the window goes on while the games folder is listed.
            QTRY_VERIFY_WITH_TIMEOUT(*listing, slow);
            QCOMPARE(now(), u"WI-L "_s + searching);
            if (end == End::Cancelled) {
                // Closed meanwhile: out of the way as during a launch, back when nothing starts.
                QCloseEvent close;
                QCoreApplication::sendEvent(controller->window->windowHandle(), &close);
                QTRY_VERIFY_WITH_TIMEOUT(!controller->window->isVisible(), slow);
            }
            *released = true;
        }
        QTRY_VERIFY_WITH_TIMEOUT(controller->statusField->text() != searching, slow);
        QCOMPARE(asked, int(kind == Executable::Missing && row >= 0));
        // Cancelling the dialog leaves Modgate as it was, idle.
        QVERIFY(!controller->hasTerminated());
        const QString inUse = controller->gameSelector->currentText();
        if (end == End::NotThere) {
            // Nothing started: the copy found is listed instead, and the player told why.
            QTRY_VERIFY_WITH_TIMEOUT(controller->gameSelector->isEnabled(), slow);
            QCOMPARE(now(), u"W--- B is not in "_s + inUse);
            QCOMPARE(controller->mods.size(), 2);
            QCOMPARE(inUse, game);
            QVERIFY(!record.exists());
            return;
        }
        if (end >= End::Fails) {
            QTRY_VERIFY_WITH_TIMEOUT(!controller->locked, slow);
            const QString failed = u"W-B- Could not start the game: "_s;
            if (end == End::Cancelled)
                QCOMPARE(now(), u"W-B- No copy of the game chosen."_s);
            else if (kind == Executable::Script)
                QCOMPARE(now(), failed + u"the game is a script and its interpreter "
                                         "/nonexistent/interpreter is not installed"_s);
            else if (end == End::Fails)
                QVERIFY2(now().startsWith(failed) && now() != failed, qPrintable(now()));
            else
                QCOMPARE(now(), row >= 0 ? u"W-B- "_s : u"W--- "_s);
            return;
        }
        QCOMPARE(now(),
                 u"WI-L "_s +
                     (stored.endsWith(u"/gone") ? u"Now using "_s + inUse + u". "_s : u""_s) +
                     u"Launching, please wait..."_s);
        // The pane's links look as dead as they are.
        auto* description = controller->window->findChild<QWidget*>(u"modDescription"_s);
        QVERIFY(!description->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(record.exists(), slow);
        QVERIFY(record.open(QFile::ReadOnly));
        const QVariantMap started = QJsonDocument::fromJson(record.readAll()).toVariant().toMap();
        QCOMPARE(started.value(u"arguments"_s).toStringList(), passed[row]);
        QCOMPARE(
            started.value(u"workingDirectory"_s).toString(),
            QFileInfo(layout == Layout::Bundle ? game : game + u"/System"_s).canonicalFilePath());
        if (end == End::Closed) {
            // Only takes the window out of the way: Modgate goes on while the game runs.
            QCloseEvent close;
            QCoreApplication::sendEvent(controller->window->windowHandle(), &close);
            QTimer::singleShot(1500, [] { QCoreApplication::exit(2); });
            QCOMPARE(QCoreApplication::exec(), 2);
        }
        if (!atOnce) {
            QTRY_COMPARE_WITH_TIMEOUT(now(), u"---L Launching, please wait..."_s, slow);
            QVERIFY2(pause.hasExpired(), "hidden before the pause ended");
            if (end == End::Killed)
                QCOMPARE(::kill(pid_t(started.value(u"pid"_s).toLongLong()), SIGKILL), 0);
            else
                fixtures::writeFile(quitPath);
        }
        if (end == End::Killed || end == End::Crashes) {
            QTRY_COMPARE_WITH_TIMEOUT(
                now(),
                end == End::Killed ? u"W-B- The game stopped: it crashed: Killed"_s
                                   : u"W-B- The game stopped: it crashed: Segmentation fault"_s,
                slow);
            return;
        }
        if (stored.endsWith(u"/gone")) {
            // Once the window is back, the list is the found copy's: the plain game, its mod.
            QTRY_COMPARE_WITH_TIMEOUT(now(), u"W--- "_s, slow);
            QCOMPARE(controller->mods.size(), 2);
            QCOMPARE(controller->mods.at(1).launchName, u"NewMod"_s);
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(now(), u"W-B- Welcome back!"_s, slow);
        QVERIFY(description->isEnabled());
        if (end == End::Errs) {
            // The reason stays past the welcome's delayed clear, until the next launch.
            qputenv("MODGATE_SAMPLE_GAME_END", "error");
            controller->launch();
            const QString stopped =
                u"W-B- The game stopped: Failed to enter Entry: Can't find file 'Entry'"_s;
            QTRY_COMPARE_WITH_TIMEOUT(now(), stopped, slow);
            QTest::qWait(3500);
            QCOMPARE(now(), stopped);
            checkLog(QDir::homePath() + u"/.ut2004/ModB/System/ModB.log"_s,
                     u"Critical: Failed to enter Entry: Can't find file 'Entry'"_s);
            controller->launch();
            QVERIFY(!controller->showLogButton->isVisible());
            return;
        }
        if (end == End::FailsNext) {
            // The reason stays, past the welcome's delayed clear.
            QVERIFY(QFile::setPermissions(fixtures::executableOf(game, layout), QFile::ReadOwner));
            controller->launch();
            QTRY_VERIFY_WITH_TIMEOUT(!controller->locked, slow);
            QTest::qWait(3500);
            QVERIFY2(now().startsWith(u"W-B- Could not start the game: "_s), qPrintable(now()));
            return;
        }
        if (end == End::Relaunch) {
            // The first welcome's delayed clear leaves the new launch's text alone.
            const QDeadlineTimer firstClear(3500);
            QVERIFY(QFile::remove(quitPath));
            controller->launch();
            QTRY_COMPARE_WITH_TIMEOUT(now(), u"---L Launching, please wait..."_s, slow);
            QTest::qWait(int(firstClear.remainingTime()));
            QCOMPARE(now(), u"---L Launching, please wait..."_s);
            fixtures::writeFile(quitPath);
            QTRY_COMPARE_WITH_TIMEOUT(now(), u"W-B- Welcome back!"_s, slow);
        }
        const QDeadlineTimer welcome(2500);
        QTRY_COMPARE_WITH_TIMEOUT(now(), u"W-B- "_s, slow);
        QVERIFY2(welcome.hasExpired(), "the welcome went before about 3 s");
        QCOMPARE(controller->window->alphaValue(), 1.0f);
    }

    // The game never waits on Modgate: everything it writes is read and passed on, and only the
    // end of it is kept.
    void output_data() {
        QTest::addColumn<int>("mebibytes");
        QTest::addColumn<bool>("toFile");
        QTest::newRow("1 MiB passed on") << 1 << true;
        QTest::newRow("256 MiB") << 256 << false;
    }

    void output() {
        QFETCH(int, mebibytes);
        QFETCH(bool, toFile);
        temp = std::make_unique<QTemporaryDir>();
        QFile sink(toFile ? temp->filePath(u"out"_s) : u"/dev/null"_s), errors(u"/dev/null"_s);
        QVERIFY(sink.open(QFile::WriteOnly) && errors.open(QFile::WriteOnly));
        qputenv("MODGATE_SAMPLE_GAME_END", "output:" + QByteArray::number(mebibytes));
        qputenv("MODGATE_SAMPLE_GAME_QUIT_AFTER_MS", "0");
        qputenv("MODGATE_SAMPLE_GAME_RECORD", "");
        bool paused = false;
        GameRun run; // on a worker thread, as a launch runs it
        std::thread([&] {
            run = runGame({fixtures::sampleGame(), temp->path(), {}}, {}, 0ms,
                          [&] { paused = true; }, {sink.handle(), errors.handle()});
        }).join();
        QVERIFY(paused && !run.startError && !run.exit.bySignal);
        QCOMPARE(run.exit.code, 0);
        // Lines of 45 bytes, numbered from 0, up to the size asked for.
        const qint64 lines = ((qint64(mebibytes) << 20) + 44) / 45;
        const QString last = u"Log: sample output line %1\n"_s.arg(lines - 1, 20, 10, QChar(u'0'));
        QVERIFY(run.output.contains(last));
        QVERIFY(run.output.size() <= gameOutputTailBytes);
        QVERIFY(run.output.size() > gameOutputTailBytes - 100);
        if (toFile)
            QCOMPARE(QFileInfo(sink.fileName()).size(), lines * 45);
    }
};

MODGATE_TEST_MAIN(LaunchTest)
#include "tst_launch.moc"
