// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller.h"
#include "app/details/logoloader.h"
#include "app/game/gamecopyfinder.h"
#include "app/game/gamelogwindow.h"
#include "app/game/gameselector.h"
#include "app/launcher.h"
#include "app/singleinstance.h"
#include "app/table/modsortmodel.h"
#include "app/table/modtablemodel.h"
#include "catalogue/moddescription.h"
#include "catalogue/modsearch.h"
#include "catalogue/weblink.h"
#include "fixtures.h"
#include "support/busyindicator.h"
#include "support/statusline.h"
#include "support/userdefaults.h"
#include "testmain.h"
#include "window/vxfadewindow.h"

#include <QAccessible>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSplitter>
#include <QTableView>
#include <QTemporaryFile>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <QToolTip>
#include <QWheelEvent>
#include <QWindow>
#include <atomic>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;
using OptionalString = std::optional<QString>;

namespace {

// A launch or start-up that must locate the game asks the user, who cancels.
void cancelLocating(Controller& controller) {
    controller.setWellKnownGameFolders({});
    controller.setLocationDialog([](Controller&) { return OptionalString(); });
}

// What standard error, where the log goes too, receives while `act` runs.
template <typename Act> QString loggedBy(Act act) {
    QTemporaryFile file;
    if (!file.open())
        return u"(capture failed)"_s;
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file.handle(), STDERR_FILENO);
    act();
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    file.seek(0);
    return QString::fromUtf8(file.readAll());
}

QString searchState(const Controller& c) {
    return QStringList{c.searching ? u"searching"_s : u"idle"_s, c.locked ? u"locked"_s : u"free"_s,
                       c.busyIndicator->isAnimating() ? u"busy"_s : u"still"_s,
                       c.launchButton->isEnabled() ? u"Launch"_s : u"no Launch"_s,
                       c.statusField->text()}
        .join(u", ");
}

// The launcher window without start-up's search: the link column set up, these rows, shown.
struct Window {
    Launcher launcher;
    Controller& controller = launcher.controller();
    QTableView& table = *controller.tableView;
    const int name = ModTableModel::columnWithIdentifier(u"name");
    const int url = ModTableModel::columnWithIdentifier(u"url");

    explicit Window(const QList<ModEntry>& entries) {
        controller.setUpLinkColumn();
        for (const ModEntry& entry : entries)
            controller.newUnrealModWasFound(entry);
        launcher.window().show();
    }
    QModelIndex index(int row, int column) const { return table.model()->index(row, column); }
    QPoint at(int row, int column) const { return table.visualRect(index(row, column)).center(); }
    QAccessibleInterface* linkCell(int row) {
        return QAccessible::queryAccessibleInterface(&table)->tableInterface()->cellAt(row, url);
    }
};

using Action = std::function<void(Window&)>;
struct Input {
    Action act;
    bool searching = false;            // done between modSearchBegan and modSearchEnded
    std::pair<int, int> current{0, 0}; // the current cell (row, column) before
    int selected = 0;                  // the selected row after
    QString logged = {};               // empty: nothing logged
    bool opens = false;
    bool launches = false;
};

} // namespace

Q_DECLARE_METATYPE(Input)
Q_DECLARE_METATYPE(ModEntry)

class TestLauncher : public QObject {
    Q_OBJECT
    QTemporaryDir temp;
    QList<QUrl> opened; // what reached the browser

public slots:
    void open(const QUrl& url) { opened.append(url); }

private slots:
    void initTestCase() {
        QDesktopServices::setUrlHandler(u"http"_s, this, "open");
        QDesktopServices::setUrlHandler(u"https"_s, this, "open");
    }
    void cleanupTestCase() {
        QDesktopServices::unsetUrlHandler(u"http"_s);
        QDesktopServices::unsetUrlHandler(u"https"_s);
    }
    void init() {
        opened.clear();
        // A game that is gone: start-up asks nothing, the search finds nothing, a launch asks.
        UserDefaults::standard().setObjectForKey(temp.filePath(u"gone"_s), u"unrealPath"_s);
    }

    // Whether a url shows a link button, and the address a click opens and logs.
    void webLink_data() {
        QTest::addColumn<OptionalString>("url");
        QTest::addColumn<bool>("button");
        QTest::addColumn<OptionalString>("opened");
        const auto row = [](const char* name, OptionalString url, bool button, OptionalString to) {
            QTest::newRow(name) << url << button << to;
        };
        row("absent", {}, false, {});
        row("4 characters", u"a.io"_s, false, {});
        row("5 characters", u"ab.io"_s, false, {});
        row("6 characters", u"abc.io"_s, false, {});
        row("3 emoji are 6 UTF-16 units", u"\U0001F600\U0001F600\U0001F600"_s, false, {});
        row("7 characters, % unchanged", u"a%2F.io"_s, true, u"http://a%2F.io"_s);
        row("HTTP in capitals", u"HTTP://EXAMPLE.ORG/"_s, true, u"HTTP://EXAMPLE.ORG/"_s);
        row("Https", u"Https://example.org"_s, true, u"Https://example.org"_s);
        // Another scheme than a web one opens nothing; a host's port is no scheme.
        row("file", u"file:///etc/passwd"_s, false, {});
        row("javascript, in capitals", u"JavaScript:alert(1)"_s, false, {});
        row("letters, digits, + - .", u"git+ssh.v-2://host/x"_s, false, {});
        row("host and port", u"www.example.com:8080/x"_s, true, u"http://www.example.com:8080/x"_s);
        row("host and port alone", u"localhost:8080"_s, true, u"http://localhost:8080"_s);
        row("a digit first", u"1host:x/y"_s, true, u"http://1host:x/y"_s);
        row("https without slashes", u"https:example.org"_s, true, u"http://https:example.org"_s);
    }
    void webLink() {
        QFETCH(OptionalString, url);
        QFETCH(bool, button);
        QFETCH(OptionalString, opened);
        QCOMPARE(showsLinkButton(url), button);
        QCOMPARE(webAddressToOpen(url), opened);
    }

    // Start-up shows the base game alone and fades in; the search adds each mod, one row at a
    // time, into its place by name, and leaves the window idle; a user's close then ends the
    // application once the window has faded off the screen.
    void startUpSearchAndClose() {
        const QString game = temp.filePath(u"game"_s);
        QString tree;
        for (int i = 0; i < 30; ++i)
            tree += u"f:Mod%1/ut2k4mod.ini;"_s.arg(i);
        tree += u"f:System/UT2004"_s;
        QVERIFY(fixtures::makeTree(game, tree));
        QList<ModEntry> walkOrder;
        searchForModsInBasePath(game, [&](ModEntry entry) { walkOrder << entry; });
        UserDefaults::standard().setObjectForKey(game, u"unrealPath"_s);
        Launcher launcher;
        Controller& c = launcher.controller();
        QAbstractItemModel* model = c.tableView->model();
        QStringList arrivals; // where each row arrived, and the window's state then
        connect(model, &QAbstractItemModel::rowsInserted, this,
                [&](const QModelIndex&, int first, int last) {
                    arrivals << u"%1 of %2: "_s.arg(last - first + 1).arg(model->rowCount()) +
                                    searchState(c);
                });

        c.awakeFromNib();
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->index(0, 0).data().toString(), u"Unreal Tournament 2004"_s);
        QVERIFY(launcher.window().isVisible() && c.window->fadeTimer);
        QCOMPARE(c.window->alphaValue(), 0.0f);
        QTRY_VERIFY_WITH_TIMEOUT(model->rowCount() == 31 && !c.searching, 30000);
        const QString searching = u"searching, locked, busy, no Launch, Searching for mods..."_s;
        for (int row = 1; row < 31; ++row)
            QCOMPARE(arrivals.value(row), u"1 of %1: "_s.arg(row + 1) + searching);
        QCOMPARE(c.mods.mid(1), walkOrder);
        // Shown by name, numbers in their order, whatever the walk's.
        for (int row = 1; row < 31; ++row)
            QCOMPARE(model->index(row, 0).data().toString(), u"Mod%1"_s.arg(row - 1));
        QCOMPARE(searchState(c), u"idle, free, still, no Launch, "_s);

        QTRY_COMPARE_WITH_TIMEOUT(c.window->alphaValue(), 1.0f, 20000);
        // The window manager's close reaches the widget through its platform window.
        QTimer::singleShot(0, c.window, [&] {
            QCloseEvent close;
            QCoreApplication::sendEvent(c.window->windowHandle(), &close);
        });
        QTimer::singleShot(20000, c.window, [] { QCoreApplication::exit(1); }); // if it never ends
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!launcher.window().isVisible());
    }

    // Another copy chosen, Reload, or a stored copy gone at start-up: the list is the copy's own
    // mods after the plain game, and the selector shows the copy in use. Copies A (ModA1) and B
    // (ModB1, ModB2) are the known folders; A is stored unless the row says "gone". The row
    // selected before ("-": the plain game's) is selected again where it reappears, and the pane
    // keeps showing it meanwhile.
    void switchingCopies_data() {
        QTest::addColumn<Action>("act");
        QTest::addColumn<bool>("gone");
        QTest::addColumn<QString>("before");   // the folder selected before
        QTest::addColumn<QString>("expected"); // the copy in use, the mods' folders, @ the selected
        const auto addMod = [](Window& w) {
            QVERIFY(fixtures::makeTree(w.controller.gameSelector->itemData(0).toString(),
                                       u"f:ModA2/ut2k4mod.ini"_s));
        };
        QTest::newRow("the selector: Down opens the list, Down and Return there choose")
            << Action([](Window& w) {
                   GameSelector* selector = w.controller.gameSelector;
                   QTest::keyClick(selector, Qt::Key_Down);
                   QVERIFY(selector->view()->isVisible());
                   QTest::keyClick(selector->view(), Qt::Key_Down);
                   QTest::keyClick(selector->view(), Qt::Key_Return);
               })
            << false << u"ModA1"_s << u"B ModB1 ModB2 @"_s;
        QTest::newRow("Other folder, its System folder chosen") << Action([](Window& w) {
            const QString b = w.controller.gameSelector->itemData(1).toString() + u"/System"_s;
            w.controller.setLocationDialog([b](Controller&) { return OptionalString(b); });
            w.controller.gameSelector->setCurrentIndex(2);
            emit w.controller.gameSelector->activated(2);
        }) << false << u"-"_s << u"B ModB1 ModB2 @-"_s;
        QTest::newRow("Other folder, cancelled") << Action([](Window& w) {
            cancelLocating(w.controller);
            emit w.controller.gameSelector->activated(2);
        }) << false << u"ModA1"_s << u"A ModA1 @ModA1"_s;
        QTest::newRow("F5 after a mod appeared") << Action([=](Window& w) {
            addMod(w);
            QSignalSpy clicked(w.controller.reloadButton, &QPushButton::clicked);
            QTest::keyClick(&w.table, Qt::Key_F5);
            // The button's shortcut clicks it once it has shown itself pressed.
            QVERIFY(clicked.wait(5000));
        }) << false << u"ModA1"_s << u"A ModA1 ModA2 @ModA1"_s;
        QTest::newRow("Reload twice at once: the first search's reports dropped")
            << Action([=](Window& w) {
                   addMod(w);
                   w.controller.reload();
                   w.controller.reload();
               })
            << false << u"ModA1"_s << u"A ModA1 ModA2 @ModA1"_s;
        QTest::newRow("Reload, the plain game selected")
            << Action([](Window& w) { w.controller.reload(); }) << false << u"-"_s
            << u"A ModA1 @-"_s;
        QTest::newRow("stored copy gone at start-up")
            << Action() << true << u""_s << u"A ModA1 @"_s;
    }
    void switchingCopies() {
        QFETCH(Action, act);
        QFETCH(bool, gone);
        QFETCH(QString, before);
        QFETCH(QString, expected);
        QTemporaryDir copies;
        const QString a = copies.filePath(u"A"_s), b = copies.filePath(u"B"_s);
        QVERIFY(fixtures::makeTree(a, u"f:System/UT2004;f:ModA1/ut2k4mod.ini"_s));
        QVERIFY(
            fixtures::makeTree(b, u"f:System/UT2004;f:ModB1/ut2k4mod.ini;f:ModB2/UT2K4MOD.INI"_s));
        UserDefaults::standard().setObjectForKey(gone ? temp.filePath(u"gone"_s) : a,
                                                 u"unrealPath"_s);
        Window w({});
        Controller& c = w.controller;
        c.setWellKnownGameFolders({a, b});
        c.awakeFromNib();
        GameSelector& selector = *c.gameSelector;
        const auto idle = [&] { return !c.searching && selector.isEnabled(); };
        // The copies are found on a worker; the selector fills when they arrive.
        QTRY_VERIFY_WITH_TIMEOUT(idle() && selector.copies() == (QStringList{a, b}), 30000);
        w.launcher.window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.launcher.window()));
        const auto folderAt = [&](int row) {
            return c.mods.at(sourceRowOf(w.index(row, 0))).launchName.value_or(u"-"_s);
        };
        for (int row = 0; row < w.table.model()->rowCount(); ++row)
            if (folderAt(row) == before)
                w.table.selectRow(row);
        auto* paneName = w.launcher.window().findChild<QLabel*>(u"modName"_s);
        const QString shown = paneName->text();
        if (act) {
            act(w);
            QCOMPARE(c.reloadButton->isEnabled(), selector.isEnabled());
            if (expected.endsWith(before))
                QVERIFY(paneName->isVisible() && paneName->text() == shown);
            QTRY_VERIFY_WITH_TIMEOUT(idle(), 30000);
        }
        const QString inUse =
            UserDefaults::standard().stringForKey(u"unrealPath"_s).value_or(u""_s);
        QStringList listed{QFileInfo(inUse).fileName()};
        for (const ModEntry& mod : c.mods.mid(1))
            listed << mod.launchName.value_or(u""_s);
        std::sort(listed.begin() + 1, listed.end());
        const QModelIndexList selected = w.table.selectionModel()->selectedRows();
        listed << u"@"_s + (selected.isEmpty() ? QString() : folderAt(selected.first().row()));
        QCOMPARE(listed.join(u' '), expected);
        QCOMPARE(c.mods.at(0).name, u"Unreal Tournament 2004"_s);
        QCOMPARE(selector.currentData().toString(), inUse);
        QCOMPARE(searchState(c), u"idle, free, still, "_s +
                                     (selected.isEmpty() ? u"no Launch, "_s : u"Launch, "_s));
        QCOMPARE(paneName->isVisible(), !selected.isEmpty());
        if (!selected.isEmpty())
            QCOMPARE(paneName->text(), shown);
    }

    // Moving through the selector (keys, wheel, letters) chooses nothing: with one copy a Down
    // must not open the folder dialog. Only an entry chosen in the open list is a choice.
    void selectorChoosesOnlyInItsList_data() {
        QTest::addColumn<std::function<void(GameSelector&)>>("act");
        QTest::addColumn<QString>("chosen");
        const auto keys = [](QList<Qt::Key> keys) {
            return std::function([keys](GameSelector& selector) {
                for (const Qt::Key key : keys)
                    QTest::keyClick(selector.view()->isVisible()
                                        ? static_cast<QWidget*>(selector.view())
                                        : &selector,
                                    key);
            });
        };
        QTest::newRow("Down opens the list") << keys({Qt::Key_Down}) << u"list"_s;
        QTest::newRow("End, PageDown") << keys({Qt::Key_End, Qt::Key_PageDown}) << u"list"_s;
        QTest::newRow("a letter") << keys({Qt::Key_O}) << u""_s;
        QTest::newRow("the wheel") << std::function([](GameSelector& selector) {
            QWheelEvent wheel(QPointF(5, 5), selector.mapToGlobal(QPointF(5, 5)), {}, {0, -120},
                              Qt::NoButton, {}, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(&selector, &wheel);
        }) << u""_s;
        QTest::newRow("Down, Escape") << keys({Qt::Key_Down, Qt::Key_Escape}) << u""_s;
        QTest::newRow("Down, Return on the copy in use")
            << keys({Qt::Key_Down, Qt::Key_Return}) << u""_s;
        QTest::newRow("Down, Down, Return")
            << keys({Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}) << u"other"_s;
    }
    void selectorChoosesOnlyInItsList() {
        QFETCH(std::function<void(GameSelector&)>, act);
        QFETCH(QString, chosen);
        GameSelector selector;
        selector.setCopies({u"/games/A"_s}, u"/games/A"_s);
        selector.show();
        QApplication::setActiveWindow(&selector);
        selector.setFocus();
        QSignalSpy copy(&selector, &GameSelector::copyChosen);
        QSignalSpy other(&selector, &GameSelector::otherFolderChosen);
        act(selector);
        const bool listOpen = selector.view()->isVisible();
        selector.hidePopup();
        QCOMPARE(listOpen ? u"list"_s : other.size() == 1 ? u"other"_s : u""_s, chosen);
        QVERIFY(copy.isEmpty() && other.size() <= 1);
        QCOMPARE(selector.currentIndex(), 0);
    }

    // Mods found in any order show sorted: the plain game first, then by name as shown, letter
    // case aside and numbers by value, alike names by folder. The selected row stays on its mod
    // while rows are inserted around it.
    void sortedWhileFound() {
        Window w({{u"zeta"_s, {}, {}, u"Z"_s}});
        w.table.selectRow(0);
        w.controller.modSearchBegan();
        const QList<ModEntry> found{
            {u"Mod 10"_s, {}, {}, u"M10"_s}, {{}, {}, {}, u"mod 9"_s},
            {u"UT2004"_s, u""_s, {}, {}},    {u"alpha"_s, {}, {}, u"A2"_s},
            {u"Alpha"_s, {}, {}, u"A1"_s},   {u"Mod 2"_s, {}, u"http://two.example/"_s, u"M2"_s}};
        for (const ModEntry& entry : found) {
            w.controller.newUnrealModWasFound(entry);
            QCOMPARE(w.table.selectionModel()->selectedRows().value(0).data().toString(),
                     u"zeta"_s);
        }
        w.controller.modSearchEnded();
        QStringList shown;
        for (int row = 0; row < w.table.model()->rowCount(); ++row)
            shown << w.index(row, w.name).data().toString();
        QCOMPARE(shown.join(u", "), u"UT2004, Alpha, alpha, Mod 2, mod 9, Mod 10, zeta"_s);
        QCOMPARE(w.launcher.window().findChild<QLabel*>(u"modName"_s)->text(), u"zeta"_s);
        QVERIFY(w.controller.launchButton->isEnabled());
        // A link cell is its own row's, wherever the row was found.
        w.linkCell(3)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(opened, QList<QUrl>{QUrl(u"http://two.example/"_s)});
    }

    // The game log window closes on Escape and Ctrl+W, and says so where the game wrote nothing.
    void gameLogWindow_data() {
        QTest::addColumn<QKeyCombination>("key");
        QTest::newRow("Escape") << QKeyCombination(Qt::Key_Escape);
        QTest::newRow("Ctrl+W") << (Qt::CTRL | Qt::Key_W);
    }
    void gameLogWindow() {
        QFETCH(QKeyCombination, key);
        GameLogWindow log;
        log.setLog(std::nullopt, u" \n"_s);
        QCOMPARE(log.findChild<QPlainTextEdit*>()->toPlainText(),
                 u"The game wrote nothing to its output or its log."_s);
        log.show();
        QApplication::setActiveWindow(&log);
        QVERIFY(QTest::qWaitForWindowActive(&log));
        QTest::keyClick(log.findChild<QPlainTextEdit*>(), key.key(), key.keyboardModifiers());
        QVERIFY(!log.isVisible());
    }

    // A place that hangs holds up neither the window nor the stored copy's mods: a FIFO where
    // Steam's library list belongs is not waited on, and a games folder that takes its time is
    // looked through while the window is up and the table lists the copy in use.
    void hungPlace() {
        const QString steam = QDir::homePath() + u"/.local/share/Steam"_s;
        const QString steamCopy = steam + u"/steamapps/common/Unreal Tournament 2004/linuxdata"_s;
        const auto released = std::make_shared<std::atomic<bool>>(false);
        const auto cleanup = qScopeGuard([&] {
            *released = true;
            QDir(steam).removeRecursively();
        });
        QVERIFY(fixtures::makeGame(steamCopy, fixtures::Layout::OldUnreal));
        QCOMPARE(::mkfifo(QFile::encodeName(steam + u"/steamapps/libraryfolders.vdf"_s), 0600), 0);
        const QString game = temp.filePath(u"inuse"_s);
        QVERIFY(fixtures::makeTree(game, u"f:System/UT2004;f:ModA/ut2k4mod.ini"_s));
        UserDefaults::standard().setObjectForKey(game, u"unrealPath"_s);
        const auto listing = std::make_shared<std::atomic<bool>>(false);
        Launcher launcher;
        Controller& c = launcher.controller();
        c.setWellKnownGameFolders({});
        c.findChild<GameCopyFinder*>()->setGamesFolderLister([=](const QString& folder) {
            *listing = true; // past the FIFO
            // Gives up in the end: a window that waited for it would have shown nothing till then.
            const QDeadlineTimer giveUp(20000);
            while (!*released && !giveUp.hasExpired())
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return gamesFolderEntries(folder);
        });
        c.awakeFromNib();
        QVERIFY(QTest::qWaitForWindowExposed(&launcher.window()));
        QTRY_VERIFY_WITH_TIMEOUT(*listing && !c.searching && c.mods.size() == 2, 30000);
        QCOMPARE(c.tableView->model()->index(0, 0).data().toString(), u"Unreal Tournament 2004"_s);
        QCOMPARE(c.gameSelector->copies(), QStringList{game});
        QVERIFY(c.findChild<GameCopyFinder*>()->isFinding());
        *released = true;
        QTRY_COMPARE_WITH_TIMEOUT(c.gameSelector->copies(), (QStringList{game, steamCopy}), 30000);
    }

    // A later start finds the first and asks it for its window; a crashed run's socket is no one.
    void singleInstance_data() {
        QTest::addColumn<QString>("before");
        QTest::newRow("nobody") << u"nobody"_s;
        QTest::newRow("a crashed run's socket") << u"crashed"_s;
        QTest::newRow("a running Modgate") << u"running"_s;
    }
    void singleInstance() {
        QFETCH(QString, before);
        const QString name = temp.filePath(u"socket-"_s + before);
        std::optional<SingleInstance> first;
        if (before == u"running")
            first.emplace(name);
        if (before == u"crashed") {
            // Bound, never listened on, left behind.
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            qstrncpy(address.sun_path, QFile::encodeName(name).constData(),
                     sizeof address.sun_path);
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            QVERIFY(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
            ::close(fd);
        }
        std::optional<QSignalSpy> raised;
        if (first)
            raised.emplace(&*first, &SingleInstance::requestReceived);
        const QStringList request{u"--launch"_s, u"Mod \"\n\u00fc"_s};
        const SingleInstance later(name, request);
        QCOMPARE(later.isFirst(), !first);
        QVERIFY(!first || raised->wait(5000));
        QVERIFY(!first || raised->at(0).at(0).toStringList() == request);
    }

    // A click, a screen reader's press or Enter on the table, with row 0 selected before. Enter
    // (or a double click) on a row does what Launch would, when Launch could.
    void tableInput_data() {
        QTest::addColumn<Input>("in");
        const auto click = [](int row) {
            return Action([row](Window& w) {
                QTest::mouseClick(w.table.viewport(), Qt::LeftButton, {}, w.at(row, w.url));
            });
        };
        const Action press = [](Window& w) {
            w.linkCell(1)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        };
        const Action dragOff = [](Window& w) {
            QTest::mousePress(w.table.viewport(), Qt::LeftButton, {}, w.at(1, w.url));
            QTest::mouseMove(w.table.viewport(), w.at(1, w.name));
            QTest::mouseRelease(w.table.viewport(), Qt::LeftButton, {}, w.at(1, w.name));
        };
        const auto key = [](Qt::Key key, bool launchEnabled = true) {
            return Action([=](Window& w) {
                w.controller.launchButton->setEnabled(launchEnabled);
                QTest::keyClick(&w.table, key);
            });
        };
        const int url = ModTableModel::columnWithIdentifier(u"url");
        const QString web = u"http://www.example.org"_s, invalid = u"https://example.org/100%"_s;
        QTest::newRow("click") << Input{
            .act = click(1), .selected = 1, .logged = web, .opens = true};
        QTest::newRow("screen reader's press")
            << Input{.act = press, .selected = 1, .logged = web, .opens = true};
        QTest::newRow("click, no web address")
            << Input{.act = click(2), .selected = 2, .logged = invalid};
        QTest::newRow("press dragged off the cell") << Input{.act = dragOff, .selected = 1};
        QTest::newRow("Return on a name, Launch enabled")
            << Input{.act = key(Qt::Key_Return), .launches = true};
        QTest::newRow("Return on a link, Launch enabled")
            << Input{.act = key(Qt::Key_Return), .current = {0, url}, .launches = true};
        QTest::newRow("Enter on a link, Launch disabled")
            << Input{.act = key(Qt::Key_Enter, false), .current = {0, url}};
        QTest::newRow("Space on a link button") << Input{.act = key(Qt::Key_Space),
                                                         .current = {1, url},
                                                         .selected = 1,
                                                         .logged = web,
                                                         .opens = true};
        QTest::newRow("Space on a link cell without a button")
            << Input{.act = key(Qt::Key_Space), .current = {3, url}, .selected = 3};
        QTest::newRow("click, searching") << Input{.act = click(1), .searching = true};
        QTest::newRow("screen reader's press, searching") << Input{.act = press, .searching = true};
        QTest::newRow("Space on a link button, searching")
            << Input{.act = key(Qt::Key_Space, false), .searching = true, .current = {0, url}};
    }
    void tableInput() {
        QFETCH(Input, in);
        Window w({{u"Alpha"_s, {}, u"https://alpha.example.org/"_s, u"A"_s},
                  {u"Beta"_s, {}, u"www.example.org"_s, u"B"_s},
                  {u"Charlie"_s, {}, u"https://example.org/100%"_s, u"C"_s},
                  {u"Delta"_s, {}, u"ab.io"_s, u"D"_s}});
        cancelLocating(w.controller); // the stored game is gone: a launch first looks for it
        QCOMPARE(w.linkCell(1)->text(QAccessible::Name), u"Web page"_s);
        QCOMPARE(w.linkCell(1)->text(QAccessible::Description), u"www.example.org"_s);
        QCOMPARE(w.linkCell(3)->text(QAccessible::Name), QString()); // no button to press
        QVERIFY(!w.linkCell(3)->actionInterface()->actionNames().contains(
            QAccessibleActionInterface::pressAction()));
        w.table.selectRow(0);
        w.table.selectionModel()->setCurrentIndex(w.index(in.current.first, in.current.second),
                                                  QItemSelectionModel::NoUpdate);
        if (in.searching) {
            w.controller.modSearchBegan();
            // While the search runs Launch keeps its state, whatever the selection.
            w.controller.launchButton->setEnabled(false);
            w.controller.tableViewSelectionDidChange();
        }
        const QString log = loggedBy([&] { in.act(w); });
        QCOMPARE(opened, in.opens ? QList<QUrl>{QUrl(in.logged)} : QList<QUrl>{});
        QCOMPARE(log.section(u' ', 1), in.logged.isEmpty() ? QString() : in.logged + u'\n');
        QCOMPARE(w.table.selectionModel()->selectedRows(),
                 QModelIndexList{w.index(in.selected, 0)});
        QCOMPARE(w.table.currentIndex().row(), in.selected);
        QCOMPARE(w.controller.statusField->text() == u"Searching for the game...", in.launches);
        if (in.searching) {
            QVERIFY(!w.controller.launchButton->isEnabled());
            w.controller.modSearchEnded();
            QVERIFY(w.controller.launchButton->isEnabled()); // follows the selection again
        }
    }

    // At start no cell is current, so the first Down selects the plain game's row.
    void firstDown() {
        Window w({{u"Alpha"_s, {}, {}, u"A"_s}});
        QApplication::setActiveWindow(&w.launcher.window());
        w.table.setFocus();
        QTRY_VERIFY(w.table.hasFocus());
        QVERIFY(!w.table.currentIndex().isValid());
        QTest::keyClick(&w.table, Qt::Key_Down);
        QCOMPARE(w.table.selectionModel()->selectedRows(), QModelIndexList{w.index(0, 0)});
    }

    // Each new status text, and each start and stop of the busy indicator, reaches screen
    // readers: as a status bar's name, and as a busy state with no value to step.
    void statusSpeaks() {
        Window w({});
        static QStringList heard;
        heard.clear();
        QAccessible::installUpdateHandler([](QAccessibleEvent* event) {
            QAccessibleInterface* from = event->accessibleInterface();
            if (from && event->type() == QAccessible::NameChanged &&
                from->role() == QAccessible::StatusBar)
                heard << from->text(QAccessible::Name);
            if (from && event->type() == QAccessible::StateChanged &&
                static_cast<QAccessibleStateChangeEvent*>(event)->changedStates().busy)
                heard << (from->state().busy ? u"(busy)"_s : u"(idle)"_s);
        });
        // As when a screen reader listens: only then are events handed on.
        QPlatformAccessibility* platform =
            QGuiApplicationPrivate::platformIntegration()->accessibility();
        platform->setActive(true);
        w.controller.modSearchBegan();
        w.controller.modSearchEnded();
        platform->setActive(false);
        QAccessible::installUpdateHandler(nullptr);
        QCOMPARE(heard, (QStringList{u"(busy)"_s, u"Searching for mods..."_s, u"(idle)"_s, {}}));
        QAccessibleInterface* busy =
            QAccessible::queryAccessibleInterface(w.controller.busyIndicator);
        QCOMPARE(busy->role(), QAccessible::ProgressBar);
        QVERIFY(!busy->valueInterface());
    }

    // A long status is elided in the middle and whole in its text and tooltip, and it never
    // widens the window. While the indicator is hidden the status starts at the window's edge.
    void statusLine() {
        Window w({});
        auto& line = *qobject_cast<StatusLine*>(w.controller.statusField);
        const QString text = u"Could not start the game: "_s + QString(300, u'x') + u" (end)"_s;
        line.setText(text);
        QCOMPARE(line.text(), text);
        QVERIFY2(line.shownText().startsWith(u"Could not") && line.shownText().endsWith(u"(end)") &&
                     line.shownText().contains(QChar(0x2026)),
                 qPrintable(line.shownText()));
        QVERIFY(w.launcher.window().minimumSizeHint().width() <
                line.fontMetrics().horizontalAdvance(text) / 2);
        const QPoint middle = line.rect().center();
        QHelpEvent help(QEvent::ToolTip, middle, line.mapToGlobal(middle));
        QCoreApplication::sendEvent(&line, &help);
        QTRY_COMPARE(QToolTip::text(), text);
        QCOMPARE(line.x(), w.table.mapTo(&w.launcher.window(), QPoint()).x());
        w.controller.busyIndicator->startAnimation();
        QTRY_VERIFY(line.x() > w.controller.busyIndicator->geometry().right());
    }

    // The options answer without a display, Qt's own let through; anything else is refused with
    // the usage.
    void commandLine_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("printed"); // a pattern: standard output, "|", standard error
        QTest::newRow("help")
            << u"--help"_s << 0
            << u"^Usage: \\S*modgate \\[options\\] \\[file...\\]\n.*-v, --version.*\\|$"_s;
        QTest::newRow("version") << u"--version"_s << 0 << u"^Modgate \\d+\\.\\d+\\.\\d+\n\\|$"_s;
        QTest::newRow("Qt's options") << u"-platform offscreen -style Fusion --version"_s << 0
                                      << u"^Modgate \\d+\\.\\d+\\.\\d+\n\\|$"_s;
        QTest::newRow("unknown option")
            << u"--fast"_s << 2 << u"^\\|modgate: Unknown option '--fast'.\n\nUsage: "_s;
        QTest::newRow("argument") << u"--list game"_s << 2
                                  << u"^\\|modgate: Unexpected argument 'game': files to install "
                                     "go without --list, --launch and --launch-game.\n\nUsage: "_s;
    }
    void commandLine() {
        QFETCH(QString, argument);
        QFETCH(int, exitCode);
        QFETCH(QString, printed);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString& name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
            environment.remove(name);
        QProcess modgate;
        modgate.setProcessEnvironment(environment);
        modgate.start(fixtures::buildDir() + u"/modgate"_s, argument.split(u' '));
        QVERIFY(modgate.waitForFinished(60000) && modgate.exitStatus() == QProcess::NormalExit);
        QCOMPARE(modgate.exitCode(), exitCode);
        const QString output = QString::fromLocal8Bit(modgate.readAllStandardOutput() + '|' +
                                                      modgate.readAllStandardError());
        QVERIFY2(QRegularExpression(printed, QRegularExpression::DotMatchesEverythingOption)
                     .match(output)
                     .hasMatch(),
                 qPrintable(output));
    }

    void nameCell_data() {
        QTest::addColumn<ModEntry>("entry");
        QTest::addColumn<bool>("folderName");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("title") << ModEntry{u"Frag.Ops"_s, u"-training"_s, {}, u"FragOps"_s} << false
                               << u"-training -mod=FragOps"_s;
        QTest::newRow("no title") << ModEntry{{}, {}, {}, u"Left"_s} << true << u"-mod=Left"_s;
        QTest::newRow("empty title")
            << ModEntry{u""_s, {}, {}, u"Left"_s} << true << u"-mod=Left"_s;
    }
    // The folder's name stands in for a missing title, in italics and the disabled text colour;
    // the data-source answer stays the title, and an edit changes nothing.
    void nameCell() {
        QFETCH(ModEntry, entry);
        QFETCH(bool, folderName);
        QFETCH(QString, toolTip);
        Window w({entry});
        const QModelIndex cell = w.index(0, w.name);
        QCOMPARE(cell.data().toString(), folderName ? *entry.launchName : *entry.name);
        QCOMPARE(cell.data(Qt::FontRole).value<QFont>().italic(), folderName);
        QCOMPARE(cell.data(Qt::ForegroundRole).isValid(), folderName);
        QCOMPARE(cell.data(Qt::ToolTipRole).toString(), toolTip);
        QVERIFY(!w.table.model()->setData(cell, u"edited"_s, Qt::EditRole));
        QCOMPARE(w.controller.tableViewObjectValueForTableColumn(u"name", 0), entry.name);
    }

    // The pane follows the selection: nothing, the plain game's copy and program, a mod's logo,
    // description and launch line. Its links and button open as the link button does, and
    // nothing while a launch is under way.
    void detailsPane() {
        const QString game = temp.filePath(u"pane"_s);
        QVERIFY(fixtures::makeGame(game, fixtures::Layout::OldUnreal));
        QImage splash(40, 10, QImage::Format_RGB32);
        splash.fill(Qt::red);
        QVERIFY(QDir().mkpath(game + u"/A/help"_s) &&
                splash.save(game + u"/A/help/aLOGO.bmp"_s, "BMP"));
        UserDefaults::standard().setObjectForKey(game, u"unrealPath"_s);
        ModEntry a{u"Alpha"_s, u"-x"_s, u"ab.cd"_s, u"A"_s};
        a.description = u"One|two at http://a.example/page."_s;
        a.logo = u"Missing.Logo"_s;
        Window w({{u"UT2004"_s, u""_s, u"https://www.example.org/"_s, {}},
                  a,
                  {{}, {}, u"http://b.example/"_s, u"B"_s}});
        const auto* pane = w.launcher.window().findChild<QWidget*>(u"detailsPane"_s);
        const auto visible = [pane](const char* name) {
            return pane->findChild<QWidget*>(QLatin1StringView(name))->isVisibleTo(pane);
        };
        const auto text = [pane](const char* name) {
            return pane->findChild<QLineEdit*>(QLatin1StringView(name))->text();
        };
        auto* logo = pane->findChild<QLabel*>(u"modLogo"_s);
        auto* description = pane->findChild<QTextBrowser*>(u"modDescription"_s);
        auto* visit = pane->findChild<QPushButton*>(u"visitWebSite"_s);
        QVERIFY(visible("nothingSelected") && !visible("modName"));

        w.table.selectRow(0);
        QVERIFY(!visible("nothingSelected") && !visible("modDescription") && !visible("modLogo"));
        QCOMPARE(text("gameFolder"), game);
        QTRY_COMPARE(text("executable"), fixtures::executableOf(game, fixtures::Layout::OldUnreal));
        QVERIFY(!visible("launchLine") && visit->isEnabled());

        w.table.selectRow(1); // its package is missing: the splash picture, found in any case
        QCOMPARE(pane->findChild<QLabel*>(u"modName"_s)->text(), u"Alpha"_s);
        QCOMPARE(description->toPlainText(), u"One\ntwo at http://a.example/page."_s);
        QCOMPARE(text("launchLine"), u"-x -mod=A"_s);
        QVERIFY(!visible("gameFolder") && !visit->isEnabled()); // 5 characters open nothing
        QTRY_VERIFY(visible("modLogo"));
        QCOMPARE(logo->pixmap().toImage().pixelColor(0, 0), QColor(Qt::red));
        QCOMPARE(logo->accessibleDescription(), u"Missing.Logo"_s);

        const auto clickLink = [&] { emit description->anchorClicked(descriptionLinkHref(0)); };
        QVERIFY(loggedBy(clickLink).endsWith(u" http://a.example/page\n"_s));
        w.table.selectRow(2); // untitled, no logo at all
        QCOMPARE(pane->findChild<QLabel*>(u"modName"_s)->text(), u"B"_s);
        QTRY_VERIFY(!visible("modLogo"));
        QVERIFY(loggedBy([&] {
                    QTest::mouseClick(visit, Qt::LeftButton);
                }).endsWith(u"http://b.example/\n"_s));
        QCOMPARE(opened,
                 (QList<QUrl>{QUrl(u"http://a.example/page"_s), QUrl(u"http://b.example/"_s)}));

        w.controller.locked = true; // a launch under way
        QVERIFY(loggedBy([&] { QTest::mouseClick(visit, Qt::LeftButton); }).isEmpty());
        w.controller.locked = false;
        w.table.selectRow(1);
        w.controller.modSearchBegan(); // locks as a launch does: its links look it
        QVERIFY(!visit->isEnabled() && !description->isEnabled());
        const auto linkColour = [&] {
            for (QTextBlock::iterator it = description->document()->begin().begin(); !it.atEnd();
                 ++it)
                if (it.fragment().charFormat().isAnchor())
                    return it.fragment().charFormat().foreground().color();
            return QColor();
        };
        QCOMPARE(linkColour(), description->palette().color(QPalette::Disabled, QPalette::Text));
        QVERIFY(loggedBy(clickLink).isEmpty());
        QCOMPARE(opened.size(), 2);
        w.controller.modSearchEnded();
        QVERIFY(description->isEnabled());
        QCOMPARE(linkColour(), description->palette().color(QPalette::Link));
        w.table.selectionModel()->clearSelection();
        QVERIFY(visible("nothingSelected"));
    }

    // Only the newest request is answered, and what was read stays cached.
    void logoLoader() {
        QTemporaryDir mods;
        for (const QString& mod : {u"A"_s, u"B"_s}) {
            QImage splash(8, 8, QImage::Format_RGB32);
            splash.fill(mod == u"A" ? Qt::blue : Qt::green);
            QVERIFY(QDir().mkpath(mods.filePath(mod + u"/Help"_s)) &&
                    splash.save(mods.filePath(mod + u"/Help/"_s + mod + u"Logo.bmp"_s)));
        }
        QList<QColor> shown;
        LogoLoader loader([&](const std::optional<QImage>& logo) {
            shown << (logo ? logo->pixelColor(0, 0) : QColor());
        });
        loader.request(mods.filePath(u"A"_s), u""_s);
        loader.request(mods.filePath(u"B"_s), u""_s); // A's answer is on its way: never shown
        QTRY_VERIFY(!loader.isReading());
        QCOMPARE(shown, QList<QColor>{QColor(Qt::green)});
        loader.request(mods.filePath(u"A"_s), u""_s);
        QVERIFY(!loader.isReading()); // cached
        QCOMPARE(shown, (QList<QColor>{QColor(Qt::green), QColor(Qt::blue)}));
        loader.clear(); // a new list reads afresh
        loader.request(mods.filePath(u"A"_s), u""_s);
        QVERIFY(loader.isReading());
    }

    // The split between table and pane is the player's: kept for the next start.
    void splitterKept() {
        int paneHeight = 0;
        {
            Window w({});
            w.launcher.window().resize(500, 600);
            auto* splitter = w.launcher.window().findChild<QSplitter*>(u"detailsSplitter"_s);
            QSplitterHandle* handle = splitter->handle(1);
            QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(5, 2));
            QTest::mouseMove(handle, QPoint(5, -80));
            QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(5, -80));
            paneHeight = splitter->sizes().at(1);
        }
        Window w({});
        w.launcher.window().resize(500, 600);
        QCOMPARE(w.launcher.window().findChild<QSplitter*>(u"detailsSplitter"_s)->sizes().at(1),
                 paneHeight);
    }
};

MODGATE_TEST_MAIN(TestLauncher)
#include "tst_launcher.moc"
