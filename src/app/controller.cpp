// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller.h"

#include "app/details/moddetailspane.h"
#include "app/game/gamecopyfinder.h"
#include "app/game/gameprogramlookup.h"
#include "app/table/lockingselectionmodel.h"
#include "app/table/modsortmodel.h"
#include "app/table/modtablemodel.h"
#include "app/table/tablekeys.h"
#include "support/busyindicator.h"
#include "support/mainthreadqueue.h"
#include "support/preferencekeys.h"
#include "support/userdefaults.h"
#include "window/vxfadewindow.h"
#include "window/windowplacement.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTableView>

namespace {

ModEntry baseGameEntry() {
    ModEntry entry;
    entry.name = QStringLiteral("Unreal Tournament 2004");
    entry.command = QStringLiteral("");
    entry.url = QStringLiteral("https://www.unrealtournament.com/");
    return entry;
}

} // namespace

Controller::Controller(QObject* parent)
    : QObject(parent), copyFinder(new GameCopyFinder(this)),
      gamePrograms(new GameProgramLookup([this] { showSelectedModDetails(); }, this)),
      mainThread(std::make_shared<MainThreadQueue>(this)) {}

Controller::~Controller() {
    // Workers outlive us; what they queue from now on goes nowhere.
    mainThread->close();
}

void Controller::connectOutlets() {
    tableModel = new ModTableModel(*this, this);
    tableModel->setPaletteSource(tableView);
    sortModel = new ModSortModel(*this, this);
    sortModel->setSourceModel(tableModel);
    tableView->setModel(sortModel);
    tableView->setSelectionModel(new LockingSelectionModel(
        sortModel,
        [this](int row) {
            return tableViewShouldSelectRow(row < 0 ? -1 : sourceRowOf(sortModel->index(row, 0)));
        },
        tableView));
    connect(tableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { tableViewSelectionDidChange(); });
    // A new list drops the selection without a word: the pane must not show a row that is gone.
    connect(tableModel, &QAbstractItemModel::modelReset, this, [this] {
        if (detailsPane)
            detailsPane->forgetLogos();
        showSelectedModDetails();
    });
    connect(tableModel, &QAbstractItemModel::rowsRemoved, this,
            [this] { showSelectedModDetails(); });

    QHeaderView* header = tableView->horizontalHeader();
    header->setSectionResizeMode(ModTableModel::columnWithIdentifier(u"name"),
                                 QHeaderView::Stretch);
    const int linkColumn = ModTableModel::columnWithIdentifier(u"url");
    header->setSectionResizeMode(linkColumn, QHeaderView::Fixed);
    header->resizeSection(linkColumn, 32);

    connect(launchButton, &QPushButton::clicked, this, [this] { launch(); });
    connectGameCopyControls();
    connect(showLogButton, &QPushButton::clicked, this, [this] { showLog(); });
    // Return and Enter in any cell are the Launch button's click: nothing while it is disabled.
    new TableKeys(tableView, [this] { launchButton->click(); });
    // No cell is current until the user picks one, so the first Down selects the first row.
    tableView->setCurrentIndex(QModelIndex());
    // A double click on a row does what the Launch button would, when it may; on a link button it
    // is two clicks on the button.
    connect(tableView, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        if (index.column() != ModTableModel::columnWithIdentifier(u"url") &&
            launchButton->isEnabled())
            launch();
    });

    // A close the user asks for ends the application once the window is off the screen, unless a
    // game is running: then the window is only out of the way until the game exits.
    connect(window, &VXFadeWindow::closeRequestedByUser, this,
            [this] { quitWhenClosed = !launching; });
    connect(window, &VXFadeWindow::didClose, this, [this] {
        // A request dropped while the window was fading in must not end a later launch's close.
        if (quitWhenClosed && !launching)
            QCoreApplication::quit();
    });
}

void Controller::awakeFromNib() {
    window->setAlphaValue(0.0f);
    // Where the player left it, within the screen.
    new WindowPlacement(*window);
    mods.clear();
    tableModel->appendRow([this] { mods.append(baseGameEntry()); });
    UserDefaults::standard().registerDefaults({{preferenceKeys::fadingWindows, true}});
    setUpLinkColumn();

    // The window comes at once; the copies of the game are looked for meanwhile.
    locateAtStartUp();

    tableView->setFocus();
    window->makeKeyAndOrderFront(this);
}

void Controller::modSearchBegan() {
    searching = true;
    busyIndicator->startAnimation();
    statusField->setText(QStringLiteral("Searching for mods..."));
    locked = true;
    updateGameControls();
}

void Controller::newUnrealModWasFound(ModEntry entry) {
    tableModel->appendRow([&] { mods.append(std::move(entry)); });
    if (keptSelection.takes(mods.constLast()))
        selectRow(int(mods.size()) - 1);
}

void Controller::modSearchEnded() {
    // A kept mod that did not reappear is gone with the old list.
    keptSelection.forget();
    searching = false;
    busyIndicator->stopAnimation();
    statusField->setText(std::exchange(statusAfterSearch, QString()));
    tableViewSelectionDidChange();
    locked = false;
    updateGameControls();
    emit searchEnded();
}

void Controller::tableViewSelectionDidChange() {
    showSelectedModDetails();
    if (searching)
        return;
    launchButton->setEnabled(selectedRow() >= 0 && !installing);
}

int Controller::selectedRow() const {
    const QModelIndexList rows = tableView->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : sourceRowOf(rows.constFirst());
}

void Controller::selectRow(int row) {
    const QScopedValueRollback unlocked(locked, false);
    tableView->selectionModel()->setCurrentIndex(
        sortModel->mapFromSource(tableModel->index(row, 0)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void Controller::terminate() {
    terminated = true;
    // Ends a running event loop; before the loop runs, start-up sees the flag and stops.
    QCoreApplication::exit(0);
}
