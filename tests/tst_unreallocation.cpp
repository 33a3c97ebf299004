#include "app/controller.h"
#include "app/gamebundledialog.h"
#include "app/launcher.h"
#include "installation/gameinstallation.h"
#include "support/userdefaults.h"
#include "testmain.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <optional>

using OptionalString = std::optional<QString>;
Q_DECLARE_METATYPE(OptionalString)

namespace {

const QString unrealPathKey = QStringLiteral("unrealPath");
const QString bundleName = QStringLiteral("Unreal Tournament 2004.app");

std::optional<QVariant> storedPath() {
    return UserDefaults::standard().objectForKey(unrealPathKey);
}

void storePath(const std::optional<QString>& path) {
    UserDefaults::standard().setObjectForKey(
        path ? std::optional<QVariant>(*path) : std::optional<QVariant>(), unrealPathKey);
}

QString gameLogPath() {
    return GameInstallation::gameLogPath(QDir::homePath());
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// The game as the log names it: "<bundle>/System/" is the base directory the game writes.
QByteArray logNaming(const QString& bundlePath, const QByteArray& lineEnd = "\n") {
    return "Log: Log file open, 12/06/26 10:00:00" + lineEnd +
           "Init: Base directory: /Old/Unreal Tournament 2004.app/System" + lineEnd +
           "Init: Base directory: " + bundlePath.toUtf8() + "/System" + lineEnd +
           "Init: Computer: host" + lineEnd;
}

// Counts the dialog's runs and answers with a fixed choice.
struct DialogStandIn {
    int calls = 0;
    std::optional<QString> answer;
    Controller::LocationDialog seam() {
        return [this](Controller&) {
            ++calls;
            return answer;
        };
    }
};

} // namespace

class UnrealLocationTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void storedPathWins_data();
    void storedPathWins();
    void pathFromLogStored_data();
    void pathFromLogStored();
    void dialogWhenNoPath_data();
    void dialogWhenNoPath();
    void pathRemovedByLaunchFoundAgain();
    void cancelEndsApplication();
    void panelIsValidFilename_data();
    void panelIsValidFilename();

    void realDialogRefusesThenAccepts();
    void realDialogCancelEndsApplication();

private:
    // A copy of the game: the bundle with its executable inside.
    QString makeGame(const QString& name = bundleName);

    std::optional<QTemporaryDir> games;
};

void UnrealLocationTest::init() {
    games.emplace();
    QVERIFY(games->isValid());
    storePath(std::nullopt);
    QFile::remove(gameLogPath());
}

void UnrealLocationTest::cleanup() {
    // A cancel told the application to end while no event loop ran; Qt then refuses to run any
    // loop, the next dialog's included, until the application's own loop has started once.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();

    storePath(std::nullopt);
    QFile::remove(gameLogPath());
    games.reset();
}

QString UnrealLocationTest::makeGame(const QString& name) {
    const QString bundle = games->filePath(name);
    if (!writeFile(GameInstallation::executablePath(bundle), "#!/bin/sh\n"))
        return {};
    return bundle;
}

void UnrealLocationTest::storedPathWins_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("withLog");
    QTest::addColumn<bool>("logNamesExistingGame");

    for (const QString& stored :
         {QStringLiteral("/Stored/Unreal Tournament 2004.app"),
          QStringLiteral("/Gone/Unreal Tournament 2004.app"), QStringLiteral("")}) {
        const QByteArray name = stored.isEmpty() ? QByteArray("empty") : stored.toUtf8();
        QTest::newRow((name + ", no log").constData()) << stored << false << false;
        QTest::newRow((name + ", log naming a game").constData()) << stored << true << true;
        QTest::newRow((name + ", log naming nothing").constData()) << stored << true << false;
    }
}

void UnrealLocationTest::storedPathWins() {
    QFETCH(QString, stored);
    QFETCH(bool, withLog);
    QFETCH(bool, logNamesExistingGame);

    const QString game = makeGame();
    QVERIFY(!game.isEmpty());
    if (withLog) {
        const QString named = logNamesExistingGame ? game : games->filePath(QStringLiteral("x"));
        QVERIFY(writeFile(gameLogPath(), logNaming(named)));
    }
    storePath(stored);

    Launcher launcher;
    DialogStandIn dialog;
    launcher.controller().setLocationDialog(dialog.seam());
    launcher.controller().setUnrealLocation();

    QCOMPARE(dialog.calls, 0);
    QVERIFY(!launcher.controller().hasTerminated());
    QCOMPARE(UserDefaults::standard().stringForKey(unrealPathKey), OptionalString(stored));
}

void UnrealLocationTest::pathFromLogStored_data() {
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::newRow("LF") << QByteArray("\n");
    QTest::newRow("CR LF") << QByteArray("\r\n");
    QTest::newRow("CR") << QByteArray("\r");
}

void UnrealLocationTest::pathFromLogStored() {
    QFETCH(QByteArray, lineEnd);
    const QString game = makeGame();
    QVERIFY(!game.isEmpty());
    QVERIFY(writeFile(gameLogPath(), logNaming(game, lineEnd)));

    Launcher launcher;
    DialogStandIn dialog;
    launcher.controller().setLocationDialog(dialog.seam());
    launcher.controller().setUnrealLocation();

    QCOMPARE(dialog.calls, 0);
    QCOMPARE(UserDefaults::standard().stringForKey(unrealPathKey), OptionalString(game));
}

void UnrealLocationTest::dialogWhenNoPath_data() {
    QTest::addColumn<std::optional<QByteArray>>("log");

    QTest::newRow("no log") << std::optional<QByteArray>();
    QTest::newRow("empty log") << std::optional<QByteArray>("");
    QTest::newRow("no base-directory line")
        << std::optional<QByteArray>("Log: Log file open\nInit: Computer: host\n");
    QTest::newRow("last base-directory line too short")
        << std::optional<QByteArray>("Init: Base directory: /Games/UT.app/System\n"
                                     "Init: Base directory: System\n");
    QTest::newRow("log naming a game that is not there") << std::optional<QByteArray>(
        "Init: Base directory: /nonexistent/" + bundleName.toUtf8() + "/System\n");
}

void UnrealLocationTest::dialogWhenNoPath() {
    QFETCH(std::optional<QByteArray>, log);
    if (log)
        QVERIFY(writeFile(gameLogPath(), *log));
    const QString chosen = makeGame();

    Launcher launcher;
    DialogStandIn dialog;
    dialog.answer = chosen;
    launcher.controller().setLocationDialog(dialog.seam());
    launcher.controller().setUnrealLocation();

    QCOMPARE(dialog.calls, 1);
    QVERIFY(!launcher.controller().hasTerminated());
    QCOMPARE(UserDefaults::standard().stringForKey(unrealPathKey), OptionalString(chosen));
}

void UnrealLocationTest::pathRemovedByLaunchFoundAgain() {
    const QString game = makeGame();
    QVERIFY(!game.isEmpty());
    QVERIFY(writeFile(gameLogPath(), logNaming(game)));

    Launcher launcher;
    DialogStandIn dialog;
    dialog.answer = games->filePath(QStringLiteral("Moved/") + bundleName);
    launcher.controller().setLocationDialog(dialog.seam());

    launcher.controller().setUnrealLocation();
    QCOMPARE(UserDefaults::standard().stringForKey(unrealPathKey), OptionalString(game));

    // What a launch does when it finds the executable missing: remove the path, locate again.
    storePath(std::nullopt);
    launcher.controller().setUnrealLocation();
    QCOMPARE(dialog.calls, 0);
    QCOMPARE(UserDefaults::standard().stringForKey(unrealPathKey), OptionalString(game));

    // The game is gone but the log still names it: the user is asked.
    QVERIFY(QDir(game).removeRecursively());
    storePath(std::nullopt);
    launcher.controller().setUnrealLocation();
    QCOMPARE(dialog.calls, 1);
    QCOMPARE(UserDefaults::standard().stringForKey(unrealPathKey), dialog.answer);
}

void UnrealLocationTest::cancelEndsApplication() {
    Launcher launcher;
    DialogStandIn dialog;
    launcher.controller().setLocationDialog(dialog.seam());
    launcher.controller().setUnrealLocation();

    QCOMPARE(dialog.calls, 1);
    QVERIFY(launcher.controller().hasTerminated());
    QVERIFY(!storedPath());
}

void UnrealLocationTest::panelIsValidFilename_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("in Applications") << QStringLiteral("/Applications/") + bundleName << true;
    QTest::newRow("elsewhere") << QStringLiteral("/home/me/Games/") + bundleName << true;
    QTest::newRow("with a trailing slash")
        << QStringLiteral("/Applications/") + bundleName + QStringLiteral("/") << true;
    QTest::newRow("name alone") << bundleName << true;
    QTest::newRow("lower case") << QStringLiteral("/Applications/unreal tournament 2004.app")
                                << false;
    QTest::newRow("upper case extension")
        << QStringLiteral("/Applications/Unreal Tournament 2004.APP") << false;
    QTest::newRow("another name") << QStringLiteral("/Applications/UT2004.app") << false;
    QTest::newRow("no extension") << QStringLiteral("/Applications/Unreal Tournament 2004")
                                  << false;
    QTest::newRow("longer name") << QStringLiteral("/Applications/Unreal Tournament 2004.app.old")
                                 << false;
    QTest::newRow("inside the bundle")
        << QStringLiteral("/Applications/") + bundleName + QStringLiteral("/Contents") << false;
    QTest::newRow("leading space") << QStringLiteral("/Applications/ ") + bundleName << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("root") << QStringLiteral("/") << false;
}

void UnrealLocationTest::panelIsValidFilename() {
    QFETCH(QString, path);
    QFETCH(bool, accepted);
    Launcher launcher;
    QCOMPARE(launcher.controller().panelIsValidFilename(path), accepted);
}

namespace {

// Drives the real dialog from inside its modal loop, one step per timer tick.
struct DialogDriver {
    enum class Step { find, confirmWrong, confirmRight, cancel, done };

    Step next = Step::find;
    Step afterFind = Step::confirmWrong;
    QString folder;
    QString wrongName;
    int ticks = 0;

    // What the steps saw, checked once the dialog is gone.
    QString title;
    QString acceptLabel;
    QString firstDirectory;
    QString firstName;
    bool acceptEnabledForWrong = false;
    bool openAfterWrong = false;
    bool storedAfterWrong = true;
    bool gaveUp = false;

    static GameBundleDialog* dialog() {
        return qobject_cast<GameBundleDialog*>(QApplication::activeModalWidget());
    }
    static QLineEdit* nameField(GameBundleDialog& d) {
        return d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    }
    static QPushButton* button(GameBundleDialog& d, QDialogButtonBox::StandardButton which) {
        auto* box = d.findChild<QDialogButtonBox*>();
        return box ? box->button(which) : nullptr;
    }

    void tick() {
        GameBundleDialog* d = dialog();
        if (++ticks > 3000) { // a minute and more: stop rather than hang
            gaveUp = true;
            if (d)
                d->reject();
            return;
        }
        if (!d || !d->isVisible())
            return;
        QLineEdit* name = nameField(*d);
        QPushButton* accept = button(*d, QDialogButtonBox::Open);
        QPushButton* cancel = button(*d, QDialogButtonBox::Cancel);
        if (!name || !accept || !cancel)
            return;
        switch (next) {
        case Step::find:
            title = d->windowTitle();
            acceptLabel = accept->text();
            firstDirectory = d->directory().absolutePath();
            firstName = name->text();
            d->setDirectory(folder);
            next = afterFind;
            break;
        case Step::confirmWrong:
            name->setText(wrongName);
            acceptEnabledForWrong = accept->isEnabled();
            accept->click();
            openAfterWrong = d->isVisible();
            storedAfterWrong = storedPath().has_value();
            next = Step::confirmRight;
            break;
        case Step::confirmRight:
            name->setText(bundleName);
            if (accept->isEnabled()) {
                accept->click();
                next = Step::done;
            }
            break;
        case Step::cancel:
            cancel->click();
            next = Step::done;
            break;
        case Step::done:
            break;
        }
    }
};

} // namespace

void UnrealLocationTest::realDialogRefusesThenAccepts() {
    const QString game = makeGame();
    QVERIFY(!game.isEmpty());
    const QString wrong = makeGame(QStringLiteral("UT2004.app"));
    QVERIFY(!wrong.isEmpty());

    Launcher launcher;
    DialogDriver driver;
    driver.folder = games->path();
    driver.wrongName = QStringLiteral("UT2004.app");
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&driver] { driver.tick(); });
    timer.start();
    launcher.controller().setUnrealLocation();
    timer.stop();

    QVERIFY(!driver.gaveUp);
    QCOMPARE(driver.title, QStringLiteral("Select your copy of UT2k4"));
    QCOMPARE(driver.acceptLabel, QStringLiteral("Select"));
    QCOMPARE(driver.firstDirectory, GameBundleDialog::firstFolder());
    if (!QFileInfo(QStringLiteral("/Applications")).isDir())
        QCOMPARE(driver.firstDirectory, QDir::homePath());
    QCOMPARE(driver.firstName, bundleName);
    QVERIFY(driver.acceptEnabledForWrong);
    QVERIFY(driver.openAfterWrong);
    QVERIFY(!driver.storedAfterWrong);

    QVERIFY(!launcher.controller().hasTerminated());
    QCOMPARE(UserDefaults::standard().stringForKey(unrealPathKey), OptionalString(game));
}

void UnrealLocationTest::realDialogCancelEndsApplication() {
    QVERIFY(!makeGame().isEmpty());

    Launcher launcher;
    DialogDriver driver;
    driver.folder = games->path();
    driver.afterFind = DialogDriver::Step::cancel;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&driver] { driver.tick(); });
    timer.start();
    launcher.controller().setUnrealLocation();
    timer.stop();

    QVERIFY(!driver.gaveUp);
    QCOMPARE(driver.next, DialogDriver::Step::done);
    QVERIFY(launcher.controller().hasTerminated());
    QVERIFY(!storedPath());
}

MODGATE_TEST_MAIN(UnrealLocationTest)
#include "tst_unreallocation.moc"
