#include "app/controller.h"
#include "app/gamebundledialog.h"
#include "app/launcher.h"
#include "installation/gameinstallation.h"
#include "support/userdefaults.h"
#include "testmain.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <optional>

using OptionalString = std::optional<QString>;

namespace {

const QString unrealPathKey = QStringLiteral("unrealPath");
const QString bundleName = QStringLiteral("Unreal Tournament 2004.app");

OptionalString storedPath() {
    return UserDefaults::standard().stringForKey(unrealPathKey);
}
void storePath(const OptionalString& path) {
    UserDefaults::standard().setObjectForKey(path ? std::optional<QVariant>(*path) : std::nullopt,
                                             unrealPathKey);
}

// Read once HOME is the test's own: never at start-up.
QString gameLogPath() {
    return GameInstallation::gameLogPath(QDir::homePath());
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

// A log whose last base-directory line ("<bundle>/System") names `bundle`.
QString logNaming(const QString& bundle, const QString& lineEnd = QStringLiteral("\n")) {
    return QStringLiteral("Log: Log file open%2Init: Base directory: /Old/%3/System%2"
                          "Init: Base directory: %1/System%2Init: Computer: host%2")
        .arg(bundle, lineEnd, bundleName);
}

// Locates the game with a stand-in dialog answering `answer`; tells how often it was asked.
int locate(Controller& controller, const OptionalString& answer) {
    int calls = 0;
    controller.setLocationDialog([&calls, answer](Controller&) {
        ++calls;
        return answer;
    });
    controller.setUnrealLocation();
    return calls;
}

} // namespace

class UnrealLocationTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        games.emplace();
        QVERIFY(games->isValid());
        storePath(std::nullopt);
        QFile::remove(gameLogPath());
    }
    void cleanup() {
        // After a cancel outside any loop Qt runs no loop, the next dialog's included, until the
        // application's own loop has started once.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }

    void setUnrealLocation_data();
    void setUnrealLocation();
    void pathRemovedByLaunchFoundAgain();
    void panelIsValidFilename_data();
    void panelIsValidFilename();
    void realDialog_data();
    void realDialog();

private:
    // A copy of the game, its executable inside.
    QString makeGame(const QString& name = bundleName) {
        const QString bundle = games->filePath(name);
        return writeFile(GameInstallation::executablePath(bundle), "#!/bin/sh\n") ? bundle
                                                                                  : QString();
    }
    // In a row "$GAME" stands for the game's path, "$GONE" for a game that is not there,
    // "$CHOSEN" for what the dialog answers.
    OptionalString fill(OptionalString text) const {
        if (text)
            text->replace(QLatin1String("$GAME"), games->filePath(bundleName))
                .replace(QLatin1String("$GONE"),
                         games->filePath(QStringLiteral("Gone/") + bundleName))
                .replace(QLatin1String("$CHOSEN"), games->filePath(QStringLiteral("Chosen.app")));
        return text;
    }

    std::optional<QTemporaryDir> games;
};

void UnrealLocationTest::setUnrealLocation_data() {
    QTest::addColumn<OptionalString>("stored");
    QTest::addColumn<OptionalString>("log");
    QTest::addColumn<int>("dialogs");
    // Absent: the dialog cancels and the application ends.
    QTest::addColumn<OptionalString>("expected");
    const auto row = [](const char* name, OptionalString stored, OptionalString log, int dialogs,
                        OptionalString expected) {
        QTest::newRow(name) << stored << log << dialogs << expected;
    };
    // The stored path names nothing on disk: used as it stands all the same, the launch checks it.
    const QString stored = QStringLiteral("/Stored/") + bundleName;
    row("stored, no log", stored, {}, 0, stored);
    row("stored, log naming the game", stored, logNaming("$GAME"), 0, stored);
    row("stored, log naming a gone game", stored, logNaming("$GONE"), 0, stored);
    row("stored empty, log naming the game", QString(""), logNaming("$GAME"), 0, QString(""));
    row("log naming the game, LF", {}, logNaming("$GAME", "\n"), 0, "$GAME");
    row("log naming the game, CR LF", {}, logNaming("$GAME", "\r\n"), 0, "$GAME");
    row("log naming the game, CR", {}, logNaming("$GAME", "\r"), 0, "$GAME");
    row("no log", {}, {}, 1, "$CHOSEN");
    row("no base-directory line", {}, "Log: Log file open\nInit: Computer: host\n", 1, "$CHOSEN");
    row("last base-directory line too short", {},
        "Init: Base directory: $GAME/System\nInit: Base directory: System\n", 1, "$CHOSEN");
    row("log naming a gone game", {}, logNaming("$GONE"), 1, "$CHOSEN");
    row("cancel", {}, {}, 1, {});
}

void UnrealLocationTest::setUnrealLocation() {
    QFETCH(OptionalString, stored);
    QFETCH(OptionalString, log);
    QFETCH(int, dialogs);
    QFETCH(OptionalString, expected);
    QVERIFY(!makeGame().isEmpty());
    QVERIFY(!log || writeFile(gameLogPath(), fill(log)->toUtf8()));
    storePath(stored);

    Launcher launcher;
    QCOMPARE(locate(launcher.controller(), expected ? fill("$CHOSEN") : expected), dialogs);
    QCOMPARE(launcher.controller().hasTerminated(), !expected);
    QCOMPARE(storedPath(), fill(expected));
}

// What a launch does when it finds the executable missing: remove the path, locate again.
void UnrealLocationTest::pathRemovedByLaunchFoundAgain() {
    const QString game = makeGame();
    const OptionalString chosen = fill("$CHOSEN");
    QVERIFY(writeFile(gameLogPath(), logNaming(game).toUtf8()));
    Launcher launcher;
    for (const bool gameThere : {true, true, false}) {
        QVERIFY(gameThere || QDir(game).removeRecursively());
        storePath(std::nullopt);
        QCOMPARE(locate(launcher.controller(), chosen), gameThere ? 0 : 1);
        QCOMPARE(storedPath(), gameThere ? game : chosen);
    }
}

void UnrealLocationTest::panelIsValidFilename_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("accepted");
    const std::pair<const char*, bool> rows[] = {
        {"/Applications/Unreal Tournament 2004.app", true},
        {"/home/me/Games/Unreal Tournament 2004.app/", true},
        {"Unreal Tournament 2004.app", true},
        {"/Applications/unreal tournament 2004.APP", false},
        {"/Applications/UT2004.app", false},
        {"/Applications/Unreal Tournament 2004", false},
        {"/Applications/Unreal Tournament 2004.app.old", false},
        {"/Applications/Unreal Tournament 2004.app/Contents", false},
        {"/Applications/ Unreal Tournament 2004.app", false},
        {"/", false},
        {"", false}};
    for (const auto& [path, accepted] : rows)
        QTest::newRow(*path ? path : "empty") << QString::fromUtf8(path) << accepted;
}

void UnrealLocationTest::panelIsValidFilename() {
    QFETCH(QString, path);
    QFETCH(bool, accepted);
    QCOMPARE(Launcher().controller().panelIsValidFilename(path), accepted);
}

void UnrealLocationTest::realDialog_data() {
    QTest::addColumn<bool>("cancel");
    QTest::newRow("wrong name refused, right one taken") << false;
    QTest::newRow("cancel") << true;
}

// Drives the real, modal dialog from inside its loop, one step per tick once its widgets are up;
// what the steps saw is checked once it is gone.
void UnrealLocationTest::realDialog() {
    QFETCH(bool, cancel);
    const QString game = makeGame();
    QVERIFY(!makeGame(QStringLiteral("UT2004.app")).isEmpty());

    Launcher launcher;
    QStringList seen; // title, accept label, first folder, preselected name
    bool wrongTried = false, openAfterWrong = false, storedAfterWrong = true;
    int step = 0, ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<GameBundleDialog*>(QApplication::activeModalWidget());
        auto* name =
            dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
        auto* box = dialog ? dialog->findChild<QDialogButtonBox*>() : nullptr;
        if (!name || !box || !dialog->isVisible())
            return;
        QPushButton* accept = box->button(QDialogButtonBox::Open);
        if (++ticks > 3000) // a minute and more: give up rather than hang
            dialog->reject();
        else if (step == 0) {
            seen = {dialog->windowTitle(), accept->text(), dialog->directory().absolutePath(),
                    name->text()};
            dialog->setDirectory(games->path());
            step = cancel ? 3 : 1;
        } else if (step == 1) {
            name->setText(QStringLiteral("UT2004.app"));
            wrongTried = accept->isEnabled();
            accept->click();
            openAfterWrong = dialog->isVisible();
            storedAfterWrong = storedPath().has_value();
            step = 2;
        } else if (step == 2) {
            name->setText(bundleName);
            if (accept->isEnabled())
                accept->click();
        } else if (step == 3)
            box->button(QDialogButtonBox::Cancel)->click();
    });
    timer.start(20);
    launcher.controller().setUnrealLocation();
    timer.stop();

    QVERIFY(ticks <= 3000);
    const QString firstFolder = QFileInfo(QStringLiteral("/Applications")).isDir()
                                    ? QStringLiteral("/Applications")
                                    : QDir::homePath();
    QCOMPARE(seen, QStringList({QStringLiteral("Select your copy of UT2k4"),
                                QStringLiteral("Select"), firstFolder, bundleName}));
    QCOMPARE(launcher.controller().hasTerminated(), cancel);
    QCOMPARE(storedPath(), cancel ? OptionalString() : OptionalString(game));
    if (!cancel)
        QVERIFY(wrongTried && openAfterWrong && !storedAfterWrong);
}

MODGATE_TEST_MAIN(UnrealLocationTest)
#include "tst_unreallocation.moc"
