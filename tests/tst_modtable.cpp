#include "app/controller.h"
#include "app/launcher.h"
#include "app/linkbuttoncell.h"
#include "app/linkcelldelegate.h"
#include "app/modtablemodel.h"
#include "testmain.h"
#include "window/vxfadewindow.h"

#include <QDesktopServices>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryFile>
#include <QTest>
#include <QUrl>
#include <cstdio>
#include <unistd.h>

using namespace Qt::StringLiterals;

using OptionalString = std::optional<QString>;
Q_DECLARE_METATYPE(OptionalString)

namespace {

ModEntry mod(const QString& name, OptionalString url) {
    ModEntry entry;
    entry.name = name;
    entry.url = std::move(url);
    entry.launchName = name;
    return entry;
}

// Stands in for the browser: collects the addresses handed to it.
class Browser : public QObject {
    Q_OBJECT
public:
    Browser() {
        QDesktopServices::setUrlHandler(u"http"_s, this, "open");
        QDesktopServices::setUrlHandler(u"https"_s, this, "open");
    }
    ~Browser() override {
        QDesktopServices::unsetUrlHandler(u"http"_s);
        QDesktopServices::unsetUrlHandler(u"https"_s);
    }
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

// Catches what the process writes to standard error meanwhile, where the log line goes too.
class LogCapture {
public:
    LogCapture() {
        if (!file.open())
            return;
        std::fflush(stderr);
        saved = ::dup(STDERR_FILENO);
        ::dup2(file.handle(), STDERR_FILENO);
    }
    ~LogCapture() { restore(); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // The lines written so far, without blank ones.
    QStringList lines() {
        restore();
        QFile written(file.fileName());
        if (!written.open(QIODevice::ReadOnly))
            return {u"(capture failed)"_s};
        return QString::fromUtf8(written.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    void restore() {
        if (saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(saved, STDERR_FILENO);
        ::close(saved);
        saved = -1;
    }

    QTemporaryFile file;
    int saved = -1;
};

// The launcher window with the link column set up, shown, active and the table focused.
struct Window {
    Launcher launcher;
    Controller& controller = launcher.controller();
    QTableView& table = *controller.tableView;
    QAbstractItemModel& model = *table.model();
    const int nameColumn = ModTableModel::columnWithIdentifier(u"name");
    const int urlColumn = ModTableModel::columnWithIdentifier(u"url");

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

    LinkCellDelegate* delegate() const {
        return qobject_cast<LinkCellDelegate*>(table.itemDelegateForColumn(urlColumn));
    }
    QWidget* viewport() const { return table.viewport(); }
    QModelIndex link(int row) const { return model.index(row, urlColumn); }
    QRect linkRect(int row) const { return table.visualRect(link(row)); }
    QPoint linkCenter(int row) const { return linkRect(row).center(); }
    QPoint nameCenter(int row) const {
        return table.visualRect(model.index(row, nameColumn)).center();
    }

    int selectedRow() const {
        const QModelIndexList rows = table.selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.first().row() : rows.isEmpty() ? -1 : -2;
    }
    void select(int row) {
        table.selectionModel()->setCurrentIndex(model.index(row, nameColumn),
                                                QItemSelectionModel::ClearAndSelect |
                                                    QItemSelectionModel::Rows);
    }
    // Draws the row's link cell as the view does; the shared cell then holds that row's look.
    const LinkButtonCell& drawLink(int row) {
        viewport()->grab(linkRect(row));
        return delegate()->cell();
    }
};

const QList<ModEntry> threeMods = {
    mod(u"Alpha"_s, u"https://alpha.example.org/"_s),
    mod(u"Beta"_s, u"http://beta.example.org/"_s),
    mod(u"Gamma"_s, std::nullopt),
};

} // namespace

class TestModTable : public QObject {
    Q_OBJECT

private slots:
    void clickOnLinkSelectsRowAndOpensIt_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("selectedBefore");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<bool>("reachesBrowser");

        QTest::newRow("https") << u"https://example.org/beta"_s << -1
                               << u"https://example.org/beta"_s << true;
        QTest::newRow("http") << u"http://example.org/beta"_s << -1 << u"http://example.org/beta"_s
                              << true;
        QTest::newRow("capital scheme")
            << u"HTTPS://Example.org/Beta"_s << -1 << u"HTTPS://Example.org/Beta"_s << true;
        QTest::newRow("bare host")
            << u"www.example.org"_s << -1 << u"http://www.example.org"_s << true;
        QTest::newRow("other scheme")
            << u"file:///etc/passwd"_s << -1 << u"http://file:///etc/passwd"_s << true;
        QTest::newRow("percent") << u"https://example.org/a%20b?q=100%25"_s << -1
                                 << u"https://example.org/a%20b?q=100%25"_s << true;
        QTest::newRow("another row selected before")
            << u"https://example.org/beta"_s << 0 << u"https://example.org/beta"_s << true;
        // Not a web address: nothing opens, the text is logged all the same.
        QTest::newRow("stray percent")
            << u"https://example.org/100%"_s << -1 << u"https://example.org/100%"_s << false;
        QTest::newRow("space") << u"http://example.org/a b"_s << -1 << u"http://example.org/a b"_s
                               << false;
    }

    void clickOnLinkSelectsRowAndOpensIt() {
        QFETCH(QString, url);
        QFETCH(int, selectedBefore);
        QFETCH(QString, logged);
        QFETCH(bool, reachesBrowser);

        Window window({mod(u"Alpha"_s, u"https://alpha.example.org/"_s), mod(u"Beta"_s, url)});
        QVERIFY(window.ready());
        if (selectedBefore >= 0)
            window.select(selectedBefore);
        Browser browser;
        LogCapture log;

        QTest::mouseClick(window.viewport(), Qt::LeftButton, {}, window.linkCenter(1));

        QCOMPARE(window.selectedRow(), 1);
        const QStringList lines = log.lines();
        QCOMPARE(browser.opened, reachesBrowser ? QList<QUrl>{QUrl(logged)} : QList<QUrl>{});
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().endsWith(logged), qPrintable(lines.first()));
        QVERIFY(!window.delegate()->isPressed(window.link(1)));
    }

    // The button's action reads the selection, not the row it was drawn for.
    void actionOpensTheSelectedRowsPage_data() {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QList<QUrl>>("opened");
        QTest::newRow("first row") << 0 << QList<QUrl>{QUrl(u"https://alpha.example.org/"_s)};
        QTest::newRow("second row") << 1 << QList<QUrl>{QUrl(u"http://beta.example.org/"_s)};
        QTest::newRow("row without address") << 2 << QList<QUrl>{};
        QTest::newRow("no row") << -1 << QList<QUrl>{};
    }

    void actionOpensTheSelectedRowsPage() {
        QFETCH(int, selected);
        QFETCH(QList<QUrl>, opened);
        Window window(threeMods);
        if (selected >= 0)
            window.select(selected);
        Browser browser;
        window.delegate()->cell().performClick();
        QCOMPARE(browser.opened, opened);
    }

    void lockedClickChangesNothing_data() {
        QTest::addColumn<int>("selectedBefore");
        QTest::newRow("nothing selected") << -1;
        QTest::newRow("another row selected") << 0;
        QTest::newRow("the clicked row selected") << 1;
    }

    void lockedClickChangesNothing() {
        QFETCH(int, selectedBefore);
        Window window(threeMods);
        QVERIFY(window.ready());
        if (selectedBefore >= 0)
            window.select(selectedBefore);
        const QModelIndex current = window.table.currentIndex();
        window.controller.locked = true;
        Browser browser;
        LogCapture log;

        QTest::mouseClick(window.viewport(), Qt::LeftButton, {}, window.linkCenter(1));
        QTest::mouseClick(window.viewport(), Qt::LeftButton, {}, window.nameCenter(2));

        QCOMPARE(window.selectedRow(), selectedBefore);
        QCOMPARE(window.table.currentIndex(), current);
        QCOMPARE(log.lines(), QStringList());
        QCOMPARE(browser.opened, QList<QUrl>());
    }

    void shortAddresses_data() {
        QTest::addColumn<OptionalString>("url");
        QTest::addColumn<bool>("button");
        QTest::addColumn<OptionalString>("opened");
        const OptionalString none;
        QTest::newRow("absent") << none << false << none;
        QTest::newRow("empty") << OptionalString(u""_s) << false << none;
        QTest::newRow("4 characters") << OptionalString(u"a.io"_s) << false << none;
        QTest::newRow("5 characters") << OptionalString(u"ab.io"_s) << true << none;
        QTest::newRow("6 characters") << OptionalString(u"abc.io"_s) << true << none;
        QTest::newRow("7 characters")
            << OptionalString(u"abcd.io"_s) << true << OptionalString(u"http://abcd.io"_s);
    }

    void shortAddresses() {
        QFETCH(OptionalString, url);
        QFETCH(bool, button);
        QFETCH(OptionalString, opened);
        Window window({mod(u"Alpha"_s, u"https://alpha.example.org/"_s), mod(u"Beta"_s, url)});
        QVERIFY(window.ready());

        // The shared cell, last dressed for a row with a button, takes this row's look alone.
        QCOMPARE(window.drawLink(0).image(), OptionalString(u"url"_s));
        const LinkButtonCell& cell = window.drawLink(1);
        QCOMPARE(cell.image(), button ? OptionalString(u"url"_s) : std::nullopt);
        QCOMPARE(cell.alternateImage(), button ? OptionalString(u"urlPressed"_s) : std::nullopt);
        QCOMPARE(window.model.data(window.link(1), Qt::ToolTipRole).toString(),
                 url.value_or(QString()));

        Browser browser;
        LogCapture log;
        QTest::mousePress(window.viewport(), Qt::LeftButton, {}, window.linkCenter(1));
        QCOMPARE(window.delegate()->isPressed(window.link(1)), button);
        QTest::mouseRelease(window.viewport(), Qt::LeftButton, {}, window.linkCenter(1));
        QCOMPARE(window.selectedRow(), 1);
        const QStringList lines = log.lines();
        QCOMPARE(browser.opened, opened ? QList<QUrl>{QUrl(*opened)} : QList<QUrl>{});
        QCOMPARE(lines.size(), opened ? 1 : 0);
        if (opened)
            QVERIFY(lines.first().endsWith(*opened));
    }

    void selectedRowImage_data() {
        QTest::addColumn<bool>("selected");
        QTest::addColumn<bool>("windowActive");
        QTest::addColumn<bool>("tableFocused");
        QTest::addColumn<QString>("image");
        QTest::newRow("selected, active, focused") << true << true << true << u"urlSelected"_s;
        QTest::newRow("selected, focus on the button") << true << true << false << u"url"_s;
        QTest::newRow("selected, another window active") << true << false << true << u"url"_s;
        QTest::newRow("not selected") << false << true << true << u"url"_s;
    }

    void selectedRowImage() {
        QFETCH(bool, selected);
        QFETCH(bool, windowActive);
        QFETCH(bool, tableFocused);
        QFETCH(QString, image);
        Window window(threeMods);
        QVERIFY(window.ready());
        window.select(selected ? 1 : 0);
        QWidget other;
        if (!windowActive) {
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other, 20000));
            QVERIFY(!window.launcher.window().isActiveWindow());
        }
        if (!tableFocused) {
            window.controller.launchButton->setEnabled(true);
            window.controller.launchButton->setFocus();
            QTRY_VERIFY_WITH_TIMEOUT(!window.table.hasFocus(), 20000);
        }

        LinkButtonCell cell;
        window.controller.tableViewWillDisplayCell(cell, u"url", 1);
        QCOMPARE(cell.image(), OptionalString(image));
        QCOMPARE(cell.alternateImage(), OptionalString(u"urlPressed"_s));
        QCOMPARE(window.drawLink(1).image(), OptionalString(image));

        // Other columns are not dressed.
        LinkButtonCell untouched;
        window.controller.tableViewWillDisplayCell(untouched, u"name", 1);
        QCOMPARE(untouched.image(), std::nullopt);
    }

    void pressReleasedElsewhere_data() {
        QTest::addColumn<QString>("where");
        QTest::addColumn<bool>("opens");
        QTest::newRow("name cell of the same row") << u"name"_s << false;
        QTest::newRow("link of another row") << u"other link"_s << false;
        QTest::newRow("outside the view") << u"outside"_s << false;
        QTest::newRow("away and back") << u"back"_s << true;
    }

    void pressReleasedElsewhere() {
        QFETCH(QString, where);
        QFETCH(bool, opens);
        Window window(threeMods);
        QVERIFY(window.ready());
        const QPoint link = window.linkCenter(1);
        const QPoint away = where == u"name"_s ? window.nameCenter(1)
                            : where == u"other link"_s
                                ? window.linkCenter(0)
                                : QPoint(-40, window.viewport()->height() + 40);
        Browser browser;

        QTest::mousePress(window.viewport(), Qt::LeftButton, {}, link);
        QVERIFY(window.delegate()->isPressed(window.link(1)));
        QVERIFY(window.drawLink(1).isHighlighted());
        QCOMPARE(window.drawLink(1).shownImage(), OptionalString(u"urlPressed"_s));

        QTest::mouseMove(window.viewport(), away);
        QVERIFY(!window.delegate()->isPressed(window.link(1)));
        QVERIFY(!window.drawLink(1).isHighlighted());
        const QPoint release = where == u"back"_s ? link : away;
        if (where == u"back"_s) {
            QTest::mouseMove(window.viewport(), link);
            QVERIFY(window.drawLink(1).isHighlighted());
        }
        QTest::mouseRelease(window.viewport(), Qt::LeftButton, {}, release);

        QVERIFY(!window.delegate()->isPressed(window.link(1)));
        for (int row = 0; row < window.model.rowCount(); ++row)
            QVERIFY(!window.drawLink(row).isHighlighted());
        QCOMPARE(browser.opened.size(), opens ? 1 : 0);

        // Nothing is left over for the next click.
        browser.opened.clear();
        QTest::mouseClick(window.viewport(), Qt::LeftButton, {}, window.linkCenter(0));
        QCOMPARE(browser.opened, QList<QUrl>{QUrl(u"https://alpha.example.org/"_s)});
    }

    void editLeavesListUnchanged_data() {
        QTest::addColumn<QString>("column");
        QTest::newRow("name") << u"name"_s;
        QTest::newRow("url") << u"url"_s;
    }

    void editLeavesListUnchanged() {
        QFETCH(QString, column);
        Window window(threeMods);
        const QList<ModEntry> before = window.controller.mods;
        const QModelIndex cell = window.model.index(1, ModTableModel::columnWithIdentifier(column));
        const QVariant shown = window.model.data(cell, Qt::EditRole);

        QVERIFY(!window.model.setData(cell, u"edited"_s, Qt::EditRole));
        window.controller.tableViewSetObjectValue(u"edited"_s, column, 1);

        QCOMPARE(window.controller.mods, before);
        QCOMPARE(window.model.data(cell, Qt::EditRole), shown);
        QCOMPARE(window.model.rowCount(), before.size());
    }

    void selectionWhileLocked_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<int>("selectedAfter");
        for (const bool locked : {false, true}) {
            const auto row = [&](const char* action, int unlockedResult) {
                QTest::addRow("%s, %s", action, locked ? "locked" : "unlocked")
                    << QString::fromLatin1(action) << locked << (locked ? 1 : unlockedResult);
            };
            row("mouse", 2);
            row("down key", 2);
            row("ctrl end", 2);
            row("select all", 1);
            row("selectRow", 2);
            row("select", 2);
            row("setCurrentIndex", 2);
            row("clearSelection", -1);
        }
    }

    void selectionWhileLocked() {
        QFETCH(QString, action);
        QFETCH(bool, locked);
        QFETCH(int, selectedAfter);
        Window window(threeMods);
        QVERIFY(window.ready());
        window.select(1);
        window.controller.locked = locked;
        QItemSelectionModel& selection = *window.table.selectionModel();
        const QModelIndex target = window.model.index(2, window.nameColumn);

        if (action == u"mouse")
            QTest::mouseClick(window.viewport(), Qt::LeftButton, {}, window.nameCenter(2));
        else if (action == u"down key")
            QTest::keyClick(&window.table, Qt::Key_Down);
        else if (action == u"ctrl end")
            QTest::keyClick(&window.table, Qt::Key_End, Qt::ControlModifier);
        else if (action == u"select all")
            QTest::keyClick(&window.table, Qt::Key_A, Qt::ControlModifier);
        else if (action == u"selectRow")
            window.table.selectRow(2);
        else if (action == u"select")
            selection.select(target,
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        else if (action == u"setCurrentIndex")
            selection.setCurrentIndex(target, QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
        else if (action == u"clearSelection")
            selection.clearSelection();

        QCOMPARE(window.selectedRow(), selectedAfter);
        if (locked)
            QCOMPARE(window.table.currentIndex().row(), 1);
    }

    void appendKeepsSelection_data() {
        QTest::addColumn<bool>("locked");
        QTest::newRow("unlocked") << false;
        QTest::newRow("locked, as during the search") << true;
    }

    void appendKeepsSelection() {
        QFETCH(bool, locked);
        Window window(threeMods);
        QVERIFY(window.ready());
        window.select(1);
        window.controller.locked = locked;
        QSignalSpy resets(&window.model, &QAbstractItemModel::modelReset);
        QSignalSpy inserts(&window.model, &QAbstractItemModel::rowsInserted);

        for (int i = 0; i < 3; ++i)
            window.controller.newUnrealModWasFound(mod(u"Mod %1"_s.arg(i), u"example.org"_s));

        QCOMPARE(window.model.rowCount(), 6);
        QCOMPARE(inserts.size(), 3);
        QCOMPARE(resets.size(), 0);
        QCOMPARE(window.selectedRow(), 1);
        QCOMPARE(window.table.currentIndex().row(), 1);
        QCOMPARE(window.model.data(window.model.index(5, window.nameColumn)).toString(),
                 u"Mod 2"_s);
    }
};

MODGATE_TEST_MAIN(TestModTable)
#include "tst_modtable.moc"
