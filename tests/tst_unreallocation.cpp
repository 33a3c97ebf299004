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

const QString pathKey = QStringLiteral("unrealPath");
const QString bundleName = QStringLiteral("Unreal Tournament 2004.app");
// In a row "$" stands for the folder holding the test's games.
const QString game = QStringLiteral("$/") + bundleName;
const QString goneGame = QStringLiteral("$/Gone/") + bundleName;
const QString chosenGame = QStringLiteral("$/Chosen.app");

void storePath(const OptionalString& path) {
    UserDefaults::standard().setObjectForKey(path ? std::optional<QVariant>(*path) : std::nullopt,
                                             pathKey);
}

bool writeFile(const QString& path, const QString& text) {
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly) &&
           file.write(text.toUtf8()) == text.toUtf8().size();
}

// A log whose last base-directory line ("<bundle>/System") names `bundle`.
QString logNaming(const QString& bundle, const QString& lineEnd = QStringLiteral("\n")) {
    return QStringLiteral("Log: Log file open%2Init: Base directory: /Old/%3/System%2"
                          "Init: Base directory: %1/System%2Init: Computer: host%2")
        .arg(bundle, lineEnd, bundleName);
}

// Locates the game with a stand-in dialog answering `answer`; tells how often it was asked.
int locate(Controller& controller, const OptionalString& answer, const QStringList& known = {}) {
    int calls = 0;
    controller.setWellKnownGameFolders(known);
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
    std::optional<QTemporaryDir> games;

    OptionalString fill(OptionalString s) const { return s ? s->replace(u'$', games->path()) : s; }
    static OptionalString storedPath() { return UserDefaults::standard().stringForKey(pathKey); }
    // Asked each time: HOME is the test's own only once the test runs.
    static QString gameLogPath() { return GameInstallation::gameLogPath(QDir::homePath()); }
    // A copy of the game, its executable inside.
    bool makeGame(const QString& bundle) {
        return writeFile(GameInstallation::executablePath(*fill(bundle)), QStringLiteral("#!"));
    }

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

    void setUnrealLocation_data() {
        QTest::addColumn<OptionalString>("stored");
        QTest::addColumn<OptionalString>("log");
        QTest::addColumn<int>("dialogs");
        QTest::addColumn<OptionalString>("expected"); // absent: cancelled, the application ends
        const auto row = [](const char* name, OptionalString stored, OptionalString log,
                            int dialogs, OptionalString expected) {
            QTest::newRow(name) << stored << log << dialogs << expected;
        };
        // Names nothing on disk: used as it stands all the same, the launch checks it.
        const QString stored = QStringLiteral("/Stored/") + bundleName;
        row("stored, no log", stored, {}, 0, stored);
        row("stored, log naming the game", stored, logNaming(game), 0, stored);
        row("stored, log naming a gone game", stored, logNaming(goneGame), 0, stored);
        row("stored empty, log naming the game", QString(""), logNaming(game), 0, QString(""));
        row("log naming the game, LF", {}, logNaming(game, "\n"), 0, game);
        row("log naming the game, CR LF", {}, logNaming(game, "\r\n"), 0, game);
        row("log naming the game, CR", {}, logNaming(game, "\r"), 0, game);
        row("no log", {}, {}, 1, chosenGame);
        row("no base-directory line", {}, "Init: Computer: host\n", 1, chosenGame);
        row("last base-directory line too short", {},
            logNaming(game) + "Init: Base directory: System\n", 1, chosenGame);
        row("log naming a gone game", {}, logNaming(goneGame), 1, chosenGame);
        row("cancel", {}, {}, 1, {});
    }
    void setUnrealLocation() {
        QFETCH(OptionalString, stored);
        QFETCH(OptionalString, log);
        QFETCH(int, dialogs);
        QFETCH(OptionalString, expected);
        QVERIFY(makeGame(game));
        QVERIFY(!log || writeFile(gameLogPath(), *fill(log)));
        storePath(stored);
        Launcher launcher;
        QCOMPARE(locate(launcher.controller(), expected ? fill(chosenGame) : expected), dialogs);
        QCOMPARE(launcher.controller().hasTerminated(), !expected);
        QCOMPARE(storedPath(), fill(expected));
    }

    // After the stored path: the bundle's log, the Linux log, then the well-known folders, each
    // taken only where a copy of the game is recognised.
    void findingOrder_data() {
        QTest::addColumn<OptionalString>("bundleLog"); // the game folder its last line names
        QTest::addColumn<OptionalString>("linuxLog");
        QTest::addColumn<QString>("known");
        QTest::addColumn<QString>("expected");
        const QString linux = QStringLiteral("$/Linux"), other = QStringLiteral("$/Other");
        QTest::newRow("Linux log") << OptionalString() << OptionalString(linux) << ""
                                   << "$/Linux/";
        QTest::newRow("bundle log first")
            << OptionalString(game) << OptionalString(linux) << "" << game;
        QTest::newRow("stale bundle log, Linux log")
            << OptionalString(goneGame) << OptionalString(linux) << ""
            << "$/Linux/";
        QTest::newRow("stale Linux log, first recognised known folder")
            << OptionalString() << OptionalString(QStringLiteral("$/Gone"))
            << "$/Gone $/Other $/Linux" << other;
        QTest::newRow("logs before known folders")
            << OptionalString() << OptionalString(linux) << "$/Other"
            << "$/Linux/";
        QTest::newRow("nothing recognised: the dialog")
            << OptionalString() << OptionalString() << "$/Gone" << chosenGame;
    }
    void findingOrder() {
        QFETCH(OptionalString, bundleLog);
        QFETCH(OptionalString, linuxLog);
        QFETCH(QString, known);
        QFETCH(QString, expected);
        QVERIFY(makeGame(game));
        for (const char* linuxGame : {"$/Linux/System/UT2004", "$/Other/System/ut2004-bin"})
            QVERIFY(writeFile(*fill(QString::fromLatin1(linuxGame)), QStringLiteral("#!")));
        const QString linuxLogPath =
            QDir::homePath() + QStringLiteral("/.ut2004/System/UT2004.log");
        QVERIFY(!bundleLog || writeFile(gameLogPath(), *fill(logNaming(*bundleLog))));
        QVERIFY(
            !linuxLog ||
            writeFile(linuxLogPath,
                      QStringLiteral("Init: Base directory: %1/System/\n").arg(*fill(linuxLog))));
        Launcher launcher;
        const QStringList knownFolders = fill(known)->split(u' ', Qt::SkipEmptyParts);
        QCOMPARE(locate(launcher.controller(), fill(chosenGame), knownFolders),
                 expected == chosenGame ? 1 : 0);
        QCOMPARE(storedPath(), fill(expected));
        QFile::remove(linuxLogPath);
    }

    void logSizeLimit_data() {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<int>("dialogs");
        QTest::newRow("64 MiB, read") << qint64(64) * 1024 * 1024 << 0;
        QTest::newRow("64 MiB and a byte, unreadable") << qint64(64) * 1024 * 1024 + 1 << 1;
    }
    void logSizeLimit() {
        QFETCH(qint64, size);
        QFETCH(int, dialogs);
        QVERIFY(makeGame(game));
        // The rest is a hole of NUL bytes: cheap to make, valid text.
        QVERIFY(writeFile(gameLogPath(), *fill(logNaming(game))) &&
                QFile::resize(gameLogPath(), size));
        Launcher launcher;
        QCOMPARE(locate(launcher.controller(), fill(chosenGame)), dialogs);
    }

    // What a launch does when it finds the executable missing: remove the path, locate again.
    void pathRemovedByLaunchFoundAgain() {
        QVERIFY(makeGame(game));
        QVERIFY(writeFile(gameLogPath(), *fill(logNaming(game))));
        Launcher launcher;
        for (const bool gameThere : {true, true, false}) {
            QVERIFY(gameThere || QDir(*fill(game)).removeRecursively());
            storePath(std::nullopt);
            QCOMPARE(locate(launcher.controller(), fill(chosenGame)), gameThere ? 0 : 1);
            QCOMPARE(storedPath(), fill(gameThere ? game : chosenGame));
        }
    }

    void panelIsValidFilename_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("accepted");
        const auto rows = [](bool accepted, std::initializer_list<const char*> paths) {
            for (const char* path : paths)
                QTest::newRow(*path ? path : "empty") << QString::fromUtf8(path) << accepted;
        };
        // Folders holding a copy of the game are taken by what they hold, not their names.
        rows(true, {"/Applications/Unreal Tournament 2004.app",
                    "/home/me/Unreal Tournament 2004.app/", "Unreal Tournament 2004.app"});
        rows(false, {"/Games/unreal tournament 2004.APP", "/Games/UT2004.app",
                     "/Games/Unreal Tournament 2004", "/Games/Unreal Tournament 2004.app.old",
                     "/Games/Unreal Tournament 2004.app/Contents",
                     "/Games/ Unreal Tournament 2004.app", "/", ""});
    }
    void panelIsValidFilename() {
        QFETCH(QString, path);
        QFETCH(bool, accepted);
        QCOMPARE(Launcher().controller().panelIsValidFilename(path), accepted);
    }

    void realDialog_data() {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("wrong name refused, right one taken") << false;
        QTest::newRow("cancel") << true;
    }
    // Drives the real, modal dialog from inside its loop, one step per tick while it shows;
    // what the steps saw is checked once it is gone.
    void realDialog() {
        QFETCH(bool, cancel);
        QVERIFY(makeGame(game) && QDir().mkpath(*fill(QStringLiteral("$/UT2004.app"))));
        Launcher launcher;
        QStringList seen;
        int step = cancel ? -1 : 0, ticks = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<GameBundleDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            auto* buttons = dialog->findChild<QDialogButtonBox*>();
            QPushButton* accept = buttons->button(QDialogButtonBox::Open);
            if (++ticks > 3000) { // a minute and more: give up rather than hang
                seen << QStringLiteral("gave up");
                dialog->reject();
            } else if (seen.isEmpty()) {
                seen << dialog->windowTitle() << accept->text()
                     << dialog->directory().absolutePath() << name->text() << QString();
                dialog->setDirectory(games->path());
            } else if (step < 0) {
                buttons->button(QDialogButtonBox::Cancel)->click();
            } else if (step++ == 0) {
                name->setText(QStringLiteral("UT2004.app"));
                const bool tried = accept->isEnabled();
                accept->click();
                if (tried && dialog->isVisible() && !storedPath())
                    seen.last() = QStringLiteral("refused");
            } else {
                name->setText(bundleName);
                if (accept->isEnabled())
                    accept->click();
            }
        });
        timer.start(20);
        launcher.controller().setWellKnownGameFolders({});
        launcher.controller().setUnrealLocation();
        timer.stop();

        const QString applications = QStringLiteral("/Applications");
        const QStringList expected = {
            QStringLiteral("Select your copy of UT2k4"), QStringLiteral("Select"),
            QFileInfo(applications).isDir() ? applications : QDir::homePath(), bundleName,
            cancel ? QString() : QStringLiteral("refused")};
        QCOMPARE(seen, expected);
        QCOMPARE(launcher.controller().hasTerminated(), cancel);
        QCOMPARE(storedPath(), cancel ? OptionalString() : fill(game));
    }
};

MODGATE_TEST_MAIN(UnrealLocationTest)
#include "tst_unreallocation.moc"
