// SPDX-License-Identifier: GPL-3.0-or-later
// The window as a player sees it: logos whole, the table's rows kept, keyboard focus visible, the
// memory the pane may take, and long titles.
#include "app/controller.h"
#include "app/details/logolabel.h"
#include "app/details/logoloader.h"
#include "app/details/moddetailspane.h"
#include "app/details/modnamelabel.h"
#include "app/game/gameselector.h"
#include "app/launcher.h"
#include "fixtures.h"
#include "packagewriter/texturepackagewriter.h"
#include "support/focusring.h"
#include "support/userdefaults.h"
#include "testmain.h"
#include "window/vxfadewindow.h"

#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTextBrowser>

using namespace Qt::StringLiterals;

namespace {

// A mod of that folder whose logo, "Logo.Logo", is the picture in its own texture package.
ModEntry modWithLogo(const QString& game, const QString& folder, const QImage& logo) {
    using namespace packagewriter;
    const bool written = fixtures::writeFile(game + u'/' + folder + u"/Textures/Logo.utx"_s,
                                             packageWithTexture(logo, Format::RGBA8, u"Logo"_s));
    ModEntry mod{folder, {}, u"https://example.org/"_s + folder, folder};
    mod.logo = written ? u"Logo.Logo"_s : u"(not written)"_s;
    return mod;
}

QImage picture(int width, int height, QColor colour = Qt::red) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

// The window with the plain game's row and these mods, shown, active, at that size.
struct Look {
    QTemporaryDir game;
    Launcher launcher;
    Controller& controller = launcher.controller();
    QWidget& window = launcher.window();
    QTableView& table = *controller.tableView;
    ModDetailsPane& pane = *controller.detailsPane;
    LogoLabel& logo = *pane.findChild<LogoLabel*>();

    explicit Look(const std::function<QList<ModEntry>(const QString& game)>& mods,
                  QSize size = {560, 640}) {
        UserDefaults::standard().setObjectForKey(game.path(), u"unrealPath"_s);
        controller.setUpLinkColumn();
        controller.newUnrealModWasFound({u"UT2004"_s, {}, u"https://www.example.org/"_s, {}});
        for (const ModEntry& mod : mods(game.path()))
            controller.newUnrealModWasFound(mod);
        window.resize(size);
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    void selectWithLogo(int row) {
        table.selectRow(row);
        // Shown, and laid out at the height its width gives it.
        QTRY_VERIFY(logo.isVisible() && !logo.pixmap().isNull() &&
                    logo.height() == logo.heightForWidth(logo.width()));
    }
    // What the window shows of a part, and of a few pixels around it.
    QImage shot(QWidget* part, QRect area = {}, int around = 3) {
        area = area.isNull() ? part->rect() : area;
        return window
            .grab(QRect(part->mapTo(&window, area.topLeft()), area.size())
                      .adjusted(-around, -around, around, around))
            .toImage();
    }
};

// How many pixels of the area differ plainly between two shots, by more than a shade.
int plainDifferences(const QImage& a, const QImage& b, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            count +=
                qAbs(p.red() - q.red()) + qAbs(p.green() - q.green()) + qAbs(p.blue() - q.blue()) >
                96;
        }
    return count;
}

// Whether b shows a ring around the part that a does not: a plain change on each side.
bool ringed(const QImage& a, const QImage& b) {
    const QRect all = a.rect();
    return std::ranges::all_of(
        std::array{all.adjusted(0, 0, 3 - all.width(), 0), all.adjusted(all.width() - 3, 0, 0, 0),
                   all.adjusted(0, 0, 0, 3 - all.height()),
                   all.adjusted(0, all.height() - 3, 0, 0)},
        [&](const QRect& side) { return plainDifferences(a, b, side) >= 5; });
}

// No two visible children of parent share a pixel.
bool noneOverlap(const QWidget* parent) {
    QList<QRect> taken;
    for (const QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isVisible() || dynamic_cast<const FocusRing*>(child))
            continue;
        for (const QRect& other : taken)
            if (other.intersects(child->geometry()))
                return false;
        taken << child->geometry();
    }
    return true;
}

} // namespace

class WindowLookTest : public QObject {
    Q_OBJECT

private slots:
    // A square, a small and a wide logo at each window width: drawn whole within the pane,
    // centred, its aspect kept, as large as fits but no taller than a 4:1 logo of the pane's width
    // or a third of the window, and never more than twice its size.
    void logoWhole_data() {
        QTest::addColumn<QSize>("logoSize");
        QTest::addColumn<int>("windowWidth");
        for (const QSize size : {QSize(512, 512), QSize(64, 64), QSize(512, 128)})
            for (const int width : {460, 560, 900, 1270})
                QTest::addRow("%dx%d at %d", size.width(), size.height(), width) << size << width;
    }
    void logoWhole() {
        QFETCH(QSize, logoSize);
        QFETCH(int, windowWidth);
        Look look(
            [&](const QString& game) {
                return QList{
                    modWithLogo(game, u"M"_s, picture(logoSize.width(), logoSize.height()))};
            },
            {windowWidth, 640});
        look.selectWithLogo(1);
        const QRect drawn = look.logo.logoRect();
        const QRect inPane(look.logo.mapTo(look.pane.viewport(), drawn.topLeft()), drawn.size());
        QVERIFY(look.logo.rect().contains(drawn) && look.pane.viewport()->rect().contains(inPane));
        const int limit = std::min(look.logo.width() / 4, look.window.height() / 3);
        QVERIFY(drawn.height() <= limit && drawn.width() <= 2 * logoSize.width());
        QVERIFY(drawn.width() == look.logo.width() || drawn.height() >= limit - 1 ||
                drawn.width() == 2 * logoSize.width());
        QVERIFY(qAbs(drawn.width() * logoSize.height() - drawn.height() * logoSize.width()) <=
                std::max(logoSize.width(), logoSize.height()));
        QVERIFY(qAbs(drawn.left() - (look.logo.width() - drawn.right() - 1)) <= 1);
        // Painted there, to its last pixel.
        const QImage painted = look.logo.grab().toImage();
        QCOMPARE(painted.pixelColor(drawn.bottomRight() - QPoint(1, 1)), QColor(Qt::red));
    }

    // Selecting a mod with a large logo and a long description leaves the table as it was: the
    // pane scrolls instead. A taller window grows both; at its smallest nothing overlaps.
    void tableKeepsRows() {
        Look look([](const QString& game) {
            QList<ModEntry> mods;
            for (int i = 0; i < 12; ++i)
                mods << ModEntry{u"Mod %1"_s.arg(i), {}, {}, u"M%1"_s.arg(i)};
            mods << modWithLogo(game, u"Square"_s, picture(512, 512));
            mods.last().description = u"Words go on and on. "_s.repeated(400);
            return mods;
        });
        QCoreApplication::processEvents();
        const int tableHeight = look.table.height();
        QVERIFY(look.table.viewport()->height() >= 6 * look.table.rowHeight(0));
        look.selectWithLogo(13);
        QCOMPARE(look.table.height(), tableHeight);
        QVERIFY(look.table.viewport()->rect().contains(
            look.table.visualRect(look.table.model()->index(13, 0))));
        QVERIFY(look.pane.verticalScrollBar()->maximum() > 0);

        const int paneHeight = look.pane.height();
        look.window.resize(560, 1000);
        QTRY_VERIFY(look.table.height() > tableHeight + 100 &&
                    look.pane.height() > paneHeight + 100);

        look.window.resize(1, 1); // held at the window's minimum size
        QCoreApplication::processEvents();
        QVERIFY(look.window.width() <= 460 && look.window.height() <= 400);
        auto* splitter = look.window.findChild<QSplitter*>();
        for (const QWidget* parent :
             {&look.window, static_cast<QWidget*>(splitter), look.pane.widget()})
            QVERIFY(noneOverlap(parent));
    }

    // Each part shows the keyboard focus: the table with nothing current, the link cell that is
    // current, Launch (drawn as the default button with or without focus), and the description
    // when it has links; without links it is no Tab stop.
    void focusShows() {
        Look look([](const QString&) {
            ModEntry linked{u"Linked"_s, {}, u"https://a.example/"_s, u"L"_s};
            linked.description = u"See http://a.example/ for more."_s;
            ModEntry plain{u"Plain"_s, {}, {}, u"P"_s};
            plain.description = u"No links here."_s;
            return QList{linked, plain};
        });
        QWidget& elsewhere = *look.controller.gameSelector;
        QTableView& table = look.table;
        const auto showsFocus = [&](QWidget* part, QRect area, const std::function<void()>& focus) {
            elsewhere.setFocus();
            look.window.setAttribute(Qt::WA_KeyboardFocusChange, false);
            const QImage before = look.shot(part, area);
            focus();
            return QTest::qWaitFor([&] { return QApplication::focusWidget() != &elsewhere; }) &&
                   ringed(before, look.shot(part, area));
        };
        QVERIFY(showsFocus(&table, {}, [&] { table.setFocus(); }));
        QVERIFY(!table.currentIndex().isValid() && !table.selectionModel()->hasSelection());

        const int url = table.model()->columnCount() - 1;
        table.selectRow(1);
        const QRect cell = table.visualRect(table.model()->index(1, url));
        table.setFocus();
        table.selectionModel()->setCurrentIndex(table.model()->index(1, 0),
                                                QItemSelectionModel::NoUpdate);
        const QImage nameCurrent = look.shot(table.viewport(), cell, 0);
        table.selectionModel()->setCurrentIndex(table.model()->index(1, url),
                                                QItemSelectionModel::NoUpdate);
        QVERIFY(plainDifferences(nameCurrent, look.shot(table.viewport(), cell, 0),
                                 nameCurrent.rect()) >= 20);

        QPushButton* launch = look.controller.launchButton;
        QVERIFY(launch->isEnabled());
        QVERIFY(showsFocus(launch, {}, [&] { launch->setFocus(Qt::TabFocusReason); }));

        auto* description = look.pane.findChild<QTextBrowser*>(u"modDescription"_s);
        QVERIFY(description->focusPolicy() & Qt::TabFocus);
        QVERIFY(showsFocus(description, {}, [&] { description->setFocus(Qt::TabFocusReason); }));
        table.selectRow(2);
        QCOMPARE(description->focusPolicy(), Qt::NoFocus);
    }

    // The cache holds logos by their bytes as well as by count, and a wholly transparent logo is
    // none at all.
    void logoCacheBounded() {
        QTemporaryDir mods;
        const QString folder = mods.filePath(u"M"_s);
        QImage large = picture(2048, 2048); // 16 MiB decoded
        QImage clear = picture(64, 64, Qt::transparent);
        using namespace packagewriter;
        PackageBuilder builder;
        builder.addTexture(u"Large"_s, large, Format::RGBA8);
        builder.addTexture(u"Smallish"_s, picture(8, 8), Format::RGBA8);
        builder.addTexture(u"Clear"_s, clear, Format::RGBA8);
        QVERIFY(fixtures::writeFile(folder + u"/Textures/Logo.utx"_s, builder.bytes()));
        std::optional<QImage> last;
        LogoLoader loader([&](const std::optional<QImage>& logo) { last = logo; });
        // Whether the logo had to be read, not found in the cache; the reading is waited for. Each
        // letter case is another cache entry for the same picture.
        bool stuck = false;
        const auto read = [&](const QString& name, int variant) {
            QString path = name;
            for (int i = 0; i < path.size(); ++i)
                if ((variant >> i) & 1)
                    path[i] = path[i].toUpper();
            loader.request(folder, u"Logo."_s + path);
            const bool reading = loader.isReading();
            stuck = stuck || !QTest::qWaitFor([&] { return !loader.isReading(); });
            return reading;
        };
        for (int i = 0; i < 13; ++i) {
            QVERIFY(read(u"large"_s, i));
            QCOMPARE(last->size(), large.size());
        }
        QVERIFY(!read(u"large"_s, 12)); // the newest stays, within 64 MiB
        QVERIFY(read(u"large"_s, 0));
        for (int i = 0; i < LogoLoader::cachedLogos + 1; ++i)
            QVERIFY(read(u"smallish"_s, i));
        QVERIFY(read(u"smallish"_s, 0)); // the oldest of 65 went
        QVERIFY(read(u"clear"_s, 0));
        QVERIFY(!last && !stuck);
    }

    // A title is drawn whole, wrapped anywhere where it has no spaces, or elided on its last line
    // with the whole title as its tooltip.
    void longTitle_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("lines");
        QTest::addColumn<bool>("elided");
        QTest::newRow("short") << u"Frag.Ops"_s << 1 << false;
        QTest::newRow("no spaces, wrapped") << u"W"_s.repeated(40) << 2 << false;
        QTest::newRow("too long for the lines")
            << u"W"_s.repeated(500) << ModNameLabel::maxLines << true;
    }
    void longTitle() {
        QFETCH(QString, title);
        QFETCH(int, lines);
        QFETCH(bool, elided);
        ModNameLabel label;
        label.setTitle(title);
        const int width = label.fontMetrics().horizontalAdvance(u"W"_s.repeated(30));
        label.resize(width, label.heightForWidth(width));
        const QStringList shown = label.shownLines();
        QCOMPARE(shown.size(), lines);
        QCOMPARE(label.height(), lines * label.fontMetrics().lineSpacing());
        for (const QString& line : shown)
            QVERIFY(label.fontMetrics().horizontalAdvance(line) <= width);
        QCOMPARE(shown.join(QString()) == title, !elided);
        QCOMPARE(shown.last().endsWith(QChar(0x2026)), elided);
        QCOMPARE(label.toolTip(), elided ? title : QString());
    }
};

MODGATE_TEST_MAIN(WindowLookTest)
#include "tst_windowlook.moc"
