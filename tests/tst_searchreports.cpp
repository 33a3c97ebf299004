#include "app/controller.h"
#include "app/launcher.h"
#include "catalogue/modsearch.h"
#include "fixtures.h"
#include "support/busyindicator.h"
#include "support/userdefaults.h"
#include "testmain.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

namespace {

// Counts the busy indicator's disappearances: the one at the end of the search.
// What the window looked like each time a row arrived.
struct RowArrival {
    int first, last, rowCount;
    bool searching, locked;
    QString status;
};

} // namespace

class TestSearchReports : public QObject {
    Q_OBJECT

    QTemporaryDir bundle;

    void storeBundlePath(const QString& path) {
        UserDefaults::standard().setObjectForKey(path, QStringLiteral("unrealPath"));
    }

private slots:
    void rowsArriveInWalkOrderWhileLocked() {
        QTemporaryDir game;
        for (int i = 0; i < 30; ++i) {
            const QString mod = game.path() + QStringLiteral("/Mod%1").arg(i);
            QVERIFY(QDir().mkpath(mod + QStringLiteral("/System")));
            QFile manifest(mod + (i % 3 ? "/ut2k4mod.ini" : "/System/UT2K4MOD.INI"));
            QVERIFY(manifest.open(QIODevice::WriteOnly));
        }
        QVERIFY(QDir().mkpath(game.path() + QStringLiteral("/System")));
        QList<ModEntry> walkOrder;
        searchForModsInBasePath(game.path(), [&](ModEntry entry) { walkOrder.append(entry); });
        QCOMPARE(walkOrder.size(), 30);

        storeBundlePath(game.path());
        Launcher launcher;
        Controller& controller = launcher.controller();
        QAbstractItemModel* model = controller.tableView->model();
        QList<RowArrival> arrivals;
        int resets = 0;
        connect(model, &QAbstractItemModel::rowsInserted, this,
                [&](const QModelIndex&, int first, int last) {
                    arrivals.append({first, last, model->rowCount(), controller.searching,
                                     controller.locked, controller.statusField->text()});
                });
        connect(model, &QAbstractItemModel::modelReset, this, [&] { ++resets; });
        fixtures::VisibilityCounter ended;
        controller.busyIndicator->installEventFilter(&ended);

        controller.awakeFromNib();
        QVERIFY(!controller.hasTerminated());
        QTRY_COMPARE_WITH_TIMEOUT(ended.hidden, 1, 30000);

        // Row 0 from start-up, then one insertion per mod at the end, all during the search.
        QCOMPARE(arrivals.size(), 31);
        QCOMPARE(resets, 0);
        for (int row = 0; row < arrivals.size(); ++row) {
            const RowArrival& arrival = arrivals.at(row);
            QCOMPARE(arrival.first, row);
            QCOMPARE(arrival.last, row);
            QCOMPARE(arrival.rowCount, row + 1);
            if (row == 0)
                continue;
            QVERIFY(arrival.searching);
            QVERIFY(arrival.locked);
            QCOMPARE(arrival.status, QStringLiteral("Searching for mods..."));
        }
        QCOMPARE(controller.mods.mid(1), walkOrder);
        QCOMPARE(model->rowCount(), 31);

        QVERIFY(!controller.searching);
        QVERIFY(!controller.locked);
        QCOMPARE(controller.statusField->text(), QString());
        QVERIFY(!controller.busyIndicator->isAnimating());
    }

    void searchWithNothingFoundEndsIdle_data() {
        QTest::addColumn<QString>("below");
        QTest::newRow("empty bundle") << QString();
        QTest::newRow("missing bundle") << QStringLiteral("/missing.app");
    }

    void searchWithNothingFoundEndsIdle() {
        QFETCH(QString, below);
        storeBundlePath(bundle.path() + below);
        Launcher launcher;
        Controller& controller = launcher.controller();
        fixtures::VisibilityCounter ended;
        controller.busyIndicator->installEventFilter(&ended);
        controller.awakeFromNib();
        QTRY_COMPARE_WITH_TIMEOUT(ended.hidden, 1, 30000);

        QCOMPARE(ended.shown, 1);
        QVERIFY(!controller.locked);
        QVERIFY(!controller.busyIndicator->isAnimating());
        QCOMPARE(controller.mods.size(), 1);
        QCOMPARE(controller.tableView->model()->rowCount(), 1);
        QVERIFY(!controller.searching);
        QVERIFY(!controller.locked);
        QCOMPARE(controller.statusField->text(), QString());
        QVERIFY(!controller.busyIndicator->isAnimating());
        QVERIFY(!controller.launchButton->isEnabled());
    }
};

MODGATE_TEST_MAIN(TestSearchReports)
#include "tst_searchreports.moc"
