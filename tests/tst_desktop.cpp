// SPDX-License-Identifier: GPL-3.0-or-later
// Modgate on the desktop: the command line (its requests, --list, --launch and a later start's
// hand-over), the table's context menu and the desktop shortcuts it writes.
#include "app/cli/commandline.h"
#include "app/controller.h"
#include "app/launcher.h"
#include "app/modactions.h"
#include "app/requestedlaunch.h"
#include "catalogue/modorder.h"
#include "fixtures.h"
#include "installation/desktopshortcut.h"
#include "support/userdefaults.h"
#include "testmain.h"
#include "window/vxfadewindow.h"

#include <QDesktopServices>
#include <QJsonDocument>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <algorithm>
#include <random>

using namespace Qt::StringLiterals;
using Entry = ModContextMenu::Entry;

namespace {

constexpr int slow = 60000;

// An Exec= line read back as a desktop reads it: the string escapes, then the
// quoting, then %%. Absent for a line a reader would refuse (a reserved character left bare, an
// open quote, a field code).
std::optional<QStringList> readExec(const QString& line) {
    QString value;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] != u'\\' || i + 1 == line.size()) {
            value += line[i];
            continue;
        }
        const QChar next = line[++i];
        const qsizetype known = QStringView(u"sntr\\").indexOf(next);
        if (known < 0)
            return std::nullopt;
        value += QStringView(u" \n\t\r\\")[known];
    }
    QStringList arguments;
    std::optional<QString> argument;
    bool quoted = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (quoted) {
            if (c == u'"')
                quoted = false;
            else if (c == u'\\' && i + 1 < value.size() && u"\"`$\\"_s.contains(value[i + 1]))
                *argument += value[++i];
            else if (u"\"`$\\"_s.contains(c))
                return std::nullopt;
            else
                *argument += c;
        } else if (c == u' ') {
            if (argument)
                arguments << *std::exchange(argument, std::nullopt);
        } else if (c == u'"') {
            quoted = true;
            argument = argument.value_or(QString());
        } else if (u"\t\n'\\><~|&;$*?#()`"_s.contains(c)) {
            return std::nullopt;
        } else {
            argument = argument.value_or(QString()) + c;
        }
    }
    if (quoted)
        return std::nullopt;
    if (argument)
        arguments << *argument;
    for (QString& each : arguments) {
        QString unescaped;
        for (qsizetype i = 0; i < each.size(); ++i) {
            if (each[i] == u'%' && (i + 1 == each.size() || each[++i] != u'%'))
                return std::nullopt; // a field code
            unescaped += each[i];
        }
        each = unescaped;
    }
    return arguments;
}

QString execLine(const QString& entryText) {
    for (const QString& line : entryText.split(u'\n'))
        if (line.startsWith(u"Exec="))
            return line.mid(5);
    return {};
}

struct Run {
    int exitCode = -1;
    QString output, error;
};

// The built program, with no display unless the environment names one.
Run runModgate(const QStringList& arguments, const QProcessEnvironment& environment) {
    QProcess modgate;
    modgate.setProcessEnvironment(environment);
    modgate.start(fixtures::buildDir() + u"/modgate"_s, arguments);
    if (!modgate.waitForFinished(slow) || modgate.exitStatus() != QProcess::NormalExit)
        return {};
    return {modgate.exitCode(), QString::fromUtf8(modgate.readAllStandardOutput()),
            QString::fromUtf8(modgate.readAllStandardError())};
}

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT
    QTemporaryDir temp;
    QString sampleHome;
    QList<QUrl> opened;

    // A home of its own for the program: settings, data, and the single-instance socket.
    QProcessEnvironment homeEnvironment(const QString& home) const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString& name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
            environment.remove(name);
        environment.insert(u"HOME"_s, home);
        environment.insert(u"XDG_CONFIG_HOME"_s, home + u"/.config"_s);
        environment.insert(u"XDG_DATA_HOME"_s, home + u"/.local/share"_s);
        const QString runtime = temp.filePath(u"run-"_s + QFileInfo(home).fileName());
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment.insert(u"XDG_RUNTIME_DIR"_s, runtime);
        return environment;
    }

public slots:
    void open(const QUrl& url) { opened.append(url); }

private slots:
    void initTestCase() {
        QVERIFY(QProcess::execute(fixtures::sampleInstallationTool(),
                                  {u"--game"_s, fixtures::sampleGame(), u"--out"_s,
                                   temp.filePath(u"sample"_s)}) == 0);
        sampleHome = temp.filePath(u"sample/home"_s);
        for (const QString& scheme : {u"http"_s, u"https"_s, u"file"_s})
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    void cleanupTestCase() {
        for (const QString& scheme : {u"http"_s, u"https"_s, u"file"_s})
            QDesktopServices::unsetUrlHandler(scheme);
    }

    // The command line's requests, and each read back from what a later start hands over.
    void commandLine_data() {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("read"); // the request, or the refusal's first line
        fixtures::row("none", u""_s, u"window"_s);
        fixtures::row("launch", u"--launch Foo"_s, u"launch Foo"_s);
        fixtures::row("a folder like an option", u"--launch -odd --game /g"_s,
                      u"launch -odd in /g"_s);
        fixtures::row("the plain game", u"--launch-game --game=/g"_s, u"game in /g"_s);
        fixtures::row("list", u"--list"_s, u"list"_s);
        fixtures::row("a copy alone", u"--game /g"_s, u"window in /g"_s);
        fixtures::row("downloads", u"/d/A.zip --game /g /d/B.umod"_s,
                      u"window in /g, installing /d/A.zip|/d/B.umod"_s);
        fixtures::row("downloads and a launch", u"--launch-game /d/A.zip"_s,
                      u"modgate: Unexpected argument '/d/A.zip': files to install go without "
                      "--list, --launch and --launch-game."_s);
        fixtures::row("Qt's options", u"-platform xcb -style=Fusion -reverse --display :1 --list"_s,
                      u"list"_s);
        fixtures::row("two actions", u"--list --launch A"_s,
                      u"modgate: Give only one of --list, --launch and --launch-game."_s);
        fixtures::row("a path", u"--launch a/b"_s,
                      u"modgate: --launch takes the name of a mod's folder, not 'a/b'."_s);
        fixtures::row("unknown", u"-bogus"_s, u"modgate: Unknown option '-bogus'."_s);
        fixtures::row("no value", u"--game"_s, u"modgate: Missing value after '--game'."_s);
    }
    void commandLine() {
        QFETCH(QString, arguments);
        QFETCH(QString, read);
        const auto describe = [](const CommandLine& line) {
            if (line.answer)
                return line.answer->text.section(u'\n', 0, 0);
            const StartRequest& r = line.request;
            const QString action = QStringList{u"window"_s, u"list"_s, u"launch "_s + r.folder,
                                               u"game"_s}[int(r.action)];
            const QString downloads =
                r.downloads.isEmpty() ? QString() : u", installing "_s + r.downloads.join(u'|');
            return (r.gameFolder ? action + u" in "_s + *r.gameFolder : action) + downloads;
        };
        const QStringList split = arguments.split(u' ', Qt::SkipEmptyParts);
        const CommandLine line = readCommandLine(QStringList{u"modgate"_s} + split);
        QCOMPARE(describe(line), read);
        QCOMPARE(line.answer && line.answer->exitCode == 2, read.startsWith(u"modgate:"));
        if (!line.answer)
            QCOMPARE(
                readCommandLine(QStringList{u"modgate"_s} + requestArguments(line.request)).request,
                line.request);
    }

    // The table's order, shuffled and sorted again.
    void displayOrder() {
        const auto mod = [](const char* folder, std::optional<QString> title = {}) {
            return ModEntry{title, {}, {}, QString::fromUtf8(folder)};
        };
        const QList<ModEntry> ordered{{u"Unreal Tournament 2004"_s, {}, {}, {}},
                                      mod("Z", u"alpha"_s),
                                      mod("A", u"Beta"_s),
                                      mod("beta"),
                                      mod("M9", u"mod 9"_s),
                                      mod("M10", u"Mod 10"_s),
                                      mod("Zed", u""_s)};
        QList<ModEntry> sorted = ordered;
        std::shuffle(sorted.begin(), sorted.end(), std::mt19937(7));
        std::sort(sorted.begin(), sorted.end(), listsBefore);
        QCOMPARE(sorted, ordered);
    }

    // Hostile folders and game paths come back from the Exec= line as the same arguments, and
    // the entry passes desktop-file-validate.
    void shortcut_data() {
        fixtures::columns("folder", "game");
        fixtures::row("plain", u"ExampleMod"_s, u"/games/ut2004"_s);
        fixtures::row("spaces", u"My Mod"_s, u"/home/p/Unreal Tournament 2004"_s);
        fixtures::row("quotes", u"It's \"quoted\""_s, u"/g/'single'"_s);
        fixtures::row("backslashes", u"back\\slash\\"_s, u"/g\\\\x/"_s);
        fixtures::row("percent", u"100%"_s, u"/g/%f %%u"_s);
        fixtures::row("shell", u"$HOME `id` ;|&<>*?#()~"_s, u"/g/$(rm -rf ~)"_s);
        fixtures::row("line breaks", u"tab\there\nnew\rline"_s, u"/g/a\tb"_s);
        fixtures::row("non-ASCII", u"Ünïcødé 日本語 \u2013"_s, u"/home/ünï/игры"_s);
        fixtures::row("leading dash", u"-mod"_s, u"/g"_s);
        fixtures::row("control character", u"bell\u0007"_s, u"/g"_s);
    }
    void shortcut() {
        QFETCH(QString, folder);
        QFETCH(QString, game);
        DesktopShortcut shortcut{folder, u"Name"_s,        u"About it"_s, u"/usr/games/mod gate"_s,
                                 game,   u"/icons/x.png"_s};
        const std::optional<QString> text = desktopShortcutText(shortcut);
        QCOMPARE(bool(text), !folder.contains(u'\u0007'));
        if (!text)
            return;
        QCOMPARE(readExec(execLine(*text)).value_or(QStringList{u"(refused)"_s}),
                 desktopShortcutArguments(shortcut));
        QCOMPARE(readCommandLine(desktopShortcutArguments(shortcut)).request,
                 (StartRequest{StartAction::LaunchMod, folder, game}));

        const QString dataHome = temp.filePath(u"data"_s);
        const ShortcutWritten written = writeDesktopShortcut(shortcut, QImage(), dataHome);
        QVERIFY2(!written.error, qPrintable(written.error.value_or(QString())));
        const QString validator = QStandardPaths::findExecutable(u"desktop-file-validate"_s);
        if (!validator.isEmpty()) {
            QProcess validate;
            validate.start(validator, {written.path});
            QVERIFY(validate.waitForFinished(slow));
            const QByteArray complaints = validate.readAll();
            QVERIFY2(validate.exitCode() == 0 && complaints.isEmpty(), complaints.constData());
        }
        QVERIFY(removeDesktopShortcut(folder, dataHome));
        QVERIFY(!QFileInfo::exists(written.path));
        QVERIFY(!QFileInfo::exists(desktopIconPath(dataHome, folder)));
    }

    // Desktop IDs: only the characters an ID may hold, never two folders on one, never too long.
    void shortcutIds() {
        const QStringList folders{u"a b"_s,
                                  u"a_20b"_s,
                                  u"a-b"_s,
                                  u"A B"_s,
                                  u"2fort"_s,
                                  QString(250, u'é'),
                                  QString(250, u'é') + u'x'};
        QSet<QString> ids;
        for (const QString& folder : folders) {
            const QString id = desktopShortcutId(folder);
            ids.insert(id);
            QVERIFY2(id.size() <= 200, qPrintable(id));
            for (const QString& part : id.split(u'.'))
                QVERIFY2(QRegularExpression(u"^[A-Za-z_-][A-Za-z0-9_-]*$"_s).match(part).hasMatch(),
                         qPrintable(id));
        }
        QCOMPARE(ids.size(), folders.size());
    }

    // --list needs no display: the sample's mods in the table's order, an untitled one's title
    // empty; a copy with no mods lists nothing; with no copy, the reason and exit code 1.
    void list_data() {
        fixtures::columns("game", "printed");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("sample") << u""_s
                                << u"AlienInvasion\tAlien Invasion\nExampleMod\tExample Mod\n"
                                   "FragOps\tFrag.Ops\nFragOps\tFrag.Ops Training\n"
                                   "FrontLine\tFront Line: Ostfront\nLeftovers\t\n"
                                   "NoLinkMod\tNo Link Mod\nShortLink\tShort Link\n"
                                   "Troopers\tTroopers \u2013 Dawn of Destiny\n|"_s
                                << 0;
        QTest::newRow("no mods") << u"empty"_s << u"|"_s << 0;
        QTest::newRow("no copy") << u"none"_s
                                 << u"|modgate: No copy of the game found. Name its folder with "
                                    "--game, or start Modgate to choose it.\n"_s
                                 << 1;
    }
    void list() {
        QFETCH(QString, game);
        QFETCH(QString, printed);
        QFETCH(int, exitCode);
        QString home = sampleHome;
        QStringList arguments{u"--list"_s};
        if (game == u"empty") {
            QVERIFY(fixtures::makeGame(temp.filePath(u"empty"_s), fixtures::Layout::OldUnreal));
            arguments << u"--game"_s << temp.filePath(u"empty/System"_s);
        } else if (game == u"none") {
            home = temp.filePath(u"nobody"_s);
        }
        const Run run = runModgate(arguments, homeEnvironment(home));
        QCOMPARE(run.output + u'|' + run.error, printed);
        QCOMPARE(run.exitCode, exitCode);
    }

    // A start with --launch launches the mod once its row is listed; a later start hands its
    // request to the first, which launches it and goes on running.
    void launch() {
        QProcessEnvironment environment = homeEnvironment(sampleHome);
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        const QString record = temp.filePath(u"record.json"_s), quit = temp.filePath(u"quit"_s);
        environment.insert(u"MODGATE_SAMPLE_GAME_RECORD"_s, record);
        environment.insert(u"MODGATE_SAMPLE_GAME_QUIT_FILE"_s, quit);
        environment.insert(u"MODGATE_SAMPLE_GAME_QUIT_AFTER_MS"_s, u"60000"_s);
        const auto launched = [&record] {
            QFile file(record);
            return file.open(QFile::ReadOnly)
                       ? QJsonDocument::fromJson(file.readAll())[u"arguments"_s]
                             .toVariant()
                             .toStringList()
                             .join(u' ')
                       : QString();
        };
        const QString socket = environment.value(u"XDG_RUNTIME_DIR"_s) + u"/modgate.socket"_s;
        for (const QStringList& first : {QStringList{u"--launch"_s, u"ExampleMod"_s}, {}}) {
            QFile::remove(record);
            QFile::remove(quit);
            // A killed Modgate leaves its socket behind: the next must not take it for a live one.
            QFile::remove(socket);
            QProcess modgate;
            modgate.setProcessEnvironment(environment);
            modgate.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            modgate.start(fixtures::buildDir() + u"/modgate"_s, first);
            if (first.isEmpty()) {
                QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(environment.value(u"XDG_RUNTIME_DIR"_s) +
                                                           u"/modgate.socket"_s),
                                         slow);
                // Hands its request over and ends, while the game it asked for runs on.
                const Run later = runModgate({u"--launch"_s, u"ExampleMod"_s}, environment);
                QCOMPARE(later.exitCode, 0);
            }
            QTRY_COMPARE_WITH_TIMEOUT(launched(), u"-example -log -mod=ExampleMod"_s, slow);
            fixtures::writeFile(quit);
            QTest::qWait(1000);
            QCOMPARE(modgate.state(), QProcess::Running);
            modgate.kill();
            modgate.waitForFinished();
        }
    }

    // A folder that holds no mod: nothing selected, nothing started, and the status line says
    // so after the search, until something else is done.
    void launchUnknown() {
        const QString game = temp.filePath(u"game-unknown"_s);
        QVERIFY(fixtures::makeGame(game, fixtures::Layout::OldUnreal));
        QVERIFY(fixtures::makeTree(game, u"f:Known/ut2k4mod.ini"_s));
        UserDefaults::standard().setObjectForKey(temp.filePath(u"gone"_s), u"unrealPath"_s);
        Launcher launcher;
        Controller& c = launcher.controller();
        auto* requested = new RequestedLaunch(c);
        requested->startWith({StartAction::LaunchMod, u"Unknown"_s, game + u"/System"_s});
        c.awakeFromNib();
        QTRY_VERIFY_WITH_TIMEOUT(c.mods.size() == 2 && !c.searching, slow);
        QCOMPARE(c.statusField->text(), u"No mod called Unknown in "_s + game);
        QCOMPARE(c.selectedRow(), -1);
        QVERIFY(!c.isLaunching());
        // This run's copy is not stored.
        UserDefaults::standard().setArgumentValue(u"unrealPath"_s, std::nullopt);
        QCOMPARE(UserDefaults::standard().stringForKey(u"unrealPath"_s), temp.filePath(u"gone"_s));
    }

    // The menu per row, from the mouse, the Menu key and Shift+F10; nothing while a game runs,
    // nor from a later start.
    void contextMenu() {
        const QString game = temp.filePath(u"game-menu"_s);
        QVERIFY(fixtures::makeGame(game, fixtures::Layout::OldUnreal));
        QVERIFY(fixtures::makeTree(game, u"d:Linked;d:Bare"_s));
        UserDefaults::standard().setObjectForKey(game, u"unrealPath"_s);
        Launcher launcher;
        Controller& c = launcher.controller();
        c.setLaunchPause(std::chrono::milliseconds(1));
        // Named so that the table's sorted order is the order found.
        const QList<ModEntry> mods{{u"UT2004"_s, u""_s, u"https://www.example.com/"_s, {}},
                                   {u"A Linked"_s, {}, u"www.example.com/linked"_s, u"Linked"_s},
                                   {{}, {}, u"ab.cd"_s, u"Bare"_s},
                                   {u"Gone"_s, {}, {}, u"Gone"_s}};
        for (const ModEntry& mod : mods)
            c.newUnrealModWasFound(mod);
        launcher.window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&launcher.window()));
        QTableView& table = *c.tableView;
        auto* menu = table.findChild<ModContextMenu*>();
        QVERIFY(menu);
        QCOMPARE(menu->accessibleName(), u"Mod actions"_s);
        const auto state = [&] {
            QString enabled;
            for (const Entry entry : {Entry::Launch, Entry::VisitWebSite, Entry::OpenFolder,
                                      Entry::CreateDesktopShortcut})
                enabled +=
                    menu->action(entry)->isEnabled() ? menu->action(entry)->text().left(1) : u"-"_s;
            menu->hide();
            return enabled;
        };
        // The mouse on row 1, the Menu key on row 2 (the end-to-end journey presses Shift+F10).
        QContextMenuEvent click(
            QContextMenuEvent::Mouse, table.visualRect(table.model()->index(1, 0)).center(),
            table.viewport()->mapToGlobal(table.visualRect(table.model()->index(1, 0)).center()));
        QCoreApplication::sendEvent(table.viewport(), &click);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(c.selectedRow(), 1);
        QCOMPARE(state(), u"LVOC"_s);
        table.selectRow(2);
        QContextMenuEvent key(QContextMenuEvent::Keyboard, {}, table.mapToGlobal(QPoint()));
        QCoreApplication::sendEvent(&table, &key);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(state(), u"L-OC"_s);
        menu->openForRow(3);
        QCOMPARE(state(), u"L--C"_s);
        menu->openForRow(0);
        QCOMPARE(state(), u"LVOC"_s);

        // Each entry acts on the selected row.
        opened.clear();
        menu->action(Entry::VisitWebSite)->trigger();
        menu->action(Entry::OpenFolder)->trigger();
        QCOMPARE(opened,
                 (QList<QUrl>{QUrl(u"https://www.example.com/"_s), QUrl::fromLocalFile(game)}));
        menu->openForRow(1);
        menu->hide();
        menu->action(Entry::CreateDesktopShortcut)->trigger();
        const QString written = desktopShortcutPath(
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation), u"Linked"_s);
        QTRY_COMPARE_WITH_TIMEOUT(c.statusField->text(),
                                  u"Desktop shortcut written to "_s + written, slow);
        QCOMPARE(QImage(desktopIconPath(QFileInfo(written).path() + u"/.."_s, u"Linked"_s)).size(),
                 QSize(256, 256));

        // A game running: nothing is offered.
        qputenv("MODGATE_SAMPLE_GAME_QUIT_FILE", QFile::encodeName(temp.filePath(u"quit-menu"_s)));
        menu->action(Entry::Launch)->trigger();
        QVERIFY(c.isLaunching());
        menu->openForRow(1);
        QCOMPARE(state(), u"----"_s);
        // Nor does a later start's request start a second game.
        (new RequestedLaunch(c))->follow({StartAction::LaunchMod, u"Bare"_s, {}});
        QCOMPARE(c.statusField->text(), u"A game is already running: nothing else was launched."_s);
        QCOMPARE(c.selectedRow(), 1);
        fixtures::writeFile(temp.filePath(u"quit-menu"_s));
        QTRY_VERIFY_WITH_TIMEOUT(!c.isLaunching(), slow);
    }
};

MODGATE_TEST_MAIN(DesktopTest)
#include "tst_desktop.moc"
