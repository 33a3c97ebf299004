#include "app/controller.h"
#include "app/launcher.h"
#include "support/busyindicator.h"
#include "support/userdefaults.h"
#include "testmain.h"
#include "window/vxfadewindow.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <csignal>
#include <memory>
#include <optional>
#include <sys/types.h>
#include <vector>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

constexpr int slow = 60000; // generous: a loaded machine, a sanitizer build, a Qt program to start

const QString unrealPathKey = u"unrealPath"_s;
const QString launchingText = u"Launching, please wait..."_s;
const QString welcomeText = u"Welcome back!"_s;

QString sampleGame() {
    return qEnvironmentVariable("MODGATE_BUILD_DIR") + u"/tools/samplegame/modgate-sample-game"_s;
}

enum class Executable { SampleGame, Missing, NotExecutable, Folder };

// "<parent>/Unreal Tournament 2004.app" with the given kind of thing at the executable's place.
QString makeBundle(const QString& parent, Executable kind) {
    const QString bundle = parent + u"/Unreal Tournament 2004.app"_s;
    const QString macOS = bundle + u"/Contents/MacOS"_s;
    const QString executable = macOS + u"/Unreal Tournament 2004"_s;
    if (!QDir().mkpath(kind == Executable::Missing ? bundle : macOS))
        return {};
    switch (kind) {
    case Executable::SampleGame:
        if (!QFile::copy(sampleGame(), executable) ||
            !QFile::setPermissions(executable, QFile::ReadOwner | QFile::WriteOwner |
                                                   QFile::ExeOwner | QFile::ReadGroup |
                                                   QFile::ExeGroup))
            return {};
        break;
    case Executable::NotExecutable:
        if (!QFile::copy(sampleGame(), executable) ||
            !QFile::setPermissions(executable, QFile::ReadOwner | QFile::WriteOwner))
            return {};
        break;
    case Executable::Folder:
        if (!QDir().mkpath(executable))
            return {};
        break;
    case Executable::Missing:
        break;
    }
    return bundle;
}

bool isZombieOrGone(qint64 pid) {
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype afterName = line.lastIndexOf(')');
    return afterName < 0 || line.mid(afterName + 2, 1) == "Z";
}

struct Snapshot {
    bool windowVisible;
    QString status;
    bool indicatorRunning;
    bool buttonEnabled;
    bool locked;
    qint64 elapsed; // since the launch
    bool gameEnded; // the game had exited (zombie or reaped)
};

// Takes a snapshot before every call queued onto the controller (the worker's close,
// stopIndicator, utClosed, or the start failure report), so snapshot n + 1 shows the state that
// call n left. Also notes when the window leaves the screen.
class LaunchObserver : public QObject {
public:
    explicit LaunchObserver(Controller& controller) : controller(controller) {
        controller.installEventFilter(this);
        controller.window->installEventFilter(this);
    }

    Snapshot now() const {
        return {controller.window->isVisible(),
                controller.statusField->text(),
                controller.busyIndicator->isAnimating(),
                controller.launchButton->isEnabled(),
                controller.locked,
                clock.isValid() ? clock.elapsed() : -1,
                gamePid > 0 && isZombieOrGone(gamePid)};
    }

    void launchStarted() {
        clock.start();
        beforeQueuedCall.clear();
        windowHidden = false;
    }

    std::vector<Snapshot> beforeQueuedCall;
    bool windowHidden = false;
    qint64 gamePid = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &controller && event->type() == QEvent::MetaCall)
            beforeQueuedCall.push_back(now());
        if (watched == controller.window && event->type() == QEvent::Hide)
            windowHidden = true;
        return false;
    }

private:
    Controller& controller;
    QElapsedTimer clock;
};

struct GameRecord {
    QStringList arguments;
    QString workingDirectory;
    qint64 pid = 0;
};

std::optional<GameRecord> readRecord(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
    GameRecord record;
    for (const QJsonValue& argument : object.value(u"arguments"_s).toArray())
        record.arguments.append(argument.toString());
    record.workingDirectory = object.value(u"workingDirectory"_s).toString();
    record.pid = object.value(u"pid"_s).toInteger();
    return record;
}

ModEntry modEntry(std::optional<QString> command, std::optional<QString> launchName) {
    ModEntry entry;
    entry.name = u"A mod"_s;
    entry.command = std::move(command);
    entry.launchName = std::move(launchName);
    return entry;
}

ModEntry baseGame() {
    ModEntry entry;
    entry.name = u"Unreal Tournament 2004"_s;
    entry.command = u""_s;
    entry.url = u"https://www.unrealtournament.com/"_s;
    return entry;
}

} // namespace

class LaunchCycleTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void fullCycle_data();
    void fullCycle();
    void gameExitsDuringPause();
    void newLaunchWhileWelcomeIsShown();
    void missingExecutableIsLocatedAgain_data();
    void missingExecutableIsLocatedAgain();
    void cancelledLocationEndsTheLaunch();
    void startFailure_data();
    void startFailure();
    void launchWithoutSelectedRowDoesNothing();
    void relativeStoredPath();

private:
    // A launcher on screen with the base game and the given mod, the given row selected.
    void setUpLauncher(const ModEntry& mod, int selectRow);
    // Each launch gets its own record and quit files, through the environment it passes on.
    void prepareGameFiles();
    GameRecord waitForGame();
    void quitGame() const;
    void checkWelcomeBack(const Snapshot& state) const;

    std::unique_ptr<QTemporaryDir> temp;
    std::unique_ptr<Launcher> launcher;
    std::unique_ptr<LaunchObserver> observer;
    Controller* controller = nullptr;
    QString recordPath;
    QString quitPath;
    int launches = 0;
    int dialogCalls = 0;
    QString initialDirectory;
};

void LaunchCycleTest::init() {
    QVERIFY2(QFile::exists(sampleGame()), qPrintable(u"no sample game at "_s + sampleGame()));
    temp = std::make_unique<QTemporaryDir>();
    QVERIFY(temp->isValid());
    UserDefaults::standard().setObjectForKey(std::nullopt, unrealPathKey);
    dialogCalls = 0;
    initialDirectory = QDir::currentPath();
}

void LaunchCycleTest::cleanup() {
    // A game a failed test left running is ended, so the next one starts clean.
    if (observer && observer->gamePid > 0 && !isZombieOrGone(observer->gamePid))
        ::kill(pid_t(observer->gamePid), SIGKILL);
    if (controller)
        QTRY_VERIFY_WITH_TIMEOUT(!controller->locked, slow);
    observer.reset();
    launcher.reset();
    controller = nullptr;
    QFile::remove(QDir::homePath() +
                  u"/Library/Application Support/Unreal Tournament 2004/System/UT2004.log"_s);
    qunsetenv("MODGATE_SAMPLE_GAME_RECORD");
    qunsetenv("MODGATE_SAMPLE_GAME_QUIT_FILE");
    qunsetenv("MODGATE_SAMPLE_GAME_QUIT_AFTER_MS");
    QDir::setCurrent(initialDirectory);
    temp.reset();
}

void LaunchCycleTest::setUpLauncher(const ModEntry& mod, int selectRow) {
    launcher = std::make_unique<Launcher>();
    controller = &launcher->controller();
    controller->setLocationDialog([this](Controller&) -> std::optional<QString> {
        ++dialogCalls;
        return std::nullopt;
    });
    controller->newUnrealModWasFound(baseGame());
    controller->newUnrealModWasFound(mod);
    launcher->window().makeKeyAndOrderFront(nullptr);
    // Fully shown, its fade-in over, as before any launch the user can make.
    QTRY_VERIFY_WITH_TIMEOUT(launcher->window().isVisible() && !launcher->window().fadeTimer, slow);
    if (selectRow >= 0) {
        QTableView* table = controller->tableView;
        table->selectionModel()->select(table->model()->index(selectRow, 0),
                                        QItemSelectionModel::ClearAndSelect |
                                            QItemSelectionModel::Rows);
        QVERIFY(controller->launchButton->isEnabled());
    }
    observer = std::make_unique<LaunchObserver>(*controller);
}

void LaunchCycleTest::prepareGameFiles() {
    ++launches;
    recordPath = temp->filePath(u"record-%1.json"_s.arg(launches));
    quitPath = temp->filePath(u"quit-%1"_s.arg(launches));
    qputenv("MODGATE_SAMPLE_GAME_RECORD", QFile::encodeName(recordPath));
    qputenv("MODGATE_SAMPLE_GAME_QUIT_FILE", QFile::encodeName(quitPath));
    // A safety net: a game whose test crashed ends by itself.
    qputenv("MODGATE_SAMPLE_GAME_QUIT_AFTER_MS", "120000");
}

GameRecord LaunchCycleTest::waitForGame() {
    [&] { QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(recordPath), slow); }();
    const std::optional<GameRecord> record = readRecord(recordPath);
    if (!record)
        return {};
    observer->gamePid = record->pid;
    return *record;
}

void LaunchCycleTest::quitGame() const {
    QFile quit(quitPath);
    quit.open(QIODevice::WriteOnly);
}

void LaunchCycleTest::checkWelcomeBack(const Snapshot& state) const {
    QVERIFY(state.windowVisible);
    QCOMPARE(state.status, welcomeText);
    QVERIFY(!state.indicatorRunning);
    QVERIFY(state.buttonEnabled);
    QVERIFY(!state.locked);
}

void LaunchCycleTest::fullCycle_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<ModEntry>("mod");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("killed");

    const ModEntry mod = modEntry(u"  -log  -windowed \r\n"_s, u"ModA"_s);
    const QStringList modArguments{u"-log  -windowed "_s, u"-mod=ModA"_s};
    QTest::newRow("plain game, normal exit") << 0 << mod << QStringList{u""_s} << false;
    QTest::newRow("mod, normal exit") << 1 << mod << modArguments << false;
    QTest::newRow("mod, killed by a signal") << 1 << mod << modArguments << true;
    QTest::newRow("empty launchName, no command")
        << 1 << modEntry(std::nullopt, u""_s) << QStringList{u"-mod="_s} << false;
}

void LaunchCycleTest::fullCycle() {
    QFETCH(int, row);
    QFETCH(ModEntry, mod);
    QFETCH(QStringList, arguments);
    QFETCH(bool, killed);

    const QString bundle = makeBundle(temp->path(), Executable::SampleGame);
    QVERIFY(!bundle.isEmpty());
    UserDefaults::standard().setObjectForKey(bundle, unrealPathKey);
    setUpLauncher(mod, row);
    if (QTest::currentTestFailed())
        return;
    const auto pause = 300ms;
    controller->setLaunchPause(pause);
    prepareGameFiles();

    observer->launchStarted();
    controller->launchButton->click();
    const Snapshot pressed = observer->now();
    QVERIFY(pressed.windowVisible);
    QCOMPARE(pressed.status, launchingText);
    QVERIFY(pressed.indicatorRunning);
    QVERIFY(!pressed.buttonEnabled);
    QVERIFY(pressed.locked);

    const GameRecord game = waitForGame();
    QCOMPARE(game.arguments, arguments);
    QCOMPARE(game.workingDirectory, QFileInfo(bundle).canonicalFilePath());

    // The window leaves the screen while the game runs.
    QTRY_VERIFY_WITH_TIMEOUT(observer->windowHidden && !launcher->window().isVisible(), slow);
    QVERIFY(!isZombieOrGone(game.pid));
    const Snapshot running = observer->now();
    QCOMPARE(running.status, launchingText);
    QVERIFY(!running.indicatorRunning);
    QVERIFY(!running.buttonEnabled);
    QVERIFY(running.locked);

    if (killed)
        QCOMPARE(::kill(pid_t(game.pid), SIGKILL), 0);
    else
        quitGame();

    QTRY_COMPARE_WITH_TIMEOUT(controller->statusField->text(), welcomeText, slow);
    checkWelcomeBack(observer->now());

    // Three calls came from the worker: close, stopIndicator, utClosed.
    const std::vector<Snapshot>& calls = observer->beforeQueuedCall;
    QCOMPARE(calls.size(), size_t(3));
    // Before close: the pause is over, nothing has changed since the press.
    QVERIFY(calls[0].elapsed >= pause.count());
    QVERIFY(calls[0].windowVisible);
    QCOMPARE(calls[0].status, launchingText);
    QVERIFY(calls[0].indicatorRunning);
    QVERIFY(!calls[0].buttonEnabled);
    QVERIFY(calls[0].locked);
    // Before stopIndicator: still running, still locked.
    QVERIFY(calls[1].indicatorRunning);
    QVERIFY(!calls[1].buttonEnabled);
    QVERIFY(calls[1].locked);
    // Before utClosed: the game has ended, the window is closed, the indicator stopped.
    QVERIFY(calls[2].gameEnded);
    QVERIFY(!calls[2].windowVisible);
    QCOMPARE(calls[2].status, launchingText);
    QVERIFY(!calls[2].indicatorRunning);
    QVERIFY(!calls[2].buttonEnabled);
    QVERIFY(calls[2].locked);

    // The status line empties itself about 3.0 seconds later; nothing else changes.
    QTRY_COMPARE_WITH_TIMEOUT(controller->statusField->text(), u""_s, slow);
    const Snapshot rest = observer->now();
    // Counted from just before utClosed ran; Qt's coarse timers may fire up to 5% early.
    QVERIFY2(rest.elapsed - calls[2].elapsed >= 2850,
             qPrintable(u"emptied after %1 ms"_s.arg(rest.elapsed - calls[2].elapsed)));
    QVERIFY(rest.windowVisible);
    QVERIFY(rest.buttonEnabled);
    QVERIFY(!rest.locked);
    QVERIFY(!rest.indicatorRunning);
}

void LaunchCycleTest::gameExitsDuringPause() {
    const QString bundle = makeBundle(temp->path(), Executable::SampleGame);
    QVERIFY(!bundle.isEmpty());
    UserDefaults::standard().setObjectForKey(bundle, unrealPathKey);
    setUpLauncher(modEntry(std::nullopt, u"ModA"_s), 1);
    if (QTest::currentTestFailed())
        return;
    // The real pause, so the game has long exited when it ends.
    controller->setLaunchPause(5000ms);
    prepareGameFiles();
    qputenv("MODGATE_SAMPLE_GAME_QUIT_AFTER_MS", "0");

    observer->launchStarted();
    controller->launch();
    const GameRecord game = waitForGame();
    QCOMPARE(game.arguments, QStringList{u"-mod=ModA"_s});

    QTRY_COMPARE_WITH_TIMEOUT(controller->statusField->text(), welcomeText, slow);
    const std::vector<Snapshot>& calls = observer->beforeQueuedCall;
    QCOMPARE(calls.size(), size_t(3));
    QVERIFY2(calls[0].gameEnded, "the game was meant to exit during the pause");
    // close, stopIndicator and utClosed ran back to back: the window ends up on screen.
    checkWelcomeBack(observer->now());
    QTRY_COMPARE_WITH_TIMEOUT(controller->statusField->text(), u""_s, slow);
    QVERIFY(launcher->window().isVisible());
    QCOMPARE(launcher->window().alphaValue(), 1.0f);
}

void LaunchCycleTest::newLaunchWhileWelcomeIsShown() {
    const QString bundle = makeBundle(temp->path(), Executable::SampleGame);
    QVERIFY(!bundle.isEmpty());
    UserDefaults::standard().setObjectForKey(bundle, unrealPathKey);
    setUpLauncher(modEntry(u"-x"_s, u"ModA"_s), 1);
    if (QTest::currentTestFailed())
        return;
    controller->setLaunchPause(100ms);

    prepareGameFiles();
    controller->launchButton->click();
    waitForGame();
    QTRY_VERIFY_WITH_TIMEOUT(!launcher->window().isVisible(), slow);
    quitGame();
    QTRY_COMPARE_WITH_TIMEOUT(controller->statusField->text(), welcomeText, slow);

    // Launch again at once: the earlier delayed call still empties the status line.
    prepareGameFiles();
    observer->launchStarted();
    controller->launchButton->click();
    QCOMPARE(controller->statusField->text(), launchingText);
    const GameRecord second = waitForGame();
    QCOMPARE(second.arguments, (QStringList{u"-x"_s, u"-mod=ModA"_s}));
    QTRY_COMPARE_WITH_TIMEOUT(controller->statusField->text(), u""_s, slow);
    QVERIFY(controller->locked);
    QVERIFY(!controller->launchButton->isEnabled());
    QVERIFY(!isZombieOrGone(second.pid));

    // The window may still be fading in from the first launch when the second one closes it,
    // and a close during a fade-in is dropped: wait for the worker's calls, not for the window.
    QTRY_VERIFY_WITH_TIMEOUT(!controller->busyIndicator->isAnimating(), slow);
    quitGame();
    QTRY_COMPARE_WITH_TIMEOUT(controller->statusField->text(), welcomeText, slow);
    checkWelcomeBack(observer->now());
}

void LaunchCycleTest::missingExecutableIsLocatedAgain_data() {
    QTest::addColumn<bool>("stored");
    QTest::addColumn<bool>("fromLog");
    QTest::newRow("stored path without the game, dialog") << true << false;
    QTest::newRow("no stored path, dialog") << false << false;
    QTest::newRow("stored path without the game, game log") << true << true;
}

void LaunchCycleTest::missingExecutableIsLocatedAgain() {
    QFETCH(bool, stored);
    QFETCH(bool, fromLog);

    const QString moved = makeBundle(temp->filePath(u"old"_s), Executable::Missing);
    const QString bundle = makeBundle(temp->filePath(u"new"_s), Executable::SampleGame);
    QVERIFY(!moved.isEmpty() && !bundle.isEmpty());
    if (stored)
        UserDefaults::standard().setObjectForKey(moved, unrealPathKey);
    if (fromLog) {
        const QString logPath =
            QDir::homePath() +
            u"/Library/Application Support/Unreal Tournament 2004/System/UT2004.log"_s;
        QVERIFY(QDir().mkpath(QFileInfo(logPath).path()));
        QFile log(logPath);
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.write(QFile::encodeName(u"Log: started\nInit: Base directory: "_s + bundle +
                                    u"/System\nLog: done\n"_s));
    }
    setUpLauncher(modEntry(std::nullopt, u"ModA"_s), 1);
    if (QTest::currentTestFailed())
        return;
    controller->setLocationDialog([&](Controller&) -> std::optional<QString> {
        ++dialogCalls;
        return bundle;
    });
    controller->setLaunchPause(100ms);
    prepareGameFiles();

    controller->launch();
    QCOMPARE(dialogCalls, fromLog ? 0 : 1);
    QCOMPARE(UserDefaults::standard().stringForKey(unrealPathKey), std::optional<QString>(bundle));
    QVERIFY(controller->locked);

    const GameRecord game = waitForGame();
    QCOMPARE(game.workingDirectory, QFileInfo(bundle).canonicalFilePath());
    QCOMPARE(game.arguments, QStringList{u"-mod=ModA"_s});
    QTRY_VERIFY_WITH_TIMEOUT(!launcher->window().isVisible(), slow);
    quitGame();
    QTRY_COMPARE_WITH_TIMEOUT(controller->statusField->text(), welcomeText, slow);
}

void LaunchCycleTest::cancelledLocationEndsTheLaunch() {
    const QString moved = makeBundle(temp->path(), Executable::Missing);
    UserDefaults::standard().setObjectForKey(moved, unrealPathKey);
    setUpLauncher(modEntry(std::nullopt, u"ModA"_s), 1);
    if (QTest::currentTestFailed())
        return;

    controller->launch();
    QCOMPARE(dialogCalls, 1);
    QVERIFY(controller->hasTerminated());
    QVERIFY(!UserDefaults::standard().objectForKey(unrealPathKey));
    QCOMPARE(controller->statusField->text(), u""_s);
    QVERIFY(!controller->locked);
    QVERIFY(!controller->busyIndicator->isAnimating());
}

void LaunchCycleTest::startFailure_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("executable still missing after locating the game") << int(Executable::Missing);
    QTest::newRow("no execute bit") << int(Executable::NotExecutable);
    QTest::newRow("executable is a folder") << int(Executable::Folder);
}

void LaunchCycleTest::startFailure() {
    QFETCH(int, kind);

    const QString bundle = makeBundle(temp->path(), Executable(kind));
    QVERIFY(!bundle.isEmpty());
    UserDefaults::standard().setObjectForKey(bundle, unrealPathKey);
    setUpLauncher(modEntry(u"-x"_s, u"ModA"_s), 1);
    if (QTest::currentTestFailed())
        return;
    // Locating the game again finds the same bundle, still without its executable.
    controller->setLocationDialog([&](Controller&) -> std::optional<QString> {
        ++dialogCalls;
        return bundle;
    });
    controller->setLaunchPause(100ms);
    prepareGameFiles();

    observer->launchStarted();
    controller->launch();
    QCOMPARE(dialogCalls, Executable(kind) == Executable::Missing ? 1 : 0);
    QVERIFY(controller->locked);

    QTRY_VERIFY_WITH_TIMEOUT(!controller->locked, slow);
    // One call came back, the failure report; nothing was hidden and nobody welcomed back.
    QCOMPARE(observer->beforeQueuedCall.size(), size_t(1));
    const Snapshot after = observer->now();
    QVERIFY(after.windowVisible);
    QVERIFY(!observer->windowHidden);
    QCOMPARE(after.status, u""_s);
    QVERIFY(!after.indicatorRunning);
    QVERIFY(after.buttonEnabled);
    QVERIFY(!QFile::exists(recordPath));
}

void LaunchCycleTest::launchWithoutSelectedRowDoesNothing() {
    // Nothing at the stored path: a launch that went ahead would locate the game again.
    const QString moved = makeBundle(temp->path(), Executable::Missing);
    UserDefaults::standard().setObjectForKey(moved, unrealPathKey);
    setUpLauncher(modEntry(std::nullopt, u"ModA"_s), -1);
    if (QTest::currentTestFailed())
        return;

    controller->launch();
    QCOMPARE(dialogCalls, 0);
    QCOMPARE(UserDefaults::standard().stringForKey(unrealPathKey), std::optional<QString>(moved));
    QCOMPARE(controller->statusField->text(), u""_s);
    QVERIFY(!controller->locked);
    QVERIFY(!controller->busyIndicator->isAnimating());
    QVERIFY(!controller->launchButton->isEnabled());
    QVERIFY(launcher->window().isVisible());
}

void LaunchCycleTest::relativeStoredPath() {
    // A path edited by hand in the settings may be relative to the launcher's own folder.
    const QString bundle = makeBundle(temp->path(), Executable::SampleGame);
    QVERIFY(!bundle.isEmpty());
    QVERIFY(QDir::setCurrent(temp->path()));
    UserDefaults::standard().setObjectForKey(u"Unreal Tournament 2004.app"_s, unrealPathKey);
    setUpLauncher(modEntry(std::nullopt, u"ModA"_s), 1);
    controller->setLaunchPause(100ms);
    prepareGameFiles();

    controller->launch();
    const GameRecord game = waitForGame();
    QCOMPARE(dialogCalls, 0);
    QCOMPARE(game.workingDirectory, QFileInfo(bundle).canonicalFilePath());
    QTRY_VERIFY_WITH_TIMEOUT(!launcher->window().isVisible(), slow);
    quitGame();
    QTRY_COMPARE_WITH_TIMEOUT(controller->statusField->text(), welcomeText, slow);
}

MODGATE_TEST_MAIN(LaunchCycleTest)
#include "tst_launchcycle.moc"
