#include "app/controller.h"
#include "app/launcher.h"
#include "fixtures.h"
#include "support/busyindicator.h"
#include "support/userdefaults.h"
#include "testmain.h"
#include "window/vxfadewindow.h"

#include <QAbstractItemModel>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QWindow>

namespace {

ModEntry mod(const QString& name, const QString& folder) {
    ModEntry entry;
    entry.name = name;
    entry.launchName = folder;
    return entry;
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

    QTemporaryDir bundle;

    void selectRow(Controller& controller, int row) {
        QAbstractItemModel* model = controller.tableView->model();
        controller.tableView->selectionModel()->select(
            model->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

private slots:
    void init() {
        // A stored path to an empty bundle: no dialog, a search that finds nothing.
        UserDefaults::standard().setObjectForKey(bundle.path(), QStringLiteral("unrealPath"));
    }

    void startsWithTheBaseGameAloneAndUnlocked() {
        Launcher launcher;
        Controller& controller = launcher.controller();
        controller.awakeFromNib();
        QVERIFY(!controller.hasTerminated());
        QCOMPARE(controller.mods.size(), 1);
        const ModEntry& base = controller.mods.first();
        QCOMPARE(base.name, QStringLiteral("Unreal Tournament 2004"));
        QCOMPARE(base.command, QStringLiteral(""));
        QVERIFY(base.url && base.url->startsWith(QStringLiteral("https://")));
        QVERIFY(!base.launchName);
        QCOMPARE(controller.tableView->model()->rowCount(), 1);
        QVERIFY(!controller.searching);
        QVERIFY(!controller.launchButton->isEnabled());
        QVERIFY(controller.statusField->text().isEmpty());
        QVERIFY(launcher.window().isVisible());
        QVERIFY(UserDefaults::standard().boolForKey(QStringLiteral("fadingWindows")));
    }

    void reportsAppendRowsInOrder() {
        Launcher launcher;
        Controller& controller = launcher.controller();
        controller.awakeFromNib();
        QTest::qWait(0);
        controller.modSearchBegan();
        QVERIFY(controller.searching);
        QVERIFY(controller.locked);
        QVERIFY(controller.busyIndicator->isAnimating());
        QCOMPARE(controller.statusField->text(), QStringLiteral("Searching for mods..."));

        controller.newUnrealModWasFound(mod(QStringLiteral("Beta"), QStringLiteral("B")));
        controller.newUnrealModWasFound(mod(QStringLiteral("Alpha"), QStringLiteral("A")));
        controller.newUnrealModWasFound(mod(QStringLiteral("Beta"), QStringLiteral("B")));
        QAbstractItemModel* model = controller.tableView->model();
        QCOMPARE(model->rowCount(), 4);
        const QStringList expected{QStringLiteral("Unreal Tournament 2004"), QStringLiteral("Beta"),
                                   QStringLiteral("Alpha"), QStringLiteral("Beta")};
        for (int row = 0; row < expected.size(); ++row) {
            QCOMPARE(model->index(row, 0).data().toString(), expected.at(row));
            QCOMPARE(controller.mods.at(row).name, expected.at(row));
        }

        controller.modSearchEnded();
        QVERIFY(!controller.searching);
        QVERIFY(!controller.locked);
        QVERIFY(!controller.busyIndicator->isAnimating());
        QCOMPARE(controller.statusField->text(), QString());
    }

    void buttonIgnoresSelectionWhileSearchingThenFollowsIt_data() {
        QTest::addColumn<bool>("enabledBefore");
        QTest::addColumn<int>("selected");
        QTest::addColumn<bool>("enabledAfter");
        QTest::newRow("disabled, no selection") << false << -1 << false;
        QTest::newRow("enabled, no selection") << true << -1 << false;
        QTest::newRow("disabled, row 0") << false << 0 << true;
        QTest::newRow("enabled, row 1") << true << 1 << true;
    }

    void buttonIgnoresSelectionWhileSearchingThenFollowsIt() {
        QFETCH(bool, enabledBefore);
        QFETCH(int, selected);
        QFETCH(bool, enabledAfter);
        Launcher launcher;
        Controller& controller = launcher.controller();
        controller.awakeFromNib();
        controller.newUnrealModWasFound(mod(QStringLiteral("Alpha"), QStringLiteral("A")));
        if (selected >= 0)
            selectRow(controller, selected);
        controller.modSearchBegan();
        controller.launchButton->setEnabled(enabledBefore);
        controller.tableViewSelectionDidChange();
        QCOMPARE(controller.launchButton->isEnabled(), enabledBefore);

        controller.modSearchEnded();
        QCOMPARE(controller.launchButton->isEnabled(), enabledAfter);
        QVERIFY(!controller.locked);
    }

    void enterOnARowLaunchesOnlyWhenLaunchIsEnabled_data() {
        QTest::addColumn<bool>("buttonEnabled");
        QTest::newRow("Launch disabled") << false;
        QTest::newRow("Launch enabled") << true;
    }

    void enterOnARowLaunchesOnlyWhenLaunchIsEnabled() {
        QFETCH(bool, buttonEnabled);
        Launcher launcher;
        Controller& controller = launcher.controller();
        fixtures::VisibilityCounter counter;
        controller.busyIndicator->installEventFilter(&counter);
        controller.awakeFromNib();
        QTRY_COMPARE_WITH_TIMEOUT(counter.hidden, 1, 20000); // the search has ended
        int dialogs = 0;
        // The stored bundle holds no game, so a launch asks where it is; cancelling ends it.
        controller.setWellKnownGameFolders({});
        controller.setLocationDialog([&](Controller&) {
            ++dialogs;
            return std::optional<QString>();
        });
        selectRow(controller, 0);
        controller.launchButton->setEnabled(buttonEnabled);
        controller.tableView->setFocus();
        controller.tableView->setCurrentIndex(controller.tableView->model()->index(0, 0));
        QTest::keyClick(controller.tableView, Qt::Key_Return);
        QCOMPARE(dialogs, buttonEnabled ? 1 : 0);
        QCOMPARE(controller.hasTerminated(), buttonEnabled);
    }

    void userCloseEndsTheApplicationOnceOffScreen() {
        UserDefaults::standard().setObjectForKey(false, QStringLiteral("fadingWindows"));
        Launcher launcher;
        Controller& controller = launcher.controller();
        controller.awakeFromNib();
        QTRY_VERIFY(!controller.window->fadeTimer); // faded in
        // The window manager's close reaches the widget through its platform window.
        QTimer::singleShot(0, controller.window, [&] {
            QCloseEvent close;
            QCoreApplication::sendEvent(controller.window->windowHandle(), &close);
        });
        QTimer::singleShot(20000, [] { QCoreApplication::exit(1); }); // only if it never ends
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!launcher.window().isVisible());
        UserDefaults::standard().setObjectForKey(std::nullopt, QStringLiteral("fadingWindows"));
    }
};

MODGATE_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
