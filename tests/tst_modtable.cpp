#include "app/controller.h"
#include "app/launcher.h"
#include "app/linkbuttoncell.h"
#include "app/linkcelldelegate.h"
#include "app/modtablemodel.h"
#include "testmain.h"
#include "window/vxfadewindow.h"

#include <QAccessible>
#include <QDesktopServices>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryFile>
#include <QTest>
#include <cstdio>
#include <functional>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A null url stands for an absent one.
ModEntry mod(const QString& name, const QString& url) {
    return {name, std::nullopt, url.isNull() ? std::nullopt : std::optional(url), name};
}

QList<QUrl> urls(const QString& address) {
    return address.isEmpty() ? QList<QUrl>{} : QList<QUrl>{QUrl(address)};
}

// The lines written to standard error, where the log goes too, while `act` runs.
template <typename Act> QStringList loggedBy(Act act) {
    QTemporaryFile file;
    if (!file.open())
        return {u"(capture failed)"_s};
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file.handle(), STDERR_FILENO);
    act();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    QFile written(file.fileName());
    written.open(QIODevice::ReadOnly);
    return QString::fromUtf8(written.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

// The launcher window with the link column set up, shown, active and the table focused.
struct Window {
    Launcher launcher;
    Controller& controller = launcher.controller();
    QTableView& table = *controller.tableView;
    QAbstractItemModel& model = *table.model();
    QWidget* viewport = table.viewport();
    const int name = ModTableModel::columnWithIdentifier(u"name");
    const int url = ModTableModel::columnWithIdentifier(u"url");

    explicit Window(const QList<ModEntry>& entries) {
        controller.setUpLinkColumn();
        for (const ModEntry& entry : entries)
            controller.newUnrealModWasFound(entry);
        launcher.window().show();
        launcher.window().activateWindow();
        table.setFocus();
    }
    bool ready() {
        return QTest::qWaitForWindowActive(&launcher.window(), 20000) &&
               QTest::qWaitFor([this] { return table.hasFocus(); }, 20000);
    }
    QPoint at(int row, int column) const {
        return table.visualRect(model.index(row, column)).center();
    }
    int selectedRow() const {
        const QModelIndexList rows = table.selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.size() == 1 ? rows.first().row() : -2;
    }
    void select(int row) { table.selectRow(row); }
    // Draws the row's link cell as the view does; the shared cell then holds that row's look.
    const LinkButtonCell& drawLink(int row) {
        viewport->grab(table.visualRect(model.index(row, url)));
        return qobject_cast<LinkCellDelegate*>(table.itemDelegateForColumn(url))->cell();
    }
    bool pressed(int row) { return drawLink(row).isHighlighted(); }
    QAccessibleInterface* accessibleCell(int row, int column) {
        return QAccessible::queryAccessibleInterface(&table)->tableInterface()->cellAt(row, column);
    }
};

using Action = std::function<void(Window&)>;

const QString press = QAccessibleActionInterface::pressAction();

const QList<ModEntry> threeMods = {mod(u"Alpha"_s, u"https://alpha.example.org/"_s),
                                   mod(u"Beta"_s, u"http://beta.example.org/"_s),
                                   mod(u"Gamma"_s, u"gamma.example.org"_s)};

} // namespace

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(ModEntry)

class TestModTable : public QObject {
    Q_OBJECT
    QList<QUrl> opened; // what reached the browser

public slots:
    void open(const QUrl& url) { opened.append(url); }

private slots:
    void initTestCase() {
        for (const auto& scheme : {u"http"_s, u"https"_s})
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    void cleanupTestCase() {
        for (const auto& scheme : {u"http"_s, u"https"_s})
            QDesktopServices::unsetUrlHandler(scheme);
    }
    void init() { opened.clear(); }

    // Row 0 is selected, then row 1's link is clicked. The address rule itself is tested alone;
    // these rows check that a real click follows it.
    void clickOnLink_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("button");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<bool>("opens");
        const QString https = u"https://example.org/b"_s, invalid = u"https://example.org/100%"_s;
        QTest::newRow("https") << https << true << https << true;
        QTest::newRow("bare host")
            << u"www.example.org"_s << true << u"http://www.example.org"_s << true;
        // Not a valid web address: the browser never sees it, the log does.
        QTest::newRow("stray percent") << invalid << true << invalid << false;
        QTest::newRow("absent") << QString() << false << QString() << false;
        QTest::newRow("4 characters") << u"a.io"_s << false << QString() << false;
        QTest::newRow("5 characters") << u"ab.io"_s << true << QString() << false;
        QTest::newRow("6 characters") << u"abc.io"_s << true << QString() << false;
    }

    void clickOnLink() {
        QFETCH(QString, url);
        QFETCH(bool, button);
        QFETCH(QString, logged);
        QFETCH(bool, opens);
        Window w({mod(u"Alpha"_s, u"https://alpha.example.org/"_s), mod(u"Beta"_s, url)});
        QVERIFY(w.ready());
        w.select(0);

        // The shared cell, last dressed for a row with a button, takes this row's look alone.
        QVERIFY(w.drawLink(0).image());
        const LinkButtonCell& cell = w.drawLink(1);
        QCOMPARE(cell.image(), button ? std::optional(u"url"_s) : std::nullopt);
        QCOMPARE(cell.alternateImage(), button ? std::optional(u"urlPressed"_s) : std::nullopt);
        QCOMPARE(w.model.data(w.model.index(1, w.url), Qt::ToolTipRole).toString(), url);

        bool pressedLook = false;
        const QStringList lines = loggedBy([&] {
            QTest::mousePress(w.viewport, Qt::LeftButton, {}, w.at(1, w.url));
            pressedLook = w.pressed(1);
            QTest::mouseRelease(w.viewport, Qt::LeftButton, {}, w.at(1, w.url));
        });
        QCOMPARE(pressedLook, button);
        QVERIFY(!w.pressed(1));
        QCOMPARE(w.selectedRow(), 1);
        QCOMPARE(opened, opens ? urls(logged) : QList<QUrl>{});
        QCOMPARE(lines.size(), logged.isEmpty() ? 0 : 1);
        if (!logged.isEmpty())
            QVERIFY2(lines.first().endsWith(logged), qPrintable(lines.first()));

        // A screen reader's press on the cell does what the click did.
        w.select(0);
        opened.clear();
        QAccessibleInterface* accessible = w.accessibleCell(1, w.url);
        QCOMPARE(accessible->text(QAccessible::Name), button ? u"Web page"_s : QString());
        QCOMPARE(accessible->text(QAccessible::Description), button ? url : QString());
        QCOMPARE(accessible->actionInterface()->actionNames().contains(press), button);
        QCOMPARE(loggedBy([&] { accessible->actionInterface()->doAction(press); }), lines);
        QCOMPARE(opened, opens ? urls(logged) : QList<QUrl>{});
        QCOMPARE(w.selectedRow(), button ? 1 : 0);
    }

    // The button's action reads the selection, not the row the cell was last drawn for.
    void linkOpensTheSelectedRowsPage() {
        Window w(threeMods);
        w.select(1);
        w.drawLink(0).performClick();
        w.table.clearSelection();
        w.drawLink(0).performClick();
        QCOMPARE(opened, urls(u"http://beta.example.org/"_s));
    }

    // "urlSelected" only while the row is selected, the window active and the table focused.
    void selectedRowImage() {
        Window w(threeMods);
        QVERIFY(w.ready());
        const auto image = [&] { return w.drawLink(1).image().value_or(QString()); };
        w.select(1);
        QCOMPARE(image(), u"urlSelected"_s);
        w.select(0);
        QCOMPARE(image(), u"url"_s);
        w.select(1);
        w.table.clearFocus();
        QTRY_VERIFY_WITH_TIMEOUT(!w.table.hasFocus(), 20000);
        QCOMPARE(image(), u"url"_s);
        w.table.setFocus();
        QTRY_COMPARE_WITH_TIMEOUT(image(), u"urlSelected"_s, 20000);
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other, 20000));
        QCOMPARE(image(), u"url"_s);
    }

    void pressReleasedElsewhere_data() {
        QTest::addColumn<QString>("where");
        QTest::newRow("name cell of the same row") << u"name"_s;
        QTest::newRow("link of another row") << u"other link"_s;
        QTest::newRow("outside the view") << u"outside"_s;
        QTest::newRow("away and back: a click") << u"back"_s;
    }

    void pressReleasedElsewhere() {
        QFETCH(QString, where);
        Window w(threeMods);
        QVERIFY(w.ready());
        const QPoint link = w.at(1, w.url);
        const QPoint away = where == u"name"_s         ? w.at(1, w.name)
                            : where == u"other link"_s ? w.at(0, w.url)
                                                       : QPoint(-40, w.viewport->height() + 40);
        const bool back = where == u"back"_s;

        QTest::mousePress(w.viewport, Qt::LeftButton, {}, link);
        QCOMPARE(w.drawLink(1).shownImage(), std::optional(u"urlPressed"_s));
        QTest::mouseMove(w.viewport, away);
        QVERIFY(!w.pressed(1));
        if (back) {
            QTest::mouseMove(w.viewport, link);
            QVERIFY(w.pressed(1));
        }
        QTest::mouseRelease(w.viewport, Qt::LeftButton, {}, back ? link : away);
        for (int row = 0; row < w.model.rowCount(); ++row)
            QVERIFY(!w.pressed(row));
        QCOMPARE(opened, urls(back ? u"http://beta.example.org/"_s : QString()));
        // Nothing is left over: a later press elsewhere, dragged onto the link, is no click on it.
        opened.clear();
        QTest::mousePress(w.viewport, Qt::LeftButton, {}, w.at(0, w.name));
        QTest::mouseMove(w.viewport, link);
        QVERIFY(!w.pressed(1));
        QTest::mouseRelease(w.viewport, Qt::LeftButton, {}, link);
        QCOMPARE(opened, QList<QUrl>{});
    }

    void editLeavesListUnchanged() {
        Window w(threeMods);
        const QList<ModEntry> before = w.controller.mods;
        for (const char16_t* column : {u"name", u"url"}) {
            const QModelIndex cell = w.model.index(1, ModTableModel::columnWithIdentifier(column));
            QVERIFY(!w.model.setData(cell, u"edited"_s, Qt::EditRole));
            w.controller.tableViewSetObjectValue(u"edited"_s, column, 1);
        }
        QCOMPARE(w.controller.mods, before);
        QCOMPARE(w.model.data(w.model.index(1, w.name)), u"Beta"_s);
    }

    void nameCell_data() {
        QTest::addColumn<ModEntry>("entry");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("folderName");
        QTest::addColumn<QString>("toolTip");
        const auto entry = [](std::optional<QString> name, std::optional<QString> command,
                              std::optional<QString> folder) {
            return ModEntry{std::move(name), std::move(command), std::nullopt, std::move(folder)};
        };
        QTest::newRow("title") << entry(u"Frag.Ops"_s, u"-training"_s, u"FragOps"_s)
                               << u"Frag.Ops"_s << false << u"-training -mod=FragOps"_s;
        QTest::newRow("no title") << entry(std::nullopt, std::nullopt, u"Leftovers"_s)
                                  << u"Leftovers"_s << true << u"-mod=Leftovers"_s;
        QTest::newRow("empty title") << entry(u""_s, std::nullopt, u"Leftovers"_s) << u"Leftovers"_s
                                     << true << u"-mod=Leftovers"_s;
        QTest::newRow("plain game") << entry(u"Unreal Tournament 2004"_s, u""_s, std::nullopt)
                                    << u"Unreal Tournament 2004"_s << false << QString();
    }

    // The folder's name stands in for a missing title, in italics and the disabled text colour;
    // the data-source answer stays the title.
    void nameCell() {
        QFETCH(ModEntry, entry);
        QFETCH(QString, shown);
        QFETCH(bool, folderName);
        QFETCH(QString, toolTip);
        Window w({entry});
        const QModelIndex cell = w.model.index(0, w.name);
        QCOMPARE(cell.data().toString(), shown);
        QCOMPARE(cell.data(Qt::FontRole).value<QFont>().italic(), folderName);
        QCOMPARE(cell.data(Qt::ForegroundRole),
                 folderName ? QVariant(w.table.palette().brush(QPalette::Disabled, QPalette::Text))
                            : QVariant());
        QCOMPARE(cell.data(Qt::ToolTipRole).toString(), toolTip);
        QCOMPARE(w.controller.tableViewObjectValueForTableColumn(u"name", 0), entry.name);
    }

    // Each way of changing the selection, unlocked (it works) and locked (refused; a click on a
    // link then also opens and logs nothing). Row 1 is selected before.
    void selectionWhileLocked_data() {
        QTest::addColumn<Action>("action");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<int>("selectedAfter");
        QTest::addColumn<bool>("opens");
        const auto third = [](Window& w) { return w.model.index(2, w.name); };
        const auto rows = QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
        for (const bool locked : {false, true}) {
            const auto row = [&](const char* name, int unlockedResult, Action action) {
                QTest::addRow("%s, %s", name, locked ? "locked" : "unlocked")
                    << action << locked << (locked ? 1 : unlockedResult)
                    << (!locked && QByteArray(name).startsWith("link"));
            };
            row("link click", 2, [](Window& w) {
                QTest::mouseClick(w.viewport, Qt::LeftButton, {}, w.at(2, w.url));
            });
            // As a screen reader does.
            row("link press", 2,
                [](Window& w) { w.accessibleCell(2, w.url)->actionInterface()->doAction(press); });
            row("accessible selectRow", 2, [](Window& w) {
                QAccessible::queryAccessibleInterface(&w.table)->tableInterface()->selectRow(2);
            });
            row("down key", 2, [](Window& w) { QTest::keyClick(&w.table, Qt::Key_Down); });
            // Single selection: nothing more to select even when unlocked.
            row("ctrl+a", 1,
                [](Window& w) { QTest::keyClick(&w.table, Qt::Key_A, Qt::ControlModifier); });
            row("selectRow", 2, [](Window& w) { w.table.selectRow(2); });
            row("select", 2, [=](Window& w) { w.table.selectionModel()->select(third(w), rows); });
            row("setCurrentIndex", 2,
                [=](Window& w) { w.table.selectionModel()->setCurrentIndex(third(w), rows); });
            row("clearSelection", -1, [](Window& w) { w.table.clearSelection(); });
            // As the search does: rows are inserted, never a reset.
            row("append", 1, [](Window& w) {
                for (int i = 0; i < 3; ++i)
                    w.controller.newUnrealModWasFound(mod(u"Mod %1"_s.arg(i), u"example.org"_s));
            });
        }
    }

    void selectionWhileLocked() {
        QFETCH(Action, action);
        QFETCH(bool, locked);
        QFETCH(int, selectedAfter);
        QFETCH(bool, opens);
        Window w(threeMods);
        QVERIFY(w.ready());
        w.select(1);
        w.controller.locked = locked;
        QSignalSpy resets(&w.model, &QAbstractItemModel::modelReset);

        QCOMPARE(loggedBy([&] { action(w); }).size(), opens ? 1 : 0);
        QCOMPARE(opened, urls(opens ? u"http://gamma.example.org"_s : QString()));
        QCOMPARE(w.selectedRow(), selectedAfter);
        if (locked)
            QCOMPARE(w.table.currentIndex().row(), 1);
        QCOMPARE(resets.size(), 0);
        QCOMPARE(w.model.rowCount(), int(w.controller.mods.size()));
    }
};

MODGATE_TEST_MAIN(TestModTable)
#include "tst_modtable.moc"
