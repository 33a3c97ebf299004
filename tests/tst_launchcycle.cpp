#include "app/controller.h"
#include "app/launcher.h"
#include "support/busyindicator.h"
#include "support/userdefaults.h"
#include "testmain.h"
#include "window/vxfadewindow.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <chrono>
#include <csignal>
#include <memory>
#include <vector>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

constexpr int slow = 60000; // generous: a loaded machine, a sanitizer build, a Qt program to start

const QString unrealPathKey = u"unrealPath"_s;
const ModEntry baseGame{u"Unreal Tournament 2004"_s, u""_s, std::nullopt, std::nullopt};
// The command goes to the game as one argument, leading spaces and line ends cleaned off.
const ModEntry mod{u"A mod"_s, u"  -log  -windowed \r\n"_s, std::nullopt, u"ModA"_s};
const QString bundleName = u"Unreal Tournament 2004.app"_s;
const QStringList modArguments{u"-log  -windowed "_s, u"-mod=ModA"_s};

QString sampleGame() {
    return qEnvironmentVariable("MODGATE_BUILD_DIR") + u"/tools/samplegame/modgate-sample-game"_s;
}

QString gameLogPath() {
    return QDir::homePath() +
           u"/Library/Application Support/Unreal Tournament 2004/System/UT2004.log"_s;
}

enum class Executable { SampleGame, Missing, NotExecutable, Folder };

struct Layout {
    QString folder, executable;
};
const Layout classicBundle{bundleName, u"/Contents/MacOS/Unreal Tournament 2004"_s};
const Layout oldUnrealLinux{u"UT2004"_s, u"/System/UT2004"_s};

// "<parent>/<game folder>" with the given kind of thing at the executable's place.
QString makeBundle(const QString& parent, Executable kind, const Layout& layout = classicBundle) {
    const QString bundle = parent + u'/' + layout.folder;
    const QString executable = bundle + layout.executable;
    if (kind == Executable::Missing || kind == Executable::Folder)
        return QDir().mkpath(kind == Executable::Missing ? bundle : executable) ? bundle
                                                                                : QString();
    const auto readWrite = QFile::ReadOwner | QFile::WriteOwner;
    const bool made =
        QDir().mkpath(QFileInfo(executable).path()) && QFile::copy(sampleGame(), executable) &&
        QFile::setPermissions(
            executable, kind == Executable::SampleGame ? readWrite | QFile::ExeOwner : readWrite);
    return made ? bundle : QString();
}

bool isZombieOrGone(qint64 pid) {
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype afterName = line.lastIndexOf(')');
    return afterName < 0 || line.mid(afterName + 2, 1) == "Z";
}

// What the user sees of a launch, and whether another one may start.
struct State {
    bool windowVisible;
    QString status;
    bool indicatorRunning, buttonEnabled, locked;
    bool operator==(const State&) const = default;
};

char* toString(const State& s) {
    return QTest::toString(u"{window %1, \"%2\", indicator %3, button %4, locked %5}"_s.arg(
        QString::number(s.windowVisible), s.status, QString::number(s.indicatorRunning),
        QString::number(s.buttonEnabled), QString::number(s.locked)));
}

const State launching{true, u"Launching, please wait..."_s, true, false, true};
const State gameRunning{false, launching.status, false, false, true};
const State welcomedBack{true, u"Welcome back!"_s, false, true, false};
const auto idle = [](bool rowSelected) { return State{true, u""_s, false, rowSelected, false}; };

struct Moment {
    State state;
    qint64 elapsed; // since the launch
    bool gameEnded; // the game had exited (zombie or reaped)
};

enum class End { Quits, Killed, QuitsDuringPause };

} // namespace

class LaunchCycleTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> temp;
    std::unique_ptr<Launcher> launcher;
    Controller* controller = nullptr;
    QString bundle;
    std::optional<QString> dialogAnswer;
    int dialogCalls = 0, launches = 0;
    QString recordPath, quitPath;
    QString initialDirectory = QDir::currentPath();
    // What the launch did, seen from outside.
    std::vector<Moment> calls;
    bool windowHidden = false;
    qint64 gamePid = 0;
    QElapsedTimer clock;

    Moment now() const {
        return {{controller->window->isVisible(), controller->statusField->text(),
                 controller->busyIndicator->isAnimating(), controller->launchButton->isEnabled(),
                 controller->locked},
                clock.isValid() ? clock.elapsed() : -1,
                gamePid > 0 && isZombieOrGone(gamePid)};
    }

    // A moment before every call queued onto the controller (the worker's close, stopIndicator,
    // utClosed, or the start failure report), so moment n + 1 shows the state call n left.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (controller && watched == controller && event->type() == QEvent::MetaCall)
            calls.push_back(now());
        if (controller && watched == controller->window && event->type() == QEvent::Hide)
            windowHidden = true;
        return false;
    }

    // A launcher on screen listing the base game and the mod, the given row selected (or none),
    // the bundle stored and also the location dialog's answer.
    bool setUp(Executable kind, int row, const Layout& layout = classicBundle) {
        temp = std::make_unique<QTemporaryDir>();
        bundle = makeBundle(temp->filePath(u"game"_s), kind, layout);
        if (!temp->isValid() || bundle.isEmpty())
            return false;
        UserDefaults::standard().setObjectForKey(bundle, unrealPathKey);
        dialogAnswer = bundle;
        dialogCalls = 0;
        calls.clear();
        windowHidden = false;
        launcher = std::make_unique<Launcher>();
        controller = &launcher->controller();
        controller->setWellKnownGameFolders({});
        controller->setLocationDialog([this](Controller&) {
            ++dialogCalls;
            return dialogAnswer;
        });
        controller->setLaunchPause(100ms);
        controller->newUnrealModWasFound(baseGame);
        controller->newUnrealModWasFound(mod);
        if (row >= 0)
            controller->tableView->selectRow(row);
        nextGameFiles();
        controller->window->makeKeyAndOrderFront(nullptr);
        // Fully shown, its fade-in over, as before any launch the user can make.
        const bool shown = QTest::qWaitFor(
            [this] { return controller->window->isVisible() && !controller->window->fadeTimer; },
            slow);
        controller->installEventFilter(this);
        controller->window->installEventFilter(this);
        return shown;
    }

    // Each launch gets its own record and quit files, through the environment it passes on.
    void nextGameFiles() {
        recordPath = temp->filePath(u"record-%1.json"_s.arg(++launches));
        quitPath = temp->filePath(u"quit-%1"_s.arg(launches));
        qputenv("MODGATE_SAMPLE_GAME_RECORD", QFile::encodeName(recordPath));
        qputenv("MODGATE_SAMPLE_GAME_QUIT_FILE", QFile::encodeName(quitPath));
        // A safety net: a game whose test crashed ends by itself.
        qputenv("MODGATE_SAMPLE_GAME_QUIT_AFTER_MS", "120000");
    }

    // What the game recorded of its start: arguments, workingDirectory, pid.
    QJsonObject waitForGame() {
        QFile file(recordPath);
        if (!QTest::qWaitFor([&] { return file.exists(); }, slow) || !file.open(QFile::ReadOnly))
            return {};
        const QJsonObject record = QJsonDocument::fromJson(file.readAll()).object();
        gamePid = record.value(u"pid"_s).toInteger();
        return record;
    }

    void quitGame() const { QFile(quitPath).open(QIODevice::WriteOnly); }

private slots:
    void initTestCase() {
        QVERIFY2(QFile::exists(sampleGame()), qPrintable(u"no sample game at "_s + sampleGame()));
    }

    void cleanup() {
        // A game still running is ended, so the next case starts clean.
        if (gamePid > 0 && !isZombieOrGone(gamePid))
            ::kill(pid_t(gamePid), SIGKILL);
        gamePid = 0;
        // Its worker done, as far as a failed case lets it be.
        if (controller)
            (void)QTest::qWaitFor([this] { return !controller->locked; }, slow);
        controller = nullptr; // goes with the launcher's window; the event filter checks
        launcher.reset();
        QFile::remove(gameLogPath());
        QDir::setCurrent(initialDirectory);
        temp.reset();
    }

    void fullCycle_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<End>("end");
        QTest::addColumn<QString>("stored"); // "<tmp>" stands for the temporary, current folder
        QTest::addColumn<bool>("linux");     // the OldUnreal Linux layout, else the bundle
        // The base game passes a single empty argument.
        QTest::newRow("base game, quits")
            << 0 << QStringList{u""_s} << End::Quits << u"<tmp>/game/"_s + bundleName << false;
        // A path edited by hand in the settings may be relative to the launcher's own folder.
        QTest::newRow("mod, relative stored path, killed by a signal")
            << 1 << modArguments << End::Killed << u"game/"_s + bundleName << false;
        // The stored bundle lacks its executable: found again from the game's log.
        QTest::newRow("mod, game moved, quits during the pause")
            << 1 << modArguments << End::QuitsDuringPause << u"<tmp>/old/"_s + bundleName << false;
        // Started from its System folder, where its libraries are.
        QTest::newRow("mod, OldUnreal Linux layout, quits")
            << 1 << QStringList{u"-mod=ModA"_s} << End::Quits << u"<tmp>/game/UT2004"_s << true;
    }

    void fullCycle() {
        QFETCH(int, row);
        QFETCH(QStringList, arguments);
        QFETCH(End, end);
        QFETCH(QString, stored);
        QFETCH(bool, linux);
        const bool duringPause = end == End::QuitsDuringPause;
        QVERIFY(setUp(Executable::SampleGame, row, linux ? oldUnrealLinux : classicBundle));
        if (linux)
            controller->mods[1].command.reset();
        QVERIFY(!makeBundle(temp->filePath(u"old"_s), Executable::Missing).isEmpty());
        QVERIFY(QDir::setCurrent(temp->path()));
        UserDefaults::standard().setObjectForKey(stored.replace(u"<tmp>"_s, temp->path()),
                                                 unrealPathKey);
        // Read only when the stored bundle lacks its executable.
        QVERIFY(QDir().mkpath(QFileInfo(gameLogPath()).path()));
        QFile log(gameLogPath());
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.write(QFile::encodeName(u"Init: Base directory: "_s + bundle + u"/System\n"_s));
        log.close();
        // The real pause when the game is to be gone by its end.
        const auto pause = duringPause ? 5000ms : 300ms;
        controller->setLaunchPause(pause);
        if (duringPause)
            qputenv("MODGATE_SAMPLE_GAME_QUIT_AFTER_MS", "0");

        clock.start();
        controller->launchButton->click();
        QCOMPARE(now().state, launching);
        QCOMPARE(dialogCalls, 0);
        const QJsonObject game = waitForGame();
        QVERIFY2(!game.isEmpty(), "the game did not start");
        QCOMPARE(game.value(u"arguments"_s).toVariant().toStringList(), arguments);
        QCOMPARE(game.value(u"workingDirectory"_s).toString(),
                 QFileInfo(bundle + (linux ? u"/System"_s : u""_s)).canonicalFilePath());

        if (!duringPause) {
            // The window leaves the screen while the game runs.
            QTRY_VERIFY_WITH_TIMEOUT(windowHidden, slow);
            QVERIFY(!isZombieOrGone(gamePid));
            QCOMPARE(now().state, gameRunning);
            if (end == End::Killed)
                QCOMPARE(::kill(pid_t(gamePid), SIGKILL), 0);
            else
                quitGame();
        }
        QTRY_COMPARE_WITH_TIMEOUT(controller->statusField->text(), welcomedBack.status, slow);
        QCOMPARE(now().state, welcomedBack);

        // The worker's calls: close after the pause, stopIndicator, utClosed after the game's exit.
        QCOMPARE(calls.size(), size_t(3));
        QVERIFY(calls[0].elapsed >= pause.count());
        QCOMPARE(calls[0].state, launching);
        QCOMPARE(calls[0].gameEnded, duringPause);
        QVERIFY(calls[1].state.indicatorRunning); // stopped by the second call, not the first
        QVERIFY(calls[2].gameEnded);
        // After an exit during the pause the three run back to back, the window still on screen.
        if (!duringPause)
            QCOMPARE(calls[2].state, gameRunning);

        // The status line empties itself about 3.0 seconds later; nothing else changes.
        QTRY_COMPARE_WITH_TIMEOUT(controller->statusField->text(), u""_s, slow);
        const Moment rest = now();
        // Counted from just before utClosed ran; Qt's coarse timers may fire up to 5% early.
        QVERIFY2(rest.elapsed - calls[2].elapsed >= 2850,
                 qPrintable(u"emptied after %1 ms"_s.arg(rest.elapsed - calls[2].elapsed)));
        QCOMPARE(rest.state, idle(true));
        QCOMPARE(controller->window->alphaValue(), 1.0f);
    }

    void newLaunchWhileWelcomeIsShown() {
        QVERIFY(setUp(Executable::SampleGame, 1));
        controller->launchButton->click();
        QVERIFY(!waitForGame().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!controller->window->isVisible(), slow);
        quitGame();
        QTRY_COMPARE_WITH_TIMEOUT(controller->statusField->text(), welcomedBack.status, slow);

        // Launch again at once: the first launch's delayed call still empties the status line.
        nextGameFiles();
        controller->launchButton->click();
        QCOMPARE(now().state, launching);
        QVERIFY(!waitForGame().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(controller->statusField->text(), u""_s, slow);
        QVERIFY(controller->locked && !controller->launchButton->isEnabled());
        QVERIFY(!isZombieOrGone(gamePid));
        quitGame();
        QTRY_COMPARE_WITH_TIMEOUT(controller->statusField->text(), welcomedBack.status, slow);
        QCOMPARE(now().state, welcomedBack);
    }

    void noGameStarted_data() {
        QTest::addColumn<Executable>("kind");
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("located"); // else the location dialog is cancelled
        QTest::addColumn<int>("asked");
        QTest::addColumn<bool>("reported"); // the worker ran and reported the failure
        QTest::newRow("executable still missing after locating the game")
            << Executable::Missing << 1 << true << 1 << true;
        QTest::newRow("no execute bit") << Executable::NotExecutable << 1 << true << 0 << true;
        QTest::newRow("executable is a folder") << Executable::Folder << 1 << true << 0 << true;
        QTest::newRow("location cancelled") << Executable::Missing << 1 << false << 1 << false;
        QTest::newRow("no row selected") << Executable::Missing << -1 << true << 0 << false;
    }

    void noGameStarted() {
        QFETCH(Executable, kind);
        QFETCH(int, row);
        QFETCH(bool, located);
        QFETCH(int, asked);
        QFETCH(bool, reported);
        QVERIFY(setUp(kind, row));
        if (!located)
            dialogAnswer.reset();

        controller->launch();
        QCOMPARE(dialogCalls, asked);
        QCOMPARE(controller->hasTerminated(), !located);
        QCOMPARE(controller->locked, reported);
        QTRY_VERIFY_WITH_TIMEOUT(!controller->locked, slow);
        // At most the failure report came back: nothing was hidden and nobody welcomed back, and
        // the status line says why.
        QCOMPARE(calls.size(), size_t(reported ? 1 : 0));
        State expected = idle(row >= 0);
        if (reported) {
            QVERIFY(now().state.status.startsWith(u"Could not start the game: "_s));
            expected.status = now().state.status;
        }
        QCOMPARE(now().state, expected);
        QVERIFY(!windowHidden);
        QVERIFY(!QFile::exists(recordPath));
    }
};

MODGATE_TEST_MAIN(LaunchCycleTest)
#include "tst_launchcycle.moc"
