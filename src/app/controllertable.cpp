// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller.h"

#include "app/details/moddetailspane.h"
#include "app/game/gameprogramlookup.h"
#include "app/table/linkbuttoncell.h"
#include "app/table/linkcelldelegate.h"
#include "app/table/modtableaccessible.h"
#include "app/table/modtablemodel.h"
#include "catalogue/weblink.h"
#include "support/preferencekeys.h"
#include "support/systemservices.h"
#include "support/userdefaults.h"
#include "window/vxfadewindow.h"

#include <QTableView>
#include <QUrl>

int Controller::numberOfRowsInTableView() const {
    return int(mods.size());
}

std::optional<QString> Controller::tableViewObjectValueForTableColumn(QStringView column,
                                                                      int row) const {
    if (row < 0 || row >= mods.size())
        return std::nullopt;
    return mods.at(row).value(column);
}

void Controller::tableViewSetObjectValue(const QVariant&, QStringView, int) {}

bool Controller::tableViewShouldSelectRow(int) const {
    return !locked;
}

void Controller::tableViewWillDisplayCell(LinkButtonCell& cell, QStringView column, int row) const {
    if (column != u"url")
        return;
    // Both images are set on every call: the one cell draws all rows.
    if (!showsLinkButton(tableViewObjectValueForTableColumn(u"url", row))) {
        cell.setImage(std::nullopt);
        cell.setAlternateImage(std::nullopt);
        return;
    }
    cell.setAlternateImage(QStringLiteral("urlPressed"));
    const bool selectedAndFocused =
        row == selectedRow() && window->isActiveWindow() && tableView->hasFocus();
    cell.setImage(selectedAndFocused ? QStringLiteral("urlSelected") : QStringLiteral("url"));
}

void Controller::openUrl() {
    // The selected row's page, whichever row's button was clicked.
    openWebAddress(tableViewObjectValueForTableColumn(u"url", selectedRow()));
}

void Controller::openWebAddress(const std::optional<QString>& url) {
    if (locked)
        return;
    const auto address = webAddressToOpen(url);
    if (!address)
        return;
    const QUrl page(*address, QUrl::StrictMode);
    if (page.isValid())
        openUrlInBrowser(page);
    systemLog(*address);
}

void Controller::setUpLinkColumn() {
    const int column = ModTableModel::columnWithIdentifier(u"url");
    if (column < 0)
        return;
    auto cell = std::make_unique<LinkButtonCell>();
    cell->setTitle(QStringLiteral(""));
    cell->setImagePosition(LinkButtonCell::ImagePosition::ImageOnly);
    cell->setBezelStyle(LinkButtonCell::BezelStyle::RegularSquare);
    cell->setButtonType(LinkButtonCell::ButtonType::MomentaryChange);
    cell->setImage(QStringLiteral("url"));
    cell->setAlternateImage(QStringLiteral("urlPressed"));
    cell->setBordered(false);
    cell->setAction([this] { openUrl(); });
    // The column's delegate owns the cell from here on.
    tableView->setItemDelegateForColumn(
        column, new LinkCellDelegate(*this, *this, std::move(cell), tableView));
    // Screen readers get link cells they can press.
    ModTableAccessible::install(tableView);
}

void Controller::showSelectedModDetails() {
    if (!detailsPane)
        return;
    const int row = selectedRow();
    // A new list's search may yet bring the shown mod back.
    if (row < 0 && keptSelection.isWaiting())
        return;
    if (row < 0 || row >= mods.size()) {
        detailsPane->showNothing();
        return;
    }
    const ModEntry& entry = mods.at(row);
    const QString gamePath =
        UserDefaults::standard().stringForKey(preferenceKeys::unrealPath).value_or(QString());
    if (!entry.launchName) {
        // Worked out on a worker: the field stays empty until it is known.
        const std::optional<QString>* program = gamePrograms->program(gamePath);
        detailsPane->showBaseGame(entry, gamePath,
                                  program ? *program : std::optional<QString>(QString()));
        return;
    }
    // Mods are the folders below the search base, which is the game folder and a "/".
    detailsPane->showMod(entry, gamePath + u'/' + *entry.launchName);
}
